// Interrupted transfers continued through the real tarn.exe: a receive and a
// send stopped by Abort half-way and run again with "Resume interrupted
// files" on (vsftpd in active mode, and FTPS in passive mode), what the
// tests' own server does that no real one does (REST refused, a data
// connection that stalls), and the types that never resume.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/log.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "tests/support/miniftpd.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

constexpr DWORD kReceiveUnique = 1;  // the FLAGS bit

std::string Text(unsigned long long n)
{
    return std::to_string(n);
}

// Options as the tests write them, with resuming on.
void WriteResumeOptions(DWORD flags)
{
    WriteTestOptions("notepad", flags);
    RegSetText("_config_", "RESUME", "1");
}

// A sparse file with a marker block every 16 MiB (off the block bounds) and
// at its end, so that bytes written at the wrong offset show.
bool MakeMarkedFile(const std::string& path, unsigned long long size)
{
    if (!MakeSparseFile(path, size))
        return false;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    auto mark = [&](unsigned long long at, unsigned seed) {
        std::string bytes = Pattern(4096, seed);
        LONG high = static_cast<LONG>(at >> 32);
        SetFilePointer(h, static_cast<LONG>(at & 0xFFFFFFFFu), &high, FILE_BEGIN);
        DWORD written = 0;
        ok = ok && WriteFile(h, bytes.data(), 4096, &written, nullptr) && written == 4096;
    };
    unsigned seed = 1;
    for (unsigned long long at = 1000; at + 4096 < size; at += 16ull << 20)
        mark(at, seed++);
    mark(size - 4096, seed);
    CloseHandle(h);
    return ok;
}

