// The byte counters of the real tarn.exe during a transfer: how far a file
// has come when its size is known, the count alone when it is not.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/transferfiles.h"

namespace {

// The sent-bytes and received-bytes fields: the third and fourth texts of ID
// 2510 (after the two status lines).
std::string Counter(const TarnApp& app, bool sent)
{
    int seen = 0;
    for (HWND c = GetWindow(app.main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(c) != IDC_STATUS)
            continue;
        if (seen++ == (sent ? 2 : 3)) {
            char text[64] = "";
            GetWindowTextA(c, text, sizeof text);
            return text;
        }
    }
    return "?";
}

// Every different text the field shows until `done` holds, polled faster
// than the field changes.
std::vector<std::string> WatchCounter(const TarnApp& app, bool sent, const std::function<bool()>& done,
                                      DWORD ms = 60000)
{
    std::vector<std::string> seen;
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < ms) {
        std::string text = Counter(app, sent);
        if (!text.empty() && (seen.empty() || seen.back() != text))
            seen.push_back(text);
        Sleep(2);
    }
    return seen;
}

// Whether `rest` is what may follow the count (and percent): nothing, or two
// blanks and a rate ("412.5 MB/s"), and two blanks and a time left ("0:07 left").
bool RateAndTimeLeft(std::string rest)
{
    auto take = [&rest](const char* ending) {
        if (rest.compare(0, 2, "  ") != 0)
            return false;
        size_t end = rest.find(ending, 2);
        if (end == std::string::npos || end == 2)
            return false;
        std::string value = rest.substr(2, end - 2);
        if (value.find_first_not_of("0123456789.:") != std::string::npos)
            return false;
        rest.erase(0, end + strlen(ending));
        return true;
    };
    for (const char* unit : {" B/s", " KB/s", " MB/s", " GB/s"})
        if (rest.find(unit) != std::string::npos && !take(unit))
            return false;
    if (rest.find(" left") != std::string::npos && !take(" left"))
        return false;
    return rest.empty();
}

// A text "N (P%)", maybe followed by a rate and a time left: its count and
// percent; false for any other text.
bool ParseCounter(const std::string& text, unsigned long long* count, unsigned* percent)
{
    char* end = nullptr;
    *count = strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || end[0] != ' ' || end[1] != '(')
        return false;
    char* p = nullptr;
    *percent = static_cast<unsigned>(strtoul(end + 2, &p, 10));
    return p != end + 2 && p[0] == '%' && p[1] == ')' && RateAndTimeLeft(p + 2);
}

// The count and percent of a counter's text, without rate and time left.
std::string CountPart(const std::string& text)
{
    size_t end = text.find("%)");
    return end == std::string::npos ? text.substr(0, text.find("  ")) : text.substr(0, end + 2);
}

std::vector<std::string> CountParts(const std::vector<std::string>& texts)
{
    std::vector<std::string> parts;
    for (const std::string& t : texts)
        parts.push_back(CountPart(t));
    return parts;
}

// Counts rising, each with its percent of size, the percents rising too.
::testing::AssertionResult RisingPercents(const std::vector<std::string>& seen, unsigned long long size)
{
    unsigned long long last = 0;
    unsigned lastPercent = 0;
    for (const std::string& text : seen) {
        unsigned long long count;
        unsigned percent;
        if (!ParseCounter(text, &count, &percent) || count < last || count > size ||
            percent != count * 100 / size || percent < lastPercent)
            return ::testing::AssertionFailure() << "\"" << text << "\" in " << Joined(seen);
        last = count;
        lastPercent = percent;
    }
    return ::testing::AssertionSuccess();
}



void Connect(TarnApp& app, const std::string& folder)
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith(folder, kServerPassword));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
    app.Settle();
}

const DWORD kLarge = 256u << 20;

