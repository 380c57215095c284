// Connecting and logging on, on the real main window: the greeting, the
// USER/PASS/ACCT exchange with its prompts, the gateway, the retries, and
// what the user sees afterwards (status log, buttons, window title).
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "store/options.h"
#include "ftp/command.h"
#include "ftp/logon.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/mainwindow.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/testlog.h"

namespace {

using Lines = std::vector<std::string>;

bool Enabled(int id)
{
    return IsWindowEnabled(MainControl(id)) != FALSE;
}

// What one password or account prompt showed.
struct PromptSeen {
    std::string title, prompt, initial;
    bool masked;
    bool operator==(const PromptSeen& o) const
    {
        return title == o.title && prompt == o.prompt && initial == o.initial && masked == o.masked;
    }
};

void PrintTo(const PromptSeen& p, std::ostream* os)
{
    *os << "{" << p.title << " | " << p.prompt << " | " << p.initial << (p.masked ? " | masked}" : "}");
}

const PromptSeen kPasswordPrompt{"Connect to Host", "Need a password:", "", true};
const PromptSeen kAccountPrompt{"Account required to connect", "Need an account:", "", false};

// Answers the logon's prompts as they come, like a user at the keyboard:
// the next answer is typed and OK pressed; a null answer closes the prompt
// from its system menu. Prompts beyond the answers get "unexpected".
class Prompts {
public:
    explicit Prompts(std::vector<const char*> answers) : answers_(std::move(answers)), thread_([this] { Run(); }) {}
    ~Prompts() { Stop(); }
    // Stops answering once the logon has ended; returns what was shown.
    std::vector<PromptSeen> Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

private:
    void Run()
    {
        while (!stop_) {
            HWND d = WaitForDialog(IDC_INPUT_PROMPT, 0, 100);
            if (!d)
                continue;
            LONG style = GetWindowLongA(GetDlgItem(d, IDC_INPUT_TEXT), GWL_STYLE);
            seen_.push_back({WindowText(d), ItemText(d, IDC_INPUT_PROMPT), ItemText(d, IDC_INPUT_TEXT),
                             (style & ES_PASSWORD) != 0});
            size_t i = seen_.size() - 1;
            Snapshot(("logon-prompt-" + std::to_string(i)).c_str());
            const char* answer = i < answers_.size() ? answers_[i] : "unexpected";
            if (answer) {
                SetDlgItemTextA(d, IDC_INPUT_TEXT, answer);
                Click(d, IDOK);
            } else {
                PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            WaitGone(d);
        }
    }
    std::vector<const char*> answers_;
    std::vector<PromptSeen> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Lines of a captured log that report the outcome of logons.
Lines OutcomeLines()
{
    static const char* const kPrefixes[] = {"Connection to ", "Connection failed", "All ", "logon failure",
                                            "Already connected", "Unknown open msg", "Gateway logon",
                                            "Connect to final"};
    Lines out;
    for (const std::string& line : CapturedLog())
        for (const char* p : kPrefixes)
            if (line.compare(0, strlen(p), p) == 0) {
                out.push_back(line);
                break;
            }
    return out;
}

class Logon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSession();
        ASSERT_NE(OpenMainWindow(), nullptr);
        ResetLogStores();
        CaptureLog();
        HostProfile.timeout = 5;
        ProgramOptions.bell = 0;
        lstrcpyA(FtpSession.userName, "alice");
        lstrcpyA(FtpSession.password, "pw");
        // As the connect operation leaves them before it logs on.
        EnableControl(IDC_CONNECT, false);
        EnableControl(IDC_DISCONNECT, false);
    }
    void TearDown() override
    {
        SetLogObserver(nullptr);
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        CloseMainWindow();
        HostProfile.gateHost[0] = HostProfile.gateUser[0] = HostProfile.gatePassword[0] = 0;
        ResetSession();
    }
    // Runs FtpConnect on a worker, as the connect operation does, and keeps
    // its result as the control socket.
    SOCKET Connect(const char* host = "127.0.0.1")
    {
        SOCKET s = INVALID_SOCKET;
        RunOnWorker([&] {
            s = FtpConnect(host);
            FtpSession.controlSocket = s;
        });
        return s;
    }
    SOCKET ConnectTo(const ScriptServer& server, const char* host = "127.0.0.1")
    {
        HostProfile.ftpPort = server.Port();
        return Connect(host);
    }
    // Ends the connection as far as the logon cares (no QUIT: the scripts
    // would not answer it).
    void Disconnect()
    {
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        FtpSession.loggedOn = 0;
        SetWindowTextA(g_hwndMain, "TARN");
    }
    void ExpectLoggedOn(SOCKET s, const char* host)
    {
        EXPECT_NE(s, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.loggedOn, 1);
        EXPECT_EQ(WindowText(g_hwndMain), std::string("TARN ") + host);
        EXPECT_FALSE(Enabled(IDC_CONNECT));
        EXPECT_TRUE(Enabled(IDC_DISCONNECT));
        EXPECT_EQ(FtpSession.commandCount, 0);
    }
    // A failed logon leaves nothing open; `buttons` when it reset them.
    void ExpectNotConnected(SOCKET s, bool buttons, ScriptServer* server)
    {
        EXPECT_EQ(s, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.controlSocket, INVALID_SOCKET);
        EXPECT_EQ(FtpSession.loggedOn, 0);
        EXPECT_EQ(FtpSession.commandCount, 0);
        EXPECT_EQ(WindowText(g_hwndMain), "TARN");
        EXPECT_EQ(Enabled(IDC_CONNECT), buttons);
        EXPECT_FALSE(Enabled(IDC_DISCONNECT));
        // The script ends once the client has closed its connection.
        if (server) {
            EXPECT_TRUE(server->WaitDone(3000)) << "the control connection is still open";
        }
    }
    CallDeadline deadline_{20000};
};

TEST_F(Logon, GreetingsWithPreliminaryRepliesAndTheExosRule)
{
    struct Case {
        const char* name;
        const char* greeting;
        DWORD typeBefore, typeAfter;
    };
    const Case cases[] = {
        {"plain", "220 ready\r\n", HOST_AUTO, HOST_AUTO},
        {"preliminary replies first", "120 wait\r\n120-still\r\n120 waiting\r\n220 ready\r\n", HOST_AUTO, HOST_AUTO},
        {"EXOS in a preliminary reply", "120 Unisys (EXOS) wait\r\n220 ready\r\n", HOST_AUTO, HOST_EXOS},
        {"EXOS in the greeting", "120 wait\r\n220 Unisys 5000 (EXOS) ready\r\n", HOST_AUTO, HOST_EXOS},
        {"EXOS only on an inner line", "220-Unisys (EXOS)\r\n220 ready\r\n", HOST_AUTO, HOST_AUTO},
        {"EXOS but the user chose UNIX", "220 (EXOS) ready\r\n", HOST_UNIX, HOST_UNIX},
        {"lower-case exos", "220 (exos) ready\r\n", HOST_AUTO, HOST_AUTO},
    };
    ProgramOptions.verbose = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server({Say(c.greeting), Hear(), Say("331 Password\r\n"), Hear(), Say("230 In\r\n"), Silent()});
        HostType = c.typeBefore;
        FtpSession.transferType = 'I';
        FtpSession.hostTypeDetected = 1;
        CaptureLog();
        SOCKET s = ConnectTo(server);
        ExpectLoggedOn(s, "127.0.0.1");
        EXPECT_EQ(HostType, c.typeAfter);
        EXPECT_EQ(server.Heard(), (Lines{"USER alice", "PASS pw"}));
        EXPECT_TRUE(LogHas("PASS xxxxxx"));
        EXPECT_FALSE(LogHas("PASS pw"));
        EXPECT_EQ(FtpSession.transferType, 'A');
        EXPECT_EQ(FtpSession.hostTypeDetected, 0);
        char trace[64];
        snprintf(trace, sizeof trace, "[%u] from 127.0.0.1 port %u", static_cast<unsigned>(s),
                 static_cast<unsigned>(ntohs(FtpSession.localAddr.sin_port)));
        EXPECT_TRUE(LogHas(trace)) << trace;
        Disconnect();
    }
}

