// Directory tree transfers of the real tarn.exe: a three-level tree sent to
// a real server and received back, an existing remote directory, a failed
// CWD back, and names from a hostile server.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "listing/paths.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "tests/support/miniftpd.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

int Count(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), TarnApp::Line(line)));
}

std::string LocalLabel(const std::string& path)
{
    return ShortenLocalPath(path.c_str(), 25, GetACP());
}

std::string Totals(long files, long dirs)
{
    return CatalogueText(118, files, dirs);
}

// The last totals line logged (entry 118; the byte totals follow it).
std::string LastTotals(const std::vector<std::string>& lines)
{
    std::string tail = CatalogueText(118, 0L, 0L).substr(1);  // " file(s) transmitted, 0 ..."
    tail = tail.substr(0, tail.find(','));
    for (auto l = lines.rbegin(); l != lines.rend(); ++l)
        if (l->find(tail) != std::string::npos)
            return *l;
    return "";
}

void Connect(TarnApp& app, const std::string& folder, const std::string& password)
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith(folder, password));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();
}

void RemoteGoTo(TarnApp& app, const std::string& path)
{
    app.SelectNone(IDC_REMOTE_DIRS);
    app.Click(IDC_REMOTE_GOTO);
    app.Answer(path);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_DIR_TEXT) == path; }))
        << app.Text(IDC_REMOTE_DIR_TEXT);
    app.Settle();
}

void LocalGoTo(TarnApp& app, const std::string& path)
{
    app.SelectNone(IDC_LOCAL_DIRS);
    app.Click(IDC_LOCAL_GOTO);
    app.Answer(path);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_LOCAL_DIR_TEXT) == LocalLabel(path); }))
        << app.Text(IDC_LOCAL_DIR_TEXT);
}

// Starts a tree transfer of the selected directories and waits until the
// outermost level is done: the totals line has come, both sides are back
// where they began and the lists show again.
void TransferTree(TarnApp& app, bool send, const std::vector<std::string>& dirs, const std::string& totals,
                  const std::string& localDir, const std::string& remoteDir)
{
    int dirList = send ? IDC_LOCAL_DIRS : IDC_REMOTE_DIRS;
    app.SelectNone(send ? IDC_LOCAL_FILES : IDC_REMOTE_FILES);
    ASSERT_TRUE(app.Select(dirList, dirs)) << Joined(app.Items(dirList));
    app.Click(send ? IDC_SEND : IDC_RECEIVE);
    ASSERT_TRUE(app.WaitLogged(totals, 120000)) << Joined(app.NewLines());
    ASSERT_TRUE(TarnApp::WaitFor(
        [&] {
            return !app.Enabled(IDC_ABORT) && app.Visible(IDC_LOCAL_FILES) && app.Visible(IDC_REMOTE_DIRS) &&
                   app.Text(IDC_LOCAL_DIR_TEXT) == LocalLabel(localDir) && app.Text(IDC_REMOTE_DIR_TEXT) == remoteDir;
        },
        60000));
    app.Settle(1000);
}

// A tree of three levels below `top`: empty directories, blanks in names,
// a directory that sorts before "..", and a file of every size class of the
// send (512-byte) and receive (4000-byte) blocks. Returns its file count.
int MakeTree(const std::string& top)
{
    CreateDirectoryA(top.c_str(), nullptr);
    for (const char* d : {"empty dir", "#first", "level one", "level one\\level two", "level one\\level two\\empty two"})
        CreateDirectoryA((top + "\\" + d).c_str(), nullptr);
    int files = 0;
    unsigned seed = 1;
    for (size_t size : {0, 1, 511, 512, 513, 3999, 4000, 4001, 300001}) {
        std::string name = size == 300001 ? "large file.bin" : "size " + std::to_string(size) + ".bin";
        WriteBytes(top + "\\" + name, Pattern(size, seed++));
        ++files;
    }
    WriteBytes(top + "\\#first\\hash file.txt", "before the parent entry\r\n");
    WriteBytes(top + "\\level one\\a.txt", "level one\r\n");
    WriteBytes(top + "\\level one\\level two\\deep 4000.bin", Pattern(4000, 99));
    return files + 3;
}

