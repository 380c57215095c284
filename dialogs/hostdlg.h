// The Host Configuration dialog (DLG_HOST) and the ANS Gateway dialog
// (DLG_GATEWAY) that edit HostProfile and the stored profiles.
#pragma once
#include <windows.h>

// DLG_HOST ends with 1 (connect with HostProfile) or 0 (cancelled).
INT_PTR CALLBACK WS_HostMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// DLG_GATEWAY ends with 1 after storing the gateway values under the folder.
INT_PTR CALLBACK WS_GateMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Reads the folder's profile (or the defaults) into HostProfile and into the
// fields of DLG_HOST. Returns 1.
int LoadProfile(HWND dialog, const char* folder);
