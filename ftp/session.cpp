#include "ftp/session.h"

#include "ftp/hosttypeids.h"

FtpSessionRec FtpSession = {
    INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET,
    "", "", "",
    0, 0, 0, 0,
    "", "",
    {}, {}, {},
    'A', 0,
    -1, 0, -1, 0, 0,
    0, 0, 0,
    0,
    0,
};

DWORD HostType = HOST_AUTO;

void CommandCountEnter()
{
    InterlockedIncrement(&FtpSession.commandCount);
}

bool CommandCountTake()
{
    return InterlockedCompareExchange(&FtpSession.commandCount, 1, 0) == 0;
}

void CommandCountLeave()
{
    for (;;) {
        LONG n = FtpSession.commandCount;
        if (n <= 0 || InterlockedCompareExchange(&FtpSession.commandCount, n - 1, n) == n)
            return;
    }
}

char ListingTempFile[261];
char ViewTempFile[261];
