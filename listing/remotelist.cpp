// Placeholder until the remote listing lands: empties the remote lists.
#include "listing/remotelist.h"
#include "resources/resource.h"
#include "shell/app.h"

char RemoteCurrentDir[181];

int DoDirList(HWND)
{
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_DIRS, LB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_FILES, LB_RESETCONTENT, 0, 0);
    SetDlgItemTextA(g_hwndMain, IDC_REMOTE_DIR_TEXT, "");
    return 0;
}
