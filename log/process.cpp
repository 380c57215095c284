#include "log/process.h"

HINSTANCE g_hInstance;
BYTE g_debugMode;
WSADATA g_wsaData;
DWORD g_guiThreadId;
