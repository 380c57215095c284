// The main window worked with the keyboard alone, through real key strokes:
// Tab through the controls, Enter, Backspace, Delete and F5 in the lists,
// Esc as Abort.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "resources/catalogue.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == TarnApp::Line(line))
            return true;
    return false;
}

TEST(Keyboard, TabEnterBackspaceF5AndDeleteInTheLists)
{
    const RealServer& vsftpd = kRealServers[0];
    const std::string root = ServerRoot(vsftpd, false) + "\\e2e-keys";
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\inner").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(root + "\\top.txt", "top\r\n"));
    ASSERT_TRUE(WriteBytes(root + "\\inner\\deep.txt", "deep\r\n"));
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-keys", ServerPort(vsftpd), false, "/e2e-keys");

    TarnApp app;
    app.dir = TempDirectory("keys");
    ASSERT_TRUE(WriteBytes(app.dir + "\\local-gone.txt", "delete me\r\n"));
    ASSERT_TRUE(WriteBytes(app.dir + "\\local-kept.txt", "keep me\r\n"));
    ASSERT_TRUE(app.Start("keys"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-keys", kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "top.txt"); }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();

    // Tab goes from the local file list over the local buttons and the
    // transfer buttons to the remote lists; Shift+Tab comes back.
    ASSERT_GE(app.TabTo(IDC_LOCAL_FILES), 0);
    int presses = app.TabTo(IDC_REMOTE_FILES);
    EXPECT_GE(presses, 4) << "the local buttons, the transfer buttons and the remote directories come between";
    EXPECT_LE(presses, 12);
    ASSERT_TRUE(app.Key(VK_TAB, true));
    EXPECT_EQ(app.Focused(), app.Control(IDC_REMOTE_DIRS));

    // Enter on a remote directory opens it; Backspace goes back up.
    ASSERT_TRUE(app.Select(IDC_REMOTE_DIRS, {"inner"})) << Joined(app.Items(IDC_REMOTE_DIRS));
    ASSERT_TRUE(app.Key(VK_RETURN));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES) == std::vector<std::string>{"deep.txt"}; }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();
    ASSERT_TRUE(app.Key(VK_BACK));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES) == std::vector<std::string>{"top.txt"}; }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();

    // F5 lists both sides again: a file that came meanwhile shows.
    ASSERT_TRUE(WriteBytes(root + "\\late.txt", "late\r\n"));
    ASSERT_TRUE(WriteBytes(app.dir + "\\local-late.txt", "late\r\n"));
    ASSERT_TRUE(app.Key(VK_F5));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "late.txt"); }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    EXPECT_TRUE(Contains(app.Items(IDC_LOCAL_FILES), "local-late.txt")) << Joined(app.Items(IDC_LOCAL_FILES));
    app.Settle();

    // Delete on a local file asks first, then deletes it.
    ASSERT_GE(app.TabTo(IDC_LOCAL_FILES, true), 0);
    ASSERT_TRUE(app.Select(IDC_LOCAL_FILES, {"local-gone.txt"}));
    ASSERT_TRUE(app.Key(VK_DELETE));
    std::string asked = app.AnswerBox(IDYES);
    EXPECT_NE(asked.find("local-gone.txt"), std::string::npos) << asked;
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !Contains(app.Items(IDC_LOCAL_FILES), "local-gone.txt"); }))
        << Joined(app.Items(IDC_LOCAL_FILES));
    EXPECT_EQ(GetFileAttributesA((app.dir + "\\local-gone.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadBytes(app.dir + "\\local-kept.txt"), "keep me\r\n");

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    RemoveTree(root);
}

// A receive paced by the server (it stops after the first third): Enter on
// the file starts it, Esc aborts it long before the server would go on.
TEST(Keyboard, EscAbortsAPacedReceive)
{
    const unsigned long long third = 100000;
    const std::string listing = "-rw-r--r--   1 ftp      ftp        300000 Jan  1 12:00 paced.bin\r\n";
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"),
                         Hear(), Say("257 \"/\" is current\r\n"), Hear(), Say("214 help ok\r\n"), Hear(),
                         Say("215 UNIX Type: L8\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
                         Say("150 listing\r\n"), DataConnect(), DataSay(listing), DataClose(), Say("226 done\r\n"),
                         Hear(), Say("200 Type set to I\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
                         Say("150 Opening BINARY mode data connection for paced.bin (300000 bytes).\r\n"),
                         DataConnect(), DataZeros(third), Pause(4000), Say("426 Transfer aborted.\r\n"),
                         Silent()});
    ASSERT_TRUE(server.Listening());
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-keys-paced", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("keys-paced"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-keys-paced", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "paced.bin"); }))
        << Joined(server.Heard());
    app.Settle();
    ASSERT_GE(app.TabTo(IDC_REMOTE_FILES), 0);
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {"paced.bin"}));
    ASSERT_TRUE(app.Key(VK_RETURN));
    const std::string received = app.dir + "\\paced.bin";
    ASSERT_TRUE(TarnApp::WaitFor([&] { return SizeOf(received) == third && app.Enabled(IDC_ABORT); }, 10000));
    DWORD start = GetTickCount();
    ASSERT_TRUE(app.Key(VK_ESCAPE));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }, 15000));
    EXPECT_LT(GetTickCount() - start, 15000u) << "aborted, not ended by the server";
    app.Settle(1000);
    std::vector<std::string> lines = app.History();
    EXPECT_TRUE(Has(lines, CatalogueText(MSG_OPERATION_ABORTED))) << Joined(lines);
    EXPECT_EQ(SizeOf(received), third);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
