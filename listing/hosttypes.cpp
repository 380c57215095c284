#include "listing/hosttypes.h"

DWORD HostType = HOST_AUTO;

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
