// Cancellable blocking socket calls.
//
// Every socket call of the program that may wait (connect, accept, send,
// recv) goes through these. They take the arguments of the Winsock calls and
// return what those return; while one of them waits, BlockingInProgress()
// says so, and CancelBlockingCall() from another thread (or from a timer
// procedure on the waiting GUI thread) makes it fail at once with
// WSAGetLastError() == WSAEINTR, with the aborting flag of FtpSession set.
//
// Sockets are switched to non-blocking mode by BlockingConnect and
// BlockingAccept (for the listener and the accepted socket); BlockingSend and
// BlockingRecv expect sockets that came through one of them. A call on the
// GUI thread keeps dispatching that thread's messages while it waits, so
// timers (the watchdog) still fire.
#pragma once
#include <winsock.h>

// Non-zero while a blocking call waits on any thread.
int BlockingInProgress();
// Non-zero while a blocking call of the calling thread waits (a timer
// procedure dispatched inside that wait).
int BlockingInProgressHere();
// Cancels every waiting call: 0 when one was cancelled, else SOCKET_ERROR
// with WSAEINVAL (nothing to cancel).
int CancelBlockingCall();
// Forgets the calls of a thread that was terminated while it waited, so that
// BlockingInProgress() no longer counts them.
void BlockingThreadGone(unsigned long threadId);

int BlockingConnect(SOCKET s, const sockaddr* name, int nameLength);
SOCKET BlockingAccept(SOCKET s, sockaddr* address, int* addressLength);
// Send and receive: through the TLS stream attached to the socket when there
// is one (ftp/tls.h), else on the socket itself.
int BlockingSend(SOCKET s, const char* buffer, int length, int flags);
int BlockingRecv(SOCKET s, char* buffer, int length, int flags);
// The same on the socket itself, whatever is attached: the TLS layer's own.
int SocketSend(SOCKET s, const char* buffer, int length, int flags);
int SocketRecv(SOCKET s, char* buffer, int length, int flags);

// Reads and drops what the peer still sends until it closes the connection
// (or resets it), for at most `ms` milliseconds or until an abort: the wait
// before a close that must not cut off what the peer is still reading.
void DrainUntilClosed(SOCKET s, unsigned long ms);
