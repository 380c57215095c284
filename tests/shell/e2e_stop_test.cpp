// The real tarn.exe while an operation is under way: refusing a second one,
// Abort during a connect, a reply time-out, and the debug window's busy filter.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "log/log.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

// An entry as LogLine logs it: unformatted (FormatMessage would turn its
// line feeds into CR LF).
std::string RawEntry(unsigned id)
{
    char text[512];
    LoadCatalogue(id, text, sizeof text);
    return text;
}

bool Heard(ScriptServer& server, const std::string& line)
{
    for (const std::string& l : server.Heard())
        if (l == line)
            return true;
    return false;
}

// Lines of `lines` that equal one of `wanted`, in the order logged.
std::vector<std::string> Only(const std::vector<std::string>& lines, const std::vector<std::string>& wanted)
{
    std::vector<std::string> out;
    for (const std::string& l : lines)
        for (const std::string& w : wanted)
            if (l == TarnApp::Line(w))
                out.push_back(l);
    return out;
}

void ConnectToVsftpd(TarnApp& app)
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-vsftpd", kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();
}

TEST(EndToEndStop, BusyRefusalAndAbortOfAConnectToASilentServer)
{
    RegistryGuard registry;
    WriteTestOptions();
    // Accepts and never greets; it answers only the QUIT of the abort (a
    // server that answers nothing keeps that QUIT waiting for TIMEOUT).
    ScriptServer silent({Hear(), Say("221 Goodbye.\r\n")});
    ASSERT_TRUE(silent.Listening());
    WriteHostProfile("e2e-silent", silent.Port(), false);
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);

    TarnApp app;
    ASSERT_TRUE(app.Start("abort-connect"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-silent", "secret"));
    // Abort is enabled once the host dialog is done; the greeting never comes.
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_ABORT); }));
    app.Settle(300);

    // A remote command, the remote mask's Enter and dropped-file-free
    // commands are all refused while the connect runs.
    app.Mark();
    app.Click(IDC_REMOTE_CREATE);
    ASSERT_TRUE(app.WaitLogged(RawEntry(3)));
    app.Settle(300);
    app.PressEnter(IDC_REMOTE_MASK);
    app.Settle(300);
    EXPECT_FALSE(app.WaitDialog(IDC_INPUT_TEXT, 300));
    std::vector<std::string> busy = app.NewLines();
    EXPECT_EQ(Only(busy, {RawEntry(3)}).size(), 2u) << Joined(busy);

    app.Mark();
    app.Click(IDC_ABORT);
    ASSERT_TRUE(app.WaitLogged(CatalogueText(10))) << Joined(app.NewLines());
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }));
    EXPECT_EQ(app.Title(), "TARN");
    EXPECT_FALSE(app.Enabled(IDC_ABORT));
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
    app.Settle(300);
    std::vector<std::string> lines = app.NewLines();
    std::vector<std::string> expected = {TarnApp::Line(CatalogueText(8)), TarnApp::Line(CatalogueText(9)),
                                         TarnApp::Line(CatalogueText(10))};
    EXPECT_EQ(Only(lines, {CatalogueText(8), CatalogueText(9), CatalogueText(10), CatalogueText(11)}), expected)
        << Joined(lines);
    // The control connection was open: QUIT went out before it was closed.
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Heard(silent, "QUIT"); }, 5000));

    // Nothing stays locked: the next connect works.
    ConnectToVsftpd(app);
    EXPECT_FALSE(app.Enabled(IDC_CONNECT));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(EndToEndStop, ReplyTimeOutStopsTheOperationAndLeavesTheProgramUsable)
{
    RegistryGuard registry;
    WriteTestOptions();
    // Logs on, then never answers again.
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"), Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-mute", server.Port(), false, "", 2);
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);

    TarnApp app;
    ASSERT_TRUE(app.Start("timeout"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-mute", "secret"));
    ASSERT_TRUE(app.WaitLogged(CatalogueText(16), 15000));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(Only(lines, {CatalogueText(28), CatalogueText(16)}),
              (std::vector<std::string>{CatalogueText(28), CatalogueText(16)}))
        << Joined(lines);
    EXPECT_FALSE(app.Enabled(IDC_ABORT));

    // The worker is gone and the busy flag clear: Disconnect says QUIT, a
    // new connect works and so does a remote command.
    app.Click(IDC_DISCONNECT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT) && app.Title() == "TARN"; }));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Heard(server, "QUIT"); }, 5000));
    app.Settle();
    ConnectToVsftpd(app);
    app.Mark();
    app.Click(IDC_REMOTE_CREATE);
    app.Answer("e2e-after-timeout");
    EXPECT_TRUE(app.WaitLogged([](const std::string& l) { return l.rfind("257 ", 0) == 0; }));
    RemoveDirectoryA((ServerRoot(kRealServers[0], false) + "\\e2e-after-timeout").c_str());
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A logon cut off by the time-out ends as a failed logon: its failure line,
// the control socket released, Connect back and Disconnect off, and a new
// connect works.
TEST(EndToEndStop, ALogonCutOffByTheTimeOutLeavesConnectUsable)
{
    struct Case {
        const char* name;
        std::vector<ScriptStep> script;
        std::string failure;
    } cases[] = {
        {"no greeting", {Silent()}, CatalogueText(72, "", 421u)},
        {"USER reply stops halfway",
         {Say("220 scripted\r\n"), Hear(), Say("331-more follows\r\n"), Silent()},
         RawEntry(35)},
    };
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("logon-cut-off"));
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server(c.script);
        ASSERT_TRUE(server.Listening());
        WriteHostProfile("e2e-cut", server.Port(), false, "", 2);
        app.Mark();
        app.Click(IDC_CONNECT);
        ASSERT_TRUE(app.ConnectWith("e2e-cut", "secret"));
        ASSERT_TRUE(app.WaitLogged(CatalogueText(16), 15000)) << Joined(app.NewLines());
        EXPECT_TRUE(app.WaitLogged(TarnApp::Line(c.failure), 5000)) << Joined(app.NewLines());
        EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 5000));
        EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
        EXPECT_FALSE(app.Enabled(IDC_ABORT));
        EXPECT_EQ(app.Title(), "TARN");
        app.Settle(300);
        // The socket was released: the server sees the connection end.
        EXPECT_TRUE(server.WaitDone(5000));
        server.Stop();
    }
    app.Mark();
    ConnectToVsftpd(app);
    EXPECT_FALSE(app.Enabled(IDC_CONNECT)) << Joined(app.NewLines());
    EXPECT_TRUE(app.Enabled(IDC_DISCONNECT));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A greeting line that never ends: what passes the 4000-byte cap is skipped
