// The table of remote host types and the current one.
#pragma once
#include <windows.h>

#include "listing/hosttypeids.h"

extern DWORD HostType;           // host type of the current connection

// Name of a host type, or "" for a value outside the table.
const char* HostTypeName(DWORD type);
