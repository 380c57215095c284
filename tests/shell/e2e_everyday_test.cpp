// A user's everyday session with the real tarn.exe: names with blanks at
// their ends, a batch in which one file fails, leaving the password prompt,
// a session the server closes while idle and one kept open by NOOP, the
// true time of a tree of small files, and where the temporary files live.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>

#include "log/log.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

const RealServer& Vsftpd() { return kRealServers[0]; }

void Connect(TarnApp& app, const std::string& folder, const std::string& password = kServerPassword)
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith(folder, password));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();
}

int Count(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), TarnApp::Line(line)));
}

std::string Bytes(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 7)) & 0xFF);
    return s;
}

// The temporary files of TARN's kind (DIR*.tmp, DSP*.tmp) in a folder.
std::vector<std::string> TempFilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const char* pattern : {"\\DIR*.tmp", "\\DSP*.tmp"}) {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((dir + pattern).c_str(), &found);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(h, &found));
        FindClose(h);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// A file whose name begins with a blank: the listing keeps the blank, RETR
// sends it, and the file arrives under that name byte for byte.
TEST(EverydayNames, ANameWithALeadingBlankIsReceivedByteForByte)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-lead", ServerPort(Vsftpd()), false);
    const std::string root = ServerRoot(Vsftpd(), false);
    const std::string content = Bytes(3000, 1);
    ASSERT_TRUE(WriteBytes(root + "\\ lead.txt", content));
    long log = ServerLogSize();
    TarnApp app;
    ASSERT_TRUE(app.Start("lead-blank"));
    Connect(app, "e2e-lead");
    ASSERT_TRUE(Contains(app.Items(IDC_REMOTE_FILES), " lead.txt")) << Joined(app.Items(IDC_REMOTE_FILES));
    app.Mark();
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {" lead.txt"}));
    app.Click(IDC_RECEIVE);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), " lead.txt"); }))
        << Joined(app.NewLines());
    app.Settle();
    EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\ lead.txt"), content));
    EXPECT_TRUE(Contains(ServerCommandsSince(log), "RETR  lead.txt")) << Joined(ServerCommandsSince(log));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\ lead.txt").c_str());
}