// in blocks, and the time-out bounds the whole line, also while bytes keep
// coming. The window answers throughout; the logon fails as for a time-out.
TEST(EndToEndStop, AGreetingWithoutLineEndEndsWithinTheTimeOut)
{
    std::vector<ScriptStep> drip;
    for (int i = 0; i < 80; ++i) {  // about 8 seconds of bytes, well past the time-out
        drip.push_back(Say(std::string(32768, 'g')));
        drip.push_back(Pause(100));
    }
    drip.push_back(Silent());
    struct Case {
        const char* name;
        std::vector<ScriptStep> script;
    } cases[] = {
        {"1 MiB, then nothing", {Say(std::string(1 << 20, 'g')), Silent()}},
        {"bytes keep coming", drip},
    };
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("endless-greeting"));
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptServer server(c.script);
        ASSERT_TRUE(server.Listening());
        WriteHostProfile("e2e-endless", server.Port(), false, "", 2);
        app.Mark();
        app.Click(IDC_CONNECT);
        ASSERT_TRUE(app.ConnectWith("e2e-endless", "secret"));
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutA(app.main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer), 0);
        EXPECT_TRUE(app.WaitLogged([](const std::string& l) { return l.rfind("Unknown open msg \"ggg", 0) == 0; },
                                   20000))
            << Joined(app.NewLines());
        EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 5000));
        EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
        app.Settle(300);
        server.Stop();
    }
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The rest of an over-long line is dropped up to its line feed; it is never
// read as lines of the reply.
TEST(EndToEndStop, TheRestOfAnOverlongReplyLineIsDropped)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server({Say("220-" + std::string(10000, 'x') + "\r\n220 ready\r\n"), Hear(), Say("530 no\r\n"),
                         Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-long-line", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("long-reply-line"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-long-line", "secret"));
    ASSERT_TRUE(app.WaitLogged(RawEntry(35))) << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    std::vector<std::string> reply;
    for (const std::string& l : lines)
        if (l.rfind("220", 0) == 0 || l.rfind("xxx", 0) == 0)
            reply.push_back(l);
    EXPECT_EQ(reply, (std::vector<std::string>{TarnApp::Line("220-" + std::string(10000, 'x')), "220 ready"}))
        << Joined(lines);
    EXPECT_EQ(server.Heard(), (std::vector<std::string>{std::string("USER ") + kServerUser}));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A listing cut off by the time-out leaves the options as the user set