TEST_F(Logon, UserPassAndAccount)
{
    struct Case {
        const char* name;
        std::vector<const char*> replies;  // to USER, PASS, ACCT in turn
        std::vector<const char*> answers;  // at the account prompt
        Lines wire;
        std::vector<PromptSeen> prompts;
        bool loggedOn;
    };
    const Case cases[] = {
        {"USER answered 230", {"230 No password needed"}, {}, {"USER alice"}, {}, true},
        {"USER then PASS", {"331 Password", "230 In"}, {}, {"USER alice", "PASS pw"}, {}, true},
        {"account asked", {"331 Password", "332 Account", "230 In"}, {"acct-7"},
         {"USER alice", "PASS pw", "ACCT acct-7"}, {kAccountPrompt}, true},
        {"empty account", {"331 Password", "332 Account", "230 In"}, {""},
         {"USER alice", "PASS pw", "ACCT "}, {kAccountPrompt}, true},
        {"account prompt closed", {"331 Password", "332 Account", "230 In"}, {nullptr},
         {"USER alice", "PASS pw", "ACCT "}, {kAccountPrompt}, true},
        {"USER refused", {"530 Not you"}, {}, {"USER alice"}, {}, false},
        {"USER answered 421", {"421 Going down"}, {}, {"USER alice"}, {}, false},
        {"PASS refused", {"331 Password", "530 Wrong"}, {}, {"USER alice", "PASS pw"}, {}, false},
        {"ACCT refused", {"331 Password", "332 Account", "530 No such account"}, {"acct-7"},
         {"USER alice", "PASS pw", "ACCT acct-7"}, {kAccountPrompt}, false},
        {"ACCT answered 332 again", {"331 Password", "332 Account", "332 Account"}, {"acct-7"},
         {"USER alice", "PASS pw", "ACCT acct-7"}, {kAccountPrompt}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptStep> steps{Say("220 ready\r\n")};
        for (const char* reply : c.replies) {
            steps.push_back(Hear());
            steps.push_back(Say(std::string(reply) + "\r\n"));
        }
        steps.push_back(Silent());
        ScriptServer server(steps);
        CaptureLog();
        SOCKET s;
        std::vector<PromptSeen> prompts;
        {
            Prompts answering(c.answers);
            s = ConnectTo(server);
            prompts = answering.Stop();
        }
        EXPECT_EQ(prompts, c.prompts);
        if (c.loggedOn) {
            ExpectLoggedOn(s, "127.0.0.1");
            EXPECT_EQ(server.Heard(), c.wire);
            EXPECT_TRUE(OutcomeLines().empty());
            Disconnect();
        } else {
            ExpectNotConnected(s, true, &server);
            EXPECT_EQ(server.Heard(), c.wire);
            EXPECT_EQ(OutcomeLines(), (Lines{"logon failure, so quitting"}));
        }
    }
}

TEST_F(Logon, ThePasswordPromptRepeatsUntilAnsweredAndTheAnswerIsKept)
{
    FtpSession.password[0] = 0;
    // The first connection stays open until the test ends it: one that the
    // server closed would end the session at once.
    ScriptServer server({Say("220 ready\r\n"), Hear(), Say("331 Password\r\n"), Hear(), Say("230 In\r\n"), Silent(), NextClient(), Say("220 ready\r\n"), Hear(), Say("331 Password\r\n"),
                         Hear(), Say("230 In\r\n"), Silent()});
    {
        Prompts answering({nullptr, "", "s3cret"});
        ExpectLoggedOn(ConnectTo(server), "127.0.0.1");
        EXPECT_EQ(answering.Stop(), (std::vector<PromptSeen>{kPasswordPrompt, kPasswordPrompt, kPasswordPrompt}));
    }
    EXPECT_STREQ(FtpSession.password, "s3cret");
    EXPECT_TRUE(LogHas("PASS xxxxxx"));
    Disconnect();
    {
        Prompts answering({});
        ExpectLoggedOn(ConnectTo(server), "127.0.0.1");
        EXPECT_TRUE(answering.Stop().empty());
    }
    EXPECT_EQ(server.Heard(), (Lines{"USER alice", "PASS s3cret", "USER alice", "PASS s3cret"}));
}

TEST_F(Logon, GreetingsThatRefuse)
{
    struct Case {
        const char* name;
        std::vector<ScriptStep> steps;
        std::string logged;
    };
    const Case cases[] = {
        {"421", {Say("421 Too many users\r\n"), Silent()}, "Unknown open msg \"421 Too many users\" 421"},
        {"530", {Say("120 wait\r\n530 Not from there\r\n"), Silent()}, "Unknown open msg \"530 Not from there\" 530"},
        {"closed at once", {Drop()}, "Unknown open msg \"\" 0"},
        {"silent until the time-out", {Silent()}, "Unknown open msg \"\" 421"},
    };
    HostProfile.timeout = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server(c.steps);
        CaptureLog();
        DWORD start = GetTickCount();
        SOCKET s = ConnectTo(server);
        EXPECT_LT(GetTickCount() - start, 3000u);
        ExpectNotConnected(s, true, nullptr);
        EXPECT_EQ(OutcomeLines(), (Lines{c.logged}));
        EXPECT_TRUE(server.Heard().empty());
    }
}

