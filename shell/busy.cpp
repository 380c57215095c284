#include "shell/busy.h"

// The critical section guards only the flag, for one access at a time.
static CRITICAL_SECTION g_busySection;
static bool g_busyReady;
static BYTE g_busy;

void BusyLockInit()
{
    if (!g_busyReady) {
        InitializeCriticalSection(&g_busySection);
        g_busyReady = true;
    }
}

void BusyLockDelete()
{
    if (g_busyReady) {
        DeleteCriticalSection(&g_busySection);
        g_busyReady = false;
    }
}

void SetBusy(BYTE flag)
{
    if (!g_busyReady) {
        g_busy = flag;
        return;
    }
    EnterCriticalSection(&g_busySection);
    g_busy = flag;
    LeaveCriticalSection(&g_busySection);
}

BYTE IsBusy()
{
    if (!g_busyReady)
        return g_busy;
    EnterCriticalSection(&g_busySection);
    BYTE b = g_busy;
    LeaveCriticalSection(&g_busySection);
    return b;
}
