// FTPS through the real tarn.exe: the host dialog's check box, the logon
// inside TLS, listings, receives and sends on TLS data connections in active
// and passive mode against both FTPS servers, the certificate dialog and its
// three answers, and the failures that must never fall back to plain text.
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

bool WaitConnected(TarnApp& app)
{
    bool ok = TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; });
    app.Settle();
    return ok;
}

void Disconnect(TarnApp& app)
{
    app.Click(IDC_DISCONNECT);
    TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); });
    app.Settle();
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

// The host dialog's check box turns FTPS on and Save stores it; the
// self-signed certificate opens the certificate dialog: Cancel ends the
// connection before USER, "Always trust" stores the fingerprint and the next
// connect asks nothing; another certificate on the same profile warns that
// it changed, and "Connect this once" keeps the stored one.
TEST(FtpsTrust, CheckBoxDialogAndTheThreeAnswers)
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
    EXPECT_EQ(SendMessageA(GetDlgItem(host, IDC_HOST_TLS), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(GetDlgItem(host, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerPassword));
    PostMessageA(GetDlgItem(host, IDC_HOST_TLS), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor(
        [&] { return SendMessageA(GetDlgItem(host, IDC_HOST_TLS), BM_GETCHECK, 0, 0) == BST_CHECKED; }));
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
    EXPECT_EQ(app.Title(), "TARN 127.0.0.1");

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

// A profile without FTPS against the FTPS-only server fails as before, with
// the server's refusal, and sends nothing new.
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

}  // namespace
