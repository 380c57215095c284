// The real tarn.exe against vsftpd listening on ::1 alone: a profile whose
// host is an IPv6 address logs on, lists, receives and sends byte for byte
// with EPRT (active) and EPSV (passive) on the wire, plain and with FTPS;
// and the host dialog takes a bracketed address typed into its host field.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

const RealServer& Server() { return kIpv6Server; }

// The sockets' lines ("[n] accept from ...") are logged with the options'
// verbose flag, and reach the status lines in debug mode ("-d").
constexpr DWORD kVerbose = 16;

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return StartsWith(l, prefix); }));
}

// Whether lines beginning with `wanted` occur in this order (others between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted)
{
    size_t at = 0;
    for (const std::string& l : lines)
        if (at < wanted.size() && StartsWith(l, wanted[at]))
            ++at;
    return at == wanted.size();
}

void WriteIpv6Profile(const std::string& folder, const std::string& host, bool passive, bool tls)
{
    WriteHostProfile(folder, ServerPort(Server()), false, "", 30);
    RegSetText(folder, "HOST", host);
    RegSetText(folder, "PASV", passive ? "1" : "0");
    if (tls) {
        RegSetText(folder, "TLS", "1");
        // Under Wine an address never matches the certificate's name: the
        // fingerprint trusted before keeps the dialog away.
        RegSetText(folder, "TLSCERT", ServerFingerprint(Server()));
    }
}

struct Ipv6Table : ::testing::TestWithParam<std::pair<bool, bool>> {};  // (FTPS, passive)

std::string TableName(const ::testing::TestParamInfo<std::pair<bool, bool>>& info)
{
    return std::string(info.param.first ? "Ftps" : "Plain") + (info.param.second ? "Passive" : "Active");
}

TEST_P(Ipv6Table, LogonListReceiveSend)
{
    const bool tls = GetParam().first, passive = GetParam().second;
    const std::string tag = std::string(tls ? "s" : "p") + (passive ? "p" : "a");
    const std::string root = ServerRoot(Server(), false);
    const std::string get = "e2e-v6-" + tag + "-get.bin", put = "e2e-v6-" + tag + "-put.bin";
    const std::string content = Pattern((1u << 20) + 3, 41), upload = Pattern(70001, 43);
    WriteBytes(root + "\\" + get, content);
    DeleteFileA((root + "\\" + put).c_str());

    RegistryGuard registry;
    WriteTestOptions("notepad", kVerbose);
    WriteIpv6Profile("e2e-ipv6", "::1", passive, tls);
    long serverLog = VsftpdLogSize(Server());
    TarnApp app;
    app.dir = TempDirectory("ipv6-" + tag);
    WriteBytes(app.dir + "\\" + put, upload);
    ASSERT_TRUE(app.Start("ipv6-" + tag, "-d"));
    app.Mark();
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-ipv6", kServerPassword));
    const std::string title = tls ? "TARN ::1 (TLS)" : "TARN ::1";
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == title; })) << app.Title() << Joined(app.NewLines());
    app.Settle();
    std::vector<std::string> lines = app.NewLines();
    const std::string port = std::to_string(ServerPort(Server()));
    EXPECT_TRUE(Contains(lines, "Connected to ::1 port " + port)) << Joined(lines);
    if (tls) {
        EXPECT_EQ(CountPrefix(lines, "TLS: TLS 1.2"), 1) << Joined(lines);
    }
    // The listing arrived over the data connection.
    EXPECT_TRUE(Contains(app.Items(IDC_REMOTE_FILES), get)) << Joined(app.Items(IDC_REMOTE_FILES));

    app.Mark();
    app.Select(IDC_REMOTE_FILES, {get});
    app.Click(IDC_RECEIVE);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), get); }, 60000))
        << Joined(app.NewLines());
    app.Settle();
    // The data connection, as the log shows it: to or from ::1.
    lines = app.NewLines();
    const std::string peerLine = passive ? "] connected to ::1 port " : "] accept from ::1 port ";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.find(peerLine) != std::string::npos; }))
        << Joined(lines);
    EXPECT_TRUE(ReadBytes(app.dir + "\\" + get) == content) << SizeOf(app.dir + "\\" + get) << " bytes";
    app.SelectNone(IDC_REMOTE_FILES);
    app.Select(IDC_LOCAL_FILES, {put});
    app.Click(IDC_SEND);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), put); }, 60000))
        << Joined(app.NewLines());
    app.Settle();
    EXPECT_TRUE(ReadBytes(root + "\\" + put) == upload) << SizeOf(root + "\\" + put) << " bytes";


    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);

    // What the server saw.
    std::vector<std::string> wire = VsftpdCommandsSince(Server(), serverLog);
    const std::string data = passive ? "EPSV" : "EPRT |2|::1|";
    std::vector<std::string> expected = {data, "LIST", data, "RETR " + get, data, "STOR " + put};
    if (tls)
        expected.insert(expected.begin(), {"AUTH TLS", "USER tarnftp", "PBSZ 0", "PROT P"});
    EXPECT_TRUE(InOrder(wire, expected)) << Joined(wire);
    EXPECT_EQ(CountPrefix(wire, passive ? "EPRT" : "EPSV"), 0) << Joined(wire);
    EXPECT_EQ(CountPrefix(wire, "PORT"), 0) << Joined(wire);
    EXPECT_EQ(CountPrefix(wire, "PASV"), 0) << Joined(wire);
    for (const std::string& c : wire) {
        if (StartsWith(c, "EPRT")) {
            EXPECT_EQ(c.find_first_not_of("0123456789", 12), c.size() - 1) << c;  // "EPRT |2|::1|port|"
        }
    }
    DeleteFileA((root + "\\" + get).c_str());
    DeleteFileA((root + "\\" + put).c_str());
}

