#include "ftp/logon.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "config/dialogs.h"
#include "config/options.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "ftp/socket.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"

static void ShowConnected(bool connected)
{
    EnableControl(IDC_DISCONNECT, connected);
    EnableControl(IDC_CONNECT, !connected);
}

// A greeting that names EXOS tells an Auto Detect session what it talks to.
static void NoteExos()
{
    if (HostType == HOST_AUTO && strstr(FtpSession.replyLine, "(EXOS"))
        HostType = HOST_EXOS;
}

// The entry that reports the logon under way as failed, should it be cut
// off where it stands (by the watchdog); 0 while no logon runs.
static volatile LONG g_logonFailEntry;

static SOCKET FailLogon(SOCKET s, UINT entry, bool buttons)
{
    InterlockedExchange(&g_logonFailEntry, 0);
    if (entry)
        LogLine(entry);
    FtpSession.controlSocket = ReleaseSocket(s);
    FtpSession.loggedOn = 0;
    if (buttons)
        ShowConnected(false);
    return INVALID_SOCKET;
}

SOCKET FtpLogon(const char* host)
{
    if (FtpSession.loggedOn) {
        LogLine(static_cast<UINT>(30));
        return INVALID_SOCKET;
    }
    InterlockedExchange(&g_logonFailEntry, 0);  // one left by a logon that was aborted
    FtpSession.hostTypeDetected = 0;
    CommandCountEnter();
    char target[64];
    lstrcpynA(target, HostProfile.useGateway ? HostProfile.gateHost : host, sizeof target);
    SOCKET s = ConnectTcp(target, "ftp");
    if (s == INVALID_SOCKET) {
        LogMessage(32, target);
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
    LogMessage(75, static_cast<unsigned>(s), inet_ntoa(FtpSession.localAddr.sin_addr),
               static_cast<unsigned>(ntohs(FtpSession.localAddr.sin_port)));
    InterlockedExchange(&g_logonFailEntry, 72);
    FtpSession.controlSocket = s;
    FtpSession.replyDepth = 0;
    FtpSession.lastReplyCode = 0;
    FtpSession.transferType = 'A';

    // The greeting is read with the command count held, as the logon is under way;
    // GetReply counts itself in and out around that.
    int r = GetReply(s);
    while (r == 1 && !FtpSession.aborting) {
        NoteExos();
        r = GetReply(s);
    }
    if (r != 2) {
        // A wait cancelled by the time-out or an abort counts as 421, also
        // when it was cancelled before the first byte came.
        LONG code = FtpSession.aborting ? 421 : FtpSession.lastReplyCode;
        LogMessage(72, FtpSession.replyLine, static_cast<unsigned>(code));
        CommandCountLeave();
        return FailLogon(s, 0, true);
    }
    NoteExos();
    int on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        LogError("setsockopt", WSAGetLastError());
    CommandCountLeave();

    if (HostProfile.useGateway) {
        InterlockedExchange(&g_logonFailEntry, 87);
        r = SendCommand(s, "USER %s", HostProfile.gateUser);
        if (r == 3)
            r = SendCommand(s, "PASS %s", HostProfile.gatePassword);
        if (r != 2)
            return FailLogon(s, 87, false);
        if (SendCommandCode(s, "site %s", host) / 100 == 5)
            return FailLogon(s, 33, false);
        FtpSession.loggedOn = 1;
        ShowConnected(true);
    }

    InterlockedExchange(&g_logonFailEntry, 35);
    r = SendCommand(s, "USER %s", FtpSession.userName);
    if (r == 3) {
        while (!FtpSession.password[0]) {
            char entered[INPUT_TEXT_SIZE];
            lstrcpynA(entered, FtpSession.password, sizeof entered);
            if (InputPassword(entered, 34))
                lstrcpynA(FtpSession.password, entered, sizeof FtpSession.password);
        }
        r = SendCommand(s, "PASS %s", FtpSession.password);
        if (r == 3) {
            char account[INPUT_TEXT_SIZE] = "";
            AskText(account, 136, 88);
            r = SendCommand(s, "ACCT %s", account);
        }
    }
    if (r != 2)
        return FailLogon(s, 35, true);
    InterlockedExchange(&g_logonFailEntry, 0);
    FtpSession.loggedOn = 1;
    ShowConnected(true);
    char title[128];
    _snprintf(title, sizeof title - 1, "%s %s", "TARN", host);
    title[sizeof title - 1] = 0;
    SetWindowTextA(g_hwndMain, title);
    return s;
}

bool EndCutOffLogon()
{
    LONG entry = InterlockedExchange(&g_logonFailEntry, 0);
    if (!entry)
        return false;
    if (entry == 72)
        LogMessage(72, FtpSession.replyLine, 421u);
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
    while (s == INVALID_SOCKET && attempt < retries) {
        ++attempt;
        LogMessage(36, attempt, retries);
        s = FtpLogon(host);
    }
    if (s != INVALID_SOCKET) {
        if (ProgramOptions.bell)
            MessageBeep(MB_ICONASTERISK);
        return s;
    }
    if (retries > 0) {
        LogMessage(37, retries, host);
        if (ProgramOptions.bell)
            MessageBeep(MB_ICONEXCLAMATION);
    }
    return INVALID_SOCKET;
}
