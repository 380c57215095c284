// Process-wide state of the program, created at start-up and read everywhere.
#pragma once
#include <winsock.h>
#include <windows.h>

#include "ftp/session.h"
#include "log/process.h"

extern HWND g_hwndMain;              // the main window; 0 until created
extern int g_baseX, g_baseY;         // dialog base units
extern char g_className[32];         // "TARN"; also the title while nothing is connected
extern BYTE g_languageByte;          // primary language of the user's default locale
extern HBRUSH g_brushLightGrey, g_brushDarkGrey, g_brushWhite;
extern HCURSOR g_cursorArrow, g_cursorAppStarting;

// Dialog units to pixels with the kept base units (integer division).
inline int DluX(int units) { return units * g_baseX / 4; }
inline int DluY(int units) { return units * g_baseY / 8; }

