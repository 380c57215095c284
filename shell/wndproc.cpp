// The main window procedure: where every user action arrives.
#include <windows.h>

#include "dialogs/dialogs.h"
#include "store/options.h"
#include "ftp/session.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/helpwin.h"
#include "shell/app.h"
#include "shell/bytecount.h"
#include "shell/keys.h"
#include "shell/mainwin.h"
#include "shell/localcmds.h"
#include "shell/operations.h"
#include <shellapi.h>
#include "shell/startup.h"
#include "shell/statuslines.h"
#include "shell/watchdog.h"
#include "shell/lists.h"
#include "resources/catalogue.h"

static void ShowTransferType(HWND hwnd, int id)
{
    switch (id) {
    case IDC_MODE_ASCII: ProgramOptions.transferType = 'A'; break;
    case IDC_MODE_BINARY: ProgramOptions.transferType = 'I'; break;
    case IDC_MODE_L8: ProgramOptions.transferType = 'L'; break;
    default: break;
    }
    static constexpr struct { int id; char type; } kRadios[] = {
        {IDC_MODE_ASCII, 'A'}, {IDC_MODE_BINARY, 'I'}, {IDC_MODE_L8, 'L'}};
    for (const auto& r : kRadios)
        SendDlgItemMessageA(hwnd, r.id, BM_SETCHECK, ProgramOptions.transferType == r.type ? BST_CHECKED : BST_UNCHECKED, 0);
}

