#include "shell/statuslines.h"

#include "log/log.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/debugwin.h"
#include "shell/mainwin.h"

namespace {

HWND g_statusUpper, g_statusLower, g_statusEarlier;

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

void AttachStatusLines(HWND upper, HWND lower, HWND earlier)
{
    g_statusUpper = upper;
    g_statusLower = lower;
    g_statusEarlier = earlier;
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
    if (g_statusEarlier) {
        RECT r;
        GetClientRect(g_statusEarlier, &r);
        int lines = StatusLineHeight() > 0 ? r.bottom / StatusLineHeight() : 0;
        char text[STATUS_HISTORY_LINES * (STATUS_LINE_CHARS + 2) + 1];
        StatusLinesBefore(lines, text, sizeof text);
        char shown[sizeof text];
        GetWindowTextA(g_statusEarlier, shown, sizeof shown);
        if (lstrcmpA(text, shown) != 0)
            SetWindowTextA(g_statusEarlier, text);
    }
}

void InstallLogHooks()
{
    LogHooksRec hooks = {};
    hooks.safePoint = WorkerSafePoint;
    hooks.statusChanged = OnStatusChanged;
    hooks.lineStored = RefreshDebugWindow;
    SetLogHooks(hooks);
}
