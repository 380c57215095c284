// The data connection against the scripted server: what goes on the wire,
// what arrives, what the log says, for the cases no real server produces
// (a refused PORT, a data connection closed or reset early); and the pure
// rules (PORT, the statistics lines).
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "store/options.h"
#include "net/blocking.h"
#include "ftp/command.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "log/log.h"
#include "shell/mainwin.h"
#include "shell/watchdog.h"
#include "tests/support/mainwindow.h"
#include "tests/support/scriptserver.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

// Whether a captured line begins with `prefix` and contains `part` and `end`.
bool LoggedWith(const std::string& prefix, const std::string& part, const std::string& end = "")
{
    for (const std::string& line : CapturedLog())
        if (line.compare(0, prefix.size(), prefix) == 0 && line.find(part) != std::string::npos &&
            line.find(end) != std::string::npos)
            return true;
    return false;
}

TEST(TransferRules, PortCommand)
{
    struct Case { unsigned long address; unsigned short port; const char* command; };
    const Case cases[] = {
        {0xC0A8010Aul, 4 * 256 + 10, "PORT 192,168,1,10,4,10"},
        {0x7F000001ul, 65535, "PORT 127,0,0,1,255,255"},
        {0x00000000ul, 0, "PORT 0,0,0,0,0,0"},
        {0xFFFFFFFFul, 256, "PORT 255,255,255,255,1,0"},
    };
    for (const Case& c : cases) {
        char out[32];
        FormatPortCommand(out, c.address, c.port);
        EXPECT_STREQ(out, c.command);
    }
}

