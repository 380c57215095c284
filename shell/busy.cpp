#include "shell/busy.h"

#include "net/blocking.h"
#include "log/log.h"
#include "resources/catalogue.h"

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
    // A worker being stopped does not end its operation: the stopper does,
    // once its own steps (the abort's exchange) are done.
    if (flag == 0 && WorkerStopping())
        return;
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

namespace {

constexpr DWORD kStopSliceMs = 100;      // how often a stopping worker's new dialogs are closed
constexpr DWORD kTerminatedWaitMs = 5000;

// A worker may be waiting for the user in a dialog of its own thread: the
// dialog is cancelled, and the worker goes on as after Cancel.
BOOL CALLBACK CancelWorkerDialog(HWND hwnd, LPARAM)
{
    char className[8];
    if (GetClassNameA(hwnd, className, sizeof className) && lstrcmpA(className, "#32770") == 0)
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

}  // namespace

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

bool WorkerSafePoint()
{
    return WorkerStopping();
}

bool StopWorker(DWORD graceMs)
{
    if (!g_worker || WaitForSingleObject(g_worker, 0) == WAIT_OBJECT_0)
        return false;
    g_stoppingId = g_workerId;
    // Marked: its blocked socket call, if any, fails now, and so does every
    // later one; the worker returns through its own code.
    CancelBlockingCall();
    DWORD start = GetTickCount();
    bool ended = false;
    for (;;) {
        EnumThreadWindows(g_workerId, CancelWorkerDialog, 0);
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= graceMs)
            break;
        DWORD slice = graceMs - elapsed < kStopSliceMs ? graceMs - elapsed : kStopSliceMs;
        DWORD r = MsgWaitForMultipleObjects(1, &g_worker, FALSE, slice, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (!ended) {
        // The last resort, for a worker that is not in one of our waits (a
        // call of the system that never returns): what it holds is lost.
        LogMessage(MSG_WORKER_TERMINATED, static_cast<unsigned>(graceMs / 1000));
        TerminateThread(g_worker, 1);
        WaitForSingleObject(g_worker, kTerminatedWaitMs);
    }
    g_stoppingId = 0;
    return true;
}
