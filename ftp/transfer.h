// The data connection: transfer type, the listening socket and PORT, and
// receiving and sending files and listings.
#pragma once
#include <winsock.h>

void SetTransferType(SOCKET control, char type);
SOCKET OpenDataListener(SOCKET control);
// Receives one remote file (command "RETR ...", or a listing command) into
// local (fallback when local cannot be created). 2 when the server confirmed
// the transfer, another reply class, or 0 when the transfer was not made.
int RetrieveFile(SOCKET control, const char* command, const char* local, const char* fallback, char type);
int ReceiveToFile(SOCKET data, const char* name, const char* fallback);
// Runs a listing command (LIST or NLST ...) with its data connection and
// writes the listing into ListingTempFile; returns 2 when the server
// confirmed the transfer.
int RetrieveListing(SOCKET control, const char* command);
// Sends one local file with command "STOR ..." or "STOU ...".
int StoreFile(SOCKET control, const char* command, const char* local, char type);
int SendFromFile(SOCKET data, const char* name);
// Closes a transfer file recorded in FtpSession and sets its handle to -1
// (the abort procedure closes the files a stopped transfer left open).
void CloseTransferFile(int* handle);
