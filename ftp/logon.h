// Connecting to the server and logging on, with retries and the logon gateway.
#pragma once
#include <winsock.h>

// Opens the control connection to host (or to the gateway), reads the
// greeting and logs on. Returns the control socket, logged on, or INVALID_SOCKET.
SOCKET FtpLogon(const char* host);
// FtpLogon, retried RETRIES times at once; reports the outcome.
SOCKET FtpConnect(const char* host);
