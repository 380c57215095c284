// Files of more than 4 GiB, received from and sent to the scripted server:
// the statistics line, the status panel's counter and the totals name the
// whole size. The received file goes to NUL and the sent one is sparse, so
// no disk space is used. Slow (a minute or so): the suite's name puts it
// under the "slow" label of the test run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/options.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "shell/mainwin.h"
#include "tests/support/mainwindow.h"
#include "tests/support/scriptserver.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

const unsigned long long kSize = (1ull << 32) + 1;  // 4 GiB and one byte
const char kSizeText[] = "4294967297";
const char kCounterText[] = "4294967297 (100%)";  // the size is known both ways

std::vector<std::string> g_shown;

// The statistics line of the transfer: received or transmitted, succeeded.
bool LoggedReport(const char* verb)
{
    const std::string head = std::string(kSizeText) + " bytes " + verb + " in ";
    for (const std::string& line : CapturedLog())
        if (line.compare(0, head.size(), head) == 0 && line.find("), transfer succeeded") != std::string::npos)
            return true;
    return false;
}

class SlowLargeTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSession();
        scratch_.Enter("tarn-xfer-large");
        FtpSession.loggedOn = 1;
        FtpSession.transferType = 'I';
        FtpSession.totalBytes = FtpSession.totalSeconds = FtpSession.totalFiles = 0;
        ProgramOptions.bell = 0;
        ASSERT_NE(OpenMainWindow(), nullptr);
        CaptureLog();
    }
    void TearDown() override
    {
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        server_.reset();
        CloseMainWindow();
        DeleteFileA("large.bin");
        scratch_.Leave();
        ResetSession();
    }
    SOCKET Play(std::vector<ScriptStep> steps)
    {
        server_.reset(new ScriptServer(std::move(steps)));
        EXPECT_TRUE(server_->Listening());
        FtpSession.controlSocket = ConnectToScript(*server_);
        return FtpSession.controlSocket;
    }
    void Spy(HWND field)
    {
        g_shown.clear();
        WatchTexts(field, &g_shown);
    }
    void Unspy(HWND field) { StopWatchingTexts(field); }

    ScratchDir scratch_;
    std::unique_ptr<ScriptServer> server_;
};

TEST_F(SlowLargeTransfer, ReceiveAndSendMoreThan4GiB)
{
    // Receive (active mode) into NUL.
    SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes (4294967297 bytes)\r\n"), DataConnect(),
                     DataZeros(kSize), DataClose(), Say("226 Done\r\n"), Silent()});
    ASSERT_NE(s, INVALID_SOCKET);
    Spy(g_hwndRecvBytes);
    int result = 0;
    RunOnWorker([&] { result = RetrieveFile(s, "RETR large.bin", "NUL", "NUL", 'I'); });
    Unspy(g_hwndRecvBytes);
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(LoggedReport("received")) << Joined(CapturedLog());
    ASSERT_GE(g_shown.size(), 2u);
    EXPECT_EQ(g_shown[g_shown.size() - 2], kCounterText);
    EXPECT_EQ(g_shown.back(), "");
    EXPECT_EQ(FtpSession.totalBytes, kSize);
    FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);

    // Send (passive mode) a sparse file of the same size.
    ASSERT_TRUE(MakeSparseFile("large.bin", kSize));
    HostProfile.passive = 1;
    CaptureLog();
    s = Play({Hear(), PassiveSay("227 Entering Passive Mode (127,0,0,1,%p)\r\n"), DataAccept(), Hear(),
              Say("150 Send it\r\n"), DataCount(), Say("226 Stored\r\n"), Silent()});
    ASSERT_NE(s, INVALID_SOCKET);
    Spy(g_hwndSentBytes);
    RunOnWorker([&] { result = StoreFile(s, "STOR large.bin", "large.bin", 'I'); });
    Unspy(g_hwndSentBytes);
    EXPECT_EQ(result, 2);
    unsigned long long nonZero = 1;
    EXPECT_EQ(server_->DataCounted(&nonZero), kSize);
    EXPECT_EQ(nonZero, 0u);
    EXPECT_TRUE(LoggedReport("transmitted")) << Joined(CapturedLog());
    ASSERT_GE(g_shown.size(), 2u);
    EXPECT_EQ(g_shown[g_shown.size() - 2], kCounterText);
    EXPECT_EQ(FtpSession.totalBytes, 2 * kSize);
}

}  // namespace
