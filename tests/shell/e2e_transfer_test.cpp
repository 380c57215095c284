// The real tarn.exe moving files with a real server: list, change directory,
// receive and send the selected files, view, refresh by mask, and stopping a
// transfer with Abort, Disconnect and Exit.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "log/log.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

const RealServer& Vsftpd() { return kRealServers[0]; }

// Whether `wanted` occur in `lines` in this order (others may come between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted)
{
    size_t at = 0;
    for (const std::string& l : lines)
        if (at < wanted.size() && l == TarnApp::Line(wanted[at]))
            ++at;
    return at == wanted.size();
}

std::string RawEntry(unsigned id)
{
    char text[512];
    LoadCatalogue(id, text, sizeof text);
    return text;
}

void Connect(TarnApp& app, const std::string& folder = "e2e-vsftpd")
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith(folder, kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();
}

// Waits for the remote directory label to show path, and the lists to settle.
bool WaitRemoteDir(TarnApp& app, const std::string& path)
{
    bool ok = TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_DIR_TEXT) == path; });
    app.Settle();
    return ok;
}

struct TransferTest : ::testing::Test {
    RegistryGuard registry;
    std::string root = ServerRoot(Vsftpd(), false);
    long serverLog = 0;
    void SetUp() override
    {
        WriteTestOptions("cmd /c >viewed.txt type");
        WriteHostProfile("e2e-vsftpd", ServerPort(Vsftpd()), false);
        serverLog = ServerLogSize();
    }
    // The commands the server received since the test began.
    std::vector<std::string> Wire() const { return ServerCommandsSince(serverLog); }
};

