// The program's main window made inside the test program, for what another
// process cannot do or see: files dropped from the shell (WM_DROPFILES
// carries a handle of this process), and the lines logged while the window
// closes during a transfer.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <algorithm>
#include <string>
#include <vector>

#include "ftp/session.h"
#include "listing/remotelist.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/mainwin.h"
#include "shell/operations.h"
#include "shell/startup.h"
#include "tests/support/mainwindow.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/testwindow.h"
#include "tests/support/window.h"

namespace {

std::string Joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

// A drop handle as the shell makes it: DROPFILES and the paths, each ending
// with a zero, the last one with two.
HDROP MakeDrop(const std::vector<std::string>& paths)
{
    size_t bytes = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths)
        bytes += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = {40, 40};
    drop->fNC = FALSE;
    drop->fWide = FALSE;
    char* at = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& p : paths) {
        memcpy(at, p.c_str(), p.size() + 1);
        at += p.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Every text set on the upper status line, which entry 98 goes to without
// passing through the log.
std::vector<std::string> g_upperTexts;
WNDPROC g_upperProc;

LRESULT CALLBACK RecordUpper(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT && lParam)
        g_upperTexts.push_back(reinterpret_cast<const char*>(lParam));
    return CallWindowProcA(g_upperProc, hwnd, message, wParam, lParam);
}

// The tests below need a program state no other test has touched (one main
// window, a fresh session), so each runs in a test program of its own: this
// one started again with a filter, which runs them for real.
constexpr char kChildVariable[] = "TARN_E2E_IN_PROCESS";

bool RunInChild(const std::string& test)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string line = "\"" + std::string(self) + "\" --gtest_filter=InProcess." + test;
    SetEnvironmentVariableA(kChildVariable, "1");
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    bool started = CreateProcessA(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started)
        return false;
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 300000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code == 0;
}

bool InChild()
{
    return GetEnvironmentVariableA(kChildVariable, nullptr, 0) != 0;
}

TEST(InProcessTests, RunInAProgramOfTheirOwn)
{
    if (InChild())
        return;
    EXPECT_TRUE(RunInChild("DroppedFilesAreSentOneOfThreeToThreeOfThree"));
    EXPECT_TRUE(RunInChild("ClosingDuringATransferKillsTheWorkerSavesOptionsAndDeletesTheTemporaryFiles"));
}

struct InProcess : ::testing::Test {
    RegistryGuard registry;
    std::string dir;
    char savedDir[MAX_PATH] = "";
    const std::string root = ServerRoot(kRealServers[0], false);
    // The driver pointed at this process: its dialogs are answered from a
    // second thread while this one dispatches the window's messages.
    TarnApp app;

    void SetUp() override
    {
        if (!InChild())
            GTEST_SKIP() << "run by InProcessTests in a program of their own";
        WriteTestOptions();
        WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
        dir = TempDirectory("inprocess");
        GetCurrentDirectoryA(sizeof savedDir, savedDir);
        SetCurrentDirectoryA(dir.c_str());
        CaptureLog();
        // As at the start of the program: an earlier test's session is gone.
        ResetSession();
        InstallWorkerStops();
        ASSERT_NE(OpenMainWindow(), nullptr);
        app.main = g_hwndMain;
        app.process.dwProcessId = GetCurrentProcessId();
    }
    void TearDown() override
    {
        SetLogObserver(nullptr);
        if (savedDir[0]) {
            CloseMainWindow();
            bool r, s;
            CloseTransferFiles(&r, &s);
            SetCurrentDirectoryA(savedDir);
            RemoveTree(dir);
        }
    }

    void Connect()
    {
        PostMessageA(g_hwndMain, WM_COMMAND, IDC_CONNECT, 0);
        RunOnWorker([&] { EXPECT_TRUE(app.ConnectWith("e2e-vsftpd", kServerPassword)); });
        ASSERT_TRUE(PumpUntil([] { return FtpSession.loggedOn && !IsBusy(); }, 20000));
    }
};

