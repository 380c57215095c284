#include "shell/mainwin.h"

#include <winsock.h>
#include <string.h>

#include <string>

#include "ftp/session.h"
#include "listing/names.h"
#include "listing/textconv.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/layout.h"
#include "shell/statuslines.h"
#include "resources/catalogue.h"

HWND g_hwndStatusUpper, g_hwndStatusLower, g_hwndSentBytes, g_hwndRecvBytes;
HWND g_hwndStatusEarlier, g_hwndProgress;

// How much the client area exceeds the smallest, shared out (GUI thread).
static MainGrowth g_growth;

static LOGFONTA g_languageLogFont;
static HPEN g_penDark, g_penLight;
static HFONT g_languageFont;

static constexpr COLORREF kLightGrey = RGB(192, 192, 192);
static constexpr COLORREF kDarkGrey = RGB(128, 128, 128);
static constexpr COLORREF kNearWhite = RGB(224, 224, 224);
static constexpr COLORREF kWhite = RGB(255, 255, 255);

static constexpr int kListIds[] = {IDC_LOCAL_DIRS, IDC_LOCAL_FILES, IDC_REMOTE_DIRS, IDC_REMOTE_FILES};
static constexpr int kLocalControlIds[] = {IDC_LOCAL_GOTO, IDC_LOCAL_CREATE, IDC_LOCAL_REMOVE, IDC_LOCAL_VIEW,
                                           IDC_LOCAL_RENAME, IDC_LOCAL_DELETE, IDC_LOCAL_MASK, IDC_REMOTE_MASK};

HWND MainControl(int id)
{
    return GetDlgItem(g_hwndMain, id);
}

void SetLanguageFont(const LOGFONTA& font)
{
    g_languageLogFont = font;
}

const LOGFONTA& LanguageLogFont()
{
    return g_languageLogFont;
}

void DeleteLanguageFont()
{
    if (g_languageFont)
        DeleteObject(g_languageFont);
    g_languageFont = nullptr;
}

static HFONT LanguageFont()
{
    if (!g_languageFont)
        g_languageFont = CreateFontIndirectA(&g_languageLogFont);
    return g_languageFont;
}

// PBS_SMOOTH and PBS_VERTICAL of the common controls' header, which the
// program does not include (the library is loaded at run time).
static constexpr DWORD kProgressSmooth = 0x01, kProgressVertical = 0x04;

static DWORD ControlStyle(ControlKind kind, const char** cls)
{
    DWORD base = WS_CHILD | WS_VISIBLE;
    switch (kind) {
    case CK_LISTBOX:
        *cls = "LISTBOX";
        return base | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_SORT | LBS_EXTENDEDSEL | LBS_NOTIFY |
               LBS_NOINTEGRALHEIGHT;
    case CK_BUTTON:
        *cls = "BUTTON";
        return base | BS_PUSHBUTTON;
    case CK_EDIT:
        *cls = "EDIT";
        return base | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
    case CK_RADIO:
        *cls = "BUTTON";
        return base | BS_RADIOBUTTON;
    case CK_TEXT_LEFTNW:
        *cls = "STATIC";
        return base | SS_LEFTNOWORDWRAP;
    case CK_TEXT_LEFT:
        *cls = "STATIC";
        return base | SS_LEFT;
    case CK_TEXT_RIGHT:
        *cls = "STATIC";
        return base | SS_RIGHT;
    case CK_SCROLLBAR:
        *cls = "SCROLLBAR";
        return base | SBS_VERT;
    case CK_PROGRESS:
        // The common controls' bar, vertical between the two sides, shown
        // only while a transfer of known size runs. Where the common
        // controls are missing it is not made, and the counter alone shows.
        *cls = "msctls_progress32";
        return WS_CHILD | kProgressSmooth | kProgressVertical;
    }
    return base;
}

