// The command and reply exchange.
#include "ftp/command.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "store/options.h"
#include "net/blocking.h"
#include "ftp/hooks.h"
#include "ftp/hosttypeids.h"
#include "ftp/reply.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "log/log.h"
#include "resources/catalogue.h"

namespace {

bool IsLeadByte(unsigned char b)
{
    return IsDBCSLeadByte(b) != 0;
}

// Drops the rest of a line that has passed the cap, up to and including its
// line feed: a peek at a block, then a receive of exactly the bytes up to the
// line feed (or of the whole block when it has none). True when the line feed
// was reached; false when the connection ended or the wait was cancelled
// first (the time-out bounds the whole line, so a server that keeps sending
// without a line end is cut off like a silent one).
bool SkipRestOfLine(SOCKET s)
{
    char block[sizeof FtpSession.replyLine];
    while (!NetAborting) {
        int peeked = BlockingRecv(s, block, sizeof block, MSG_PEEK);
        if (peeked <= 0)
            return false;
        const char* lf = static_cast<const char*>(memchr(block, '\n', static_cast<size_t>(peeked)));
        int take = lf ? static_cast<int>(lf - block) + 1 : peeked;
        int got = BlockingRecv(s, block, take, 0);
        if (got <= 0)
            return false;
        if (lf && got == take)
            return true;
    }
    return false;
}

// ReadReplyLine, also telling whether the connection ended under it (the
// last receive gave 0 bytes or failed). The time-out guards the whole line.
int ReadLine(SOCKET s, bool* ended)
{
    *ended = false;
    if (s == INVALID_SOCKET)
        return 0;
    CommandCountEnter();
    NetAborting = 0;
    char* line = FtpSession.replyLine;
    memset(line, 0, sizeof FtpSession.replyLine);
    bool trace = TraceLinesShown();

    FtpHooks.armTimeout(HostProfile.timeout);
    int peeked = BlockingRecv(s, line, REPLY_PEEK, MSG_PEEK);
    if (peeked == SOCKET_ERROR) {
        LogError("socket recv (peek)", WSAGetLastError());
        FtpHooks.stopTimeout();
        CommandCountLeave();
        *ended = true;
        return -1;
    }

    int total = 0;
    int last = peeked;
    bool firstPass = true;
    bool closed = peeked == 0;
    while (last >= 1) {
        int want;
        int got;
        if (firstPass) {
            want = ReplyTakeCount(line, peeked, HostType == HOST_EXOS, IsLeadByte);
            got = BlockingRecv(s, line, want, 0);
            // The peek left bytes beyond the taken ones; the line ends here.
            memset(line + (got > 0 ? got : 0), 0, REPLY_PEEK);
        } else {
            want = 1;
            got = BlockingRecv(s, line + total, 1, 0);
        }
        if (trace)
            LogMessage(MSG_READ_LINE_TRACE, static_cast<unsigned>(s), static_cast<unsigned>(last),
                       static_cast<unsigned>(want), static_cast<unsigned>(got), got > 0 ? line + total : "");
        if (got <= 0) {
            closed = true;
            break;
        }
        total += got;
        if (line[total - 1] == '\n')
            break;
        if (total >= REPLY_LINE_MAX) {
            // What lies beyond the cap is dropped, never read as a line of its own.
            closed = !SkipRestOfLine(s);
            break;
        }
        last = got;
        firstPass = false;
    }
    *ended = closed;
    FtpHooks.stopTimeout();
    int code = ReplyCode(line);
    if (NetAborting)
        code = 421;
    TrimReplyLine(line);
    CommandCountLeave();
    return code;
}

}  // namespace

void LogWireLine(const char* line)
{
    bool plain = true;
    for (const char* c = line; c && *c && plain; ++c)
        plain = static_cast<unsigned char>(*c) < 0x80;
    if (plain || !FtpSession.namesUtf8) {
        LogLine(line);
        return;
    }
    char shown[sizeof FtpSession.replyLine + 64];
    FtpHooks.shownLine(line, shown, sizeof shown);
    LogLine(shown);
}

namespace {

int SendCommandV(SOCKET s, const char* format, va_list args)
{
    char command[COMMAND_MAX + 1];
    int n = vsnprintf(command, sizeof command, format ? format : "", args);
    if (n < 0)
        command[0] = 0;
    command[COMMAND_MAX] = 0;
    FtpSession.lastReplyCode = 0;
    LogWireLine(CommandEcho(command));
    if (s == INVALID_SOCKET) {
        LogLine(MSG_NOT_CONNECTED);
        return 0;
    }
    // A failed send has been logged by SendAll; no reply is read for it.
    if (SendLine(s, command) < 1)
        return 0;
    return GetReply(s);
}

const char* Text(const char* s)
{
    return s ? s : "";
}

}  // namespace

