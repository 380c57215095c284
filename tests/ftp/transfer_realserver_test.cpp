// Transfers with real FTP servers on loopback, in active mode and in passive
// mode: the files on both sides byte for byte, the commands and the status log.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/options.h"
#include "ftp/command.h"
#include "ftp/localname.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "log/log.h"
#include "shell/app.h"
#include "shell/mainwin.h"
#include "tests/support/mainwindow.h"
#include "tests/support/servers.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

bool IsPyftpd(const RealServer& server)
{
    return std::string(server.name) == "pyftpd";
}

int CountLogged(const std::string& line)
{
    int n = 0;
    for (const std::string& l : CapturedLog())
        n += l == line;
    return n;
}

class RealTransfer : public ::testing::TestWithParam<RealServer> {
protected:
    void SetUp() override
    {
        EnsureWinsock();
        ResetSession();
        scratch_.Enter("tarn-xfer-real");
        root_ = ServerRoot(GetParam(), false);
        lstrcpynA(ListingTempFile, (scratch_.Path() + "\\DIR.tmp").c_str(), sizeof ListingTempFile);
        HostProfile.timeout = 10;
        ProgramOptions.bell = 0;
        ProgramOptions.receiveUnique = 0;
        FtpSession.totalBytes = FtpSession.totalSeconds = FtpSession.totalFiles = 0;
        CaptureLog();
    }
    void TearDown() override
    {
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        for (const std::string& f : remoteFiles_)
            DeleteFileA((root_ + "\\" + f).c_str());
        scratch_.Leave();
        ListingTempFile[0] = 0;
        ResetSession();
    }
    // Logs on as the test user, as the logon leaves the session.
    SOCKET Logon()
    {
        HostProfile.ftpPort = static_cast<DWORD>(ServerPort(GetParam()));
        SOCKET s = ConnectTcp("127.0.0.1", "ftp");
        FtpSession.controlSocket = s;
        EXPECT_EQ(GetReply(s), 2) << "is the server up? (tests/servers/servers start DIR)";
        EXPECT_EQ(SendCommand(s, "USER %s", kServerUser), 3);
        EXPECT_EQ(SendCommand(s, "PASS %s", kServerPassword), 2);
        FtpSession.loggedOn = 1;
        FtpSession.transferType = 'A';
        return s;
    }
    // A file in the server's root, deleted at the end of the test.
    std::string Remote(const std::string& name)
    {
        remoteFiles_.push_back(name);
        return root_ + "\\" + name;
    }

    ScratchDir scratch_;
    std::string root_;
    std::vector<std::string> remoteFiles_;
    CallDeadline deadline_{120000};
};

TEST_P(RealTransfer, EveryByteSurvivesInEveryType)
{
    SOCKET s = Logon();
    const size_t sizes[] = {0, 1, 511, 512, 513, 3999, 4000, 4001, 65535, 65536, 65537, 3u << 20};
    for (char type : {'I', 'L', 'A'}) {
        for (size_t size : sizes) {
            char name[32];
            sprintf(name, "%c-%u.bin", type, static_cast<unsigned>(size));
            SCOPED_TRACE(name);
            // In ASCII type a Unix server adds a CR to a bare LF when it sends
            // and drops the CR of CR LF when it stores; the client changes nothing.
            const std::string content = type == 'A' ? AsciiPattern(size, static_cast<unsigned>(size))
                                                    : Pattern(size, static_cast<unsigned>(size));
            ASSERT_TRUE(WriteBytes(Remote(std::string("r") + name), content));
            EXPECT_EQ(RetrieveFile(s, (std::string("RETR r") + name).c_str(), name, name, type), 2);
            EXPECT_TRUE(SameBytes(ReadBytes(name), content));

            const std::string stored = Remote(std::string("s") + name);
            EXPECT_EQ(StoreFile(s, (std::string("STOR s") + name).c_str(), name, type), 2);
            EXPECT_TRUE(SameBytes(ReadBytes(stored), type == 'A' && IsPyftpd(GetParam()) ? StoredAscii(content)
                                                                                          : content));
            DeleteFileA(name);
        }
    }
    // The type goes out once, before the first transfer that needs it.
    EXPECT_EQ(CountLogged("TYPE I"), 1);
    EXPECT_EQ(CountLogged("TYPE L 8"), 1);
    EXPECT_EQ(CountLogged("TYPE A"), 1);

    // What the user reads about the small transfers (all well under a second).
    EXPECT_TRUE(LogHas("Received 0 bytes in 1 sec, 0 bps, transfer succeeded"));
    EXPECT_TRUE(LogHas("Received 511 bytes in 1 sec, 4088 bps, transfer succeeded"));
    EXPECT_TRUE(LogHas("4001 bytes received in 1.00 seconds, (3.91Kbytes/sec), transfer succeeded"));
    EXPECT_TRUE(LogHas("Transmitted 0 bytes in 1 secs, 0 bps, transfer succeeded"));
    EXPECT_TRUE(LogHas("Transmitted 513 bytes in 1 secs, 4104 bps, transfer succeeded"));
    EXPECT_TRUE(LogHas("3999 bytes transmitted in 1.00 seconds, (3.91Kbytes/sec), transfer succeeded"));
    EXPECT_EQ(FtpSession.totalFiles, 2u * 3 * (sizeof sizes / sizeof sizes[0]));
    EXPECT_EQ(FtpSession.commandCount, 0);
    EXPECT_EQ(FtpSession.lastReceiveOk, 1);
}