void CreateMainControls(HWND main, HINSTANCE instance)
{
    HWND statusTexts[4] = {};
    int statusIndex = 0;
    for (int i = 0; i < kMainControlCount; ++i) {
        const MainControlSpec& c = kMainControls[i];
        const char* cls = "STATIC";
        DWORD style = ControlStyle(c.kind, &cls);
        char caption[256] = "";
        if (c.captionId)
            LoadCatalogue(c.captionId, caption, sizeof caption);
        else if (c.literal)
            lstrcpynA(caption, c.literal, sizeof caption);
        PixelRect r = ControlPixels(c, g_baseX, g_baseY);
        HWND h = CreateWindowExA(0, cls, caption, style, r.x, r.y, r.width, r.height, main,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.id)), instance, nullptr);
        if (c.kind == CK_BUTTON || c.kind == CK_RADIO || c.kind >= CK_TEXT_LEFTNW) {
            if (c.kind != CK_SCROLLBAR && c.kind != CK_PROGRESS)
                SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(LanguageFont()), FALSE);
        }
        if (c.kind == CK_EDIT)
            SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_VAR_FONT)), FALSE);
        if (c.id == IDC_STATUS && statusIndex < 4)
            statusTexts[statusIndex++] = h;
        if (c.id == IDC_STATUS_SCROLL)
            SetScrollRange(h, SB_CTL, 0, STATUS_HISTORY_LINES - 1, FALSE);
        if (c.id == IDC_STATUS_EARLIER)
            g_hwndStatusEarlier = h;
        if (c.id == IDC_PROGRESS)
            g_hwndProgress = h;
    }
    g_growth = MainGrowth();
    g_hwndStatusUpper = statusTexts[0];
    g_hwndStatusLower = statusTexts[1];
    g_hwndSentBytes = statusTexts[2];
    g_hwndRecvBytes = statusTexts[3];
    AttachStatusLines(g_hwndStatusUpper, g_hwndStatusLower, g_hwndStatusEarlier);
    EnableWindow(GetDlgItem(main, IDC_DISCONNECT), FALSE);
    EnableWindow(GetDlgItem(main, IDC_ABORT), FALSE);
}

void DrawFrame(HDC dc, int x, int y, int width, int height, bool sunken)
{
    DrawFramePixels(dc, DluX(x), DluY(y), DluX(width), DluY(height), sunken);
}

void DrawFramePixels(HDC dc, int px, int py, int pw, int ph, bool sunken)
{
    // The pens belong to the paint in progress; a frame only picks which goes first.
    HPEN dark = g_penDark, light = g_penLight;
    HGDIOBJ old = SelectObject(dc, sunken ? dark : light);
    MoveToEx(dc, px, py + ph, nullptr);
    LineTo(dc, px, py);
    LineTo(dc, px + pw, py);
    SelectObject(dc, sunken ? light : dark);
    LineTo(dc, px + pw, py + ph);
    LineTo(dc, px, py + ph);
    SelectObject(dc, old);
}

void PaintMainWindow(HWND main)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(main, &ps);
    HBRUSH brush = CreateSolidBrush(kLightGrey);
    g_penDark = CreatePen(PS_SOLID, 1, kDarkGrey);
    g_penLight = CreatePen(PS_SOLID, 1, kNearWhite);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    SetBkColor(dc, kLightGrey);

    for (int i = 0; i < kMainFrameCount; ++i) {
        PixelRect r = GrownFramePixels(kMainFrames[i], g_baseX, g_baseY, g_growth);
        DrawFramePixels(dc, r.x, r.y, r.width, r.height, kMainFrames[i].sunken);
    }
    char host[64];
    if (gethostname(host, sizeof host) != 0)
        LoadCatalogue(MSG_LOCAL_PC_INFORMATION, host, sizeof host);
    TextOutA(dc, DluX(9), DluY(7), host, lstrlenA(host));

    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    EndPaint(main, &ps);
    DeleteObject(brush);
    DeleteObject(g_penDark);
    DeleteObject(g_penLight);
    g_penDark = g_penLight = nullptr;
}

// The style of the main window as it was when it could not be resized: the
// smallest client area is the one such a window of MAIN_WIDTH by
// MAIN_HEIGHT units had.
static constexpr DWORD kFixedStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void MainMinimumClient(int* width, int* height)
{
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kFixedStyle, FALSE, 0);
    *width = DluX(MAIN_WIDTH) - (frame.right - frame.left);
    *height = DluY(MAIN_HEIGHT) - (frame.bottom - frame.top);
}

void MainMinimumWindow(DWORD style, int* width, int* height)
{
    int clientWidth, clientHeight;
    MainMinimumClient(&clientWidth, &clientHeight);
    RECT r = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    *width = r.right - r.left;
    *height = r.bottom - r.top;
}

// The height of one status line in pixels.
static int StatusLineHeight()
{
    return DluY(8);
}

