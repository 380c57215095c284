// The command and reply exchange against the scripted server: what the
// status log shows, what goes on the wire, and the results.
#include <gtest/gtest.h>

#include <thread>

#include "net/blocking.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "store/options.h"
#include "tests/support/scriptserver.h"
#include "tests/support/testlog.h"

namespace {

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureWinsock();
        ResetSession();
        ClearLog();
    }
    void TearDown() override
    {
        if (s_ != INVALID_SOCKET)
            closesocket(s_);
        s_ = INVALID_SOCKET;
        ResetSession();
    }
    // Starts a scripted server and connects to it.
    void Play(std::vector<ScriptStep> steps)
    {
        server_.reset(new ScriptServer(std::move(steps)));
        ASSERT_TRUE(server_->Listening());
        s_ = ConnectToScript(*server_);
        ASSERT_NE(s_, INVALID_SOCKET);
        ClearLog();
    }
    void ExpectIdle()
    {
        EXPECT_EQ(FtpSession.commandCount, 0);
        EXPECT_EQ(FtpSession.replyDepth, 0);
    }

    CallDeadline deadline_{15000};
    std::unique_ptr<ScriptServer> server_;
    SOCKET s_ = INVALID_SOCKET;
};

// Only the cases matter here, so each gets a fresh server.
struct ReplyShape {
    const char* name;
    const char* bytes;
    int result;
    std::vector<std::string> logged;
};

TEST_F(Exchange, MultiLineRepliesEndAtTheirOwnCodeAndNoLater)
{
    const ReplyShape shapes[] = {
        {"dashes", "230-one\r\n230-two\r\n230 three\r\n", 2, {"230-one", "230-two", "230 three"}},
        {"line without code", "220-hello\r\n   more text\r\n220 ready\r\n", 2,
         {"220-hello", "   more text", "220 ready"}},
        {"other code inside", "230-one\r\n331 other\r\n230 done\r\n", 2, {"230-one", "331 other", "230 done"}},
        {"code 600 and over", "600 odd\r\n200 done\r\n", 2, {"600 odd", "200 done"}},
        {"code under 100", "50 odd\r\n200 done\r\n", 2, {"50 odd", "200 done"}},
        {"single", "550 No such file\r\n", 550, {"550 No such file"}},
        {"no code at all", "hello\r\n", 0, {"hello"}},
    };
    for (const ReplyShape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        Play({Say(std::string(shape.bytes) + "299 sentinel\r\n"), Silent()});
        FtpSession.lastReplyCode = 0;  // as SendCommand and the logon leave it
        EXPECT_EQ(GetReply(s_), shape.result);
        EXPECT_EQ(LoggedLines(), shape.logged);
        ExpectIdle();
        // The next reply begins exactly where this one ended.
        FtpSession.lastReplyCode = 0;
        EXPECT_EQ(GetReply(s_), 2);
        EXPECT_STREQ(FtpSession.replyLine, "299 sentinel");
        closesocket(s_);
        s_ = INVALID_SOCKET;
    }
}

TEST_F(Exchange, Reply550IsReturnedWhole)
{
    Play({Hear(), Say("550 No such file\r\n"), Hear(), Say("550 No such file\r\n"), Hear(),
          Say("550 Not a directory\r\n"), Silent()});
    EXPECT_EQ(SendCommand(s_, "RETR %s", "nothere"), 550);
    EXPECT_EQ(SendCommandCode(s_, "SIZE %s", "nothere"), 550);
    EXPECT_EQ(FtpCwd(s_, "file.txt"), 5);
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"RETR nothere", "SIZE nothere", "CWD file.txt"}));
}

