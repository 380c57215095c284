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
// Stops the worker, if one runs: it is parked at its next safe point (a socket
// call, a log line, a prompt, a listing line), where it holds no lock, and
// only then terminated with exit code 1. A worker that reaches no safe point
// within the grace time is terminated where it is. The caller (the GUI thread)
// keeps dispatching its messages meanwhile, since the worker may be waiting
// for one of its windows. Returns true when a worker was stopped.
bool StopWorker(DWORD graceMs = 10000);
// Called by the worker at its safe points; never returns on a stopped worker.
void WorkerSafePoint();
// True while the calling thread is a worker that is being stopped.
bool WorkerStopping();
