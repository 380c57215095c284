// The registry store against Wine's real registry, and the password form.
#include <gtest/gtest.h>

#include <string.h>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/dialogs.h"  // ShowStoreFailures: how the caller shows them
#include "store/options.h"
#include "store/store.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/registry_guard.h"

namespace {

struct PasswordCase {
    const char* user;
    const char* password;
    const char* stored;
};

TEST(PasswordForm, EncodesAndDecodesTheStoredForm)
{
    static constexpr PasswordCase kCases[] = {
        {"joe", "abc", "616365"},
        {"Anonymous", "abc", "616365"},          // only the exact lower-case name is exempt
        {"anonymous", "me@example.org", "me@example.org"},
        {"joe", "", ""},
        {"", "~~", "7E7F"},                      // position is added: 0x7E + 1
        {"joe", "\xE9t\xE9", "E975EB"},          // bytes above 0x7F keep two digits
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.user) + "/" + c.password);
        EXPECT_STREQ(EncodePassword(c.user, c.password), c.stored);
        EXPECT_STREQ(DecodePassword(c.user, c.stored), c.password);
    }
}

TEST(PasswordForm, EveryByteSurvivesAndTheBufferHolds)
{
    std::string printable, high;
    for (int c = 0x20; c <= 0x7E; ++c)
        printable += static_cast<char>(c);
    for (int c = 0x80; c <= 0xFF; ++c)
        high += static_cast<char>(c);
    for (const std::string& pw : {printable.substr(0, 78), printable.substr(17, 78), high.substr(0, 78),
                                   high.substr(50, 78), std::string("\x82\xA0\x82\xA2pass")}) {
        std::string stored = EncodePassword("user", pw.c_str());
        EXPECT_EQ(stored.size(), 2 * pw.size());
        EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos) << stored;
        EXPECT_EQ(DecodePassword("user", stored.c_str()), pw);
    }
    // Longer than the 160-byte form can hold: cut at 79 bytes, never overrun.
    std::string huge(500, '\xFF');
    EXPECT_EQ(strlen(EncodePassword("user", huge.c_str())), 158u);
    EXPECT_LT(strlen(EncodePassword("anonymous", huge.c_str())), 160u);
    EXPECT_LT(strlen(DecodePassword("user", huge.c_str())), 160u);
}

TEST(PasswordForm, FormsTheEncoderCannotWriteAreTakenInClear)
{
    // Odd length, characters that are not upper-case hex digits, and pairs that
    // would decode to a zero byte: nothing is lost, nothing turns into garbage.
    for (const char* stored : {"61636", "secret", "61z365", "6162ab", "00", "6101"})
        EXPECT_STREQ(DecodePassword("joe", stored), stored);
}

struct StoreTest : ::testing::Test {
    RegistryGuard registry;
    HostProfileRec savedProfile = HostProfile;
    ProgramOptionsRec savedOptions = ProgramOptions;
    ~StoreTest() override
    {
        HostProfile = savedProfile;
        ProgramOptions = savedOptions;
    }
};

