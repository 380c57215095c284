// ConnectTcp, SendAll and ReleaseSocket: what they log and what they do to
// the connection.
#include <gtest/gtest.h>

#include <thread>

#include "store/options.h"
#include "net/blocking.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "log/log.h"
#include "shell/app.h"
#include "tests/support/scriptserver.h"
#include "tests/support/testlog.h"

namespace {

class Sockets : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureWinsock();
        ResetSession();
        ClearLog();
    }
    void TearDown() override
    {
        g_debugMode = 0;
        SetCloseSocketForTesting(nullptr);
        ResetSession();
    }
    CallDeadline deadline_{15000};
};

std::string Decimal(unsigned v) { return std::to_string(v); }

TEST_F(Sockets, ConnectWithAnOverriddenPort)
{
    ScriptServer server({Silent()});
    ASSERT_TRUE(server.Listening());
    HostProfile.ftpPort = server.Port();
    sockaddr_in answered = {};
    SOCKET s = ConnectTcp("127.0.0.1", "ftp", &answered);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{
                                 "  ",
                                 "Overridding FTP port number with " + Decimal(server.Port()),
                                 "connecting to 127.0.0.1 ...",
                                 "Connected to 127.0.0.1 port " + Decimal(server.Port()),
                             }));
    EXPECT_EQ(ntohs(answered.sin_port), server.Port());
    EXPECT_EQ(answered.sin_addr.s_addr, inet_addr("127.0.0.1"));
    EXPECT_EQ(SendAll(s, "NOOP\r\n", 6), 6);
    server.WaitDone(300);
    ReleaseSocket(s);
    server.WaitDone(3000);
    EXPECT_EQ(server.Heard(), (std::vector<std::string>{"NOOP"}));
}

TEST_F(Sockets, Port21IsNotAnnouncedAndARefusalIsReported)
{
    // Nothing listens on port 21 of loopback: the connect is refused at once.
    HostProfile.ftpPort = 21;
    EXPECT_EQ(ConnectTcp("127.0.0.1", "ftp"), INVALID_SOCKET);
    std::vector<std::string> lines = LoggedLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "  ");
    EXPECT_EQ(lines[1], "connecting to 127.0.0.1 ...");
    EXPECT_EQ(lines[2], std::string("connect: ") + ErrorText(WSAECONNREFUSED));
    EXPECT_EQ(lines[3], "Cannot connect to 127.0.0.1 ftp service port 21.");
}

TEST_F(Sockets, AnUnresolvableHostMakesNoSocket)
{
    // A name with an empty label is refused by the resolver without a query.
    EXPECT_EQ(ConnectTcp("a..b", "ftp"), INVALID_SOCKET);
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{"  ", "cannot get \"a..b\" host entry"}));
}

TEST_F(Sockets, SendAllHandsOverPiecesOf256KiB)
{
    ScriptServer server({Silent()});
    HostProfile.ftpPort = server.Port();
    SOCKET s = ConnectTcp("127.0.0.1", "ftp");
    ASSERT_NE(s, INVALID_SOCKET);
    ClearLog();
    g_debugMode = 1;
    std::string data = std::string(599998, 'a') + "\r\n";
    EXPECT_EQ(SendAll(s, data.data(), 600000), 600000);
    std::string prefix = "Socket[" + Decimal(s) + "] Bytes remain: ";
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{prefix + "337856  Bytes sent: 262144",
                                                      prefix + "75712  Bytes sent: 262144",
                                                      prefix + "0  Bytes sent: 75712"}));
    ClearLog();
    EXPECT_EQ(SendAll(s, data.data(), 0), 0);
    EXPECT_EQ(SendAll(s, data.data(), -5), 0);
    EXPECT_TRUE(LoggedLines().empty());
    ReleaseSocket(s);
    server.WaitDone(3000);
    EXPECT_EQ(server.Heard(), (std::vector<std::string>{std::string(599998, 'a')}));
}

