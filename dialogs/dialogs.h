// The options dialog, the one-line input dialogs and the about box, with the
// placement shared by every dialog of the program.
#pragma once
#include <windows.h>

#include "store/store.h"

enum { INPUT_PROMPT_SIZE = 79, INPUT_TEXT_SIZE = 70 };

// What the dialogs take from the program's main window. The shell sets it
// when the main window is made and clears it when the window goes; before,
// the dialogs stand on their own (centred on the screen, stock colours).
struct DialogContextRec {
    HWND owner;            // the main window: owner and centre of the dialogs
    HBRUSH lightGrey;      // the background of dialogs, buttons and texts
    HBRUSH white;          // the host dialog's drop-down list
    HCURSOR busyCursor;    // over the options dialog while a command is under way
};
extern DialogContextRec DialogContext;

// Shared by both input dialogs: the formatted prompt (at most 78 characters)
// and the input text (initial text on opening, the entered text after OK; at
// most 69 characters).
extern char InputPrompt[INPUT_PROMPT_SIZE];
extern char InputText[INPUT_TEXT_SIZE];

// One-line input with title entry titleId and prompt entry promptId formatted
// with the 32-bit arguments that follow. buffer (or 0) gives the initial text
// and, after OK, receives the entered text: it must hold INPUT_TEXT_SIZE bytes.
// Returns 1 for OK, 0 for cancel. The dialog is owned by the main window and
// may be opened from a worker thread.
int AskText(char* buffer, UINT titleId, UINT promptId, ...);
// The same with the password dialog, titled entry 146.
int InputPassword(char* buffer, UINT promptId, ...);

INT_PTR CALLBACK WS_InputMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// DLG_STATUS: ends with 1 for Set, 0 for Cancel.
INT_PTR CALLBACK WS_StatMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// DLG_ABOUT: the version, the local host and the Windows Sockets description.
INT_PTR CALLBACK WS_AboutMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Places the dialog over the centre of the main window, lower by offset pixels.
void CentreDialog(HWND dialog, int offset);

// Reads control id of the dialog into out, at most maxBytes bytes, never
// splitting a double-byte character. Returns the length.
int GetDialogText(HWND dialog, int id, char* out, int maxBytes);
// Copies at most maxBytes bytes of src into out without splitting a
// double-byte character; out holds maxBytes + 1.
int CopyTextCut(char* out, const char* src, int maxBytes);
// Light grey for buttons, statics and the dialog itself; 0 for other requests.
HBRUSH DialogControlColour(UINT message, HDC dc);
// What every dialog of the program does alike: Cancel and the close box end
// it with 0, and its controls are light grey. Returns the procedure's result
// (FALSE for a message it leaves to the system).
INT_PTR DialogCommonMessage(HWND dialog, UINT message, WPARAM wParam);
// Tells the user of each failure of the registry store, one message box each.
void ShowStoreFailures(const StoreFailures& failures);
