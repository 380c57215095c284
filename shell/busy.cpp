#include "shell/busy.h"

#include "ftp/blocking.h"

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

static HANDLE g_worker;
static DWORD g_workerId;
static volatile DWORD g_stoppingId;
static HANDLE g_parkedEvent;

void SetWorkerThread(HANDLE thread, DWORD id)
{
    if (g_worker)
        CloseHandle(g_worker);
    g_worker = thread;
    g_workerId = id;
}

DWORD WorkerThreadId()
{
    return g_workerId;
}

bool WorkerStopping()
{
    return g_stoppingId != 0 && GetCurrentThreadId() == g_stoppingId;
}

void WorkerSafePoint()
{
    if (!WorkerStopping())
        return;
    SetEvent(g_parkedEvent);
    for (;;)
        Sleep(INFINITE);
}

bool StopWorker(DWORD graceMs)
{
    if (!g_worker || WaitForSingleObject(g_worker, 0) == WAIT_OBJECT_0)
        return false;
    if (!g_parkedEvent)
        g_parkedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(g_parkedEvent);
    g_stoppingId = g_workerId;
    // Marked: its blocked socket call, if any, fails now and reaches its
    // safe point.
    CancelBlockingCall();
    HANDLE waits[2] = {g_parkedEvent, g_worker};
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= graceMs)
            break;
        DWORD r = MsgWaitForMultipleObjects(2, waits, FALSE, graceMs - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || r == WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    TerminateThread(g_worker, 1);
    WaitForSingleObject(g_worker, 5000);
    g_stoppingId = 0;
    return true;
}
