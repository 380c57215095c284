// Receiving files and listings over the data connection.
#pragma once
#include <winsock.h>

// Runs a listing command (LIST or NLST ...) with its data connection and
// writes the listing into ListingTempFile; returns 2 when the server
// confirmed the transfer.
int RetrieveListing(SOCKET control, const char* command);