TEST(TransferRules, PassiveReply)
{
    struct Case { const char* reply; PassiveParse result; unsigned long address; unsigned short port; };
    const Case cases[] = {
        {"227 Entering Passive Mode (127,0,0,1,195,80).", PASSIVE_OK, 0x7F000001ul, 195 * 256 + 80},
        {"227 Entering Passive Mode (10,1,2,3,4,1)", PASSIVE_OK, 0x0A010203ul, 4 * 256 + 1},
        {"227 Entering Passive Mode 192,168,0,9,255,255", PASSIVE_OK, 0xC0A80009ul, 65535},
        {"227 =255,255,255,255,0,21", PASSIVE_OK, 0xFFFFFFFFul, 21},
        // The code's digits are no part of the address.
        {"227 (1,2,3,4,0,1)", PASSIVE_OK, 0x01020304ul, 1},
        {"227 Entering Passive Mode (127,0,0,1,0,0)", PASSIVE_PORT_ZERO, 0x7F000001ul, 0},
        {"227 Entering Passive Mode", PASSIVE_GARBLED, 0, 0},
        {"227 Entering Passive Mode (127,0,0,1,195)", PASSIVE_GARBLED, 0, 0},
        {"227 Entering Passive Mode (127,0,0,1,195,80,7)", PASSIVE_GARBLED, 0, 0},
        {"227 Entering Passive Mode (127,0,0,256,195,80)", PASSIVE_GARBLED, 0, 0},
        {"227 Entering Passive Mode (127,0,0,1,1195,80)", PASSIVE_GARBLED, 0, 0},
        {"227 Entering Passive Mode (127, 0, 0, 1, 195, 80)", PASSIVE_GARBLED, 0, 0},
        {"227 Entering Passive Mode (127,0,0,1,,80)", PASSIVE_GARBLED, 0, 0},
        {"227", PASSIVE_GARBLED, 0, 0},
        {"", PASSIVE_GARBLED, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        unsigned long address = 1;
        unsigned short port = 1;
        EXPECT_EQ(ParsePassiveReply(c.reply, &address, &port), c.result);
        if (c.result != PASSIVE_GARBLED) {
            EXPECT_EQ(address, c.address);
            EXPECT_EQ(port, c.port);
        }
    }
    unsigned long address;
    unsigned short port;
    EXPECT_EQ(ParsePassiveReply(nullptr, &address, &port), PASSIVE_GARBLED);
}

TEST(TransferRules, StatisticsLines)
{
    struct Case {
        bool received;
        ULONGLONG total;
        DWORD milliseconds;
        bool ok, writeError;
        const char* line;
    };
    const Case cases[] = {
        // Measured to the millisecond: a small file in a fraction of a second
        // has the rate of that fraction (the short form rounds the seconds).
        {true, 450, 20, true, false, "Received 450 bytes in 0 sec, 180000 bps, transfer succeeded"},
        {true, 500, 0, true, false, "Received 500 bytes in 0 sec, 4000000 bps, transfer succeeded"},
        {true, 500, 1500, true, false, "Received 500 bytes in 2 sec, 2666 bps, transfer succeeded"},
        {true, 2048, 2000, true, false, "2048 bytes received in 2.00 seconds, (1.00Kbytes/sec), transfer succeeded"},
        {true, 4001, 130, true, false, "4001 bytes received in 0.13 seconds, (30.06Kbytes/sec), transfer succeeded"},
        {true, 0, 1000, true, false, "Received 0 bytes in 1 sec, 0 bps, transfer succeeded"},
        {true, 1024, 1000, false, false, "Received 1024 bytes in 1 sec, 8192 bps, transfer failed"},
        {true, 1025, 1000, false, false, "1025 bytes received in 1.00 seconds, (1.00Kbytes/sec), transfer failed"},
        // A write error always gives the short form.
        {true, 900000, 3000, false, true, "Received 900000 bytes in 3 sec, 2400000 bps, transfer failed"},
        // Totals and rates beyond 32 bits are shown whole.
        {true, 0x40000000, 1000, false, true, "Received 1073741824 bytes in 1 sec, 8589934592 bps, transfer failed"},
        {true, 4294967297ull, 1000, false, true, "Received 4294967297 bytes in 1 sec, 34359738376 bps, transfer failed"},
        {true, 4294967297ull, 64000, true, false,
         "4294967297 bytes received in 64.00 seconds, (65536.00Kbytes/sec), transfer succeeded"},
        {false, 2147483649ull, 3000, true, false,
         "2147483649 bytes transmitted in 3.00 seconds, (699050.67Kbytes/sec), transfer succeeded"},
        {false, 700, 350, true, false, "Transmitted 700 bytes in 0 secs, 16000 bps, transfer succeeded"},
        {false, 4096, 4000, true, false, "4096 bytes transmitted in 4.00 seconds, (1.00Kbytes/sec), transfer succeeded"},
        {false, 0, 0, true, false, "Transmitted 0 bytes in 0 secs, 0 bps, transfer succeeded"},
        {false, 300, 1000, false, false, "Transmitted 300 bytes in 1 secs, 2400 bps, transfer failed"},
        {false, 3072, 1000, false, false, "3072 bytes transmitted in 1.00 seconds, (3.00Kbytes/sec), transfer failed"},
    };
    for (const Case& c : cases) {
        CaptureLog();
        LogTransferReport(ReportFor(c.received, c.total, c.milliseconds, c.ok, c.writeError));
        EXPECT_EQ(CapturedLog(), std::vector<std::string>{c.line});
    }
}

TEST(TransferRules, ATransferNeedsAnIdleControlConnection)
{
    ResetSession();
    CaptureLog();
    EXPECT_EQ(RetrieveFile(INVALID_SOCKET, "RETR x", "x", "x", 'I'), 0);
    EXPECT_EQ(StoreFile(INVALID_SOCKET, "STOR x", "x", 'I'), 0);
    FtpSession.commandCount = 1;
    EXPECT_EQ(RetrieveFile(static_cast<SOCKET>(1234), "RETR x", "x", "x", 'I'), 0);
    EXPECT_EQ(StoreFile(static_cast<SOCKET>(1234), "STOR x", "x", 'I'), 0);
    FtpSession.commandCount = 0;
    const std::string idle = "No control socket, command ignored";
    const std::string busy = "Command ignored, a command is already in process";
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{idle, idle, busy, busy}));
    EXPECT_EQ(GetFileAttributesA("x"), INVALID_FILE_ATTRIBUTES);
}

class ScriptedTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSession();
        scratch_.Enter("tarn-xfer-script");
        FtpSession.loggedOn = 1;
        FtpSession.transferType = 'I';  // no TYPE in the scripts
        ProgramOptions.bell = 0;
        CaptureLog();
    }
    void TearDown() override
    {
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        server_.reset();
        scratch_.Leave();
        ResetSession();
    }
    SOCKET Play(std::vector<ScriptStep> steps)
    {
        server_.reset(new ScriptServer(std::move(steps)));
        EXPECT_TRUE(server_->Listening());
        FtpSession.controlSocket = ConnectToScript(*server_);
        EXPECT_NE(FtpSession.controlSocket, INVALID_SOCKET);
        return FtpSession.controlSocket;
    }
    ScratchDir scratch_;
    std::unique_ptr<ScriptServer> server_;
    CallDeadline deadline_{20000};
};

TEST_F(ScriptedTransfer, PortNamesTheControlConnectionsAddressAndTheListenersPort)
{
    ProgramOptions.verbose = 1;
    const std::string data = Pattern(10000, 7);
    SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes\r\n"), DataConnect(), DataSay(data),
                     DataClose(), Say("226 Done\r\n"), Silent()});
    EXPECT_EQ(RetrieveFile(s, "RETR file.bin", "file.bin", "file.bin", 'I'), 2);
    EXPECT_EQ(ReadBytes("file.bin"), data);

    std::vector<std::string> heard = server_->Heard();
    ASSERT_GE(heard.size(), 2u);
    unsigned p1 = 0, p2 = 0;
    char rest = 0;
    ASSERT_EQ(sscanf(heard[0].c_str(), "PORT 127,0,0,1,%u,%u%c", &p1, &p2, &rest), 2) << heard[0];
    EXPECT_EQ(heard[1], "RETR file.bin");

    // The trace lines name the listener and the server's connection.
    bool listener = false, accepted = false;
    char expected[64];
    sprintf(expected, " listener 0.0.0.0 port %u", p1 * 256 + p2);
    for (const std::string& line : CapturedLog()) {
        listener = listener || (line[0] == '[' && line.find(expected) != std::string::npos);
        accepted = accepted || (line[0] == '[' && line.find("] accept from 127.0.0.1 port ") != std::string::npos);
    }
    EXPECT_TRUE(listener);
    EXPECT_TRUE(accepted);
    EXPECT_TRUE(LogHasPrefix("10000 bytes received in ")) << Joined(CapturedLog());
    EXPECT_EQ(FtpSession.listenSocket, INVALID_SOCKET);
    EXPECT_EQ(FtpSession.dataSocket, INVALID_SOCKET);
    EXPECT_EQ(FtpSession.commandCount, 0);
}

