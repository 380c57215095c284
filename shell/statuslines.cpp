#include "shell/statuslines.h"

#include "log/log.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/debugwin.h"

namespace {

HWND g_statusUpper, g_statusLower, g_statusEarlier;

// Batched: a worker's lines are stored at once and shown at most every
// STATUS_BATCH_MS. g_pending is set from a worker's first line after a show
// until the GUI thread's next show, so that one request is on its way at a
// time.
volatile LONG g_batched;
volatile LONG g_pending;
DWORD g_lastShown;  // GUI thread: when the status lines last showed a batch

void ShowBatch()
{
    InterlockedExchange(&g_pending, 0);  // a line stored after this show asks again
    g_lastShown = GetTickCount();
    StatusShow();
}

void CALLBACK StatusTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    KillTimer(hwnd, STATUS_TIMER_ID);
    ShowBatch();
}

// A status line changed: shown at once on the GUI thread, through the main
// window from a worker (batched: asked for once, shown soon).
void OnStatusChanged()
{
    if (!g_statusLower)
        return;
    if (OnGuiThread())
        StatusShow();
    else if (!g_hwndMain)
        return;
    else if (!g_batched)
        SendMessageA(g_hwndMain, WM_TARN_STATUS_REFRESH, 0, 0);
    else if (InterlockedExchange(&g_pending, 1) == 0)
        PostMessageA(g_hwndMain, WM_TARN_STATUS_REFRESH, STATUS_REFRESH_BATCHED, 0);
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

void OnStatusRefreshMessage(HWND main, WPARAM how)
{
    if (how != STATUS_REFRESH_BATCHED) {
        StatusShow();
        return;
    }
    DWORD since = GetTickCount() - g_lastShown;
    if (since >= STATUS_BATCH_MS)
        ShowBatch();
    else
        SetTimer(main, STATUS_TIMER_ID, STATUS_BATCH_MS - since, StatusTimerProc);
}

void BatchStatusLines(bool on)
{
    InterlockedExchange(&g_batched, on ? 1 : 0);
    if (on || !g_hwndMain || OnGuiThread())
        return;
    // The last lines, shown before the batch is over. A worker being stopped
    // only asks: the thread that stops it may be waiting for it.
    if (WorkerStopping())
        PostMessageA(g_hwndMain, WM_TARN_STATUS_REFRESH, 0, 0);
    else
        SendMessageA(g_hwndMain, WM_TARN_STATUS_REFRESH, 0, 0);
}

bool StatusLinesBatched()
{
    return g_batched != 0;
}

void InstallLogHooks()
{
    LogHooksRec hooks = {};
    hooks.safePoint = WorkerSafePoint;
    hooks.statusChanged = OnStatusChanged;
    hooks.lineStored = RefreshDebugWindow;
    SetLogHooks(hooks);
}
