// Start-up of the real tarn.exe: the "-d" rule and the command-line fetch
// argument, AUTOSTART, and the debug window's commands.
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

bool HasPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    for (const std::string& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

std::string RawEntry(unsigned id)
{
    char text[512];
    LoadCatalogue(id, text, sizeof text);
    return text;
}

TEST(EndToEndStartup, DebugFlagAndFetchArgument)
{
    RegistryGuard registry;
    WriteTestOptions();
    // Nothing listens on port 21 of the loopback outside a test's own
    // network namespace, so a fetch that starts fails at once and the
    // program stays open.
    const std::string longHost(100, '1');
    struct Case {
        const char* name;
        std::string arguments;
        bool debug;
        std::string fetchedHost;   // empty: no fetch started
    } cases[] = {
        {"plain", "", false, ""},
        {"d-alone", "-d", true, ""},
        {"fetch", "127.0.0.1:/pub/none.txt", false, "127.0.0.1"},
        {"d-then-fetch", "-d 127.0.0.1:/pub/none.txt", true, "127.0.0.1"},
        {"blanks", "   127.0.0.1:/pub/none.txt", false, "127.0.0.1"},
        // "-d" inside the path: debug mode, and the argument after it has no ":".
        {"d-in-path", "127.0.0.1:/my-dir/file", true, ""},
        // The host part is cut to 63 characters.
        {"long-host", longHost + ":/x", false, longHost.substr(0, 63)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TarnApp app;
        ASSERT_TRUE(app.Start(std::string("args-") + c.name, c.arguments));
        bool fetched = !c.fetchedHost.empty();
        if (fetched) {
            EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_HOST_TEXT) == c.fetchedHost; }))
                << app.Text(IDC_REMOTE_HOST_TEXT);
        }
        app.Settle(400);
        std::vector<std::string> lines = app.History();
        EXPECT_EQ(HasPrefix(lines, TarnApp::Line(CatalogueText(81, ""))), fetched) << Joined(lines);
        if (fetched) {
            EXPECT_TRUE(HasPrefix(lines, TarnApp::Line(CatalogueText(81, c.fetchedHost.c_str())))) << Joined(lines);
        }
        HWND debug = app.DebugWindow();
        EXPECT_EQ(debug != nullptr, c.debug);
        if (debug) {
            EXPECT_TRUE(IsIconic(debug));
            char title[64] = "";
            GetWindowTextA(debug, title, sizeof title);
            EXPECT_EQ(std::string(title), CatalogueText(151));
        }
        // A failed fetch leaves the program up, not connected, lists empty.
        EXPECT_EQ(app.Title(), "TARN");
        EXPECT_TRUE(app.Items(IDC_REMOTE_FILES).empty());
        EXPECT_TRUE(app.Items(IDC_REMOTE_DIRS).empty());
        app.Click(IDC_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
    }
}

TEST(EndToEndStartup, AutoStartOpensTheHostDialog)
{
    RegistryGuard registry;
    WriteTestOptions("notepad", 0, 1);
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("autostart"));
    ASSERT_TRUE(app.ConnectWith("e2e-vsftpd", kServerPassword));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// While an operation is under way the debug window refuses its commands as
