// The table of remote host types and the current one.
#pragma once
#include <windows.h>

#include "ftp/session.h"  // HostType, the host type of the current connection
#include "ftp/hosttypeids.h"

// Name of a host type, or "" for a value outside the table.
const char* HostTypeName(DWORD type);

// The four optional commands a server may offer, as its HELP text tells.
struct CommandSupport {
    bool canMakeDir, canRemoveDir, canRename, canDelete;
};

// Detection rules on one reply line (the whole line, code included, trimmed).
#include <string>
// The host type a first HELP line names: NCSA/CUTCP, WinQVT, PC/TCP 3.X, or
// UNIX (Default) when it names none of them.
DWORD HostTypeFromHelp(const std::wstring& text);
// The host type a SYST reply names; UNIX (Default) when none.
DWORD HostTypeFromSyst(const std::wstring& text);
// Sets the flags of the commands a HELP line lists.
void ScanHelpLine(const std::wstring& text, CommandSupport* support);

#include <winsock.h>
// Works out the host type of a freshly logged-on server (when Auto Detect)
// and the commands it offers, from its HELP and SYST replies; returns the
// commands.
CommandSupport DetectHostType(SOCKET control);
