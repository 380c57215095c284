#include "ftp/logon.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "net/blocking.h"
#include "net/hooks.h"
#include "store/options.h"
#include "ftp/command.h"
#include "ftp/ftps.h"
#include "ftp/hooks.h"
#include "ftp/hosttypeids.h"
#include "ftp/reply.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "log/log.h"
#include "resources/catalogue.h"

// A greeting that names EXOS tells an Auto Detect session what it talks to.
static void NoteExos()
{
    if (HostType == HOST_AUTO && strstr(FtpSession.replyLine, "(EXOS"))
        HostType = HOST_EXOS;
}

// The entry that reports the logon under way as failed, should it be cut
// off where it stands (by the watchdog); 0 while no logon runs.
static volatile LONG g_logonFailEntry;

// FEAT, read line by line (the features come as lines without a code):
// true when the server completed it with 2xx and listed UTF8.
static bool ServerListsUtf8(SOCKET s)
{
    LogLine(CommandEcho("FEAT"));
    if (SendLine(s, "FEAT") < 1)
        return false;
    bool utf8 = false;
    int first = ReadReplyLine(s);
    int code = first;
    for (;;) {
        const char* line = FtpSession.replyLine;
        if (line[0])
            LogWireLine(line);
        if (code == -1 || code == 421 || (code == 0 && !line[0]) || NetAborting)
            return false;
        utf8 = utf8 || FeatureLineIsUtf8(line);
        bool last = code == first && !ReplyLineContinues(code, line);
        if (last)
            return first / 100 == REPLY_OK && utf8;
        code = ReadReplyLine(s);
    }
}

// After the logon: how this session's names go on the wire.
static void AgreeNameEncoding(SOCKET s)
{
    FtpSession.namesUtf8 = 0;
    BYTE encoding = HostProfile.nameEncoding;
    if (encoding == NAMES_CODE_PAGE)
        return;
    if (encoding == NAMES_AUTO && !ServerListsUtf8(s)) {
        LogLine(MSG_NAMES_CODE_PAGE);
        return;
    }
    // Servers that list UTF8 use it; some (IIS) switch only when asked, so
    // the answer to OPTS changes nothing.
    SendCommand(s, "OPTS UTF8 ON");
    FtpSession.namesUtf8 = 1;
    LogLine(MSG_NAMES_UTF8);
}

static SOCKET FailLogon(SOCKET s, UINT entry, bool buttons)
{
    // A worker being stopped leaves the connection, and the report of the
    // logon it cut off, to its stopper.
    if (NetHooks.safePoint())
        return INVALID_SOCKET;
    InterlockedExchange(&g_logonFailEntry, 0);
    if (entry)
        LogLine(entry);
    FtpSession.controlSocket = ReleaseSocket(s);
    FtpSession.loggedOn = 0;
    if (buttons)
        FtpHooks.connectedState(false);
    return INVALID_SOCKET;
}