int ReadReplyLine(SOCKET s)
{
    bool ended;
    return ReadLine(s, &ended);
}

int SendCommand(SOCKET s, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = SendCommandV(s, format, args);
    va_end(args);
    return r;
}

int SendCommandCode(SOCKET s, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    SendCommandV(s, format, args);
    va_end(args);
    return FtpSession.lastReplyCode;
}

int SendLine(SOCKET s, const char* text)
{
    if (s == INVALID_SOCKET)
        return -1;
    if (!CommandCountTake()) {
        LogLine(MSG_COMMAND_IN_PROCESS);
        return -1;
    }
    char* buffer = FtpSession.sendBuffer;
    size_t n = strlen(Text(text));
    if (n > sizeof FtpSession.sendBuffer - 3)
        n = sizeof FtpSession.sendBuffer - 3;
    memcpy(buffer, Text(text), n);
    buffer[n] = '\r';
    buffer[n + 1] = '\n';
    buffer[n + 2] = 0;
    int r = SendAll(s, buffer, static_cast<int>(n + 2));
    CommandCountLeave();
    return r;
}

// A logged-on session whose server ended the control connection: the
// shell ends it. A read cut by our own cancel (abort, time-out) is no loss.
static void NoteConnectionLost()
{
    if (FtpSession.loggedOn && !NetAborting)
        FtpHooks.connectionLost();
}

int GetReply(SOCKET s)
{
    if (s == INVALID_SOCKET)
        return 0;
    CommandCountEnter();
    bool first = true;
    int result = 0;
    for (;;) {
        bool ended;
        int c = ReadLine(s, &ended);
        if (c == -1) {
            NoteConnectionLost();
            result = -1;
            break;
        }
        FtpSession.replyDepth++;
        const char* line = FtpSession.replyLine;
        bool more = ReplyLineContinues(c, line);
        if (line[0])
            LogWireLine(line);
        if (NetAborting) {
            // Cancelled (abort or time-out): the reply ends here, whatever
            // line it was in, and counts as 421.
            FtpSession.lastReplyCode = 421;
            break;
        }
        // The server's own 421, or a connection that ended before a line came.
        if ((c == 421 && !more) || (ended && !line[0]))
            NoteConnectionLost();
        if ((first || FtpSession.lastReplyCode == 0) && c >= 100 && c <= 599)
            FtpSession.lastReplyCode = c;
        more = more || (!first && FtpSession.lastReplyCode > 0 && c != FtpSession.lastReplyCode);
        if (!more)
            break;
        if (ended) {
            // The server closed the connection inside a multi-line reply:
            // nothing more will come, so the reply cannot be completed.
            LogError("socket recv", WSAEDISCON);
            result = -1;
            break;
        }
        first = false;
    }
    FtpSession.replyDepth = 0;
    CommandCountLeave();
    if (result == -1)
        return -1;
    int code = FtpSession.lastReplyCode;
    if (code == 550)
        return 550;
    if (code >= 100 && code <= 599)
        return code / 100;
    return 0;
}

int FtpCwd(SOCKET s, const char* directory)
{
    SendCommand(s, "CWD %s", Text(directory));
    if (FtpSession.lastReplyCode == 500)
        SendCommand(s, "XCWD %s", Text(directory));
    return FtpSession.lastReplyCode / 100;
}

int FtpPwd(SOCKET s)
{
    SendCommand(s, "PWD");
    if (FtpSession.lastReplyCode == 500)
        SendCommand(s, "XPWD");
    return FtpSession.lastReplyCode / 100;
}

int FtpMkd(SOCKET s, const char* directory)
{
    SendCommand(s, "MKD %s", Text(directory));
    if (FtpSession.lastReplyCode == 500)
        SendCommand(s, "XMKD %s", Text(directory));
    return FtpSession.lastReplyCode == 550 ? 550 : FtpSession.lastReplyCode / 100;
}

int FtpRmd(SOCKET s, const char* directory)
{
    if (HostType == HOST_MVS) {
        SendCommand(s, "DELE %s", Text(directory));
        return FtpSession.lastReplyCode / 100;
    }
    SendCommand(s, "RMD %s", Text(directory));
    if (FtpSession.lastReplyCode == 500)
        SendCommand(s, "XRMD %s", Text(directory));
    return FtpSession.lastReplyCode / 100;
}

int FtpDele(SOCKET s, const char* name)
{
    SendCommand(s, "DELE %s", Text(name));
    return FtpSession.lastReplyCode / 100;
}