TEST(EndToEndTree, SendAndReceiveAThreeLevelTree)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
    const std::string root = ServerRoot(kRealServers[0], false);
    RemoveTree(root + "\\e2e-tree");

    TarnApp app;
    app.dir = TempDirectory("tree");
    const int files = MakeTree(app.dir + "\\tree");
    const int dirs = 6;
    CreateDirectoryA((app.dir + "\\again").c_str(), nullptr);
    WriteBytes(app.dir + "\\again\\into existing.bin", Pattern(5000, 5));
    CreateDirectoryA((app.dir + "\\back").c_str(), nullptr);
    ASSERT_TRUE(app.Start("tree"));
    Connect(app, "e2e-vsftpd", kServerPassword);
    app.Click(IDC_REMOTE_CREATE);
    app.Answer("e2e-tree");
    app.Settle();
    RemoteGoTo(app, "/e2e-tree");

    // Send: every directory made and entered, every file sent.
    app.Mark();
    TransferTree(app, true, {"tree"}, Totals(files, dirs), app.dir, "/e2e-tree");
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(LastTotals(lines), Totals(files, dirs)) << Joined(lines);
    EXPECT_EQ(TreeContents(root + "\\e2e-tree\\tree"), TreeContents(app.dir + "\\tree"));

    // Receive it back into another directory: the same tree, byte for byte.
    LocalGoTo(app, app.dir + "\\back");
    app.Mark();
    TransferTree(app, false, {"tree"}, Totals(files, dirs), app.dir + "\\back", "/e2e-tree");
    lines = app.NewLines();
    EXPECT_EQ(LastTotals(lines), Totals(files, dirs)) << Joined(lines);
    EXPECT_EQ(TreeContents(app.dir + "\\back\\tree"), TreeContents(app.dir + "\\tree"));

    // Into an existing remote directory: 102, and it is filled.
    LocalGoTo(app, app.dir);
    app.Click(IDC_REMOTE_CREATE);
    app.Answer("again");
    app.Settle();
    app.Mark();
    TransferTree(app, true, {"again"}, Totals(1, 0), app.dir, "/e2e-tree");
    lines = app.NewLines();
    EXPECT_EQ(Count(lines, CatalogueText(102, "again")), 1) << Joined(lines);
    EXPECT_EQ(TreeContents(root + "\\e2e-tree\\again"), TreeContents(app.dir + "\\again"));

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    RemoveTree(root + "\\e2e-tree");
}