// The height of a line of the status texts' font.
static int FontLineHeight(HWND main)
{
    HDC dc = GetDC(main);
    HGDIOBJ old = SelectObject(dc, LanguageFont());
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(main, dc);
    return tm.tmHeight;
}

void LayoutMainControls(HWND main)
{
    RECT client;
    if (!GetClientRect(main, &client) || IsIconic(main))
        return;
    int minWidth, minHeight;
    MainMinimumClient(&minWidth, &minHeight);
    MainGrowth growth = GrowthFor(client.right - minWidth, client.bottom - minHeight, StatusLineHeight());
    if (memcmp(&growth, &g_growth, sizeof growth) == 0)
        return;
    g_growth = growth;
    int index = 0;
    HDWP defer = BeginDeferWindowPos(kMainControlCount);
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        // The children in creation order are the table's; a control not
        // made (the progress bar without the common controls) is skipped.
        while (index < kMainControlCount && kMainControls[index].id != GetDlgCtrlID(child))
            ++index;
        if (index >= kMainControlCount)
            break;
        PixelRect r = GrownPixels(kMainControls[index++], g_baseX, g_baseY, growth);
        if (GetDlgCtrlID(child) == IDC_STATUS_EARLIER) {
            // Whole lines of its font, the last one just above the upper
            // status line: what is left over goes above them.
            int line = FontLineHeight(main);
            int spare = line > 0 ? r.height % line : 0;
            r.y += spare;
            r.height -= spare;
        }
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (defer)
            defer = DeferWindowPos(defer, child, nullptr, r.x, r.y, r.width, r.height, flags);
        else
            SetWindowPos(child, nullptr, r.x, r.y, r.width, r.height, flags);
    }
    if (defer)
        EndDeferWindowPos(defer);
    InvalidateRect(main, nullptr, TRUE);
    StatusShow();
}

void SetListExtent(HWND list, const char* text, int* widest)
{
    RECT client;
    GetClientRect(list, &client);
    HDC dc = GetDC(list);
    SIZE size;
    BOOL ok = GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    DWORD error = GetLastError();
    ReleaseDC(list, dc);
    if (!ok) {
        LogMessage(MSG_TEXT_EXTENT_FAILED, static_cast<int>(error));
        return;
    }
    if (size.cx > *widest && size.cx > client.right) {
        SendMessageA(list, LB_SETHORIZONTALEXTENT, size.cx, 0);
        *widest = size.cx;
    }
}

// The vertical scroll bar is the one thing that changes a list's client width
// while names are added. Once it shows, redraw goes off: it then stays (the
// list only grows) and one client width and one device context serve every
// further name, without a repaint of the scroll bars per name.
// The server's bytes of the remote lists' items, on the GUI thread: an item's
// data is its place here plus one (0: none kept).
static std::vector<std::string> g_itemWires[2];

static std::vector<std::string>* ItemWires(HWND list)
{
    if (list && list == MainControl(IDC_REMOTE_DIRS))
        return &g_itemWires[0];
    if (list && list == MainControl(IDC_REMOTE_FILES))
        return &g_itemWires[1];
    return nullptr;
}

void ForgetItemWires(HWND list)
{
    if (std::vector<std::string>* wires = ItemWires(list))
        wires->clear();
}

// A sorted list box finds each new item's place by comparing it with about
// log2(n) items, one CompareStringW each: most of the time of a large
// listing. Servers mostly list in order, so a name is first compared with
// the list's last item in the list's own way (its locale, case ignored, the
// text converted as the list converts it); a name that sorts after it goes
// to the end, where the list's own search would put it too. Any other name
// is added as usual.
// CompareStringW is looked up at run time (the oldest systems TARN runs on
// are not assumed to export it); without it every name is added as usual.
using CompareStringWFn = int(WINAPI*)(LCID, DWORD, LPCWSTR, int, LPCWSTR, int);

struct SortedTailRec {
    LCID locale;
    CompareStringWFn compare;
    std::wstring last;  // the list's last item, empty when unknown
    std::wstring wide;
};

static CompareStringWFn ListCompare()
{
    static const CompareStringWFn compare = reinterpret_cast<CompareStringWFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CompareStringW")));
    return compare;
}

