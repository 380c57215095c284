// Saved passwords through the real tarn.exe and the registry of the test's
// Wine prefix: saved in the host dialog, a password is protected by the
// Windows logon and the next connect logs on with it; another logon cannot
// read it, says so once and is asked for it; a password in the older form
// still logs on and is protected once the profile is saved again.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "log/log.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "store/password.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

const RealServer& kVsftpd = kRealServers[0];

std::string TextOf(HWND control)
{
    char text[512] = "";
    if (control)
        SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

void SetText(HWND dialog, int id, const std::string& text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Connect, then the host dialog on folder as typed into its box, with what
// the profile filled in (the password left alone).
HWND HostDialogOn(TarnApp& app, const std::string& folder)
{
    app.Click(IDC_CONNECT);
    HWND host = app.WaitDialog(IDC_HOST_FOLDER);
    if (!host)
        return nullptr;
    HWND edit = FindWindowExA(GetDlgItem(host, IDC_HOST_FOLDER), nullptr, "Edit", nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : folder)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    // A stored profile names its host; a new one shows the folder's name.
    if (!TarnApp::WaitFor([&] { return TextOf(GetDlgItem(host, IDC_HOST_NAME)) == "127.0.0.1"; }, 5000) &&
        TextOf(GetDlgItem(host, IDC_HOST_NAME)) != folder)
        return nullptr;
    return host;
}

void Press(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool Checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool WaitLoggedOn(TarnApp& app)
{
    bool ok = TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1" && app.Enabled(IDC_DISCONNECT); });
    app.Settle();
    return ok;
}

void Disconnect(TarnApp& app)
{
    app.Click(IDC_DISCONNECT);
    TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); });
    app.Settle();
}

int Count(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

bool Reveals(const std::vector<std::string>& lines, const std::string& password)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(password) != std::string::npos; });
}