TEST_F(Exchange, XVariantsOnlyAfter500)
{
    struct Op {
        const char* name;
        int (*run)(SOCKET);
        const char* first;
        const char* second;
    };
    const Op ops[] = {
        {"cwd", [](SOCKET s) { return FtpCwd(s, "dir"); }, "CWD dir", "XCWD dir"},
        {"pwd", [](SOCKET s) { return FtpPwd(s); }, "PWD", "XPWD"},
        {"mkd", [](SOCKET s) { return FtpMkd(s, "dir"); }, "MKD dir", "XMKD dir"},
        {"rmd", [](SOCKET s) { return FtpRmd(s, "dir"); }, "RMD dir", "XRMD dir"},
    };
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        Play({Hear(), Say("500 Unknown command\r\n"), Hear(), Say("250 Done\r\n"), Silent()});
        EXPECT_EQ(op.run(s_), 2);
        EXPECT_EQ(server_->Heard(), (std::vector<std::string>{op.first, op.second}));
        closesocket(s_);

        Play({Hear(), Say("502 Not implemented\r\n"), Hear(), Say("250 Done\r\n"), Silent()});
        EXPECT_EQ(op.run(s_), 5);
        closesocket(s_);
        s_ = INVALID_SOCKET;
        server_->WaitDone(2000);
        EXPECT_EQ(server_->Heard(), (std::vector<std::string>{op.first}));
    }
}

TEST_F(Exchange, MkdReturns550ItselfButDeleReturnsTheClass)
{
    Play({Hear(), Say("550 Exists\r\n"), Hear(), Say("550 No such file\r\n"), Silent()});
    EXPECT_EQ(FtpMkd(s_, "dir"), 550);
    EXPECT_EQ(FtpDele(s_, "gone.txt"), 5);
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"MKD dir", "DELE gone.txt"}));
}

TEST_F(Exchange, RemovingADirectoryOnMvsIsADeleteWithoutSecondTry)
{
    HostType = HOST_MVS;
    Play({Hear(), Say("500 Unknown\r\n"), Hear(), Say("250 Done\r\n"), Silent()});
    EXPECT_EQ(FtpRmd(s_, "'USER.DATA'"), 5);
    closesocket(s_);
    s_ = INVALID_SOCKET;
    server_->WaitDone(2000);
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"DELE 'USER.DATA'"}));
}

TEST_F(Exchange, QuoteSendsTheTextUnchanged)
{
    Play({Hear(), Say("211-Status\r\n stuff\r\n211 End\r\n"), Silent()});
    EXPECT_EQ(FtpQuote(s_, "STAT -la"), 2);
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"STAT -la"}));
    EXPECT_TRUE(WasLogged("STAT -la"));
}

TEST_F(Exchange, PasswordIsMaskedInTheLogButSentAsGiven)
{
    Play({Hear(), Say("230 Logged in\r\n"), Hear(), Say("331 Send password\r\n"), Silent()});
    EXPECT_EQ(SendCommand(s_, "PASS %s", "s3cret"), 2);
    EXPECT_EQ(SendCommand(s_, "pass %s", "s3cret"), 3);
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"PASS s3cret", "pass s3cret"}));
    EXPECT_TRUE(WasLogged("PASS xxxxxx"));
    EXPECT_FALSE(WasLogged("PASS s3cret"));
    EXPECT_TRUE(WasLogged("pass s3cret"));
}

TEST_F(Exchange, NotConnectedEchoesThenSaysSo)
{
    EXPECT_EQ(SendCommand(INVALID_SOCKET, "NOOP"), 0);
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{"NOOP", "Not connected"}));
    EXPECT_EQ(GetReply(INVALID_SOCKET), 0);
    EXPECT_EQ(ReadReplyLine(INVALID_SOCKET), 0);
    EXPECT_EQ(SendLine(INVALID_SOCKET, "NOOP"), -1);
}

