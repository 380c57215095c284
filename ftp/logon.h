// Connecting to the server and logging on, with retries and the logon gateway.
#pragma once
#include <winsock.h>

// Opens the control connection to host (or to the gateway), reads the
// greeting and logs on. Returns the control socket, logged on, or INVALID_SOCKET.
SOCKET FtpLogon(const char* host);
// FtpLogon, retried RETRIES times at once; reports the outcome.
SOCKET FtpConnect(const char* host);
// Ends a logon whose worker was stopped before the logon was over (its
// reply never came): logs the failure the logon would have logged, as for a
// time-out (the greeting's entry 72 with code 421, the gateway's 87, the
// user's 35), releases the control socket and shows Connect. False when no
// logon was under way.
bool EndCutOffLogon();

// Every connect (Connect, the debug window's, the command-line fetch) goes
// through here: the names become the session's, the logon starts from the
// host type of the profile connected with (Auto Detect detects again, a
// chosen type is kept), and FtpConnect's socket is recorded and returned.
SOCKET ConnectSession(const char* host, const char* user, const char* password);