// busy, except Disconnect and Exit, which act as the main window's.
TEST(EndToEndStartup, DebugWindowRefusesCommandsWhileOneIsUnderWay)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer silent({Hear(), Say("221 Goodbye.\r\n")});
    ASSERT_TRUE(silent.Listening());
    WriteHostProfile("e2e-silent", silent.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("debug-busy", "-d"));
    ASSERT_TRUE(app.DebugWindow());
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-silent", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_ABORT); }));
    app.Settle(300);

    app.Mark();
    for (int id : {IDM_DBG_PWD, IDM_DBG_QUOTE, IDM_DBG_CONNECT, IDM_DBG_HELP, IDM_DBG_BINARY, IDM_DBG_ASCII})
        app.DebugCommand(id);
    app.Settle(500);
    EXPECT_FALSE(app.WaitDialog(IDC_INPUT_TEXT, 200));
    EXPECT_FALSE(app.WaitDialog(IDC_HOST_FOLDER, 200));
    EXPECT_EQ(app.NewLines(), std::vector<std::string>(6, TarnApp::Line(RawEntry(3)))) << Joined(app.NewLines());
    EXPECT_TRUE(app.Checked(IDC_MODE_BINARY));  // the start-up type, unchanged
    EXPECT_TRUE(silent.Heard().empty());

    app.DebugCommand(IDM_DBG_DISCONNECT);
    ASSERT_TRUE(app.WaitLogged(RawEntry(4)));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT) && app.Title() == "TARN"; }));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return silent.Heard() == std::vector<std::string>{"QUIT"}; }, 5000));
    app.Settle(300);
    app.DebugCommand(IDM_DBG_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(EndToEndStartup, DebugWindowCommandsAgainstARealServer)
{
    RegistryGuard registry;
    // The viewer copies the listing it is given where the test reads it.
    WriteTestOptions("cmd /c >listing.txt type");
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
    const std::string root = ServerRoot(kRealServers[0], false);
    RemoveTree(root + "\\e2e-debug");
    const std::string got = Pattern(9001, 21), put = Pattern(7777, 22);
    WriteBytes(root + "\\e2e-debug-get.bin", got);
    DeleteFileA((root + "\\e2e-debug-put.bin").c_str());
    long serverLog = ServerLogSize();
    TarnApp app;
    app.dir = TempDirectory("debug-real");
    WriteBytes(app.dir + "\\e2e-debug-put.bin", put);
    ASSERT_TRUE(app.Start("debug-real", "-d"));
    const std::string listing = app.dir + "\\listing.txt";
    auto viewed = [&](const std::string& text) {
        return TarnApp::WaitFor([&] { return ReadBytes(listing).find(text) != std::string::npos; });
    };

    app.DebugCommand(IDM_DBG_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-vsftpd", kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();

    app.Mark();
    app.DebugCommand(IDM_DBG_QUOTE);
    std::string title;
    EXPECT_EQ(app.Answer("SYST", &title), CatalogueText(123));
    EXPECT_EQ(title, CatalogueText(149));
    EXPECT_TRUE(app.WaitLogged("215 UNIX Type: L8"));
    app.DebugCommand(IDM_DBG_MKD);
    app.Answer("e2e-debug");
    EXPECT_TRUE(TarnApp::WaitFor([&] { return DirExists(root + "\\e2e-debug"); }));
    app.DebugCommand(IDM_DBG_CWD);
    app.Answer("e2e-debug");
    EXPECT_TRUE(app.WaitLogged([](const std::string& l) { return l.rfind("250 ", 0) == 0; }));
    app.DebugCommand(IDM_DBG_PWD);
    EXPECT_TRUE(app.WaitLogged("257 \"/e2e-debug\" is the current directory"));
    app.DebugCommand(IDM_DBG_CWD);
    app.Answer("..");
    app.Settle(300);

    // Long and short listings go to the listing file, which the viewer shows.
    app.DebugCommand(IDM_DBG_LIST);
    EXPECT_TRUE(viewed(" e2e-debug-get.bin\r\n")) << ReadBytes(listing);
    EXPECT_NE(ReadBytes(listing).find(" e2e-debug\r\n"), std::string::npos);
    app.Settle(300);
    DeleteFileA(listing.c_str());
    app.DebugCommand(IDM_DBG_NLST);
    EXPECT_TRUE(viewed("e2e-debug-get.bin\r\n")) << ReadBytes(listing);
    EXPECT_EQ(ReadBytes(listing).find("rw"), std::string::npos) << ReadBytes(listing);
    app.Settle(300);
    // A typed LIST with options goes through the data connection too: its
    // lines land in the listing file (shown by LongDir), not in the log.
    DeleteFileA(listing.c_str());
    app.Mark();
    app.DebugCommand(IDM_DBG_QUOTE);
    app.Answer("LIST -a");
    app.Settle(500);
    std::vector<std::string> lines = app.NewLines();
    for (const std::string& l : lines)
        EXPECT_EQ(l.find("e2e-debug-get.bin"), std::string::npos) << l;
    app.Click(IDC_LONGDIR);
    EXPECT_TRUE(viewed(" e2e-debug-get.bin\r\n")) << ReadBytes(listing);
    EXPECT_NE(ReadBytes(listing).find(" ..\r\n"), std::string::npos) << ReadBytes(listing);

    // Receive and send one file by name.
    app.DebugCommand(IDM_DBG_RETR);
    EXPECT_EQ(app.Answer("e2e-debug-get.bin", &title), CatalogueText(121));
    EXPECT_EQ(title, CatalogueText(143));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\e2e-debug-get.bin") == got; }));
    app.Settle(300);
    app.DebugCommand(IDM_DBG_STOR);
    EXPECT_EQ(app.Answer("e2e-debug-put.bin", &title), CatalogueText(122));
    EXPECT_EQ(title, CatalogueText(138));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(root + "\\e2e-debug-put.bin") == put; }));
    app.Settle(300);

    app.DebugCommand(IDM_DBG_RMD);
    app.Answer("e2e-debug");
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !DirExists(root + "\\e2e-debug"); }));

    app.DebugCommand(IDM_DBG_ASCII);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Checked(IDC_MODE_ASCII) && !app.Checked(IDC_MODE_BINARY); }));
    app.DebugCommand(IDM_DBG_BINARY);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Checked(IDC_MODE_BINARY) && !app.Checked(IDC_MODE_ASCII); }));
    app.Settle(300);

    std::vector<std::string> wire = ServerCommandsSince(serverLog);
    std::vector<std::string> expected = {"SYST",    "MKD e2e-debug",          "CWD e2e-debug",
                                         "PWD",     "CWD ..",                 "LIST",
                                         "NLST",    "LIST -a",                "RETR e2e-debug-get.bin",
                                         "STOR e2e-debug-put.bin", "RMD e2e-debug"};
    size_t at = 0;
    for (const std::string& command : wire)
        if (at < expected.size() && command == expected[at])
            ++at;
    EXPECT_EQ(at, expected.size()) << Joined(wire);

    app.DebugCommand(IDM_DBG_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-debug-get.bin").c_str());
    DeleteFileA((root + "\\e2e-debug-put.bin").c_str());
}