TEST_P(RealTransfer, AMissingFileIsRefusedBeforeAnyConnection)
{
    SOCKET s = Logon();
    FtpSession.transferType = 'I';
    EXPECT_EQ(RetrieveFile(s, "RETR no-such-file", "no-such-file", "no-such-file", 'I'), 0);
    EXPECT_EQ(FtpSession.lastReplyCode, 550);
    EXPECT_TRUE(LogHasPrefix("550 "));
    EXPECT_FALSE(FileExists("no-such-file"));
    EXPECT_EQ(FtpSession.listenSocket, INVALID_SOCKET);
    EXPECT_EQ(FtpSession.dataSocket, INVALID_SOCKET);
    EXPECT_FALSE(LogHasPrefix("Received "));
    EXPECT_EQ(FtpPwd(s), 2);
}

TEST_P(RealTransfer, StouKeepsTheServersFileAndStoresUnderANewName)
{
    SOCKET s = Logon();
    const std::string old = Pattern(700, 1), sent = Pattern(70000, 2);
    ASSERT_TRUE(WriteBytes(Remote("up.bin"), old));
    ASSERT_TRUE(WriteBytes("up.bin", sent));
    EXPECT_EQ(StoreFile(s, "STOU up.bin", "up.bin", 'I'), 2);
    EXPECT_TRUE(SameBytes(ReadBytes(root_ + "\\up.bin"), old));

    // The server names the file it made in its preliminary reply.
    std::string made;
    for (const std::string& line : CapturedLog())
        if (line[0] == '1' && line.compare(3, 7, " FILE: ") == 0)
            made = line.substr(10);
    ASSERT_FALSE(made.empty());
    EXPECT_NE(made, "up.bin");
    EXPECT_TRUE(SameBytes(ReadBytes(Remote(made)), sent));
}

TEST_P(RealTransfer, ReceiveUniqueKeepsTheLocalFiles)
{
    SOCKET s = Logon();
    const std::string content = Pattern(5000, 9);
    ASSERT_TRUE(WriteBytes(Remote("a.txt"), content));
    WriteBytes("a.txt", "first");
    WriteBytes("a.txt.000", "second");
    ProgramOptions.receiveUnique = 1;
    char local[256], fallback[256];
    ASSERT_EQ(MakeSafeLocalName("a.txt", local, fallback), 1);
    EXPECT_STREQ(local, "a.txt.001");
    EXPECT_EQ(RetrieveFile(s, "RETR a.txt", local, fallback, 'I'), 2);
    EXPECT_EQ(ReadBytes("a.txt"), "first");
    EXPECT_EQ(ReadBytes("a.txt.000"), "second");
    EXPECT_TRUE(SameBytes(ReadBytes("a.txt.001"), content));
}