TEST_F(Logon, TheGatewayPath)
{
    struct Case {
        const char* name;
        std::vector<const char*> replies;  // to the commands in turn
        Lines wire;
        Lines outcome;
        bool loggedOn, buttons;
    };
    const Case cases[] = {
        {"through the gateway", {"331 Gateway password", "230 Gateway ok", "200 Connected", "331 Password", "230 In"},
         {"USER gw", "PASS gwpass", "site final.example", "USER alice", "PASS pw"}, {}, true, false},
        {"gateway without password", {"230 Gateway ok", "220 Connected", "230 In"},
         {"USER gw", "site final.example", "USER alice"}, {}, true, false},
        {"gateway refuses its user", {"530 Who?"}, {"USER gw"}, {"Gateway logon failure, so quitting"}, false, false},
        {"gateway refuses its password", {"331 Gateway password", "530 Wrong"}, {"USER gw", "PASS gwpass"},
         {"Gateway logon failure, so quitting"}, false, false},
        {"final host unreachable", {"331 Gateway password", "230 Gateway ok", "550 No route"},
         {"USER gw", "PASS gwpass", "site final.example"}, {"Connect to final destination failed, so quitting"},
         false, false},
        {"final host refuses the user", {"230 Gateway ok", "200 Connected", "530 Not you"},
         {"USER gw", "site final.example", "USER alice"}, {"logon failure, so quitting"}, false, true},
    };
    HostProfile.useGateway = 1;
    lstrcpyA(HostProfile.gateHost, "127.0.0.1");
    lstrcpyA(HostProfile.gateUser, "gw");
    lstrcpyA(HostProfile.gatePassword, "gwpass");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptStep> steps{Say("220 Gateway ready\r\n")};
        for (const char* reply : c.replies) {
            steps.push_back(Hear());
            steps.push_back(Say(std::string(reply) + "\r\n"));
        }
        if (c.loggedOn) {
            // The first listing after the logon: PWD, then detection.
            for (const char* reply : {"257 \"/\" is current", "214 No help", "215 UNIX Type: L8"}) {
                steps.push_back(Hear());
                steps.push_back(Say(std::string(reply) + "\r\n"));
            }
        }
        steps.push_back(Silent());
        ScriptServer server(steps);
        CaptureLog();
        HostType = HOST_AUTO;
        EnableControl(IDC_CONNECT, false);
        EnableControl(IDC_DISCONNECT, false);
        SOCKET s = ConnectTo(server, "final.example");
        EXPECT_EQ(OutcomeLines(), c.outcome);
        if (c.loggedOn) {
            ExpectLoggedOn(s, "final.example");
            RunOnWorker([s] {
                FtpPwd(s);
                DetectHostType(s);
            });
            Lines wire = c.wire;
            wire.insert(wire.end(), {"PWD", "HELP", "SYST"});
            EXPECT_EQ(server.Heard(), wire);
            EXPECT_EQ(LogHas("PASS xxxxxx"), c.wire.size() == 5);
            EXPECT_FALSE(LogHas("PASS gwpass"));
            Disconnect();
        } else {
            ExpectNotConnected(s, c.buttons, &server);
            EXPECT_EQ(server.Heard(), c.wire);
        }
    }
}