// Two files compared a block at a time (they are too large to read whole).
::testing::AssertionResult SameFiles(const std::string& actual, const std::string& expected)
{
    FILE* a = fopen(actual.c_str(), "rb");
    FILE* e = fopen(expected.c_str(), "rb");
    if (!a || !e) {
        if (a)
            fclose(a);
        if (e)
            fclose(e);
        return ::testing::AssertionFailure() << "cannot open " << (a ? expected : actual);
    }
    std::vector<char> ba(4u << 20), be(4u << 20);
    unsigned long long at = 0;
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    for (;;) {
        size_t na = fread(ba.data(), 1, ba.size(), a), ne = fread(be.data(), 1, be.size(), e);
        size_t n = na < ne ? na : ne;
        if (memcmp(ba.data(), be.data(), n) != 0) {
            size_t i = 0;
            while (ba[i] == be[i])
                ++i;
            result = ::testing::AssertionFailure() << "first difference at byte " << at + i;
            break;
        }
        at += n;
        if (na != ne) {
            result = ::testing::AssertionFailure() << "sizes differ after byte " << at;
            break;
        }
        if (na == 0)
            break;
    }
    fclose(a);
    fclose(e);
    return result;
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Waits until a file has kept its size for a while (a server still writing
// what it had received when the transfer was stopped).
unsigned long long SettledSize(const std::string& path)
{
    unsigned long long last = FileSize(path);
    for (int quiet = 0; quiet < 10;) {
        Sleep(100);
        unsigned long long now = FileSize(path);
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
    return last;
}

bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted)
{
    size_t at = 0;
    for (const std::string& l : lines)
        if (at < wanted.size() && l == wanted[at])
            ++at;
    return at == wanted.size();
}

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

bool StartsWith(const std::string& line, const std::string& prefix)
{
    return line.rfind(prefix, 0) == 0;
}

// Stops the running transfer with Abort and waits for the abort to end.
void AbortTransfer(TarnApp& app)
{
    ASSERT_TRUE(app.Enabled(IDC_ABORT));
    app.Mark();
    app.Click(IDC_ABORT);
    ASSERT_TRUE(app.WaitLogged(CatalogueText(MSG_OPERATION_ABORTED))) << Joined(app.NewLines());
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    app.Settle();
}

// One server, one mode: a receive and a send of `size` bytes, each stopped
// by Abort after the first megabytes and run again. The second run sends
// REST with the size of the partial copy, moves only the rest and leaves
// the file whole; with Receive Unique on, the receive continues the file
// itself instead of making a numbered one.
void AbortAndResume(const RealServer& server, bool tls, bool passive, unsigned long long size)
{
    // In the server's root, where the test user may write.
    const std::string dir = ServerRoot(server, false);
    const std::string get = "e2e-resume-get.bin", put = "e2e-resume-put.bin";
    DeleteFileA((dir + "\\" + put).c_str());
    ASSERT_TRUE(MakeMarkedFile(dir + "\\" + get, size));

    RegistryGuard registry;
    WriteResumeOptions(kReceiveUnique);
    WriteHostProfile("e2e-resume", ServerPort(server), false, "", 30);
    RegSetText("e2e-resume", "PASV", passive ? "1" : "0");
    if (tls) {
        RegSetText("e2e-resume", "TLS", "1");
        RegSetText("e2e-resume", "TLSCERT", ServerFingerprint(server));
    }
    TarnApp app;
    app.dir = TempDirectory(std::string("resume-") + server.name);
    const std::string local = app.dir + "\\" + get, upload = app.dir + "\\" + put;
    ASSERT_TRUE(MakeMarkedFile(upload, size));
    ASSERT_TRUE(app.Start(std::string("resume-") + server.name));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-resume", kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << Joined(app.NewLines());
    app.Settle();

    // The receive, cut off.
    app.Select(IDC_REMOTE_FILES, {get});
    app.Click(IDC_RECEIVE);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return FileSize(local) > (4u << 20); }, 60000));
    AbortTransfer(app);
    const unsigned long long got = FileSize(local);
    ASSERT_GT(got, 0u);
    ASSERT_LT(got, size);

    // ... and received again.
    long log = VsftpdLogSize(server);
    app.Mark();
    app.Select(IDC_REMOTE_FILES, {get});
    app.Click(IDC_RECEIVE);
    const std::string rest = Text(size - got);
    ASSERT_TRUE(app.WaitLogged([&](const std::string& l) { return StartsWith(l, rest + " bytes received"); }, 120000))
        << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, TarnApp::Line(CatalogueText(MSG_RESUMED_AT, get.c_str(), Text(got).c_str(),
                                                             rest.c_str()))),
              1)
        << Joined(lines);
    std::vector<std::string> wire = VsftpdCommandsSince(server, log);
    EXPECT_TRUE(InOrder(wire, {"SIZE " + get, "REST " + Text(got), "RETR " + get})) << Joined(wire);
    EXPECT_TRUE(SameFiles(local, dir + "\\" + get));
    EXPECT_FALSE(FileExists(local + ".000"));

    // The send, cut off: the server keeps what came.
    app.SelectNone(IDC_REMOTE_FILES);
    app.Mark();
    ASSERT_TRUE(app.Select(IDC_LOCAL_FILES, {put})) << Joined(app.Items(IDC_LOCAL_FILES));
    app.Click(IDC_SEND);
    const std::string sent = dir + "\\" + put;
    ASSERT_TRUE(TarnApp::WaitFor([&] { return FileSize(sent) > (4u << 20); }, 60000)) << Joined(app.NewLines());
    AbortTransfer(app);
    const unsigned long long kept = SettledSize(sent);
    ASSERT_GT(kept, 0u);
    ASSERT_LT(kept, size);

    // ... and sent again.
    log = VsftpdLogSize(server);
    app.Mark();
    app.Select(IDC_LOCAL_FILES, {put});
    app.Click(IDC_SEND);
    const std::string left = Text(size - kept);
    ASSERT_TRUE(
        app.WaitLogged([&](const std::string& l) { return StartsWith(l, left + " bytes transmitted"); }, 120000))
        << Joined(app.NewLines());
    app.Settle();
    lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, TarnApp::Line(CatalogueText(MSG_RESUMED_AT, put.c_str(), Text(kept).c_str(),
                                                             left.c_str()))),
              1)
        << Joined(lines);
    wire = VsftpdCommandsSince(server, log);
    EXPECT_TRUE(InOrder(wire, {"SIZE " + put, "REST " + Text(kept), "STOR " + put})) << Joined(wire);
    EXPECT_TRUE(SameFiles(sent, upload));

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((dir + "\\" + get).c_str());
    DeleteFileA((dir + "\\" + put).c_str());
}

