// The normal exchange with real FTP servers on loopback (started by the
// "ftpservers" CTest fixture): what the files on the server side show.
#include <gtest/gtest.h>

#include <string>

#include "store/options.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "log/log.h"
#include "tests/support/servers.h"
#include "tests/support/testlog.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class RealServerTest : public ::testing::TestWithParam<RealServer> {
protected:
    void SetUp() override
    {
        EnsureWinsock();
        ResetSession();
        ClearLog();
        HostProfile.timeout = 10;
        HostProfile.ftpPort = static_cast<DWORD>(ServerPort(GetParam()));
    }
    void TearDown() override
    {
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        ResetSession();
    }
    // Connects and reads the greeting as the logon does.
    SOCKET Open()
    {
        SOCKET s = ConnectTcp("127.0.0.1", "ftp");
        FtpSession.controlSocket = s;
        FtpSession.lastReplyCode = 0;
        EXPECT_EQ(GetReply(s), 2) << "is the server up? (tests/servers/servers start DIR)";
        return s;
    }
    CallDeadline deadline_{20000};
};

TEST_P(RealServerTest, UserSessionChangesTheServersFiles)
{
    const std::string root = ServerRoot(GetParam(), false);
    SOCKET s = Open();
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(SendCommand(s, "USER %s", kServerUser), 3);
    EXPECT_EQ(SendCommand(s, "PASS %s", kServerPassword), 2);
    EXPECT_TRUE(WasLogged("PASS xxxxxx"));
    EXPECT_FALSE(WasLoggedPrefix(std::string("PASS ") + kServerPassword));

    EXPECT_EQ(FtpPwd(s), 2);
    EXPECT_EQ(std::string(FtpSession.replyLine).substr(0, 8), "257 \"/\" ");

    RemoveDirectoryA((root + "\\made-by-tarn").c_str());
    EXPECT_EQ(FtpMkd(s, "made-by-tarn"), 2);
    EXPECT_TRUE(Exists(root + "\\made-by-tarn"));
    EXPECT_EQ(FtpMkd(s, "made-by-tarn"), 550);

    EXPECT_EQ(FtpCwd(s, "made-by-tarn"), 2);
    EXPECT_EQ(FtpPwd(s), 2);
    EXPECT_NE(std::string(FtpSession.replyLine).find("\"/made-by-tarn\""), std::string::npos);
    EXPECT_EQ(FtpCwd(s, ".."), 2);
    EXPECT_EQ(FtpCwd(s, "no-such-directory"), 5);
    EXPECT_EQ(FtpSession.lastReplyCode, 550);

    EXPECT_EQ(FtpRmd(s, "made-by-tarn"), 2);
    EXPECT_FALSE(Exists(root + "\\made-by-tarn"));

    const std::string file = root + "\\delete-me.txt";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(FtpDele(s, "delete-me.txt"), 2);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(FtpDele(s, "delete-me.txt"), 5);

    // A multi-line reply of the server's own.
    EXPECT_EQ(SendCommand(s, "HELP"), 2);
    EXPECT_EQ(FtpSession.lastReplyCode, 214);
    EXPECT_EQ(SendCommand(s, "SYST"), 2);
    EXPECT_STREQ(FtpSession.replyLine, "215 UNIX Type: L8");

    EXPECT_EQ(SendCommand(s, "QUIT"), 2);
    EXPECT_EQ(FtpSession.lastReplyCode, 221);
    EXPECT_EQ(FtpSession.commandCount, 0);
}

TEST_P(RealServerTest, AWrongPasswordIsRefused)
{
    SOCKET s = Open();
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(SendCommand(s, "USER %s", kServerUser), 3);
    EXPECT_EQ(SendCommandCode(s, "PASS %s", "not-the-password"), 530);
}

TEST_P(RealServerTest, AnonymousMayWriteInPub)
{
    const std::string pub = ServerRoot(GetParam(), true);
    SOCKET s = Open();
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(SendCommand(s, "USER %s", "anonymous"), 3);
    EXPECT_EQ(SendCommand(s, "PASS %s", "tester@example.com"), 2);
    RemoveDirectoryA((pub + "\\anon-dir").c_str());
    EXPECT_EQ(FtpCwd(s, "pub"), 2);
    EXPECT_EQ(FtpMkd(s, "anon-dir"), 2);
    EXPECT_TRUE(Exists(pub + "\\anon-dir"));
    RemoveDirectoryA((pub + "\\anon-dir").c_str());
}

INSTANTIATE_TEST_SUITE_P(Loopback, RealServerTest, ::testing::ValuesIn(kRealServers),
                         [](const ::testing::TestParamInfo<RealServer>& info) { return std::string(info.param.name); });

}  // namespace
