// The local half of the main window: current directory, directories, drives, files.
#pragma once
#include <windows.h>

int FillLocalLists(HWND window);