// Passive mode against the scripted server: each reply that gives no data
// connection ends the transfer with one failure line and no transfer
// command, and the next transfer on the same connection works. A 227 that
// names another (private) address still connects to the server itself.
TEST_F(ScriptedTransfer, PassiveModeRepliesAndTheirEnds)
{
    HostProfile.passive = 1;
    HostProfile.timeout = 10;
    ProgramOptions.verbose = 1;
    const std::string data = Pattern(70000, 3);
    const std::string good = "227 Entering Passive Mode (127,0,0,1,%p).\r\n";
    struct Case {
        const char* name;
        std::string reply;
        bool passiveListens;   // the reply comes from PassiveSay
        std::string failure;   // "" when the first transfer succeeds
    };
    const Case cases[] = {
        {"foreign private address", "227 Entering Passive Mode (10,11,12,13,%p).\r\n", true, ""},
        {"garbled", "227 Entering Passive Mode (127,0,0\r\n", false,
         CatalogueText(181, "227 Entering Passive Mode (127,0,0")},
        {"port 0", "227 Entering Passive Mode (127,0,0,1,0,0)\r\n", false,
         CatalogueText(182, "227 Entering Passive Mode (127,0,0,1,0,0)")},
        {"refused, and EPSV as well", "500 PASV not understood.\r\n", false, CatalogueText(180)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureLog();
        std::vector<ScriptStep> steps = {Hear()};
        if (c.passiveListens)
            steps.insert(steps.end(), {PassiveSay(c.reply), DataAccept(), Hear(), Say("150 Here it comes\r\n"),
                                       DataSay(data), DataClose(), Say("226 Done\r\n")});
        else
            steps.push_back(Say(c.reply));
        bool epsv = c.reply[0] == '5';  // a refused PASV is followed by EPSV, once
        if (epsv)
            steps.insert(steps.end(), {Hear(), Say("500 EPSV not understood.\r\n")});
        // The next transfer, on the same control connection.
        steps.insert(steps.end(), {Hear(), PassiveSay(good), DataAccept(), Hear(), Say("150 Here it comes\r\n"),
                                   DataSay(data), DataClose(), Say("226 Done\r\n"), Silent()});
        SOCKET s = Play(steps);
        DeleteFileA("first.bin");
        int first = RetrieveFile(s, "RETR first.bin", "first.bin", "first.bin", 'I');
        int second = RetrieveFile(s, "RETR second.bin", "second.bin", "second.bin", 'I');
        std::vector<std::string> log = CapturedLog();
        if (c.failure.empty()) {
            EXPECT_EQ(first, 2);
            EXPECT_EQ(ReadBytes("first.bin"), data);
            EXPECT_TRUE(LoggedWith("Server announced 10.11.12.13 port ",
                                   " for the data connection; connecting to 127.0.0.1"))
                << Joined(log);
        } else {
            EXPECT_EQ(first, 0);
            EXPECT_EQ(GetFileAttributesA("first.bin"), INVALID_FILE_ATTRIBUTES);
            // The failure line follows the reply and ends the transfer's lines.
            auto at = std::find(log.begin(), log.end(), c.failure);
            ASSERT_NE(at, log.end()) << Joined(log);
            ASSERT_NE(at + 1, log.end());
            EXPECT_EQ(*(at + 1), "PASV") << Joined(log);
            EXPECT_EQ(std::count(log.begin(), log.end(), c.failure), 1);
        }
        EXPECT_EQ(second, 2);
        EXPECT_EQ(ReadBytes("second.bin"), data);
        EXPECT_TRUE(LoggedWith("[", "] connected to 127.0.0.1 port ")) << Joined(log);

        std::vector<std::string> expected = {"PASV"};
        if (epsv)
            expected.push_back("EPSV");
        if (c.failure.empty())
            expected.push_back("RETR first.bin");
        expected.insert(expected.end(), {"PASV", "RETR second.bin"});
        EXPECT_EQ(server_->Heard(), expected);
        EXPECT_EQ(FtpSession.listenSocket, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.dataSocket, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.commandCount, 0);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        server_.reset();
    }
}

// On IPv4 a PASV answered 5xx is followed by EPSV, once for each data
// connection; its 229 reply names the port on the control connection's
// address. A 4xx to PASV is no refusal of the command: no EPSV then.
TEST_F(ScriptedTransfer, ARefusedPasvTriesEpsvOnce)
{
    HostProfile.passive = 1;
    HostProfile.timeout = 10;
    ProgramOptions.verbose = 1;
    const std::string data = Pattern(70000, 5);
    CaptureLog();
    SOCKET s = Play({Hear(), Say("502 PASV not implemented.\r\n"), Hear(),
                     PassiveSay("229 Entering Extended Passive Mode (|||%P|)\r\n"), DataAccept(), Hear(),
                     Say("150 Here it comes\r\n"), DataSay(data), DataClose(), Say("226 Done\r\n"),
                     // The next data connection asks PASV again; a garbled 229 ends it.
                     Hear(), Say("500 PASV?\r\n"), Hear(), Say("229 Extended Passive Mode (|||x|)\r\n"),
                     // A 4xx is not a refusal of the command.
                     Hear(), Say("425 Cannot open passive connection.\r\n"), Silent()});
    DeleteFileA("first.bin");
    EXPECT_EQ(RetrieveFile(s, "RETR first.bin", "first.bin", "first.bin", 'I'), 2);
    EXPECT_EQ(ReadBytes("first.bin"), data);
    EXPECT_TRUE(LoggedWith("[", "] connected to 127.0.0.1 port ")) << Joined(CapturedLog());
    EXPECT_FALSE(LoggedWith("Server announced", "")) << Joined(CapturedLog());

    CaptureLog();
    EXPECT_EQ(RetrieveFile(s, "RETR second.bin", "second.bin", "second.bin", 'I'), 0);
    EXPECT_TRUE(LoggedWith(CatalogueText(181, "229 Extended Passive Mode (|||x|)"), "")) << Joined(CapturedLog());
    EXPECT_EQ(RetrieveFile(s, "RETR third.bin", "third.bin", "third.bin", 'I'), 0);
    EXPECT_TRUE(LoggedWith(CatalogueText(180), "")) << Joined(CapturedLog());
    EXPECT_EQ(server_->Heard(), (std::vector<std::string>{"PASV", "EPSV", "RETR first.bin", "PASV", "EPSV", "PASV"}));
    EXPECT_EQ(FtpSession.listenSocket, INVALID_SOCKET);
    EXPECT_EQ(FtpSession.commandCount, 0);
    FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
}

// A refused PORT leaves the transfer waiting for a connection that never
// comes: the watchdog ends the accept at the time-out.
TEST_F(ScriptedTransfer, ARefusedPortEndsAtTheTimeOut)
{
    ASSERT_NE(OpenMainWindow(), nullptr);
    HostProfile.timeout = 2;
    ProgramOptions.verbose = 1;
    WriteBytes("up.bin", "some bytes");
    struct Case { bool store; const char* label; };
    for (const Case& c : {Case{false, "accept RetrieveFile"}, Case{true, "accept"}}) {
        SCOPED_TRACE(c.label);
        CaptureLog();
        SOCKET s = Play({Hear(), Say("500 Illegal PORT command.\r\n"), Hear(), Say("150 Here it comes\r\n"), Silent()});
        int result = -1;
        DWORD elapsed = 0;
        RunOnWorker([&] {
            DWORD start = GetTickCount();
            result = c.store ? StoreFile(s, "STOR up.bin", "up.bin", 'I')
                             : RetrieveFile(s, "RETR down.bin", "down.bin", "down.bin", 'I');
            elapsed = GetTickCount() - start;
        });
        EXPECT_EQ(result, 0);
        EXPECT_GE(elapsed, 1900u);
        EXPECT_LT(elapsed, 4000u);
        bool traced = false;
        for (const std::string& line : CapturedLog())
            traced = traced || line.find("] remote end did not understand our port command.") != std::string::npos;
        EXPECT_TRUE(traced);
        EXPECT_TRUE(LogHas("Timer has expired"));
        EXPECT_TRUE(LogHas(std::string(c.label) + ": " + ErrorText(WSAEINTR)));
        EXPECT_EQ(FtpSession.listenSocket, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.dataSocket, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.sendFile, -1);
        EXPECT_EQ(FtpSession.commandCount, 0);
        EXPECT_EQ(GetFileAttributesA("down.bin"), INVALID_FILE_ATTRIBUTES);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    }
    CloseMainWindow();
}

// While the data stalls, the status panel still shows all that has come.
TEST_F(ScriptedTransfer, AStalledReceiveShowsItsRunningTotal)
{
    ASSERT_NE(OpenMainWindow(), nullptr);
    const std::string part = Pattern(123456, 2);
    SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes\r\n"), DataConnect(), DataSay(part),
                     Pause(1500), DataSay("tail"), DataClose(), Say("226 Done\r\n"), Silent()});
    char during[32] = "?", after[32] = "?";
    std::thread watcher([&] {
        while (ReadBytes("big.bin").size() < part.size())
            Sleep(20);
        Sleep(500);
        GetWindowTextA(g_hwndRecvBytes, during, sizeof during);
    });
    int result = 0;
    RunOnWorker([&] { result = RetrieveFile(s, "RETR big.bin", "big.bin", "big.bin", 'I'); });
    watcher.join();
    GetWindowTextA(g_hwndRecvBytes, after, sizeof after);
    EXPECT_EQ(result, 2);
    // The count, then (the field being wide enough) the rate so far.
    EXPECT_TRUE(std::string(during) == "123456" || std::string(during).rfind("123456  ", 0) == 0) << during;
    EXPECT_STREQ(after, "");
    EXPECT_EQ(ReadBytes("big.bin"), part + "tail");
    FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    CloseMainWindow();
}