// vsftpd names the size of the file it sends ("(N bytes)" in its 150
// reply), and a sent file's size is known: both counters show the percent.
TEST(Progress, RisesWithVsftpdBothWays)
{
    RegistryGuard registry;
    WriteTestOptions();
    const RealServer& vsftpd = kRealServers[0];
    WriteHostProfile("e2e-progress", ServerPort(vsftpd), false);
    const std::string root = ServerRoot(vsftpd, false);
    ASSERT_TRUE(MakeSparseFile(root + "\\e2e-progress.bin", kLarge));

    TarnApp app;
    app.dir = TempDirectory("progress-vsftpd");
    ASSERT_TRUE(MakeSparseFile(app.dir + "\\e2e-progress-up.bin", kLarge));
    ASSERT_TRUE(app.Start("progress-vsftpd"));
    Connect(app, "e2e-progress");

    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {"e2e-progress.bin"})) << Joined(app.Items(IDC_REMOTE_FILES));
    app.Click(IDC_RECEIVE);
    const std::string received = app.dir + "\\e2e-progress.bin";
    std::vector<std::string> seen =
        WatchCounter(app, false, [&] { return SizeOf(received) == kLarge && Counter(app, false).empty(); });
    EXPECT_EQ(SizeOf(received), kLarge);
    EXPECT_GE(seen.size(), 2u) << Joined(seen);
    EXPECT_TRUE(RisingPercents(seen, kLarge));
    app.Settle();
    DeleteFileA(received.c_str());

    ASSERT_TRUE(app.Select(IDC_LOCAL_FILES, {"e2e-progress-up.bin"})) << Joined(app.Items(IDC_LOCAL_FILES));
    app.Click(IDC_SEND);
    const std::string sent = root + "\\e2e-progress-up.bin";
    seen = WatchCounter(app, true, [&] { return SizeOf(sent) == kLarge && Counter(app, true).empty(); });
    EXPECT_EQ(SizeOf(sent), kLarge);
    EXPECT_GE(seen.size(), 2u) << Joined(seen);
    EXPECT_TRUE(RisingPercents(seen, kLarge));
    app.Settle();

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-progress.bin").c_str());
    DeleteFileA(sent.c_str());
}

// pyftpdlib's 150 reply names no size, but its listing does: the received
// count has its percent from there.
TEST(Progress, TheListingsSizeServesWhenTheReplyNamesNone)
{
    RegistryGuard registry;
    WriteTestOptions();
    const RealServer& pyftpd = kRealServers[1];
    WriteHostProfile("e2e-progress-py", ServerPort(pyftpd), false);
    const std::string root = ServerRoot(pyftpd, false);
    ASSERT_TRUE(MakeSparseFile(root + "\\e2e-progress.bin", kLarge));

    TarnApp app;
    app.dir = TempDirectory("progress-pyftpd");
    ASSERT_TRUE(app.Start("progress-pyftpd"));
    Connect(app, "e2e-progress-py");
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {"e2e-progress.bin"})) << Joined(app.Items(IDC_REMOTE_FILES));
    app.Click(IDC_RECEIVE);
    const std::string received = app.dir + "\\e2e-progress.bin";
    std::vector<std::string> seen =
        WatchCounter(app, false, [&] { return SizeOf(received) == kLarge && Counter(app, false).empty(); });
    EXPECT_EQ(SizeOf(received), kLarge);
    EXPECT_GE(seen.size(), 2u) << Joined(seen);
    EXPECT_TRUE(RisingPercents(seen, kLarge));
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-progress.bin").c_str());
}