TEST(SavedPasswords, ProtectedInTheDialogUsedByTheNextConnectAndUnreadableToAnotherLogon)
{
    RegistryGuard registry;
    WriteTestOptions();
    {
        TarnApp app;
        ASSERT_TRUE(app.Start("password-save"));
        HWND host = HostDialogOn(app, "e2e-secret");
        ASSERT_TRUE(host);
        SetText(host, IDC_HOST_NAME, "127.0.0.1");
        SetText(host, IDC_HOST_PORT, std::to_string(ServerPort(kVsftpd)));
        SetText(host, IDC_HOST_USER, kServerUser);
        SetText(host, IDC_HOST_PASSWORD, kServerPassword);
        Press(host, IDC_HOST_SAVEPWD);
        ASSERT_TRUE(TarnApp::WaitFor([&] { return Checked(host, IDC_HOST_SAVEPWD); }));
        Press(host, IDC_HOST_SAVE);
        std::string sealed;
        ASSERT_TRUE(TarnApp::WaitFor([&] { return RegBytes("e2e-secret", "PWDDPAPI", &sealed); }));
        Press(host, IDCANCEL);
        TarnApp::WaitFor([&] { return !IsWindow(host); });
        // No value holds the password in any form the older scheme reads back.
        EXPECT_EQ(RegValuesRevealing("e2e-secret", kServerUser, kServerPassword), std::vector<std::string>{});
        EXPECT_FALSE(RegBytes("e2e-secret", "PWD", &sealed));

        // The next connect logs on with it, asking nothing, and shows it nowhere.
        long before = VsftpdLogSize(kVsftpd);
        app.Mark();
        host = HostDialogOn(app, "e2e-secret");
        ASSERT_TRUE(host);
        EXPECT_TRUE(Checked(host, IDC_HOST_SAVEPWD));
        Press(host, IDOK);
        ASSERT_TRUE(WaitLoggedOn(app)) << Joined(app.NewLines());
        EXPECT_FALSE(app.WaitDialog(IDC_INPUT_PROMPT, 300));
        std::vector<std::string> lines = app.NewLines();
        EXPECT_TRUE(Contains(lines, "PASS xxxxxx")) << Joined(lines);
        EXPECT_FALSE(Reveals(lines, kServerPassword)) << Joined(lines);
        std::vector<std::string> wire = VsftpdCommandsSince(kVsftpd, before);
        EXPECT_EQ(std::count(wire.begin(), wire.end(), "USER tarnftp"), 1) << Joined(wire);
        app.Click(IDC_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
    }

    // Another Windows user cannot read it: one line, the password field
    // empty, and TARN asks for the password when the server wants it,
    // instead of logging on with a wrong one.
    TarnApp other;
    ASSERT_TRUE(other.StartAsUser("password-other", "tarn-other-user"));
    long before = VsftpdLogSize(kVsftpd);
    other.Mark();
    HWND host = HostDialogOn(other, "e2e-secret");
    ASSERT_TRUE(host);
    const std::string unreadable = TarnApp::Line(CatalogueText(MSG_PASSWORD_UNREADABLE));
    EXPECT_TRUE(other.WaitLogged(unreadable, 5000)) << Joined(other.NewLines());
    EXPECT_EQ(TextOf(GetDlgItem(host, IDC_HOST_PASSWORD)), "");
    EXPECT_FALSE(Checked(host, IDC_HOST_SAVEPWD));
    Press(host, IDOK);
    EXPECT_EQ(other.Answer(kServerPassword), CatalogueText(PROMPT_PASSWORD));
    ASSERT_TRUE(WaitLoggedOn(other)) << Joined(other.NewLines());
    std::vector<std::string> lines = other.NewLines();
    EXPECT_EQ(Count(lines, unreadable), 1) << Joined(lines);
    EXPECT_FALSE(Reveals(lines, kServerPassword)) << Joined(lines);
    // One logon, with the password typed: none failed before it.
    std::vector<std::string> wire = VsftpdCommandsSince(kVsftpd, before);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), "USER tarnftp"), 1) << Joined(wire);
    // The value stays for the logon that can read it.
    std::string sealed;
    EXPECT_TRUE(RegBytes("e2e-secret", "PWDDPAPI", &sealed));
    other.Click(IDC_EXIT);
    EXPECT_EQ(other.WaitExit(), 0);
}

TEST(SavedPasswords, TheOlderFormLogsOnAndIsProtectedOnceSavedAgain)
{
    RegistryGuard registry;
    WriteTestOptions();
    WriteHostProfile("e2e-older", ServerPort(kVsftpd), false, "", 30);
    RegSetText("e2e-older", "PWD", EncodePassword(kServerUser, kServerPassword));
    TarnApp app;
    ASSERT_TRUE(app.Start("password-older"));
    app.Mark();
    HWND host = HostDialogOn(app, "e2e-older");
    ASSERT_TRUE(host);
    EXPECT_TRUE(Checked(host, IDC_HOST_SAVEPWD));
    Press(host, IDOK);
    ASSERT_TRUE(WaitLoggedOn(app)) << Joined(app.NewLines());
    EXPECT_FALSE(app.WaitDialog(IDC_INPUT_PROMPT, 300));
    Disconnect(app);

    // Saved again: protected, the older form gone, and it still logs on.
    host = HostDialogOn(app, "e2e-older");
    ASSERT_TRUE(host);
    Press(host, IDC_HOST_SAVE);
    std::string sealed;
    ASSERT_TRUE(TarnApp::WaitFor([&] { return RegBytes("e2e-older", "PWDDPAPI", &sealed); }));
    EXPECT_FALSE(RegBytes("e2e-older", "PWD", &sealed));
    EXPECT_EQ(RegValuesRevealing("e2e-older", kServerUser, kServerPassword), std::vector<std::string>{});
    Press(host, IDOK);
    ASSERT_TRUE(WaitLoggedOn(app)) << Joined(app.NewLines());
    EXPECT_FALSE(app.WaitDialog(IDC_INPUT_PROMPT, 300));
    EXPECT_FALSE(Reveals(app.NewLines(), kServerPassword));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
