// The message catalogue: lookup, the two formatting styles and the Japanese table.
#include <gtest/gtest.h>

#include <windows.h>
#include <inttypes.h>
#include <string.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "store/options.h"
#include "log/log.h"
#include "tests/support/testlog.h"

namespace {

// Reads entry id of the string table in one language straight from the resource.
bool LoadEntry(UINT id, LANGID lang, std::wstring* out)
{
    HRSRC res = FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_STRING),
                                MAKEINTRESOURCEW(id / 16 + 1), lang);
    if (!res)
        return false;
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, res)));
    for (UINT i = 0; i < id % 16; ++i)
        p += 1 + *p;
    if (*p == 0)
        return false;
    out->assign(p + 1, *p);
    return true;
}

std::multiset<std::wstring> Inserts(const std::wstring& text, bool printfStyle)
{
    std::wregex re(printfStyle ? L"%[-0-9.]*[a-z]+" : L"%[0-9]+![^!]*!");
    std::multiset<std::wstring> found;
    for (std::wsregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
        found.insert(it->str());
    return found;
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLogStores();
        CaptureLog();
        ProgramOptions.verbose = 0;
    }
};

TEST_F(CatalogueTest, PrintfEntriesFormatTheirNumbers)
{
    LogMessage(43, 1024ull, 0.5, 2.0);
    LogMessage(90, 2048ull, 2.0, 1.0);
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{
        "1024 bytes transmitted in 0.50 seconds, (2.00Kbytes/sec), transfer succeeded",
        "2048 bytes received in 2.00 seconds, (1.00Kbytes/sec), transfer succeeded"}));
}

// The statistics entries take 64-bit integers in both styles and both
// languages: beyond 4 GiB nothing wraps around or turns negative.
TEST_F(CatalogueTest, StatisticsEntriesPrint64BitNumbers)
{
    const ULONGLONG big = 4294967297ull, bps = 68719476752ull;
    LogMessage(90, big, 1.0, 4194304.0);
    LogMessage(111, 6000000000ull, 3.0, 1953125.0);
    LogMessage(48, big, 1ull, bps);
    LogMessage(45, 3000000000ull, 2ull, 12000000000ull);
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{
        "4294967297 bytes received in 1.00 seconds, (4194304.00Kbytes/sec), transfer succeeded",
        "6000000000 bytes received in 3.00 seconds, (1953125.00Kbytes/sec)",
        "Received 4294967297 bytes in 1 sec, 68719476752 bps, transfer failed",
        "Transmitted 3000000000 bytes in 2 secs, 12000000000 bps, transfer succeeded"}));
}

TEST(CatalogueRules, CountTemplates)
{
    struct Case { const char* text; bool insertStyle; const char* printfTemplate; };
    const std::string l64 = std::string(PRId64).substr(0, strlen(PRId64) - 1);
    const Case cases[] = {
        {"%1d bytes in %.2f seconds, (%3.2fK)", false, "%1#d bytes in %.2f seconds, (%3.2fK)"},
        {"%ld %lld %I64u %hd %5i %-3u 100%%", false, "%#d %#d %#u %#d %5#i %-3#u 100%%"},
        {"Received %1!ld! bytes in %2!1d! sec, %3!u! bps", true, "Received %#d bytes in %1#d sec, %#u bps"},
        {"%1!s! has %2!2d! and %3!-12I64u!, 5%%", true, "%s has %2#d and %-12#u, 5%%"},
        {"%1!ld! バイト %2!ld! 秒", true, "%#d バイト %#d 秒"},
        // Inserts out of order, or forms that are not printf ones, are refused.
        {"%2!ld! before %1!ld!", true, nullptr},
        {"%1 plain insert", true, nullptr},
        {"%1!ld", true, nullptr},
        {"ends in %", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char out[128];
        bool ok = CountTemplate(c.text, c.insertStyle, out, sizeof out);
        ASSERT_EQ(ok, c.printfTemplate != nullptr);
        if (!ok)
            continue;
        std::string expected = c.printfTemplate;
        for (size_t at; (at = expected.find('#')) != std::string::npos;)
            expected.replace(at, 1, l64);
        EXPECT_EQ(out, expected);
    }
    char small[8];
    EXPECT_FALSE(CountTemplate("%1d bytes", false, small, sizeof small));
}

TEST_F(CatalogueTest, InsertEntriesFormatTheirArguments)
{
    LogMessage(36, 2, 5);
    LogMessage(71, "ftp.example.org", "ftp", 21u);
    LogMessage(49, 500ull, 1ull, 4000ull);
    LogMessage(4);  // no inserts: the text itself, line end included
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{
        "Connection failed ... Retrying (2 of 5)",
        "Cannot connect to ftp.example.org ftp service port 21.",
        "Received 500 bytes in 1 sec, 4000 bps, transfer succeeded",
        "Aborting thread before closing or exiting\r\n "}));  // FormatMessage writes line breaks as CR LF
}

