// Explicit FTPS: securing the control connection after the greeting (AUTH
// TLS, the handshake, the certificate and the user's word on it), the data
// channel protection after the logon (PBSZ 0, PROT P), and TLS on every data
// connection with the control connection's certificate.
#pragma once
#include <winsock.h>

// Forgets the secured session (a new logon begins).
void EndSecureSession();
// True while the session's data connections must be TLS.
bool SessionIsSecure();
// After the greeting: AUTH TLS, the handshake naming target, the certificate
// check. False, with one failure line logged, when the connection must end;
// nothing has then been sent in plain text beyond AUTH TLS. whenAvailable:
// a server that answers AUTH TLS with anything but 234 (and a Windows
// without TLS) gives one line saying the session is not encrypted and true,
// with the session plain (SessionIsSecure false); once AUTH TLS is accepted
// it is as without.
bool SecureControlConnection(SOCKET control, const char* target, bool whenAvailable);
// True when the user refused the certificate of the last logon: connecting
// again at once would only ask again.
bool CertificateRefused();
// After the logon: PBSZ 0 and PROT P. False (logged) when the server refuses.
bool ProtectDataChannel(SOCKET control);
// True when the control connection's TLS stream was cut inside a record (an
// abort or a time-out stopped the worker inside it): it must be closed.
bool ControlStreamBroken();
// TLS on a data connection that has just opened, under the reply time-out;
// its certificate must be the control connection's. False (logged) when the
// transfer cannot go on.
bool SecureDataConnection(SOCKET data);
