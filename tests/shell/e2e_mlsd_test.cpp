// Listings in the server's own facts through the real tarn.exe: the profile's
// MLSD choice, MLSD against pyftpdlib with names no LIST line carries
// exactly, LIST where the server offers no MLST or refuses MLSD, the
// server's file times, and UTF-8 names on servers that do not announce them.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "resources/catalogue.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

const RealServer& Pyftpd() { return kRealServers[1]; }
const RealServer& VsftpdTls() { return kTlsServers[0]; }

// The host dialog with the folder's name typed, as a user does.
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

bool Checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool PressAndWaitClosed(HWND dialog, int button)
{
    PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    return TarnApp::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
}

void Connect(TarnApp& app, const std::string& folder)
{
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith(folder, kServerPassword));
    // An FTPS session's title says so: "TARN 127.0.0.1 (TLS)".
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title().compare(0, 14, "TARN 127.0.0.1") == 0; })) << app.Title();
    app.Settle();
}

void Disconnect(TarnApp& app)
{
    app.Click(IDC_DISCONNECT);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT) && app.Title() == "TARN"; }));
    app.Settle(300);
}

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

// The names of the commands (their first word) in order.
std::vector<std::string> Verbs(const std::vector<std::string>& commands)
{
    std::vector<std::string> verbs;
    for (const std::string& c : commands)
        verbs.push_back(c.substr(0, c.find(' ')));
    return verbs;
}

bool Has(const std::vector<std::string>& items, const std::string& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

bool Logged(const std::vector<std::string>& lines, const std::string& text)
{
    return Has(lines, TarnApp::Line(text));
}

// A file's modification time, UTC, as "YYYYMMDDHHMMSS".
std::string FileTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME t;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &t))
        return "";
    char text[32];
    wsprintfA(text, "%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

}  // namespace

// A new profile starts with MLSD on, a stored one without the value with it
// off; the check box is stored as MLSD. Keep the server's file times is an
// option stored as KEEPTIME.
TEST(EndToEndMlsd, TheDialogsStoreTheChoices)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-mlsd-old", 21, false);
    TarnApp app;
    ASSERT_TRUE(app.Start("mlsd-dialog"));

    HWND dialog = OpenHostDialog(app, "e2e-mlsd-brand-new");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Checked(dialog, IDC_HOST_MLSD); }, 5000));
    HWND edit = FindWindowExA(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("e2e-mlsd-old"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !Checked(dialog, IDC_HOST_MLSD); }, 5000));
    PostMessageA(GetDlgItem(dialog, IDC_HOST_MLSD), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    EXPECT_TRUE(TarnApp::WaitFor([] { return RegText("e2e-mlsd-old", "MLSD") == "1"; }, 5000));
    ASSERT_TRUE(PressAndWaitClosed(dialog, IDCANCEL));
    app.Settle(300);

    app.Click(IDC_OPTIONS);
    HWND options = app.WaitDialog(IDC_OPT_KEEPTIME);
    ASSERT_TRUE(options);
    EXPECT_FALSE(Checked(options, IDC_OPT_KEEPTIME));
    PostMessageA(GetDlgItem(options, IDC_OPT_KEEPTIME), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return Checked(options, IDC_OPT_KEEPTIME); }, 5000));
    ASSERT_TRUE(PressAndWaitClosed(options, IDOK));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    EXPECT_EQ(RegText("_config_", "KEEPTIME"), "1");
}

