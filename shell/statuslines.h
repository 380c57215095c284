// The status log on the screen: the two status lines of the main window and
// the debug window's new lines. The log itself reaches them only through the
// hooks installed here.
#pragma once
#include <windows.h>

// Message a worker's log line sends to the main window so that the GUI
// thread shows the newest status lines.
#define WM_TARN_STATUS_REFRESH (WM_APP + 1)

// The two status-line controls and the one of the lines before them (as
// many as its height holds), attached by the main window when it makes them
// (0s when it goes).
void AttachStatusLines(HWND upper, HWND lower, HWND earlier = nullptr);
// Shows StatusHistory at its shown position on the status lines; runs on the
// thread that owns them (the main window calls it for a worker's request).
void StatusShow();
// Gives the log its hooks: the worker's safe point, the status lines and the
// debug window.
void InstallLogHooks();
