#include "shell/startup.h"

#include <winsock.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <initializer_list>
#include <shellapi.h>

#include "dialogs/dialogs.h"
#include "store/options.h"
#include "store/store.h"
#include "ftp/session.h"
#include "net/address.h"
#include "net/socket.h"
#include "shell/debugwin.h"
#include "shell/lists.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/keepalive.h"
#include "shell/configlink.h"
#include "shell/ftphooks.h"
#include "shell/helpwin.h"
#include "shell/keys.h"
#include "shell/layout.h"
#include "shell/mainwin.h"
#include "shell/operations.h"
#include "shell/statuslines.h"
#include "shell/watchdog.h"
#include "resources/catalogue.h"
#include <string>

HWND g_hwndMain;
int g_baseX = 4, g_baseY = 8;
char g_className[32] = "TARN";
BYTE g_languageByte;
HBRUSH g_brushLightGrey, g_brushDarkGrey, g_brushWhite;
HCURSOR g_cursorArrow, g_cursorAppStarting;

static HBRUSH g_classBrush;

int RegisterMainClass()
{
    g_classBrush = CreateSolidBrush(RGB(192, 192, 192));
    WNDCLASSA wc = {};
    wc.style = CS_BYTEALIGNWINDOW | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = g_hInstance;
    wc.hIcon = LoadIconA(g_hInstance, "FOLDER");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = g_classBrush;
    wc.lpszClassName = g_className;
    return RegisterClassA(&wc) ? 0 : -1;
}

// The screen's pixels per logical inch; 96 unless the screen says otherwise.
// The program declares itself DPI aware, so this is the real value.
static int ScreenDpi()
{
    int dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

LCID InitLanguageFont()
{
    LCID lcid = GetUserDefaultLCID();
    BYTE language = static_cast<BYTE>(lcid & 0xFF);
    LOGFONTA font = {};
    // 13 by 6 pixels at 96 DPI, as much larger as the screen's DPI is.
    int dpi = ScreenDpi();
    font.lfHeight = 13 * dpi / 96;
    font.lfWidth = 6 * dpi / 96;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = language == LANG_JAPANESE ? SHIFTJIS_CHARSET
                     : language == LANG_KOREAN ? HANGEUL_CHARSET
                                               : ANSI_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    SetLanguageFont(font);
    return lcid;
}

void UnregisterClasses()
{
    if (g_classBrush)
        DeleteObject(g_classBrush);
    g_classBrush = nullptr;
    UnregisterClassA(g_className, g_hInstance);
    UnregisterClassA("WSDBUGWNDCLASS", g_hInstance);
    UnregisterHelpClass();
}

static void FailureBox(UINT id)
{
    char text[512];
    LoadCatalogue(id, text, sizeof text);
    MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONEXCLAMATION);
}

// The main window: resizable from the smallest layout up, and maximizable.
static constexpr DWORD kMainStyle =
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

static void InitCommonControlsAtRunTime();

HWND CreateMainWindow(HINSTANCE instance, HINSTANCE previous, int show, int* exitCode)
{
    InitCommonControlsAtRunTime();
    lstrcpyA(g_className, "TARN");
    g_hInstance = instance;
    g_guiThreadId = GetCurrentThreadId();
    InstallFtpHooks();
    if (!previous && RegisterMainClass() != 0) {
        FailureBox(MSG_CLASS_REGISTRATION_FAILED);
        *exitCode = -1;
        return nullptr;
    }
    LONG units = GetDialogBaseUnits();
    g_baseX = LOWORD(units);
    g_baseY = HIWORD(units);
    // The window's creation handler reads the font, so it is prepared first.
    InitLanguageFont();
    int width, height;
    MainMinimumWindow(kMainStyle, &width, &height);
    HWND hwnd = CreateWindowExA(0, g_className, "TARN", kMainStyle, DluX(MAIN_X), DluY(MAIN_Y), width, height, nullptr,
                                nullptr, instance, nullptr);
    if (!hwnd) {
        FailureBox(MSG_WINDOW_CREATION_FAILED);
        *exitCode = 2;
        return nullptr;
    }
    // The creation read the options: the placement of the last run, if any.
    ShowWindow(hwnd, RestorePlacement(hwnd, show));
    return hwnd;
}

// The listing and view files go into the system's temporary folder, not
// into the folder TARN started in, where they would show in the local list
// (and fail when it is read-only); where the temporary folder takes none,
// they go where TARN started, as before.
static void MakeTempFiles()
{
    char dir[MAX_PATH + 1] = "";
    DWORD n = GetTempPathA(sizeof dir, dir);
    bool temp = n > 0 && n < sizeof dir && GetTempFileNameA(dir, "DIR", 0, ListingTempFile) &&
                GetTempFileNameA(dir, "DSP", 0, ViewTempFile);
    if (temp)
        return;
    if (ListingTempFile[0])
        DeleteFileA(ListingTempFile);
    ListingTempFile[0] = ViewTempFile[0] = 0;
    char here[MAX_PATH + 1];
    GetCurrentDirectoryA(sizeof here, here);
    GetTempFileNameA(here, "DIR", 0, ListingTempFile);
    GetTempFileNameA(here, "DSP", 0, ViewTempFile);
}