// A transfer stopped from the GUI thread (Abort and Disconnect set the
// command count to 0 and terminate the worker, which may never reach its
// own end) leaves the field empty.
TEST_F(ScriptedTransfer, AStoppedTransferEmptiesTheCounter)
{
    ASSERT_NE(OpenMainWindow(), nullptr);
    const std::string part = Pattern(50000, 3);
    SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes\r\n"), DataConnect(), DataSay(part),
                     Silent()});
    std::atomic<bool> done{false};
    std::thread worker([&] {
        RetrieveFile(s, "RETR big.bin", "big.bin", "big.bin", 'I');
        done = true;
    });
    char during[32] = "?", after[32] = "?";
    for (int i = 0; i < 300 && strcmp(during, "50000") != 0; ++i) {
        PumpMessagesFor(20);
        GetWindowTextA(g_hwndRecvBytes, during, sizeof during);
    }
    // The worker still waits in its loop, as one about to be terminated would.
    FtpSession.commandCount = 0;
    PumpMessagesFor(300);
    GetWindowTextA(g_hwndRecvBytes, after, sizeof after);
    EXPECT_STREQ(during, "50000");
    EXPECT_STREQ(after, "");
    while (!done) {
        CancelBlockingCall();
        PumpMessagesFor(20);
    }
    worker.join();
    FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    CloseMainWindow();
}

