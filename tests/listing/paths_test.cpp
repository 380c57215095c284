// How directories are shown: the three shortenings, the PWD reply and the
// remote label per host type.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

#include "ftp/hosttypeids.h"
#include "listing/paths.h"
#include "listing/remotelist.h"

namespace {

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    while (times-- > 0)
        out += text;
    return out;
}

const std::string kHyou = "\x95\x5C";  // "表" in code page 932: its second byte is "\"

}  // namespace

TEST(Paths, Shortening)
{
    struct Case {
        std::string (*shorten)(const char*, size_t, unsigned);
        std::string text, shown;
    } cases[] = {
        {ShortenPath, "/usr/local/src/project/sub/dir", ".../src/project/sub/dir"},
        {ShortenPath, "/abcdefghij/klmnopqrstuv", "/abcdefghij/klmnopqrstuv"},        // 24
        {ShortenPath, "/abcdefghij/klmnopqrstuvw", ".../abcdefghij/klmnopqrstuvw"},   // 25
        {ShortenPath, "/" + std::string(30, 'a'), "..."},
        {ShortenPath, "C:\\dir\\with\\many\\levels\\deep\\x", "...\\with\\many\\levels\\deep\\x"},
        {ShortenPath, "undecipherable", "undecipherable"},
        {ShortenVmsPath, "DISK$USER1:[JOHN.PROJECTS.SOURCE.TEST]", "DISK$USER1:[....PROJECTS.SOURCE.TEST]"},
        {ShortenVmsPath, "SYS$SYSDEVICE:[ANON]", "SYS$SYSDEVICE:[ANON]"},
        {ShortenVmsPath, "DISK$USER1:[JOHNATHANSMITHSONIAN1]", "DISK$USER1:[..."},
        {ShortenVmsPath, "DISK$USER12345678901:[JOHN.PROJECTS]", "DISK$USER12345678901"},
        {ShortenVmsPath, "VERY$LONG$DEVICE$NAME$HERE1:[A.B]", ":[....B]"},
        {ShortenVmsPath, std::string(26, 'D'), ""},
        {ShortenVmsPath, std::string(25, 'D'), std::string(25, 'D')},
        {ShortenLocalPath, "C:\\Program Files\\Accessories\\Sub\\Deeper", "C:\\...\\Accessories\\Sub\\Deeper"},
        {ShortenLocalPath, "C:\\Program Files\\Access", "C:\\Program Files\\Access"},  // 24
        {ShortenLocalPath, "C:\\" + std::string(30, 'a'), "C:\\..."},
        {ShortenLocalPath, "C:\\abc/def/ghi/jkl/mno/pqr/stu", "C:\\..."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shorten(c.text.c_str(), 25, 1252), c.shown) << c.text;
}

// A byte-wise search finds "\" inside "表" and cuts the character in two.
TEST(Paths, ShiftJisSecondByteIsNoSeparator)
{
    EXPECT_EQ(ShortenLocalPath(("C:\\" + Repeat(kHyou, 20) + "\\abc").c_str(), 25, 932), "C:\\...\\abc");
    EXPECT_EQ(ShortenLocalPath(("C:\\" + Repeat(kHyou, 25)).c_str(), 25, 932), "C:\\...");
    EXPECT_EQ(ShortenPath(("/pub/" + Repeat(kHyou, 25) + "/readme").c_str(), 25, 932), ".../readme");
    EXPECT_EQ(ShortenPath(("/" + Repeat(kHyou, 24)).c_str(), 25, 932), ".../" + Repeat(kHyou, 24));
}

TEST(Paths, DirectoryOfAPwdReply)
{
    struct Case {
        const char* reply;
        bool named;
        std::string directory;
    } cases[] = {
        {"257 \"/home/user\" is current directory.", true, "/home/user"},
        {"257 \"/no/closing quote", true, "/no/closing quote"},
        {"257 \"/x\r\n", true, "/x"},
        {"257 \"\" is current directory.", true, ""},
        {"257 \"'USER.'\" is working directory", true, "'USER.'"},
        {"257 /home/user is current directory", false, ""},
    };
    for (const Case& c : cases) {
        std::string directory;
        EXPECT_EQ(PwdDirectory(c.reply, 1252, &directory), c.named) << c.reply;
        EXPECT_EQ(directory, c.directory) << c.reply;
    }
    // At most 180 bytes, never half a character.
    std::string directory;
    ASSERT_TRUE(PwdDirectory(("257 \"" + std::string(200, 'a') + "\"").c_str(), 1252, &directory));
    EXPECT_EQ(directory, std::string(180, 'a'));
    ASSERT_TRUE(PwdDirectory(("257 \"a" + Repeat(kHyou, 100) + "\"").c_str(), 932, &directory));
    EXPECT_EQ(directory, "a" + Repeat(kHyou, 89));
}

TEST(Paths, RemoteLabelByHostType)
{
    const std::string unixPath = "/usr/local/src/project/sub/dir";
    const std::string vmsPath = "DISK$USER1:[JOHN.PROJECTS.SOURCE.TEST]";
    const std::string mvsPath = "'SYS1.VERY.LONG.QUALIFIED.DATASET.NAME.PREFIX.'";
    struct Case {
        unsigned long hostType;
        const std::string& directory;
        std::string shown;
    } cases[] = {
        {HOST_UNIX, unixPath, ".../src/project/sub/dir"},
        {HOST_AUTO, unixPath, ".../src/project/sub/dir"},
        {7777, unixPath, ".../src/project/sub/dir"},
        {HOST_MULTINET, vmsPath, "DISK$USER1:[....PROJECTS.SOURCE.TEST]"},
        {HOST_UCX, vmsPath, "DISK$USER1:[....PROJECTS.SOURCE.TEST]"},
        {HOST_VARNVMS, vmsPath, "DISK$USER1:[....PROJECTS.SOURCE.TEST]"},
        {HOST_WINNT, vmsPath, "..."},
        {HOST_MVS, mvsPath, mvsPath},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RemoteDirLabel(c.directory.c_str(), c.hostType, 1252), c.shown) << c.hostType;
}

TEST(Paths, ListCommandOfAMask)
{
    char command[128];
    ListCommand("", command);
    EXPECT_STREQ(command, "LIST");
    ListCommand("-la", command);
    EXPECT_STREQ(command, "LIST -la");
    ListCommand(std::string(119, 'm').c_str(), command);
    EXPECT_EQ(std::string(command), "LIST " + std::string(119, 'm'));
}

// A UTF-8 session's PWD keeps the server's bytes, those that are not UTF-8
// among them, cut only between whole characters.
TEST(PwdDirectory, Utf8KeepsTheBytes)
{
    std::string directory;
    ASSERT_TRUE(PwdDirectory("257 \"/caf\xC3\xA9/x\xFF\" is current", CP_UTF8, &directory));
    EXPECT_EQ(directory, "/caf\xC3\xA9/x\xFF");
    std::string japanese;
    for (int i = 0; i < 70; ++i)
        japanese += "\xE6\x97\xA5";
    ASSERT_TRUE(PwdDirectory(("257 \"" + japanese + "\"").c_str(), CP_UTF8, &directory));
    EXPECT_EQ(directory, japanese.substr(0, 180));
}