TEST_F(Logon, RetriesAndTheirReport)
{
    const std::string unreachable = "Connection to 127.0.0.1 failed";
    const std::string refused = "logon failure, so quitting";
    const std::string already = "Already connected!";
    struct Case {
        const char* name;
        DWORD retries;
        bool listening, loggedOn;
        Lines outcome;
        size_t users;  // USER commands the server heard
    };
    const Case cases[] = {
        {"unreachable, RETRIES 3", 3, false, false,
         {unreachable, "Connection failed ... Retrying (1 of 3)", unreachable, "Connection failed ... Retrying (2 of 3)",
          unreachable, "Connection failed ... Retrying (3 of 3)", unreachable,
          "All 3 Retries failed ... Connection to 127.0.0.1 Failed."},
         0},
        {"unreachable, RETRIES 0", 0, false, false, {unreachable}, 0},
        {"refused logon, RETRIES 2", 2, true, false,
         {refused, "Connection failed ... Retrying (1 of 2)", refused, "Connection failed ... Retrying (2 of 2)", refused,
          "All 2 Retries failed ... Connection to 127.0.0.1 Failed."},
         3},
        {"already logged on, RETRIES 2", 2, true, true,
         {already, "Connection failed ... Retrying (1 of 2)", already, "Connection failed ... Retrying (2 of 2)", already,
          "All 2 Retries failed ... Connection to 127.0.0.1 Failed."},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptStep> steps;
        for (int i = 0; i < 3; ++i) {
            steps.insert(steps.end(), {Say("220 ready\r\n"), Hear(), Say("530 Not you\r\n")});
            if (i < 2)
                steps.push_back(NextClient());
        }
        steps.push_back(Silent());
        ScriptServer server(steps);
        HostProfile.retries = c.retries;
        // Nothing listens on the last port of the test range.
        HostProfile.ftpPort = c.listening ? server.Port() : PortBase() + 99;
        FtpSession.loggedOn = c.loggedOn;
        CaptureLog();
        SOCKET s = Connect();
        EXPECT_EQ(s, INVALID_SOCKET);
        EXPECT_EQ(OutcomeLines(), c.outcome);
        EXPECT_EQ(server.Heard(), Lines(c.users, "USER alice"));
        EXPECT_EQ(FtpSession.commandCount, 0);
        // A refused logon resets the buttons; the others leave them alone.
        EXPECT_EQ(Enabled(IDC_CONNECT), c.users > 0);
        EXPECT_FALSE(Enabled(IDC_DISCONNECT));
        FtpSession.loggedOn = 0;
        EnableControl(IDC_CONNECT, false);
    }
}

// The real servers: a password asked for at the prompt logs on, is kept for
// the next logon, and a wrong one is refused.
class LogonRealServer : public Logon, public ::testing::WithParamInterface<RealServer> {};

TEST_P(LogonRealServer, PromptedPasswordKeptAndWrongPasswordRefused)
{
    HostProfile.timeout = 10;
    HostProfile.ftpPort = static_cast<DWORD>(ServerPort(GetParam()));
    lstrcpyA(FtpSession.userName, kServerUser);
    FtpSession.password[0] = 0;
    {
        Prompts answering({kServerPassword});
        ExpectLoggedOn(Connect(), "127.0.0.1");
        EXPECT_EQ(answering.Stop(), (std::vector<PromptSeen>{kPasswordPrompt}));
    }
    EXPECT_TRUE(LogHas("230 Login successful."));
    Disconnect();
    {
        Prompts answering({});
        ExpectLoggedOn(Connect(), "127.0.0.1");
        EXPECT_TRUE(answering.Stop().empty());
    }
    Disconnect();

    lstrcpyA(FtpSession.password, "not-the-password");
    CaptureLog();
    EnableControl(IDC_CONNECT, false);
    ExpectNotConnected(Connect(), true, nullptr);
    EXPECT_EQ(OutcomeLines(), (Lines{"logon failure, so quitting"}));
    EXPECT_TRUE(LogHas("530 Login incorrect.") || LogHas("530 Authentication failed."));
}

INSTANTIATE_TEST_SUITE_P(Loopback, LogonRealServer, ::testing::ValuesIn(kRealServers),
                         [](const ::testing::TestParamInfo<RealServer>& info) { return std::string(info.param.name); });

}  // namespace
