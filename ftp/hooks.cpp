#include "ftp/hooks.h"

namespace {

void NoSeconds(DWORD) {}
void Nothing() {}
bool NotStopped() { return false; }
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

}  // namespace

FtpHooksRec FtpHooks = {
    NoSeconds, Nothing,
    NotStopped,
    NoDirection, NoTotal, Nothing,
    NoAnswer, NoAnswer,
    NoMessages, NoQuit,
    NoDirection,
    NoHost,
    Nothing,
};
