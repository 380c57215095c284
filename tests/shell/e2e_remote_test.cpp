// The real tarn.exe against real FTP servers on loopback, driven only through
// its windows: connecting through the host dialog, the remote commands, the
// busy and not-connected refusals, Disconnect and Exit.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

const RealServer& Vsftpd() { return kRealServers[0]; }

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == TarnApp::Line(line))
            return true;
    return false;
}


TEST(EndToEnd, RemoteDirectoryRenameDeleteDisconnectAndExit)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-vsftpd", ServerPort(Vsftpd()), false);
    const std::string root = ServerRoot(Vsftpd(), false);
    RemoveTree(root + "\\e2e made");
    ASSERT_TRUE(WriteBytes(root + "\\e2e-old.txt", "rename me\r\n"));
    DeleteFileA((root + "\\e2e-new.txt").c_str());
    long serverLog = ServerLogSize();

    TarnApp app;
    ASSERT_TRUE(app.Start("remote"));
    EXPECT_EQ(app.Title(), "TARN");
    EXPECT_TRUE(app.Enabled(IDC_CONNECT));
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));

    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-vsftpd", kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_HOST_TEXT) == "127.0.0.1"; }));
    EXPECT_FALSE(app.Enabled(IDC_CONNECT));
    EXPECT_TRUE(app.Enabled(IDC_DISCONNECT));
    app.Settle();

    // Make a directory whose name has a blank.
    app.Mark();
    app.Click(IDC_REMOTE_CREATE);
    std::string title;
    EXPECT_EQ(app.Answer("e2e made", &title), CatalogueText(101));
    EXPECT_EQ(title, CatalogueText(139));
    ASSERT_TRUE(app.WaitLogged([](const std::string& l) { return l.rfind("257 ", 0) == 0; }));
    EXPECT_TRUE(DirExists(root + "\\e2e made"));
    app.Settle();
    EXPECT_TRUE(Has(app.NewLines(), "MKD e2e made")) << Joined(app.NewLines());

    // Rename, both names typed.
    app.Mark();
    app.Click(IDC_REMOTE_RENAME);
    EXPECT_EQ(app.Answer("e2e-old.txt", &title), CatalogueText(121));
    EXPECT_EQ(title, CatalogueText(140));
    EXPECT_EQ(app.Answer("e2e-new.txt"), CatalogueText(15, "e2e-old.txt"));
    ASSERT_TRUE(app.WaitLogged([](const std::string& l) { return l.rfind("250 ", 0) == 0; }));
    EXPECT_EQ(ReadBytes(root + "\\e2e-new.txt"), "rename me\r\n");
    EXPECT_FALSE(FileExists(root + "\\e2e-old.txt"));
    app.Settle();

    // Delete: No keeps the file, Yes deletes it.
    app.Click(IDC_REMOTE_DELETE);
    EXPECT_EQ(app.Answer("e2e-new.txt", &title), CatalogueText(121));
    EXPECT_EQ(title, CatalogueText(56));
    std::string boxTitle;
    EXPECT_EQ(app.AnswerBox(IDNO, &boxTitle), CatalogueText(95, "e2e-new.txt"));
    EXPECT_EQ(boxTitle, CatalogueText(97));
    app.Settle();
    EXPECT_TRUE(FileExists(root + "\\e2e-new.txt"));
    app.Click(IDC_REMOTE_DELETE);
    app.Answer("e2e-new.txt");
    app.AnswerBox(IDYES);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !FileExists(root + "\\e2e-new.txt"); }));
    app.Settle();

    // Remove the directory.
    app.Click(IDC_REMOTE_REMOVE);
    EXPECT_EQ(app.Answer("e2e made", &title), CatalogueText(101));
    EXPECT_EQ(title, CatalogueText(147));
    EXPECT_EQ(app.AnswerBox(IDYES), CatalogueText(95, "e2e made"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !DirExists(root + "\\e2e made"); }));
    app.Settle();

    // Disconnect: QUIT, title and buttons back; then a remote command is refused.
    app.Click(IDC_DISCONNECT);
    // The title goes first, the host's name last: waited for together.
    EXPECT_TRUE(TarnApp::WaitFor([&] {
        return app.Title() == "TARN" && app.Enabled(IDC_CONNECT) && app.Text(IDC_REMOTE_HOST_TEXT).empty();
    })) << app.Title() << " " << app.Text(IDC_REMOTE_HOST_TEXT);
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
    app.Settle();
    app.Mark();
    app.Click(IDC_REMOTE_CREATE);
    EXPECT_TRUE(app.WaitLogged(CatalogueText(29)));
    EXPECT_FALSE(app.WaitDialog(IDC_INPUT_TEXT, 500));

    std::vector<std::string> wire = ServerCommandsSince(serverLog);
    std::vector<std::string> expected = {"USER tarnftp", "PASS <password>", "MKD e2e made", "RNFR e2e-old.txt",
                                         "RNTO e2e-new.txt", "DELE e2e-new.txt", "RMD e2e made", "QUIT"};
    size_t at = 0;
    for (const std::string& command : wire)
        if (at < expected.size() && command == expected[at])
            ++at;
    EXPECT_EQ(at, expected.size()) << Joined(wire);
    int deletes = 0;
    for (const std::string& command : wire)
        deletes += command == "DELE e2e-new.txt";
    EXPECT_EQ(deletes, 1) << "the refused confirmation sent nothing";

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