static void StartSortedTail(HWND list, SortedTailRec* tail)
{
    tail->locale = static_cast<LCID>(SendMessageA(list, LB_GETLOCALE, 0, 0));
    tail->compare = ListCompare();
    tail->last.clear();
    if (!tail->compare)
        return;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0)
        return;
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, count - 1, 0);
    if (length < 0)
        return;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    if (SendMessageA(list, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(&text[0])) < 0)
        return;
    text.resize(strlen(text.c_str()));
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 1)
        return;
    tail->last.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &tail->last[0], n);
    tail->last.resize(static_cast<size_t>(n - 1));
}

static LRESULT AddSortedName(HWND list, SortedTailRec* tail, const char* name, int length)
{
    int n = tail->compare ? MultiByteToWideChar(CP_ACP, 0, name, length + 1, nullptr, 0) : 0;
    bool known = n > 0;
    if (known) {
        tail->wide.resize(static_cast<size_t>(n));
        known = MultiByteToWideChar(CP_ACP, 0, name, length + 1, &tail->wide[0], n) == n;
        tail->wide.resize(static_cast<size_t>(n - 1));
    }
    bool atEnd = known && !tail->last.empty() &&
                 tail->compare(tail->locale, NORM_IGNORECASE, tail->wide.c_str(), -1, tail->last.c_str(), -1) ==
                     CSTR_GREATER_THAN;
    LRESULT index = atEnd ? SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name))
                          : SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    if (index < 0)
        tail->last.clear();
    else if (atEnd || (known && index == SendMessageA(list, LB_GETCOUNT, 0, 0) - 1))
        tail->last.swap(tail->wide);
    return index;
}

void AddListNames(ListFillRec* fill, const char* names, int count, int bytes, const char* wires)
{
    HWND list = fill->list;
    if (count <= 0)
        return;
    SendMessageA(list, LB_INITSTORAGE, count, bytes);
    auto scrollBarShown = [list] { return (GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) != 0; };
    if (!fill->quiet && scrollBarShown()) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        fill->quiet = true;
    }
    RECT client = {};
    bool haveClient = false;
    bool extentPending = false;
    HDC dc = GetDC(list);
    SortedTailRec tail;
    StartSortedTail(list, &tail);
    const char* name = names;
    for (int i = 0; i < count; ++i) {
        int length = lstrlenA(name);
        LRESULT index = AddSortedName(list, &tail, name, length);
        if (wires) {
            std::vector<std::string>* kept = ItemWires(list);
            if (kept && index >= 0) {
                kept->emplace_back(wires);
                SendMessageA(list, LB_SETITEMDATA, index, static_cast<LPARAM>(kept->size()));
            }
            wires += lstrlenA(wires) + 1;
        }
        if (!fill->quiet || !haveClient) {
            GetClientRect(list, &client);
            haveClient = true;
        }
        SIZE size;
        if (!GetTextExtentPoint32A(dc, name, length, &size)) {
            LogMessage(MSG_TEXT_EXTENT_FAILED, static_cast<int>(GetLastError()));
        } else if (size.cx > *fill->widest && size.cx > client.right) {
            *fill->widest = size.cx;
            if (fill->quiet)
                extentPending = true;
            else
                SendMessageA(list, LB_SETHORIZONTALEXTENT, size.cx, 0);
        }
        if (!fill->quiet && scrollBarShown()) {
            SendMessageA(list, WM_SETREDRAW, FALSE, 0);
            fill->quiet = true;
        }
        name += length + 1;
    }
    ReleaseDC(list, dc);
    if (extentPending)
        SendMessageA(list, LB_SETHORIZONTALEXTENT, *fill->widest, 0);
}

