// The time-out watchdog: timer 10 on the main window, armed around every
// wait for a reply line or a data connection. When it fires it logs entry 28
// and cancels the blocked socket call (entry 16, aborting flag).
#pragma once
#include <windows.h>

enum { WATCHDOG_TIMER_ID = 10 };

// Private message by which a worker thread has the GUI thread arm (wParam =
// seconds) or stop (wParam = 0) the watchdog: SetTimer acts only for windows
// of the calling thread.
#define WM_TARN_WATCHDOG (WM_APP + 2)

// Arms timer 10 for `seconds` (replacing any running one). From any thread;
// nothing happens while there is no main window.
void ArmWatchdog(DWORD seconds);
// Stops timer 10. From any thread. An expiry already on its way when this
// is called is ignored.
void StopWatchdog();
// A main window was created: no timer is set on it, whatever one set on a
// window before it left behind.
void WatchdogNewWindow();
// The main window's handler of WM_TARN_WATCHDOG.
void WatchdogMessage(HWND hwnd, WPARAM seconds);

void CALLBACK WatchdogTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

// Terminates the worker thread that holds the busy lock; called by the
// watchdog when it fires while a remote operation runs. The operations
// module sets it; while it is 0 the worker is left to end by itself (its
// cancelled call fails) and clears the busy flag as usual. A hook that
// terminates the thread should also call TransportThreadGone (net/socket.h)
// with its id, in case it had not yet left its wait.
extern void (*WatchdogStopWorker)();
