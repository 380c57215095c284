// Host-type detection as the first listing after a logon runs it (PWD, then
// DetectRemoteCommands): the commands on the wire, the host type, the remote
// Create/Remove/Rename/Delete buttons and the status log.
#include <gtest/gtest.h>

#include <stdio.h>

#include <array>
#include <string>
#include <vector>

#include "store/options.h"
#include "ftp/command.h"
#include "ftp/logon.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/lists.h"
#include "shell/mainwin.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/mainwindow.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/testlog.h"

namespace {

using Lines = std::vector<std::string>;
// Create, Remove, Rename, Delete.
using Buttons = std::array<bool, 4>;
constexpr int kButtonIds[] = {IDC_REMOTE_CREATE, IDC_REMOTE_REMOVE, IDC_REMOTE_RENAME, IDC_REMOTE_DELETE};
constexpr Buttons kNone{false, false, false, false};
constexpr Buttons kAll{true, true, true, true};

Buttons ButtonStates()
{
    Buttons b;
    for (int i = 0; i < 4; ++i)
        b[i] = IsWindowEnabled(MainControl(kButtonIds[i])) != FALSE;
    return b;
}

// Puts every button in the state detection must not leave it in.
void SetButtonsAgainst(const Buttons& expected)
{
    for (int i = 0; i < 4; ++i)
        EnableControl(kButtonIds[i], !expected[i]);
}

std::string HostTypeLine(DWORD type)
{
    char line[96];
    snprintf(line, sizeof line, "Host type (%u): %s", static_cast<unsigned>(type - HOST_AUTO), HostTypeName(type));
    return line;
}

// A scripted server's answers to what detection sends; null where the
// command must not be sent at all.
struct DetectCase {
    const char* name;
    DWORD typeBefore;
    const char* help;
    const char* syst;
    DWORD typeAfter;
    Buttons buttons;
};

class Detect : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSession();
        ASSERT_NE(OpenMainWindow(), nullptr);
        ResetLogStores();
        HostProfile.timeout = 5;
    }
    void TearDown() override
    {
        SetLogObserver(nullptr);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        CloseMainWindow();
        ResetSession();
    }
    // Connects to the server and reads its greeting, as a logon would.
    SOCKET Open(const ScriptServer& server)
    {
        FtpSession.controlSocket = ConnectToScript(server);
        FtpSession.lastReplyCode = 0;
        EXPECT_EQ(GetReply(FtpSession.controlSocket), 2);
        return FtpSession.controlSocket;
    }
    // PWD and detection on a worker, the way the listing does it.
    void ListingStart(SOCKET s)
    {
        FtpSession.hostTypeDetected = 0;
        CaptureLog();
        RunOnWorker([s] {
            FtpPwd(s);
            DetectRemoteCommands(s);
        });
    }
    // Runs a case and checks everything the user and the server see; then
    // that the connection is still in step (a NOOP gets its own reply).
    void Check(const DetectCase& c)
    {
        SCOPED_TRACE(c.name);
        std::vector<ScriptStep> steps{Say("220 ready\r\n"), Hear(), Say("257 \"/\" is current\r\n")};
        Lines wire{"PWD"};
        for (const char* reply : {c.help, c.syst}) {
            if (!reply)
                continue;
            steps.push_back(Hear());
            steps.push_back(Say(reply));
            wire.push_back(reply == c.help ? "HELP" : "SYST");
        }
        steps.insert(steps.end(), {Hear(), Say("200 NOOP ok\r\n"), Silent()});
        wire.push_back("NOOP");
        ScriptServer server(steps);
        SOCKET s = Open(server);
        HostType = c.typeBefore;
        SetButtonsAgainst(c.buttons);
        ListingStart(s);
        if (c.typeAfter == HOST_KA9Q && c.typeBefore == HOST_AUTO)
            Snapshot("detect-ka9q");
        EXPECT_EQ(HostType, c.typeAfter);
        EXPECT_EQ(ButtonStates(), c.buttons);
        EXPECT_EQ(FtpSession.hostTypeDetected, 1);
        EXPECT_EQ(FtpSession.commandCount, 0);
        Lines log = CapturedLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), HostTypeLine(c.typeAfter));
        if (c.syst) {
            std::string reply = c.syst;
            reply = reply.substr(0, reply.find('\r'));
            EXPECT_TRUE(LogHas("SYST"));
            EXPECT_TRUE(LogHas(reply)) << reply;
        } else {
            EXPECT_FALSE(LogHas("SYST"));
        }
        int noop = 0;
        RunOnWorker([&] { noop = SendCommand(s, "NOOP"); });
        EXPECT_EQ(noop, 2);
        EXPECT_EQ(FtpSession.lastReplyCode, 200);
        EXPECT_EQ(server.Heard(), wire);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    }
    CallDeadline deadline_{20000};
};

