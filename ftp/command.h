// The command and reply exchange on the control connection, and the small
// command operations built on it.
//
// Results: the reply class (code / 100), 550 itself for a reply 550, 0 when
// nothing was sent or the reply had no code, -1 when the reply could not be
// read; a reply read while the aborting flag is set counts as 421.
#pragma once
#include <winsock.h>

#include "ftp/reply.h"  // the reply classes

// Formats a command (printf rules, at most 511 characters), echoes it to the
// status log ("PASS xxxxxx" for a password), sends it and reads the reply.
int SendCommand(SOCKET s, const char* format, ...);
// Logs a command or reply line: the wire's bytes, shown converted when the
// session's names are UTF-8 (FtpHooks.shownLine).
void LogWireLine(const char* line);
// As SendCommand, but returns the full reply code afterwards.
int SendCommandCode(SOCKET s, const char* format, ...);
// Sends one command line with CR LF: the result of SendAll, or -1 when the
// socket is invalid or a command is already in progress (entry 38).
int SendLine(SOCKET s, const char* text);
// Reads one whole reply, single- or multi-line, logging every line.
int GetReply(SOCKET s);
// Reads one reply line into FtpSession.replyLine, under the time-out
// watchdog armed once for the whole line: at most 4000 bytes are kept, the
// rest of a longer line up to its line feed is dropped. Returns its code; 421 when the aborting flag is set
// at its end; 0 for an invalid socket or a line without a code; -1 when the
// first receive fails.
int ReadReplyLine(SOCKET s);

// True once a read on the control connection of this logon found it ended
// by the server (a close, a reset, its 421): nothing more may be sent on it,
// and the shell ends the session. A logon starts it false.
bool ControlConnectionLost();
void ForgetControlConnectionLost();

// Sends a command whose exchange the user did not ask for (the keep-alive
// NOOP): its echo and a 2xx reply are logged only while trace lines are
// shown (Verbose); any other reply is logged with the echo before it.
// Returns as SendCommand.
int SendQuietCommand(SOCKET s, const char* command);

int FtpCwd(SOCKET s, const char* directory);
int FtpPwd(SOCKET s);
int FtpMkd(SOCKET s, const char* directory);
int FtpRmd(SOCKET s, const char* directory);
int FtpDele(SOCKET s, const char* name);