INSTANTIATE_TEST_SUITE_P(Ipv6, Ipv6Table,
                         ::testing::Values(std::make_pair(false, false), std::make_pair(false, true),
                                           std::make_pair(true, false), std::make_pair(true, true)),
                         TableName);

// A new profile typed into the host dialog, its host an IPv6 address in
// brackets: saved as typed, and it connects.
TEST(Ipv6HostDialog, TakesABracketedAddress)
{
    RegistryGuard registry;
    WriteTestOptions();
    long serverLog = VsftpdLogSize(Server());
    TarnApp app;
    ASSERT_TRUE(app.Start("ipv6-dialog"));
    app.Click(IDC_CONNECT);
    HWND dialog = app.WaitDialog(IDC_HOST_FOLDER);
    ASSERT_NE(dialog, nullptr);
    auto type = [](HWND control, const std::string& text) {
        SendMessageA(control, EM_SETSEL, 0, -1);
        for (char c : text)
            SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
    };
    auto text = [](HWND control) {
        char buffer[128] = "";
        SendMessageA(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        return std::string(buffer);
    };
    HWND folder = FindWindowExA(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    ASSERT_NE(folder, nullptr);
    type(folder, "e2e-ipv6-typed");
    type(GetDlgItem(dialog, IDC_HOST_NAME), "[::1]");
    type(GetDlgItem(dialog, IDC_HOST_USER), kServerUser);
    type(GetDlgItem(dialog, IDC_HOST_PASSWORD), kServerPassword);
    type(GetDlgItem(dialog, IDC_HOST_PORT), std::to_string(ServerPort(Server())));
    EXPECT_EQ(text(GetDlgItem(dialog, IDC_HOST_NAME)), "[::1]");
    // A new profile asks for TLS where the server offers it, and this
    // server's certificate is its own; plain FTP is what is tested here.
    HWND tls = GetDlgItem(dialog, IDC_HOST_TLS);
    SendMessageA(tls, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Off"));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HOST_TLS, CBN_SELCHANGE), reinterpret_cast<LPARAM>(tls));
    ASSERT_TRUE(TarnApp::WaitFor([&] { return text(tls) == "Off"; }));
    PostMessageA(GetDlgItem(dialog, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return RegText("e2e-ipv6-typed", "HOST") == "[::1]"; }, 5000))
        << RegText("e2e-ipv6-typed", "HOST");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN [::1]"; }))
        << app.Title() << "\n" << Joined(app.History());
    app.Settle();
    std::vector<std::string> lines = app.History();
    EXPECT_TRUE(Contains(lines, "Connected to ::1 port " + std::to_string(ServerPort(Server())))) << Joined(lines);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    std::vector<std::string> wire = VsftpdCommandsSince(Server(), serverLog);
    EXPECT_TRUE(InOrder(wire, {"USER tarnftp", "PASS ", "EPRT |2|::1|", "LIST"})) << Joined(wire);
}

}  // namespace
