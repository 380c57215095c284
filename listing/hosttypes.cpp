#include "listing/hosttypes.h"

#include <wchar.h>

static constexpr const char* kHostTypeNames[] = {
    "Auto Detect",
    "NetManage Chameleon TCP/IP",
    "FTP Software PC-TCP",
    "IBM-PC TCP/IP",
    "IBM-VM/MVS",
    "KA9Q/NOS",
    "NCSA/CUTCP",
    "SI FTPD for Microsoft Windows NT",
    "SuperTCP FTPD",
    "Unisys 5000 (EXOS)",
    "UNIX (Default)",
    "VMS-Multinet",
    "VMS-UCX",
    "WinQVT/Net",
    "Microsoft Windows NT",
    "Sun Solaris - UNIX",
    "Software Innovations TCP/IP",
    "OS2 PC Type L8",
    "IBM-MVS",
    "FTP Software PC/TCP 3.X  OnNet 1.X",
    "Varnholt VMS FTP",
};

const char* HostTypeName(DWORD type)
{
    if (type < HOST_AUTO || type > HOST_VARNVMS)
        return "";
    return kHostTypeNames[type - HOST_AUTO];
}

static bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

static bool BeginsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

DWORD HostTypeFromHelp(const std::wstring& text)
{
    if (Contains(text, L"NCSA") || Contains(text, L"CUTCP"))
        return HOST_NCSA;
    if (BeginsWith(text, L"214-PC FTP server") || Contains(text, L"QVT"))
        return HOST_WINQVT;
    if (BeginsWith(text, L"211-FTP Software PC/TCP FTP Server for Windows") || Contains(text, L"PC/TCP 3.10"))
        return HOST_PCTCP3;
    return HOST_UNIX;
}

DWORD HostTypeFromSyst(const std::wstring& text)
{
    static constexpr struct { const wchar_t* part; DWORD type; } kSyst[] = {
        {L"Windows_NT", HOST_WINNT},  {L"WINDOWS NT Type: L8", HOST_SOFTINNOV},
        {L"UNIX", HOST_UNIX},         {L"MultiNet", HOST_MULTINET},
        {L"VMS", HOST_UCX},           {L"PC Type: L8", HOST_OS2},
        {L"OS/MVS", HOST_MVS},
    };
    for (const auto& row : kSyst)
        if (Contains(text, row.part))
            return row.type;
    return HOST_UNIX;
}

void ScanHelpLine(const std::wstring& text, CommandSupport* support)
{
    if (Contains(text, L"MKD"))
        support->canMakeDir = true;
    if (Contains(text, L"RMD"))
        support->canRemoveDir = true;
    if (Contains(text, L"RNFR"))
        support->canRename = true;
    if (Contains(text, L"DELE"))
        support->canDelete = true;
}