SOCKET FtpLogon(const char* host)
{
    if (FtpSession.loggedOn) {
        LogLine(MSG_ALREADY_CONNECTED);
        return INVALID_SOCKET;
    }
    InterlockedExchange(&g_logonFailEntry, 0);  // one left by a logon that was aborted
    EndSecureSession();
    FtpSession.hostTypeDetected = 0;
    FtpSession.namesUtf8 = 0;
    CommandCountEnter();
    char target[64];
    lstrcpynA(target, HostProfile.useGateway ? HostProfile.gateHost : host, sizeof target);
    SOCKET s = ConnectTcp(target, "ftp", &FtpSession.serverAddr);
    if (s == INVALID_SOCKET) {
        LogMessage(MSG_CONNECTION_FAILED, target);
        CommandCountLeave();
        return INVALID_SOCKET;
    }
    int length = sizeof FtpSession.localAddr;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&FtpSession.localAddr), &length) != 0) {
        LogError("getsockname", WSAGetLastError());
        CommandCountLeave();
        ReleaseSocket(s);
        return INVALID_SOCKET;
    }
    LogMessage(MSG_SOCKET_FROM, static_cast<unsigned>(s), inet_ntoa(FtpSession.localAddr.sin_addr),
               static_cast<unsigned>(ntohs(FtpSession.localAddr.sin_port)));
    InterlockedExchange(&g_logonFailEntry, MSG_UNKNOWN_OPEN_MESSAGE);
    FtpSession.controlSocket = s;
    FtpSession.replyDepth = 0;
    FtpSession.lastReplyCode = 0;
    FtpSession.transferType = 'A';

    // The greeting is read with the command count held, as the logon is under way;
    // GetReply counts itself in and out around that.
    int r = GetReply(s);
    while (r == REPLY_PRELIMINARY && !NetAborting) {
        NoteExos();
        r = GetReply(s);
    }
    if (r != REPLY_OK) {
        // A wait cancelled by the time-out or an abort counts as 421, also
        // when it was cancelled before the first byte came.
        LONG code = NetAborting ? 421 : FtpSession.lastReplyCode;
        LogMessage(MSG_UNKNOWN_OPEN_MESSAGE, FtpSession.replyLine, static_cast<unsigned>(code));
        CommandCountLeave();
        return FailLogon(s, 0, true);
    }
    NoteExos();
    int on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        LogError("setsockopt", WSAGetLastError());
    CommandCountLeave();

    // FTPS: everything from here on (the gateway's logon too) inside TLS,
    // or the connection ends; nothing goes on in plain text.
    InterlockedExchange(&g_logonFailEntry, MSG_LOGON_FAILURE);
    if (HostProfile.tls && !SecureControlConnection(s, target))
        return FailLogon(s, 0, true);

    if (HostProfile.useGateway) {
        InterlockedExchange(&g_logonFailEntry, MSG_GATEWAY_LOGON_FAILURE);
        r = SendCommand(s, "USER %s", HostProfile.gateUser);
        if (r == REPLY_MORE)
            r = SendCommand(s, "PASS %s", HostProfile.gatePassword);
        if (r != REPLY_OK)
            return FailLogon(s, MSG_GATEWAY_LOGON_FAILURE, false);
        if (SendCommandCode(s, "site %s", host) / 100 == REPLY_FAILED)
            return FailLogon(s, MSG_FINAL_DESTINATION_FAILED, false);
        FtpSession.loggedOn = 1;
        FtpHooks.connectedState(true);
    }

    InterlockedExchange(&g_logonFailEntry, MSG_LOGON_FAILURE);
    r = SendCommand(s, "USER %s", FtpSession.userName);
    if (r == REPLY_MORE) {
        if (!FtpSession.password[0])
            FtpHooks.askPassword(FtpSession.password, sizeof FtpSession.password);
        r = SendCommand(s, "PASS %s", FtpSession.password);
        if (r == REPLY_MORE) {
            char account[sizeof FtpSession.password] = "";
            FtpHooks.askAccount(account, sizeof account);
            r = SendCommand(s, "ACCT %s", account);
        }
    }
    if (r != REPLY_OK)
        return FailLogon(s, MSG_LOGON_FAILURE, true);
    if (SessionIsSecure() && !ProtectDataChannel(s))
        return FailLogon(s, 0, true);
    InterlockedExchange(&g_logonFailEntry, 0);
    FtpSession.loggedOn = 1;
    AgreeNameEncoding(s);
    FtpHooks.connectedState(true);
    FtpHooks.loggedOnTo(host);
    return s;
}

bool EndCutOffLogon()
{
    LONG entry = InterlockedExchange(&g_logonFailEntry, 0);
    if (!entry)
        return false;
    if (entry == MSG_UNKNOWN_OPEN_MESSAGE)
        LogMessage(MSG_UNKNOWN_OPEN_MESSAGE, FtpSession.replyLine, 421u);
    else
        LogLine(static_cast<UINT>(entry));
    FailLogon(FtpSession.controlSocket, 0, true);
    return true;
}

SOCKET FtpConnect(const char* host)
{
    int retries = static_cast<int>(HostProfile.retries);
    int attempt = 0;
    SOCKET s = FtpLogon(host);
    while (s == INVALID_SOCKET && attempt < retries && !NetHooks.safePoint() && !CertificateRefused()) {
        ++attempt;
        LogMessage(MSG_CONNECT_RETRYING, attempt, retries);
        s = FtpLogon(host);
    }
    if (s != INVALID_SOCKET) {
        if (ProgramOptions.bell)
            MessageBeep(MB_ICONASTERISK);
        return s;
    }
    if (retries > 0 && !NetHooks.safePoint()) {
        LogMessage(MSG_CONNECT_RETRIES_FAILED, retries, host);
        if (ProgramOptions.bell)
            MessageBeep(MB_ICONEXCLAMATION);
    }
    return INVALID_SOCKET;
}

SOCKET ConnectSession(const char* host, const char* user, const char* password)
{
    lstrcpynA(FtpSession.hostName, host, sizeof FtpSession.hostName);
    lstrcpynA(FtpSession.userName, user, sizeof FtpSession.userName);
    lstrcpynA(FtpSession.password, password, sizeof FtpSession.password);
    HostType = HostProfile.hostType;
    SOCKET s = FtpConnect(FtpSession.hostName);
    // The connection of a stopped logon stays where it is, for its stopper.
    if (NetHooks.safePoint())
        return INVALID_SOCKET;
    FtpSession.controlSocket = s;
    return s;
}
