// Placeholder until the socket layer lands.
#include "ftp/socket.h"

SOCKET ReleaseSocket(SOCKET s)
{
    if (s != INVALID_SOCKET)
        closesocket(s);
    return INVALID_SOCKET;
}
