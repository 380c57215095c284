#include "shell/statuslines.h"

#include "log/log.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/debugwin.h"

namespace {

HWND g_statusUpper, g_statusLower;

// A status line changed: shown at once on the GUI thread, through the main
// window from a worker.
void OnStatusChanged()
{
    if (!g_statusLower)
        return;
    if (OnGuiThread())
        StatusShow();
    else if (g_hwndMain)
        SendMessageA(g_hwndMain, WM_TARN_STATUS_REFRESH, 0, 0);
}

}  // namespace

void AttachStatusLines(HWND upper, HWND lower)
{
    g_statusUpper = upper;
    g_statusLower = lower;
}

void StatusShow()
{
    char upper[STATUS_LINE_CHARS + 1], lower[STATUS_LINE_CHARS + 1];
    bool hasUpper, hasLower;
    StatusShownLines(upper, &hasUpper, lower, &hasLower);
    if (hasLower && g_statusLower)
        SetWindowTextA(g_statusLower, lower);
    if (hasUpper && g_statusUpper)
        SetWindowTextA(g_statusUpper, upper);
}

void InstallLogHooks()
{
    LogHooksRec hooks = {};
    hooks.safePoint = WorkerSafePoint;
    hooks.statusChanged = OnStatusChanged;
    hooks.lineStored = RefreshDebugWindow;
    SetLogHooks(hooks);
}
