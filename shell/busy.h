// The busy lock: one remote operation at a time.
#pragma once
#include <windows.h>

void BusyLockInit();
void BusyLockDelete();
void SetBusy(BYTE flag);
BYTE IsBusy();
