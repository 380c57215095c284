// Help of the real tarn.exe when no tarn.hlp is beside it: its own help
// window, with the text of the interface's language, owned by the main
// window, brought forward again by Help, closed with Esc or its close box.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "resources/catalogue.h"
#include "resources/resource.h"
#include "tests/support/paths.h"
#include "tests/support/registry_guard.h"
#include "tests/support/tarnapp.h"

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// A catalogue entry in one language, from this program's copy of the
// resources (the same string tables as tarn.exe's).
std::wstring Entry(UINT id, LANGID language)
{
    HRSRC found = FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_STRING),
                                  MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!found)
        return L"";
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, found)));
    for (UINT i = 0; p && i < id % 16; ++i)
        p += 1 + *p;
    return p ? std::wstring(p + 1, *p) : L"";
}

std::wstring WithCrLf(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out;
}

std::wstring TextW(HWND hwnd)
{
    int n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(n + 1, L'\0');
    n = static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&text[0])));
    text.resize(n > 0 ? n : 0);
    return text;
}

struct Found {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectHelpWindows(HWND hwnd, LPARAM lp)
{
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (pid == f->pid && std::string(name) == "TARNHELPWNDCLASS")
        f->windows.push_back(hwnd);
    return TRUE;
}

// The help windows of the process (at most one is right).
std::vector<HWND> HelpWindows(const TarnApp& app)
{
    Found f{app.process.dwProcessId, {}};
    EnumWindows(CollectHelpWindows, reinterpret_cast<LPARAM>(&f));
    return f.windows;
}

HWND WaitHelpWindow(const TarnApp& app)
{
    HWND help = nullptr;
    TarnApp::WaitFor([&] {
        std::vector<HWND> w = HelpWindows(app);
        help = w.size() == 1 && IsWindowVisible(w[0]) ? w[0] : nullptr;
        return help != nullptr;
    }, 10000);
    return help;
}

// The window shows the title and every section of the language, numbered,
// in order, and is a resizable window owned by the main window.
void ExpectHelpWindow(const TarnApp& app, HWND help, LANGID language)
{
    EXPECT_EQ(GetWindow(help, GW_OWNER), app.main);
    LONG style = GetWindowLongA(help, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(TextW(help), Entry(HELP_TITLE, language));
    HWND text = GetDlgItem(help, IDC_HELP_TEXT);
    ASSERT_TRUE(text);
    std::wstring shown = TextW(text);
    size_t at = 0;
    int number = 1;
    for (UINT id = HELP_FIRST_SECTION; id <= HELP_LAST_SECTION; ++id) {
        std::wstring section = Entry(id, language);
        ASSERT_GT(section.size(), 40u) << id;
        std::wstring expected = std::to_wstring(number++) + L". " + WithCrLf(section);
        size_t found = shown.find(expected, at);
        EXPECT_NE(found, std::wstring::npos) << "section " << id;
        if (found != std::wstring::npos)
            at = found + expected.size();
    }
}

struct HelpTest : ::testing::Test {
    RegistryGuard registry;
    void SetUp() override
    {
        WriteTestOptions();
        std::string program = ProgramPath();
        ASSERT_FALSE(program.empty());
        std::string beside = program.substr(0, program.find_last_of('\\') + 1) + "tarn.hlp";
        ASSERT_EQ(GetFileAttributesA(beside.c_str()), INVALID_FILE_ATTRIBUTES) << beside;
    }
};

TEST_F(HelpTest, OpensItsOwnWindowInEnglishAndOnlyOnce)
{
    TarnApp app;
    ASSERT_TRUE(app.Start("help-en", "-d"));
    app.Click(IDC_HELPBUTTON);
    HWND help = WaitHelpWindow(app);
    ASSERT_TRUE(help);
    ExpectHelpWindow(app, help, kEnglish);
    std::wstring text = TextW(GetDlgItem(help, IDC_HELP_TEXT));
    EXPECT_NE(text.find(L"HKEY_CURRENT_USER\\Software\\Varnholt\\tarn"), std::wstring::npos);
    EXPECT_NE(text.find(L"tarn.exe ftp.example.com:/pub/readme.txt"), std::wstring::npos);

    // Help again, and the debug window's Help, with the window minimised or
    // behind the main window: the same window comes back, no second one.
    ShowWindow(help, SW_MINIMIZE);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return IsIconic(help) != FALSE; }));
    app.Click(IDC_HELPBUTTON);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !IsIconic(help); })) << "not restored";
    EXPECT_EQ(HelpWindows(app), std::vector<HWND>{help});
    SetWindowPos(app.main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    app.DebugCommand(IDM_DBG_HELPFILE);
    Sleep(300);
    EXPECT_EQ(HelpWindows(app), std::vector<HWND>{help});
    EXPECT_TRUE(IsWindowVisible(help));

    // Esc closes it; Help opens it again; the close box closes it.
    PostMessageA(GetDlgItem(help, IDC_HELP_TEXT), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return HelpWindows(app).empty(); }, 5000));
    app.Click(IDC_HELPBUTTON);
    help = WaitHelpWindow(app);
    ASSERT_TRUE(help);
    PostMessageA(help, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return HelpWindows(app).empty(); }, 5000));

    // Nothing was asked of the user and the program goes on.
    app.Click(IDC_HELPBUTTON);
    ASSERT_TRUE(WaitHelpWindow(app));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Under the Japanese interface the window shows the Japanese text. Wine
// takes the locale from the environment the test program was started with,
// so this runs in the CTest entry shell_ja (LANG=ja_JP.UTF-8) and skips
// itself elsewhere.
TEST(JapaneseInterface, HelpShowsTheJapaneseText)
{
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_JAPANESE)
        GTEST_SKIP() << "not a Japanese interface (see the CTest entry shell_ja)";
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("help-ja"));
    // The interface is Japanese: the Help button shows its Japanese caption.
    EXPECT_EQ(TextW(app.Control(IDC_HELPBUTTON)), Entry(CAPTION_HELP, kJapanese));
    app.Click(IDC_HELPBUTTON);
    HWND help = WaitHelpWindow(app);
    ASSERT_TRUE(help);
    ExpectHelpWindow(app, help, kJapanese);
    app.Click(IDC_HELPBUTTON);
    Sleep(300);
    EXPECT_EQ(HelpWindows(app), std::vector<HWND>{help});
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