// Passive mode: the same tree sent and received back with each real server.
// Also with FTPS: every data connection of the tree is TLS.
TEST(EndToEndTree, PassiveModeTreeBothWays)
{
    std::vector<std::pair<RealServer, bool>> servers;
    for (const RealServer& server : kRealServers)
        servers.push_back({server, false});
    for (const RealServer& server : kTlsServers)
        servers.push_back({server, true});
    for (const auto& [server, tls] : servers) {
        SCOPED_TRACE(server.name);
        RegistryGuard registry;
        WriteTestOptions();
        WriteHostProfile("e2e-pasv", ServerPort(server), false);
        RegSetText("e2e-pasv", "PASV", "1");
        if (tls) {
            RegSetText("e2e-pasv", "TLS", "1");
            RegSetText("e2e-pasv", "TLSCERT", ServerFingerprint(server));
        }
        const std::string root = ServerRoot(server, false);
        RemoveTree(root + "\\e2e-ptree");

        TarnApp app;
        app.dir = TempDirectory("ptree");
        const int files = MakeTree(app.dir + "\\tree");
        const int dirs = 6;
        CreateDirectoryA((app.dir + "\\back").c_str(), nullptr);
        ASSERT_TRUE(app.Start("ptree"));
        Connect(app, "e2e-pasv", kServerPassword);
        app.Click(IDC_REMOTE_CREATE);
        app.Answer("e2e-ptree");
        app.Settle();
        RemoteGoTo(app, "/e2e-ptree");

        app.Mark();
        TransferTree(app, true, {"tree"}, Totals(files, dirs), app.dir, "/e2e-ptree");
        std::vector<std::string> lines = app.NewLines();
        EXPECT_EQ(LastTotals(lines), Totals(files, dirs)) << Joined(lines);
        EXPECT_EQ(TreeContents(root + "\\e2e-ptree\\tree"), TreeContents(app.dir + "\\tree"));

        LocalGoTo(app, app.dir + "\\back");
        app.Mark();
        TransferTree(app, false, {"tree"}, Totals(files, dirs), app.dir + "\\back", "/e2e-ptree");
        lines = app.NewLines();
        EXPECT_EQ(LastTotals(lines), Totals(files, dirs)) << Joined(lines);
        EXPECT_EQ(TreeContents(app.dir + "\\back\\tree"), TreeContents(app.dir + "\\tree"));
        EXPECT_TRUE(Contains(lines, "PASV")) << Joined(lines);
        for (const std::string& line : lines)
            EXPECT_NE(line.compare(0, 5, "PORT "), 0) << line;

        app.Click(IDC_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
        RemoveTree(root + "\\e2e-ptree");
    }
}

// A failed CWD back to the parent ends the inner level only: the rest of
// that directory is left, the outer level goes back and on with its next
// directory.
TEST(EndToEndTree, AFailedCwdBackEndsOnlyTheInnerLevel)
{
    RegistryGuard registry;
    WriteTestOptions();
    MiniFtpd server;
    ASSERT_TRUE(server.Listening());
    server.AddDir("/up");
    server.Refuse("CWD /up/tree", "550 Failed to change directory.");
    WriteHostProfile("e2e-mini", server.Port(), false);

    TarnApp app;
    app.dir = TempDirectory("tree-cwd");
    const std::string& d = app.dir;
    for (const char* dir : {"tree", "tree\\level1", "tree\\level1\\level2", "tree\\zz after", "zz next"})
        CreateDirectoryA((d + "\\" + dir).c_str(), nullptr);
    WriteBytes(d + "\\tree\\t.txt", "t");
    WriteBytes(d + "\\tree\\level1\\l1.txt", "l1");
    WriteBytes(d + "\\tree\\level1\\level2\\l2.txt", "l2");
    WriteBytes(d + "\\tree\\zz after\\left.txt", "left out");
    WriteBytes(d + "\\zz next\\n.txt", "n");
    ASSERT_TRUE(app.Start("tree-cwd"));
    Connect(app, "e2e-mini", "secret");
    RemoteGoTo(app, "/up");

    app.Mark();
    TransferTree(app, true, {"tree", "zz next"}, Totals(4, 4), app.dir, "/up");
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(Count(lines, CatalogueText(105)), 1) << Joined(lines);
    EXPECT_EQ(LastTotals(lines), Totals(4, 4)) << Joined(lines);
    std::map<std::string, std::string> expected = {{"/up/tree/t.txt", "t"},
                                                   {"/up/tree/level1/l1.txt", "l1"},
                                                   {"/up/tree/level1/level2/l2.txt", "l2"},
                                                   {"/up/zz next/n.txt", "n"}};
    EXPECT_EQ(server.FilesBelow("/up"), expected);
    EXPECT_FALSE(server.HasDir("/up/tree/zz after"));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Names a server lists may not lead the receive out of the chosen local
// directory; a real directory that sorts before ".." is still received, and
// one that exists locally is filled (also with Receive Unique on).
TEST(EndToEndTree, ReceiveRefusesNamesThatLeadElsewhere)
{
    RegistryGuard registry;
    WriteTestOptions("notepad", 1);
    MiniFtpd server;
    ASSERT_TRUE(server.Listening());
    server.AddFile("/pub/evil/sub/f.txt", "f");
    server.AddFile("/pub/evil/#first/h.txt", "h");
    server.AddFile("/pub/evil/top.txt", "top");
    // Names the server lists that must not leave the target (not a local path).
    for (const char* name : {"..\\escaped", "c:stray", "...", "a\\b"})
        server.AddListedName("/pub/evil", name, true);
    WriteHostProfile("e2e-mini", server.Port(), false);

    TarnApp app;
    const std::string outer = TempDirectory("tree-evil");
    app.dir = outer + "\\inside";
    CreateDirectoryA(app.dir.c_str(), nullptr);
    CreateDirectoryA((app.dir + "\\evil").c_str(), nullptr);
    ASSERT_TRUE(app.Start("tree-evil"));
    Connect(app, "e2e-mini", "secret");
    RemoteGoTo(app, "/pub");

    app.Mark();
    TransferTree(app, false, {"evil"}, Totals(3, 2), app.dir, "/pub");
    std::vector<std::string> lines = app.NewLines();
    for (const char* name : {"..\\escaped", "c:stray", "...", "a\\b"})  // not a local path
        EXPECT_EQ(Count(lines, CatalogueText(164, name)), 1) << name << "\n" << Joined(lines);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"#first\\", ""}, {"#first\\h.txt", "h"}, {"sub\\", ""}, {"sub\\f.txt", "f"}, {"top.txt", "top"}};
    EXPECT_EQ(TreeContents(app.dir + "\\evil"), expected);
    std::vector<std::pair<std::string, std::string>> outside = TreeContents(outer);
    for (const auto& entry : outside)
        EXPECT_EQ(entry.first.rfind("inside\\", 0), 0u) << entry.first;
    EXPECT_FALSE(DirExists("C:\\stray"));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    RemoveTree(outer);
}

}  // namespace

