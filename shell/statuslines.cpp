#include "shell/statuslines.h"

#include "log/log.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/debugwin.h"

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

// The height of a line of text in the window's font, at least 1.
int TextLineHeight(HWND window)
{
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return tm.tmHeight > 0 ? tm.tmHeight : 1;
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
        // As many lines as its font fits, the newest at the bottom, next
        // to the upper status line: blank lines fill the top.
        RECT r;
        GetClientRect(g_statusEarlier, &r);
        int lines = r.bottom / TextLineHeight(g_statusEarlier);
        if (lines > STATUS_HISTORY_LINES)
            lines = STATUS_HISTORY_LINES;
        char earlier[STATUS_HISTORY_LINES * (STATUS_LINE_CHARS + 2) + 1];
        int shownLines = StatusLinesBefore(lines, earlier, sizeof earlier);
        char text[2 * STATUS_HISTORY_LINES + sizeof earlier];
        int at = 0;
        for (int i = shownLines; i < lines; ++i) {
            text[at++] = '\r';
            text[at++] = '\n';
        }
        lstrcpyA(text + at, earlier);
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