// Names longer than a local name can be, in a real listing: a receive of
// such a file, and a tree receive of such a directory, refuse the entry and
// name it (shortened) instead of an empty name; nothing is asked of the server.
TEST(LongNames, AreRefusedByName)
{
    const std::string file = "f" + std::string(299, 'n'), dir = "d" + std::string(299, 'm');
    const std::string listing = "-rw-r--r--   1 ftp      ftp          1234 Jan  1 12:00 " + file + "\r\n" +
                                "drwxr-xr-x   2 ftp      ftp          4096 Jan  1 12:00 " + dir + "\r\n";
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"),
                         Hear(), Say("257 \"/\" is current\r\n"), Hear(), Say("214 help ok\r\n"), Hear(),
                         Say("215 UNIX Type: L8\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
                         Say("150 listing\r\n"), DataConnect(), DataSay(listing),
                         DataClose(), Say("226 done\r\n"), Hear(), Say("221 Goodbye.\r\n"), Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-long-names", server.Port(), false);

    TarnApp app;
    ASSERT_TRUE(app.Start("long-names"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-long-names", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), file); }))
        << Joined(app.Items(IDC_REMOTE_FILES)) << Joined(server.Heard());
    app.Settle();
    auto refused = [](const std::string& name) {
        return [name](const std::string& line) {
            return line.rfind(TarnApp::Line(CatalogueText(164, name.substr(0, 40).c_str())).substr(0, 52), 0) == 0;
        };
    };
    app.Mark();
    app.Select(IDC_REMOTE_FILES, {file});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(app.WaitLogged(refused(file))) << Joined(app.NewLines());
    app.Settle();
    app.SelectNone(IDC_REMOTE_FILES);
    app.Select(IDC_REMOTE_DIRS, {dir});
    app.Mark();
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(app.WaitLogged(refused(dir))) << Joined(app.NewLines());
    app.Settle();
    EXPECT_FALSE(DirExists(app.dir + "\\" + dir.substr(0, 200)));
    std::vector<std::string> heard = server.Heard();
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(),
                            [](const std::string& l) { return l.rfind("RETR", 0) == 0 || l.rfind("CWD", 0) == 0; }),
              0)
        << Joined(heard);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Receive with nothing selected and a typed remote path: the file lands in
// the local folder under the path's last component, never where the path
// would lead locally; a typed plain name is kept as it is.
TEST_F(TransferTest, ATypedRemotePathIsReceivedIntoTheLocalFolder)
{
    const std::string deep = Pattern(5000, 3), top = "at the top\r\n";
    CreateDirectoryA((root + "\\e2e-typed").c_str(), nullptr);
    WriteBytes(root + "\\e2e-typed\\e2e-deep.bin", deep);
    WriteBytes(root + "\\e2e-top.txt", top);
    struct Case {
        const char* typed;
        const char* local;
        const std::string* bytes;
    } cases[] = {
        {"/e2e-typed/e2e-deep.bin", "e2e-deep.bin", &deep},
        {"e2e-typed/e2e-deep.bin", "e2e-deep.bin", &deep},
        {"/e2e-top.txt", "e2e-top.txt", &top},
        {"e2e-top.txt", "e2e-top.txt", &top},
    };
    TarnApp app;
    app.dir = TempDirectory("typed-path");
    ASSERT_TRUE(app.Start("typed-path"));
    Connect(app);
    const std::string driveRoot = app.dir.substr(0, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        DeleteFileA((app.dir + "\\" + c.local).c_str());
        app.Mark();
        app.SelectNone(IDC_REMOTE_FILES);
        app.SelectNone(IDC_REMOTE_DIRS);
        app.Click(IDC_RECEIVE);
        app.Answer(c.typed);
        EXPECT_TRUE(app.WaitLogged(std::string("RETR ") + c.typed)) << Joined(app.NewLines());
        EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\" + c.local) == *c.bytes; }))
            << Joined(app.NewLines());
        app.Settle();
        EXPECT_TRUE(Contains(app.Items(IDC_LOCAL_FILES), c.local)) << Joined(app.Items(IDC_LOCAL_FILES));
        EXPECT_EQ(GetFileAttributesA((driveRoot + c.local).c_str()), INVALID_FILE_ATTRIBUTES);
        DeleteFileA((driveRoot + c.local).c_str());
        EXPECT_FALSE(DirExists(app.dir + "\\e2e-typed"));
    }
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-typed\\e2e-deep.bin").c_str());
    RemoveDirectoryA((root + "\\e2e-typed").c_str());
    DeleteFileA((root + "\\e2e-top.txt").c_str());
}

TEST_F(TransferTest, ListChangeDirectoryReceiveSendViewAndMask)
{
    const std::string get = root + "\\e2e-get";
    RemoveTree(get);
    RemoveTree(root + "\\e2e-put");
    CreateDirectoryA(get.c_str(), nullptr);
    CreateDirectoryA((get + "\\sub").c_str(), nullptr);
    const std::string binary = Pattern(150000, 7);
    const std::string text = "first line\r\nsecond line\r\n";
    WriteBytes(get + "\\bin.dat", binary);
    WriteBytes(get + "\\b c.txt", "blank in the name\r\n");
    WriteBytes(get + "\\text.txt", text);
    WriteBytes(get + "\\sub\\inner.txt", "inner");

    TarnApp app;
    app.dir = TempDirectory("xfer");
    const std::string upload = Pattern(70001, 11);
    WriteBytes(app.dir + "\\up1.bin", upload);
    WriteBytes(app.dir + "\\up 2.txt", "sent with a blank\r\n");
    ASSERT_TRUE(app.Start("xfer"));
    Connect(app);
    EXPECT_TRUE(Contains(app.Items(IDC_REMOTE_DIRS), "e2e-get")) << Joined(app.Items(IDC_REMOTE_DIRS));

    // GoTo the selected directory, then in and out by double-clicks.
    app.Select(IDC_REMOTE_DIRS, {"e2e-get"});
    app.Click(IDC_REMOTE_GOTO);
    ASSERT_TRUE(WaitRemoteDir(app, "/e2e-get")) << app.Text(IDC_REMOTE_DIR_TEXT);
    EXPECT_EQ(app.Items(IDC_REMOTE_FILES), (std::vector<std::string>{"b c.txt", "bin.dat", "text.txt"}));
    EXPECT_TRUE(Contains(app.Items(IDC_REMOTE_DIRS), "sub")) << Joined(app.Items(IDC_REMOTE_DIRS));
    app.Select(IDC_REMOTE_DIRS, {"sub"});
    app.Notify(IDC_REMOTE_DIRS, LBN_DBLCLK);
    ASSERT_TRUE(WaitRemoteDir(app, "/e2e-get/sub"));
    EXPECT_EQ(app.Items(IDC_REMOTE_FILES), std::vector<std::string>{"inner.txt"});
    app.SelectNone(IDC_REMOTE_DIRS);
    app.Click(IDC_REMOTE_GOTO);
    app.Answer("/e2e-get");
    ASSERT_TRUE(WaitRemoteDir(app, "/e2e-get"));

    // Receive two selected files, byte for byte.
    app.Mark();
    app.Select(IDC_REMOTE_FILES, {"b c.txt", "bin.dat"});
    app.Click(IDC_RECEIVE);
    ASSERT_TRUE(TarnApp::WaitFor([&] {
        std::vector<std::string> local = app.Items(IDC_LOCAL_FILES);
        return Contains(local, "b c.txt") && Contains(local, "bin.dat");
    }));
    app.Settle();
    EXPECT_EQ(ReadBytes(app.dir + "\\bin.dat"), binary);
    EXPECT_EQ(ReadBytes(app.dir + "\\b c.txt"), "blank in the name\r\n");
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(InOrder(lines, {CatalogueText(99, "b c.txt", "b c.txt", 1, 2), "RETR b c.txt",
                                CatalogueText(99, "bin.dat", "bin.dat", 2, 2), "RETR bin.dat"}))
        << Joined(lines);

    // View: the file arrives in ASCII type in the view file, and the viewer
    // gets that file.
    app.Select(IDC_REMOTE_FILES, {"text.txt"});
    app.Click(IDC_REMOTE_VIEW);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\viewed.txt") == text; }))
        << ReadBytes(app.dir + "\\viewed.txt");
    app.Settle();

    // Refresh by mask: Enter in the remote mask lists only what matches.
    app.Type(IDC_REMOTE_MASK, "*.txt");
    app.PressEnter(IDC_REMOTE_MASK);
    EXPECT_TRUE(TarnApp::WaitFor([&] {
        return app.Items(IDC_REMOTE_FILES) == std::vector<std::string>{"b c.txt", "text.txt"};
    })) << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();
    // Emptied again, and the focus moved on: the whole list comes back.
    HWND mask = app.Control(IDC_REMOTE_MASK);
    SendMessageA(mask, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    SendMessageA(mask, EM_SETMODIFY, TRUE, 0);
    app.Click(IDC_MODE_BINARY);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES).size() == 3; }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();

    // Send two selected files into a directory made for them.
    app.SelectNone(IDC_REMOTE_DIRS);
    app.Click(IDC_REMOTE_GOTO);
    app.Answer("/");
    ASSERT_TRUE(WaitRemoteDir(app, "/"));
    app.Click(IDC_REMOTE_CREATE);
    app.Answer("e2e-put");
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_DIRS), "e2e-put"); }));
    app.Settle();
    app.Select(IDC_REMOTE_DIRS, {"e2e-put"});
    app.Notify(IDC_REMOTE_DIRS, LBN_DBLCLK);
    ASSERT_TRUE(WaitRemoteDir(app, "/e2e-put"));
    app.Select(IDC_LOCAL_FILES, {"up 2.txt", "up1.bin"});
    app.Click(IDC_SEND);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES).size() == 2; }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();
    EXPECT_EQ(ReadBytes(root + "\\e2e-put\\up1.bin"), upload);
    EXPECT_EQ(ReadBytes(root + "\\e2e-put\\up 2.txt"), "sent with a blank\r\n");

    // Remove what was sent: delete both selected files, then the directory.
    app.Select(IDC_REMOTE_FILES, {"up 2.txt", "up1.bin"});
    app.Click(IDC_REMOTE_DELETE);
    EXPECT_EQ(app.AnswerBox(IDYES), CatalogueText(95, "up 2.txt"));
    EXPECT_EQ(app.AnswerBox(IDYES), CatalogueText(95, "up1.bin"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES).empty(); }));
    app.Settle();
    app.Click(IDC_REMOTE_GOTO);
    app.Answer("/");
    ASSERT_TRUE(WaitRemoteDir(app, "/"));
    app.Select(IDC_REMOTE_DIRS, {"e2e-put"});
    app.Click(IDC_REMOTE_REMOVE);
    app.AnswerBox(IDYES);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !Contains(app.Items(IDC_REMOTE_DIRS), "e2e-put"); }));
    EXPECT_FALSE(DirExists(root + "\\e2e-put"));
    app.Settle();

    EXPECT_TRUE(InOrder(Wire(), {"CWD e2e-get", "CWD sub", "CWD /e2e-get", "TYPE I", "RETR b c.txt", "RETR bin.dat",
                                 "TYPE A", "RETR text.txt", "LIST *.txt", "MKD e2e-put", "CWD e2e-put",
                                 "STOR up 2.txt", "STOR up1.bin", "DELE up 2.txt", "DELE up1.bin",
                                 "RMD e2e-put"}))
        << Joined(Wire());
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_TRUE(InOrder(Wire(), {"RMD e2e-put", "QUIT"}));
    RemoveTree(get);
}