const char kOneLineHelp[] = "214 Help is on its way\r\n";
const char kUnixSyst[] = "215 UNIX Type: L8\r\n";

TEST_F(Detect, HelpReplies)
{
    const DetectCase cases[] = {
        {"KA9Q: HELP refused", HOST_AUTO, "500 Unknown command\r\n", nullptr, HOST_KA9Q, kNone},
        {"multi-line refusal read to its end", HOST_AUTO, "502-No help here\r\n MKD RMD\r\n502 Sorry\r\n", nullptr,
         HOST_KA9Q, kNone},
        {"refusal keeps a chosen type", HOST_UCX, "500 Unknown command\r\n", nullptr, HOST_UCX, kNone},
        {"NCSA", HOST_AUTO, "214-NCSA Telnet FTP server\r\n   MKD    RMD\r\n214 End of help\r\n", nullptr, HOST_NCSA,
         {true, true, false, false}},
        {"CUTCP, XMKD counts as MKD", HOST_AUTO, "214-CUTCP ftp server\r\n   XMKD\r\n214 End\r\n", nullptr, HOST_NCSA,
         {true, false, false, false}},
        {"QVT by its first words", HOST_AUTO, "214-PC FTP server: commands\r\n   RNFR   DELE\r\n214 End\r\n", nullptr,
         HOST_WINQVT, {false, false, true, true}},
        {"QVT anywhere in the line", HOST_AUTO, "214-WinQVT/Net FTP\r\n MKD RMD RNFR DELE\r\n214 End\r\n", nullptr,
         HOST_WINQVT, kAll},
        {"PC/TCP by its first words", HOST_AUTO,
         "211-FTP Software PC/TCP FTP Server for Windows, version 3.1\r\n MKD DELE\r\n211 End\r\n", nullptr, HOST_PCTCP3,
         {true, false, false, true}},
        {"PC/TCP 3.10", HOST_AUTO, "214-OnNet PC/TCP 3.10 server\r\n RMD\r\n214 End\r\n", nullptr, HOST_PCTCP3,
         {false, true, false, false}},
        {"one line: nothing to scan, SYST asked", HOST_AUTO, kOneLineHelp, kUnixSyst, HOST_UNIX, kNone},
        {"the last line is not scanned", HOST_AUTO, "214-Commands:\r\n USER PASS\r\n214 MKD RMD RNFR DELE\r\n",
         kUnixSyst, HOST_UNIX, kNone},
        {"every command offered", HOST_AUTO,
         "214-The following commands are recognized.\r\n MKD RMD\r\n RNFR RNTO DELE\r\n214 Help OK.\r\n", kUnixSyst,
         HOST_UNIX, kAll},
        {"a line without a code opens the list", HOST_AUTO, "  MKD RMD\r\n214 End\r\n", kUnixSyst, HOST_UNIX,
         {true, true, false, false}},
        {"Solaris asks nothing", HOST_SOLARIS, nullptr, nullptr, HOST_SOLARIS, kAll},
        {"IBM-MVS may always remove", HOST_MVS, "214-Commands:\r\n MKD DELE\r\n214 End\r\n", nullptr, HOST_MVS,
         {true, true, false, true}},
        {"a chosen type is kept, SYST not asked", HOST_MULTINET, "214-NCSA server\r\n MKD\r\n214 End\r\n", nullptr,
         HOST_MULTINET, {true, false, false, false}},
        {"preliminary reply: read, not scanned", HOST_AUTO, "150-Listing\r\n MKD RMD\r\n150 Done\r\n", kUnixSyst,
         HOST_UNIX, kNone},
        {"more-input reply: read, not scanned", HOST_AUTO, "331-Odd\r\n MKD\r\n331 Odd\r\n", kUnixSyst, HOST_UNIX,
         kNone},
        {"transient reply: read, not scanned", HOST_AUTO, "450 Busy, MKD RMD later\r\n", kUnixSyst, HOST_UNIX, kNone},
    };
    for (const DetectCase& c : cases)
        Check(c);
}