static void OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    DWORD word = static_cast<DWORD>(wParam);
    switch (id) {
    case IDC_CONNECT:
        StartWorker(hwnd, word, ConnectThread);
        break;
    case IDC_DISCONNECT:
    case IDM_DBG_DISCONNECT:
        DisconnectSession(hwnd, false);
        break;
    case IDC_EXIT:
    case IDM_DBG_EXIT:
        DisconnectSession(hwnd, true);
        break;
    case IDC_ABORT:
        AbortOperation(hwnd);
        break;
    case IDC_LONGDIR:
        if (!FtpSession.loggedOn)
            LogLine(MSG_NOT_CONNECTED);
        else if (RunViewer(ProgramOptions.viewer, ListingTempFile, false) < 32)
            LogMessage(MSG_VIEWER_FAILED, ProgramOptions.viewer);
        break;
    case IDC_OPTIONS:
        DialogBoxParamA(g_hInstance, "DLG_STATUS", hwnd, WS_StatMsgProc, 0);
        SendMessageA(hwnd, WM_COMMAND, IDM_SHOW_TRANSFER_TYPE, 0);
        break;
    case IDC_HELPBUTTON:
    case IDM_DBG_HELPFILE:
        ShowHelp(hwnd);
        break;
    case IDC_MODE_ASCII:
    case IDC_MODE_BINARY:
    case IDC_MODE_L8:
    case IDM_SHOW_TRANSFER_TYPE:
        ShowTransferType(hwnd, id);
        break;
    case IDC_LOCAL_GOTO:
        LocalChangeDirectory();
        break;
    case IDC_LOCAL_DIRS:
        if (code == LBN_DBLCLK)
            LocalChangeDirectory();
        break;
    case IDC_LOCAL_CREATE:
        LocalCreateDirectory();
        break;
    case IDC_LOCAL_REMOVE:
        LocalRemoveDirectories();
        break;
    case IDC_LOCAL_VIEW:
        LocalViewFile();
        break;
    case IDC_LOCAL_RENAME:
        LocalRenameFiles();
        break;
    case IDC_LOCAL_DELETE:
        LocalDeleteFiles();
        break;
    case IDC_LOCAL_MASK:
        if (code == EN_KILLFOCUS && SendMessageA(reinterpret_cast<HWND>(lParam), EM_GETMODIFY, 0, 0))
            FillLocalLists(hwnd);
        else if (code == EN_UPDATE)
            SendMessageA(reinterpret_cast<HWND>(lParam), WM_SETFONT, 0, TRUE);
        break;
    case IDC_REMOTE_MASK:
        if (code == EN_UPDATE)
            SendMessageA(reinterpret_cast<HWND>(lParam), WM_SETFONT, 0, TRUE);
        else if (code == EN_KILLFOCUS && SendMessageA(reinterpret_cast<HWND>(lParam), EM_GETMODIFY, 0, 0))
            StartWorker(hwnd, word, RemoteRefreshThread);
        break;
    case IDC_SEND:
        StartOperation(hwnd, word, SendFilesThread, true);
        break;
    case IDC_LOCAL_FILES:
        if (code == LBN_DBLCLK)
            StartOperation(hwnd, word, SendFilesThread, true);
        break;
    case IDC_RECEIVE:
        StartOperation(hwnd, word, ReceiveFilesThread, true);
        break;
    case IDC_REMOTE_FILES:
        if (code == LBN_DBLCLK)
            StartOperation(hwnd, word, ReceiveFilesThread, true);
        break;
    case IDC_REMOTE_GOTO:
        StartOperation(hwnd, word, RemoteChdirThread, true);
        break;
    case IDC_REMOTE_DIRS:
        if (code == LBN_DBLCLK) {
            StartOperation(hwnd, word, RemoteChdirThread, true);
        } else if (code == LBN_SELCANCEL) {
            LogMessage(MSG_SELECTION_CANCELLED);
            StartOperation(hwnd, word, RemoteChdirThread, true);
        }
        break;
    case IDC_REMOTE_CREATE:
        StartOperation(hwnd, word, RemoteMkdirThread, true);
        break;
    case IDC_REMOTE_REMOVE:
        StartOperation(hwnd, word, RemoteRmdirThread, true);
        break;
    case IDC_REMOTE_VIEW:
        StartOperation(hwnd, word, RemoteViewThread, true);
        break;
    case IDC_REMOTE_RENAME:
        StartOperation(hwnd, word, RemoteRenameThread, true);
        break;
    case IDC_REMOTE_DELETE:
        StartOperation(hwnd, word, RemoteDeleteThread, true);
        break;
    default:
        DefWindowProcA(hwnd, WM_COMMAND, wParam, lParam);
        break;
    }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnMainCreate(hwnd);
        return 0;
    case WM_PAINT:
        PaintMainWindow(hwnd);
        return 0;
    case WM_CLOSE:
        OnMainClose(hwnd);
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            LayoutMainControls(hwnd);
        break;
    case WM_GETMINMAXINFO: {
        // Not smaller than the layout of the controls' table.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        int width, height;
        MainMinimumWindow(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), &width, &height);
        info->ptMinTrackSize.x = width;
        info->ptMinTrackSize.y = height;
        return 0;
    }
    case WM_SETFOCUS:
        RestoreMainFocus(hwnd);
        return 0;
    case WM_SETCURSOR:
        if (ShowBusyCursor())
            return 1;
        break;
    case WM_COMMAND:
        OnCommand(hwnd, wParam, lParam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUT) {
            DialogBoxParamA(g_hInstance, "DLG_ABOUT", hwnd, WS_AboutMsgProc, 0);
            return 0;
        }
        break;
    case WM_VSCROLL:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd, IDC_STATUS_SCROLL)) {
            if (LOWORD(wParam) == SB_LINEUP)
                StatusScroll(-1);
            else if (LOWORD(wParam) == SB_LINEDOWN)
                StatusScroll(+1);
        }
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (HBRUSH b = MainControlColour(message, reinterpret_cast<HDC>(wParam)))
            return reinterpret_cast<LRESULT>(b);
        break;
    case WM_DROPFILES:
        if (!StartWorker(hwnd, wParam, DropFilesThread))
            DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_TARN_LIST_TEXT:
        return OnListTextRequest(lParam);
    case WM_TARN_STATUS_REFRESH:
        OnStatusRefreshMessage(hwnd, wParam);
        return 0;
    case WM_TARN_WATCHDOG:
        WatchdogMessage(hwnd, wParam);
        return 0;
    case WM_TARN_CONNECTION_LOST:
        EndLostSession(hwnd);
        return 0;
    case WM_TARN_CONTROL_CLOSED:
        if (WSAGETSELECTEVENT(lParam) == FD_CLOSE)
            OnControlClosed(hwnd, static_cast<SOCKET>(wParam));
        return 0;
    case WM_TARN_CALL:
        return reinterpret_cast<LRESULT (*)(void*)>(wParam)(reinterpret_cast<void*>(lParam));
    case WM_TARN_BYTE_COUNT:
        OnByteCountMessage(hwnd, wParam);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
