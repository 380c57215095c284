// The few process-wide values that every layer may read. Start-up sets them
// before anything else runs.
#pragma once
#include <winsock.h>
#include <windows.h>

extern HINSTANCE g_hInstance;        // the program's module, for every resource load
extern BYTE g_debugMode;             // "-d" on the command line
extern WSADATA g_wsaData;            // kept for its description text
extern DWORD g_guiThreadId;          // the thread that owns every window

// True on the thread that owns the windows.
inline bool OnGuiThread() { return GetCurrentThreadId() == g_guiThreadId; }
