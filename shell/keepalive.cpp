#include "shell/keepalive.h"

#include <winsock.h>

#include "store/options.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "shell/busy.h"
#include "shell/operations.h"

namespace {

// Seconds since the last operation ended, as counted by the tick.
DWORD g_idleSeconds;
// The control connection the tick looks after.
SOCKET g_watched = INVALID_SOCKET;

// The NOOP runs as an operation of its own, under the busy lock, so that it
// never goes out while another one runs; Abort is not offered for it.
DWORD WINAPI KeepAliveThread(LPVOID)
{
    SendQuietCommand(FtpSession.controlSocket, "NOOP");
    if (WorkerStopping())
        return 1;
    SetBusy(0);
    return 0;
}

// Whether the idle control connection has something to read: a reply
// nobody asked for, or its end. (The close alone is posted to the window as
// well, but not while unread bytes come before it.)
bool ControlReadable(SOCKET s)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval now = {0, 0};
    return select(0, &readable, nullptr, nullptr, &now) > 0;
}

void CALLBACK KeepAliveTick(HWND main, UINT, UINT_PTR, DWORD)
{
    bool idle = FtpSession.loggedOn && FtpSession.controlSocket != INVALID_SOCKET &&
                FtpSession.controlSocket == g_watched && !IsBusy() &&
                !g_connectInProgress && FtpSession.commandCount == 0 && !ControlConnectionLost();
    if (!idle) {
        g_idleSeconds = 0;
        return;
    }
    if (ControlReadable(FtpSession.controlSocket)) {
        OnControlClosed(main, FtpSession.controlSocket);
        return;
    }
    ++g_idleSeconds;
    if (HostProfile.keepAlive > 0 && g_idleSeconds >= HostProfile.keepAlive) {
        g_idleSeconds = 0;
        StartWorker(main, 0, KeepAliveThread);
    }
}

}  // namespace

void WatchIdleSession(SOCKET control)
{
    g_watched = control;
    g_idleSeconds = 0;
}

void StartKeepAliveTimer(HWND main)
{
    g_idleSeconds = 0;
    SetTimer(main, KEEPALIVE_TIMER_ID, KEEPALIVE_TICK_MS, KeepAliveTick);
}