// A name that ends with blanks and a dot, which Windows cannot keep: RETR
// names it exactly, and it is received under the name Windows keeps, with
// one line that says so.
TEST(EverydayNames, ANameWindowsCannotKeepIsReceivedUnderTheNameItKeeps)
{
    const std::string name = "trail. ";
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"), Hear(),
                         Say("257 \"/\" is current\r\n"), Hear(), Say("214 help ok\r\n"), Hear(),
                         Say("215 UNIX Type: L8\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
                         Say("150 listing\r\n"), DataConnect(),
                         DataSay("-rw-r--r--   1 ftp      ftp             5 Jan  1 12:00 " + name + "\r\n"), DataClose(),
                         Say("226 done\r\n"), Hear(), Say("200 Type set\r\n"), Hear(), Say("200 PORT ok\r\n"),
                         Hear(), Say("150 here\r\n"), DataConnect(), DataSay("12345"), DataClose(),
                         Say("226 done\r\n"), Hear(), Say("221 Goodbye.\r\n"), Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-trail", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("trail-blank"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-trail", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), name); }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();
    app.Mark();
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {name}));
    app.Click(IDC_RECEIVE);
    const std::string said = CatalogueText(MSG_LOCAL_NAME_KEPT, name.c_str(), "trail");
    EXPECT_TRUE(app.WaitLogged(said)) << Joined(app.NewLines());
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), "trail"); }))
        << Joined(app.NewLines());
    app.Settle();
    EXPECT_EQ(Count(app.NewLines(), said), 1) << Joined(app.NewLines());
    EXPECT_EQ(ReadBytes(app.dir + "\\trail"), "12345");
    EXPECT_TRUE(Contains(server.Heard(), "RETR " + name)) << Joined(server.Heard());
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Three files selected, the first gone from the server since it was listed:
// 550 for it, the other two arrive whole, and the end says one failed.
TEST(EverydayBatch, AFileMissingOnTheServerLeavesTheOthersReceived)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-batch", ServerPort(Vsftpd()), false, "/batch");
    const std::string dir = ServerRoot(Vsftpd(), false) + "\\batch";
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::vector<std::string> names = {"a-gone.txt", "b.bin", "c.bin"};
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(WriteBytes(dir + "\\" + names[i], Bytes(5000 + 1000 * i, static_cast<unsigned>(i))));
    long log = ServerLogSize();
    TarnApp app;
    ASSERT_TRUE(app.Start("batch"));
    Connect(app, "e2e-batch");
    ASSERT_EQ(app.Items(IDC_REMOTE_FILES), names);
    ASSERT_TRUE(DeleteFileA((dir + "\\a-gone.txt").c_str()));
    app.Mark();
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, names));
    app.Click(IDC_RECEIVE);
    const std::string failed = CatalogueText(MSG_BATCH_FAILED, 1L, 3L);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), "c.bin"); }));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    app.Settle(1000);
    EXPECT_EQ(Count(app.NewLines(), failed), 1) << Joined(app.NewLines());
    for (size_t i = 1; i < names.size(); ++i)
        EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\" + names[i]), Bytes(5000 + 1000 * i, static_cast<unsigned>(i))))
            << names[i];
    EXPECT_EQ(GetFileAttributesA((app.dir + "\\a-gone.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    std::vector<std::string> wire = ServerCommandsSince(log);
    for (const std::string& n : names)
        EXPECT_TRUE(Contains(wire, "RETR " + n)) << Joined(wire);
    EXPECT_TRUE(app.Enabled(IDC_DISCONNECT));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    RemoveTree(dir);
}

// "Need a password:" left with Cancel: the attempt ends with one line, no
// PASS goes out, and Connect can be pressed again.
TEST(EverydayPassword, CancelInThePromptEndsTheConnectAttempt)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-no-password", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("no-password"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-no-password", ""));
    std::string prompt = app.CancelInput();
    EXPECT_EQ(prompt, CatalogueText(PROMPT_PASSWORD));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 5000)) << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(Count(lines, CatalogueText(MSG_PASSWORD_CANCELLED)), 1) << Joined(lines);
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
    EXPECT_FALSE(app.Enabled(IDC_ABORT));
    EXPECT_EQ(app.Title(), "TARN");
    for (const std::string& heard : server.Heard())
        EXPECT_NE(heard.rfind("PASS", 0), 0u) << heard;
    // No prompt comes back.
    EXPECT_EQ(app.WaitDialog(IDC_INPUT_TEXT, 1000), nullptr);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// vsftpd closes a session idle for five seconds: TARN, idle, shows the
// server's 421 and ends the session within moments of the close.
TEST(EverydayIdle, AServerClosingTheIdleSessionIsNoticed)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-idle", ServerPort(kIdleServer), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("idle-close"));
    app.Mark();
    Connect(app, "e2e-idle");
    DWORD listed = GetTickCount();
    // The server's time-out, then at most 5 seconds until TARN shows the end.
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, kIdleServerTimeoutMs + 5000))
        << Joined(app.NewLines());
    DWORD noticed = GetTickCount() - listed;
    EXPECT_LE(noticed, kIdleServerTimeoutMs + 5000u);
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(Count(lines, "421 Timeout."), 1) << Joined(lines);
    EXPECT_EQ(Count(lines, CatalogueText(MSG_CONNECTION_LOST)), 1) << Joined(lines);
    EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
    EXPECT_EQ(app.Title(), "TARN");
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A keep-alive of 2 seconds, set in the host dialog and saved: the session
// with the same server outlives its 5-second idle time-out threefold, NOOP
// goes out while TARN is idle, and its lines are not shown.
TEST(EverydayIdle, KeepAliveHoldsAnIdleSessionOpen)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-keepalive", ServerPort(kIdleServer), false);
    const std::string content = Bytes(2000, 7);
    ASSERT_TRUE(WriteBytes(ServerRoot(kIdleServer, false) + "\\kept.bin", content));
    long log = VsftpdLogSize(kIdleServer);
    TarnApp app;
    ASSERT_TRUE(app.Start("keepalive"));
    app.Mark();
    app.Click(IDC_CONNECT);
    HWND dialog = app.WaitDialog(IDC_HOST_FOLDER);
    ASSERT_NE(dialog, nullptr);
    HWND edit = FindWindowExA(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("e2e-keepalive"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    HWND keepAlive = GetDlgItem(dialog, IDC_HOST_KEEPALIVE);
    ASSERT_NE(keepAlive, nullptr);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return SendMessageA(keepAlive, WM_GETTEXTLENGTH, 0, 0) > 0; }, 5000));
    SendMessageA(keepAlive, EM_SETSEL, 0, -1);
    SendMessageA(keepAlive, WM_CHAR, '2', 1);
    SendMessageA(GetDlgItem(dialog, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerPassword));
    SendMessageA(GetDlgItem(dialog, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << Joined(app.NewLines());
    app.Settle();
    EXPECT_EQ(RegText("e2e-keepalive", "KEEPALIVE"), "2");
    app.Mark();
    Sleep(3 * kIdleServerTimeoutMs);
    EXPECT_EQ(app.Title(), "TARN 127.0.0.1") << Joined(app.NewLines());
    EXPECT_TRUE(app.Enabled(IDC_DISCONNECT));
    std::vector<std::string> wire = VsftpdCommandsSince(kIdleServer, log);
    EXPECT_GE(std::count(wire.begin(), wire.end(), "NOOP"), 3) << Joined(wire);
    for (const std::string& line : app.NewLines()) {
        EXPECT_EQ(line.find("NOOP"), std::string::npos) << line;
        EXPECT_NE(line.rfind("200 ", 0), 0u) << line;
    }
    // The session is alive: a file comes.
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {"kept.bin"}));
    app.Click(IDC_RECEIVE);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), "kept.bin"); }))
        << Joined(app.NewLines());
    app.Settle();
    EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\kept.bin"), content));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A tree of ten small files received in well under a second on loopback:
// its totals line gives the time it took, not a second for each file.
TEST(EverydayTimes, ATreeOfTenSmallFilesReportsItsTrueTime)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-ten", ServerPort(Vsftpd()), false, "/timed");
    const std::string top = ServerRoot(Vsftpd(), false) + "\\timed";
    RemoveTree(top);
    CreateDirectoryA(top.c_str(), nullptr);
    CreateDirectoryA((top + "\\ten").c_str(), nullptr);
    for (int i = 0; i < 10; ++i) {
        std::string bytes = Bytes(400 + 10 * i, static_cast<unsigned>(i));
        ASSERT_TRUE(WriteBytes(top + "\\ten\\f" + std::to_string(i) + ".txt", bytes));
    }
    TarnApp app;
    ASSERT_TRUE(app.Start("ten-files"));
    Connect(app, "e2e-ten");
    app.Mark();
    ASSERT_TRUE(app.Select(IDC_REMOTE_DIRS, {"ten"}));
    app.Click(IDC_RECEIVE);
    // "N bytes received in S seconds, (R Kbytes/sec)": the tree's totals.
    const std::string marker = " bytes received in ";
    auto totals = [&](const std::string& l) {
        size_t at = l.find(marker);
        return at != std::string::npos && at > 0 && l.find_first_not_of("0123456789") == at;
    };
    ASSERT_TRUE(app.WaitLogged(totals, 60000)) << Joined(app.NewLines());
    app.Settle();
    double seconds = -1;
    for (const std::string& l : app.NewLines())
        if (totals(l))
            seconds = atof(l.c_str() + l.find(marker) + marker.size());
    EXPECT_GE(seconds, 0.0);
    EXPECT_LT(seconds, 3.0) << Joined(app.NewLines());
    EXPECT_EQ(TreeContents(app.dir + "\\ten").size(), 10u);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    RemoveTree(top);
}

// The listing and view files live in the system's temporary folder while
// TARN runs, never in the folder it started in, and go at its exit.
TEST(EverydayTempFiles, NoTemporaryFilesInTheStartUpFolder)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-temp", ServerPort(Vsftpd()), false);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string tempDir = temp;
    if (!tempDir.empty() && tempDir.back() == '\\')
        tempDir.pop_back();
    std::vector<std::string> before = TempFilesIn(tempDir);
    TarnApp app;
    ASSERT_TRUE(app.Start("temp-files"));
    Connect(app, "e2e-temp");
    EXPECT_EQ(TempFilesIn(app.dir), std::vector<std::string>()) << app.dir;
    std::vector<std::string> during = TempFilesIn(tempDir);
    std::vector<std::string> added;
    std::set_difference(during.begin(), during.end(), before.begin(), before.end(), std::back_inserter(added));
    EXPECT_EQ(added.size(), 2u) << Joined(during);
    for (const std::string& item : app.Items(IDC_LOCAL_FILES))
        EXPECT_NE(item.substr(item.size() > 4 ? item.size() - 4 : 0), ".tmp") << item;
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    for (const std::string& name : added)
        EXPECT_EQ(GetFileAttributesA((tempDir + "\\" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
}
