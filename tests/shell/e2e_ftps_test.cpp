// FTPS through the real tarn.exe: the host dialog's check box, the logon
// inside TLS, listings, receives and sends on TLS data connections in active
// and passive mode against both FTPS servers, the certificate dialog and its
// three answers, the failures that must never fall back to plain text, and
// data connections that cannot be trusted: another certificate than the
// control connection's, and a download that ends without close_notify.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
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

namespace {

std::string TextOf(HWND control)
{
    char text[512] = "";
    if (control)
        SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Has(const std::vector<std::string>& lines, const std::string& prefix)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// A profile for an FTPS server: TLS on, and the certificate trusted when
// asked (as "Always trust" leaves it).
void WriteTlsProfile(const std::string& folder, const RealServer& server, bool passive, bool trusted)
{
    WriteHostProfile(folder, ServerPort(server), false, "", 30);
    RegSetText(folder, "TLS", "1");
    RegSetText(folder, "PASV", passive ? "1" : "0");
    if (trusted)
        RegSetText(folder, "TLSCERT", ServerFingerprint(server));
}

// An encrypted session says so in the title.
const char kTlsTitle[] = "TARN 127.0.0.1 (TLS)";

bool WaitConnected(TarnApp& app, const char* title = kTlsTitle)
{
    bool ok = TarnApp::WaitFor([&] { return app.Title() == title; });
    app.Settle();
    return ok;
}

void Disconnect(TarnApp& app)
{
    app.Click(IDC_DISCONNECT);
    TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); });
    app.Settle();
}

// Chooses in the FTPS box as a user does: the list's item, then the
// notification the box sends.
void ChooseTls(HWND host, const char* choice)
{
    HWND box = GetDlgItem(host, IDC_HOST_TLS);
    SendMessageA(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(choice));
    PostMessageA(host, WM_COMMAND, MAKEWPARAM(IDC_HOST_TLS, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    TarnApp::WaitFor([&] { return TextOf(box) == choice; });
}

struct Table : ::testing::TestWithParam<std::pair<RealServer, bool>> {};

std::string TableName(const ::testing::TestParamInfo<std::pair<RealServer, bool>>& info)
{
    std::string name = info.param.first.name;
    return name.substr(0, name.find('-')) + (info.param.second ? "Passive" : "Active");
}

// List, receive and send on TLS data connections, byte for byte.
TEST_P(Table, ListReceiveSend)
{
    const RealServer& server = GetParam().first;
    const bool passive = GetParam().second;
    const std::string root = ServerRoot(server, false);
    const std::string tag = std::string(passive ? "p" : "a");
    const std::string big = Pattern(3u << 20, 5), small = Pattern(4097, 6);
    const std::string getBig = "e2e-tls-" + tag + "-big.bin", getEmpty = "e2e-tls-" + tag + "-empty.bin";
    const std::string put = "e2e-tls-" + tag + "-put.bin";
    WriteBytes(root + "\\" + getBig, big);
    WriteBytes(root + "\\" + getEmpty, "");
    DeleteFileA((root + "\\" + put).c_str());

    RegistryGuard registry;
    WriteTestOptions();
    WriteTlsProfile("e2e-ftps", server, passive, true);
    TarnApp app;
    app.dir = TempDirectory("ftps-" + tag + server.name);
    WriteBytes(app.dir + "\\" + put, small);
    ASSERT_TRUE(app.Start("ftps-" + tag + server.name));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-ftps", kServerPassword));
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(Has(lines, "AUTH TLS")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "TLS: TLS 1.2")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "PBSZ 0")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "PROT P")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "PASS xxxx")) << Joined(lines);
    // LIST went over TLS: the listing shows the files.
    EXPECT_TRUE(Contains(app.Items(IDC_REMOTE_FILES), getBig)) << Joined(app.Items(IDC_REMOTE_FILES));

    app.Select(IDC_REMOTE_FILES, {getBig, getEmpty});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] {
        return ReadBytes(app.dir + "\\" + getBig) == big && Contains(app.Items(IDC_LOCAL_FILES), getEmpty);
    }, 60000)) << Joined(app.NewLines());
    app.Settle();
    EXPECT_EQ(ReadBytes(app.dir + "\\" + getEmpty), "");

    app.SelectNone(IDC_REMOTE_FILES);
    app.Select(IDC_LOCAL_FILES, {put});
    app.Click(IDC_SEND);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), put); }, 60000))
        << Joined(app.NewLines());
    app.Settle();
    EXPECT_EQ(ReadBytes(root + "\\" + put), small);
    lines = app.NewLines();
    EXPECT_FALSE(Has(lines, CatalogueText(MSG_TLS_DATA_FAILED))) << Joined(lines);
    EXPECT_FALSE(Has(lines, CatalogueText(MSG_TLS_DATA_CERT_MISMATCH))) << Joined(lines);

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    for (const std::string& f : {getBig, getEmpty, put})
        DeleteFileA((root + "\\" + f).c_str());
}