// The server sends part of a file, closes the data connection and says so.
TEST_F(ScriptedTransfer, AReceiveCutShortKeepsWhatCame)
{
    const std::string part = Pattern(1000, 3);
    SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes\r\n"), DataConnect(), DataSay(part),
                     DataClose(), Say("426 Connection closed; transfer aborted.\r\n"), Silent()});
    FtpSession.lastReceiveOk = 1;
    EXPECT_EQ(RetrieveFile(s, "RETR big.bin", "big.bin", "big.bin", 'I'), 4);
    EXPECT_EQ(ReadBytes("big.bin"), part);
    EXPECT_TRUE(LogHas("426 Connection closed; transfer aborted."));
    EXPECT_EQ(FtpSession.lastReceiveOk, 0);
    EXPECT_EQ(FtpSession.commandCount, 0);
}

// A receive that fails part-way (here cancelled, as an abort or the
// watchdog would) is a failed transfer, whatever the server says afterwards.
TEST_F(ScriptedTransfer, AFailedReceiveIsAFailedTransfer)
{
    const std::string part = Pattern(5000, 4);
    SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes\r\n"), DataConnect(), DataSay(part),
                     Pause(2000), Say("226 Done\r\n"), Silent()});
    FtpSession.totalFiles = FtpSession.failedFiles = 0;
    // Once the 5000 bytes are in the file, the loop waits for more.
    std::thread canceller([] {
        while (ReadBytes("big.bin").size() < 5000 || CancelBlockingCall() != 0)
            Sleep(20);
    });
    EXPECT_EQ(RetrieveFile(s, "RETR big.bin", "big.bin", "big.bin", 'I'), 0);
    canceller.join();
    EXPECT_EQ(ReadBytes("big.bin"), part);
    EXPECT_TRUE(LogHas(std::string("recv: ") + ErrorText(WSAEINTR)));
    EXPECT_TRUE(LoggedWith("5000 bytes received in ", "transfer failed"));
    EXPECT_TRUE(LogHas("226 Done"));
    EXPECT_EQ(FtpSession.lastReceiveOk, 0);
    // Counted as failed, not as transferred.
    EXPECT_EQ(FtpSession.totalFiles, 0u);
    EXPECT_EQ(FtpSession.failedFiles, 1u);
}