// With MLSD the listing names every file's size: pyftpdlib's receive, whose
// 150 reply names none, shows its percent all the same.
TEST(Progress, TheMlsdSizeGivesPyftpdlibsPercent)
{
    RegistryGuard registry;
    WriteTestOptions();
    const RealServer& pyftpd = kRealServers[1];
    WriteHostProfile("e2e-progress-mlsd", ServerPort(pyftpd), false, "/e2e-odd");
    RegSetText("e2e-progress-mlsd", "MLSD", "1");
    const unsigned long long size = 256u << 20;  // tests/servers/servers makes it

    TarnApp app;
    app.dir = TempDirectory("progress-mlsd");
    ASSERT_TRUE(app.Start("progress-mlsd"));
    Connect(app, "e2e-progress-mlsd");
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {"sized.bin"})) << Joined(app.Items(IDC_REMOTE_FILES));
    app.Click(IDC_RECEIVE);
    const std::string received = app.dir + "\\sized.bin";
    std::vector<std::string> seen =
        WatchCounter(app, false, [&] { return SizeOf(received) == size && Counter(app, false).empty(); });
    EXPECT_EQ(SizeOf(received), size);
    // Every text the counter showed carries the percent (a quiet machine may
    // show only one before the file is in).
    EXPECT_FALSE(seen.empty());
    EXPECT_TRUE(RisingPercents(seen, size));
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA(received.c_str());
}

