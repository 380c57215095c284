// The real tarn.exe over a long session with servers that misbehave: a
// transfer cut off by the server is reported as failed, never as a success.
#include <gtest/gtest.h>

#include <windows.h>
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

constexpr unsigned kAnnounced = 1048576, kCutAt = 327680;

// Logon to a scripted UNIX server and its first listing: `rows`, then the
// final reply `end`; then `rest`.
std::vector<ScriptStep> LogonListing(const std::string& rows, const char* end, std::vector<ScriptStep> rest)
{
    std::vector<ScriptStep> steps = {Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(),
                                     Say("230 in\r\n"), Hear(), Say("257 \"/\" is current\r\n"), Hear(),
                                     Say("214 help ok\r\n"), Hear(), Say("215 UNIX Type: L8\r\n"), Hear(),
                                     Say("200 PORT ok\r\n"), Hear(), Say("150 listing\r\n"), DataConnect(),
                                     DataSay(rows), DataClose(), Say(end)};
    steps.insert(steps.end(), rest.begin(), rest.end());
    return steps;
}

// Logon and the first listing (big.bin alone), then `rest`.
std::vector<ScriptStep> AfterLogon(std::vector<ScriptStep> rest)
{
    return LogonListing("-rw-r--r--   1 ftp      ftp       1048576 Jan  1 12:00 big.bin\r\n", "226 done\r\n", rest);
}

bool EndsWith(const std::string& line, const std::string& tail)
{
    return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

bool AnySucceeded(const std::vector<std::string>& lines)
{
    for (const std::string& l : lines)
        if (EndsWith(l, "transfer succeeded"))
            return true;
    return false;
}

void ConnectTo(TarnApp& app, const std::string& folder)
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith(folder, "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "big.bin"); }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();
}

}  // namespace

