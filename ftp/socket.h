// The socket primitives under every connection.
#pragma once
#include <winsock.h>

// Resolves the host (name, else dotted decimal), opens a TCP connection to
// its FTP port (FTPPORT of the host profile when not 21) and fills the server
// address of FtpSession. Returns the connected socket or INVALID_SOCKET.
SOCKET ConnectTcp(const char* host, const char* service);
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