TEST_F(Exchange, CommandRefusedWhileAnotherIsInProgress)
{
    Play({Silent()});
    FtpSession.commandCount = 1;
    EXPECT_EQ(SendCommand(s_, "NOOP"), 0);
    EXPECT_EQ(SendLine(s_, "NOOP"), -1);
    EXPECT_EQ(FtpSession.commandCount, 1);
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{"NOOP", "Command ignored, a command is already in process",
                                                      "Command ignored, a command is already in process"}));
    FtpSession.commandCount = 0;
    closesocket(s_);
    s_ = INVALID_SOCKET;
    server_->WaitDone(2000);
    EXPECT_TRUE(server_->Heard().empty());
}

TEST_F(Exchange, LongLinesAreCutAt4000BytesAndTheirRestDropped)
{
    // The rest holds what looks like a reply; it must never be read as one.
    std::string body(5000, 'x');
    body.replace(0, 4, "200 ");
    body.replace(4000, 9, "\r230 in\r");
    Play({Say(body + std::string(9000, 'y') + "\r\n"), Say("201 next\r\n"), Silent()});
    EXPECT_EQ(ReadReplyLine(s_), 200);
    EXPECT_EQ(std::string(FtpSession.replyLine), body.substr(0, 4000));
    EXPECT_EQ(ReadReplyLine(s_), 201);
    EXPECT_EQ(std::string(FtpSession.replyLine), "201 next");
    ExpectIdle();
}

TEST_F(Exchange, OverlongCommandsAreCutNotOverrun)
{
    Play({Hear(), Say("250 ok\r\n"), Hear(), Silent()});
    std::string name(1000, 'n');
    EXPECT_EQ(FtpCwd(s_, name.c_str()), 2);
    std::string text(5000, 't');
    EXPECT_EQ(SendLine(s_, text.c_str()), 4095);
    closesocket(s_);
    s_ = INVALID_SOCKET;
    server_->WaitDone(3000);
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"CWD " + std::string(507, 'n'), std::string(4093, 't')}));
}

TEST_F(Exchange, ABareCrLfLineIsKeptAndLogged)
{
    Play({Say("\r\n"), Silent()});
    EXPECT_EQ(GetReply(s_), 0);
    EXPECT_STREQ(FtpSession.replyLine, "\r\n");
    EXPECT_TRUE(WasLogged("\r\n"));
}

TEST_F(Exchange, AReplyInFragments)
{
    Play({Say("22"), Pause(150), Say("0-Wel"), Pause(150), Say("come\r\n220 Rea"), Pause(150), Say("dy\r\n"),
          Silent()});
    EXPECT_EQ(GetReply(s_), 2);
    EXPECT_EQ(LoggedLines(), (std::vector<std::string>{"220-Welcome", "220 Ready"}));
    ExpectIdle();
}

TEST_F(Exchange, ALastLineWithoutLineFeedBeforeTheClose)
{
    Play({Say("221 Goodbye"), Drop()});
    EXPECT_EQ(GetReply(s_), 2);
    EXPECT_STREQ(FtpSession.replyLine, "221 Goodbye");
    ExpectIdle();
}

TEST_F(Exchange, AConnectionClosedInsideAMultiLineReplyFailsAtOnce)
{
    const char* cases[] = {"257-first\r\n", "257-first\r\n257-sec", "257-first\r\n  no code\r\n"};
    for (const char* bytes : cases) {
        SCOPED_TRACE(bytes);
        Play({Say(bytes), Drop()});
        DWORD start = GetTickCount();
        EXPECT_EQ(GetReply(s_), -1);
        EXPECT_LT(GetTickCount() - start, 2000u);
        EXPECT_TRUE(WasLogged("257-first"));
        EXPECT_TRUE(WasLoggedPrefix("socket recv: "));
        ExpectIdle();
        closesocket(s_);
        s_ = INVALID_SOCKET;
    }
}

TEST_F(Exchange, AClosedConnectionGivesAnEmptyLineWithoutCode)
{
    Play({Drop()});
    EXPECT_EQ(GetReply(s_), 0);
    EXPECT_STREQ(FtpSession.replyLine, "");
    EXPECT_TRUE(LoggedLines().empty());
}