TEST_F(Detect, SystReplies)
{
    const DetectCase cases[] = {
        {"Windows NT", HOST_AUTO, kOneLineHelp, "215 Windows_NT version 4.0\r\n", HOST_WINNT, kNone},
        {"Windows NT before UNIX", HOST_AUTO, kOneLineHelp, "215 UNIX emulated by Windows_NT\r\n", HOST_WINNT, kNone},
        {"Software Innovations", HOST_AUTO, kOneLineHelp, "215 WINDOWS NT Type: L8\r\n", HOST_SOFTINNOV, kNone},
        {"UNIX", HOST_AUTO, kOneLineHelp, kUnixSyst, HOST_UNIX, kNone},
        {"MultiNet before VMS", HOST_AUTO, kOneLineHelp, "215 VMS MultiNet V4.3\r\n", HOST_MULTINET, kNone},
        {"VMS", HOST_AUTO, kOneLineHelp, "215 VMS system type.\r\n", HOST_UCX, kNone},
        {"OS/2", HOST_AUTO, kOneLineHelp, "215 OS/2 PC Type: L8\r\n", HOST_OS2, kNone},
        {"MVS, which may always remove", HOST_AUTO, kOneLineHelp, "215 MVS is the operating system. OS/MVS\r\n",
         HOST_MVS, {false, true, false, false}},
        {"none of them", HOST_AUTO, kOneLineHelp, "215 NETWARE Type: L8\r\n", HOST_UNIX, kNone},
        {"refused", HOST_AUTO, kOneLineHelp, "500 SYST not understood\r\n", HOST_UNIX, kNone},
        {"multi-line, read to its end", HOST_AUTO, kOneLineHelp, "215-VMS\r\n more\r\n215 End\r\n", HOST_UCX, kNone},
    };
    for (const DetectCase& c : cases)
        Check(c);
}

// Lines already read stay counted; nothing waits for lines that cannot come.
TEST_F(Detect, ABrokenOrSilentHelpReplyEndsTheScan)
{
    struct Case {
        const char* name;
        std::vector<ScriptStep> steps;  // after PWD and HELP were heard
        DWORD typeAfter;
        Buttons buttons;
        bool timedOut;
    };
    const Case cases[] = {
        {"closed before the reply", {Drop()}, HOST_AUTO, kNone, false},
        {"closed inside the reply", {Say("214-Commands:\r\n MKD\r\n"), Pause(100), Drop()}, HOST_UNIX,
         {true, false, false, false}, false},
        {"421 and closed", {Say("421 Service not available, closing control connection\r\n"), Drop()}, HOST_UNIX, kNone,
         false},
        {"silent inside the reply", {Say("214-Commands:\r\n MKD RNFR\r\n"), Silent()}, HOST_UNIX,
         {true, false, true, false}, true},
    };
    HostProfile.timeout = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptStep> steps{Say("220 ready\r\n"), Hear(), Say("257 \"/\" is current\r\n"), Hear()};
        steps.insert(steps.end(), c.steps.begin(), c.steps.end());
        ScriptServer server(steps);
        SOCKET s = Open(server);
        SetButtonsAgainst(c.buttons);
        DWORD start = GetTickCount();
        ListingStart(s);
        DWORD elapsed = GetTickCount() - start;
        EXPECT_EQ(HostType, c.typeAfter);
        EXPECT_EQ(ButtonStates(), c.buttons);
        EXPECT_EQ(CapturedLog().back(), HostTypeLine(c.typeAfter));
        EXPECT_EQ(FtpSession.hostTypeDetected, 1);
        EXPECT_EQ(FtpSession.commandCount, 0);
        // A silent server costs a time-out for HELP and one for SYST.
        EXPECT_LT(elapsed, c.timedOut ? 3500u : 1000u);
        EXPECT_EQ(LogHas("Timer has expired"), c.timedOut);
        Lines heard = server.Heard();
        ASSERT_GE(heard.size(), 2u);
        EXPECT_EQ(Lines(heard.begin(), heard.begin() + 2), (Lines{"PWD", "HELP"}));
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        HostType = HOST_AUTO;
        ResetLogStores();
    }
}

