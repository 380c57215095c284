// Abort of a receive whose server never answers the abort: the wait for the
// answer ends after 15 seconds with entries 6 and 7, not at the reply time-out.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "store/options.h"
#include "ftp/session.h"
#include "ftp/transfer.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/operations.h"
#include "tests/support/scriptserver.h"
#include "tests/support/testlog.h"
#include "tests/support/testwindow.h"

namespace {

DWORD WINAPI ReceiveForever(LPVOID)
{
    RetrieveFile(FtpSession.controlSocket, "RETR endless.bin", "abortwait.bin", "abortwait.bin", 'I');
    SetBusy(0);
    return 0;
}

TEST(AbortWait, AServerThatNeverAnswersTheAbortIsGivenUpAfter15Seconds)
{
    ASSERT_TRUE(EnsureMainWindow());
    InstallWorkerStops();
    ResetSession();
    HostProfile.timeout = 65;
    ScriptServer server({Hear(), Say("200 Type set.\r\n"), Hear(), Say("200 PORT ok.\r\n"), Hear(),
                         Say("150 Here it comes.\r\n"), DataConnect(), DataSay(std::string(10000, 'x')),
                         Silent()});
    ASSERT_TRUE(server.Listening());
    FtpSession.controlSocket = ConnectToScript(server);
    ASSERT_NE(FtpSession.controlSocket, INVALID_SOCKET);
    FtpSession.loggedOn = 1;
    FtpSession.transferType = 'A';
    CaptureLog();

    ASSERT_TRUE(StartWorker(g_hwndMain, 0, ReceiveForever));
    ASSERT_TRUE(PumpUntil([] { return FtpSession.receiveFileOpen && FtpSession.dataSocket != INVALID_SOCKET; },
                          10000));
    PumpMessages(300);
    DWORD start = GetTickCount();
    AbortOperation(g_hwndMain);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 14000u);
    EXPECT_LT(elapsed, 20000u);
    EXPECT_FALSE(IsBusy());
    EXPECT_TRUE(LogHas("Abort Timeout has Expired"));
    EXPECT_TRUE(LogHas("Abort Failed... Recommend you close and reconnect"));
    EXPECT_TRUE(WasLoggedPrefix("Got abort response = "));
    EXPECT_EQ(FtpSession.receiveFileOpen, 0);
    FtpSession.controlSocket = INVALID_SOCKET;
    FtpSession.loggedOn = 0;
    server.Stop();
    DeleteFileA("abortwait.bin");
}

}  // namespace