// The server announces 1 MiB, sends less, then closes the data and the
// control connection without a final reply: the statistics line says
// failed, a line names the file with both numbers, and none claims success.
TEST(LongSession, AReceiveCutOffByTheServerIsReportedAsFailed)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(AfterLogon({Hear(), Say("200 Type set\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
                                    Say("150 Opening BINARY mode data connection for big.bin (1048576 bytes).\r\n"),
                                    DataConnect(), DataZeros(kCutAt), DataClose(), Drop()}));
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-cut-receive", server.Port(), false);
    TarnApp app;
    app.dir = TempDirectory("cut-receive");
    ASSERT_TRUE(app.Start("cut-receive"));
    ConnectTo(app, "e2e-cut-receive");
    app.Mark();
    app.Select(IDC_REMOTE_FILES, {"big.bin"});
    app.Click(IDC_RECEIVE);
    const std::string failed =
        TarnApp::Line(CatalogueText(MSG_RECEIVE_INCOMPLETE, "big.bin", std::to_string(kCutAt).c_str(),
                                    std::to_string(kAnnounced).c_str()));
    EXPECT_TRUE(app.WaitLogged(failed)) << Joined(app.NewLines()) << Joined(server.Heard());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_FALSE(AnySucceeded(lines)) << Joined(lines);
    bool statisticsFailed = false;
    for (const std::string& l : lines)
        statisticsFailed = statisticsFailed || EndsWith(l, "transfer failed");
    EXPECT_TRUE(statisticsFailed) << Joined(lines);
    EXPECT_EQ(ReadBytes(app.dir + "\\big.bin").size(), kCutAt);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The server takes part of a sent file and closes both connections: the
// file is named as failed on the server's side, and nothing claims success.
TEST(LongSession, ASendCutOffByTheServerIsReportedAsFailed)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(AfterLogon({Hear(), Say("200 Type set\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
                                    Say("150 Ok to send data.\r\n"), DataConnect(), DataHear(kCutAt / 4),
                                    DataClose(true), Drop()}));
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-cut-send", server.Port(), false);
    TarnApp app;
    app.dir = TempDirectory("cut-send");
    WriteBytes(app.dir + "\\up.bin", std::string(4 * kAnnounced, 'u'));
    ASSERT_TRUE(app.Start("cut-send"));
    ConnectTo(app, "e2e-cut-send");
    app.Mark();
    app.Select(IDC_LOCAL_FILES, {"up.bin"});
    app.Click(IDC_SEND);
    const std::string named = TarnApp::Line(CatalogueText(MSG_SEND_INCOMPLETE, "up.bin", "", "")).substr(0, 40);
    EXPECT_TRUE(app.WaitLogged([&](const std::string& l) { return l.rfind(named, 0) == 0; }))
        << Joined(app.NewLines()) << Joined(server.Heard());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_FALSE(AnySucceeded(lines)) << Joined(lines);
    for (const std::string& l : lines)
        EXPECT_EQ(l.find("4294967295"), std::string::npos) << l;
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The server ends the control connection: with a 421 in the middle of the
// first listing, and by closing it while the session is idle. The session
// ends as by Disconnect without QUIT: one line, Connect back, Disconnect
// and Abort off, the title "TARN", the remote lists as they were.
TEST(LongSession, ALostControlConnectionEndsTheSession)
{
    const std::string row = "-rw-r--r--   1 ftp      ftp       1048576 Jan  1 12:00 big.bin\r\n";
    const std::vector<ScriptStep> logon = {Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(),
                                           Say("230 in\r\n"), Hear(), Say("257 \"/\" is current\r\n"), Hear(),
                                           Say("214 help ok\r\n"), Hear(), Say("215 UNIX Type: L8\r\n"), Hear(),
                                           Say("200 PORT ok\r\n"), Hear(), Say("150 listing\r\n"), DataConnect(),
                                           DataSay(row)};
    struct Case {
        const char* name;
        std::vector<ScriptStep> end;
        bool listed;  // the listing was whole before the connection went
    } cases[] = {
        {"421 in the middle of a listing",
         {Say("421 Service not available, closing control connection.\r\n"), Drop(), Pause(300), DataClose()},
         false},
        {"closed while idle", {DataClose(), Say("226 done\r\n"), Pause(1500), Drop()}, true},
    };
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("lost-control"));
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptStep> steps = logon;
        steps.insert(steps.end(), c.end.begin(), c.end.end());
        ScriptServer server(steps);
        ASSERT_TRUE(server.Listening());
        WriteHostProfile("e2e-lost", server.Port(), false);
        app.Mark();
        app.Click(IDC_CONNECT);
        ASSERT_TRUE(app.ConnectWith("e2e-lost", "secret"));
        ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_CONNECT); }));
        if (c.listed) {
            ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "big.bin"); }));
        }
        std::vector<std::string> filesBefore = app.Items(IDC_REMOTE_FILES);
        EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 5000)) << Joined(app.NewLines());
        app.Settle();
        EXPECT_FALSE(app.Enabled(IDC_DISCONNECT));
        EXPECT_FALSE(app.Enabled(IDC_ABORT));
        EXPECT_EQ(app.Title(), "TARN");
        if (c.listed) {
            EXPECT_EQ(app.Items(IDC_REMOTE_FILES), filesBefore);
        }
        std::vector<std::string> lines = app.NewLines();
        int lost = 0;
        for (const std::string& l : lines)
            lost += l == TarnApp::Line(CatalogueText(MSG_CONNECTION_LOST)) ? 1 : 0;
        EXPECT_EQ(lost, 1) << Joined(lines);
        for (const std::string& l : server.Heard())
            EXPECT_NE(l, "QUIT");
        server.Stop();
    }
    // The program is usable: a new session logs on.
    std::vector<ScriptStep> whole = logon;
    whole.insert(whole.end(), {DataClose(), Say("226 done\r\n"), Hear(), Say("221 Goodbye.\r\n"), Silent()});
    ScriptServer again(whole);
    WriteHostProfile("e2e-again", again.Port(), false);
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-again", "secret"));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The lists fill while a listing arrives; a listing that the server then
// answers with a failure shows none of its names, as before it began.
TEST(LongSession, AListingTheServerFailsShowsNoneOfItsNames)
{
    std::string rows;
    char row[96];
    for (int i = 0; i < 5000; ++i) {
        wsprintfA(row, "-rw-r--r--   1 ftp      ftp             7 Jan  1 12:00 file-%05d.txt\r\n", i);
        rows += row;
    }
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(
        LogonListing(rows, "451 Local error in processing.\r\n", {Hear(), Say("221 Goodbye.\r\n"), Silent()}));
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-failed-list", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("failed-list"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-failed-list", "secret"));
    ASSERT_TRUE(app.WaitLogged(CatalogueText(MSG_DIRLIST_RESULT, 4))) << Joined(app.NewLines());
    app.Settle();
    EXPECT_EQ(app.Items(IDC_REMOTE_FILES).size(), 0u);
    EXPECT_EQ(app.Items(IDC_REMOTE_DIRS), std::vector<std::string>{".."});
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A server that lists out of order (as many send MLSD, or LIST in the file
// system's order): both lists end in the order the list box itself gives,
// every name once.
TEST(LongSession, AListingOutOfOrderEndsInTheListsOwnOrder)
{
    std::vector<std::string> files, dirs = {".."};
    std::string rows;
    char row[128];
    for (int i = 0; i < 3000; ++i) {
        int k = (i * 7919) % 3000;  // every number once, far from in order
        const char* stem = k % 3 == 0 ? "Alpha" : k % 3 == 1 ? "beta" : "_gamma";
        if (k % 10 == 0) {
            wsprintfA(row, "dir-%s-%04d", stem, k);
            dirs.push_back(row);
            wsprintfA(row, "drwxr-xr-x   2 ftp      ftp          4096 Jan  1 12:00 dir-%s-%04d\r\n", stem, k);
        } else {
            wsprintfA(row, "%s-%04d.txt", stem, k);
            files.push_back(row);
            wsprintfA(row, "-rw-r--r--   1 ftp      ftp             7 Jan  1 12:00 %s-%04d.txt\r\n", stem, k);
        }
        rows += row;
    }
    // The order a sorted list box of this locale gives the same names.
    auto sorted = [](const std::vector<std::string>& names) {
        HWND box = CreateWindowA("LISTBOX", "", LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        for (const std::string& n : names)
            SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.c_str()));
        std::vector<std::string> out;
        char text[128];
        for (LRESULT i = 0, n = SendMessageA(box, LB_GETCOUNT, 0, 0); i < n; ++i) {
            SendMessageA(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            out.push_back(text);
        }
        DestroyWindow(box);
        return out;
    };
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(LogonListing(rows, "226 done\r\n", {Hear(), Say("221 Goodbye.\r\n"), Silent()}));
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-unsorted-list", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("unsorted-list"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-unsorted-list", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES).size() == files.size(); }))
        << app.Items(IDC_REMOTE_FILES).size();
    app.Settle();
    EXPECT_EQ(app.Items(IDC_REMOTE_FILES), sorted(files));
    EXPECT_EQ(app.Items(IDC_REMOTE_DIRS), sorted(dirs));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The way of counting handles counts: three new events are three more.
