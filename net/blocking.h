// Cancellable blocking socket calls.
//
// Every socket call of the program that may wait (connect, accept, send,
// recv) goes through these. They take the arguments of the Winsock calls and
// return what those return; while one of them waits, BlockingInProgress()
// says so, and CancelBlockingCall() from another thread (or from a timer
// procedure on the waiting GUI thread) makes it fail at once with
// WSAGetLastError() == WSAEINTR, with NetAborting set.
//
// Sockets are switched to non-blocking mode by BlockingConnect and
// BlockingAccept (for the listener and the accepted socket); BlockingSend and
// BlockingRecv expect sockets that came through one of them. A call on the
// GUI thread keeps dispatching that thread's messages while it waits, so
// timers (the watchdog) still fire.
#pragma once
#include <winsock.h>
#include <windows.h>

// Set once a blocking call was cancelled (by an abort, a disconnect or the
// time-out); whoever starts a new operation clears it. Every wait and data
// loop above looks at it.
extern volatile LONG NetAborting;

// Non-zero while a blocking call waits on any thread.
int BlockingInProgress();
// Non-zero while a blocking call of the calling thread waits (a timer
// procedure dispatched inside that wait).
int BlockingInProgressHere();
// Cancels every waiting call: 0 when one was cancelled, else SOCKET_ERROR
// with WSAEINVAL (nothing to cancel).
int CancelBlockingCall();
// Forgets the calls of a thread that was terminated while it waited, so that
// BlockingInProgress() no longer counts them (TransportThreadGone of
// net/socket.h also marks its TLS streams).
void BlockingThreadGone(unsigned long threadId);

int BlockingConnect(SOCKET s, const sockaddr* name, int nameLength);
SOCKET BlockingAccept(SOCKET s, sockaddr* address, int* addressLength);
// Send and receive on the socket itself, with the results of send and recv.
// Above the TLS stream, BlockingSend and BlockingRecv of net/socket.h choose
// between the stream and these.
int SocketSend(SOCKET s, const char* buffer, int length, int flags);
int SocketRecv(SOCKET s, char* buffer, int length, int flags);

// Reads and drops what the peer still sends until it closes the connection
// (or resets it), for at most `ms` milliseconds or until an abort: the wait
// before a close that must not cut off what the peer is still reading.
void DrainUntilClosed(SOCKET s, unsigned long ms);
