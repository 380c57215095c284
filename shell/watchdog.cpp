// Timer 10 and its procedure.
//
// A worker cannot set a timer on the main window, so it posts the request.
// It is armed and stopped around every reply line and data connection, many
// times for each file of a tree, so arming and stopping only write the armed
// state and deadline; a request is posted only when no timer is set (or the
// one set would fire after the new deadline). The procedure compares the
// armed state and deadline with the time: a stopped watchdog's timer ends
// itself, and a timer that fires before a deadline moved on is set for the
// rest.
#include "shell/watchdog.h"

#include "net/blocking.h"
#include "ftp/session.h"
#include "log/log.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "resources/catalogue.h"

void (*WatchdogStopWorker)();

namespace {

constexpr DWORD kMaxMilliseconds = 0x7FFFFFFF;
constexpr LONG kEarlyTolerance = 50;  // ms a platform timer may fire early

volatile LONG g_armed;
volatile LONG g_deadline;   // GetTickCount() value at which the expiry is due
volatile LONG g_timerSet;   // timer 10 is set, or a request to set it is on its way
volatile LONG g_timerDue;   // GetTickCount() value at which the set timer fires

DWORD ToMilliseconds(DWORD seconds)
{
    return seconds > kMaxMilliseconds / 1000 ? kMaxMilliseconds : seconds * 1000;
}

void SetTimerFor(HWND hwnd, DWORD ms)
{
    InterlockedExchange(&g_timerDue, static_cast<LONG>(GetTickCount() + ms));
    SetTimer(hwnd, WATCHDOG_TIMER_ID, ms, WatchdogTimerProc);
}

// GUI thread: the timer is killed; an arm that came meanwhile found it set
// and asked for nothing, so it is set again for that arm's deadline.
void TimerKilled(HWND hwnd)
{
    KillTimer(hwnd, WATCHDOG_TIMER_ID);
    InterlockedExchange(&g_timerSet, 0);
    if (g_armed && InterlockedExchange(&g_timerSet, 1) == 0) {
        LONG left = static_cast<LONG>(static_cast<DWORD>(g_deadline) - GetTickCount());
        SetTimerFor(hwnd, left > 0 ? static_cast<DWORD>(left) : 1);
    }
}

}  // namespace

void WatchdogNewWindow()
{
    InterlockedExchange(&g_armed, 0);
    InterlockedExchange(&g_timerSet, 0);
}

void WatchdogMessage(HWND hwnd, WPARAM seconds)
{
    if (seconds) {
        InterlockedExchange(&g_timerSet, 1);
        SetTimerFor(hwnd, ToMilliseconds(static_cast<DWORD>(seconds)));
    } else {
        TimerKilled(hwnd);
    }
}

void ArmWatchdog(DWORD seconds)
{
    HWND main = g_hwndMain;
    if (!main)
        return;
    if (seconds == 0)
        seconds = 1;  // 0 is the stop request
    LONG deadline = static_cast<LONG>(GetTickCount() + ToMilliseconds(seconds));
    InterlockedExchange(&g_deadline, deadline);
    InterlockedExchange(&g_armed, 1);
    if (OnGuiThread())
        WatchdogMessage(main, seconds);
    else if (InterlockedExchange(&g_timerSet, 1) == 0 || deadline - g_timerDue < 0)
        PostMessageA(main, WM_TARN_WATCHDOG, seconds, 0);
}

void StopWatchdog()
{
    // The timer, when it fires, finds the watchdog stopped and ends itself.
    InterlockedExchange(&g_armed, 0);
}

void CALLBACK WatchdogTimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD)
{
    if (id == WATCHDOG_TIMER_ID) {
        if (!g_armed) {
            TimerKilled(hwnd);
            return;
        }
        // Armed again since the timer was set: it waits for the new deadline.
        LONG left = static_cast<LONG>(static_cast<DWORD>(g_deadline) - GetTickCount());
        if (left > kEarlyTolerance) {
            SetTimerFor(hwnd, static_cast<DWORD>(left));
            return;
        }
    }
    LogLine(MSG_TIMER_EXPIRED);
    if (id != WATCHDOG_TIMER_ID)
        return;
    InterlockedExchange(&g_armed, 0);
    TimerKilled(hwnd);
    // Still armed, so the guarded call has run for the whole time-out: a
    // worker that is not waiting this instant is reading a line that never
    // ends, and is stopped all the same.
    if (!BlockingInProgress() && !IsBusy())
        return;
    LogLine(MSG_TIMER_CANCELLED_CALL);
    // The GUI thread's own wait (the exchange of an abort or a disconnect,
    // which hold the busy flag until they are done) has no worker to stop.
    bool guiWaits = BlockingInProgressHere() != 0;
    NetAborting = 1;
    CancelBlockingCall();
    if (IsBusy() && !guiWaits && WatchdogStopWorker) {
        WatchdogStopWorker();
        SetBusy(0);
    }
}
