// The connections as the protocol above sees them: opened, sent to and
// received from through TLS when a stream is attached (net/tls.h) or on the
// socket itself (net/blocking.h), and closed. The choice between the stream
// and the bare socket is made here and nowhere else.
#pragma once
#include <winsock.h>

// Resolves the host (name, else dotted decimal), opens a TCP connection to
// its FTP port (FTPPORT of the host profile when not 21) and fills *server
// (when given) with the address that answered. Returns the connected socket
// or INVALID_SOCKET.
SOCKET ConnectTcp(const char* host, const char* service, sockaddr_in* server = nullptr);
// Send and receive, with the results of send and recv: through the TLS
// stream attached to the socket when there is one, else on the socket itself.
int BlockingSend(SOCKET s, const char* buffer, int length, int flags);
int BlockingRecv(SOCKET s, char* buffer, int length, int flags);
// Forgets what a thread terminated while it waited was using: its waits
// (net/blocking.h) and, marked broken, its TLS streams.
void TransportThreadGone(unsigned long threadId);
// Sends the buffer in pieces of at most 256 KiB. Returns the length when
// everything was sent, 0 for a length below 1, else the failed send's result.
int SendAll(SOCKET s, const char* buffer, int length);
// Cancels a blocking call in progress, shuts the socket down and closes it,
// waiting up to 5 seconds for bytes still on their way out. Not graceful (a
// connection that failed, or is given up): no TLS close_notify and no wait,
// as bytes nobody will take would only hold the program up.
// Always returns INVALID_SOCKET: store it back where the socket was held.
SOCKET ReleaseSocket(SOCKET s, bool graceful = true);

// Releases the socket held in *holder, which owns it, and leaves
// INVALID_SOCKET there. The socket is taken out before it is closed, so that
// a holder released by two threads at once is closed exactly once.
void ReleaseHeldSocket(SOCKET* holder, bool graceful = true);

// Tests only: replaces closesocket inside ReleaseSocket (0 restores it).
void SetCloseSocketForTesting(int (PASCAL* fn)(SOCKET));
