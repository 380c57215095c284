// Process-wide state of the program, created at start-up and read everywhere.
#pragma once
#include <winsock.h>
#include <windows.h>

extern HINSTANCE g_hInstance;        // the program's module, for every resource load
extern HWND g_hwndMain;              // the main window; 0 until created
extern int g_baseX, g_baseY;         // dialog base units
extern char g_className[32];         // "TARN"; also the title while nothing is connected
extern BYTE g_debugMode;             // "-d" on the command line
extern BYTE g_languageByte;          // primary language of the user's default locale
extern WSADATA g_wsaData;            // kept for its description text
extern char ListingTempFile[261];    // receives every remote listing; shown by LongDir
extern char ViewTempFile[261];       // receives a remote file for viewing
extern HBRUSH g_brushLightGrey, g_brushDarkGrey, g_brushWhite;
extern HCURSOR g_cursorArrow, g_cursorAppStarting;
extern DWORD g_guiThreadId;          // the thread that owns every window

// Dialog units to pixels with the kept base units (integer division).
inline int DluX(int units) { return units * g_baseX / 4; }
inline int DluY(int units) { return units * g_baseY / 8; }

// True on the thread that owns the windows.
inline bool OnGuiThread() { return GetCurrentThreadId() == g_guiThreadId; }
