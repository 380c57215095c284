// The debug window: its scrolling rules, its busy filter and its view of the log.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "ftp/session.h"
#include "shell/debugwin.h"
#include "log/log.h"
#include "shell/busy.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "tests/support/testlog.h"
#include "tests/support/testwindow.h"

namespace {

TEST(DebugWindow, ScrollCodesMoveTheTopLine)
{
    struct Case { int code, position, top, count, newTop; };
    for (Case c : {Case{SB_PAGEDOWN, 0, 70, 90, 80}, Case{SB_PAGEDOWN, 0, 80, 90, 90},
                   Case{SB_LINEDOWN, 0, 89, 90, -1}, Case{SB_LINEDOWN, 0, 5, 90, 6},
                   Case{SB_LINEUP, 0, 0, 90, -1}, Case{SB_LINEUP, 0, 7, 90, 6},
                   Case{SB_PAGEUP, 0, 15, 90, 5}, Case{SB_PAGEUP, 0, 10, 90, 0},
                   Case{SB_THUMBPOSITION, 40, 0, 90, 40}, Case{SB_THUMBPOSITION, 100, 0, 90, 90},
                   Case{SB_THUMBTRACK, 40, 3, 90, -1}})
        EXPECT_EQ(DebugScrollTop(c.code, c.position, c.top, c.count), c.newTop)
            << c.code << " from " << c.top;
}

TEST(DebugWindow, ShowsTheLogAndScrollsIt)
{
    HWND main = EnsureMainWindow();
    ASSERT_TRUE(main);
    CreateDebugWindow(main, GetModuleHandleA(nullptr));
    HWND debug = g_hwndDebug;
    ASSERT_TRUE(debug);
    char title[64];
    GetWindowTextA(debug, title, sizeof title);
    EXPECT_STREQ(title, "TARN Debug");
    EXPECT_TRUE(IsIconic(debug));
    EXPECT_TRUE(GetMenu(debug));
    EXPECT_EQ(DebugLog.count, 0);  // creation starts an empty view

    ShowWindow(debug, SW_RESTORE);
    for (int i = 0; i < 5; ++i)
        LogLine(("debug line " + std::to_string(i)).c_str());
    PumpMessages(100);
    EXPECT_GT(DebugLog.visibleLines, 5);
    // Five lines fit: no scroll bar.
    EXPECT_FALSE(GetWindowLongA(debug, GWL_STYLE) & WS_VSCROLL);

    for (int i = 5; i < 95; ++i)
        LogLine(("debug line " + std::to_string(i)).c_str());
    PumpMessages(200);
    EXPECT_EQ(DebugLog.count, 90);
    EXPECT_TRUE(GetWindowLongA(debug, GWL_STYLE) & WS_VSCROLL);
    // New lines below the page scroll it down by one line each.
    EXPECT_GT(DebugLog.top, 0);
    SendMessageA(debug, WM_VSCROLL, SB_THUMBPOSITION | (10 << 16), 0);
    EXPECT_EQ(DebugLog.top, 10);
    SendMessageA(debug, WM_VSCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(DebugLog.top, 0);
    DestroyWindow(debug);
    EXPECT_EQ(g_hwndDebug, nullptr);
}

TEST(DebugWindow, CommandsWaitWhileACommandIsUnderWay)
{
    EXPECT_TRUE(DebugCommandPassesWhileBusy(IDM_DBG_DISCONNECT));
    EXPECT_TRUE(DebugCommandPassesWhileBusy(IDM_DBG_EXIT));
    EXPECT_TRUE(DebugCommandPassesWhileBusy(2620));
    EXPECT_TRUE(DebugCommandPassesWhileBusy(2650));
    EXPECT_FALSE(DebugCommandPassesWhileBusy(IDM_DBG_HELP));

    HWND main = EnsureMainWindow();
    CreateDebugWindow(main, GetModuleHandleA(nullptr));
    HWND debug = g_hwndDebug;
    CaptureLog();
    FtpSession.controlSocket = INVALID_SOCKET;
    // Refused as any other busy case: by the command count, and by the busy
    // flag of an operation that is between two of its commands.
    char inProcess[256], busy[256];
    LoadCatalogue(38, inProcess, sizeof inProcess);
    LoadCatalogue(3, busy, sizeof busy);
    FtpSession.commandCount = 1;
    SendMessageA(debug, WM_COMMAND, IDM_DBG_HELP, 0);
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{inProcess}));
    FtpSession.commandCount = 0;
    CaptureLog();
    SetBusy(1);
    SendMessageA(debug, WM_COMMAND, IDM_DBG_HELP, 0);
    SetBusy(0);
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{busy}));
    CaptureLog();
    SendMessageA(debug, WM_COMMAND, IDM_DBG_HELP, 0);
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{"HELP", "Not connected"}));
    DestroyWindow(debug);
}

}  // namespace