// The work area of the monitor nearest to r: from the monitor functions
// where Windows has them (98 and 2000 on), else the primary screen's.
static RECT NearestWorkArea(const RECT& r)
{
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    // The monitor functions and their record, as the headers of Windows 98
    // and 2000 name them (this program is built for the older ones).
    struct MonitorInfoRec { DWORD size; RECT monitor, work; DWORD flags; };
    constexpr DWORD kMonitorDefaultToNearest = 2;
    using MonitorFromRectFn = HANDLE(WINAPI*)(const RECT*, DWORD);
    using GetMonitorInfoFn = BOOL(WINAPI*)(HANDLE, MonitorInfoRec*);
    HMODULE user = GetModuleHandleA("user32.dll");
    auto fromRect = reinterpret_cast<MonitorFromRectFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromRect")));
    auto info = reinterpret_cast<GetMonitorInfoFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetMonitorInfoA")));
    if (fromRect && info) {
        MonitorInfoRec mi = {};
        mi.size = sizeof mi;
        if (HANDLE monitor = fromRect(&r, kMonitorDefaultToNearest))
            if (info(monitor, &mi))
                area = mi.work;
    }
    return area;
}

int RestorePlacement(HWND main, int show)
{
    WindowPlaceRec place;
    if (!ParsePlacement(ProgramOptions.placement, &place))
        return show;
    RECT r = {place.left, place.top, place.right, place.bottom};
    RECT area = NearestWorkArea(r);
    int minWidth, minHeight;
    MainMinimumWindow(kMainStyle, &minWidth, &minHeight);
    place = KeepInArea(place, area.left, area.top, area.right, area.bottom, minWidth, minHeight);
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    GetWindowPlacement(main, &wp);
    wp.flags = 0;
    wp.rcNormalPosition = {place.left, place.top, place.right, place.bottom};
    // Shown as asked, but maximized when it was and nothing else was asked.
    bool plain = show == SW_SHOWNORMAL || show == SW_SHOWDEFAULT || show == SW_SHOW;
    if (place.maximized && plain)
        show = SW_SHOWMAXIMIZED;
    wp.showCmd = SW_HIDE;
    SetWindowPlacement(main, &wp);
    return show;
}

void RememberPlacement(HWND main)
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(main, &wp))
        return;
    const RECT& r = wp.rcNormalPosition;
    bool maximized = wp.showCmd == SW_SHOWMAXIMIZED || (IsIconic(main) && (wp.flags & WPF_RESTORETOMAXIMIZED));
    WindowPlaceRec place = {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                            static_cast<int>(r.bottom), maximized};
    lstrcpynA(ProgramOptions.placement, FormatPlacement(place).c_str(), sizeof ProgramOptions.placement);
}

// The About box is offered at the end of the main window's system menu.
static void AddAboutToSystemMenu(HWND main)
{
    HMENU menu = GetSystemMenu(main, FALSE);
    char text[64];
    if (!menu || LoadCatalogue(MENU_ABOUT, text, sizeof text) == 0)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT, text);
}

void OnMainCreate(HWND main)
{
    g_hwndMain = main;
    WatchdogNewWindow();
    InstallLogHooks();
    g_cursorArrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    g_cursorAppStarting = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_APPSTARTING));
    LoadOptions();
    g_brushLightGrey = CreateSolidBrush(RGB(192, 192, 192));
    g_brushDarkGrey = CreateSolidBrush(RGB(128, 128, 128));
    g_brushWhite = CreateSolidBrush(RGB(255, 255, 255));
    ShareMainWindowWithDialogs(main);
    if (g_debugMode)
        CreateDebugWindow(main, g_hInstance);
    CreateMainControls(main, g_hInstance);
    for (int id : {IDC_LOCAL_MASK, IDC_REMOTE_MASK}) {
        SendDlgItemMessageA(main, id, EM_LIMITTEXT, 50, 0);
        SetDlgItemTextA(main, id, "");
    }
    FillLocalLists(main);
    DoDirList(main);
    SendMessageA(main, WM_COMMAND, IDM_SHOW_TRANSFER_TYPE, 0);
    MakeTempFiles();
    StartKeepAliveTimer(main);
    DragAcceptFiles(main, TRUE);
    AddAboutToSystemMenu(main);
}

