#include "ftp/hooks.h"

namespace {

void NoSeconds(DWORD) {}
void Nothing() {}
void NoDirection(bool) {}
void NoTotal(ULONGLONG) {}
void NoAnswer(char* text, int size)
{
    if (text && size > 0)
        text[0] = 0;
}
void NoHost(const char*) {}
bool NoMessages(WPARAM*) { return false; }
void NoQuit(WPARAM) {}
int NoTrust(const CertificatePrompt&) { return CERT_ANSWER_CANCEL; }

}  // namespace

FtpHooksRec FtpHooks = {
    NoSeconds, Nothing,
    Nothing,
    NoDirection, NoTotal, Nothing,
    NoAnswer, NoAnswer,
    NoMessages, NoQuit,
    NoDirection,
    NoHost,
    NoTrust,
};
