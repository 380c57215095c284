// Local names for received files: the naming rules, Receive Unique, and
// names from a hostile server.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "store/options.h"
#include "ftp/localname.h"
#include "tests/support/testlog.h"

namespace {

std::string Local(const char* remote)
{
    char local[256], fallback[256];
    EXPECT_EQ(MakeLocalName(remote, local, fallback), 1);
    EXPECT_STREQ(local, fallback);
    return local;
}

class LocalNameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        GetCurrentDirectoryA(sizeof saved_, saved_);
        dir_ = std::string(temp) + "tarn-localname-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
        SetCurrentDirectoryA(dir_.c_str());
        ProgramOptions.receiveUnique = 1;
        CaptureLog();
    }
    void TearDown() override
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA("*", &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA(fd.cFileName);
            while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        SetCurrentDirectoryA(saved_);
        RemoveDirectoryA(dir_.c_str());
    }
    static void Touch(const char* name)
    {
        CloseHandle(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    std::string dir_;
    char saved_[MAX_PATH];
};

TEST_F(LocalNameTest, NamingRules)
{
    std::string longName = std::string(296, 'n') + ".dat";
    struct Case { std::string remote, local; };
    for (const Case& c : {Case{"PROG.DAT;12", "PROG.DAT"}, Case{"a\tb.txt", "a~b.txt"}, Case{";1", ""},
                          Case{longName, std::string(248, 'n') + ".dat"},
                          Case{std::string(300, 'x'), std::string(252, 'x')},
                          Case{std::string(297, 'y') + ".a.b", std::string(252, 'y')}})
        EXPECT_EQ(Local(c.remote.c_str()), c.local) << c.remote.substr(0, 20);
}

TEST_F(LocalNameTest, ReceiveUniqueNumbersExistingNames)
{
    EXPECT_EQ(Local("a.txt"), "a.txt");
    Touch("a.txt");
    EXPECT_EQ(Local("a.txt"), "a.txt.000");
    Touch("a.txt.000");
    EXPECT_EQ(Local("a.txt"), "a.txt.001");
    ProgramOptions.receiveUnique = 0;
    EXPECT_EQ(Local("a.txt"), "a.txt");
}

TEST_F(LocalNameTest, AllHundredNumbersTakenOverwritesTheName)
{
    Touch("b");
    for (int n = 0; n < 100; ++n) {
        char name[16];
        wsprintfA(name, "b.%03d", n);
        Touch(name);
    }
    EXPECT_EQ(Local("b"), "b");
    EXPECT_TRUE(LogHas("Unable to create a unique file name for file: b"));
}

TEST_F(LocalNameTest, ServerNamesStayInTheCurrentDirectory)
{
    struct Case { const char* remote; const char* local; };
    // Names as a server sends them (not a local path).
    for (Case c : {Case{"../../evil.txt", ".._.._evil.txt"}, Case{"..\\boot.ini", ".._boot.ini"},
                   Case{"C:\\autoexec.bat", "C__autoexec.bat"}, Case{"/etc/passwd", "_etc_passwd"},
                   Case{"CON", "_CON"}, Case{"con.txt", "_con.txt"}, Case{"LPT1.log", "_LPT1.log"},
                   Case{"nul .x", "_nul .x"}, Case{"COM10", "COM10"}, Case{"readme", "readme"}}) {
        char local[256], fallback[256];
        EXPECT_EQ(MakeSafeLocalName(c.remote, local, fallback), 1) << c.remote;
        EXPECT_STREQ(local, c.local);
    }
    EXPECT_TRUE(LogHas("Remote name \"/etc/passwd\" is not a plain file name; stored as \"_etc_passwd\"."));
    for (const char* refused : {".", "..", "...", ";1"}) {
        char local[256] = "x", fallback[256] = "x";
        EXPECT_EQ(MakeSafeLocalName(refused, local, fallback), 0) << refused;
        EXPECT_STREQ(local, "");
    }
    EXPECT_TRUE(LogHas("Remote name \"..\" refused: it names no file of this directory."));
    // A name the user types is used as typed.
    EXPECT_EQ(Local("sub/file.txt"), "sub/file.txt");
}

}  // namespace

namespace {

TEST(RemotePath, TheLastComponentOfATypedPath)
{
    const struct {
        const char* path;
        bool vms;
        const char* last;
    } cases[] = {
        {"/r4000.bin", false, "r4000.bin"},
        {"dir/sub/file.txt", false, "file.txt"},
        {"plain.txt", false, "plain.txt"},
        {"dir/", false, ""},
        {"DKA0:[USERS.ME]FILE.TXT;3", true, "FILE.TXT;3"},
        {"DKA0:[USERS.ME]FILE.TXT;3", false, "DKA0:[USERS.ME]FILE.TXT;3"},
        {"[A]b/c", true, "c"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(RemotePathLastComponent(c.path, c.vms), c.last) << c.path;
}

}  // namespace
