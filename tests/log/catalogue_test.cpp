// The message catalogue: lookup, the two formatting styles and the Japanese table.
#include <gtest/gtest.h>

#include <windows.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "config/options.h"
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
    LogMessage(43, 1024L, 0.5, 2.0);
    LogMessage(90, 2048L, 2.0, 1.0);
    EXPECT_EQ(CapturedLog(), (std::vector<std::string>{
        "1024 bytes transmitted in 0.50 seconds, (2.00Kbytes/sec), transfer succeeded",
        "2048 bytes received in 2.00 seconds, (1.00Kbytes/sec), transfer succeeded"}));
}

TEST_F(CatalogueTest, InsertEntriesFormatTheirArguments)
{
    LogMessage(36, 2, 5);
    LogMessage(71, "ftp.example.org", "ftp", 21u);
    LogMessage(49, 500, 1, 4000);
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
        EXPECT_EQ(english[0] == L'[', japanese[0] == L'[') << "entry " << id;
    }
    EXPECT_GE(checked, 140);
}

}  // namespace
