// The busy lock: one remote operation at a time.
#pragma once
#include <windows.h>

void BusyLockInit();
void BusyLockDelete();
void SetBusy(BYTE flag);
BYTE IsBusy();

// The current worker thread: the most recently started one.
void SetWorkerThread(HANDLE thread, DWORD id);
DWORD WorkerThreadId();
// Stops the worker, if one runs, and waits until it has ended: its socket
// calls fail as cancelled from now on, its dialogs are cancelled, its log
// lines and its end of the operation (the busy flag) are dropped, so that it
// unwinds through its own code and returns 1 with nothing left behind. A
// worker that has not ended within the grace time is terminated, and that
// is logged. The caller (the GUI thread) keeps dispatching its messages
// meanwhile, since the worker may be waiting for one of its windows.
// Returns true when a worker was stopped.
bool StopWorker(DWORD graceMs = 10000);
// Asked by the lower layers at their safe points: true on a worker that is
// being stopped.
bool WorkerSafePoint();
// True while the calling thread is a worker that is being stopped.
bool WorkerStopping();
