// The status log: trace lines, the two stores, the status lines and their
// scrolling, and writers on two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "store/options.h"
#include "log/log.h"
#include "shell/app.h"
#include "shell/mainwin.h"
#include "tests/support/testlog.h"
#include "tests/support/testwindow.h"

namespace {

class StatusLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureMainWindow();
        ResetLogStores();
        ProgramOptions.verbose = 0;
        g_debugMode = 0;
    }
    void TearDown() override
    {
        ProgramOptions.verbose = 0;
        g_debugMode = 0;
    }
    static std::string Upper() { return WindowText(g_hwndStatusUpper); }
    static std::string Lower() { return WindowText(g_hwndStatusLower); }
    static std::string LastDebugLine()
    {
        return DebugLog.count ? DebugLog.lines[DebugLog.count - 1] : "";
    }
};

TEST_F(StatusLogTest, TraceLinesFollowVerboseAndDebugMode)
{
    LogLine("before");
    struct Case { int verbose; int debug; bool stored; bool shown; };
    for (Case c : {Case{0, 0, false, false}, Case{1, 0, true, false}, Case{1, 1, true, true}, Case{0, 1, false, false}}) {
        ProgramOptions.verbose = c.verbose;
        g_debugMode = static_cast<BYTE>(c.debug);
        int before = DebugLog.count;
        LogMessage(92, 5u);
        EXPECT_EQ(DebugLog.count - before, c.stored ? 1 : 0) << c.verbose << c.debug;
        if (c.stored) {
            EXPECT_EQ(LastDebugLine(), "[5] Socket closed.");
        }
        EXPECT_EQ(Lower() == "[5] Socket closed.", c.shown) << c.verbose << c.debug;
        LogLine("before");
    }
}

TEST_F(StatusLogTest, StatusLinesShowTheTwoNewestCutTo80)
{
    std::string longLine(100, 'L');
    LogLine("first");
    LogLine(longLine.c_str());
    EXPECT_EQ(Upper(), "first");
    EXPECT_EQ(Lower(), std::string(80, 'L'));
    EXPECT_EQ(LastDebugLine(), longLine);
    int stored = DebugLog.count;
    LogLine("");  // reaches the status lines, not the debug store
    EXPECT_EQ(Lower(), "");
    EXPECT_EQ(Upper(), std::string(80, 'L'));
    EXPECT_EQ(DebugLog.count, stored);
}

TEST_F(StatusLogTest, StoresDropTheirOldestLine)
{
    for (int i = 1; i <= 91; ++i)
        LogLine(("line " + std::to_string(i)).c_str());
    EXPECT_EQ(DebugLog.count, 90);
    EXPECT_STREQ(DebugLog.lines[0], "line 2");
    EXPECT_STREQ(DebugLog.lines[89], "line 91");
    EXPECT_EQ(StatusHistory.count, 60);
    EXPECT_STREQ(StatusHistory.lines[0], "line 32");
    EXPECT_STREQ(StatusHistory.lines[59], "line 91");
}

TEST_F(StatusLogTest, ScrollingWalksBackWithoutGapsAndStopsAtBothEnds)
{
    for (int i = 1; i <= 61; ++i)
        LogLine(("line " + std::to_string(i)).c_str());
    StatusScroll(+1);  // already at the newest line
    EXPECT_EQ(Lower(), "line 61");
    for (int back = 1; back <= 58; ++back) {
        StatusScroll(-1);
        EXPECT_EQ(Lower(), "line " + std::to_string(61 - back));
        EXPECT_EQ(Upper(), "line " + std::to_string(60 - back));
    }
    EXPECT_EQ(Lower(), "line 3");
    StatusScroll(-1);  // the lower line shows the second oldest at most
    EXPECT_EQ(Lower(), "line 3");
    EXPECT_EQ(Upper(), "line 2");
    StatusScroll(+1);
    EXPECT_EQ(Lower(), "line 4");
}

TEST_F(StatusLogTest, ScrollBarMovesTheStatusLines)
{
    LogLine("one");
    LogLine("two");
    LogLine("three");
    HWND bar = MainControl(7531);
    SendMessageA(g_hwndMain, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Lower(), "two");
    SendMessageA(g_hwndMain, WM_VSCROLL, SB_PAGEUP, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Lower(), "two");
    SendMessageA(g_hwndMain, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Lower(), "three");
}

TEST_F(StatusLogTest, WorkerAndGuiThreadLogTogetherWithoutDeadlockOrLoss)
{
    CaptureLog();
    const int n = 1500;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < n; ++i)
            LogMessage(126, ("worker " + std::to_string(i)).c_str());
        done = true;
    });
    for (int i = 0; i < n; ++i) {
        LogMessage(126, ("gui " + std::to_string(i)).c_str());
        if (i % 16 == 0)
            PumpMessages(0);
    }
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 60000));
    worker.join();
    auto lines = CapturedLog();
    ASSERT_EQ(lines.size(), 2u * n);
    int nextWorker = 0, nextGui = 0;
    for (const auto& l : lines) {
        if (l.rfind("worker ", 0) == 0)
            EXPECT_EQ(l, "worker " + std::to_string(nextWorker++));
        else
            EXPECT_EQ(l, "gui " + std::to_string(nextGui++));
    }
    PumpMessages(50);
    EXPECT_EQ(Lower(), lines.back());
}

}  // namespace