TEST_F(StoreTest, FirstStartGivesTheDefaultsWithoutCreatingTheKey)
{
    ProgramOptions.viewer[0] = 0;
    ProgramOptions.bell = 0;
    ProgramOptions.receiveUnique = 0;
    ProgramOptions.verbose = 1;
    ProgramOptions.resume = 0;
    lstrcpyA(HostProfile.user, "someone");
    HostProfile.timeout = 5;
    HostProfile.stall = 9;
    LoadOptions();
    EXPECT_STREQ(ProgramOptions.viewer, "notepad");
    EXPECT_STREQ(ProgramOptions.mailAddr, "");
    EXPECT_STREQ(HostProfile.folder, "");
    EXPECT_STREQ(HostProfile.user, "");
    EXPECT_EQ(ProgramOptions.receiveUnique, 1);
    EXPECT_EQ(ProgramOptions.bell, 1);
    EXPECT_EQ(ProgramOptions.sendUnique, 0);
    EXPECT_EQ(ProgramOptions.prompt, 0);
    EXPECT_EQ(ProgramOptions.verbose, 0);
    EXPECT_EQ(ProgramOptions.resume, 1);  // a first start resumes
    EXPECT_EQ(HostProfile.timeout, 65u);
    EXPECT_EQ(HostProfile.stall, 0u);
    EXPECT_EQ(HostProfile.retries, 0u);
    EXPECT_EQ(HostProfile.ftpPort, 21u);
    EXPECT_EQ(HostProfile.hostType, 6000u);
    EXPECT_FALSE(RegKeyExists(""));

    // Listing the folders is what first creates the key.
    std::vector<std::string> names;
    StoreFailures failures;
    EXPECT_EQ(EnumProfiles(&names, &failures), 1);
    EXPECT_TRUE(RegKeyExists(""));
    EXPECT_TRUE(names.empty());
    RegSetText("zeta", "HOST", "z");
    RegSetText("alpha", "HOST", "a");
    RegSetText("_config_", "FLAGS", "1");
    EXPECT_EQ(EnumProfiles(&names, &failures), 1);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "zeta"}));  // "_config_" is never a folder
    EXPECT_TRUE(failures.empty());
}

TEST_F(StoreTest, ProfileIsWrittenAndReadBack)
{
    HostProfileRec& p = HostProfile;
    lstrcpyA(p.host, "ftp.example.org");
    lstrcpyA(p.user, "joe");
    lstrcpyA(p.password, "abc");
    lstrcpyA(p.initialDir, "/pub");
    p.hostType = 6010;
    p.timeout = 30;
    p.retries = 2;
    p.ftpPort = 2121;
    p.savePassword = 1;
    p.passive = 1;
    p.nameEncoding = NAMES_AUTO;
    p.tls = 0;
    p.trustedCertificate[0] = 0;
    p.stall = 45;
    p.mlsd = MLSD_AUTO;
    p.keepAlive = 120;
    SaveProfile("work");

    // A plain profile without a trusted certificate stores no fingerprint.
    EXPECT_EQ(RegValueNames("work"),
              (std::vector<std::string>{"DIR", "FTPPORT", "HOST", "KEEPALIVE", "MLSD", "PASV", "PWDDPAPI", "RETRIES",
                                        "STALL", "TIMEOUT", "TLS", "TYPE", "UID", "UTF8"}));
    EXPECT_EQ(RegText("work", "STALL"), "45");
    EXPECT_EQ(RegText("work", "KEEPALIVE"), "120");
    EXPECT_EQ(RegText("work", "MLSD"), "1");
    EXPECT_EQ(RegText("work", "PASV"), "1");
    EXPECT_EQ(RegText("work", "UTF8"), "1");
    EXPECT_EQ(RegText("work", "TLS"), "0");
    EXPECT_EQ(RegValuesRevealing("work", "joe", "abc"), std::vector<std::string>{});
    char password[80];
    EXPECT_EQ(ProfileReadPassword("work", PASSWORD_VALUE, "joe", password, sizeof password), PASSWORD_READ);
    EXPECT_STREQ(password, "abc");
    EXPECT_EQ(RegText("work", "TYPE"), "6010");
    EXPECT_EQ(RegText("work", "FTPPORT"), "2121");

    char text[79];
    EXPECT_EQ(ProfileReadText("work", "HOST", "dflt", text, 63), 1);
    EXPECT_STREQ(text, "ftp.example.org");
    EXPECT_EQ(ProfileReadNumber("work", "TIMEOUT", 65), 30u);
    EXPECT_EQ(ProfileReadNumber("work", "RETRIES", 0), 2u);
    EXPECT_EQ(ProfileReadText("work", "GATEHOST", "dflt", text, 63), 0);
    EXPECT_STREQ(text, "dflt");
    EXPECT_EQ(ProfileReadText("nosuch", "HOST", "nosuch", text, 63), 0);
    EXPECT_STREQ(text, "nosuch");

    // FTPS with a certificate the user trusted: both stored, and dropping
    // the trust removes the fingerprint.
    p.tls = TLS_WHEN_AVAILABLE;
    SaveProfile("work");
    EXPECT_EQ(RegText("work", "TLS"), "2");
    p.tls = TLS_REQUIRED;
    lstrcpyA(p.trustedCertificate, "AB:CD");
    SaveProfile("work");
    EXPECT_EQ(RegText("work", "TLS"), "1");
    EXPECT_EQ(RegText("work", "TLSCERT"), "AB:CD");
    p.trustedCertificate[0] = 0;
    SaveProfile("work");
    bool certificateStored = true;
    RegText("work", "TLSCERT", &certificateStored);
    EXPECT_FALSE(certificateStored);
    p.tls = 0;

    // Without Save Password and without a directory those values go away;
    // active mode is stored as 0.
    p.savePassword = 0;
    p.initialDir[0] = 0;
    p.passive = 0;
    SaveProfile("work");
    EXPECT_EQ(RegText("work", "PASV"), "0");
    bool exists = true;
    std::string bytes;
    EXPECT_FALSE(RegBytes("work", "PWD", &bytes));
    EXPECT_FALSE(RegBytes("work", "PWDDPAPI", &bytes));
    RegText("work", "DIR", &exists);
    EXPECT_FALSE(exists);

    // "anonymous" keeps the address in clear; "Anonymous" is protected.
    lstrcpyA(p.user, "anonymous");
    lstrcpyA(p.password, "me@x.org");
    p.savePassword = 1;
    SaveProfile("anon");
    EXPECT_EQ(RegText("anon", "PWD"), "me@x.org");
    EXPECT_FALSE(RegBytes("anon", "PWDDPAPI", &bytes));
    lstrcpyA(p.user, "Anonymous");
    SaveProfile("anon");
    EXPECT_FALSE(RegBytes("anon", "PWD", &bytes));
    EXPECT_EQ(RegValuesRevealing("anon", "Anonymous", "me@x.org"), std::vector<std::string>{});
    EXPECT_EQ(ProfileReadPassword("anon", PASSWORD_VALUE, "Anonymous", password, sizeof password), PASSWORD_READ);
    EXPECT_STREQ(password, "me@x.org");

    ProfileWrite("work", nullptr, nullptr);
    EXPECT_FALSE(RegKeyExists("work"));
    EXPECT_TRUE(RegKeyExists("anon"));
}

