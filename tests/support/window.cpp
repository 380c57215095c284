#include "tests/support/window.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include "shell/app.h"
#include "shell/mainwin.h"
#include "shell/startup.h"
#include "tests/support/testwindow.h"

namespace {

HWND g_window;

struct CloseMainWindow : ::testing::Environment {
    void TearDown() override
    {
        if (g_window && IsWindow(g_window))
            SendMessageA(g_window, WM_CLOSE, 0, 0);
        PumpMessages();
        g_window = nullptr;
    }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new CloseMainWindow);


}  // namespace

HWND TestMainWindow()
{
    g_window = EnsureMainWindow();
    return g_window;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<std::string> ListItems(int id)
{
    HWND list = MainControl(id);
    std::vector<std::string> items;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(SendMessageA(list, LB_GETTEXTLEN, i, 0) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(lstrlenA(text.c_str()));
        items.push_back(text);
    }
    return items;
}

int ListExtent(int id)
{
    return static_cast<int>(SendMessageA(MainControl(id), LB_GETHORIZONTALEXTENT, 0, 0));
}

std::string ControlText(int id)
{
    char text[512] = "";
    GetDlgItemTextA(g_hwndMain, id, text, sizeof text);
    return text;
}

void HoldForScreenshot()
{
    const char* seconds = getenv("TARN_HOLD_SECONDS");
    if (!seconds)
        return;
    DWORD end = GetTickCount() + 1000 * atoi(seconds);
    while (GetTickCount() < end) {
        PumpMessages();
        Sleep(20);
    }
}