// The server reads a little of a file and drops the data connection: the
// next send fails, the transfer is reported failed and never returns 2. The
// file is larger than loopback's socket buffers can take in, so that the
// drop is always met by a send.
TEST_F(ScriptedTransfer, ASendCutShortByTheServerFails)
{
    const std::string file = Pattern(32 << 20, 5);
    WriteBytes("up.bin", file);
    struct Case { const char* reply; int result; };
    for (const Case& c : {Case{"426 Connection closed; transfer aborted.\r\n", 4}, Case{"226 Stored anyway\r\n", 0}}) {
        SCOPED_TRACE(c.reply);
        CaptureLog();
        SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Send it\r\n"), DataConnect(), DataHear(1024),
                         DataClose(true), Say(c.reply), Silent()});
        EXPECT_EQ(StoreFile(s, "STOR up.bin", "up.bin", 'I'), c.result);
        EXPECT_EQ(server_->DataHeard(), file.substr(0, 1024));
        EXPECT_TRUE(LogHasPrefix("send: "));
        EXPECT_TRUE(LoggedWith("", " bytes transmitted in ", "transfer failed"));
        EXPECT_EQ(FtpSession.sendFile, -1);
        EXPECT_EQ(FtpSession.commandCount, 0);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    }
}

// The data comes and goes in short, odd-sized pieces (the scripted server
// sends and reads them one at a time): around the block size and far beyond
// it, no byte is lost or repeated in either direction.
TEST_F(ScriptedTransfer, ShortReadsAndSendsKeepEveryByte)
{
    for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{65537}, size_t{3u << 20}}) {
        SCOPED_TRACE(size);
        const std::string file = Pattern(size, static_cast<unsigned>(size));
        SOCKET s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Here it comes\r\n"), DataConnect(),
                         DataSay(file), DataClose(), Say("226 Done\r\n"), Silent()});
        EXPECT_EQ(RetrieveFile(s, "RETR down.bin", "down.bin", "down.bin", 'I'), 2);
        EXPECT_TRUE(ReadBytes("down.bin") == file) << ReadBytes("down.bin").size() << " bytes received";
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);

        WriteBytes("up.bin", file);
        s = Play({Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Send it\r\n"), DataConnect(), DataHear(),
                  DataClose(), Say("226 Stored\r\n"), Silent()});
        EXPECT_EQ(StoreFile(s, "STOR up.bin", "up.bin", 'I'), 2);
        EXPECT_TRUE(server_->DataHeard() == file) << server_->DataHeard().size() << " bytes sent";
        EXPECT_EQ(FtpSession.commandCount, 0);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        DeleteFileA("down.bin");
        DeleteFileA("up.bin");
    }
    EXPECT_TRUE(LoggedWith("65537 bytes received in ", "transfer succeeded"));
    EXPECT_TRUE(LoggedWith("65537 bytes transmitted in ", "transfer succeeded"));
}

}  // namespace