TEST_F(Detect, HelpThatCannotBeSentLeavesEverythingDisabled)
{
    ScriptServer server({Say("220 ready\r\n"), Silent()});
    SOCKET s = Open(server);
    for (SOCKET control : {s, INVALID_SOCKET}) {
        SetButtonsAgainst(kNone);
        CaptureLog();
        // Another command is in progress on the connection.
        FtpSession.commandCount = control == s ? 1 : 0;
        RunOnWorker([control] { DetectRemoteCommands(control); });
        FtpSession.commandCount = 0;
        EXPECT_EQ(ButtonStates(), kNone);
        EXPECT_EQ(HostType, HOST_AUTO);
        EXPECT_EQ(FtpSession.hostTypeDetected, 1);
        Lines expected{HostTypeLine(HOST_AUTO)};
        if (control == s)
            expected.insert(expected.begin(), "Command ignored, a command is already in process");
        EXPECT_EQ(CapturedLog(), expected);
    }
    EXPECT_TRUE(server.Heard().empty());
}

// What vsftpd and pyftpdlib answer to HELP and SYST, and what follows.
class DetectRealServer : public Detect, public ::testing::WithParamInterface<RealServer> {};

TEST_P(DetectRealServer, UnixWithEveryCommand)
{
    HostProfile.timeout = 10;
    HostProfile.ftpPort = static_cast<DWORD>(ServerPort(GetParam()));
    lstrcpyA(FtpSession.userName, kServerUser);
    lstrcpyA(FtpSession.password, kServerPassword);
    for (DWORD chosen : {HOST_AUTO, HOST_UCX}) {
        SCOPED_TRACE(HostTypeName(chosen));
        HostType = chosen;
        SOCKET s = INVALID_SOCKET;
        RunOnWorker([&] { s = FtpSession.controlSocket = FtpConnect("127.0.0.1"); });
        ASSERT_NE(s, INVALID_SOCKET) << "is the server up? (tests/servers/servers start DIR)";
        SetButtonsAgainst(kAll);
        ListingStart(s);
        Snapshot((std::string("detect-") + GetParam().name).c_str());
        EXPECT_EQ(ButtonStates(), kAll);
        DWORD expected = chosen == HOST_AUTO ? HOST_UNIX : chosen;
        EXPECT_EQ(HostType, expected);
        EXPECT_EQ(CapturedLog().back(), HostTypeLine(expected));
        EXPECT_EQ(LogHas("SYST"), chosen == HOST_AUTO);
        EXPECT_EQ(LogHas("215 UNIX Type: L8"), chosen == HOST_AUTO);
        int noop = 0;
        RunOnWorker([&] { noop = SendCommand(s, "NOOP"); });
        EXPECT_EQ(noop, 2);
        RunOnWorker([s] { SendCommand(s, "QUIT"); });
        FtpSession.controlSocket = ReleaseSocket(s);
        FtpSession.loggedOn = 0;
    }
}

INSTANTIATE_TEST_SUITE_P(Loopback, DetectRealServer, ::testing::ValuesIn(kRealServers),
                         [](const ::testing::TestParamInfo<RealServer>& info) { return std::string(info.param.name); });

}  // namespace
