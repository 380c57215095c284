// Host-type detection, once per logon, from the server's HELP and SYST replies.
#include <winsock.h>
#include <windows.h>
#include <string>

#include "ftp/command.h"
#include "ftp/session.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "resources/catalogue.h"

static std::wstring ReplyText()
{
    wchar_t wide[4097];
    int n = MultiByteToWideChar(CP_ACP, 0, FtpSession.replyLine, -1, wide, 4097);
    return n > 0 ? std::wstring(wide, n - 1) : std::wstring();
}

// The connection broke (-1) or closed (nothing read): no more lines will come.
static bool ConnectionLost(int code)
{
    return code == -1 || (code == 0 && FtpSession.replyLine[0] == 0);
}

static bool Continues(const std::wstring& text)
{
    return text.size() >= 4 && text[3] == L'-';
}

// Reads the rest of a reply whose first line was read already, up to the
// line with its own code and no "-", so that the next command's reply is
// read as its own. Stops early when the connection is lost or the wait is
// cancelled.
static void FinishReply(SOCKET control, int firstCode, std::wstring text)
{
    int code = firstCode;
    while (Continues(text) || code != firstCode) {
        code = ReadReplyLine(control);
        text = ReplyText();
        if (code == 421 || ConnectionLost(code))
            return;
    }
}

// The lines of a HELP reply up to its completing line, each telling which
// of the optional commands the server offers.
static void ScanHelp(SOCKET control, int code, std::wstring text, CommandSupport* support)
{
    for (;;) {
        if (code >= 200 && code <= 299 && !Continues(text))
            return;
        ScanHelpLine(text, support);
        code = ReadReplyLine(control);
        text = ReplyText();
        if (code == 421 || ConnectionLost(code))
            return;
    }
}

CommandSupport DetectHostType(SOCKET control)
{
    CommandSupport support{};
    bool askSyst = false;
    if (HostType == HOST_SOLARIS) {
        support = CommandSupport{true, true, true, true};
    } else if (SendLine(control, "HELP") > 0) {
        int code = ReadReplyLine(control);
        std::wstring text = ReplyText();
        if (code >= 500 && code <= 599) {
            if (HostType == HOST_AUTO)
                HostType = HOST_KA9Q;
            // Nothing of a refusal is scanned, but a multi-line one is read
            // to its end all the same.
            FinishReply(control, code, text);
        } else if (!ConnectionLost(code)) {
            if (HostType == HOST_AUTO) {
                HostType = HostTypeFromHelp(text);
                askSyst = HostType == HOST_UNIX;
            }
            // A cancelled wait (421) ends the reading. Only a completed reply
            // lists commands, lines without a code taken as part of one; a
            // preliminary, more-input or transient reply is read to its own
            // last line unscanned.
            int type = code / 100;
            if (code != 421) {
                if (type == REPLY_PRELIMINARY || type == REPLY_MORE || type == REPLY_TRANSIENT)
                    FinishReply(control, code, text);
                else
                    ScanHelp(control, code, text, &support);
            }
        }
    }
    if (askSyst && SendLine(control, "SYST") > 0) {
        LogMessage(MSG_TEXT, "SYST");
        int code = ReadReplyLine(control);
        LogMessage(MSG_TEXT, FtpSession.replyLine);
        std::wstring text = ReplyText();
        HostType = HostTypeFromSyst(text);
        if (code != 421 && !ConnectionLost(code))
            FinishReply(control, code, text);
    }
    if (HostType == HOST_MVS)
        support.canRemoveDir = true;
    FtpSession.hostTypeDetected = 1;
    LogMessage(MSG_HOST_TYPE, static_cast<unsigned>(HostType - HOST_AUTO), HostTypeName(HostType));
    return support;
}