INSTANTIATE_TEST_SUITE_P(Ftps, Table,
                         ::testing::Values(std::make_pair(kTlsServers[0], false), std::make_pair(kTlsServers[0], true),
                                           std::make_pair(kTlsServers[1], false), std::make_pair(kTlsServers[1], true)),
                         TableName);

// The host dialog's FTPS choice "Required" and Save store it; the
// self-signed certificate opens the certificate dialog: Cancel ends the
// connection before USER, "Always trust" stores the fingerprint and the next
// connect asks nothing; another certificate on the same profile warns that
// it changed, and "Connect this once" keeps the stored one.
TEST(FtpsTrust, TheChoiceInTheDialogAndTheThreeAnswers)
{
    const RealServer& vsftpd = kTlsServers[0];
    const RealServer& pyftpd = kTlsServers[1];
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-trust", ServerPort(vsftpd), false, "", 30);
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-trust"));

    // Check FTPS in the host dialog, Save, OK.
    app.Click(IDC_CONNECT);
    HWND host = app.WaitDialog(IDC_HOST_FOLDER);
    ASSERT_TRUE(host);
    HWND edit = FindWindowExA(GetDlgItem(host, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    ASSERT_TRUE(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("e2e-trust"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return TextOf(GetDlgItem(host, IDC_HOST_NAME)) == "127.0.0.1"; }));
    // A stored profile without the value is plain.
    EXPECT_EQ(TextOf(GetDlgItem(host, IDC_HOST_TLS)), "Off");
    SendMessageA(GetDlgItem(host, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerPassword));
    ChooseTls(host, "Required");
    PostMessageA(GetDlgItem(host, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return RegText("e2e-trust", "TLS") == "1"; }));
    long before = VsftpdLogSize(vsftpd);
    app.Mark();
    PostMessageA(GetDlgItem(host, IDOK), BM_CLICK, 0, 0);

    // The certificate dialog: host, reason, fingerprint; Cancel.
    HWND cert = app.WaitDialog(IDC_CERT_FINGERPRINT, 20000);
    ASSERT_TRUE(cert) << Joined(app.NewLines());
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_HOST)), "127.0.0.1");
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_FINGERPRINT)), ServerFingerprint(vsftpd));
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_SUBJECT)), "localhost");
    EXPECT_FALSE(TextOf(GetDlgItem(cert, IDC_CERT_REASON)).empty());
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_CHANGED)), "");
    PostMessageA(GetDlgItem(cert, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(app.WaitLogged(TarnApp::Line(CatalogueText(MSG_TLS_CERT_REJECTED)))) << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> wire = VsftpdCommandsSince(vsftpd, before);
    EXPECT_TRUE(Has(wire, "AUTH TLS")) << Joined(wire);
    EXPECT_FALSE(Has(wire, "USER")) << Joined(wire);
    EXPECT_FALSE(Has(wire, "PASS")) << Joined(wire);
    EXPECT_TRUE(app.Enabled(IDC_CONNECT));
    bool stored = true;
    RegText("e2e-trust", "TLSCERT", &stored);
    EXPECT_FALSE(stored);

    // Again: "Always trust" connects and stores the fingerprint.
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-trust", kServerPassword));
    cert = app.WaitDialog(IDC_CERT_FINGERPRINT, 20000);
    ASSERT_TRUE(cert) << Joined(app.NewLines());
    PostMessageA(GetDlgItem(cert, IDC_CERT_ALWAYS), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());
    EXPECT_EQ(RegText("e2e-trust", "TLSCERT"), ServerFingerprint(vsftpd));
    Disconnect(app);

    // The next connect asks nothing.
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-trust", kServerPassword));
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());
    EXPECT_FALSE(app.WaitDialog(IDC_CERT_FINGERPRINT, 500));
    EXPECT_TRUE(Has(app.NewLines(), TarnApp::Line(CatalogueText(MSG_TLS_CERT_STORED_MATCH)))) << Joined(app.NewLines());
    Disconnect(app);

    // Another certificate for the same profile: the dialog says it changed;
    // "Connect this once" connects and leaves the stored fingerprint.
    RegSetText("e2e-trust", "FTPPORT", std::to_string(ServerPort(pyftpd)));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-trust", kServerPassword));
    cert = app.WaitDialog(IDC_CERT_FINGERPRINT, 20000);
    ASSERT_TRUE(cert) << Joined(app.NewLines());
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_CHANGED)), CatalogueText(MSG_TLS_CERT_CHANGED_WARNING));
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_FINGERPRINT)), ServerFingerprint(pyftpd));
    PostMessageA(GetDlgItem(cert, IDC_CERT_ONCE), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());
    EXPECT_EQ(RegText("e2e-trust", "TLSCERT"), ServerFingerprint(vsftpd));
    Disconnect(app);

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// Abort in the middle of a TLS receive: the data connection's stream goes,
// the control connection's stays sound, and the next transfer works on it.
TEST(FtpsStop, AbortDuringATlsReceiveLeavesTheSessionUsable)
{
    const RealServer& vsftpd = kTlsServers[0];
    const std::string root = ServerRoot(vsftpd, false);
    HANDLE h = CreateFileA((root + "\\e2e-tls-huge.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFilePointer(h, 1 << 30, nullptr, FILE_BEGIN);  // sparse: nothing is written
    SetEndOfFile(h);
    CloseHandle(h);
    WriteBytes(root + "\\e2e-tls-small.txt", "small\r\n");
    RegistryGuard registry;
    WriteTestOptions();
    WriteTlsProfile("e2e-ftps-stop", vsftpd, true, true);
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-stop"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-ftps-stop", kServerPassword));
    ASSERT_TRUE(WaitConnected(app));
    app.Select(IDC_REMOTE_FILES, {"e2e-tls-huge.bin"});
    app.Click(IDC_RECEIVE);
    const std::string local = app.dir + "\\e2e-tls-huge.bin";
    auto size = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExA(local.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    };
    ASSERT_TRUE(TarnApp::WaitFor([&] { return size() > (4u << 20); }, 30000));
    app.Mark();
    app.Click(IDC_ABORT);
    // Waited for by the button, not by reading the history: reading it while
    // the abort logs would race with the lines being written.
    ASSERT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    app.Settle(1000);
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(Has(lines, TarnApp::Line(CatalogueText(MSG_OPERATION_ABORTED)))) << Joined(lines);
    EXPECT_FALSE(Has(lines, TarnApp::Line(CatalogueText(MSG_TLS_CONTROL_CLOSED)))) << Joined(lines);
    EXPECT_LT(size(), 1u << 30);
    EXPECT_EQ(app.Title(), kTlsTitle);

    app.Mark();
    app.SelectNone(IDC_REMOTE_FILES);
    app.Select(IDC_REMOTE_FILES, {"e2e-tls-small.txt"});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\e2e-tls-small.txt") == "small\r\n"; }))
        << Joined(app.NewLines());
    app.Settle();
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-tls-huge.bin").c_str());
    DeleteFileA((root + "\\e2e-tls-small.txt").c_str());
}

