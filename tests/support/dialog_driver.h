// Answers the program's modal dialogs from a second thread, the way a user
// would: find the dialog, type into its fields, press its buttons.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "tests/support/testwindow.h"  // PumpUntil, WindowText

// The visible, enabled dialog of this process that has a control markerId
// (and none with excludeId), waiting up to ms milliseconds; 0 if none came.
HWND WaitForDialog(int markerId, int excludeId = 0, DWORD ms = 10000);
// Waits until the window is gone; false after ms milliseconds.
bool WaitGone(HWND window, DWORD ms = 10000);
// Presses a button (push, check or radio) as a click would.
void Click(HWND dialog, int id);
// The same without waiting, for a button that opens another modal dialog.
void ClickLater(HWND dialog, int id);
std::string ItemText(HWND dialog, int id);
// Closes every dialog of this process (used when a script went wrong).
void CloseAllDialogs();
// The text of a message box that shows up within ms, after pressing its first
// button; "" when none came.
std::string AnswerMessageBox(DWORD ms, std::string* title = nullptr);
// With TARN_SHOT_DIR set, lets an outside script take a screenshot named
// name.png before going on; does nothing otherwise.
void Snapshot(const char* name);

// Runs script on its own thread for as long as the calling thread runs open()
// (which shows a modal dialog). Whatever the script does, no dialog is left
// open once it has ended, so a broken test fails instead of hanging.
struct DialogScript {
    explicit DialogScript(std::function<void()> script);
    ~DialogScript();
    void Join();
    std::thread thread;
};
