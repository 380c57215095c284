// Remote names through the real tarn.exe: the profile's name encoding chosen
// in the host dialog and stored, the FEAT and OPTS of the logon, and UTF-8
// names listed, received and sent against the real servers.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "store/options.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

// Opens the host dialog, types the folder's name as a user does and returns
// the dialog once the profile is loaded (0 when it did not come).
HWND OpenHostDialog(const TarnApp& app, const std::string& folder)
{
    app.Click(IDC_CONNECT);
    HWND dialog = app.WaitDialog(IDC_HOST_FOLDER);
    if (!dialog)
        return nullptr;
    HWND edit = FindWindowExA(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    if (!edit)
        return nullptr;
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : folder)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    return dialog;
}

LRESULT EncodingShown(HWND dialog)
{
    return SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, CB_GETCURSEL, 0, 0);
}

// Chooses the encoding as a user does: the selection, then the list's
// notification to the dialog.
void ChooseEncoding(HWND dialog, int encoding)
{
    SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, CB_SETCURSEL, encoding, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HOST_ENCODING, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_HOST_ENCODING)));
}

bool PressAndWaitClosed(HWND dialog, int button)
{
    PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    return TarnApp::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
}

void Disconnect(TarnApp& app)
{
    app.Click(IDC_DISCONNECT);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT) && app.Title() == "TARN"; }));
    app.Settle(300);
}

// A logon, then `feat` (the steps that answer FEAT, if any), then PWD, HELP
// and SYST of the host type's detection, the first listing with these data, and QUIT.
std::vector<ScriptStep> Script(const std::vector<ScriptStep>& feat, const std::string& data)
{
    std::vector<ScriptStep> steps{Say("220 Scripted server ready\r\n"), Hear(), Say("331 Password please\r\n"),
                                  Hear(), Say("230 Logged on\r\n")};
    steps.insert(steps.end(), feat.begin(), feat.end());
    steps.insert(steps.end(), {Hear(), Say("257 \"/\" is current\r\n"), Hear(), Say("214 No help here\r\n"),
                               Hear(), Say("215 UNIX Type: L8\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Listing\r\n"), DataConnect(),
                               DataSay(data), DataClose(), Say("226 Done\r\n"), Hear(), Say("221 Bye\r\n"),
                               Silent()});
    return steps;
}

// The heard commands with PORT's argument cut off, up to LIST.
std::vector<std::string> Wire(const std::vector<std::string>& heard)
{
    std::vector<std::string> wire;
    for (const std::string& h : heard) {
        wire.push_back(h.compare(0, 5, "PORT ") == 0 ? "PORT" : h);
        if (h == "LIST")
            break;
    }
    return wire;
}

const char kListing[] = "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 plain.txt\r\n";

}  // namespace

// A new profile starts at Auto, a stored one without the value at Code page;
// the choice is stored as UTF8 and read back.
TEST(EndToEndNames, TheDialogStoresTheEncoding)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-names-old", 21, false);
    TarnApp app;
    ASSERT_TRUE(app.Start("names-dialog"));

    HWND dialog = OpenHostDialog(app, "e2e-names-brand-new");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return EncodingShown(dialog) == NAMES_AUTO; }, 5000));
    // Typing over it with a stored profile shows that profile's encoding.
    HWND edit = FindWindowExA(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("e2e-names-old"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return EncodingShown(dialog) == NAMES_CODE_PAGE; }, 5000));
    ChooseEncoding(dialog, NAMES_UTF8);
    PostMessageA(GetDlgItem(dialog, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    EXPECT_TRUE(TarnApp::WaitFor([] { return RegText("e2e-names-old", "UTF8") == "2"; }, 5000));
    ASSERT_TRUE(PressAndWaitClosed(dialog, IDCANCEL));
    app.Settle(300);

    dialog = OpenHostDialog(app, "e2e-names-old");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return EncodingShown(dialog) == NAMES_UTF8; }, 5000));
    char text[64] = "";
    SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "UTF-8");
    ASSERT_TRUE(PressAndWaitClosed(dialog, IDCANCEL));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Auto asks with FEAT: a server that refuses it, or lists no UTF8, gets no