// A profile stored without TLS against the FTPS-only server fails as
// before, with the server's refusal, and sends nothing new: no AUTH.
TEST(FtpsRefusals, APlainProfileAgainstATlsOnlyServerFailsAsBefore)
{
    const RealServer& vsftpd = kTlsServers[0];
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-plain", ServerPort(vsftpd), false, "", 30);
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-plain"));
    long before = VsftpdLogSize(vsftpd);
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-plain", kServerPassword));
    EXPECT_TRUE(app.WaitLogged(TarnApp::Line(CatalogueText(MSG_LOGON_FAILURE)))) << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_TRUE(Has(lines, "530 ")) << Joined(lines);
    std::vector<std::string> wire = VsftpdCommandsSince(vsftpd, before);
    EXPECT_EQ(wire, (std::vector<std::string>{"USER tarnftp"})) << Joined(wire);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// "Required" against the plain server: AUTH TLS refused, one failure line,
// the connection ends, and nothing else reaches the wire.
TEST(FtpsRefusals, RequiredAgainstAPlainServerEndsBeforeUser)
{
    const RealServer& plain = kRealServers[0];
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-required", ServerPort(plain), false, "", 30);
    RegSetText("e2e-required", "TLS", "1");
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-required"));
    long before = VsftpdLogSize(plain);
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-required", kServerPassword));
    const std::string refused = TarnApp::Line(CatalogueText(MSG_AUTH_TLS_REFUSED, 530));
    EXPECT_TRUE(app.WaitLogged(refused)) << Joined(app.NewLines());
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, refused), 1) << Joined(lines);
    EXPECT_FALSE(Has(lines, TarnApp::Line(CatalogueText(MSG_TLS_NOT_OFFERED, 530)))) << Joined(lines);
    EXPECT_EQ(VsftpdCommandsSince(plain, before), std::vector<std::string>{"AUTH TLS"});
    EXPECT_EQ(app.Title(), "TARN");
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// "When available", where a new profile made in the dialog starts: the
// plain server refuses AUTH TLS, one line says the session is not
// encrypted, and the logon goes on in plain text (no "(TLS)" in the title).
// The FTPS server accepts it: TLS and the certificate dialog, as "Required".
TEST(FtpsWhenAvailable, PlainWithTheLineWhereRefusedTlsWhereOffered)
{
    const RealServer& plain = kRealServers[0];
    const RealServer& tls = kTlsServers[0];
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-available"));

    app.Click(IDC_CONNECT);
    HWND host = app.WaitDialog(IDC_HOST_FOLDER);
    ASSERT_TRUE(host);
    HWND edit = FindWindowExA(GetDlgItem(host, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("e2e-available"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return TextOf(GetDlgItem(host, IDC_HOST_NAME)) == "e2e-available"; }));
    EXPECT_EQ(TextOf(GetDlgItem(host, IDC_HOST_TLS)), "When available");
    for (auto field : {std::make_pair(IDC_HOST_NAME, std::string("127.0.0.1")),
                       std::make_pair(IDC_HOST_PORT, std::to_string(ServerPort(plain))),
                       std::make_pair(IDC_HOST_USER, std::string(kServerUser)),
                       std::make_pair(IDC_HOST_PASSWORD, std::string(kServerPassword))})
        SendMessageA(GetDlgItem(host, field.first), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(field.second.c_str()));
    long before = VsftpdLogSize(plain);
    app.Mark();
    PostMessageA(GetDlgItem(host, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitConnected(app, "TARN 127.0.0.1")) << Joined(app.NewLines());
    std::vector<std::string> lines = app.NewLines();
    const std::string notOffered = TarnApp::Line(CatalogueText(MSG_TLS_NOT_OFFERED, 530));
    EXPECT_EQ(CountPrefix(lines, notOffered), 1) << Joined(lines);
    EXPECT_FALSE(Has(lines, "PBSZ")) << Joined(lines);
    std::vector<std::string> wire = VsftpdCommandsSince(plain, before);
    ASSERT_GE(wire.size(), 3u) << Joined(wire);
    EXPECT_EQ(std::vector<std::string>(wire.begin(), wire.begin() + 3),
              (std::vector<std::string>{"AUTH TLS", "USER tarnftp", "PASS <password>"}));
    Disconnect(app);

    // The FTPS server: TLS, its certificate asked about as before.
    WriteHostProfile("e2e-available-tls", ServerPort(tls), false, "", 30);
    RegSetText("e2e-available-tls", "TLS", "2");
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-available-tls", kServerPassword));
    HWND cert = app.WaitDialog(IDC_CERT_FINGERPRINT, 20000);
    ASSERT_TRUE(cert) << Joined(app.NewLines());
    EXPECT_EQ(TextOf(GetDlgItem(cert, IDC_CERT_FINGERPRINT)), ServerFingerprint(tls));
    PostMessageA(GetDlgItem(cert, IDC_CERT_ONCE), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());
    lines = app.NewLines();
    EXPECT_TRUE(Has(lines, "TLS: TLS 1.2")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "PROT P")) << Joined(lines);
    EXPECT_FALSE(Has(lines, TarnApp::Line(CatalogueText(MSG_TLS_NOT_OFFERED, 530)).substr(0, 20))) << Joined(lines);
    Disconnect(app);
    EXPECT_EQ(app.Title(), "TARN");

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A server that answers AUTH TLS with 500: one failure line, the connection
// ends, and no USER reaches the wire.
TEST(FtpsRefusals, AuthTlsRefusedEndsBeforeUser)
{
    RegistryGuard registry;
    WriteTestOptions();
    ScriptServer server({Say("220 scripted\r\n"), Hear(), Say("500 AUTH not understood\r\n"), Silent()});
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-noauth", server.Port(), false);
    RegSetText("e2e-noauth", "TLS", "1");
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-noauth"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-noauth", "secret"));
    const std::string refused = TarnApp::Line(CatalogueText(MSG_AUTH_TLS_REFUSED, 500));
    EXPECT_TRUE(app.WaitLogged(refused)) << Joined(app.NewLines());
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, refused), 1) << Joined(lines);
    EXPECT_FALSE(Has(lines, "USER")) << Joined(lines);
    server.WaitDone(5000);
    EXPECT_EQ(server.Heard(), std::vector<std::string>{"AUTH TLS"});
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The server's data connections for files named "mismatch" present another
// certificate than its control connection: a receive and a send are refused
// with one line, before a byte moves (no local file is made, the server's
// copy stays empty), nothing is reported as transferred, and the session
// goes on: the next receive on a sound data connection is byte for byte.
struct DataCertificate : ::testing::TestWithParam<bool> {};