// With a passive profile the debug window's listings open their data
// connections by PASV too.
TEST(EndToEndStartup, DebugWindowListingsInPassiveMode)
{
    RegistryGuard registry;
    WriteTestOptions("cmd /c >listing.txt type");
    WriteHostProfile("e2e-pasv", ServerPort(kRealServers[0]), false);
    RegSetText("e2e-pasv", "PASV", "1");
    const std::string root = ServerRoot(kRealServers[0], false);
    WriteBytes(root + "\\e2e-debug-pasv.txt", "listed\r\n");
    long serverLog = ServerLogSize();
    TarnApp app;
    app.dir = TempDirectory("debug-pasv");
    ASSERT_TRUE(app.Start("debug-pasv", "-d"));
    const std::string listing = app.dir + "\\listing.txt";
    app.DebugCommand(IDM_DBG_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-pasv", kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();

    for (int id : {IDM_DBG_LIST, IDM_DBG_NLST}) {
        DeleteFileA(listing.c_str());
        app.DebugCommand(id);
        EXPECT_TRUE(TarnApp::WaitFor(
            [&] { return ReadBytes(listing).find("e2e-debug-pasv.txt\r\n") != std::string::npos; }))
            << ReadBytes(listing);
        app.Settle(300);
    }
    std::vector<std::string> wire = ServerCommandsSince(serverLog);
    std::vector<std::string> expected = {"PASV", "LIST", "PASV", "NLST"};
    size_t at = 0;
    for (const std::string& command : wire) {
        EXPECT_NE(command.compare(0, 5, "PORT "), 0) << command;
        if (at < expected.size() && command == expected[at])
            ++at;
    }
    EXPECT_EQ(at, expected.size()) << Joined(wire);

    app.DebugCommand(IDM_DBG_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-debug-pasv.txt").c_str());
}

}  // namespace
