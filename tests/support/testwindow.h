// The real main window for tests that need windows, timers or the status lines.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Creates the main window once per test program (on the calling thread,
// which becomes the GUI thread) and returns it.
HWND EnsureMainWindow();
// Dispatches the calling thread's messages for about ms milliseconds.
void PumpMessages(DWORD ms);
// Dispatches messages until done() is true or timeoutMs passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Text of a window.
std::string WindowText(HWND hwnd);