TEST_P(DataCertificate, ADifferentCertificateRefusesTheTransferAndTheSessionGoesOn)
{
    const bool passive = GetParam();
    const RealServer& server = kTlsFaultServer;
    const std::string root = ServerRoot(server, false);
    const std::string tag = passive ? "p" : "a";
    const std::string get = "e2e-mismatch-" + tag + "-get.bin", put = "e2e-mismatch-" + tag + "-put.bin";
    const std::string plain = "e2e-sound-" + tag + "-get.bin";
    const std::string got = Pattern(200000, 7), sent = Pattern(70000, 8), sound = Pattern(150000, 9);
    WriteBytes(root + "\\" + get, got);
    WriteBytes(root + "\\" + plain, sound);
    DeleteFileA((root + "\\" + put).c_str());

    RegistryGuard registry;
    WriteTestOptions();
    WriteTlsProfile("e2e-mismatch", server, passive, true);
    TarnApp app;
    app.dir = TempDirectory("ftps-mismatch-" + tag);
    WriteBytes(app.dir + "\\" + put, sent);
    ASSERT_TRUE(app.Start("ftps-mismatch-" + tag));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-mismatch", kServerPassword));
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());
    // The listing's data connection is a sound one.
    ASSERT_TRUE(Contains(app.Items(IDC_REMOTE_FILES), get)) << Joined(app.Items(IDC_REMOTE_FILES));
    const std::string mismatch = TarnApp::Line(CatalogueText(MSG_TLS_DATA_CERT_MISMATCH));
    auto finished = [&] {
        EXPECT_TRUE(app.WaitLogged(mismatch, 30000)) << Joined(app.NewLines());
        EXPECT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
        app.Settle();
    };
    // The statistics line of a receive ("Received ..." / "... received in")
    // or of a send ("Transmitted ..." / "... transmitted in"), whatever its end.
    auto statistics = [](const std::vector<std::string>& lines, const char* moved, const char* end) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(moved) != std::string::npos && l.find(end) != std::string::npos;
        });
    };

    // Receive.
    app.Mark();
    app.Select(IDC_REMOTE_FILES, {get});
    app.Click(IDC_RECEIVE);
    finished();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, mismatch), 1) << Joined(lines);
    EXPECT_EQ(statistics(lines, "eceived", "transfer "), 0) << Joined(lines);
    EXPECT_EQ(GetFileAttributesA((app.dir + "\\" + get).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(Contains(app.Items(IDC_LOCAL_FILES), get)) << Joined(app.Items(IDC_LOCAL_FILES));
    EXPECT_FALSE(Has(lines, TarnApp::Line(CatalogueText(MSG_TLS_CONTROL_CLOSED)))) << Joined(lines);
    EXPECT_EQ(app.Title(), kTlsTitle);

    // Send.
    app.Mark();
    app.SelectNone(IDC_REMOTE_FILES);
    app.Select(IDC_LOCAL_FILES, {put});
    app.Click(IDC_SEND);
    finished();
    lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, mismatch), 1) << Joined(lines);
    EXPECT_EQ(statistics(lines, "ransmitted", "transfer "), 0) << Joined(lines);
    // Not one byte went to the untrusted end (the server made the file empty
    // when it took STOR).
    EXPECT_EQ(ReadBytes(root + "\\" + put), "");
    EXPECT_EQ(app.Title(), kTlsTitle);

    // The control connection is in step: a sound receive works.
    app.Mark();
    app.SelectNone(IDC_LOCAL_FILES);
    app.Select(IDC_REMOTE_FILES, {plain});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), plain); }, 30000))
        << Joined(app.NewLines());
    app.Settle();
    EXPECT_EQ(ReadBytes(app.dir + "\\" + plain), sound);
    lines = app.NewLines();
    EXPECT_EQ(statistics(lines, "eceived", "transfer succeeded"), 1) << Joined(lines);
    EXPECT_FALSE(Has(lines, mismatch)) << Joined(lines);

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    for (const std::string& f : {get, put, plain})
        DeleteFileA((root + "\\" + f).c_str());
}

