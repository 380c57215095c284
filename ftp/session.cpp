#include "ftp/session.h"

FtpSessionRec FtpSession = {
    INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET,
    "", "", "",
    0, 0, 0, 0, 0,
    "", "",
    {}, {}, {},
    'A', 0,
    -1, 0, -1, 0, 0,
    0, 0, 0,
};
