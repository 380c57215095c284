// Cancellable blocking socket calls, built on non-blocking sockets and
// select(): current Windows and Wine cannot cancel a call that blocks in the
// platform, so the wait is ours and checks a cancel flag between short slices.
//
// A call first tries the operation at once; only when the platform says it
// would block does it register as waiting and start slicing. So a receive
// whose data is ready costs one recv and nothing else.
#include "net/blocking.h"

#include <windows.h>

#include "log/process.h"
#include "net/hooks.h"

volatile LONG NetAborting = 0;

namespace {

// One slot per waiting call. A slot's state moves free -> waiting ->
// (cancelled) -> free; one atomic word per slot, so a cancel can never be
// lost between a wait starting and its first check, nor land on a later call.
enum : LONG { SLOT_FREE = 0, SLOT_WAITING = 1, SLOT_CANCELLED = 2 };
constexpr int kSlots = 8;

struct WaitSlot {
    volatile LONG state;
    volatile LONG threadId;
};
WaitSlot g_slots[kSlots];

// Slices bound how late a cancel is noticed; the GUI thread's slice also
// bounds how late its messages (timers, input) are dispatched.
constexpr long kWorkerSliceUs = 20000;
constexpr long kGuiSliceUs = 10000;

enum WaitFor { WAIT_READ, WAIT_WRITE, WAIT_CONNECT };

int ClaimSlot()
{
    for (int i = 0; i < kSlots; ++i) {
        if (InterlockedCompareExchange(&g_slots[i].state, SLOT_WAITING, SLOT_FREE) == SLOT_FREE) {
            g_slots[i].threadId = static_cast<LONG>(GetCurrentThreadId());
            return i;
        }
    }
    return -1;
}

LONG ReleaseSlot(int slot)
{
    if (slot < 0)
        return SLOT_WAITING;
    g_slots[slot].threadId = 0;
    return InterlockedExchange(&g_slots[slot].state, SLOT_FREE);
}

bool SlotCancelled(int slot)
{
    return slot >= 0 && g_slots[slot].state == SLOT_CANCELLED;
}

void FailCancelled()
{
    NetAborting = 1;
    WSASetLastError(WSAEINTR);
}

// Waits until the socket is ready: 1 ready, 0 cancelled (WSAEINTR set),
// -1 when select failed (its error set).
int WaitReady(SOCKET s, WaitFor what)
{
    int slot = ClaimSlot();
    bool gui = g_guiThreadId != 0 && OnGuiThread();
    bool quit = false;
    WPARAM quitCode = 0;
    int result = 0;
    int error = 0;
    for (;;) {
        if (SlotCancelled(slot))
            break;
        fd_set readSet, writeSet, exceptSet;
        FD_ZERO(&readSet);
        FD_ZERO(&writeSet);
        FD_ZERO(&exceptSet);
        if (what == WAIT_READ)
            FD_SET(s, &readSet);
        else
            FD_SET(s, &writeSet);
        if (what == WAIT_CONNECT)
            FD_SET(s, &exceptSet);  // a failed connect shows here
        timeval slice = {0, gui ? kGuiSliceUs : kWorkerSliceUs};
        int n = select(0, &readSet, &writeSet, &exceptSet, &slice);
        if (n == SOCKET_ERROR) {
            error = WSAGetLastError();
            result = -1;
            break;
        }
        if (n > 0) {
            result = 1;
            break;
        }
        if (gui && !quit)
            quit = NetHooks.pumpMessages(&quitCode);
    }
    // A cancel that raced with readiness still wins: the canceller has set
    // the aborting flag and expects this call to fail.
    if (ReleaseSlot(slot) == SLOT_CANCELLED)
        result = 0;
    if (quit)
        NetHooks.repostQuit(quitCode);
    // A worker being stopped fails here, as cancelled, and unwinds.
    if (NetHooks.safePoint())
        result = 0;
    if (result == 0)
        FailCancelled();
    else if (result < 0)
        WSASetLastError(error);
    return result;
}

// A worker being stopped makes no socket call more: each fails as cancelled.
bool Stopped()
{
    if (!NetHooks.safePoint())
        return false;
    FailCancelled();
    return true;
}

bool WouldBlock()
{
    int e = WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}

}  // namespace