TEST_P(RealTransfer, ALocalNameThatCannotBeCreated)
{
    SOCKET s = Logon();
    const std::string content = Pattern(100000, 4);
    ASSERT_TRUE(WriteBytes(Remote("data.bin"), content));

    // The fallback name takes the file.
    EXPECT_EQ(RetrieveFile(s, "RETR data.bin", "no-dir\\data.bin", "data.bin", 'I'), 2);
    EXPECT_TRUE(LogHas("failed to open file no-dir\\data.bin (2)"));
    EXPECT_TRUE(LogHas("Trying shorter name data.bin"));
    EXPECT_TRUE(SameBytes(ReadBytes("data.bin"), content));
    DeleteFileA("data.bin");

    // Neither name: the data is read to its end and written nowhere, the
    // server's reply is read, and the transfer is a failure.
    CaptureLog();
    DWORD files = FtpSession.totalFiles;
    EXPECT_EQ(RetrieveFile(s, "RETR data.bin", "no-dir\\a.bin", "no-dir\\b.bin", 'I'), 0);
    std::vector<std::string> log = CapturedLog();
    auto at = [&](const std::string& text) { return std::find(log.begin(), log.end(), text) - log.begin(); };
    long opened = at("failed to open file no-dir\\a.bin (2)"), shorter = at("Trying shorter name no-dir\\b.bin"),
         still = at("Still failed to open file no-dir\\b.bin (2)");
    EXPECT_LT(opened, shorter);
    EXPECT_LT(shorter, still);
    EXPECT_LT(still, static_cast<long>(log.size()));
    bool failed = false, confirmed = false;
    for (const std::string& line : log) {
        failed = failed ||
                 (line.compare(0, 25, "100000 bytes received in ") == 0 && line.find("transfer failed") != std::string::npos);
        confirmed = confirmed || line.compare(0, 4, "226 ") == 0;
    }
    EXPECT_TRUE(failed);
    EXPECT_TRUE(confirmed);
    EXPECT_FALSE(LogHasPrefix("recv"));
    EXPECT_EQ(FilesIn(scratch_.Path()), std::vector<std::string>{});
    EXPECT_FALSE(FileExists("no-dir"));
    EXPECT_EQ(FtpSession.totalFiles, files);
    EXPECT_EQ(FtpSession.lastReceiveOk, 0);
    EXPECT_EQ(FtpPwd(s), 2);
}

TEST_P(RealTransfer, ALocalFileThatCannotBeOpenedIsNeverAnnounced)
{
    SOCKET s = Logon();
    const std::string kept = Pattern(3000, 5);
    ASSERT_TRUE(WriteBytes(Remote("keep.bin"), kept));
    CaptureLog();
    EXPECT_EQ(StoreFile(s, "STOR keep.bin", "no-such-local-file", 'I'), 0);
    EXPECT_EQ(CapturedLog(), std::vector<std::string>{"failed to open file no-such-local-file (2)"});
    EXPECT_TRUE(SameBytes(ReadBytes(root_ + "\\keep.bin"), kept));
    EXPECT_EQ(FtpSession.sendFile, -1);
    EXPECT_EQ(FtpPwd(s), 2);
}

TEST_P(RealTransfer, AFullDiskIsAFailedTransfer)
{
    SOCKET s = Logon();
    ASSERT_TRUE(WriteBytes(Remote("full.bin"), Pattern(50000, 6)));
    EXPECT_EQ(RetrieveFile(s, "RETR full.bin", "Z:\\dev\\full", "Z:\\dev\\full", 'I'), 0);
    EXPECT_TRUE(LogHas(std::string("Reason: ") + ErrorText(ERROR_DISK_FULL) + "."));
    EXPECT_TRUE(LogHas("Received 0 bytes in 1 sec, 0 bps, transfer failed"));
    EXPECT_EQ(FtpSession.lastReceiveOk, 0);
    EXPECT_EQ(FtpSession.commandCount, 0);
    EXPECT_EQ(FtpPwd(s), 2);
}

