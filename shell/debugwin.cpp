#include "shell/debugwin.h"

#include <stdio.h>

#include "dialogs/dialogs.h"
#include "dialogs/hostdlg.h"
#include "store/options.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "ftp/transfer.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/configlink.h"
#include "shell/lists.h"
#include "shell/localcmds.h"
#include "shell/mainwin.h"
#include "shell/operations.h"

static const char kDebugClass[] = "WSDBUGWNDCLASS";

HWND g_hwndDebug;

void RefreshDebugWindow()
{
    HWND w = g_hwndDebug;
    if (!w || !IsWindow(w))
        return;
    bool onPage;
    LogLock();
    onPage = DebugLog.top + DebugLog.visibleLines >= DebugLog.count;
    LogUnlock();
    if (onPage)
        InvalidateRect(w, nullptr, TRUE);
    else
        PostMessageA(w, WM_VSCROLL, SB_LINEDOWN, 0);
    if (OnGuiThread())
        UpdateWindow(w);
}

int DebugScrollTop(int code, int position, int top, int count)
{
    switch (code) {
    case SB_LINEUP:
        return top > 0 ? top - 1 : -1;
    case SB_LINEDOWN:
        return count - 1 > top ? top + 1 : -1;
    case SB_PAGEUP:
        return top > 10 ? top - 10 : 0;
    case SB_PAGEDOWN:
        return count - 10 > top ? top + 10 : count;
    case SB_THUMBPOSITION:
        return position < count ? position : count;
    default:
        return -1;
    }
}

bool DebugCommandPassesWhileBusy(int id)
{
    return id == IDM_DBG_DISCONNECT || id == IDM_DBG_EXIT || id == IDC_DISCONNECT || id == IDC_EXIT;
}

int CreateDebugWindow(HWND main, HINSTANCE instance)
{
    (void)main;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_PARENTDC;
    wc.lpfnWndProc = DebugWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "WS_XBUG");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszMenuName = "TARN";
    wc.lpszClassName = kDebugClass;
    RegisterClassA(&wc);
    char title[256];
    LoadCatalogue(CAPTION_DEBUG_WINDOW, title, sizeof title);
    HWND hwnd = CreateWindowExA(0, kDebugClass, title, WS_OVERLAPPEDWINDOW | WS_VSCROLL, 10 * g_baseX, 5 * g_baseY,
                                50 * g_baseX, 25 * g_baseY, nullptr, nullptr, instance, nullptr);
    if (hwnd)
        ShowWindow(hwnd, SW_SHOWMINIMIZED);
    return 1;
}

void PaintDebugLog(HWND hwnd, DebugLogRec* log)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    RECT client;
    GetClientRect(hwnd, &client);
    LogLock();
    log->lineHeight = tm.tmHeight + tm.tmExternalLeading;
    if (log->lineHeight <= 0)
        log->lineHeight = 8;
    log->visibleLines = client.bottom / log->lineHeight;
    bool bar = log->count > log->visibleLines;
    for (int i = log->top; i < log->count; ++i)
        TextOutA(dc, 20, (i - log->top) * log->lineHeight, log->lines[i], lstrlenA(log->lines[i]));
    LogUnlock();
    EndPaint(hwnd, &ps);
    ShowScrollBar(hwnd, SB_VERT, bar);
}

LRESULT CALLBACK DebugWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        LogLock();
        g_hwndDebug = hwnd;
        DebugLog.top = 0;
        DebugLog.count = 0;
        DebugLog.lineHeight = 8;
        DebugLog.visibleLines = 20;
        LogUnlock();
        SetScrollRange(hwnd, SB_VERT, 0, 100, FALSE);
        return 0;
    case WM_PAINT:
        PaintDebugLog(hwnd, &DebugLog);
        return 0;
    case WM_VSCROLL: {
        LogLock();
        int top = DebugScrollTop(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), DebugLog.top, DebugLog.count);
        if (top >= 0)
            DebugLog.top = top;
        LogUnlock();
        if (top >= 0) {
            SetScrollPos(hwnd, SB_VERT, top, TRUE);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case WM_SETCURSOR:
        if (ShowBusyCursor())
            return 1;
        break;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        // A remote operation holds the connection from its start to its end,
        // also between its commands: the debug commands wait for it.
        if (!DebugCommandPassesWhileBusy(id)) {
            if (IsBusy()) {
                LogLine(MSG_BUSY);
                return 0;
            }
            if (FtpSession.commandCount != 0) {
                LogLine(MSG_COMMAND_IN_PROCESS);
                return 0;
            }
        }
        DebugCommand(hwnd, id);
        return 0;
    }
    case WM_DESTROY:
        LogLock();
        g_hwndDebug = nullptr;
        LogUnlock();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