int BlockingInProgress()
{
    for (const WaitSlot& slot : g_slots)
        if (slot.state != SLOT_FREE)
            return 1;
    return 0;
}

int BlockingInProgressHere()
{
    LONG self = static_cast<LONG>(GetCurrentThreadId());
    for (const WaitSlot& slot : g_slots)
        if (slot.state != SLOT_FREE && slot.threadId == self)
            return 1;
    return 0;
}

int CancelBlockingCall()
{
    if (!BlockingInProgress()) {
        WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    // The flag first: the cancelled call must find it set when it returns.
    NetAborting = 1;
    bool any = false;
    for (WaitSlot& slot : g_slots)
        if (InterlockedCompareExchange(&slot.state, SLOT_CANCELLED, SLOT_WAITING) == SLOT_WAITING)
            any = true;
    if (!any) {
        WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    return 0;
}

void BlockingThreadGone(unsigned long threadId)
{
    for (WaitSlot& slot : g_slots) {
        if (slot.threadId != 0 && static_cast<unsigned long>(slot.threadId) == threadId) {
            slot.threadId = 0;
            InterlockedExchange(&slot.state, SLOT_FREE);
        }
    }
}

int BlockingConnect(SOCKET s, const sockaddr* name, int nameLength)
{
    if (Stopped())
        return SOCKET_ERROR;
    u_long on = 1;
    if (ioctlsocket(s, FIONBIO, &on) == SOCKET_ERROR)
        return SOCKET_ERROR;
    if (connect(s, name, nameLength) == 0)
        return 0;
    if (!WouldBlock())
        return SOCKET_ERROR;
    if (WaitReady(s, WAIT_CONNECT) <= 0)
        return SOCKET_ERROR;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == SOCKET_ERROR)
        return SOCKET_ERROR;
    if (error != 0) {
        WSASetLastError(error);
        return SOCKET_ERROR;
    }
    return 0;
}

SOCKET BlockingAccept(SOCKET s, sockaddr* address, int* addressLength)
{
    if (Stopped())
        return INVALID_SOCKET;
    u_long on = 1;
    if (ioctlsocket(s, FIONBIO, &on) == SOCKET_ERROR)
        return INVALID_SOCKET;
    for (;;) {
        SOCKET accepted = accept(s, address, addressLength);
        if (accepted != INVALID_SOCKET) {
            // Accepted sockets inherit the mode on Windows; said again so
            // that no platform difference can leave one blocking.
            ioctlsocket(accepted, FIONBIO, &on);
            return accepted;
        }
        if (!WouldBlock() || WaitReady(s, WAIT_READ) <= 0)
            return INVALID_SOCKET;
    }
}

int SocketSend(SOCKET s, const char* buffer, int length, int flags)
{
    if (Stopped())
        return SOCKET_ERROR;
    for (;;) {
        int r = send(s, buffer, length, flags);
        if (r != SOCKET_ERROR)
            return r;
        if (!WouldBlock() || WaitReady(s, WAIT_WRITE) <= 0)
            return SOCKET_ERROR;
    }
}

int SocketRecv(SOCKET s, char* buffer, int length, int flags)
{
    if (Stopped())
        return SOCKET_ERROR;
    for (;;) {
        int r = recv(s, buffer, length, flags);
        if (r != SOCKET_ERROR)
            return r;
        if (!WouldBlock() || WaitReady(s, WAIT_READ) <= 0)
            return SOCKET_ERROR;
    }
}

void DrainUntilClosed(SOCKET s, unsigned long ms)
{
    DWORD start = GetTickCount();
    char scratch[4096];
    while (GetTickCount() - start < ms && !NetAborting) {
        fd_set readSet;
        FD_ZERO(&readSet);
        FD_SET(s, &readSet);
        timeval slice = {0, 50000};
        int n = select(0, &readSet, nullptr, nullptr, &slice);
        if (n < 0)
            return;
        if (n == 0)
            continue;
        if (recv(s, scratch, sizeof scratch, 0) <= 0)
            return;
    }
}
