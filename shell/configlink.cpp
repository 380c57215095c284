#include "shell/configlink.h"

#include "dialogs/dialogs.h"
#include "dialogs/hostdlg.h"
#include "ftp/session.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"

void ShareMainWindowWithDialogs(HWND main)
{
    DialogContextRec& c = DialogContext;
    c.owner = main;
    c.lightGrey = main ? g_brushLightGrey : nullptr;
    c.white = main ? g_brushWhite : nullptr;
    c.busyCursor = main ? g_cursorAppStarting : nullptr;
}

INT_PTR RunHostDialog(HWND owner)
{
    INT_PTR rc = DialogBoxParamA(g_hInstance, "DLG_HOST", owner, WS_HostMsgProc, 0);
    if (rc == 0 && !FtpSession.loggedOn) {
        FtpSession.hostName[0] = 0;
        if (g_hwndMain) {
            EnableWindow(MainControl(IDC_CONNECT), TRUE);
            EnableWindow(MainControl(IDC_DISCONNECT), FALSE);
        }
    }
    return rc;
}
