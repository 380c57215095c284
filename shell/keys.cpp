#include "shell/keys.h"

#include "ftp/session.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/helpwin.h"
#include "shell/lists.h"
#include "shell/mainwin.h"
#include "shell/operations.h"

// Local side, the transfer buttons, remote side, then the bottom: the
// transfer type, the status scroll bar and the row of buttons.
const int kTabOrder[] = {
    IDC_LOCAL_DIRS, IDC_LOCAL_FILES, IDC_LOCAL_GOTO, IDC_LOCAL_CREATE, IDC_LOCAL_REMOVE, IDC_LOCAL_MASK,
    IDC_LOCAL_VIEW, IDC_LOCAL_RENAME, IDC_LOCAL_DELETE, IDC_RECEIVE, IDC_SEND,
    IDC_REMOTE_DIRS, IDC_REMOTE_FILES, IDC_REMOTE_GOTO, IDC_REMOTE_CREATE, IDC_REMOTE_REMOVE, IDC_REMOTE_MASK,
    IDC_REMOTE_VIEW, IDC_REMOTE_RENAME, IDC_REMOTE_DELETE,
    IDC_MODE_ASCII, IDC_MODE_BINARY, IDC_MODE_L8, IDC_STATUS_SCROLL,
    IDC_CONNECT, IDC_DISCONNECT, IDC_ABORT, IDC_LONGDIR, IDC_OPTIONS, IDC_HELPBUTTON, IDC_EXIT,
};
const int kTabOrderCount = sizeof kTabOrder / sizeof kTabOrder[0];