// A saved password is read from the protected value first and from the
// older form otherwise; saving again protects it and removes the older
// form. A protected value this logon cannot read (damaged here; another
// user's under Windows) is no password, whatever older form lies beside it.
TEST_F(StoreTest, PasswordsAreReadInEitherFormAndSavedProtected)
{
    char out[80];
    EXPECT_EQ(ProfileReadPassword("pw", PASSWORD_VALUE, "joe", out, sizeof out), PASSWORD_ABSENT);
    RegSetText("pw", "PWD", "616365");
    EXPECT_EQ(ProfileReadPassword("pw", PASSWORD_VALUE, "joe", out, sizeof out), PASSWORD_READ);
    EXPECT_STREQ(out, "abc");

    // 78 characters: twice what the older form could keep.
    const std::string longest(78, 'k');
    ASSERT_EQ(ProfileWritePassword("pw", PASSWORD_VALUE, "joe", longest.c_str()), 1);
    std::string sealed;
    EXPECT_FALSE(RegBytes("pw", "PWD", &sealed));
    EXPECT_EQ(ProfileReadPassword("pw", PASSWORD_VALUE, "joe", out, sizeof out), PASSWORD_READ);
    EXPECT_EQ(out, longest);
    ASSERT_EQ(ProfileWritePassword("pw", GATE_PASSWORD_VALUE, "guser", "gpw"), 1);
    EXPECT_EQ(ProfileReadPassword("pw", GATE_PASSWORD_VALUE, "guser", out, sizeof out), PASSWORD_READ);
    EXPECT_STREQ(out, "gpw");

    ASSERT_TRUE(RegBytes("pw", "PWDDPAPI", &sealed));
    std::string damaged = sealed;
    damaged[damaged.size() / 2] ^= 0x55;
    const std::string tooLong(PROTECTED_PASSWORD_MAX + 1, 'x');
    for (const std::string& unreadable : {damaged, sealed.substr(0, sealed.size() - 1), std::string(), tooLong}) {
        RegSetBytes("pw", "PWDDPAPI", unreadable);
        RegSetText("pw", "PWD", "616365");
        lstrcpyA(out, "left");
        EXPECT_EQ(ProfileReadPassword("pw", PASSWORD_VALUE, "joe", out, sizeof out), PASSWORD_UNREADABLE);
        EXPECT_STREQ(out, "");
    }
    // Too long for the caller's buffer: not cut, unreadable.
    RegSetBytes("pw", "PWDDPAPI", sealed);
    EXPECT_EQ(ProfileReadPassword("pw", PASSWORD_VALUE, "joe", out, 40), PASSWORD_UNREADABLE);

    // Not saving it removes both forms.
    ASSERT_EQ(ProfileWritePassword("pw", PASSWORD_VALUE, "joe", nullptr), 1);
    EXPECT_FALSE(RegBytes("pw", "PWD", &sealed));
    EXPECT_FALSE(RegBytes("pw", "PWDDPAPI", &sealed));
}

