// The table of remote host types and the current one.
#pragma once
#include <windows.h>

enum : DWORD {
    HOST_AUTO = 6000, HOST_CHAMELEON = 6001, HOST_PCTCP = 6002, HOST_IBMPC = 6003,
    HOST_IBMVM = 6004, HOST_KA9Q = 6005, HOST_NCSA = 6006, HOST_SIFTPD = 6007,
    HOST_SUPERTCP = 6008, HOST_EXOS = 6009, HOST_UNIX = 6010, HOST_MULTINET = 6011,
    HOST_UCX = 6012, HOST_WINQVT = 6013, HOST_WINNT = 6014, HOST_SOLARIS = 6015,
    HOST_SOFTINNOV = 6016, HOST_OS2 = 6017, HOST_MVS = 6018, HOST_PCTCP3 = 6019,
    HOST_VARNVMS = 6020,
};

extern DWORD HostType;           // host type of the current connection

// Name of a host type, or "" for a value outside the table.
const char* HostTypeName(DWORD type);

// The four optional commands a server may offer, as its HELP text tells.
struct CommandSupport {
    bool canMakeDir, canRemoveDir, canRename, canDelete;
};
extern CommandSupport HostCommands;

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
// and the commands it offers, from its HELP and SYST replies; sets the remote
// Create, Remove, Rename and Delete buttons by them.
void DetectHostType(SOCKET control);