TEST(EndToEndResume, AbortedTransfersContinueInActiveMode)
{
    AbortAndResume(kRealServers[0], false, false, 1ull << 30);
}

TEST(EndToEndResume, AbortedTransfersContinueUnderFtpsInPassiveMode)
{
    AbortAndResume(kTlsServers[0], true, true, 512ull << 20);
}

// The tests' own server: a REST refused (a receive is then whole, a send
// appends), a local copy that is not smaller, and ASCII type, which never
// resumes. Receive Unique is off, so a file received whole replaces the
// local copy.
TEST(EndToEndResume, RefusedRestACopyNotSmallerAndAsciiType)
{
    RegistryGuard registry;
    WriteResumeOptions(0);
    MiniFtpd server;
    ASSERT_TRUE(server.Listening());
    const std::string whole = Pattern(100000, 41), text = AsciiPattern(50000, 42);
    server.AddFile("/r/refused.bin", whole);
    server.AddFile("/r/same.bin", whole);
    server.AddFile("/r/text.txt", text);
    server.AddFile("/r/up.bin", whole.substr(0, 30000));
    server.Refuse("REST 40000", "502 REST not implemented.");
    server.Refuse("REST 30000", "502 REST not implemented.");
    WriteHostProfile("e2e-mini", server.Port(), false, "/r");

    TarnApp app;
    app.dir = TempDirectory("resume-mini");
    WriteBytes(app.dir + "\\refused.bin", whole.substr(0, 40000));
    WriteBytes(app.dir + "\\same.bin", whole);
    WriteBytes(app.dir + "\\text.txt", text.substr(0, 20000));
    WriteBytes(app.dir + "\\up.bin", whole);
    ASSERT_TRUE(app.Start("resume-mini"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-mini", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_DIR_TEXT) == "/r"; })) << Joined(app.NewLines());
    app.Settle();

    struct Case {
        const char* name;
        bool send;
        int mode;                            // transfer type button
        std::vector<std::string> wire;       // in this order
        std::vector<std::string> never;      // commands that must not come
        std::string line;                    // the one line about it ("" for none)
    } cases[] = {
        {"refused.bin", false, IDC_MODE_BINARY, {"SIZE refused.bin", "REST 40000", "RETR refused.bin"}, {},
         CatalogueText(MSG_NOT_RESUMED_REST_REFUSED, "refused.bin")},
        {"same.bin", false, IDC_MODE_BINARY, {"SIZE same.bin", "RETR same.bin"}, {"REST"},
         CatalogueText(MSG_NOT_RESUMED_NOT_SMALLER, "same.bin", "100000", "100000")},
        {"text.txt", false, IDC_MODE_ASCII, {"TYPE A", "RETR text.txt"}, {"SIZE", "REST"}, ""},
        {"up.bin", true, IDC_MODE_BINARY, {"SIZE up.bin", "REST 30000", "APPE up.bin"}, {"STOR"},
         CatalogueText(MSG_RESUME_BY_APPEND, "up.bin", "30000")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.Click(c.mode);
        size_t heard = server.Heard().size();
        app.Mark();
        app.SelectNone(IDC_REMOTE_FILES);
        app.SelectNone(IDC_LOCAL_FILES);
        ASSERT_TRUE(app.Select(c.send ? IDC_LOCAL_FILES : IDC_REMOTE_FILES, {c.name}));
        app.Click(c.send ? IDC_SEND : IDC_RECEIVE);
        ASSERT_TRUE(app.WaitLogged([](const std::string& l) {
            return l.find(" bytes received in ") != std::string::npos ||
                   l.find(" bytes transmitted in ") != std::string::npos;
        })) << Joined(app.NewLines());
        ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
        app.Settle();
        std::vector<std::string> all = server.Heard();
        std::vector<std::string> wire(all.begin() + static_cast<long>(heard), all.end());
        EXPECT_TRUE(InOrder(wire, c.wire)) << Joined(wire);
        for (const std::string& verb : c.never)
            EXPECT_EQ(CountPrefix(wire, verb), 0) << verb << "\n" << Joined(wire);
        std::vector<std::string> lines = app.NewLines();
        if (!c.line.empty()) {
            EXPECT_EQ(CountPrefix(lines, TarnApp::Line(c.line)), 1) << Joined(lines);
        }
        EXPECT_EQ(CountPrefix(lines, c.name + std::string(": not resumed")) +
                      CountPrefix(lines, c.name + std::string(": the server refused")),
                  c.line.empty() ? 0 : 1)
            << Joined(lines);
    }
    EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\refused.bin"), whole));
    EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\same.bin"), whole));
    EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\text.txt"), text));
    EXPECT_TRUE(SameBytes(server.FilesBelow("/r")["/r/up.bin"], whole));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A server that stops sending in the middle: with the profile's STALL at 3
// seconds the transfer fails within STALL + 5 seconds with one line naming
// the file, the window answers meanwhile, the partial copy stays, the
// session goes on, and receiving the file again continues it.
TEST(EndToEndResume, AStalledReceiveEndsByItselfAndIsContinued)
{
    RegistryGuard registry;
    WriteResumeOptions(kReceiveUnique);
    MiniFtpd server;
    ASSERT_TRUE(server.Listening());
    const std::string whole = Pattern(300000, 43);
    server.AddFile("/s/stall.bin", whole);
    server.Stall("RETR stall.bin", 100000);
    WriteHostProfile("e2e-mini-stall", server.Port(), false, "/s");
    RegSetText("e2e-mini-stall", "STALL", "3");

    TarnApp app;
    app.dir = TempDirectory("resume-stall");
    ASSERT_TRUE(app.Start("resume-stall"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-mini-stall", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_DIR_TEXT) == "/s"; })) << Joined(app.NewLines());
    app.Settle();

    app.Mark();
    app.Select(IDC_REMOTE_FILES, {"stall.bin"});
    DWORD start = GetTickCount();
    app.Click(IDC_RECEIVE);
    const std::string stalled = TarnApp::Line(CatalogueText(MSG_TRANSFER_STALLED, "stall.bin", 3u));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return FileSize(app.dir + "\\stall.bin") == 100000; }));
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(app.main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
    ASSERT_TRUE(app.WaitLogged(stalled, 20000)) << Joined(app.NewLines());
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, (3u + 5u) * 1000u);
    EXPECT_GE(took, 3000u);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, stalled), 1) << Joined(lines);
    EXPECT_TRUE(InOrder(lines, {stalled, TarnApp::Line(CatalogueText(MSG_ABORT_REPLY, 426))})) << Joined(lines);
    EXPECT_EQ(FileSize(app.dir + "\\stall.bin"), 100000u);

    // The session goes on: the same receive continues the partial copy.
    size_t heard = server.Heard().size();
    app.Mark();
    app.Select(IDC_REMOTE_FILES, {"stall.bin"});
    app.Click(IDC_RECEIVE);
    ASSERT_TRUE(app.WaitLogged(TarnApp::Line(CatalogueText(MSG_RESUMED_AT, "stall.bin", "100000", "200000"))))
        << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> all = server.Heard();
    std::vector<std::string> wire(all.begin() + static_cast<long>(heard), all.end());
    EXPECT_TRUE(InOrder(wire, {"SIZE stall.bin", "REST 100000", "RETR stall.bin"})) << Joined(wire);
    EXPECT_TRUE(SameBytes(ReadBytes(app.dir + "\\stall.bin"), whole));
    EXPECT_FALSE(FileExists(app.dir + "\\stall.bin.000"));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