// pyftpdlib lists MLST: the listing is MLSD, its names exactly as the server
// has them, and each is received byte for byte; the one with a trailing blank
// under the name Windows keeps, said in one line. With Keep the server's file
// times, the received file has the server's time.
TEST(EndToEndMlsd, PyftpdlibNamesExactly)
{
    RegistryGuard registry;
    WriteTestOptions();
    RegSetText("_config_", "KEEPTIME", "1");
    WriteHostProfile("e2e-mlsd-py", ServerPort(Pyftpd()), false, "/e2e-odd");
    RegSetText("e2e-mlsd-py", "UTF8", "1");
    RegSetText("e2e-mlsd-py", "MLSD", "1");
    const long logStart = PyftpdLogSize(Pyftpd());
    TarnApp app;
    ASSERT_TRUE(app.Start("mlsd-pyftpd"));
    app.Mark();
    Connect(app, "e2e-mlsd-py");
    const std::vector<std::string> names{" lead", "a;b=c.txt", "trail ", "two  spaces.txt"};
    std::vector<std::string> all = names;
    all.push_back("sized.bin");
    EXPECT_EQ(Sorted(app.Items(IDC_REMOTE_FILES)), Sorted(all));
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(Logged(lines, CatalogueText(MSG_MLSD_USED))) << Joined(lines);
    std::vector<std::string> verbs = Verbs(PyftpdCommandsSince(Pyftpd(), logStart));
    EXPECT_TRUE(Has(verbs, "FEAT")) << Joined(verbs);
    EXPECT_TRUE(Has(verbs, "MLSD")) << Joined(verbs);
    EXPECT_FALSE(Has(verbs, "LIST")) << Joined(verbs);

    app.Mark();
    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, names));
    app.Click(IDC_RECEIVE);
    const std::string kept[] = {" lead", "a;b=c.txt", "trail", "two  spaces.txt"};
    const std::string bytes[] = {"leading blank\n", "semicolon\n", "trailing blank\n", "two blanks\n"};
    EXPECT_TRUE(TarnApp::WaitFor([&] {
        for (const std::string& name : kept)
            if (!FileExists(app.dir + "\\" + name))
                return false;
        return true;
    }));
    app.Settle();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReadBytes(app.dir + "\\" + kept[i]), bytes[i]) << kept[i];
    lines = app.NewLines();
    EXPECT_TRUE(Logged(lines, CatalogueText(MSG_LOCAL_NAME_KEPT, "trail ", "trail"))) << Joined(lines);
    // The leading blank went to the server (its log strips trailing ones;
    // the bytes of "trail" above could only come from "trail ").
    verbs = PyftpdCommandsSince(Pyftpd(), logStart);
    EXPECT_TRUE(std::any_of(verbs.begin(), verbs.end(), [](const std::string& c) {
        return c.compare(0, 5, "RETR ") == 0 && c.size() > 6 && c.compare(c.size() - 6, 6, "/ lead") == 0;
    })) << Joined(verbs);
    // The server's time, from the listing's modify fact.
    EXPECT_EQ(FileTime(app.dir + "\\a;b=c.txt"), "20210304050607");

    // A sent file keeps its time on the server: pyftpdlib lists MFMT.
    const std::string local = app.dir + "\\kept-time.txt", remote = ServerRoot(Pyftpd(), false) + "\\e2e-odd\\kept-time.txt";
    ASSERT_TRUE(WriteBytes(local, "kept\n"));
    SYSTEMTIME when = {2020, 1, 0, 2, 3, 4, 5, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&when, &stamp);
    HANDLE h = CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &stamp);
    CloseHandle(h);
    app.PressEnter(IDC_LOCAL_MASK);  // the local lists read again
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Select(IDC_LOCAL_FILES, {"kept-time.txt"}); }))
        << Joined(app.Items(IDC_LOCAL_FILES));
    app.Click(IDC_SEND);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return FileTime(remote) == "20200102030405"; })) << FileTime(remote);
    app.Settle();
    EXPECT_TRUE(Has(Verbs(PyftpdCommandsSince(Pyftpd(), logStart)), "MFMT"));
    DeleteFileA(remote.c_str());

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A stored profile without the value asks no FEAT and lists with LIST, also
// where the server offers MLSD.
TEST(EndToEndMlsd, AStoredProfileListsAsBefore)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-mlsd-stored", ServerPort(Pyftpd()), false, "/e2e-odd");
    const long logStart = PyftpdLogSize(Pyftpd());
    TarnApp app;
    ASSERT_TRUE(app.Start("mlsd-stored"));
    Connect(app, "e2e-mlsd-stored");
    // LIST cannot carry the blanks at the ends of a name.
    EXPECT_TRUE(Has(app.Items(IDC_REMOTE_FILES), "two  spaces.txt")) << Joined(app.Items(IDC_REMOTE_FILES));
    std::vector<std::string> verbs = Verbs(PyftpdCommandsSince(Pyftpd(), logStart));
    EXPECT_FALSE(Has(verbs, "FEAT")) << Joined(verbs);
    EXPECT_FALSE(Has(verbs, "MLSD")) << Joined(verbs);
    EXPECT_TRUE(Has(verbs, "LIST")) << Joined(verbs);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Debian's vsftpd as installed (the FTPS one here: no utf8_filesystem) lists