// Counts of PORT and PASV among the commands on the wire.
int CountCommand(const std::vector<std::string>& wire, const std::string& verb)
{
    return static_cast<int>(std::count_if(wire.begin(), wire.end(),
                                          [&](const std::string& c) { return c.compare(0, verb.size(), verb) == 0; }));
}

// Passive mode is a profile option: a profile stored without it is active;
// checked and saved in the host dialog it makes every data connection
// passive, also after the next connect with the stored profile.
TEST_F(TransferTest, PassiveModeCheckedInTheHostDialogIsSavedAndUsed)
{
    const std::string content = Pattern(200001, 23);
    WriteBytes(root + "\\e2e-pasv.bin", content);
    DeleteFileA((root + "\\e2e-pasv-up.bin").c_str());
    const std::string upload = Pattern(70001, 29);
    TarnApp app;
    app.dir = TempDirectory("pasv");
    WriteBytes(app.dir + "\\e2e-pasv-up.bin", upload);
    ASSERT_TRUE(app.Start("pasv"));

    // Stored without PASV: active, as always.
    Connect(app);
    EXPECT_GE(CountCommand(Wire(), "PORT "), 1) << Joined(Wire());
    EXPECT_EQ(CountCommand(Wire(), "PASV"), 0) << Joined(Wire());
    app.Click(IDC_DISCONNECT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN"; }));
    app.Settle();

    // Check Passive mode, Save, OK.
    serverLog = ServerLogSize();
    app.Click(IDC_CONNECT);
    HWND dialog = app.WaitDialog(IDC_HOST_FOLDER);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(IsDlgButtonChecked(dialog, IDC_HOST_PASSIVE), BST_CHECKED);
    HWND edit = FindWindowExA(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("e2e-vsftpd"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    auto hostField = [&] {
        char text[80] = "";
        SendMessageA(GetDlgItem(dialog, IDC_HOST_NAME), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return std::string(text);
    };
    ASSERT_TRUE(TarnApp::WaitFor([&] { return hostField() == "127.0.0.1"; }, 5000)) << hostField();
    SendMessageA(GetDlgItem(dialog, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerPassword));
    PostMessageA(GetDlgItem(dialog, IDC_HOST_PASSIVE), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return IsDlgButtonChecked(dialog, IDC_HOST_PASSIVE) == BST_CHECKED; }, 5000));
    PostMessageA(GetDlgItem(dialog, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return RegText("e2e-vsftpd", "PASV") == "1"; }, 5000));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();

    // Receive and send, byte for byte.
    app.Select(IDC_REMOTE_FILES, {"e2e-pasv.bin"});
    app.Click(IDC_RECEIVE);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), "e2e-pasv.bin"); }));
    app.Settle();
    EXPECT_EQ(ReadBytes(app.dir + "\\e2e-pasv.bin"), content);
    app.Select(IDC_LOCAL_FILES, {"e2e-pasv-up.bin"});
    app.Click(IDC_SEND);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "e2e-pasv-up.bin"); }));
    app.Settle();
    EXPECT_EQ(ReadBytes(root + "\\e2e-pasv-up.bin"), upload);
    std::vector<std::string> wire = Wire();
    EXPECT_TRUE(InOrder(wire, {"PASV", "LIST", "PASV", "RETR e2e-pasv.bin", "PASV", "STOR e2e-pasv-up.bin"}))
        << Joined(wire);
    EXPECT_EQ(CountCommand(wire, "PORT "), 0) << Joined(wire);

    // Reconnect with the stored profile: still passive.
    app.Click(IDC_DISCONNECT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN"; }));
    app.Settle();
    serverLog = ServerLogSize();
    Connect(app);
    wire = Wire();
    EXPECT_TRUE(InOrder(wire, {"PASV", "LIST"})) << Joined(wire);
    EXPECT_EQ(CountCommand(wire, "PORT "), 0) << Joined(wire);

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-pasv.bin").c_str());
    DeleteFileA((root + "\\e2e-pasv-up.bin").c_str());
}