void OnMainClose(HWND main)
{
    // A running worker is parked first, so that it cannot act on the sockets
    // closed below; it is reported and ended with the rest of the close.
    bool workerRan = IsBusy();
    if (workerRan)
        KillWorker();
    ReleaseHeldSocket(&FtpSession.dataSocket);
    ReleaseHeldSocket(&FtpSession.listenSocket);
    ReleaseHeldSocket(&FtpSession.controlSocket);
    AttachStatusLines(nullptr, nullptr);
    RememberPlacement(main);
    DestroyWindow(main);
    g_hwndMain = nullptr;
    ShareMainWindowWithDialogs(nullptr);
    StoreFailures failures;
    SaveOptions(&failures);
    ShowStoreFailures(failures);
    for (HBRUSH* b : {&g_brushLightGrey, &g_brushDarkGrey, &g_brushWhite}) {
        DeleteObject(*b);
        *b = nullptr;
    }
    DeleteLanguageFont();
    if (ListingTempFile[0])
        DeleteFileA(ListingTempFile);
    if (ViewTempFile[0])
        DeleteFileA(ViewTempFile);
    DragAcceptFiles(main, FALSE);
    if (workerRan) {
        LogMessage(MSG_KILLING_THREAD);
        SetBusy(0);
    }
    PostQuitMessage(0);
    BusyLockDelete();
}

int StartCommandLineFetch(const wchar_t* argument)
{
    // "host:path"; an IPv6 address is written in brackets: "[::1]:/pub/f".
    std::wstring host, path;
    if (!SplitFetchArgument(argument, &host, &path))
        return 0;
    if (host.size() > 63)
        host.resize(63);
    if (path.size() > 255)
        path.resize(255);
    // Converted with the runtime, whose locale start-up has set to the user's.
    size_t n = wcstombs(g_fetchHost, host.c_str(), sizeof g_fetchHost - 1);
    g_fetchHost[n == static_cast<size_t>(-1) ? 0 : n] = 0;
    n = wcstombs(g_fetchPath, path.c_str(), sizeof g_fetchPath - 1);
    g_fetchPath[n == static_cast<size_t>(-1) ? 0 : n] = 0;
    SetBusy(1);
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, CommandLineFetchThread, nullptr, 0, &id);
    SetWorkerThread(h, id);
    return 1;
}

int RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && g_hwndMain) {
            if (msg.hwnd == GetDlgItem(g_hwndMain, IDC_LOCAL_MASK))
                FillLocalLists(g_hwndMain);
            else if (msg.hwnd == GetDlgItem(g_hwndMain, IDC_REMOTE_MASK))
                StartWorker(msg.hwnd, 13, RemoteRefreshThread);
        }
        if (MainWindowKey(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        TrackMainFocus();
    }
    return static_cast<int>(msg.wParam);
}

// Common controls: the manifest asks for version 6 (themed buttons, lists
// and edits) on Windows XP and later, which wants comctl32 loaded and
// initialised before the first window. Loaded at run time, so that the
// program still starts where the library is missing or old; its
// InitCommonControls is there since Windows 95 and NT 4.0.
static void InitCommonControlsAtRunTime()
{
    static bool done;
    if (done)
        return;
    done = true;
    HMODULE comctl = LoadLibraryA("comctl32.dll");
    if (!comctl)
        return;  // the standard controls work without it
    using InitFn = void(WINAPI*)();
    if (auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControls"))))
        init();
    // Stays loaded: the controls' classes live in it.
}

int TarnMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int show)
{
    InitCommonControlsAtRunTime();
    BusyLockInit();
    InstallWorkerStops();
    wchar_t wide[1025] = L"";
    mbstowcs(wide, commandLine ? commandLine : "", 1024);
    if (wcsstr(wide, L"-d"))
        g_debugMode = 1;
    int rc = WSAStartup(0x0101, &g_wsaData);
    if (rc != 0) {
        MessageBoxA(nullptr, ErrorText(rc), "TARN - WSAStartup", MB_OK | MB_ICONEXCLAMATION);
        return 3;
    }
    int exitCode = 0;
    HWND main = CreateMainWindow(instance, previous, show, &exitCode);
    if (!main) {
        WSACleanup();
        return exitCode;
    }
    setlocale(LC_ALL, "");
    g_languageByte = static_cast<BYTE>(InitLanguageFont() & 0xFF);
    LogLocalHostInfo();
    if (ProgramOptions.autoConnect)
        PostMessageA(main, WM_COMMAND, IDC_CONNECT, 0);
    // The fetch argument is what follows the first "-d", or the whole line.
    const char* line = commandLine ? commandLine : "";
    const char* flag = strstr(line, "-d");
    const char* argument = flag ? flag + 2 : line;
    while (*argument == ' ')
        ++argument;
    wchar_t wideArgument[1025] = L"";
    mbstowcs(wideArgument, argument, 1024);
    StartCommandLineFetch(wideArgument);
    int quit = RunMessageLoop();
    WSACleanup();
    LogClear();
    UnregisterClasses();
    return quit;
}
