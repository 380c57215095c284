// The idle session: once a second the main window looks at the control
// connection while no remote operation runs, so that a server that ends an
// idle session (its 421, then the close) is noticed within a second; and
// with the profile's KEEPALIVE set, NOOP goes out once the session has been
// idle for that many seconds, so that a server's idle time-out does not end
// it while the user works locally.
#pragma once
#include <winsock.h>
#include <windows.h>

// The one-second tick of the main window that counts the idle seconds.
enum { KEEPALIVE_TIMER_ID = 36, KEEPALIVE_TICK_MS = 1000 };

// Starts the tick (the main window's creation); it runs until the window goes.
void StartKeepAliveTimer(HWND main);
// The control connection of a session that Connect opened: the tick looks
// after it (and no other) while it stays the session's.
void WatchIdleSession(SOCKET control);
