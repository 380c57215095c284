// Start-up, the message loop and shutdown.
#pragma once
#include <windows.h>

int RegisterMainClass();
LCID InitLanguageFont();
void UnregisterClasses();
// Start-up steps 4 to 8: class name, class, base units, window, shown.
// Returns the main window, or 0 after showing the failure box.
HWND CreateMainWindow(HINSTANCE instance, HINSTANCE previous, int show, int* exitCode);
// The whole life cycle behind the GUI entry point.
int TarnMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int show);
// Starts the fetch of "host:path" from the command line; 1 when started.
int StartCommandLineFetch(const wchar_t* argument);
// Runs the message loop until the quit message; returns its code.
int RunMessageLoop();
// The creation and closing halves of the main window's life (WM_CREATE, WM_CLOSE).
void OnMainCreate(HWND main);
void OnMainClose(HWND main);
// The placement of the last run (ProgramOptions.placement) given to the
// main window, kept within the work area of a monitor; returns how to show
// it (maximized when it was and `show` asks for nothing else).
int RestorePlacement(HWND main, int show);
// The main window's placement into ProgramOptions.placement, for the save.
void RememberPlacement(HWND main);

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
