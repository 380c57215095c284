#include "ftp/hooks.h"

namespace {

void NoSeconds(DWORD) {}
void Nothing() {}
void NoDirection(bool) {}
void NoTotal(ULONGLONG) {}
void NoBegin(bool, unsigned long long, unsigned long long) {}
void NoAnswer(char* text, int size)
{
    if (text && size > 0)
        text[0] = 0;
}
// Nobody to ask: the logon goes on with an empty password, as it always did.
bool NoPassword(char* text, int size)
{
    NoAnswer(text, size);
    return true;
}
void NoHost(const char*) {}
void SameLine(const char* line, char* out, int size)
{
    if (out && size > 0)
        lstrcpynA(out, line ? line : "", size);
}
int NoTrust(const CertificatePrompt&) { return CERT_ANSWER_CANCEL; }

}  // namespace

FtpHooksRec FtpHooks = {
    NoSeconds, Nothing,
    NoBegin, NoTotal, Nothing,
    NoPassword, NoAnswer,
    NoDirection,
    NoHost,
    SameLine,
    Nothing,
    NoTrust,
};