TEST_P(RealTransfer, ListingsGoToTheListingFile)
{
    SOCKET s = Logon();
    ASSERT_TRUE(WriteBytes(Remote("listed-one.txt"), "1"));
    ASSERT_TRUE(WriteBytes(Remote("listed-two.txt"), "22"));
    ProgramOptions.bell = 1;
    FtpSession.transferType = 'I';
    EXPECT_EQ(RetrieveListing(s, "LIST"), 2);
    EXPECT_EQ(ProgramOptions.bell, 1);
    EXPECT_EQ(CountLogged("TYPE A"), 1);
    std::string listing = ReadBytes(ListingTempFile);
    EXPECT_NE(listing.find("listed-one.txt\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("listed-two.txt\r\n"), std::string::npos) << listing;

    // A typed NLST is served the same way, and its names stay out of the log.
    CaptureLog();
    EXPECT_EQ(FtpQuote(s, "NLST"), 2);
    listing = ReadBytes(ListingTempFile);
    EXPECT_NE(listing.find("listed-one.txt\r\n"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("-rw"), std::string::npos) << listing;
    EXPECT_TRUE(LogHas("NLST"));
    EXPECT_FALSE(LogHas("listed-one.txt"));
    EXPECT_EQ(FtpSession.commandCount, 0);
}

// Passive mode: a listing, a receive and a send, each on a data connection
// that TARN opens; no PORT goes out.
TEST_P(RealTransfer, PassiveModeListsReceivesAndSends)
{
    HostProfile.passive = 1;
    SOCKET s = Logon();
    const std::string content = Pattern(300001, 17);
    ASSERT_TRUE(WriteBytes(Remote("pasv-down.bin"), content));
    EXPECT_EQ(RetrieveListing(s, "LIST"), 2);
    std::string listing = ReadBytes(ListingTempFile);
    EXPECT_NE(listing.find("pasv-down.bin\r\n"), std::string::npos) << listing;

    EXPECT_EQ(RetrieveFile(s, "RETR pasv-down.bin", "down.bin", "down.bin", 'I'), 2);
    EXPECT_TRUE(SameBytes(ReadBytes("down.bin"), content));
    Remote("pasv-up.bin");
    EXPECT_EQ(StoreFile(s, "STOR pasv-up.bin", "down.bin", 'I'), 2);
    EXPECT_TRUE(SameBytes(ReadBytes(root_ + "\\pasv-up.bin"), content));

    EXPECT_EQ(CountLogged("PASV"), 3);
    for (const std::string& line : CapturedLog())
        EXPECT_NE(line.compare(0, 5, "PORT "), 0) << line;
    EXPECT_EQ(FtpSession.listenSocket, INVALID_SOCKET);
    EXPECT_EQ(FtpSession.dataSocket, INVALID_SOCKET);
    EXPECT_EQ(FtpSession.commandCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Loopback, RealTransfer, ::testing::ValuesIn(kRealServers),
                         [](const ::testing::TestParamInfo<RealServer>& info) { return std::string(info.param.name); });

// The byte counters of the status panel, on the real main window.
std::vector<std::string> g_shown;

// Every text shown is a running total (never falling), then the final
// total, then the empty text.
// The texts a byte counter showed: rising counts, each with its percent of
// total when the size was known (withPercent), ending with the total and the
// empty field.
::testing::AssertionResult ShowedRunningTotal(const std::vector<std::string>& shown, size_t total, bool withPercent)
{
    const std::string ending = std::to_string(total) + (withPercent ? " (100%)" : "");
    if (shown.size() < 2 || shown.back() != "" || shown[shown.size() - 2] != ending)
        return ::testing::AssertionFailure() << "does not end with \"" << ending << "\" and the empty text ("
                                             << shown.size() << " texts, the last but one \""
                                             << (shown.size() >= 2 ? shown[shown.size() - 2] : "") << "\")";
    unsigned long last = 0;
    for (size_t i = 0; i + 1 < shown.size(); ++i) {
        char* end = nullptr;
        unsigned long n = strtoul(shown[i].c_str(), &end, 10);
        std::string percent = withPercent ? " (" + std::to_string(n * 100ull / total) + "%)" : "";
        if (shown[i].empty() || end != percent || n < last || n > total)
            return ::testing::AssertionFailure() << "text " << i << " is \"" << shown[i] << "\"";
        last = n;
    }
    return ::testing::AssertionSuccess();
}

// The byte counters during a transfer: the count and, where the size is
// known, the percent.
TEST_P(RealTransfer, TheStatusPanelCountsTheBytes)
{
    ASSERT_NE(OpenMainWindow(), nullptr);
    SOCKET s = Logon();
    const size_t size = 3u << 20;
    ASSERT_TRUE(WriteBytes(Remote("count.bin"), Pattern(size, 8)));
    struct Field { HWND window; bool send; };
    for (const Field& f : {Field{g_hwndRecvBytes, false}, Field{g_hwndSentBytes, true}}) {
        for (bool worker : {true, false}) {
            SCOPED_TRACE(std::string(f.send ? "sent" : "received") + (worker ? " on a worker" : " on the GUI thread"));
            g_shown.clear();
            WatchTexts(f.window, &g_shown);
            int result = 0;
            auto transfer = [&] {
                result = f.send ? StoreFile(s, "STOR count-up.bin", "count.bin", 'I')
                                : RetrieveFile(s, "RETR count.bin", "count.bin", "count.bin", 'I');
            };
            if (worker)
                RunOnWorker(transfer);
            else
                transfer();
            PumpMessagesFor(50);
            StopWatchingTexts(f.window);
            EXPECT_EQ(result, 2);
            // A sent file's size is known; vsftpd names the size of a file
            // it sends in its 150 reply, pyftpdlib does not.
            EXPECT_TRUE(ShowedRunningTotal(g_shown, size, f.send || !IsPyftpd(GetParam())));
            char text[32] = "?";
            GetWindowTextA(f.window, text, sizeof text);
            EXPECT_STREQ(text, "");
        }
    }
    Remote("count-up.bin");
    FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    CloseMainWindow();
}

}  // namespace
