// The status log on the screen: the two status lines of the main window and
// the debug window's new lines. The log itself reaches them only through the
// hooks installed here.
#pragma once
#include <windows.h>

// Message a worker's log line sends to the main window so that the GUI
// thread shows the newest status lines (wParam 0), or posts while the lines
// are batched (STATUS_REFRESH_BATCHED).
#define WM_TARN_STATUS_REFRESH (WM_APP + 1)
enum { STATUS_REFRESH_BATCHED = 1, STATUS_TIMER_ID = 31, STATUS_BATCH_MS = 50 };

// The two status-line controls and the one of the lines before them (as
// many as its height holds), attached by the main window when it makes them
// (0s when it goes).
void AttachStatusLines(HWND upper, HWND lower, HWND earlier = nullptr);
// Shows StatusHistory at its shown position on the status lines; runs on the
// thread that owns them (the main window calls it for a worker's request).
void StatusShow();
// The main window's handling of WM_TARN_STATUS_REFRESH: shows at once, or a
// batched request no sooner than STATUS_BATCH_MS after the last batch.
void OnStatusRefreshMessage(HWND main, WPARAM how);
// Batches a worker's status lines (a tree transfer logs several lines for
// each of thousands of files): while on, a line is stored at once and the
// status lines show the newest ones at most every STATUS_BATCH_MS, instead
// of a call into the GUI thread for every line. Every line is still logged,
// in order, and the history the scroll bar pages through is the same. Off
// shows the newest lines before it returns.
void BatchStatusLines(bool on);
bool StatusLinesBatched();
// Gives the log its hooks: the worker's safe point, the status lines and the
// debug window.
void InstallLogHooks();