TEST_F(CatalogueTest, MissingEntryLogsNothingAndAnOverlongResultIsCut)
{
    LogMessage(18);          // not in the catalogue
    LogLine(static_cast<UINT>(9999));
    // "Remote host name = " has 19 characters; a line holds at most 254, and
    // a longer one (a whole reply line, a long remote name) is cut there.
    std::string fits(235, 'y');
    LogMessage(81, fits.c_str());
    std::string tooLong(5000, 'x');
    LogMessage(81, tooLong.c_str());
    auto lines = CapturedLog();
    EXPECT_EQ(lines, (std::vector<std::string>{"Remote host name = " + fits, "Remote host name = " + tooLong.substr(0, 235)}));
}

TEST_F(CatalogueTest, LogLineByIdIsNotFormatted)
{
    LogLine(static_cast<UINT>(15));
    LogLine("plain %1!s! text");
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{"Enter new name for \"%1!s!\":", "plain %1!s! text"}));
}

TEST_F(CatalogueTest, ErrorTextFallsBackToTheCode)
{
    EXPECT_STREQ(ErrorText(0x2FFFFF), "error 3145727");
    std::string known = ErrorText(WSAECONNREFUSED);
    EXPECT_FALSE(known.empty());
    EXPECT_NE(known.back(), '\n');
    LogError("connect", 0x2FFFFF);
    EXPECT_TRUE(LogHas("connect: error 3145727"));
}

TEST(CatalogueTables, JapaneseHasEveryEnglishEntryWithTheSameInserts)
{
    const LANGID en = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const LANGID ja = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    int checked = 0;
    for (UINT id = 1; id < 200; ++id) {
        std::wstring english, japanese;
        if (!LoadEntry(id, en, &english))
            continue;
        ++checked;
        ASSERT_TRUE(LoadEntry(id, ja, &japanese)) << "entry " << id;
        bool printfStyle = IsPrintfEntry(id);
        if (printfStyle) {
            std::wregex re(L"%[-0-9.]*[a-z]+");
            std::vector<std::wstring> e, j;
            for (std::wsregex_iterator it(english.begin(), english.end(), re), end; it != end; ++it) e.push_back(it->str());
            for (std::wsregex_iterator it(japanese.begin(), japanese.end(), re), end; it != end; ++it) j.push_back(it->str());
            EXPECT_EQ(e, j) << "entry " << id;
        } else {
            EXPECT_EQ(Inserts(english, false), Inserts(japanese, false)) << "entry " << id;
        }
        if (IsCountEntry(id) && !printfStyle) {
            // Their 64-bit inserts are taken in order (see CountTemplate).
            std::wregex re(L"%([0-9]+)!");
            int expected = 1;
            for (std::wsregex_iterator it(japanese.begin(), japanese.end(), re), end; it != end; ++it)
                EXPECT_EQ(std::stoi((*it)[1].str()), expected++) << "entry " << id;
        }
        EXPECT_EQ(english[0] == L'[', japanese[0] == L'[') << "entry " << id;
    }
    EXPECT_GE(checked, 140);
}

}  // namespace
