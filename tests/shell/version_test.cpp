// The version of VERSION where a user looks for it in the real tarn.exe: the
// About box of the main window's system menu, and the file's properties (its
// version resource, read as Explorer reads it). The start-up line is
// startup_test's.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/paths.h"
#include "tests/support/registry_guard.h"
#include "tests/support/tarnapp.h"

namespace {

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring TextW(HWND hwnd)
{
    int n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(n + 1, L'\0');
    n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&text[0])));
    text.resize(n > 0 ? n : 0);
    return text;
}

RECT ScreenRect(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

// Opens the About box as the system menu's entry does, and checks that it
// shows the version on a line of its own, beside what it showed before.
void CheckAboutBox(const std::wstring& caption, const std::wstring& versionLine)
{
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("about"));
    PostMessageA(app.main, WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND about = app.WaitDialog(IDC_ABOUT_VERSION);
    ASSERT_TRUE(about);
    EXPECT_EQ(GetParent(about), app.main);
    EXPECT_EQ(TextW(about), caption);
    HWND version = GetDlgItem(about, IDC_ABOUT_VERSION);
    EXPECT_EQ(TextW(version), versionLine);
    EXPECT_TRUE(IsWindowVisible(version));
    EXPECT_FALSE(TextW(GetDlgItem(about, IDC_ABOUT_WINSOCK)).empty());
    EXPECT_FALSE(TextW(GetDlgItem(about, IDC_ABOUT_HOST)).empty());

    // Inside the box, and clear of every other control.
    RECT box, line = ScreenRect(version), overlap;
    GetClientRect(about, &box);
    MapWindowPoints(about, nullptr, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_TRUE(line.left >= box.left && line.right <= box.right && line.top >= box.top && line.bottom <= box.bottom);
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT other = ScreenRect(c);
        if (c != version) {
            EXPECT_FALSE(IntersectRect(&overlap, &line, &other)) << GetDlgCtrlID(c);
        }
    }

    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !IsWindow(about); }, 5000));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

TEST(AboutBox, ShowsTheVersion)
{
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE)
        GTEST_SKIP() << "the Japanese box is JapaneseInterface's";
    const std::string version = SourceVersion();
    ASSERT_FALSE(version.empty());
    CheckAboutBox(L"About TARN", L"Version " + Widened(version));
}

// Runs in the CTest entry shell_ja (LANG=ja_JP.UTF-8), skips itself elsewhere.
TEST(JapaneseInterface, AboutBoxShowsTheVersion)
{
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_JAPANESE)
        GTEST_SKIP() << "not a Japanese interface (see the CTest entry shell_ja)";
    const std::string version = SourceVersion();
    ASSERT_FALSE(version.empty());
    CheckAboutBox(L"TARN \u306B\u3064\u3044\u3066", L"\u30D0\u30FC\u30B8\u30E7\u30F3 " + Widened(version));
}

// One string of a language block of the version resource.
std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* block, const wchar_t* name)
{
    std::wstring path = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value)
        return L"<none>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(VersionResource, TheProgramsPropertiesGiveTheVersion)
{
    const std::string version = SourceVersion();
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 3) << version;
    const std::string exe = ProgramPath();
    ASSERT_FALSE(exe.empty()) << "run under CTest";
    const std::wstring path = Widened(exe);

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << exe;
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, patch));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // Explorer takes the block of a language listed in the translations.
    DWORD* translations = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length));
    ASSERT_EQ(length, 2 * sizeof(DWORD));
    EXPECT_EQ(translations[0], MAKELONG(0x0409, 1200));
    EXPECT_EQ(translations[1], MAKELONG(0x0411, 1200));

    struct Block { const wchar_t* name; const wchar_t* description; } blocks[] = {
        {L"040904B0", L"TARN, FTP client for Windows"},
        {L"041104B0", L"TARN, Windows \u7528 FTP \u30AF\u30E9\u30A4\u30A2\u30F3\u30C8"},
    };
    for (const Block& b : blocks) {
        SCOPED_TRACE(std::string(b.name, b.name + 8));
        EXPECT_EQ(VersionString(info, b.name, L"FileVersion"), Widened(version));
        EXPECT_EQ(VersionString(info, b.name, L"ProductVersion"), Widened(version));
        EXPECT_EQ(VersionString(info, b.name, L"ProductName"), L"TARN");
        EXPECT_EQ(VersionString(info, b.name, L"FileDescription"), b.description);
        EXPECT_EQ(VersionString(info, b.name, L"CompanyName"), L"The TARN authors");
        EXPECT_EQ(VersionString(info, b.name, L"LegalCopyright"), L"Copyright (c) 2026 The TARN authors. MIT License.");
        EXPECT_EQ(VersionString(info, b.name, L"OriginalFilename"), L"tarn.exe");
    }
}

}  // namespace
