// The remote half of the main window: the listing frame and its lists.
#pragma once
#include <windows.h>

// The remote current directory as the last PWD of a listing named it (at most
// 180 bytes; "undecipherable" when the reply named none; empty when not
// logged on).
extern char RemoteCurrentDir[181];

int DoDirList(HWND window);