INSTANTIATE_TEST_SUITE_P(Ftps, DataCertificate, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Passive" : "Active");
                         });

// The server sends the whole file, closes the data connection without
// close_notify and answers 226: the end of the file is not proven, so the
// receive is reported as failed (the cut-off line, the failed statistics,
// the local copy named incomplete with the bytes it holds), never as
// received, and the session goes on.
TEST(FtpsFaults, ADownloadWithoutCloseNotifyIsNotReportedAsReceived)
{
    const RealServer& server = kTlsFaultServer;
    const std::string root = ServerRoot(server, false);
    const std::string cut = "e2e-cutoff-get.bin", plain = "e2e-after-cut.txt";
    const std::string bytes = Pattern(200000, 10);
    WriteBytes(root + "\\" + cut, bytes);
    WriteBytes(root + "\\" + plain, "sound\r\n");

    RegistryGuard registry;
    WriteTestOptions();
    WriteTlsProfile("e2e-cutoff", server, true, true);
    TarnApp app;
    ASSERT_TRUE(app.Start("ftps-cutoff"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-cutoff", kServerPassword));
    ASSERT_TRUE(WaitConnected(app)) << Joined(app.NewLines());

    app.Mark();
    app.Select(IDC_REMOTE_FILES, {cut});
    app.Click(IDC_RECEIVE);
    const std::string cutOff = TarnApp::Line(CatalogueText(MSG_TLS_DATA_CUT_OFF));
    const std::string incomplete =
        TarnApp::Line(CatalogueText(MSG_RECEIVE_UNCONFIRMED, cut.c_str(), std::to_string(bytes.size()).c_str()));
    EXPECT_TRUE(app.WaitLogged(incomplete, 30000)) << Joined(app.NewLines());
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT); }));
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(CountPrefix(lines, cutOff), 1) << Joined(lines);
    EXPECT_TRUE(Has(lines, "226 ")) << Joined(lines);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.size() >= 15 && l.compare(l.size() - 15, 15, "transfer failed") == 0;
    })) << Joined(lines);
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("transfer succeeded") != std::string::npos;
    })) << Joined(lines);
    // The local copy stays as the line describes it: the bytes that came.
    EXPECT_EQ(ReadBytes(app.dir + "\\" + cut).size(), bytes.size());
    EXPECT_EQ(app.Title(), kTlsTitle);

    // The next receive, with close_notify, is whole.
    app.Mark();
    app.SelectNone(IDC_REMOTE_FILES);
    app.Select(IDC_REMOTE_FILES, {plain});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(app.dir + "\\" + plain) == "sound\r\n"; }, 30000))
        << Joined(app.NewLines());
    app.Settle();
    lines = app.NewLines();
    EXPECT_FALSE(Has(lines, cutOff)) << Joined(lines);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("transfer succeeded") != std::string::npos;
    })) << Joined(lines);

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\" + cut).c_str());
    DeleteFileA((root + "\\" + plain).c_str());
}

}  // namespace