// further command and its names are taken as UTF-8 while they are; one that
// lists UTF8 gets OPTS UTF8 ON. A stored profile without the value sends neither.
TEST(EndToEndNames, TheLogonAgreesTheEncoding)
{
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("names-logon"));
    struct Case {
        const char* what;
        int choose;  // -1: the stored profile as it is
        std::vector<ScriptStep> feat;
        std::vector<std::string> wire;
        UINT logged;
    } cases[] = {
        {"Auto, FEAT refused", NAMES_AUTO, {Hear(), Say("500 FEAT not understood\r\n")},
         {"USER tarnftp", "PASS secret", "FEAT", "PWD", "HELP", "SYST", "PORT", "LIST"}, 384},
        {"Auto, UTF8 listed", NAMES_AUTO,
         {Hear(), Say("211-Features:\r\n MDTM\r\n UTF8\r\n SIZE\r\n211 End\r\n"), Hear(),
          Say("200 Always in UTF8 mode.\r\n")},
         {"USER tarnftp", "PASS secret", "FEAT", "OPTS UTF8 ON", "PWD", "HELP", "SYST", "PORT", "LIST"}, 263},
        {"Auto, UTF8 not listed", NAMES_AUTO, {Hear(), Say("211-Features:\r\n MDTM\r\n211 End\r\n")},
         {"USER tarnftp", "PASS secret", "FEAT", "PWD", "HELP", "SYST", "PORT", "LIST"}, 384},
        {"UTF-8 chosen", NAMES_UTF8, {Hear(), Say("200 OK\r\n")},
         {"USER tarnftp", "PASS secret", "OPTS UTF8 ON", "PWD", "HELP", "SYST", "PORT", "LIST"}, 263},
        {"stored without the value", -1, {}, {"USER tarnftp", "PASS secret", "PWD", "HELP", "SYST", "PORT", "LIST"}, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptServer server(Script(c.feat, kListing));
        ASSERT_TRUE(server.Listening());
        const std::string folder = "e2e-names-logon-" + std::to_string(n++);
        WriteHostProfile(folder, server.Port(), false);
        app.Mark();
        HWND dialog = OpenHostDialog(app, folder);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(TarnApp::WaitFor([&] { return EncodingShown(dialog) == NAMES_CODE_PAGE; }, 5000));
        SendMessageA(GetDlgItem(dialog, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("secret"));
        if (c.choose >= 0)
            ChooseEncoding(dialog, c.choose);
        ASSERT_TRUE(PressAndWaitClosed(dialog, IDOK));
        EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES) == std::vector<std::string>{"plain.txt"}; }));
        app.Settle(300);
        EXPECT_EQ(Wire(server.Heard()), c.wire);
        std::vector<std::string> lines = app.NewLines();
        for (UINT id : {263u, 264u, 384u}) {
            bool logged = std::find(lines.begin(), lines.end(), TarnApp::Line(CatalogueText(id))) != lines.end();
            EXPECT_EQ(logged, id == c.logged) << id << "\n" << Joined(lines);
        }
        Disconnect(app);
    }
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A UTF-8 listing through the windows: names shown in the code page (what it
// lacks, and bytes that are not UTF-8, as "?"), every command naming a listed
// file sends the server's exact bytes, two names shown alike stay two, and a
// name that is not UTF-8 is not received.
TEST(EndToEndNames, ListedBytesGoBackExactly)
{
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("names-bytes"));
    const bool japanese = GetACP() == 932;
    const std::string cafe = "caf\xC3\xA9.txt", nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";
    const std::string listing = "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 " + cafe + "\r\n" +
                                "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 " + nihongo + "\r\n" +
                                "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 x\xE9.txt\r\n" +
                                "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 x\xFF.txt\r\n" + kListing;
    std::vector<ScriptStep> steps = Script({Hear(), Say("211-Features:\r\n UTF8\r\n211 End\r\n"), Hear(),
                                            Say("200 Always in UTF8 mode.\r\n")},
                                           listing);
    steps.resize(steps.size() - 3);  // no QUIT yet: the deletions come first
    steps.insert(steps.end(), {Hear(), Say("250 Deleted\r\n"), Hear(), Say("250 Deleted\r\n"), Hear(),
                               Say("250 Deleted\r\n"), Silent()});
    ScriptServer server(steps);
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-names-bytes", server.Port(), false);
    HWND dialog = OpenHostDialog(app, "e2e-names-bytes");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return EncodingShown(dialog) == NAMES_CODE_PAGE; }, 5000));
    SendMessageA(GetDlgItem(dialog, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("secret"));
    ChooseEncoding(dialog, NAMES_AUTO);
    ASSERT_TRUE(PressAndWaitClosed(dialog, IDOK));

    const std::string cafeShown = japanese ? "caf?.txt" : "caf\xE9.txt";
    const std::string nihongoShown = japanese ? "\x93\xFA\x96\x7B\x8C\xEA.txt" : "???.txt";
    std::vector<std::string> shown{cafeShown, nihongoShown, "x?.txt", "x?.txt", "plain.txt"};
    std::sort(shown.begin(), shown.end());
    ASSERT_TRUE(TarnApp::WaitFor([&] {
        std::vector<std::string> items = app.Items(IDC_REMOTE_FILES);
        std::sort(items.begin(), items.end());
        return items == shown;
    })) << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle(300);

    // Receiving the names that are not UTF-8: refused, nothing asked.
    std::vector<std::string> items = app.Items(IDC_REMOTE_FILES);
    auto selectShown = [&](const std::string& text) {
        app.SelectNone(IDC_REMOTE_FILES);
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == text)
                SendMessageA(app.Control(IDC_REMOTE_FILES), LB_SETSEL, TRUE, static_cast<LPARAM>(i));
    };
    app.Mark();
    selectShown("x?.txt");
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(app.WaitLogged(TarnApp::Line(CatalogueText(265, "x?.txt"))));
    app.Settle(300);
    EXPECT_FALSE(DirExists(app.dir + "\\x?.txt"));
    EXPECT_EQ(GetFileAttributesA((app.dir + "\\x?.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    // Deleting both, and the accented name: each its own bytes.
    selectShown("x?.txt");
    SendMessageA(app.Control(IDC_REMOTE_FILES), LB_SETSEL, TRUE,
                 std::find(items.begin(), items.end(), cafeShown) - items.begin());
    app.Click(IDC_REMOTE_DELETE);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(app.AnswerBox(IDYES), "");
    app.Settle(300);
    std::vector<std::string> heard = server.Heard();
    std::vector<std::string> deleted;
    for (const std::string& h : heard)
        if (h.compare(0, 5, "DELE ") == 0)
            deleted.push_back(h.substr(5));
    std::sort(deleted.begin(), deleted.end());
    std::vector<std::string> expected{cafe, "x\xE9.txt", "x\xFF.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(deleted, expected) << Joined(heard);
    // The status log shows the commands as the user reads the names.
    std::vector<std::string> lines = app.NewLines();
    for (const std::string& name : {cafeShown, std::string("x?.txt")})
        EXPECT_NE(std::find(lines.begin(), lines.end(), TarnApp::Line("DELE " + name)), lines.end())
            << name << "\n" << Joined(lines);
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(), [](const std::string& h) { return h.compare(0, 5, "RETR ") == 0; }),
              0);
    app.Click(IDC_EXIT);
    app.WaitExit();
}

namespace {

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}

bool WriteWide(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return written == bytes.size();
}

// The file's bytes, or "(none)" when it is missing.
std::string ReadWide(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(none)";
    char buffer[256];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

// The names of the real-server table, each in wide form, its code-page
// bytes under the UI's code page ("" when that code page lacks it).
struct NameCase {
    const wchar_t* wide;
    const char* in1252;
    const char* in932;
};
constexpr NameCase kServedNames[] = {
    {L"n-plain.txt", "n-plain.txt", "n-plain.txt"},
    {L"n-caf\x00E9.txt", "n-caf\xE9.txt", ""},
    {L"n-\x65E5\x672C\x8A9E.txt", "", "n-\x93\xFA\x96\x7B\x8C\xEA.txt"},
    {L"n-\x8868.txt", "", "n-\x95\x5C.txt"},  // "表": its second byte in code page 932 is "\"
};

// The name as shown where the code page lacks its characters: each of them
// a mark (the table's other characters are ASCII).
std::string MarkedName(const NameCase& c)
{
    std::string marked;
    for (const wchar_t* w = c.wide; *w; ++w)
        marked += *w < 0x80 ? static_cast<char>(*w) : '?';
    return marked;
}

}  // namespace

// Against both real servers, through the windows with Auto: the names listed
// as the user reads them, received under those names (those the code page
// lacks refused, said so), a file sent, renamed and deleted under UTF-8.
TEST(EndToEndNames, RealServersUnderAuto)
{
    RegistryGuard registry;
    WriteTestOptions();
    const bool japanese = GetACP() == 932;
    auto shownOf = [&](const NameCase& c) { return std::string(japanese ? c.in932 : c.in1252); };
    for (const RealServer& real : kRealServers) {
        SCOPED_TRACE(real.name);
        // The user's root (the server writes only there); other tests' files
        // may be in it as well.
        const std::wstring root = Widen(ServerRoot(real, false));
        for (const wchar_t* left : {L"n-\x9001\x4FE1.txt", L"n-na\x00EFve.txt", L"n-\x65B0\x540D.txt", L"n-ren\x00E9.txt"})
            DeleteFileW((root + L"\\" + left).c_str());
        for (const NameCase& c : kServedNames)
            ASSERT_TRUE(WriteWide(root + L"\\" + c.wide, std::string("data of ") + real.name));
        const std::string folder = std::string("e2e-names-") + real.name;
        WriteHostProfile(folder, ServerPort(real), false);
        TarnApp app;
        ASSERT_TRUE(app.Start(std::string("names-real-") + real.name));
        app.Mark();
        HWND dialog = OpenHostDialog(app, folder);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(TarnApp::WaitFor([&] { return EncodingShown(dialog) == NAMES_CODE_PAGE; }, 5000));
        SendMessageA(GetDlgItem(dialog, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerPassword));
        ChooseEncoding(dialog, NAMES_AUTO);
        ASSERT_TRUE(PressAndWaitClosed(dialog, IDOK));
        ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; })) << app.Title();
        EXPECT_TRUE(app.WaitLogged(TarnApp::Line(CatalogueText(263))));

        // Listed: what the code page has as itself, the rest as "?".
        std::vector<std::string> shown;
        for (const NameCase& c : kServedNames) {
            std::string s = shownOf(c);
            shown.push_back(!s.empty() ? s : MarkedName(c));
        }
        ASSERT_TRUE(TarnApp::WaitFor([&] {
            std::vector<std::string> items = app.Items(IDC_REMOTE_FILES);
            return std::all_of(shown.begin(), shown.end(), [&](const std::string& name) {
                return std::count(items.begin(), items.end(), name) == 1;
            });
        })) << Joined(app.Items(IDC_REMOTE_FILES));
        app.Settle();

        // Received: all selected, each under its true name; one that the code
        // page lacks through the wide-character file calls. (The local list,
        // read again after it, shows the file to send below.)
        const std::wstring sent = japanese ? L"n-\x9001\x4FE1.txt" : L"n-na\x00EFve.txt";
        ASSERT_TRUE(WriteWide(Widen(app.dir) + L"\\" + sent, "sent"));
        app.Mark();
        ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, shown));
        app.Click(IDC_RECEIVE);
        app.Settle(1000);
        for (const NameCase& c : kServedNames)
            EXPECT_EQ(ReadWide(Widen(app.dir) + L"\\" + c.wide), std::string("data of ") + real.name)
                << MarkedName(c) << "\n" << Joined(app.NewLines());
        WIN32_FIND_DATAA found;
        HANDLE temp = FindFirstFileA((app.dir + "\\trn*.tmp").c_str(), &found);
        EXPECT_EQ(temp, INVALID_HANDLE_VALUE);  // no temporary name left behind
        if (temp != INVALID_HANDLE_VALUE)
            FindClose(temp);

        // Sent, renamed, deleted: a name of the code page goes as UTF-8.
        const std::wstring renamed = japanese ? L"n-\x65B0\x540D.txt" : L"n-ren\x00E9.txt";
        const std::string sentShown = japanese ? "n-\x91\x97\x90\x4D.txt" : "n-na\xEFve.txt";
        ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Select(IDC_LOCAL_FILES, {sentShown}); }))
            << Joined(app.Items(IDC_LOCAL_FILES));
        app.Click(IDC_SEND);
        ASSERT_TRUE(TarnApp::WaitFor([&] { return ReadWide(root + L"\\" + sent) == "sent"; }));
        ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Select(IDC_REMOTE_FILES, {sentShown}); }))
            << Joined(app.Items(IDC_REMOTE_FILES));
        app.Settle();
        app.Click(IDC_REMOTE_RENAME);
        app.Answer(japanese ? "n-\x90\x56\x96\xBC.txt" : "n-ren\xE9.txt");
        EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadWide(root + L"\\" + renamed) == "sent"; }));
        EXPECT_EQ(ReadWide(root + L"\\" + sent), "(none)");
        const std::string renamedShown = japanese ? "n-\x90\x56\x96\xBC.txt" : "n-ren\xE9.txt";
        ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Select(IDC_REMOTE_FILES, {renamedShown}); }))
            << Joined(app.Items(IDC_REMOTE_FILES));
        app.Settle();
        app.Click(IDC_REMOTE_DELETE);
        EXPECT_NE(app.AnswerBox(IDYES), "");
        EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadWide(root + L"\\" + renamed) == "(none)"; }));
        app.Settle();
        Disconnect(app);
        app.Click(IDC_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
    }
}