// A file that the server cuts off (its size announced, fewer bytes, a 426)
// counts as failed: the totals leave it out, a line names it with both
// numbers, and the end of the tree says how many files are not whole.
TEST(EndToEndTree, ACutOffFileCountsAsFailed)
{
    RegistryGuard registry;
    WriteTestOptions();
    MiniFtpd server;
    ASSERT_TRUE(server.Listening());
    const std::string big = Pattern(100000, 7);
    server.AddFile("/down/tree/a.txt", "a");
    server.AddFile("/down/tree/b.bin", big);
    server.AddFile("/down/tree/sub/c.txt", "c");
    server.CutOff("RETR b.bin", 40000, "426 Connection closed; transfer aborted.");
    WriteHostProfile("e2e-mini-cut", server.Port(), false);

    TarnApp app;
    app.dir = TempDirectory("tree-cut");
    ASSERT_TRUE(app.Start("tree-cut"));
    Connect(app, "e2e-mini-cut", "secret");
    RemoteGoTo(app, "/down");

    app.Mark();
    TransferTree(app, false, {"tree"}, Totals(2, 2), app.dir, "/down");
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(LastTotals(lines), Totals(2, 2)) << Joined(lines);
    EXPECT_EQ(Count(lines, CatalogueText(MSG_RECEIVE_INCOMPLETE, "b.bin", "40000", "100000")), 1) << Joined(lines);
    EXPECT_EQ(Count(lines, CatalogueText(MSG_TREE_FAILED, 1L)), 1) << Joined(lines);
    EXPECT_EQ(ReadBytes(app.dir + "\\tree\\a.txt"), "a");
    EXPECT_EQ(ReadBytes(app.dir + "\\tree\\b.bin"), big.substr(0, 40000));
    EXPECT_EQ(ReadBytes(app.dir + "\\tree\\sub\\c.txt"), "c");
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}
