// The options, input and about dialogs, opened for real and answered with
// window messages from a second thread.
#include <gtest/gtest.h>

#include <winsock.h>
#include <string.h>
#include <atomic>
#include <string>
#include <thread>

#include "dialogs/dialogs.h"
#include "store/options.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "tests/dialogs/dialogs_test_support.h"
#include "tests/support/dialog_driver.h"

namespace {

struct InputSeen {
    std::string title, prompt, text;
    LONG style = 0;
    HWND owner = nullptr;
    RECT rect = {};
    bool ownerEnabled = true;
};

// Reads what the input dialog shows, types `answer` and presses OK, or closes
// the dialog from its system menu when answer is null.
DialogScript AnswerInput(InputSeen* seen, const char* answer, const char* shot = nullptr)
{
    std::string typed = answer ? answer : "";
    bool ok = answer != nullptr;
    return DialogScript([=] {
        HWND d = WaitForDialog(IDC_INPUT_PROMPT);
        if (!d)
            return;
        if (shot)
            Snapshot(shot);
        seen->title = WindowText(d);
        seen->prompt = ItemText(d, IDC_INPUT_PROMPT);
        seen->text = ItemText(d, IDC_INPUT_TEXT);
        seen->style = GetWindowLongA(GetDlgItem(d, IDC_INPUT_TEXT), GWL_STYLE);
        seen->owner = GetWindow(d, GW_OWNER);
        seen->ownerEnabled = seen->owner && IsWindowEnabled(seen->owner);
        GetWindowRect(d, &seen->rect);
        if (ok) {
            SetDlgItemTextA(d, IDC_INPUT_TEXT, typed.c_str());
            Click(d, IDOK);
        } else
            PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitGone(d);
    });
}

struct InputDialogTest : ::testing::Test {
    ConfigState state;
};

TEST_F(InputDialogTest, AskTextWithBufferShowsPromptAndReturnsTheEntry)
{
    char buffer[INPUT_TEXT_SIZE] = "old.txt";
    InputSeen seen;
    auto script = AnswerInput(&seen, "new name.txt", "input_rename");
    int rc = AskText(buffer, 140, 15, "old.txt");
    script.Join();
    EXPECT_EQ(rc, 1);
    EXPECT_STREQ(buffer, "new name.txt");
    EXPECT_EQ(seen.title, "Rename Remote File");
    EXPECT_EQ(seen.prompt, "Enter new name for \"old.txt\":");
    EXPECT_EQ(seen.text, "old.txt");
    EXPECT_FALSE(seen.style & ES_PASSWORD);
}

TEST_F(InputDialogTest, CancelLeavesTheBufferUnchanged)
{
    char buffer[INPUT_TEXT_SIZE] = "keep me";
    InputSeen seen;
    auto script = AnswerInput(&seen, nullptr);
    EXPECT_EQ(AskText(buffer, 144, 13), 0);
    script.Join();
    EXPECT_EQ(seen.title, "GoTo Local Directory");
    EXPECT_EQ(seen.prompt, "Enter local directory name:");
    EXPECT_STREQ(buffer, "keep me");
}

TEST_F(InputDialogTest, WithoutBufferTheFieldStartsEmptyAndInputTextHoldsTheEntry)
{
    lstrcpyA(InputText, "left over");
    InputSeen seen;
    std::string longEntry(100, 'e');
    auto script = AnswerInput(&seen, longEntry.c_str());
    EXPECT_EQ(AskText(nullptr, 149, 121), 1);
    script.Join();
    EXPECT_EQ(seen.text, "");
    // Only 69 characters are read back.
    EXPECT_EQ(std::string(InputText), std::string(69, 'e'));

    // A prompt longer than the shared buffer is cut to 78 characters.
    std::string name(100, 'n');
    auto script2 = AnswerInput(&seen, "x");
    EXPECT_EQ(AskText(nullptr, 140, 15, name.c_str()), 1);
    script2.Join();
    EXPECT_EQ(strlen(InputPrompt), 78u);
    EXPECT_EQ(seen.prompt, InputPrompt);
    EXPECT_EQ(seen.prompt.rfind("Enter new name for \"nnn", 0), 0u);
}

TEST_F(InputDialogTest, KeysReachingTheDialogAreLogged)
{
    std::atomic<bool> sent{false};
    DialogScript script([&] {
        HWND d = WaitForDialog(IDC_INPUT_PROMPT);
        if (!d)
            return;
        SendMessageA(d, WM_KEYDOWN, 'A', 0);
        std::string afterKey = StatusHistory.count ? StatusHistory.lines[StatusHistory.count - 1] : "";
        SendMessageA(d, WM_CHAR, 'a', 0);
        std::string afterChar = StatusHistory.count ? StatusHistory.lines[StatusHistory.count - 1] : "";
        EXPECT_EQ(afterKey, "a key is down");
        EXPECT_EQ(afterChar, "wmchar, a key is down");
        sent = true;
        Click(d, IDOK);
        WaitGone(d);
    });
    AskText(nullptr, 149, 121);
    script.Join();
    EXPECT_TRUE(sent);
}

TEST_F(InputDialogTest, InputPasswordHidesTheTextAndIsTitledConnectToHost)
{
    char buffer[INPUT_TEXT_SIZE] = "initial";
    InputSeen seen;
    auto script = AnswerInput(&seen, "s3cret", "input_password");
    EXPECT_EQ(InputPassword(buffer, 34), 1);
    script.Join();
    EXPECT_EQ(seen.title, "Connect to Host");
    EXPECT_EQ(seen.prompt, "Need a password:");
    EXPECT_EQ(seen.text, "initial");
    EXPECT_TRUE(seen.style & ES_PASSWORD);
    EXPECT_STREQ(buffer, "s3cret");
}

struct MainWindowTest : ::testing::Test {
    ConfigState state;
    HWND main = nullptr;
    void SetUp() override
    {
        main = OpenMainWindow();
        ASSERT_TRUE(main);
    }
    void TearDown() override { CloseMainWindow(); }
    bool Checked(int id) { return SendDlgItemMessageA(main, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
};

TEST_F(MainWindowTest, AskTextFromAWorkerIsOwnedByTheMainWindowAndCentredOverIt)
{
    char buffer[INPUT_TEXT_SIZE] = "";
    InputSeen seen;
    auto script = AnswerInput(&seen, "from worker");
    std::atomic<int> rc{-1};
    std::thread worker([&] { rc = AskText(buffer, 142, 108); });
    EXPECT_TRUE(PumpUntil([&] { return rc != -1; }, 20000));
    worker.join();
    script.Join();
    EXPECT_EQ(rc, 1);
    EXPECT_STREQ(buffer, "from worker");
    EXPECT_EQ(seen.owner, main);
    EXPECT_FALSE(seen.ownerEnabled);  // modal over the main window
    EXPECT_TRUE(IsWindowEnabled(main));

    RECT client;
    GetClientRect(main, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(main, &centre);
    EXPECT_NEAR((seen.rect.left + seen.rect.right) / 2, centre.x, 1);
    EXPECT_NEAR((seen.rect.top + seen.rect.bottom) / 2, centre.y, 1);
}

struct OptionsSeen {
    bool ascii, binary, l8, verbose, bell, prompt, receiveUnique, sendUnique, autoConnect, resume;
    std::string viewer, mail;
};

// Reads the options dialog, changes every box and both fields, then presses `button`.
DialogScript ChangeEveryOption(OptionsSeen* seen, int button, const char* shot = nullptr)
{
    return DialogScript([=] {
        HWND d = WaitForDialog(IDC_OPT_MAIL);
        if (!d)
            return;
        if (shot)
            Snapshot(shot);
        auto checked = [d](int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; };
        *seen = {checked(IDC_MODE_ASCII), checked(IDC_MODE_BINARY), checked(IDC_MODE_L8), checked(IDC_OPT_VERBOSE),
                 checked(IDC_OPT_BELL), checked(IDC_OPT_PROMPT), checked(IDC_OPT_RECVUNIQUE),
                 checked(IDC_OPT_SENDUNIQUE), checked(IDC_OPT_AUTOCONNECT), checked(IDC_OPT_RESUME),
                 ItemText(d, IDC_OPT_VIEWER), ItemText(d, IDC_OPT_MAIL)};
        Click(d, IDC_MODE_L8);
        for (int id : {IDC_OPT_VERBOSE, IDC_OPT_BELL, IDC_OPT_PROMPT, IDC_OPT_RECVUNIQUE, IDC_OPT_SENDUNIQUE,
                       IDC_OPT_AUTOCONNECT, IDC_OPT_RESUME})
            Click(d, id);
        SetDlgItemTextA(d, IDC_OPT_VIEWER, std::string(80, 'v').c_str());
        SetDlgItemTextA(d, IDC_OPT_MAIL, "me@example.org");
        Click(d, button);
        WaitGone(d);
    });
}

TEST_F(MainWindowTest, OptionsSetTakesEveryBoxAndTheMainWindowShowsTheType)
{
    ProgramOptions.transferType = 'I';
    OptionsSeen seen{};
    auto script = ChangeEveryOption(&seen, IDOK, "options");
    SendMessageA(main, WM_COMMAND, IDC_OPTIONS, 0);
    script.Join();
    // Opened with the defaults of a first start.
    EXPECT_TRUE(seen.binary);
    EXPECT_FALSE(seen.ascii || seen.l8);
    EXPECT_TRUE(seen.bell && seen.receiveUnique && seen.resume);
    EXPECT_FALSE(seen.verbose || seen.prompt || seen.sendUnique || seen.autoConnect);
    EXPECT_EQ(seen.viewer, "notepad");
    EXPECT_EQ(seen.mail, "");

    const ProgramOptionsRec& o = ProgramOptions;
    EXPECT_EQ(o.transferType, 'L');
    EXPECT_EQ(o.verbose, 1);
    EXPECT_EQ(o.bell, 0);
    EXPECT_EQ(o.prompt, 1);
    EXPECT_EQ(o.receiveUnique, 0);
    EXPECT_EQ(o.sendUnique, 1);
    EXPECT_EQ(o.autoConnect, 1u);
    EXPECT_EQ(o.resume, 0);
    EXPECT_EQ(std::string(o.viewer), std::string(69, 'v'));
    EXPECT_STREQ(o.mailAddr, "me@example.org");
    EXPECT_TRUE(Checked(IDC_MODE_L8));
    EXPECT_FALSE(Checked(IDC_MODE_BINARY));
}

TEST_F(MainWindowTest, OptionsCancelChangesNothingAndTheStoredTypeStaysShown)
{
    SendMessageA(main, WM_COMMAND, IDC_MODE_BINARY, 0);
    ProgramOptionsRec before = ProgramOptions;
    for (int closeBy : {IDCANCEL, 0}) {
        OptionsSeen seen{};
        DialogScript script = closeBy ? ChangeEveryOption(&seen, IDCANCEL) : DialogScript([&] {
            HWND d = WaitForDialog(IDC_OPT_MAIL);
            if (!d)
                return;
            Click(d, IDC_MODE_ASCII);
            PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            WaitGone(d);
        });
        SendMessageA(main, WM_COMMAND, IDC_OPTIONS, 0);
        script.Join();
        EXPECT_EQ(memcmp(&before, &ProgramOptions, sizeof before), 0);
        EXPECT_TRUE(Checked(IDC_MODE_BINARY));
        EXPECT_FALSE(Checked(IDC_MODE_L8) || Checked(IDC_MODE_ASCII));
    }
}

TEST(AboutBox, ShowsTheLocalHostAndTheSocketsDescription)
{
    ConfigState state;
    ASSERT_EQ(WSAStartup(0x0101, &g_wsaData), 0);
    char host[256] = "";
    gethostname(host, sizeof host);
    std::string hostShown, winsock;
    DialogScript script([&] {
        HWND d = WaitForDialog(IDC_ABOUT_HOST);
        if (!d)
            return;
        Snapshot("about");
        hostShown = ItemText(d, IDC_ABOUT_HOST);
        winsock = ItemText(d, IDC_ABOUT_WINSOCK);
        Click(d, IDOK);
    });
    INT_PTR rc = DialogBoxParamA(g_hInstance, "DLG_ABOUT", nullptr, WS_AboutMsgProc, 0);
    script.Join();
    WSACleanup();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(winsock, g_wsaData.szDescription);
    EXPECT_EQ(hostShown.rfind(host, 0), 0u) << hostShown;
}

TEST(DialogResources, JapaneseDialogsHaveTheEnglishControls)
{
    const LANGID en = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), ja = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    for (const char* name : {"DLG_STATUS", "DLG_INPUT", "DLG_INPUT_PASSWORD", "DLG_ABOUT", "DLG_HOST", "DLG_GATEWAY"}) {
        SCOPED_TRACE(name);
        DialogTemplate e = LoadDialogTemplate(name, en), j = LoadDialogTemplate(name, ja);
        ASSERT_TRUE(e.found && j.found);
        EXPECT_EQ(e.style, j.style);
        EXPECT_EQ(e.cx, j.cx);
        EXPECT_EQ(e.cy, j.cy);
        ASSERT_EQ(e.items.size(), j.items.size());
        for (size_t i = 0; i < e.items.size(); ++i) {
            const TemplateItem &a = e.items[i], &b = j.items[i];
            SCOPED_TRACE(a.text);
            EXPECT_EQ(a.id, b.id);
            EXPECT_EQ(a.cls, b.cls);
            EXPECT_EQ(a.style, b.style);
            EXPECT_LE(b.x + b.cx, j.cx);
            EXPECT_LE(b.y + b.cy, j.cy);
        }
    }
    DialogTemplate options = LoadDialogTemplate("DLG_STATUS", en);
    EXPECT_EQ(options.caption, "TARN Options");
    EXPECT_EQ(options.cx, 167);
    EXPECT_EQ(options.cy, 162);
    EXPECT_NE(LoadDialogTemplate("DLG_STATUS", ja).caption, options.caption);
}

}  // namespace
