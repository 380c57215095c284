// The options dialog, the one-line input dialogs and the about box, with the
// placement shared by every dialog of the program.
#pragma once
#include <windows.h>

enum { INPUT_PROMPT_SIZE = 79, INPUT_TEXT_SIZE = 70 };

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
// DLG_ABOUT: the local host and the Windows Sockets description.
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