TEST_F(InProcess, DroppedFilesAreSentOneOfThreeToThreeOfThree)
{
    std::vector<std::string> paths;
    std::vector<std::string> contents;
    for (int i = 1; i <= 3; ++i) {
        paths.push_back(dir + "\\e2e-drop-" + std::to_string(i) + ".bin");
        contents.push_back(Pattern(3000 * i + 1, i));
        WriteBytes(paths.back(), contents.back());
        DeleteFileA((root + "\\e2e-drop-" + std::to_string(i) + ".bin").c_str());
    }

    // Not connected: entry 112, the drop is released and nothing is busy.
    PostMessageA(g_hwndMain, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    ASSERT_TRUE(PumpUntil([] { return LogHas(CatalogueText(112)); }, 10000)) << Joined(CapturedLog());
    EXPECT_TRUE(PumpUntil([] { return !IsBusy(); }, 5000));

    Connect();
    g_upperProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_hwndStatusUpper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordUpper)));
    g_upperTexts.clear();
    CaptureLog();
    PostMessageA(g_hwndMain, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    ASSERT_TRUE(PumpUntil([] { return IsBusy(); }, 5000));
    ASSERT_TRUE(PumpUntil([] { return !IsBusy(); }, 30000));
    SetWindowLongPtrA(g_hwndStatusUpper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_upperProc));

    // The path as the status line shows it: its first four characters folded.
    std::vector<std::string> expected;
    for (unsigned i = 1; i <= 3; ++i) {
        std::string shown = paths[i - 1];
        CharLowerBuffA(&shown[0], 4);
        expected.push_back(CatalogueText(98, shown.c_str(), ("e2e-drop-" + std::to_string(i) + ".bin").c_str(), i, 3u));
    }
    std::vector<std::string> counted;
    for (const std::string& t : g_upperTexts)
        if (std::find(expected.begin(), expected.end(), t) != expected.end())
            counted.push_back(t);
    EXPECT_EQ(counted, expected) << Joined(g_upperTexts);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(ReadBytes(root + "\\e2e-drop-" + std::to_string(i) + ".bin"), contents[i - 1]) << i;
    // The remote lists were read again.
    std::vector<std::string> remote = ListItems(IDC_REMOTE_FILES);
    for (int i = 1; i <= 3; ++i)
        EXPECT_NE(std::find(remote.begin(), remote.end(), "e2e-drop-" + std::to_string(i) + ".bin"), remote.end());
    for (int i = 1; i <= 3; ++i)
        DeleteFileA((root + "\\e2e-drop-" + std::to_string(i) + ".bin").c_str());
}

TEST_F(InProcess, ClosingDuringATransferKillsTheWorkerSavesOptionsAndDeletesTheTemporaryFiles)
{
    const std::string big = root + "\\e2e-close-big.bin";
    HANDLE h = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    SetFilePointer(h, 1 << 30, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    Connect();
    std::vector<std::string> remote = ListItems(IDC_REMOTE_FILES);
    auto at = std::find(remote.begin(), remote.end(), "e2e-close-big.bin");
    ASSERT_NE(at, remote.end());
    SendMessageA(MainControl(IDC_REMOTE_FILES), LB_SETSEL, TRUE, at - remote.begin());
    PostMessageA(g_hwndMain, WM_COMMAND, IDC_RECEIVE, 0);
    const std::string local = dir + "\\e2e-close-big.bin";
    ASSERT_TRUE(PumpUntil(
        [&] {
            WIN32_FILE_ATTRIBUTE_DATA data;
            return GetFileAttributesExA(local.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > (4u << 20);
        },
        30000));
    std::string listing = ListingTempFile, view = ViewTempFile;
    ASSERT_TRUE(FileExists(listing));
    ASSERT_TRUE(FileExists(view));
    EXPECT_EQ(RegText("_config_", "SESSION"), "");

    CaptureLog();
    SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(g_hwndMain, nullptr);
    EXPECT_TRUE(LogHas(CatalogueText(17))) << Joined(CapturedLog());
    EXPECT_FALSE(IsBusy());
    EXPECT_FALSE(FileExists(listing));
    EXPECT_FALSE(FileExists(view));
    // The options were saved: the folder of this session among them.
    EXPECT_EQ(RegText("_config_", "SESSION"), "e2e-vsftpd");
    EXPECT_EQ(RegText("_config_", "FLAGS"), "0");
    // And the message loop is told to end.
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_TRUE(quit);
    DeleteFileA(big.c_str());
}

}  // namespace
