// The main window's keyboard, as in the file managers of Windows: Tab and
// Shift+Tab through every control, Enter, Backspace and Delete in the lists,
// F5, F1 and Esc; and the focus kept while the window is inactive.
#pragma once
#include <windows.h>

// A key press of the message loop meant for the main window or one of its
// controls: carried out and true, or false when the message goes on as usual.
bool MainWindowKey(const MSG& msg);
// After each message: follows the focus among the main window's controls
// (the push button that has it is drawn as the default, as in dialogs).
void TrackMainFocus();
// The main window got the focus (WM_SETFOCUS): it goes on to the control
// that had it last, or to the first.
void RestoreMainFocus(HWND main);
// The controls in the order Tab goes through them.
extern const int kTabOrder[];
extern const int kTabOrderCount;