TEST(LongSession, HandlesAreCountedByProbing)
{
    int before = HandleCount(GetCurrentProcess());
    HANDLE events[3];
    for (HANDLE& e : events)
        e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(HandleCount(GetCurrentProcess()), before + 3);
    for (HANDLE e : events)
        CloseHandle(e);
    EXPECT_EQ(HandleCount(GetCurrentProcess()), before);
}

// A server that answers 150 and never connects, stopped by Abort again and
// again: each worker ends by itself, and the process keeps neither a thread
// nor a handle of it.
TEST(LongSession, StoppedTransfersLeaveNoThreadNorHandle)
{
    constexpr int kStops = 6;  // the first warms up
    std::vector<ScriptStep> rest = {Hear(), Say("200 Type set\r\n")};
    for (int i = 0; i < kStops; ++i)
        rest.insert(rest.end(), {Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Opening data connection.\r\n")});
    rest.insert(rest.end(), {Hear(), Say("221 Goodbye.\r\n"), Silent()});
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(AfterLogon(rest));
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-never-connects", server.Port(), false);
    TarnApp app;
    ASSERT_TRUE(app.Start("stopped-transfers"));
    ConnectTo(app, "e2e-never-connects");
    DWORD pid = app.process.dwProcessId;
    HANDLE process = app.process.hProcess;
    int threads = -1, handles = -1;
    for (int i = 0; i < kStops; ++i) {
        SCOPED_TRACE(i);
        app.Mark();
        app.Select(IDC_REMOTE_FILES, {"big.bin"});
        app.Click(IDC_RECEIVE);
        ASSERT_TRUE(app.WaitLogged("150 Opening data connection.")) << Joined(app.NewLines());
        app.Settle(300);
        app.Click(IDC_ABORT);
        ASSERT_TRUE(app.WaitLogged(CatalogueText(MSG_OPERATION_ABORTED))) << Joined(app.NewLines());
        ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
        app.Settle(300);
        if (i == 0) {
            threads = ThreadCount(pid);
            handles = HandleCount(process);
            ASSERT_GT(threads, 0);
            ASSERT_GT(handles, 0);
        }
    }
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ThreadCount(pid) == threads; }, 5000)) << ThreadCount(pid) << " " << threads;
    EXPECT_LE(HandleCount(process), handles + 2) << handles;
    for (const std::string& l : app.NewLines())
        EXPECT_NE(l, TarnApp::Line(CatalogueText(MSG_WORKER_TERMINATED, 10u)));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}
