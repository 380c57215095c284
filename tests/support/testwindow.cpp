#include "tests/support/testwindow.h"

#include "shell/app.h"
#include "shell/busy.h"
#include "shell/startup.h"

HWND EnsureMainWindow()
{
    static bool started = [] {
        static WSADATA data;
        WSAStartup(0x0101, &data);
        g_wsaData = data;
        return true;
    }();
    (void)started;
    // One main window at a time: a second class registration would fail
    // with a message box that nobody answers.
    if (g_hwndMain && IsWindow(g_hwndMain))
        return g_hwndMain;
    BusyLockInit();
    int exitCode = 0;
    HWND h = CreateMainWindow(GetModuleHandleA(nullptr), nullptr, SW_SHOWNORMAL, &exitCode);
    PumpMessages(50);
    return h;
}

void PumpMessages(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::string WindowText(HWND hwnd)
{
    char buf[1024] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}
