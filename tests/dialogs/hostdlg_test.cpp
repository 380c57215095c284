// The Host Configuration and ANS Gateway dialogs, opened for real against
// Wine's registry and driven with window messages from a second thread.
#include <gtest/gtest.h>

#include <string.h>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/dialogs.h"
#include "dialogs/hostdlg.h"
#include "store/options.h"
#include "store/store.h"
#include "ftp/session.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/configlink.h"
#include "tests/dialogs/dialogs_test_support.h"
#include "tests/support/dialog_driver.h"

namespace {

// Moves the focus to a control, as a click into it would.
void Focus(HWND dialog, int id)
{
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

// Fills a field the way a user does: focus into it, then its new text.
void Fill(HWND dialog, int id, const char* text)
{
    Focus(dialog, id);
    SetDlgItemTextA(dialog, id, text);
}

// Types text into an edit, or into the edit of a combo box, key by key.
void Type(HWND dialog, int id, const std::string& text)
{
    Focus(dialog, id);
    HWND w = GetDlgItem(dialog, id);
    if (HWND inner = FindWindowExA(w, nullptr, "Edit", nullptr))
        w = inner;
    SendMessageA(w, EM_SETSEL, 0, -1);
    SendMessageA(w, WM_CLEAR, 0, 0);
    for (char c : text)
        SendMessageA(w, WM_CHAR, static_cast<BYTE>(c), 0);
}

void SelectFolder(HWND dialog, const char* folder)
{
    HWND box = GetDlgItem(dialog, IDC_HOST_FOLDER);
    LRESULT i = SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(folder));
    SendMessageA(box, CB_SETCURSEL, i, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HOST_FOLDER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

bool IsOn(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// What the fields of DLG_HOST show.
struct HostFields {
    std::string folder, host, user, password, dir, timeout, retries, port;
    int type;
    bool anonymous, gateway, savePassword;
    bool operator==(const HostFields& o) const
    {
        return folder == o.folder && host == o.host && user == o.user && password == o.password && dir == o.dir &&
               timeout == o.timeout && retries == o.retries && port == o.port && type == o.type &&
               anonymous == o.anonymous && gateway == o.gateway && savePassword == o.savePassword;
    }
};

std::ostream& operator<<(std::ostream& os, const HostFields& f)
{
    return os << "{" << f.folder << "|" << f.host << "|" << f.user << "|" << f.password << "|" << f.dir << "|"
              << f.timeout << "|" << f.retries << "|" << f.port << "|type " << f.type << "|anon " << f.anonymous
              << "|gw " << f.gateway << "|save " << f.savePassword << "}";
}

HostFields Fields(HWND d)
{
    return {ItemText(d, IDC_HOST_FOLDER),
            ItemText(d, IDC_HOST_NAME),
            ItemText(d, IDC_HOST_USER),
            ItemText(d, IDC_HOST_PASSWORD),
            ItemText(d, IDC_HOST_DIR),
            ItemText(d, IDC_HOST_TIMEOUT),
            ItemText(d, IDC_HOST_RETRIES),
            ItemText(d, IDC_HOST_PORT),
            static_cast<int>(SendDlgItemMessageA(d, IDC_HOST_TYPE, CB_GETCURSEL, 0, 0)),
            IsOn(d, IDC_HOST_ANONYMOUS),
            IsOn(d, IDC_HOST_GATEWAY),
            IsOn(d, IDC_HOST_SAVEPWD)};
}

std::vector<std::string> FolderEntries(HWND d)
{
    std::vector<std::string> entries;
    HWND box = GetDlgItem(d, IDC_HOST_FOLDER);
    for (LRESULT i = 0, n = SendMessageA(box, CB_GETCOUNT, 0, 0); i < n; ++i) {
        char text[300] = "";
        SendMessageA(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

void StoreProfile(const char* folder, const char* host, const char* user, const char* storedPassword,
                  const char* type)
{
    RegSetText(folder, "HOST", host);
    RegSetText(folder, "UID", user);
    if (storedPassword)
        RegSetText(folder, "PWD", storedPassword);
    RegSetText(folder, "TYPE", type);
    RegSetText(folder, "TIMEOUT", "30");
    RegSetText(folder, "RETRIES", "2");
    RegSetText(folder, "FTPPORT", "2121");
}

struct HostDialogTest : ::testing::Test {
    ConfigState state;
    void SetUp() override
    {
        HostProfile = HostProfileRec{"", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", ""};
        ProgramOptions.mailAddr[0] = 0;
    }
    // Opens DLG_HOST on this thread while script drives it (as the shell
    // opens it with `viaShell`); returns its result.
    INT_PTR Run(std::function<void(HWND)> script, const char* shot = nullptr, bool viaShell = false)
    {
        DialogScript driver([=] {
            HWND d = WaitForDialog(IDC_HOST_TYPE);
            if (!d)
                return;
            if (shot)
                Snapshot(shot);
            script(d);
            WaitGone(d);
        });
        if (viaShell)
            return RunHostDialog(g_hwndMain);
        return DialogBoxParamA(g_hInstance, "DLG_HOST", g_hwndMain, WS_HostMsgProc, 0);
    }
};

TEST_F(HostDialogTest, OpensOnTheSessionFolderAndReloadsOnEveryChangeOfIt)
{
    StoreProfile("work", "ftp.work.org", "joe", "616365", "6003");
    RegSetText("work", "DIR", "/pub");
    StoreProfile("home", "ftp.home.org", "me", nullptr, "6010");
    lstrcpyA(HostProfile.folder, "work");
    HostFields opened{}, typed{}, selected{};
    std::string typeName;
    INT_PTR rc = Run(
        [&](HWND d) {
            opened = Fields(d);
            char name[64] = "";
            GetDlgItemTextA(d, IDC_HOST_TYPE, name, sizeof name);
            typeName = name;
            Type(d, IDC_HOST_FOLDER, "newhost");
            typed = Fields(d);
            SelectFolder(d, "home");
            selected = Fields(d);
            Click(d, IDCANCEL);
        },
        "host");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(opened, (HostFields{"work", "ftp.work.org", "joe", "abc", "/pub", "30", "2", "2121", 3, false, false,
                                  true}));
    EXPECT_EQ(typeName, "IBM-PC TCP/IP");  // TYPE 6003: the fourth host type
    // A name that is not stored: the name as host, everything else the defaults.
    EXPECT_EQ(typed, (HostFields{"newhost", "newhost", "", "", "", "65", "0", "21", 0, false, false, false}));
    EXPECT_EQ(selected, (HostFields{"home", "ftp.home.org", "me", "", "", "30", "2", "2121", 10, false, false,
                                    false}));
    // Cancel leaves the session as last loaded and stores nothing.
    EXPECT_STREQ(HostProfile.folder, "home");
    EXPECT_STREQ(HostProfile.host, "ftp.home.org");
    EXPECT_EQ(HostProfile.hostType, 6010u);
    EXPECT_FALSE(RegKeyExists("newhost"));
}

TEST_F(HostDialogTest, PassingThroughTheFolderBoxKeepsWhatWasTyped)
{
    StoreProfile("work", "ftp.work.org", "joe", nullptr, "6000");
    lstrcpyA(HostProfile.folder, "work");
    HostFields kept{};
    INT_PTR rc = Run([&](HWND d) {
        Fill(d, IDC_HOST_NAME, "ftp.other.org");
        Focus(d, IDC_HOST_FOLDER);
        Focus(d, IDC_HOST_USER);
        kept = Fields(d);
        Click(d, IDOK);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(kept.host, "ftp.other.org");
    EXPECT_EQ(kept.user, "joe");
    EXPECT_STREQ(HostProfile.host, "ftp.other.org");

    // Saved with an empty box, the profile is named after the host; the box
    // that Save gives the focus to still holds nothing new when it is left.
    HostProfile = HostProfileRec{"", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", ""};
    rc = Run([&](HWND d) {
        Fill(d, IDC_HOST_NAME, "ftp.named.org");
        Fill(d, IDC_HOST_USER, "ann");
        Click(d, IDC_HOST_SAVE);
        Focus(d, IDC_HOST_DIR);
        kept = Fields(d);
        Click(d, IDOK);
    });
    EXPECT_EQ(RegText("ftp.named.org", "UID"), "ann");
    EXPECT_EQ(kept.host, "ftp.named.org");
    EXPECT_EQ(kept.user, "ann");
    EXPECT_STREQ(HostProfile.folder, "ftp.named.org");
}

TEST_F(HostDialogTest, OkTakesTheFieldsWithTheTimeoutKeptWithinRange)
{
    static constexpr struct {
        const char* typed;
        DWORD timeout;
    } kCases[] = {{"120", 65}, {"", 65}, {"0", 65}, {"x", 65}, {"30", 30}, {"65", 65}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.typed);
        INT_PTR rc = Run([&](HWND d) {
            Type(d, IDC_HOST_FOLDER, "site");
            Fill(d, IDC_HOST_NAME, "ftp.site.org");
            Fill(d, IDC_HOST_USER, "joe");
            Fill(d, IDC_HOST_PASSWORD, "pw");
            Fill(d, IDC_HOST_DIR, "/in");
            Fill(d, IDC_HOST_TIMEOUT, c.typed);
            Fill(d, IDC_HOST_RETRIES, "abc");
            Fill(d, IDC_HOST_PORT, "2121");
            Focus(d, IDC_HOST_TYPE);
            SendDlgItemMessageA(d, IDC_HOST_TYPE, CB_SETCURSEL, 14, 0);
            Click(d, IDOK);
        });
        EXPECT_EQ(rc, 1);
        const HostProfileRec& p = HostProfile;
        EXPECT_EQ(p.timeout, c.timeout);
        EXPECT_STREQ(p.folder, "site");
        EXPECT_STREQ(p.host, "ftp.site.org");
        EXPECT_STREQ(p.user, "joe");
        EXPECT_STREQ(p.password, "pw");
        EXPECT_STREQ(p.initialDir, "/in");
        EXPECT_EQ(p.retries, 0u);
        EXPECT_EQ(p.ftpPort, 2121u);
        EXPECT_EQ(p.hostType, 6014u);
        EXPECT_EQ(p.useGateway, 0);
        EXPECT_FALSE(RegKeyExists("site"));  // OK does not store the profile
    }
}

TEST_F(HostDialogTest, SaveStoresTheProfileAndReopeningShowsIt)
{
    HostFields reopened{};
    std::vector<std::string> entries;
    INT_PTR rc = Run([&](HWND d) {
        Type(d, IDC_HOST_FOLDER, "mine");
        Fill(d, IDC_HOST_NAME, "ftp.mine.org");
        Fill(d, IDC_HOST_USER, "joe");
        Fill(d, IDC_HOST_PASSWORD, "abc");
        Fill(d, IDC_HOST_DIR, "/pub");
        Fill(d, IDC_HOST_TIMEOUT, "120");
        Fill(d, IDC_HOST_RETRIES, "3");
        Focus(d, IDC_HOST_TYPE);
        SendDlgItemMessageA(d, IDC_HOST_TYPE, CB_SETCURSEL, 10, 0);
        Click(d, IDC_HOST_SAVEPWD);
        Click(d, IDC_HOST_SAVE);
        entries = FolderEntries(d);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(entries, std::vector<std::string>{"mine"});
    EXPECT_EQ(RegText("mine", "HOST"), "ftp.mine.org");
    // The password is protected: no value holds it in any form the older
    // scheme reads back.
    std::string sealed;
    DWORD type = 0;
    EXPECT_TRUE(RegBytes("mine", "PWDDPAPI", &sealed, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(RegValuesRevealing("mine", "joe", "abc"), std::vector<std::string>{});
    bool oldForm = true;
    RegText("mine", "PWD", &oldForm);
    EXPECT_FALSE(oldForm);
    EXPECT_EQ(RegText("mine", "TIMEOUT"), "65");
    EXPECT_EQ(RegText("mine", "TYPE"), "6010");

    HostProfile = HostProfileRec{"mine", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", ""};
    Run([&](HWND d) {
        reopened = Fields(d);
        Click(d, IDOK);
    });
    EXPECT_EQ(reopened, (HostFields{"mine", "ftp.mine.org", "joe", "abc", "/pub", "65", "3", "21", 10, false, false,
                                    true}));
}

// Passive mode follows the folder's PASV value (absent: off), OK takes the
// box and Save stores it.
TEST_F(HostDialogTest, PassiveModeFollowsTheProfileAndIsStored)
{
    StoreProfile("plain", "ftp.plain.org", "joe", nullptr, "6000");
    StoreProfile("pasv", "ftp.pasv.org", "joe", nullptr, "6000");
    RegSetText("pasv", "PASV", "1");
    HostProfile = HostProfileRec{"plain", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", "", 1};
    bool plainChecked = true, pasvChecked = false;
    INT_PTR rc = Run([&](HWND d) {
        plainChecked = IsOn(d, IDC_HOST_PASSIVE);
        Type(d, IDC_HOST_FOLDER, "pasv");
        pasvChecked = IsOn(d, IDC_HOST_PASSIVE);
        Click(d, IDOK);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_FALSE(plainChecked);
    EXPECT_TRUE(pasvChecked);
    EXPECT_EQ(HostProfile.passive, 1);

    rc = Run([&](HWND d) {
        Click(d, IDC_HOST_PASSIVE);
        Click(d, IDC_HOST_SAVE);
        Click(d, IDOK);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(HostProfile.passive, 0);
    EXPECT_EQ(RegText("pasv", "PASV"), "0");
    EXPECT_EQ(RegText("plain", "PASV"), "");
}

// The stall limit beside the time-out: a stored profile without STALL waits
// for ever (0), a folder never saved starts at 60, OK takes the field and
// Save stores it.
TEST_F(HostDialogTest, StallLimitFollowsTheProfileAndANewOneStartsAt60)
{
    StoreProfile("old", "ftp.old.org", "joe", nullptr, "6000");
    StoreProfile("set", "ftp.set.org", "joe", nullptr, "6000");
    RegSetText("set", "STALL", "15");
    HostProfile = HostProfileRec{"old", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", ""};
    std::string old, set, fresh;
    INT_PTR rc = Run([&](HWND d) {
        old = ItemText(d, IDC_HOST_STALL);
        Type(d, IDC_HOST_FOLDER, "set");
        set = ItemText(d, IDC_HOST_STALL);
        Type(d, IDC_HOST_FOLDER, "brand-new");
        fresh = ItemText(d, IDC_HOST_STALL);
        Click(d, IDOK);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(old, "0");
    EXPECT_EQ(set, "15");
    EXPECT_EQ(fresh, "60");
    EXPECT_EQ(HostProfile.stall, 60u);
    EXPECT_EQ(RegText("brand-new", "STALL"), "");  // OK alone stores nothing

    rc = Run([&](HWND d) {
        Type(d, IDC_HOST_FOLDER, "old");
        SetDlgItemTextA(d, IDC_HOST_STALL, "25");
        Click(d, IDC_HOST_SAVE);
        Click(d, IDOK);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(HostProfile.stall, 25u);
    EXPECT_EQ(RegText("old", "STALL"), "25");
}

TEST_F(HostDialogTest, SaveWithEmptyFolderAndHostSavesNothing)
{
    std::vector<std::string> entries{"?"};
    Run([&](HWND d) {
        Fill(d, IDC_HOST_USER, "joe");
        Click(d, IDC_HOST_SAVE);
        entries = FolderEntries(d);
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(entries.empty());
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Varnholt\\tarn", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD subkeys = 99, values = 99;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
}

TEST_F(HostDialogTest, DeleteRemovesTheFolderAndSelectsItsNeighbour)
{
    StoreProfile("alpha", "ftp.alpha.org", "a", nullptr, "6000");
    StoreProfile("beta", "ftp.beta.org", "b", nullptr, "6000");
    StoreProfile("gamma", "ftp.gamma.org", "g", nullptr, "6000");
    lstrcpyA(HostProfile.folder, "beta");
    std::vector<std::string> after1, after2;
    HostFields shown1{}, shown2{}, shown3{};
    Run([&](HWND d) {
        Click(d, IDC_HOST_DELETE);
        after1 = FolderEntries(d);
        shown1 = Fields(d);
        Click(d, IDC_HOST_DELETE);  // gamma, the last entry: the first is selected
        after2 = FolderEntries(d);
        shown2 = Fields(d);
        Type(d, IDC_HOST_FOLDER, "nosuch");
        Click(d, IDC_HOST_DELETE);  // not stored: only refreshes
        shown3 = Fields(d);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(after1, (std::vector<std::string>{"alpha", "gamma"}));
    EXPECT_EQ(shown1.folder, "gamma");
    EXPECT_EQ(shown1.host, "ftp.gamma.org");
    EXPECT_EQ(after2, std::vector<std::string>{"alpha"});
    EXPECT_EQ(shown2.folder, "alpha");
    EXPECT_EQ(shown2.user, "a");
    EXPECT_EQ(shown3.folder, "alpha");
    EXPECT_EQ(shown3.host, "ftp.alpha.org");
    EXPECT_FALSE(RegKeyExists("beta"));
    EXPECT_FALSE(RegKeyExists("gamma"));
    EXPECT_TRUE(RegKeyExists("alpha"));
}

// Answers the e-mail prompt that the click on `id` brings up; returns what it showed.
std::string AnswerMailPrompt(HWND d, int id, const char* address)
{
    ClickLater(d, id);
    HWND prompt = WaitForDialog(IDC_INPUT_PROMPT, 0, 3000);
    if (!prompt)
        return "";
    std::string seen = WindowText(prompt) + "|" + ItemText(prompt, IDC_INPUT_PROMPT);
    SetDlgItemTextA(prompt, IDC_INPUT_TEXT, address);
    Click(prompt, IDOK);
    WaitGone(prompt);
    // The host dialog fills the password once the prompt's own call has
    // returned on the dialog's thread, a moment after the prompt is gone.
    for (int i = 0; i < 100 && ItemText(d, IDC_HOST_PASSWORD) != address; ++i)
        Sleep(20);
    return seen;
}

TEST_F(HostDialogTest, AnonymousLoginAsksForTheAddressOnce)
{
    std::string firstPrompt;
    bool askedAgain = true;
    HostFields shown{}, again{};
    Run([&](HWND d) {
        Type(d, IDC_HOST_FOLDER, "pub");
        firstPrompt = AnswerMailPrompt(d, IDC_HOST_ANONYMOUS, "me@example.org");
        shown = Fields(d);
        Fill(d, IDC_HOST_USER, "joe");
        Fill(d, IDC_HOST_PASSWORD, "");
        Click(d, IDC_HOST_ANONYMOUS);  // unchecking changes nothing
        ClickLater(d, IDC_HOST_ANONYMOUS);
        askedAgain = WaitForDialog(IDC_INPUT_PROMPT, 0, 1000) != nullptr;
        again = Fields(d);
        Click(d, IDOK);
    });
    EXPECT_EQ(firstPrompt, "Anonymous Login|Enter your e-mail address:");
    EXPECT_EQ(shown.user, "anonymous");
    EXPECT_EQ(shown.password, "me@example.org");
    EXPECT_TRUE(shown.anonymous);
    EXPECT_STREQ(ProgramOptions.mailAddr, "me@example.org");
    EXPECT_FALSE(askedAgain);
    EXPECT_EQ(again.user, "anonymous");
    EXPECT_EQ(again.password, "me@example.org");
    EXPECT_STREQ(HostProfile.user, "anonymous");
    EXPECT_STREQ(HostProfile.password, "me@example.org");
}

// The FTPS choice: a new profile starts at "When available", a stored one
// shows its TLS value (absent: Off), and Save stores the choice.
TEST_F(HostDialogTest, TheTlsChoiceFollowsTheProfileAndIsStored)
{
    static constexpr struct {
        const char* stored;  // TLS of a stored profile; nullptr: absent, "new": no profile
        const char* shown;
        const char* chosen;
        const char* saved;
    } kCases[] = {
        {"new", "When available", nullptr, "2"},  {nullptr, "Off", nullptr, "0"},
        {"0", "Off", "When available", "2"},      {"1", "Required", "Off", "0"},
        {"2", "When available", "Required", "1"}, {"7", "Off", nullptr, "0"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.stored ? c.stored : "absent");
        RegDeleteTreeHkcu("Software\\Varnholt\\tarn\\tls");
        if (strcmp(c.stored ? c.stored : "", "new") != 0) {
            StoreProfile("tls", "ftp.tls.org", "joe", nullptr, "6000");
            if (c.stored)
                RegSetText("tls", "TLS", c.stored);
        }
        std::vector<std::string> items;
        std::string shown;
        Run([&](HWND d) {
            Type(d, IDC_HOST_FOLDER, "tls");
            HWND box = GetDlgItem(d, IDC_HOST_TLS);
            for (LRESULT i = 0, n = SendMessageA(box, CB_GETCOUNT, 0, 0); i < n; ++i) {
                char text[64] = "";
                SendMessageA(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                items.push_back(text);
            }
            shown = ItemText(d, IDC_HOST_TLS);
            if (c.chosen) {
                Focus(d, IDC_HOST_TLS);
                SendMessageA(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(c.chosen));
            }
            Click(d, IDC_HOST_SAVE);
            Click(d, IDCANCEL);
        });
        EXPECT_EQ(items, (std::vector<std::string>{"Off", "When available", "Required"}));
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(RegText("tls", "TLS"), c.saved);
    }
}

TEST_F(HostDialogTest, AStoredAnonymousUserWithoutPasswordGetsTheAddressWhenTyped)
{
    // Typing the folder name reloads on every key; only the full name finds the
    // profile, and its prompt comes once although the focus leaves the box.
    RegSetText("anon", "HOST", "ftp.anon.org");
    RegSetText("anon", "UID", "anonymous");
    std::atomic<int> prompts{0};
    HostFields shown{};
    Run([&](HWND d) {
        std::thread typist([&] { Type(d, IDC_HOST_FOLDER, "anon"); });
        while (HWND prompt = WaitForDialog(IDC_INPUT_PROMPT, 0, 1500)) {
            ++prompts;
            SetDlgItemTextA(prompt, IDC_INPUT_TEXT, "guest@example.org");
            Click(prompt, IDOK);
            WaitGone(prompt);
        }
        typist.join();
        shown = Fields(d);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(shown.host, "ftp.anon.org");
    EXPECT_EQ(shown.password, "guest@example.org");
    EXPECT_TRUE(shown.anonymous);
    EXPECT_FALSE(shown.savePassword);
}

TEST_F(HostDialogTest, CapitalAnonymousIsShownCheckedButStoredProtected)
{
    Run([&](HWND d) {
        Type(d, IDC_HOST_FOLDER, "cap");
        Fill(d, IDC_HOST_USER, "Anonymous");
        Fill(d, IDC_HOST_PASSWORD, "me@x.org");
        Click(d, IDC_HOST_SAVEPWD);
        Click(d, IDC_HOST_SAVE);
        Click(d, IDCANCEL);
    });
    std::string sealed;
    EXPECT_TRUE(RegBytes("cap", "PWDDPAPI", &sealed));
    EXPECT_FALSE(RegBytes("cap", "PWD", &sealed));
    EXPECT_EQ(RegValuesRevealing("cap", "Anonymous", "me@x.org"), std::vector<std::string>{});
    lstrcpyA(HostProfile.folder, "cap");
    HostFields shown{};
    Run([&](HWND d) {
        shown = Fields(d);
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(shown.anonymous);
    EXPECT_EQ(shown.user, "Anonymous");
    EXPECT_EQ(shown.password, "me@x.org");
}

// Waits for the gateway dialog that OK or Save opened, fills it and closes it
// with Ok (or from the system menu when ok is false). Returns what it showed.
HostFields FillGateway(HWND host, int button, const char* gateHost, const char* user, const char* password,
                       bool savePassword, bool ok)
{
    ClickLater(host, button);
    HostFields seen{};
    HWND g = WaitForDialog(IDC_HOST_SAVEPWD, IDC_HOST_TYPE, 3000);
    if (!g)
        return seen;
    Snapshot("gateway");
    seen.host = ItemText(g, IDC_HOST_NAME);
    seen.user = ItemText(g, IDC_HOST_USER);
    seen.password = ItemText(g, IDC_HOST_PASSWORD);
    seen.savePassword = IsOn(g, IDC_HOST_SAVEPWD);
    seen.folder = WindowText(g);
    SetDlgItemTextA(g, IDC_HOST_NAME, gateHost);
    SetDlgItemTextA(g, IDC_HOST_USER, user);
    SetDlgItemTextA(g, IDC_HOST_PASSWORD, password);
    if (IsOn(g, IDC_HOST_SAVEPWD) != savePassword)
        Click(g, IDC_HOST_SAVEPWD);
    if (ok)
        Click(g, IDOK);
    else
        PostMessageA(g, WM_SYSCOMMAND, SC_CLOSE, 0);
    WaitGone(g);
    return seen;
}

TEST_F(HostDialogTest, GatewayValuesAreStoredAtItsOkEvenWithoutSavingTheProfile)
{
    HostFields gate{};
    INT_PTR rc = Run([&](HWND d) {
        Type(d, IDC_HOST_FOLDER, "gw");
        Click(d, IDC_HOST_GATEWAY);
        gate = FillGateway(d, IDOK, "gate.example.org", "guser", "gpw", true, true);
    });
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(gate.folder, "ANS Gateway");
    EXPECT_EQ(gate.host, "");
    EXPECT_EQ(RegValueNames("gw"), (std::vector<std::string>{"GATEHOST", "GATEPASSWORDDPAPI", "GATEUSERID"}));
    EXPECT_EQ(RegText("gw", "GATEHOST"), "gate.example.org");
    EXPECT_EQ(RegText("gw", "GATEUSERID"), "guser");
    EXPECT_EQ(RegValuesRevealing("gw", "guser", "gpw"), std::vector<std::string>{});
    EXPECT_EQ(HostProfile.useGateway, 1);
    EXPECT_STREQ(HostProfile.gateHost, "gate.example.org");
    EXPECT_STREQ(HostProfile.gatePassword, "gpw");

    // Reopened: the box is checked from GATEHOST and the gateway shows what was
    // stored; closing it from the system menu stores nothing.
    HostProfile = HostProfileRec{"gw", "", "", "", "", 6000, 65, 0, 21, 0, 0, "", "", ""};
    HostFields host{};
    rc = Run([&](HWND d) {
        host = Fields(d);
        gate = FillGateway(d, IDC_HOST_SAVE, "other", "other", "other", false, false);
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(host.gateway);
    EXPECT_EQ(gate.host, "gate.example.org");
    EXPECT_EQ(gate.user, "guser");
    EXPECT_EQ(gate.password, "gpw");
    EXPECT_EQ(RegText("gw", "GATEHOST"), "gate.example.org");
    EXPECT_EQ(RegText("gw", "HOST"), "gw");  // Save stored the profile itself

    // Ok without Save Password removes the stored gateway password.
    rc = Run([&](HWND d) {
        FillGateway(d, IDOK, "gate2", "guser", "gpw", false, true);
    });
    std::string sealed;
    EXPECT_FALSE(RegBytes("gw", "GATEPASSWORDDPAPI", &sealed));
    EXPECT_FALSE(RegBytes("gw", "GATEPASSWORD", &sealed));
    EXPECT_EQ(RegText("gw", "GATEHOST"), "gate2");
}

struct HostDialogOverMainWindow : HostDialogTest {
    HWND main = nullptr;
    void SetUp() override
    {
        HostDialogTest::SetUp();
        main = OpenMainWindow();
        ASSERT_TRUE(main);
    }
    void TearDown() override { CloseMainWindow(); }
};

TEST_F(HostDialogOverMainWindow, CancelWhileNotLoggedOnRestoresTheConnectButton)
{
    lstrcpyA(FtpSession.hostName, "ftp.example.org");
    EnableWindow(GetDlgItem(main, IDC_CONNECT), FALSE);
    EnableWindow(GetDlgItem(main, IDC_DISCONNECT), TRUE);
    RECT dialogRect{};
    Run([&](HWND d) {
        GetWindowRect(d, &dialogRect);
        PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    }, "host_over_main", true);
    EXPECT_STREQ(FtpSession.hostName, "");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main, IDC_CONNECT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_DISCONNECT)));
    RECT client;
    GetClientRect(main, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(main, &centre);
    EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2, centre.x, 1);
    EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2, centre.y, 1);
}

TEST(HostDialogResources, LabelsButtonsAndBoxesHaveTheirStyles)
{
    const LANGID en = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    DialogTemplate host = LoadDialogTemplate("DLG_HOST", en), gate = LoadDialogTemplate("DLG_GATEWAY", en);
    ASSERT_TRUE(host.found && gate.found);
    EXPECT_EQ(host.caption, "Host Configuration");
    EXPECT_EQ(gate.caption, "ANS Gateway");
    for (const TemplateItem& i : host.items) {
        SCOPED_TRACE(i.text);
        if (i.id == -1) {
            EXPECT_EQ(i.style & SS_TYPEMASK, static_cast<DWORD>(SS_RIGHT));
        } else {
            EXPECT_TRUE(i.style & WS_TABSTOP);
        }
        if (i.cls == "Button") {
            EXPECT_NE(i.style & 0x0F, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        }
    }
    for (const TemplateItem& i : gate.items) {
        if (i.id == -1) {
            EXPECT_EQ(i.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
        }
    }
    auto item = [&](int id) {
        for (const TemplateItem& i : host.items)
            if (i.id == id)
                return i;
        return TemplateItem{};
    };
    EXPECT_EQ(item(IDC_HOST_FOLDER).style & 3, static_cast<DWORD>(CBS_DROPDOWN));
    EXPECT_TRUE(item(IDC_HOST_FOLDER).style & CBS_SORT);
    EXPECT_EQ(item(IDC_HOST_TYPE).style & 3, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_TRUE(item(IDC_HOST_PASSWORD).style & ES_PASSWORD);
}

INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Every edit field of the dialogs shows the longest value it takes, or
// scrolls: the host dialog's number fields show their longest number (a
// port's five digits), the text fields scroll; in English and Japanese.
TEST(DialogResources, EveryEditShowsItsLongestValueOrScrolls)
{
    const struct {
        int id;
        const char* longest;
    } numbers[] = {{IDC_HOST_TIMEOUT, "65"},   {IDC_HOST_RETRIES, "999"},  {IDC_HOST_PORT, "65535"},
                   {IDC_HOST_KEEPALIVE, "9999"}, {IDC_HOST_STALL, "99999"}};
    HMODULE module = GetModuleHandleA(nullptr);
    for (LANGID language : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}) {
        for (const char* name : {"DLG_HOST", "DLG_GATEWAY", "DLG_STATUS", "DLG_INPUT", "DLG_INPUT_PASSWORD"}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(language));
            HRSRC res = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG), name, language);
            ASSERT_NE(res, nullptr);
            auto* tmpl = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(module, res)));
            HWND dialog = CreateDialogIndirectParamA(module, tmpl, nullptr, IgnoreEverything, 0);
            ASSERT_NE(dialog, nullptr);
            int edits = 0;
            for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                char cls[32] = "";
                GetClassNameA(child, cls, sizeof cls);
                if (lstrcmpiA(cls, "Edit") != 0)
                    continue;
                ++edits;
                int id = GetDlgCtrlID(child);
                const char* longest = nullptr;
                for (const auto& n : numbers)
                    if (n.id == id)
                        longest = n.longest;
                if (!longest) {
                    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & ES_AUTOHSCROLL) << id;
                    continue;
                }
                HDC dc = GetDC(child);
                HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
                SIZE size = {};
                GetTextExtentPoint32A(dc, longest, lstrlenA(longest), &size);
                SelectObject(dc, old);
                ReleaseDC(child, dc);
                RECT shown = {};
                SendMessageA(child, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
                EXPECT_LE(size.cx, shown.right - shown.left) << id << " " << longest;
            }
            EXPECT_GT(edits, 0);
            DestroyWindow(dialog);
        }
    }
}

}  // namespace
