// The time-out watchdog on the real main window: a worker blocked on a
// silent server, and the GUI thread itself blocked in a reply.
#include <gtest/gtest.h>

#include "store/options.h"
#include "net/blocking.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "log/log.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/mainwin.h"
#include "shell/watchdog.h"
#include "tests/support/mainwindow.h"
#include "tests/support/scriptserver.h"
#include "tests/support/testlog.h"

namespace {

class Watchdog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSession();
        ASSERT_NE(OpenMainWindow(), nullptr);
        ClearLog();
        HostProfile.timeout = 2;
    }
    void TearDown() override
    {
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        CloseMainWindow();
        WatchdogStopWorker = nullptr;
        ResetSession();
    }
    CallDeadline deadline_{15000};
};

const char kExpired[] = "Timer has expired";
const char kCancelled[] = "Timer cancelled a blocking call";

TEST_F(Watchdog, ASilentServerTimesOutOnTheWorkerAndTheNextConnectionWorks)
{
    ScriptServer server({Silent(), NextClient(), Say("220 Hello again\r\n"), Hear(), Say("200 Fine\r\n"), Silent()});
    int first = 0, second = 0, noop = 0;
    DWORD elapsed = 0;
    RunOnWorker([&] {
        FtpSession.controlSocket = ConnectToScript(server);
        DWORD start = GetTickCount();
        first = GetReply(FtpSession.controlSocket);
        elapsed = GetTickCount() - start;
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);

        FtpSession.controlSocket = ConnectToScript(server);
        FtpSession.lastReplyCode = 0;
        second = GetReply(FtpSession.controlSocket);
        noop = SendCommand(FtpSession.controlSocket, "NOOP");
    });
    EXPECT_EQ(first, -1);
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 3000u);
    EXPECT_TRUE(WasLogged(kExpired));
    EXPECT_TRUE(WasLogged(kCancelled));
    EXPECT_TRUE(WasLogged(std::string("socket recv (peek): ") + ErrorText(WSAEINTR)));
    EXPECT_EQ(second, 2);
    EXPECT_EQ(noop, 2);
    EXPECT_TRUE(WasLogged("220 Hello again"));
    EXPECT_TRUE(WasLogged("200 Fine"));
    EXPECT_EQ(server.Heard(), (std::vector<std::string>{"NOOP"}));
    // The worker's log lines reached the status lines through the window.
    char lower[128] = "";
    GetWindowTextA(g_hwndStatusLower, lower, sizeof lower);
    EXPECT_STREQ(lower, "200 Fine");
}

TEST_F(Watchdog, TheGuiThreadBlockedInAReplyStillTimesOut)
{
    ScriptServer server({Silent()});
    FtpSession.controlSocket = ConnectToScript(server);
    ASSERT_NE(FtpSession.controlSocket, INVALID_SOCKET);
    DWORD start = GetTickCount();
    EXPECT_EQ(GetReply(FtpSession.controlSocket), -1);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 3000u);
    EXPECT_TRUE(WasLogged(kExpired));
    EXPECT_TRUE(WasLogged(kCancelled));
    EXPECT_EQ(NetAborting, 1);
    EXPECT_EQ(FtpSession.commandCount, 0);
}

TEST_F(Watchdog, ATimeOutInsideALineGives421)
{
    ScriptServer server({Say("150 Opening"), Silent()});
    int result = 0;
    RunOnWorker([&] {
        FtpSession.controlSocket = ConnectToScript(server);
        result = GetReply(FtpSession.controlSocket);
    });
    EXPECT_EQ(result, 4);
    EXPECT_EQ(FtpSession.lastReplyCode, 421);
    EXPECT_TRUE(WasLogged("150 Opening"));
    EXPECT_TRUE(WasLogged(kCancelled));
    EXPECT_FALSE(WasLoggedPrefix("socket recv (peek)"));
}

TEST_F(Watchdog, AnExpiryWithoutABlockingCallOnlySaysSo)
{
    ArmWatchdog(1);
    PumpMessagesFor(1500);
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{kExpired}));
    EXPECT_EQ(NetAborting, 0);
}

TEST_F(Watchdog, AStoppedWatchdogStaysQuiet)
{
    RunOnWorker([] {
        ArmWatchdog(1);
        StopWatchdog();
    });
    PumpMessagesFor(1500);
    EXPECT_TRUE(LoggedLines().empty());
}

TEST_F(Watchdog, ABusyWorkerIsHandedToTheStopHook)
{
    static int stops;
    stops = 0;
    WatchdogStopWorker = [] { ++stops; };
    ScriptServer server({Silent()});
    SetBusy(1);
    int result = 0;
    RunOnWorker([&] {
        FtpSession.controlSocket = ConnectToScript(server);
        result = GetReply(FtpSession.controlSocket);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(IsBusy(), 0);
}

}  // namespace