// neither MLST nor UTF8: LIST as before, and with Auto a UTF-8 name is shown
// and received under its name.
TEST(EndToEndMlsd, VsftpdWithoutUtf8OrMlst)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the name is shown in code page 1252";
    RegistryGuard registry;
    WriteTestOptions();
    const std::string root = ServerRoot(VsftpdTls(), false) + "\\e2e-cafe";
    CreateDirectoryA(root.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(root + "\\caf\xE9.txt", "caf\xC3\xA9\n"));  // stored as UTF-8 by Wine
    WriteHostProfile("e2e-mlsd-vs", ServerPort(VsftpdTls()), false, "/e2e-cafe");
    RegSetText("e2e-mlsd-vs", "TLS", "1");
    RegSetText("e2e-mlsd-vs", "TLSCERT", ServerFingerprint(VsftpdTls()));
    RegSetText("e2e-mlsd-vs", "UTF8", "1");
    RegSetText("e2e-mlsd-vs", "MLSD", "1");
    const long logStart = VsftpdLogSize(VsftpdTls());
    TarnApp app;
    ASSERT_TRUE(app.Start("mlsd-vsftpd"));
    app.Mark();
    Connect(app, "e2e-mlsd-vs");
    EXPECT_EQ(app.Items(IDC_REMOTE_FILES), std::vector<std::string>{"caf\xE9.txt"});
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(Logged(lines, CatalogueText(MSG_NAMES_UTF8_UNANNOUNCED))) << Joined(lines);
    EXPECT_FALSE(Logged(lines, CatalogueText(MSG_MLSD_USED))) << Joined(lines);
    std::vector<std::string> verbs = Verbs(VsftpdCommandsSince(VsftpdTls(), logStart));
    EXPECT_TRUE(Has(verbs, "FEAT")) << Joined(verbs);
    EXPECT_TRUE(Has(verbs, "LIST")) << Joined(verbs);
    EXPECT_FALSE(Has(verbs, "MLSD")) << Joined(verbs);
    EXPECT_FALSE(Has(verbs, "OPTS")) << Joined(verbs);

    ASSERT_TRUE(app.Select(IDC_REMOTE_FILES, {"caf\xE9.txt"}));
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\caf\xE9.txt") == "caf\xC3\xA9\n"; }));
    app.Settle();
    // vsftpd logs every byte outside ASCII as "?": two of them, the UTF-8 of "é".
    EXPECT_TRUE(Has(VsftpdCommandsSince(VsftpdTls(), logStart), "RETR caf??.txt"))
        << Joined(VsftpdCommandsSince(VsftpdTls(), logStart));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\caf\xE9.txt").c_str());
    RemoveDirectoryA(root.c_str());
}

namespace {

// The logon, FEAT answered with `features`, PWD, HELP and SYST.
std::vector<ScriptStep> Logon(const std::string& features)
{
    return {Say("220 Scripted server ready\r\n"), Hear(), Say("331 Password please\r\n"), Hear(),
            Say("230 Logged on\r\n"), Hear(), Say(features), Hear(), Say("257 \"/\" is current\r\n"), Hear(),
            Say("214 No help here\r\n"), Hear(), Say("215 UNIX Type: L8\r\n")};
}

void Append(std::vector<ScriptStep>* steps, const std::vector<ScriptStep>& more)
{
    steps->insert(steps->end(), more.begin(), more.end());
}

// A LIST with its data.
std::vector<ScriptStep> Listing(const std::string& data)
{
    return {Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Listing\r\n"), DataConnect(), DataSay(data),
            DataClose(), Say("226 Done\r\n")};
}

HWND ConnectScripted(TarnApp& app, const ScriptServer& server, const std::string& folder)
{
    WriteHostProfile(folder, server.Port(), false);
    RegSetText(folder, "UTF8", "1");
    RegSetText(folder, "MLSD", "1");
    app.Click(IDC_CONNECT);
    return app.ConnectWith(folder, "secret") ? app.main : nullptr;
}

}  // namespace