namespace {

// The messages of the keyboard cues (Windows 2000 on; older ones ignore them).
constexpr UINT kChangeUiState = 0x0127;
constexpr WORD kUiStateClear = 2, kHideFocus = 1, kHideAccelerators = 2;

HWND g_lastFocus;     // the main window's control that had the focus last
HWND g_defaultButton; // the push button drawn as the default

bool IsRadio(int id) { return id == IDC_MODE_ASCII || id == IDC_MODE_BINARY || id == IDC_MODE_L8; }
bool IsList(int id)
{
    return id == IDC_LOCAL_DIRS || id == IDC_LOCAL_FILES || id == IDC_REMOTE_DIRS || id == IDC_REMOTE_FILES;
}
bool IsPushButton(HWND w)
{
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    LONG type = GetWindowLongA(w, GWL_STYLE) & 0x0F;
    return lstrcmpiA(cls, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// A control Tab can stop at: there, shown and enabled; of the transfer
// types only the one chosen, as in a dialog's group.
bool Usable(int id)
{
    HWND w = MainControl(id);
    if (!w || !IsWindowVisible(w) || !IsWindowEnabled(w))
        return false;
    return !IsRadio(id) || SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int OrderIndex(int id)
{
    for (int i = 0; i < kTabOrderCount; ++i)
        if (kTabOrder[i] == id)
            return i;
    return -1;
}

// The next usable control after `id` (or the first, for a control not in
// the order), going around; 0 when none is usable.
int NextStop(int id, bool backwards)
{
    int at = OrderIndex(id);
    if (at < 0)
        at = backwards ? 0 : kTabOrderCount - 1;
    for (int step = 1; step <= kTabOrderCount; ++step) {
        int i = (at + (backwards ? kTabOrderCount - step : step)) % kTabOrderCount;
        if (Usable(kTabOrder[i]))
            return kTabOrder[i];
    }
    return 0;
}

void ShowKeyboardCues()
{
    SendMessageA(g_hwndMain, kChangeUiState, MAKEWPARAM(kUiStateClear, kHideFocus | kHideAccelerators), 0);
}

void FocusControl(int id)
{
    HWND w = MainControl(id);
    if (!w)
        return;
    SetFocus(w);
    if (id == IDC_LOCAL_MASK || id == IDC_REMOTE_MASK)
        SendMessageA(w, EM_SETSEL, 0, -1);
}

// What a click on the control does, through the main window's dispatch.
void Command(int id, int code)
{
    SendMessageA(g_hwndMain, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(MainControl(id)));
}

bool IsLocalList(int id) { return id == IDC_LOCAL_DIRS || id == IDC_LOCAL_FILES; }

// Backspace: the side's directory list goes to "..", as a double-click on it.
void OpenParent(int listId)
{
    int dirs = IsLocalList(listId) ? IDC_LOCAL_DIRS : IDC_REMOTE_DIRS;
    HWND list = MainControl(dirs);
    LRESULT at = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(".."));
    if (at == LB_ERR)
        return;  // a root: there is no parent
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    SendMessageA(list, LB_SETSEL, TRUE, at);
    SendMessageA(list, LB_SETCARETINDEX, at, FALSE);
    Command(dirs, LBN_DBLCLK);
}

// Delete: the side's Delete for its files, Remove for its directories, for
// what is selected.
void DeleteSelected(int listId)
{
    if (SendMessageA(MainControl(listId), LB_GETSELCOUNT, 0, 0) <= 0)
        return;
    int button = listId == IDC_LOCAL_DIRS    ? IDC_LOCAL_REMOVE
                 : listId == IDC_LOCAL_FILES ? IDC_LOCAL_DELETE
                 : listId == IDC_REMOTE_DIRS ? IDC_REMOTE_REMOVE
                                             : IDC_REMOTE_DELETE;
    if (IsWindowEnabled(MainControl(button)))
        Command(button, BN_CLICKED);
}

// F5: both sides listed again.
void RefreshBoth()
{
    FillLocalLists(g_hwndMain);
    if (FtpSession.loggedOn)
        StartWorker(g_hwndMain, IDC_REMOTE_MASK, RemoteRefreshThread);
}

// Arrow keys in the transfer types: the next one is chosen, as in a dialog.
void MoveInRadios(int id, bool backwards)
{
    static constexpr int kRadios[] = {IDC_MODE_ASCII, IDC_MODE_BINARY, IDC_MODE_L8};
    int at = id == IDC_MODE_ASCII ? 0 : id == IDC_MODE_BINARY ? 1 : 2;
    int next = kRadios[(at + (backwards ? 2 : 1)) % 3];
    FocusControl(next);
    Command(next, BN_CLICKED);
}

}  // namespace

bool MainWindowKey(const MSG& msg)
{
    HWND main = g_hwndMain;
    if (msg.message != WM_KEYDOWN || !main || (msg.hwnd != main && !IsChild(main, msg.hwnd)))
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    int id = msg.hwnd == main ? 0 : GetDlgCtrlID(msg.hwnd);
    switch (msg.wParam) {
    case VK_TAB:
        if (int next = NextStop(id, shift)) {
            FocusControl(next);
            ShowKeyboardCues();
        }
        return true;
    case VK_F1:
        ShowHelp(main);
        return true;
    case VK_F5:
        RefreshBoth();
        return true;
    case VK_ESCAPE:
        if (IsWindowEnabled(MainControl(IDC_ABORT)))
            Command(IDC_ABORT, BN_CLICKED);
        return true;
    case VK_RETURN:
        if (IsList(id)) {
            Command(id, LBN_DBLCLK);
            return true;
        }
        if (IsPushButton(msg.hwnd) || IsRadio(id)) {
            if (IsWindowEnabled(msg.hwnd))
                Command(id, BN_CLICKED);
            return true;
        }
        return false;  // the mask edits: as before
    case VK_BACK:
        if (!IsList(id))
            return false;
        OpenParent(id);
        return true;
    case VK_DELETE:
        if (!IsList(id))
            return false;
        DeleteSelected(id);
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (!IsRadio(id))
            return false;
        MoveInRadios(id, msg.wParam == VK_LEFT || msg.wParam == VK_UP);
        ShowKeyboardCues();
        return true;
    default:
        return false;
    }
}

void TrackMainFocus()
{
    HWND main = g_hwndMain;
    HWND focus = GetFocus();
    if (!main || !focus || focus == g_lastFocus || !IsChild(main, focus))
        return;
    g_lastFocus = focus;
    // As in a dialog: the push button with the focus is the default one.
    HWND button = IsPushButton(focus) ? focus : nullptr;
    if (button == g_defaultButton)
        return;
    if (g_defaultButton && IsWindow(g_defaultButton))
        SendMessageA(g_defaultButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (button)
        SendMessageA(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    g_defaultButton = button;
}

void RestoreMainFocus(HWND main)
{
    HWND w = g_lastFocus;
    if (w && IsWindow(w) && IsChild(main, w) && IsWindowVisible(w) && IsWindowEnabled(w)) {
        SetFocus(w);
        return;
    }
    g_lastFocus = nullptr;
    if (int first = NextStop(0, false))
        SetFocus(MainControl(first));
}