// Whether another program could open the file for itself alone, which it
// cannot while tarn still has it open.
bool ClosedByEveryone(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

struct StopTest : TransferTest {
    std::string big = root + "\\e2e-big";
    void SetUp() override
    {
        TransferTest::SetUp();
        RemoveTree(big);
        CreateDirectoryA(big.c_str(), nullptr);
        ASSERT_TRUE(MakeSparseFile(big + "\\big.bin", 1u << 30));
        WriteBytes(big + "\\small.txt", "small\r\n");
    }
    void TearDown() override { RemoveTree(big); }

    // Connects, enters e2e-big and starts receiving big.bin; returns once a
    // few megabytes have arrived.
    void StartBigReceive(TarnApp& app)
    {
        if (app.Title() == "TARN")
            Connect(app);
        app.SelectNone(IDC_REMOTE_DIRS);
        app.Click(IDC_REMOTE_GOTO);
        app.Answer("/e2e-big");
        ASSERT_TRUE(WaitRemoteDir(app, "/e2e-big"));
        DeleteFileA((app.dir + "\\big.bin").c_str());
        app.Select(IDC_REMOTE_FILES, {"big.bin"});
        app.Click(IDC_RECEIVE);
        ASSERT_TRUE(TarnApp::WaitFor([&] { return SizeOf(app.dir + "\\big.bin") > (4u << 20); }));
        ASSERT_TRUE(app.Enabled(IDC_ABORT));
    }
};

TEST_F(StopTest, AbortDuringALargeReceive)
{
    TarnApp app;
    ASSERT_TRUE(app.Start("abort-receive"));
    StartBigReceive(app);
    EXPECT_FALSE(Contains(app.Items(IDC_LOCAL_FILES), "big.bin"));
    app.Mark();
    app.Click(IDC_ABORT);
    ASSERT_TRUE(app.WaitLogged(CatalogueText(11))) << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(InOrder(lines, {CatalogueText(8), CatalogueText(9), CatalogueText(5), CatalogueText(27, 426),
                                CatalogueText(11)}))
        << Joined(lines);
    // The local file is closed and the local lists were read again.
    EXPECT_TRUE(ClosedByEveryone(app.dir + "\\big.bin"));
    DWORD partial = SizeOf(app.dir + "\\big.bin");
    EXPECT_LT(partial, 1u << 30);
    EXPECT_TRUE(Contains(app.Items(IDC_LOCAL_FILES), "big.bin"));
    EXPECT_FALSE(app.Enabled(IDC_ABORT));
    Sleep(300);
    EXPECT_EQ(SizeOf(app.dir + "\\big.bin"), partial);

    // The next command works on the same connection.
    app.Select(IDC_REMOTE_FILES, {"small.txt"});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\small.txt") == "small\r\n"; }));
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The byte counters: a transfer stopped by Abort leaves its field empty, a
// send as well as a receive.
TEST_F(StopTest, AbortedTransfersEmptyTheirByteCounter)
{
    // The four texts of ID 2510: the status lines, then sent and received bytes.
    auto counter = [](const TarnApp& app, bool sent) {
        int seen = 0;
        for (HWND c = GetWindow(app.main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (GetDlgCtrlID(c) != IDC_STATUS)
                continue;
            if (seen++ == (sent ? 2 : 3)) {
                char text[32] = "";
                GetWindowTextA(c, text, sizeof text);
                return std::string(text);
            }
        }
        return std::string("?");
    };
    TarnApp app;
    app.dir = TempDirectory("abort-counters");
    ASSERT_TRUE(MakeSparseFile(app.dir + "\\e2e-up-big.bin", 1u << 30));
    ASSERT_TRUE(app.Start("abort-counters"));
    StartBigReceive(app);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !counter(app, false).empty(); }));
    app.Click(IDC_ABORT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return counter(app, false).empty(); }, 5000)) << counter(app, false);
    app.Settle();

    // Sent into the server's root, where the test user may write.
    app.SelectNone(IDC_REMOTE_DIRS);
    app.Click(IDC_REMOTE_GOTO);
    app.Answer("/");
    ASSERT_TRUE(WaitRemoteDir(app, "/"));
    const std::string sent = root + "\\e2e-up-big.bin";
    ASSERT_TRUE(app.Select(IDC_LOCAL_FILES, {"e2e-up-big.bin"})) << Joined(app.Items(IDC_LOCAL_FILES));
    app.Click(IDC_SEND);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return SizeOf(sent) > (256u << 10); }));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !counter(app, true).empty(); }));
    app.Click(IDC_ABORT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return counter(app, true).empty(); }, 5000)) << counter(app, true);
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA(sent.c_str());
}

