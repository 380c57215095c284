// Help: the WinHelp file "tarn.hlp" when it is beside the program and
// WinHelp opens it; otherwise TARN's own help window with the text of the
// program's resources, in the language of the rest of the interface.
#pragma once
#include <windows.h>

#include <string>

// Shows help for the main window `owner` (the Help button and the debug
// window's Help). The own help window is made once and brought forward
// again while it exists; it is owned by `owner`, can be resized, and closes
// with Esc or its close box.
void ShowHelp(HWND owner);
// The help window while it exists, else 0.
HWND HelpWindow();
// Unregisters the help window's class at exit.
void UnregisterHelpClass();

// The text of the own help window: the sections of the catalogue, numbered,
// with their line feeds as CR LF, a blank line between sections.
std::string HelpText();
