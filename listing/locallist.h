// The local half of the main window: current directory, directories, drives, files.
#pragma once
#include <windows.h>

// Refreshes the local lists from the current working directory and the local
// mask. Runs on the GUI thread; called on a worker, it is carried out there
// in one synchronous call, so two listings never mix their entries.
// Always returns 0.
int FillLocalLists(HWND window);
