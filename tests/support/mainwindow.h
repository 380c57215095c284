// The real main window for tests that need the GUI thread: the watchdog's
// timer lives on it, and a worker's log lines are shown through it.
#pragma once
#include <windows.h>
#include <vector>
#include <string>

#include <functional>

// Creates the main window on the calling thread, which becomes the GUI
// thread; 0 on failure.
HWND OpenMainWindow();
// Closes it the way the program does (WM_CLOSE) and drops the quit message
// that closing posts.
void CloseMainWindow();
// Dispatches the calling thread's messages for `ms` milliseconds.
void PumpMessagesFor(DWORD ms);
// Runs `work` on a new thread while the calling (GUI) thread keeps
// dispatching its messages; returns when `work` has returned.
void RunOnWorker(const std::function<void()>& work);

// Every text set on `window` (WM_SETTEXT) while it is watched, in order;
// one window at a time.
void WatchTexts(HWND window, std::vector<std::string>* texts);
void StopWatchingTexts(HWND window);