// A server that lists MLST and then refuses MLSD: one line, and LIST for the
// rest of the session, the refused listing's own one included.
TEST(EndToEndMlsd, RefusedMlsdListsWithList)
{
    RegistryGuard registry;
    WriteTestOptions();
    std::vector<ScriptStep> steps = Logon("211-Features:\r\n MLST type*;size*;modify*;\r\n211 End\r\n");
    Append(&steps, {Hear(), Say("200 PORT ok\r\n"), Hear(), Say("500 MLSD not understood\r\n")});
    Append(&steps, Listing("-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 first.txt\r\n"));
    Append(&steps, {Hear(), Say("257 \"/\" is current\r\n")});
    Append(&steps, Listing("-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 second.txt\r\n"));
    Append(&steps, {Hear(), Say("221 Bye\r\n"), Silent()});
    ScriptServer server(steps);
    ASSERT_TRUE(server.Listening());
    TarnApp app;
    ASSERT_TRUE(app.Start("mlsd-refused"));
    app.Mark();
    ASSERT_TRUE(ConnectScripted(app, server, "e2e-mlsd-refused"));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES) == std::vector<std::string>{"first.txt"}; }))
        << Joined(server.Heard());
    app.Settle();
    app.PressEnter(IDC_REMOTE_MASK);  // lists again
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Items(IDC_REMOTE_FILES) == std::vector<std::string>{"second.txt"}; }))
        << Joined(server.Heard());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), TarnApp::Line(CatalogueText(MSG_MLSD_REFUSED, 500u))), 1) << Joined(lines);
    std::vector<std::string> verbs = Verbs(server.Heard());
    EXPECT_EQ(verbs, (std::vector<std::string>{"USER", "PASS", "FEAT", "PWD", "HELP", "SYST", "PORT", "MLSD", "PORT",
                                               "LIST", "PWD", "PORT", "LIST"}));
    Disconnect(app);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Auto without UTF8 in FEAT: UTF-8 names are taken as UTF-8 until the first
// name that is not; then one line, and the list shown again in the code page.
TEST(EndToEndMlsd, ALatin1NameSwitchesToTheCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the names are shown in code page 1252";
    RegistryGuard registry;
    WriteTestOptions();
    std::vector<ScriptStep> steps = Logon("211-Features:\r\n MDTM\r\n211 End\r\n");
    Append(&steps, Listing("-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 caf\xC3\xA9.txt\r\n"
                           "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 na\xC3\xAFve.txt\r\n"
                           "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 latin\xE9.txt\r\n"
                           "-rw-r--r--   1 ftp ftp 5 Jan  1 12:00 z.txt\r\n"));
    Append(&steps, {Hear(), Say("221 Bye\r\n"), Silent()});
    ScriptServer server(steps);
    ASSERT_TRUE(server.Listening());
    TarnApp app;
    ASSERT_TRUE(app.Start("names-switch"));
    app.Mark();
    ASSERT_TRUE(ConnectScripted(app, server, "e2e-names-switch"));
    const std::vector<std::string> shown{"caf\xC3\xA9.txt", "latin\xE9.txt", "na\xC3\xAFve.txt", "z.txt"};
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Sorted(app.Items(IDC_REMOTE_FILES)) == shown; }))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(Logged(lines, CatalogueText(MSG_NAMES_UTF8_UNANNOUNCED))) << Joined(lines);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), TarnApp::Line(CatalogueText(MSG_NAMES_SWITCH_CODE_PAGE, "latin\xE9.txt"))), 1)
        << Joined(lines);
    Disconnect(app);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}
