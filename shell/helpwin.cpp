// The help window: a resizable top-level window owned by the main window,
// filled by one read-only edit control with the help text.
#include "shell/helpwin.h"

#include <string.h>

#include "log/log.h"
#include "log/process.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"

namespace {

const char kHelpClass[] = "TARNHELPWNDCLASS";
const char kHelpFile[] = "tarn.hlp";
enum {
    HELP_WIDTH_DLU = 280,
    HELP_HEIGHT_DLU = 220,
    HELP_OFFSET_DLU = 12,     // down and right of the main window's corner
    HELP_ENTRY_MAX = 8192,    // bytes of one section
};

HWND g_hwndHelp;
HWND g_hwndHelpText;
HFONT g_helpFont;
WNDPROC g_editProc;
bool g_classRegistered;

// "tarn.hlp" in the program's folder; empty when the path does not fit.
std::string HelpFilePath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return "";
    std::string dir(path, n);
    size_t slash = dir.find_last_of("\\/");
    dir.erase(slash == std::string::npos ? 0 : slash + 1);
    return dir + kHelpFile;
}

// The WinHelp file when it is there and WinHelp takes it.
bool OpenHelpFile(HWND owner)
{
    std::string path = HelpFilePath();
    if (path.empty())
        return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return WinHelpA(owner, path.c_str(), HELP_CONTENTS, 0) != FALSE;
}

// Esc in the text closes the window (an edit control of a plain window
// would only beep).
LRESULT CALLBACK HelpTextProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        PostMessageA(GetParent(hwnd), WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_CHAR && wParam == VK_ESCAPE)
        return 0;
    return CallWindowProcA(g_editProc, hwnd, message, wParam, lParam);
}

// The language font of the main window at its natural width.
HFONT MakeHelpFont()
{
    LOGFONTA font = LanguageLogFont();
    font.lfWidth = 0;
    return CreateFontIndirectA(&font);
}

LRESULT CALLBACK HelpWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        g_hwndHelpText = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                             ES_AUTOVSCROLL,
                                         0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_HELP_TEXT)),
                                         g_hInstance, nullptr);
        if (!g_hwndHelpText)
            return -1;
        g_helpFont = MakeHelpFont();
        if (g_helpFont)
            SendMessageA(g_hwndHelpText, WM_SETFONT, reinterpret_cast<WPARAM>(g_helpFont), FALSE);
        std::string text = HelpText();
        // A multi-line edit holds 30000 characters unless told otherwise.
        SendMessageA(g_hwndHelpText, EM_LIMITTEXT, text.size() + 1, 0);
        SetWindowTextA(g_hwndHelpText, text.c_str());
        g_editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(g_hwndHelpText, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HelpTextProc)));
        return 0;
    }
    case WM_SIZE:
        if (g_hwndHelpText)
            MoveWindow(g_hwndHelpText, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (g_hwndHelpText)
            SetFocus(g_hwndHelpText);
        return 0;
    case WM_CTLCOLORSTATIC:  // a read-only edit asks as a static text: white, as a page
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(g_brushWhite);
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        g_hwndHelp = nullptr;
        g_hwndHelpText = nullptr;
        if (g_helpFont)
            DeleteObject(g_helpFont);
        g_helpFont = nullptr;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool RegisterHelpClass()
{
    if (g_classRegistered)
        return true;
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = HelpWndProc;
    wc.hInstance = g_hInstance;
    wc.hIcon = LoadIconA(g_hInstance, "FOLDER");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHelpClass;
    g_classRegistered = RegisterClassA(&wc) != 0;
    return g_classRegistered;
}

// Opens the window near the owner's top left corner, inside the screen.
HWND CreateHelpWindow(HWND owner)
{
    if (!RegisterHelpClass())
        return nullptr;
    char title[128];
    if (!LoadCatalogue(HELP_TITLE, title, sizeof title))
        lstrcpyA(title, "TARN");
    int width = DluX(HELP_WIDTH_DLU), height = DluY(HELP_HEIGHT_DLU);
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT ownerRect = area;
    if (owner)
        GetWindowRect(owner, &ownerRect);
    int x = ownerRect.left + DluX(HELP_OFFSET_DLU), y = ownerRect.top + DluY(HELP_OFFSET_DLU);
    if (width > area.right - area.left)
        width = area.right - area.left;
    if (height > area.bottom - area.top)
        height = area.bottom - area.top;
    if (x + width > area.right)
        x = area.right - width;
    if (y + height > area.bottom)
        y = area.bottom - height;
    if (x < area.left)
        x = area.left;
    if (y < area.top)
        y = area.top;
    HWND hwnd = CreateWindowExA(0, kHelpClass, title, WS_OVERLAPPEDWINDOW, x, y, width, height, owner, nullptr,
                                g_hInstance, nullptr);
    if (!hwnd)
        return nullptr;
    g_hwndHelp = hwnd;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return hwnd;
}

}  // namespace

std::string HelpText()
{
    std::string text;
    char entry[HELP_ENTRY_MAX];
    int number = 1;
    for (UINT id = HELP_FIRST_SECTION; id <= HELP_LAST_SECTION; ++id) {
        if (!LoadCatalogue(id, entry, sizeof entry))
            continue;
        if (!text.empty())
            text += "\r\n\r\n";
        text += std::to_string(number++) + ". ";
        for (const char* p = entry; *p; ++p) {
            if (*p == '\n')
                text += '\r';
            text += *p;
        }
    }
    return text;
}

HWND HelpWindow()
{
    return g_hwndHelp;
}

void ShowHelp(HWND owner)
{
    if (OpenHelpFile(owner))
        return;
    if (!g_hwndHelp) {
        if (!CreateHelpWindow(owner))
            LogError("help window", GetLastError());
        return;
    }
    if (IsIconic(g_hwndHelp))
        ShowWindow(g_hwndHelp, SW_RESTORE);
    SetWindowPos(g_hwndHelp, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(g_hwndHelp);
}

void UnregisterHelpClass()
{
    if (g_classRegistered)
        UnregisterClassA(kHelpClass, g_hInstance);
    g_classRegistered = false;
}