TEST_F(StoreTest, ValuesThatDoNotFitReadAsTheDefault)
{
    std::string pw39(39, 'x'), pw40(40, 'x');
    RegSetText("p", "PWD", EncodePassword("joe", pw39.c_str()));
    char stored[79];
    ASSERT_EQ(ProfileReadText("p", "PWD", "", stored, 79), 1);
    EXPECT_EQ(std::string(DecodePassword("joe", stored)), pw39);
    RegSetText("p", "PWD", EncodePassword("joe", pw40.c_str()));
    EXPECT_EQ(ProfileReadText("p", "PWD", "", stored, 79), 0);
    EXPECT_STREQ(stored, "");

    // The host buffer holds 62 characters and the zero.
    char host[63];
    RegSetText("p", "HOST", std::string(62, 'h'));
    EXPECT_EQ(ProfileReadText("p", "HOST", "p", host, sizeof host), 1);
    EXPECT_EQ(strlen(host), 62u);
    RegSetText("p", "HOST", std::string(63, 'h'));
    EXPECT_EQ(ProfileReadText("p", "HOST", "p", host, sizeof host), 0);
    EXPECT_STREQ(host, "p");
}

TEST_F(StoreTest, NumbersAreReadByTheirLeadingDigits)
{
    static constexpr struct {
        const char* text;
        DWORD value;
    } kCases[] = {{"6003", 6003}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"4294967295", 4294967295u}};
    for (const auto& c : kCases) {
        RegSetText("n", "TYPE", c.text);
        EXPECT_EQ(ProfileReadNumber("n", "TYPE", 6000), c.value) << c.text;
    }
    EXPECT_EQ(ProfileReadNumber("n", "MISSING", 6000), 6000u);
    EXPECT_EQ(ProfileReadNumber("nosuch", "TYPE", 6000), 6000u);
}

