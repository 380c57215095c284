// Placeholder until the data transfers land.
#include "ftp/transfer.h"

#include <io.h>

void SetTransferType(SOCKET, char) {}
SOCKET OpenDataListener(SOCKET) { return INVALID_SOCKET; }
int RetrieveFile(SOCKET, const char*, const char*, const char*, char) { return 0; }
int ReceiveToFile(SOCKET, const char*, const char*) { return 0; }
int RetrieveListing(SOCKET, const char*) { return 0; }
int StoreFile(SOCKET, const char*, const char*, char) { return 0; }
int SendFromFile(SOCKET, const char*) { return 0; }

void CloseTransferFile(int* handle)
{
    if (*handle != -1)
        _close(*handle);
    *handle = -1;
}