static void RunViewerOnListing()
{
    RunViewer(ProgramOptions.viewer, ListingTempFile, false);
}

void DebugCommand(HWND hwnd, int id)
{
    SOCKET control = FtpSession.controlSocket;
    switch (id) {
    case IDM_DBG_CONNECT:
        if (control != INVALID_SOCKET) {
            char text[256];
            LoadCatalogue(MSG_ALREADY_CONNECTED, text, sizeof text);
            SetWindowTextA(g_hwndStatusUpper, text);
        } else if (RunHostDialog(hwnd) == 1) {
            ConnectSession(HostProfile.host, HostProfile.user, HostProfile.password);
        }
        break;
    case IDM_DBG_DISCONNECT:
    case IDM_DBG_HELPFILE:
    case IDM_DBG_EXIT:
        SendMessageA(g_hwndMain, WM_COMMAND, id, 0);
        break;
    case IDM_DBG_CWD:
        if (AskText(nullptr, CAPTION_GOTO_REMOTE_DIRECTORY, PROMPT_REMOTE_DIRECTORY))
            FtpCwd(control, NameOnWire(InputText).c_str());
        break;
    case IDM_DBG_HELP:
        SendCommand(control, "HELP");
        break;
    case IDM_DBG_LIST:
    case IDM_DBG_NLST:
        if (RetrieveListing(control, id == IDM_DBG_LIST ? "LIST" : "NLST") == REPLY_OK)
            RunViewerOnListing();
        break;
    case IDM_DBG_MKD:
        if (AskText(nullptr, CAPTION_CREATE_REMOTE_DIRECTORY, PROMPT_REMOTE_DIRECTORY))
            FtpMkd(control, NameOnWire(InputText).c_str());
        break;
    case IDM_DBG_PWD:
        FtpPwd(control);
        break;
    case IDM_DBG_QUOTE:
        if (AskText(nullptr, CAPTION_SEND_COMMAND, PROMPT_REMOTE_COMMAND))
            FtpQuote(control, NameOnWire(InputText).c_str());
        break;
    case IDM_DBG_RETR:
        if (AskText(nullptr, CAPTION_RECEIVE_REMOTE_FILE, PROMPT_REMOTE_FILE)) {
            char name[INPUT_TEXT_SIZE], command[512];
            lstrcpynA(name, InputText, sizeof name);
            _snprintf(command, sizeof command - 1, "RETR %s", NameOnWire(name).c_str());
            command[sizeof command - 1] = 0;
            RetrieveFile(control, command, name, name, ProgramOptions.transferType);
        }
        break;
    case IDM_DBG_RMD:
        if (AskText(nullptr, CAPTION_DELETE_REMOTE_DIRECTORY, PROMPT_REMOTE_DIRECTORY))
            FtpRmd(control, NameOnWire(InputText).c_str());
        break;
    case IDM_DBG_OPTIONS:
        DialogBoxParamA(g_hInstance, "DLG_STATUS", hwnd, WS_StatMsgProc, 0);
        break;
    case IDM_DBG_STOR:
        if (AskText(nullptr, CAPTION_SEND_LOCAL_FILE, PROMPT_LOCAL_FILE)) {
            char name[INPUT_TEXT_SIZE], command[512];
            lstrcpynA(name, InputText, sizeof name);
            _snprintf(command, sizeof command - 1, "STOR %s", NameOnWire(name).c_str());
            command[sizeof command - 1] = 0;
            StoreFile(control, command, name, ProgramOptions.transferType);
        }
        break;
    case IDM_DBG_BINARY:
    case IDM_DBG_ASCII:
        ProgramOptions.transferType = id == IDM_DBG_BINARY ? 'I' : 'A';
        SendMessageA(g_hwndMain, WM_COMMAND, IDM_SHOW_TRANSFER_TYPE, 0);  // the radio buttons follow
        break;
    case IDM_DBG_VIEWER: {
        char viewer[INPUT_TEXT_SIZE];
        lstrcpynA(viewer, ProgramOptions.viewer, sizeof viewer);
        if (AskText(viewer, CAPTION_SELECT_VIEWER, PROMPT_VIEWER))
            lstrcpynA(ProgramOptions.viewer, viewer, sizeof ProgramOptions.viewer);
        break;
    }
    default:
        break;
    }
}