TEST_F(StoreTest, OptionsRoundTripAndConfigHoldsExactlySevenValues)
{
    RegSetText("_config_", "SESSION", "work");
    RegSetText("_config_", "MAILADDR", "me@x.org");
    RegSetText("_config_", "VIEWER", "write");
    RegSetText("_config_", "AUTOSTART", "1");
    RegSetText("_config_", "FLAGS", "255");
    RegSetText("_config_", "EXTRA", "by hand");
    LoadOptions();
    EXPECT_STREQ(HostProfile.folder, "work");
    EXPECT_STREQ(ProgramOptions.mailAddr, "me@x.org");
    EXPECT_STREQ(ProgramOptions.viewer, "write");
    EXPECT_EQ(ProgramOptions.autoConnect, 1u);
    for (LONG flag : {ProgramOptions.receiveUnique, ProgramOptions.sendUnique, ProgramOptions.bell,
                      ProgramOptions.prompt, ProgramOptions.verbose})
        EXPECT_EQ(flag, 1);
    // Options stored before resuming existed: off, whatever FLAGS holds.
    EXPECT_EQ(ProgramOptions.resume, 0);

    SaveOptions();
    EXPECT_EQ(RegValueNames("_config_"),
              (std::vector<std::string>{"AUTOSTART", "FLAGS", "MAILADDR", "RESUME", "SESSION", "VIEWER"}));
    EXPECT_EQ(RegText("_config_", "FLAGS"), "31");
    EXPECT_EQ(RegText("_config_", "RESUME"), "0");
    for (const char* stored : {"1", "0"}) {
        RegSetText("_config_", "RESUME", stored);
        LoadOptions();
        EXPECT_EQ(ProgramOptions.resume, stored[0] == '1' ? 1 : 0) << stored;
    }
    ProgramOptions.resume = 1;
    SaveOptions();
    EXPECT_EQ(RegText("_config_", "RESUME"), "1");
    EXPECT_EQ(RegText("_config_", "VIEWER"), "write");

    // Only flags that are exactly 1 count.
    ProgramOptions.bell = 0;
    ProgramOptions.prompt = 2;
    ProgramOptions.autoConnect = 0;
    SaveOptions();
    EXPECT_EQ(RegText("_config_", "FLAGS"), "19");
    EXPECT_EQ(RegText("_config_", "AUTOSTART"), "0");

    // Keep the server's file times: stored as KEEPTIME only when on.
    EXPECT_EQ(ProgramOptions.keepTimes, 0);
    ProgramOptions.keepTimes = 1;
    SaveOptions();
    EXPECT_EQ(RegText("_config_", "KEEPTIME"), "1");
    ProgramOptions.keepTimes = 0;
    LoadOptions();
    EXPECT_EQ(ProgramOptions.keepTimes, 1);
    ProgramOptions.keepTimes = 0;
    SaveOptions();
    bool stored = true;
    RegText("_config_", "KEEPTIME", &stored);
    EXPECT_FALSE(stored);

    // The window's placement: absent without one (a stored configuration of
    // old opens the window as before), kept by the same save once there.
    EXPECT_STREQ(ProgramOptions.placement, "");
    lstrcpyA(ProgramOptions.placement, "10,20,1610,1020,1");
    SaveOptions();
    ProgramOptions.placement[0] = 0;
    LoadOptions();
    EXPECT_STREQ(ProgramOptions.placement, "10,20,1610,1020,1");
    EXPECT_EQ(RegValueNames("_config_"),
              (std::vector<std::string>{"AUTOSTART", "FLAGS", "MAILADDR", "PLACEMENT", "RESUME", "SESSION", "VIEWER"}));
    ProgramOptions.placement[0] = 0;
}

TEST_F(StoreTest, FailedWriteIsReportedAndShownInABoxAndDeletingNothingFailsNot)
{
    // The store shows nothing itself: it hands the failure to its caller,
    // which shows it.
    StoreFailures failures;
    std::string folder(300, 'f');  // beyond what a key name may hold
    std::string text, title;
    std::thread none([&] { text = AnswerMessageBox(1000); });
    EXPECT_EQ(ProfileWrite(folder.c_str(), "HOST", "h", &failures), 0);
    none.join();
    EXPECT_EQ(text, "");
    ASSERT_EQ(failures.size(), 1u);

    std::thread watch([&] { text = AnswerMessageBox(3000, &title); });
    ShowStoreFailures(failures);
    watch.join();
    EXPECT_EQ(title, "TARN");
    EXPECT_EQ(text.rfind("ERROR: Unable to create key in registry,\r\nSoftware\\Varnholt\\tarn\\fff", 0), 0u)
        << text;

    failures.clear();
    EXPECT_EQ(ProfileWrite("nosuch", "HOST", nullptr, &failures), 1);
    EXPECT_EQ(ProfileWrite("nosuch", nullptr, nullptr, &failures), 1);
    EXPECT_TRUE(failures.empty());
    EXPECT_FALSE(RegKeyExists("nosuch"));
}

}  // namespace
