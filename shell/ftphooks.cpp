#include "shell/ftphooks.h"

#include <stdio.h>

#include "dialogs/certdlg.h"
#include "dialogs/dialogs.h"
#include "ftp/ftps.h"
#include "ftp/hooks.h"
#include "ftp/session.h"
#include "listing/names.h"
#include "listing/textconv.h"
#include "log/log.h"
#include "net/hooks.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/bytecount.h"
#include "shell/mainwin.h"
#include "shell/watchdog.h"

namespace {

void BytesBegin(bool received, unsigned long long size, unsigned long long from)
{
    ByteCountBegin(received ? BYTES_RECEIVED : BYTES_SENT, size, from);
}

// The count of a stopped transfer stays as its stopper leaves it.
void BytesStep(ULONGLONG total)
{
    if (!WorkerStopping())
        ByteCountStep(total);
}

void BytesEnd()
{
    if (!WorkerStopping())
        ByteCountEnd();
}

// Asks again until a password is given; Cancel (or Esc) leaves the prompt
// and ends the connect attempt.
bool AskPassword(char* password, int size)
{
    while (!password[0] && !WorkerStopping()) {
        char entered[INPUT_TEXT_SIZE];
        lstrcpynA(entered, password, sizeof entered);
        if (!InputPassword(entered, PROMPT_PASSWORD))
            return false;
        lstrcpynA(password, entered, size);
    }
    return true;
}

void AskAccount(char* account, int size)
{
    char entered[INPUT_TEXT_SIZE] = "";
    AskText(entered, CAPTION_ACCOUNT_REQUIRED, PROMPT_ACCOUNT);
    lstrcpynA(account, entered, size);
}

// A quit message is kept for the message loop, which gets it again when the
// wait is over.
bool PumpMessages(WPARAM* quitCode)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *quitCode = msg.wParam;
            return true;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return false;
}

void RepostQuit(WPARAM quitCode)
{
    PostQuitMessage(static_cast<int>(quitCode));
}

void ShowConnected(bool connected)
{
    EnableControl(IDC_DISCONNECT, connected);
    EnableControl(IDC_CONNECT, !connected);
    // A server that closes the connection while nothing is read from it is
    // noticed all the same: the close alone is posted to the main window.
    if (connected && g_hwndMain && FtpSession.controlSocket != INVALID_SOCKET)
        WSAAsyncSelect(FtpSession.controlSocket, g_hwndMain, WM_TARN_CONTROL_CLOSED, FD_CLOSE);
}

// The host, and while the session is encrypted the word that says so.
void ShowHostInTitle(const char* host)
{
    char secure[32] = "";
    if (SessionIsSecure()) {
        secure[0] = ' ';
        LoadCatalogue(TEXT_TITLE_TLS, secure + 1, sizeof secure - 1);
    }
    char title[128];
    _snprintf(title, sizeof title - 1, "%s %s%s", "TARN", host, secure);
    title[sizeof title - 1] = 0;
    SetWindowTextA(g_hwndMain, title);
}

void ShowLineConverted(const char* line, char* out, int size)
{
    lstrcpynA(out, WireNameShown(line ? line : "", true, TextCodePage).c_str(), size);
}

// Any thread may find the connection gone; the GUI thread ends the session.
void PostConnectionLost()
{
    if (g_hwndMain)
        PostMessageA(g_hwndMain, WM_TARN_CONNECTION_LOST, 0, 0);
}

}  // namespace

void InstallFtpHooks()
{
    FtpHooks.armTimeout = ArmWatchdog;
    FtpHooks.stopTimeout = StopWatchdog;
    NetHooks.safePoint = WorkerSafePoint;
    FtpHooks.bytesBegin = BytesBegin;
    FtpHooks.bytesStep = BytesStep;
    FtpHooks.bytesEnd = BytesEnd;
    FtpHooks.askPassword = AskPassword;
    FtpHooks.askAccount = AskAccount;
    NetHooks.pumpMessages = PumpMessages;
    NetHooks.repostQuit = RepostQuit;
    FtpHooks.connectedState = ShowConnected;
    FtpHooks.loggedOnTo = ShowHostInTitle;
    FtpHooks.shownLine = ShowLineConverted;
    FtpHooks.connectionLost = PostConnectionLost;
    FtpHooks.askCertificate = AskCertificateDialog;
}