TEST_F(StopTest, DisconnectAndExitDuringATransfer)
{
    TarnApp app;
    ASSERT_TRUE(app.Start("disconnect-receive"));
    StartBigReceive(app);
    app.Mark();
    app.Click(IDC_DISCONNECT);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN" && app.Enabled(IDC_CONNECT); }));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(InOrder(lines, {RawEntry(4), CatalogueText(5), CatalogueText(27, 426), "QUIT"})) << Joined(lines);
    EXPECT_TRUE(InOrder(Wire(), {"RETR big.bin", "QUIT"})) << Joined(Wire());
    EXPECT_TRUE(ClosedByEveryone(app.dir + "\\big.bin"));
    EXPECT_TRUE(app.Items(IDC_REMOTE_FILES).empty());
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
    EXPECT_FALSE(app.Enabled(IDC_ABORT));
    EXPECT_EQ(app.Text(IDC_REMOTE_HOST_TEXT), "");

    // Nothing stayed locked: connect again, receive again, and Exit in the middle.
    serverLog = ServerLogSize();
    StartBigReceive(app);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_TRUE(InOrder(Wire(), {"RETR big.bin", "QUIT"})) << Joined(Wire());
    EXPECT_TRUE(ClosedByEveryone(app.dir + "\\big.bin"));
}

}  // namespace
