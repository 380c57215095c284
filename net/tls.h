// TLS on the control and data connections (explicit FTPS), through the
// platform's own TLS (Schannel, reached through SSPI).
//
// SSPI is loaded at run time (secur32.dll, else security.dll), so the program
// still starts where it is missing; TLS is then reported unavailable. One
// credentials handle serves every stream of a session, and every stream of a
// session names the same target, so that Windows can resume the control
// connection's TLS session on the data connections.
//
// A stream is attached to a connected socket; from then on BlockingSend and
// BlockingRecv (and everything built on them: SendAll, the reply reader, the
// transfer loops) encrypt and decrypt through it. Its waits are the
// cancellable waits of net/blocking, and no SSPI call is ever made inside
// one, so a worker stopped at a safe point is never inside SSPI.
#pragma once
#include <winsock.h>
#include <windows.h>

#include <string>

enum TlsResult {
    TLS_OK = 0,
    TLS_UNAVAILABLE,     // no SSPI, or no Schannel credentials (logged)
    TLS_FAILED,          // the handshake failed or the connection ended (logged)
    TLS_CANCELLED,       // an abort or the time-out cut a wait (WSAEINTR)
};

// Loads SSPI once. False, with the cause in *why (catalogue entry), when TLS
// cannot be had on this system.
bool TlsAvailable(UINT* why = nullptr);

// Attaches a client stream to the connected socket s and runs the handshake,
// naming target (the host as the user typed it). The negotiated protocol and
// cipher are logged when asked. On failure the stream is gone again and nothing more
// may be sent on s.
TlsResult TlsAttach(SOCKET s, const char* target, bool logNegotiated = true);
// True while a stream is attached to s (handshake done).
bool TlsAttached(SOCKET s);
// Send and receive through the stream of s, with the results of send and
// recv. TlsRecv serves MSG_PEEK from its decrypted bytes and returns 0 once
// the server's close_notify came (or the connection ended).
int TlsSend(SOCKET s, const char* buffer, int length);
int TlsRecv(SOCKET s, char* buffer, int length, int flags);
// True when the stream of s was cut inside a record (a send cut off, or the
// thread that used it stopped there): it can carry nothing more.
bool TlsBroken(SOCKET s);
// True when the connection of s ended without the server's close_notify: a
// file received on it may have been cut short by someone between.
bool TlsCutOff(SOCKET s);
// Marks the streams a stopped thread was using as broken.
void TlsThreadGone(unsigned long threadId);
// Ends the stream of s: when graceful and the stream is sound, sends
// close_notify and waits a short bounded time for the server's answer (or its
// close); then frees the stream. Nothing happens for a socket without one.
void TlsDetach(SOCKET s, bool graceful);

// The server's certificate of the stream on s (a PCCERT_CONTEXT, to be freed
// with CertificateFree of net/certificate.h), or null.
const void* TlsPeerCertificate(SOCKET s);

// The pure rules, for the tests.

// "AB:CD:..." upper-case hex of the bytes, colon separated.
std::string FormatFingerprint(const BYTE* bytes, int count);
// The 32 bytes of a fingerprint written by FormatFingerprint (case and
// separators - colons, spaces - tolerated); false when it is no SHA-256.
bool ParseFingerprint(const char* text, BYTE out[32]);
// TLS record content types (the first byte of a record).
enum { TLS_RECORD_ALERT = 21, TLS_RECORD_APPLICATION_DATA = 23 };
// True when a record that decrypted to nothing was the peer's closing alert.
bool RecordIsCloseAlert(unsigned char contentType, unsigned long plainLength);
// Names for the negotiated protocol (SP_PROT_ bits) and cipher (ALG_ID).
const char* TlsProtocolName(DWORD protocol);
const char* TlsCipherName(unsigned int algorithm);
