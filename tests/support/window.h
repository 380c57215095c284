// The real main window for tests that look at its controls, and the threads
// around it.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/mainwindow.h"  // RunOnWorker

// Creates the main window on the first call (on the calling thread, which
// becomes the GUI thread) and returns it; it is closed when the program ends.
HWND TestMainWindow();
// Processes every message waiting for this thread.
void PumpMessages();
// What a list box of the main window shows, top to bottom.
std::vector<std::string> ListItems(int id);
int ListExtent(int id);
std::string ControlText(int id);
// Keeps the window up and responsive for TARN_HOLD_SECONDS seconds (when
// set), so that the screen can be captured from outside.
void HoldForScreenshot();
