// The remote half of the main window: the listing frame and its lists.
#pragma once
#include <windows.h>

int DoDirList(HWND window);