TEST_F(Exchange, ExosTakesTheFirstPieceOnlyUpToItsCarriageReturn)
{
    // The first receive takes 32 bytes instead of 82; the rest of the line
    // follows byte by byte, so the line itself is the same.
    std::string line = "220 " + std::string(26, 'a') + "\r" + std::string(60, 'b') + "\r\n";
    ASSERT_EQ(line[30], '\r');
    Play({Say(line + line), Silent()});
    ProgramOptions.verbose = 1;
    const struct { DWORD hostType; unsigned firstTake; } cases[] = {{HOST_EXOS, 32}, {HOST_UNIX, 82}};
    for (const auto& c : cases) {
        HostType = c.hostType;
        ClearLog();
        EXPECT_EQ(ReadReplyLine(s_), 220);
        EXPECT_EQ(std::string(FtpSession.replyLine), line.substr(0, line.size() - 2));
        std::vector<std::string> lines = LoggedLines();
        ASSERT_FALSE(lines.empty());
        std::string expected = "[" + std::to_string(s_) + "] ReadLine 82 - " + std::to_string(c.firstTake) + " - " +
                               std::to_string(c.firstTake) + " " + line.substr(0, c.firstTake);
        EXPECT_EQ(lines[0], expected) << c.hostType;
    }
}

TEST_F(Exchange, BadBytesNeverOverrunTheLine)
{
    std::string nul("220 caf\xE9 \0hidden\r\n", 18);
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += "230-line " + std::to_string(i) + "\r\n";
    std::string huge = "230-" + std::string(20000, '\xFF') + "\r\n";
    Play({Say(nul), Say(many + huge + "230 end\r\n"), Say("-1 looks like a failure\r\n"), Silent()});

    EXPECT_EQ(GetReply(s_), 2);
    EXPECT_STREQ(FtpSession.replyLine, "220 caf\xE9");  // the text ends at the NUL

    EXPECT_EQ(GetReply(s_), 2);
    EXPECT_STREQ(FtpSession.replyLine, "230 end");
    ExpectIdle();

    FtpSession.lastReplyCode = 0;
    EXPECT_EQ(GetReply(s_), 0);
    EXPECT_STREQ(FtpSession.replyLine, "-1 looks like a failure");
}

TEST_F(Exchange, AReplyReadWhileAbortingCountsAs421)
{
    Play({Say("226 Transfer"), Pause(5000), Say(" complete\r\n"), Silent()});
    std::thread canceller([] {
        while (!BlockingInProgress())
            Sleep(5);
        Sleep(100);
        CancelBlockingCall();
    });
    DWORD start = GetTickCount();
    EXPECT_EQ(GetReply(s_), 4);
    EXPECT_LT(GetTickCount() - start, 2000u);
    canceller.join();
    EXPECT_EQ(FtpSession.lastReplyCode, 421);
    EXPECT_EQ(NetAborting, 1);
    EXPECT_TRUE(WasLogged("226 Transfer"));
    ExpectIdle();
}

TEST_F(Exchange, ACancelFromAnotherThreadEndsAReceiveWithinASecond)
{
    Play({Silent()});
    DWORD cancelledAt = 0;
    std::thread canceller([&] {
        while (!BlockingInProgress())
            Sleep(5);
        Sleep(200);
        cancelledAt = GetTickCount();
        EXPECT_EQ(CancelBlockingCall(), 0);
    });
    EXPECT_EQ(GetReply(s_), -1);
    DWORD endedAt = GetTickCount();
    canceller.join();
    EXPECT_LT(endedAt - cancelledAt, 1000u);
    EXPECT_EQ(NetAborting, 1);
    EXPECT_TRUE(WasLogged(std::string("socket recv (peek): ") + ErrorText(WSAEINTR)));
    EXPECT_FALSE(BlockingInProgress());
    EXPECT_EQ(CancelBlockingCall(), SOCKET_ERROR);
    ExpectIdle();
}

}  // namespace