TEST_F(Sockets, SendAllContinuesPartialPiecesUntilAllIsThere)
{
    // A peer that does not read at first fills the socket buffers, so pieces
    // go out in part and have to be continued.
    ScriptServer server({Pause(1500), Silent()});
    HostProfile.ftpPort = server.Port();
    SOCKET s = ConnectTcp("127.0.0.1", "ftp");
    ASSERT_NE(s, INVALID_SOCKET);
    std::string data;
    for (int i = 0; data.size() < 3 * 1024 * 1024; ++i)
        data += "line " + std::to_string(i) + " " + std::string(i % 97, 'z') + "\r\n";
    EXPECT_EQ(SendAll(s, data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
    ReleaseSocket(s);
    ASSERT_TRUE(server.WaitDone(10000));
    std::string received;
    for (const std::string& line : server.Heard())
        received += line + "\r\n";
    EXPECT_TRUE(received == data) << received.size() << " of " << data.size() << " bytes arrived";
}

TEST_F(Sockets, SendAllReportsAFailedSend)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(SendAll(s, "NOOP\r\n", 6), -1);
    std::vector<std::string> lines = LoggedLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].compare(0, 6, "send: "), 0) << lines[0];
    EXPECT_EQ(lines[1], "on socket [" + Decimal(s) + "], 6 bytes left to send,  -1 bytes were sent");
    closesocket(s);
}

TEST_F(Sockets, ReleasingNoSocketDoesNothing)
{
    EXPECT_EQ(ReleaseSocket(INVALID_SOCKET), INVALID_SOCKET);
    EXPECT_TRUE(LoggedLines().empty());
}

TEST_F(Sockets, ReleasingAnUnconnectedSocketClosesItQuietly)
{
    ProgramOptions.verbose = 1;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(ReleaseSocket(s), INVALID_SOCKET);
    // shutdown's WSAENOTCONN is not reported; the socket is really closed.
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{"[" + Decimal(s) + "] Socket closed."}));
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

int g_closeCalls;
int PASCAL CloseWouldBlock(SOCKET)
{
    ++g_closeCalls;
    WSASetLastError(WSAEWOULDBLOCK);
    return SOCKET_ERROR;
}

TEST_F(Sockets, ACloseThatWouldBlockIsTriedSixTimes)
{
    ProgramOptions.verbose = 1;
    SetCloseSocketForTesting(CloseWouldBlock);
    const struct { LONG aborting; int calls; bool retriedMessage; } cases[] = {{0, 6, true}, {1, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.aborting);
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        ClearLog();
        g_closeCalls = 0;
        NetAborting = c.aborting;
        EXPECT_EQ(ReleaseSocket(s), INVALID_SOCKET);
        EXPECT_EQ(g_closeCalls, c.calls);
        std::vector<std::string> expected = {std::string("closesocket: ") + ErrorText(WSAEWOULDBLOCK)};
        if (c.retriedMessage)
            expected.push_back("Retried 5 times to close data socket.");
        expected.push_back("[" + Decimal(s) + "] Socket closed.");
        EXPECT_EQ(LoggedLines(), expected);
        closesocket(s);
    }
}

TEST_F(Sockets, ReleasingCancelsACallBlockedOnAnotherThread)
{
    ScriptServer server({Silent()});
    HostProfile.ftpPort = server.Port();
    SOCKET s = ConnectTcp("127.0.0.1", "ftp");
    ASSERT_NE(s, INVALID_SOCKET);
    ClearLog();
    int result = 0, error = 0;
    std::thread reader([&] {
        char c;
        result = BlockingRecv(s, &c, 1, 0);
        error = WSAGetLastError();
    });
    while (!BlockingInProgress())
        Sleep(5);
    DWORD start = GetTickCount();
    EXPECT_EQ(ReleaseSocket(s), INVALID_SOCKET);
    reader.join();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(error, WSAEINTR);
    EXPECT_EQ(NetAborting, 1);
    EXPECT_EQ(LoggedLines().at(0), "(" + Decimal(s) + ") Cancelled blocking call");
    EXPECT_FALSE(BlockingInProgress());
}

}  // namespace