void EndListFill(ListFillRec* fill)
{
    if (!fill->quiet)
        return;
    SendMessageA(fill->list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(fill->list, nullptr, TRUE);
    fill->quiet = false;
}

LRESULT CallOnGuiThread(LRESULT (*function)(void*), void* argument)
{
    if (OnGuiThread() || !g_hwndMain)
        return function(argument);
    return SendMessageA(g_hwndMain, WM_TARN_CALL, reinterpret_cast<WPARAM>(function),
                        reinterpret_cast<LPARAM>(argument));
}

static void SetFileListsShown(bool shown)
{
    for (int id : kListIds)
        ShowWindow(MainControl(id), shown ? SW_SHOW : SW_HIDE);
    for (int id : kLocalControlIds)
        EnableWindow(MainControl(id), shown);
}

void RedrawAllLists()
{
    for (int id : kListIds) {
        HWND list = MainControl(id);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
}

void HideFileLists() { SetFileListsShown(false); }
void ShowFileLists() { SetFileListsShown(true); }

HBRUSH MainControlColour(UINT message, HDC dc)
{
    switch (message) {
    case WM_CTLCOLOREDIT:
        SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
        SetBkColor(dc, kWhite);
        return g_brushWhite;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        SelectObject(dc, LanguageFont());
        SetBkColor(dc, kLightGrey);
        return g_brushLightGrey;
    default:
        return nullptr;
    }
}

bool ListSelection(int listId, std::vector<int>* items)
{
    int sel[MAX_SELECTED];
    LRESULT n = SendMessageA(MainControl(listId), LB_GETSELITEMS, MAX_SELECTED, reinterpret_cast<LPARAM>(sel));
    items->clear();
    if (n == LB_ERR || n < 0)
        return false;
    items->assign(sel, sel + n);
    return true;
}

struct ListTextRequest { int listId, index; char* out; int size; bool shortened; bool whole; };

static void ListItemTextHere(ListTextRequest& r)
{
    char* out = r.out;
    int size = r.size;
    int index = r.index;
    out[0] = 0;
    r.whole = false;
    HWND list = MainControl(r.listId);
    LRESULT len = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (len == LB_ERR)
        return;
    if (len < size) {
        r.whole = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(out)) != LB_ERR;
        if (!r.whole)
            out[0] = 0;
        return;
    }
    constexpr char kMore[] = "...";
    if (!r.shortened || size < static_cast<int>(sizeof kMore) + 1)
        return;
    std::vector<char> text(static_cast<size_t>(len) + 1);
    if (SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data())) == LB_ERR)
        return;
    // The start of the text, never half of a double-byte character.
    int keep = size - static_cast<int>(sizeof kMore);
    int n = 0;
    while (text[n]) {
        int step = IsDBCSLeadByte(static_cast<BYTE>(text[n])) && text[n + 1] ? 2 : 1;
        if (n + step > keep)
            break;
        n += step;
    }
    memcpy(out, text.data(), static_cast<size_t>(n));
    lstrcpyA(out + n, kMore);
}

void EnableControl(int id, bool enabled)
{
    EnableWindow(MainControl(id), enabled);
}

bool ListItemText(int listId, int index, char* out, int size, bool shortened)
{
    // Length and text are read in one message on the GUI thread, so a list
    // refilled in between can never overrun out.
    ListTextRequest r{listId, index, out, size, shortened, false};
    if (OnGuiThread())
        ListItemTextHere(r);
    else
        SendMessageA(g_hwndMain, WM_TARN_LIST_TEXT, 0, reinterpret_cast<LPARAM>(&r));
    return r.whole;
}

struct ListWireRequest { int listId, index; std::string* wire; bool found; };

static LRESULT ListItemWireHere(void* argument)
{
    ListWireRequest& r = *static_cast<ListWireRequest*>(argument);
    HWND list = MainControl(r.listId);
    LRESULT len = SendMessageA(list, LB_GETTEXTLEN, r.index, 0);
    if (len == LB_ERR)
        return 0;
    LRESULT data = SendMessageA(list, LB_GETITEMDATA, r.index, 0);
    std::vector<std::string>* kept = ItemWires(list);
    if (kept && data > 0 && static_cast<size_t>(data) <= kept->size()) {
        *r.wire = (*kept)[static_cast<size_t>(data) - 1];
    } else {
        std::vector<char> text(static_cast<size_t>(len) + 1);
        if (SendMessageA(list, LB_GETTEXT, r.index, reinterpret_cast<LPARAM>(text.data())) == LB_ERR)
            return 0;
        *r.wire = TypedNameToWire(text.data(), FtpSession.namesUtf8 != 0, TextCodePage);
    }
    r.found = true;
    return 0;
}

bool ListItemWire(int listId, int index, std::string* wire)
{
    ListWireRequest r{listId, index, wire, false};
    wire->clear();
    CallOnGuiThread(ListItemWireHere, &r);
    return r.found;
}

LRESULT OnListTextRequest(LPARAM lParam)
{
    ListItemTextHere(*reinterpret_cast<ListTextRequest*>(lParam));
    return 0;
}

bool ShowBusyCursor()
{
    if (FtpSession.commandCount == 0)
        return false;
    SetCursor(g_cursorAppStarting);
    return true;
}
