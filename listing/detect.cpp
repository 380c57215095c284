// Host-type detection, once per logon, from the server's HELP and SYST replies.
#include <winsock.h>
#include <windows.h>
#include <string>

#include "ftp/command.h"
#include "ftp/session.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/mainwin.h"

static std::wstring ReplyText()
{
    wchar_t wide[4097];
    int n = MultiByteToWideChar(CP_ACP, 0, FtpSession.replyLine, -1, wide, 4097);
    return n > 0 ? std::wstring(wide, n - 1) : std::wstring();
}

// True for a line that can be no part of a reply any more: the connection
// broke (-1) or closed (nothing read), or the wait was cancelled (421).
static bool ReplyBroken(int code)
{
    return code == -1 || code == 421 || (code == 0 && FtpSession.replyLine[0] == 0);
}

static bool IsLastLine(int code, int firstCode, const std::wstring& text)
{
    return code >= 100 && code <= 599 && code == firstCode && (text.size() < 4 || text[3] != L'-');
}

void DetectHostType(SOCKET control)
{
    HostCommands = CommandSupport{};
    bool askSyst = false;
    if (HostType == HOST_SOLARIS) {
        HostCommands = CommandSupport{true, true, true, true};
    } else if (SendLine(control, "HELP") > 0) {
        int code = ReadReplyLine(control);
        std::wstring text = ReplyText();
        if (code >= 500 && code <= 599) {
            if (HostType == HOST_AUTO)
                HostType = HOST_KA9Q;
        } else if (!ReplyBroken(code)) {
            if (HostType == HOST_AUTO) {
                HostType = HostTypeFromHelp(text);
                askSyst = HostType == HOST_UNIX;
            }
            // Only a completed HELP reply lists commands; another reply is
            // read to its last line, so that the connection stays in step.
            const int firstCode = code;
            const bool listing = code >= 200 && code <= 299;
            for (;;) {
                if (listing ? (code >= 200 && code <= 299 && (text.size() < 4 || text[3] != L'-'))
                            : IsLastLine(code, firstCode, text))
                    break;
                if (listing)
                    ScanHelpLine(text, &HostCommands);
                code = ReadReplyLine(control);
                text = ReplyText();
                if (ReplyBroken(code))
                    break;
            }
        }
    }
    if (askSyst && SendLine(control, "SYST") > 0) {
        LogMessage(126, "SYST");
        ReadReplyLine(control);
        LogMessage(126, FtpSession.replyLine);
        HostType = HostTypeFromSyst(ReplyText());
    }
    if (HostType == HOST_MVS)
        HostCommands.canRemoveDir = true;
    EnableControl(IDC_REMOTE_CREATE, HostCommands.canMakeDir);
    EnableControl(IDC_REMOTE_REMOVE, HostCommands.canRemoveDir);
    EnableControl(IDC_REMOTE_RENAME, HostCommands.canRename);
    EnableControl(IDC_REMOTE_DELETE, HostCommands.canDelete);
    FtpSession.hostTypeDetected = 1;
    LogMessage(78, static_cast<unsigned>(HostType - HOST_AUTO), HostTypeName(HostType));
}
