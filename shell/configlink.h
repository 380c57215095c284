// What the shell gives the configuration dialogs, and what it does on their
// results.
#pragma once
#include <windows.h>

// Lends the main window, its brushes and its busy cursor to the dialogs
// (main 0: the window is gone, the dialogs stand on their own again).
void ShareMainWindowWithDialogs(HWND main);
// Opens DLG_HOST owned by owner and returns its result (1: connect with
// HostProfile). Cancelled while not logged on, the session forgets its host
// and the main window offers Connect again.
INT_PTR RunHostDialog(HWND owner);
