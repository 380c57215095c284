// The debug window: the last lines of the status log and the debugging commands.
#pragma once
#include <windows.h>

#include "log/log.h"

// The debug window, 0 when none.
extern HWND g_hwndDebug;

int CreateDebugWindow(HWND main, HINSTANCE instance);
LRESULT CALLBACK DebugWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PaintDebugLog(HWND hwnd, DebugLogRec* log);
// Shows a line newly stored in DebugLog: repaints the page, or scrolls down
// one line when the page was not at the end. Any thread.
void RefreshDebugWindow();
// New top line for a scroll code (0 line up, 1 line down, 2 page up,
// 3 page down, 4 thumb at position); returns -1 when nothing changes.
int DebugScrollTop(int code, int position, int top, int count);
// True for the commands the debug window lets pass while a command is under way.
bool DebugCommandPassesWhileBusy(int id);
// Carries out a command of the debug window's menu (on the GUI thread).
void DebugCommand(HWND hwnd, int id);