// The script of a server that sends "thirds.bin" (300000 bytes, size
// announced) in thirds, pausing `ms` after each.
std::vector<ScriptStep> ThirdsScript(int ms)
{
    const unsigned long long third = 100000;
    const std::string listing = "-rw-r--r--   1 ftp      ftp        300000 Jan  1 12:00 thirds.bin\r\n";
    return {Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"),
            Hear(), Say("257 \"/\" is current\r\n"), Hear(), Say("214 help ok\r\n"), Hear(),
            Say("215 UNIX Type: L8\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
            Say("150 listing\r\n"), DataConnect(), DataSay(listing), DataClose(), Say("226 done\r\n"),
            Hear(), Say("200 Type set to I\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(),
            Say("150 Opening BINARY mode data connection for thirds.bin (300000 bytes).\r\n"),
            DataConnect(), DataZeros(third), Pause(ms), DataZeros(third), Pause(ms),
            DataZeros(third), Pause(ms), DataClose(), Say("226 Transfer complete.\r\n"), Hear(),
            Say("221 Goodbye.\r\n"), Silent()};
}

// Connects to the scripted server and starts receiving thirds.bin.
void StartThirds(TarnApp& app, ScriptServer& server, const std::string& name)
{
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-progress-thirds", server.Port(), false);
    ASSERT_TRUE(app.Start(name));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-progress-thirds", "secret"));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "thirds.bin"); }))
        << Joined(server.Heard());
    app.Settle();
    app.Select(IDC_REMOTE_FILES, {"thirds.bin"});
    app.Click(IDC_RECEIVE);
}

// A server that stops after each third of an announced file: the counter
// stands at 33%, 66% and, with every byte there but the transfer not yet
// ended, 100%; afterwards it is empty again.
TEST(Progress, StandsAtEachThirdAndReaches100)
{
    const unsigned long long third = 100000;
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(ThirdsScript(700));
    TarnApp app;
    StartThirds(app, server, "progress-thirds");
    const std::string received = app.dir + "\\thirds.bin";
    std::vector<std::string> seen = WatchCounter(app, false, [&] {
        return SizeOf(received) == 3 * third && Counter(app, false).empty() && !app.Enabled(IDC_ABORT);
    });
    std::vector<std::string> counts = CountParts(seen);
    EXPECT_TRUE(Contains(counts, "100000 (33%)")) << Joined(seen);
    EXPECT_TRUE(Contains(counts, "200000 (66%)")) << Joined(seen);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(counts.back(), "300000 (100%)") << Joined(seen);
    // Standing at a third for 700 ms, the counter says how long the rest
    // takes; the rate too, where the field of the smallest window has room
    // for it (at 100%, with no time left to show).
    bool left = false, rate = false;
    for (const std::string& text : seen) {
        left = left || (CountPart(text) == "100000 (33%)" && text.find(" left") != std::string::npos);
        rate = rate || text.find("B/s") != std::string::npos;
    }
    EXPECT_TRUE(left && rate) << Joined(seen);
    EXPECT_TRUE(RisingPercents(seen, 3 * third));
    EXPECT_EQ(ReadBytes(received), std::string(3 * third, '\0'));
    EXPECT_EQ(Counter(app, false), "");
    EXPECT_EQ(app.Title(), "TARN 127.0.0.1");  // not minimised: no percent in the title
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Minimised, the window's title (what the taskbar shows) carries the
// percent; restored, and after the transfer, it is the title of before.
TEST(Progress, TheMinimisedTitleCarriesThePercent)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(ThirdsScript(1500));
    TarnApp app;
    StartThirds(app, server, "progress-title");
    ASSERT_TRUE(TarnApp::WaitFor([&] { return CountPart(Counter(app, false)) == "100000 (33%)"; }, 10000));
    ShowWindow(app.main, SW_MINIMIZE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "33% TARN 127.0.0.1"; }, 1000)) << app.Title();
    ASSERT_TRUE(TarnApp::WaitFor([&] { return CountPart(Counter(app, false)) == "200000 (66%)"; }, 10000));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "66% TARN 127.0.0.1"; }, 1000)) << app.Title();
    ShowWindow(app.main, SW_RESTORE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; }, 1000)) << app.Title();
    ShowWindow(app.main, SW_MINIMIZE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "100% TARN 127.0.0.1"; }, 5000)) << app.Title();
    // The transfer ends while minimised: the percent goes.
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Counter(app, false).empty() && !app.Enabled(IDC_ABORT); }, 10000));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; }, 1000)) << app.Title();
    ShowWindow(app.main, SW_RESTORE);
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The progress bar during a paced receive: shown with the transfer, its
// position rising with the count to its end, then hidden and empty again.
TEST(Progress, TheBarRisesWithTheCountAndEndsAtItsEnd)
{
    const unsigned long long third = 100000;
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server(ThirdsScript(700));
    TarnApp app;
    HWND bar = nullptr;
    StartThirds(app, server, "progress-bar");
    // Wider, the counter's field has room for the count, the rate and the time left.
    SetWindowPos(app.main, nullptr, 0, 0, 1600, 1000, SWP_NOZORDER);
    bar = app.Control(IDC_PROGRESS);
    ASSERT_TRUE(bar);
    const UINT kGetPos = WM_USER + 8, kGetRange = WM_USER + 7;
    const std::string received = app.dir + "\\thirds.bin";
    std::vector<std::pair<int, std::string>> seen;  // position and count while shown
    bool whole = false;  // a counter text with rate and time left
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000 &&
           !(SizeOf(received) == 3 * third && Counter(app, false).empty() && !app.Enabled(IDC_ABORT))) {
        if (IsWindowVisible(bar)) {
            int pos = static_cast<int>(SendMessageA(bar, kGetPos, 0, 0));
            std::string text = Counter(app, false);
            // Only what was read while the bar still showed: the transfer may
            // have ended meanwhile, the bar hidden and reset, the counter emptied.
            if (IsWindowVisible(bar)) {
                if (seen.empty() || seen.back().first != pos)
                    seen.push_back({pos, CountPart(text)});
                whole = whole || (text.find("B/s  ") != std::string::npos && text.find(" left") != std::string::npos);
            }
        }
        Sleep(5);
    }
    std::string all;
    for (const auto& s : seen)
        all += std::to_string(s.first) + " at " + s.second + "\n";
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(SendMessageA(bar, kGetRange, FALSE, 0), 1000);
    bool rising = true, thirds[3] = {};
    for (size_t i = 0; i < seen.size(); ++i) {
        rising = rising && (i == 0 || seen[i].first > seen[i - 1].first);
        thirds[0] = thirds[0] || (seen[i].first == 333 && seen[i].second == "100000 (33%)");
        thirds[1] = thirds[1] || (seen[i].first == 666 && seen[i].second == "200000 (66%)");
        thirds[2] = thirds[2] || (seen[i].first == 1000 && seen[i].second == "300000 (100%)");
    }
    EXPECT_TRUE(rising) << all;
    EXPECT_TRUE(thirds[0] && thirds[1] && thirds[2]) << all;
    EXPECT_TRUE(whole);
    EXPECT_EQ(seen.back().first, 1000) << all;
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(SendMessageA(bar, kGetPos, 0, 0), 0);
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