// them: Bell is still on when the program saves its options at exit.
TEST(EndToEndStop, AListingCutOffLeavesTheBellOptionAlone)
{
    RegistryGuard registry;
    const DWORD kBell = 4;
    WriteTestOptions("notepad", kBell);
    // Logs on, answers PWD and HELP, accepts PORT and LIST, never connects.
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"),
                         Hear(), Say("257 \"/\" is current\r\n"), Hear(), Say("500 no help\r\n"), Hear(),
                         Say("200 PORT ok\r\n"), Hear(), Say("150 listing\r\n"), Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-stalled-list", server.Port(), false, "", 2);

    TarnApp app;
    ASSERT_TRUE(app.Start("bell-kept"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-stalled-list", "secret"));
    ASSERT_TRUE(app.WaitLogged(CatalogueText(16), 15000)) << Joined(app.NewLines());
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_EQ(RegText("_config_", "FLAGS"), std::to_string(kBell));
}

// A debug command while an operation of the main window holds the
// connection between two of its commands (here: its worker waits for the
// name of the directory to create) is refused, and nothing reaches the server.
TEST(EndToEndStop, TheDebugWindowWaitsForARunningOperation)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("debug-busy", "-d"));
    ConnectToVsftpd(app);
    long serverLog = ServerLogSize();
    app.Mark();
    app.Click(IDC_REMOTE_CREATE);
    ASSERT_TRUE(app.WaitDialog(IDC_INPUT_TEXT));
    app.DebugCommand(IDM_DBG_PWD);
    EXPECT_TRUE(app.WaitLogged(RawEntry(3), 3000)) << Joined(app.NewLines());
    app.Settle(300);
    app.CancelInput();
    app.Settle(300);
    EXPECT_FALSE(Contains(app.NewLines(), "PWD")) << Joined(app.NewLines());
    EXPECT_FALSE(Contains(ServerCommandsSince(serverLog), "PWD")) << Joined(ServerCommandsSince(serverLog));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Texts whose catalogue entry ends with a line break show in the one-line
// status fields as their words, without the break (which left the newest
// line looking empty).
TEST(EndToEndStop, StatusLinesShowTextsThatEndWithALineBreak)
{
    auto shown = [](HWND line) {
        char text[256] = "";
        GetWindowTextA(line, text, sizeof text);
        return std::string(text);
    };
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server({Hear(), Say("221 Goodbye.\r\n")});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-silent", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("status-breaks"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-silent", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_ABORT); }));
    app.Settle(300);
    app.Click(IDC_REMOTE_CREATE);
    EXPECT_TRUE(TarnApp::WaitFor([&] {
        return shown(app.StatusLine(false)) == "Currently busy with another remote operation...";
    })) << shown(app.StatusLine(false));
    app.Click(IDC_ABORT);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return shown(app.StatusLine(false)) == "Remote Connect Aborted"; }))
        << shown(app.StatusLine(false));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The abort of a connect holds the program busy until its QUIT exchange is
// over: a Connect in between is refused, and the abort, when it ends, does
// not take the connection of a connect started meanwhile.
TEST(EndToEndStop, ConnectDuringTheAbortsQuitIsRefused)
{
    RegistryGuard registry;
    WriteTestOptions();
    // No greeting; the abort's QUIT is answered only after a while.
    ScriptServer server({Hear(), Pause(3000), Say("221 Goodbye.\r\n")});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-slow-quit", server.Port(), false);
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);

    TarnApp app;
    ASSERT_TRUE(app.Start("connect-in-abort"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-slow-quit", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_ABORT); }));
    app.Settle(300);
    app.Mark();
    app.Click(IDC_ABORT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Heard(server, "QUIT"); }, 5000));
    // Connect while the abort waits for the answer to its QUIT.
    app.Notify(IDC_CONNECT, BN_CLICKED);
    EXPECT_TRUE(app.WaitLogged(RawEntry(3), 2000)) << Joined(app.NewLines());
    EXPECT_FALSE(app.WaitDialog(IDC_HOST_FOLDER, 500));
    ASSERT_TRUE(app.WaitLogged(CatalogueText(10))) << Joined(app.NewLines());
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }));
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));

    ConnectToVsftpd(app);
    EXPECT_TRUE(app.Enabled(IDC_DISCONNECT));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Disconnect from a server that has stopped answering: QUIT goes out, the
// window keeps answering, and the wait for QUIT's reply ends well before the
// reply time-out (65 seconds here).
TEST(EndToEndStop, DisconnectFromASilentServerIsBounded)
{
    RegistryGuard registry;
    WriteTestOptions();
    // Logs on, answers the connect's PWD, HELP and listing, then goes quiet.
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"),
                         Hear(), Say("257 \"/\" is current\r\n"), Hear(), Say("500 no help\r\n"), Hear(),
                         Say("200 PORT ok\r\n"), Hear(), Say("550 nothing here\r\n"), Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-quiet", server.Port(), false);

    TarnApp app;
    ASSERT_TRUE(app.Start("disconnect-silent"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-quiet", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_DISCONNECT) && !app.Enabled(IDC_ABORT); }, 10000))
        << Joined(server.Heard());
    app.Settle();
    app.Mark();
    app.Click(IDC_DISCONNECT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Heard(server, "QUIT"); }, 5000)) << Joined(server.Heard());
    // The window answers while QUIT waits.
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(app.main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer), 0);
    // Well before the 65-second reply time-out.
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 30000));
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
    EXPECT_EQ(app.Title(), "TARN");
    EXPECT_TRUE(server.WaitDone(5000));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
