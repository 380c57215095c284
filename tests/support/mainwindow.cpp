#include "tests/support/mainwindow.h"

#include <atomic>
#include <thread>

#include "shell/app.h"
#include "shell/busy.h"
#include "shell/startup.h"
#include "tests/support/testlog.h"
#include "tests/support/testwindow.h"
#include "tests/support/window.h"  // PumpMessages

HWND OpenMainWindow()
{
    EnsureWinsock();
    HWND hwnd = EnsureMainWindow();
    PumpMessagesFor(20);
    return hwnd;
}

void CloseMainWindow()
{
    if (g_hwndMain)
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageA(&msg);
    }
    UnregisterClasses();
    g_hwndMain = nullptr;
}

void PumpMessagesFor(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

void RunOnWorker(const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
        // Wakes the GUI thread's wait at once.
        PostThreadMessageA(g_guiThreadId, WM_NULL, 0, 0);
    });
    while (!done) {
        PumpMessages();
        if (!done)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    worker.join();
}

namespace {
std::vector<std::string>* g_watchedTexts;
WNDPROC g_watchedProc;

LRESULT CALLBACK TextSpy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT && g_watchedTexts)
        g_watchedTexts->emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
    return CallWindowProcA(g_watchedProc, hwnd, message, wParam, lParam);
}
}  // namespace

void WatchTexts(HWND window, std::vector<std::string>* texts)
{
    g_watchedTexts = texts;
    g_watchedProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextSpy)));
}

void StopWatchingTexts(HWND window)
{
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_watchedProc));
    g_watchedTexts = nullptr;
}
