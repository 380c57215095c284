// Timer 10 and its procedure.
//
// A worker cannot set a timer on the main window, so it posts the request;
// posted requests are handled in order, so an arm followed by a stop always
// ends stopped. What posting cannot order is an expiry that the GUI thread
// dispatches after the worker has stopped or re-armed the timer: the armed
// state and deadline below, written at once by the caller, let the
// procedure recognise such a stale expiry and ignore it.
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
volatile LONG g_deadline;  // GetTickCount() value at which the expiry is due

DWORD ToMilliseconds(DWORD seconds)
{
    return seconds > kMaxMilliseconds / 1000 ? kMaxMilliseconds : seconds * 1000;
}

}  // namespace

void WatchdogMessage(HWND hwnd, WPARAM seconds)
{
    if (seconds)
        SetTimer(hwnd, WATCHDOG_TIMER_ID, ToMilliseconds(static_cast<DWORD>(seconds)), WatchdogTimerProc);
    else
        KillTimer(hwnd, WATCHDOG_TIMER_ID);
}

void ArmWatchdog(DWORD seconds)
{
    HWND main = g_hwndMain;
    if (!main)
        return;
    if (seconds == 0)
        seconds = 1;  // 0 is the stop request
    InterlockedExchange(&g_deadline, static_cast<LONG>(GetTickCount() + ToMilliseconds(seconds)));
    InterlockedExchange(&g_armed, 1);
    if (OnGuiThread())
        WatchdogMessage(main, seconds);
    else
        PostMessageA(main, WM_TARN_WATCHDOG, seconds, 0);
}

void StopWatchdog()
{
    InterlockedExchange(&g_armed, 0);
    HWND main = g_hwndMain;
    if (!main)
        return;
    if (OnGuiThread())
        WatchdogMessage(main, 0);
    else
        PostMessageA(main, WM_TARN_WATCHDOG, 0, 0);
}

void CALLBACK WatchdogTimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD)
{
    if (id == WATCHDOG_TIMER_ID) {
        if (!g_armed) {
            KillTimer(hwnd, WATCHDOG_TIMER_ID);
            return;
        }
        // A re-arm is on its way and will set the timer anew.
        if (static_cast<LONG>(GetTickCount() - static_cast<DWORD>(g_deadline)) < -kEarlyTolerance)
            return;
    }
    LogLine(MSG_TIMER_EXPIRED);
    if (id != WATCHDOG_TIMER_ID)
        return;
    InterlockedExchange(&g_armed, 0);
    KillTimer(hwnd, WATCHDOG_TIMER_ID);
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
