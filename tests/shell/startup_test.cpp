// The real tarn.exe: starts, logs the local PC information and its version,
// closes cleanly.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "tests/support/paths.h"
#include "tests/support/testwindow.h"

namespace {

struct FindArgs { DWORD pid; HWND found; };

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lp)
{
    auto* a = reinterpret_cast<FindArgs*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == a->pid && std::string(cls) == "TARN") {
        a->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::vector<std::string> FilesLike(const std::string& dir, const char* pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\" + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

TEST(Startup, ShowsLocalInformationAndClosesFromTheSystemMenu)
{
    const std::string exe = ProgramPath();
    ASSERT_FALSE(exe.empty()) << "run under CTest";
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "tarn-startup-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);

    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi));

    FindArgs args{pi.dwProcessId, nullptr};
    ASSERT_TRUE(PumpUntil([&] {
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
        return args.found != nullptr && IsWindowVisible(args.found);
    }, 30000));
    HWND main = args.found;
    EXPECT_EQ(WindowText(main), "TARN");

    // The upper and lower status lines are the first two controls with ID 2510.
    std::vector<HWND> status;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetDlgCtrlID(c) == 2510)
            status.push_back(c);
    ASSERT_EQ(status.size(), 4u);
    // The last start-up lines: the banner, then the version of VERSION.
    const std::string version = SourceVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_TRUE(PumpUntil([&] { return WindowText(status[1]) == "TARN " + version; }, 10000))
        << WindowText(status[1]);
    EXPECT_EQ(WindowText(status[0]), "Quillnet for Windows NT -- Window FTP client");
    // The listing and view files live in the temporary folder, not here.
    EXPECT_TRUE(FilesLike(dir, "*.tmp").empty());

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(FilesLike(dir, "*.tmp").empty());
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    RemoveDirectoryA(dir.c_str());
}

}  // namespace
