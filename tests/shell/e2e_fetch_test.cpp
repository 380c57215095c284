// The command-line fetch of the real tarn.exe against an FTP server with
// anonymous access on port 21, the fetch's only port. The FetchTest tests run
// inside a network namespace of their own (tests/servers/netns-fetch), where
// port 21 is free and only loopback exists; FetchInNamespace starts them
// there and reads their result.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>

#include "log/log.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

std::string UnixToWine(const std::string& path)
{
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::string Environment(const char* name)
{
    char value[1024] = "";
    GetEnvironmentVariableA(name, value, sizeof value);
    return value;
}

// The namespace's working directory (a Unix path), "" outside the namespace.
std::string NamespaceWork()
{
    return Environment("TARN_FETCH_WORK");
}

TEST(FetchInNamespace, RunsTheFetchTests)
{
    if (!NamespaceWork().empty())
        return;
    const std::string binary = Environment("TARN_BINARY_DIR"), source = Environment("TARN_SOURCE_DIR");
    ASSERT_FALSE(binary.empty() || source.empty()) << "run under CTest";
    // Wine's process ids are small and repeat across test runs on one machine.
    const std::string work = "/tmp/tarn-e2e-netns-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    const std::string w = UnixToWine(work);
    RemoveTree(w);
    CreateDirectoryA(w.c_str(), nullptr);
    CreateDirectoryA((w + "\\root").c_str(), nullptr);
    CreateDirectoryA((w + "\\root\\pub").c_str(), nullptr);

    // The script is a Unix program; Wine starts it as such, without a handle
    // to wait on, so its end is a file it writes.
    std::string line = "/usr/bin/env WINEDEBUG=-all TARN_BINARY_DIR=" + binary + " TARN_SOURCE_DIR=" + source +
                       " TARN_PROGRAM=" + Environment("TARN_PROGRAM") +
                       " DISPLAY=" + Environment("DISPLAY") + " /bin/bash " + source + "/tests/servers/netns-fetch " +
                       work;
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (pi.hThread)
        CloseHandle(pi.hThread);
    // The first run makes the namespace's Wine prefix.
    bool done = TarnApp::WaitFor([&] { return FileExists(w + "\\done"); }, 700000);
    std::string log = ReadBytes(w + "\\netns.log") + ReadBytes(w + "\\inner.log");
    bool unsupported = FileExists(w + "\\unsupported");
    std::string exitCode = ReadBytes(w + "\\exit");
    RemoveTree(w);
    ASSERT_TRUE(done) << log;
    if (unsupported)
        GTEST_SKIP() << "no network namespace can be made here";
    EXPECT_EQ(exitCode, "0\n") << log;
    // Every test ran, not skipped.
    EXPECT_NE(log.find("[  PASSED  ] 3 tests."), std::string::npos) << log;
}

struct FetchTest : ::testing::Test {
    RegistryGuard registry;
    std::string root;   // the server's root (Windows path)
    void SetUp() override
    {
        if (NamespaceWork().empty())
            GTEST_SKIP() << "runs inside its network namespace (FetchInNamespace)";
        root = UnixToWine(NamespaceWork() + "/root");
    }
};

TEST_F(FetchTest, ReceivesTheFileIntoTheCurrentDirectoryAndEnds)
{
    WriteTestOptions();
    const std::string bytes = Pattern(123457, 3);
    WriteBytes(root + "\\pub\\fetched.bin", bytes);
    TarnApp app;
    ASSERT_TRUE(app.Launch("fetch", "localhost:/pub/fetched.bin"));
    EXPECT_EQ(app.WaitExit(60000), 0);
    // Only the file is left: the two temporary files went with the program.
    std::vector<std::pair<std::string, std::string>> left = TreeContents(app.dir);
    ASSERT_EQ(left.size(), 1u) << (left.empty() ? "" : left[0].first);
    EXPECT_EQ(left[0].first, "fetched.bin");
    EXPECT_TRUE(left[0].second == bytes) << left[0].second.size() << " bytes";
}

// A bracketed IPv6 address before the colon: the fetch connects to ::1 and
// its data connection is announced with EPRT.
TEST_F(FetchTest, ReceivesFromABracketedIpv6Address)
{
    WriteTestOptions();
    const std::string bytes = Pattern(65539, 7);
    WriteBytes(root + "\\pub\\fetched6.bin", bytes);
    const std::string serverLog = UnixToWine(NamespaceWork() + "/server.log");
    const size_t logged = ReadBytes(serverLog).size();
    TarnApp app;
    ASSERT_TRUE(app.Launch("fetch-ipv6", "[::1]:/pub/fetched6.bin"));
    EXPECT_EQ(app.WaitExit(60000), 0);
    EXPECT_TRUE(ReadBytes(app.dir + "\\fetched6.bin") == bytes) << SizeOf(app.dir + "\\fetched6.bin") << " bytes";
    std::string wire = ReadBytes(serverLog).substr(logged);
    EXPECT_NE(wire.find("<- EPRT |2|::1|"), std::string::npos) << wire;
    EXPECT_NE(wire.find("<- RETR /pub/fetched6.bin"), std::string::npos) << wire;
    EXPECT_EQ(wire.find("<- PORT"), std::string::npos) << wire;
}

// With AUTOSTART on as well: the fetch holds the busy flag when the posted
// Connect arrives, which is refused with entry 3.
TEST_F(FetchTest, AFailedLogonLeavesTheProgramOpenWithEmptyRemoteLists)
{
    WriteTestOptions("notepad", 0, 1);
    RegSetText("_config_", "MAILADDR", "refused@example.org");  // the server refuses this one
    WriteBytes(root + "\\pub\\fetched.bin", "never sent");
    TarnApp app;
    ASSERT_TRUE(app.Start("fetch-refused", "localhost:/pub/fetched.bin"));
    ASSERT_TRUE(app.WaitLogged(CatalogueText(35), 30000)) << ReadBytes(UnixToWine(NamespaceWork() + "/server.log"));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_HOST_TEXT) == "localhost"; }));
    app.Settle();
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(app.Title(), "TARN");
    EXPECT_TRUE(app.Enabled(IDC_CONNECT));
    EXPECT_TRUE(app.Items(IDC_REMOTE_DIRS).empty());
    EXPECT_TRUE(app.Items(IDC_REMOTE_FILES).empty());
    EXPECT_FALSE(FileExists(app.dir + "\\fetched.bin"));
    char busy[512];
    LoadCatalogue(3, busy, sizeof busy);
    std::vector<std::string> lines = app.History();
    EXPECT_NE(std::find(lines.begin(), lines.end(), TarnApp::Line(busy)), lines.end());
    EXPECT_FALSE(app.WaitDialog(IDC_HOST_FOLDER, 300));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
