// Placeholder until the data transfers land.
#include "ftp/transfer.h"

int RetrieveListing(SOCKET, const char*)
{
    return 0;
}
