// The line rules on worked examples, edge cases and the real LIST lines of
// tests/data/listings. Expected results are written "d:NAME|f:NAME": the
// names a line adds to the directory list (d) and to the file list (f).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "ftp/hosttypeids.h"
#include "listing/rules.h"
#include "tests/support/rulerun.h"

namespace {

std::string Show(const RuleRun& run)
{
    std::string s;
    for (const auto& d : run.dirs)
        s += (s.empty() ? "" : "|") + std::string("d:") + d;
    for (const auto& f : run.files)
        s += (s.empty() ? "" : "|") + std::string("f:") + f;
    return s;
}

struct Case {
    unsigned long hostType;
    const char* line;
    const char* expected;
};

void ExpectCases(const Case* cases, size_t count, unsigned codePage = 1252)
{
    for (size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        RuleRun run = RunLines(c.hostType, {c.line}, codePage);
        Expected e = Parse(c.expected);
        EXPECT_EQ(run.dirs, e.dirs) << c.hostType << " \"" << c.line << "\" gave " << Show(run);
        EXPECT_EQ(run.files, e.files) << c.hostType << " \"" << c.line << "\" gave " << Show(run);
    }
}

std::string Pad(const std::string& text, size_t width) { return text + std::string(width - text.size(), ' '); }

}  // namespace

TEST(LineRules, WorkedExamples)
{
    static const std::string ka9q = Pad("src/", 41) + "readme.txt";
    static const std::string pctcp = Pad(Pad("<DIR>", 15) + "TOOLS", 30) + "BEYOND.30";
    const Case cases[] = {
        {HOST_UNIX, "drwxr-xr-x   2 owner  group   512 Jan 15 12:00 my docs", "d:my docs"},
        {HOST_UNIX, "lrwxrwxrwx   1 root   root      7 Jan 15 12:00 sys -> usr/sys", "d:sys|f:sys"},
        {HOST_UNIX, "  1042 -rw-r--r--  1 owner  group  1234 Jan 15 12:00 notes.txt", "f:notes.txt"},
        {HOST_UNIX, "drwxr-xr-x   2 owner  group   512 Jan 15 12:00 bin/", "d:bin"},
        {HOST_WINNT, "01-15-96  12:00PM       <DIR>          Program Files", "d:Program Files"},
        {HOST_WINNT, "01-15-96  12:00PM                 1234 read me.txt", "f:read me.txt"},
        {HOST_CHAMELEON, "TOOLS        <DIR>      01-15-96  12:00", "d:TOOLS"},
        {HOST_NCSA, "readme.txt   1234  01-15-96  12:00", "f:readme.txt"},
        {HOST_PCTCP, pctcp.c_str(), "d:TOOLS"},
        {HOST_IBMPC, "01-15-96 12:00   DIR   TOOLS", "d:TOOLS"},
        {HOST_IBMPC, "01-15-96 12:00  1234   AUTOEXEC.BAT", "f:AUTOEXEC.BAT"},
        {HOST_IBMVM, "PROFILE  EXEC     A1 V 80 ...", "f:PROFILE.EXEC"},
        {HOST_KA9Q, ka9q.c_str(), "d:src|f:readme.txt"},
        {HOST_MULTINET, "SOURCES.DIR;1       1/3   15-JAN-96 12:00", "d:SOURCES"},
        {HOST_UCX, "LOGIN.COM;12        2/3   15-JAN-96 12:00", "f:LOGIN.COM;12"},
        {HOST_WINQVT, "ftptest/                        0  01-03-2003 10:13", "d:ftptest"},
        {HOST_WINQVT, "readme.txt                     20  01-03-2003 10:13", "f:readme.txt"},
        {HOST_OS2, "CONFIG   SYS      1234   1-15-96  12:00", "f:CONFIG.SYS"},
        {HOST_OS2, "README            567   1-15-96  12:00", "f:README"},
        {HOST_OS2, "OS2          <DIR>    1-15-96  12:00", "d:OS2"},
        {HOST_MVS, "WORK01  96/01/15  FB  80  800  PO  USER.SOURCE", "d:USER.SOURCE"},
        {HOST_MVS, "WORK01  96/01/15  FB  80  800  PS  USER.SOURCE", "f:USER.SOURCE"},
        {HOST_MVS, "Migrated                                                USER.OLD", "f:USER.OLD"},
        // Software Innovations: the name is the last field of the line.
        {HOST_SOFTINNOV, "d         512  01-15-96  12:00  TOOLS", "d:TOOLS"},
        {HOST_SOFTINNOV, "     1234  01-15-96  12:00  README.TXT", "f:README.TXT"},
        {HOST_SOFTINNOV, "d    ..", ""},
        {HOST_SOFTINNOV, "", ""},
    };
    ExpectCases(cases, std::size(cases));
}

TEST(LineRules, EdgeCases)
{
    static const std::string ka9qParent = Pad("a.txt", 41) + "../";
    static const std::string ka9qSecondOnly = Pad("", 41) + "tools\\";
    const Case cases[] = {
        // UNIX: totals, devices, pipes and sockets add nothing; so do "." and "..".
        {HOST_UNIX, "total 42", ""},
        {HOST_UNIX, "crw-rw-rw-   1 root  root   1,   3 Jan 15 12:00 null", ""},
        {HOST_UNIX, "prw-r--r--   1 owner group      0 Jan 15 12:00 fifo", ""},
        {HOST_UNIX, "drwxr-xr-x   2 owner group    512 Jan 15 12:00 .", ""},
        {HOST_UNIX, "drwxr-xr-x   2 owner group    512 Jan 15 12:00 ..", ""},
        {HOST_UNIX, "", ""},
        // Fewer than nine fields: an empty name, still added.
        {HOST_UNIX, "drwxr-xr-x 3 owner group 512 dateless", "d:"},
        {HOST_UNIX, "-rw-r--r-- 1 owner 12 Jan 15 12:00 x", "f:"},
        // Blanks inside a name stay; trailing blanks, line ends and a slash go.
        {HOST_UNIX, "-rw-r--r--   1 owner group      5 Jan 15 12:00 a  b c", "f:a  b c"},
        {HOST_UNIX, "-rw-r--r--   1 owner group      5 Jan 15 12:00 x.txt \r", "f:x.txt"},
        {HOST_UNIX, "drwxr-xr-x   2 owner group    512 Jan 15 12:00 dos\\", "d:dos"},
        {HOST_UNIX, "-rw-r--r--\t1\towner\tgroup\t5\tJan\t15\t12:00\ttabs.txt", "f:tabs.txt"},
        {HOST_UNIX, "frw-r--r--   1 owner group      5 Jan 15 12:00 f-type", "f:f-type"},
        // SI FTPD: every line that is not a directory or a link is a file.
        {HOST_SIFTPD, "prw-r--r--   1 owner group      0 Jan 15 12:00 fifo", "f:fifo"},
        {HOST_SIFTPD, "total 42", "f:"},
        {HOST_SIFTPD, "drwxr-xr-x   2 owner group    512 Jan 15 12:00 docs", "d:docs"},
        // Values without a rule of their own list as UNIX.
        {HOST_AUTO, "drwxr-xr-x   2 owner group    512 Jan 15 12:00 docs", "d:docs"},
        {HOST_EXOS, "-rw-r--r--   1 owner group      5 Jan 15 12:00 a", "f:a"},
        {HOST_SOLARIS, "-rw-r--r--   1 owner group      5 Jan 15 12:00 a", "f:a"},
        {7777, "-rw-r--r--   1 owner group      5 Jan 15 12:00 a", "f:a"},
        {5999, "-rw-r--r--   1 owner group      5 Jan 15 12:00 a", "f:a"},
        // Windows NT, MS-DOS style.
        {HOST_WINNT, "01-15-96  12:00PM       <DIR>          .", ""},
        {HOST_WINNT, "01-15-96  12:00PM       <DIR>          ..", ""},
        {HOST_WINNT, "01-15-96  12:00PM                 1234", ""},
        {HOST_WINNT, "01-15-96  12:00PM                 1234 ", ""},
        {HOST_WINNT, "01-15-96\t12:00PM\t1234\ttabbed.txt", "f:tabbed.txt"},
        // DOS: the name ends at the first space.
        {HOST_SUPERTCP, "README", "f:README"},
        {HOST_SUPERTCP, "tools        <dir>      01-15-96  12:00", "d:tools"},
        {HOST_PCTCP3, "..           <DIR>      01-15-96  12:00", ""},
        {HOST_PCTCP3, "", ""},
        // PC-TCP: the tag in any case; nothing after byte 30 counts.
        {HOST_PCTCP, "<Dir>     TOOLS", "d:TOOLS"},
        {HOST_PCTCP, "<dir>     ..", ""},
        {HOST_PCTCP, "          README.TXT               WIDE", "f:README.TXT"},
        // IBM-PC: " DIR " and "<dir>" are case-sensitive.
        {HOST_IBMPC, "01-15-96 12:00   dir   lower", "f:lower"},
        {HOST_IBMPC, "01-15-96 12:00  <dir>  tools", "d:tools"},
        {HOST_IBMPC, "01-15-96 12:00   DIR   ..", ""},
        // VM: no directories; name and type joined.
        {HOST_IBMVM, "AUTHORS           DIR        -          -", ""},
        {HOST_IBMVM, "README", ""},
        {HOST_IBMVM, "PROFILE \tEXEC     A1", ""},
        {HOST_IBMVM, "A B", "f:A.B"},
        // KA9Q: one entry lines, "Disk size", the first column's "..".
        {HOST_KA9Q, "wdplus/                  0:33  1/01/80   ", "d:wdplus"},
        {HOST_KA9Q, "43 files. 11,642,880 bytes free. Disk size 32,602,112 bytes.", ""},
        {HOST_KA9Q, "../", "d:.."},
        {HOST_KA9Q, "./", ""},
        {HOST_KA9Q, ka9qParent.c_str(), "f:a.txt"},
        {HOST_KA9Q, ka9qSecondOnly.c_str(), "d:tools"},
        // VMS: no version on directories, a version on files.
        {HOST_MULTINET, ".DIR;1          1/3", "f:.DIR;1"},
        {HOST_MULTINET, "X.DIR;1          1/3", "d:X"},
        {HOST_MULTINET, "Directory DISK$USER:[JOHN]", ""},
        {HOST_MULTINET, "                          1/3  15-JAN-96 12:00", ""},
        {HOST_MULTINET, " SOURCES.DIR;1       1/3", ""},
        {HOST_VARNVMS, " SOURCES.DIR;1       1/3", "d:SOURCES"},
        {HOST_VARNVMS, "XLOGIN.COM;12        2/3", "f:LOGIN.COM;12"},
        {HOST_UCX, "NOTES.TXT;2\tNo privilege", "f:NOTES.TXT;2"},
        {HOST_UCX, "source.dir;1   1/3", "f:source.dir;1"},
        // WinQVT.
        {HOST_WINQVT, "tools\\                          0  01-03-2003 10:13", "d:tools"},
        {HOST_WINQVT, "../                             0  01-03-2003 10:13", ""},
        {HOST_WINQVT, "noext", "f:noext"},
        // OS/2: eight characters of base name at most, three of extension.
        {HOST_OS2, "ABCDEFGHI         12   1-15-96  12:00", "f:ABCDEFGH"},
        {HOST_OS2, "A        B C      12   1-15-96  12:00", "f:A.BC"},
        {HOST_OS2, ".            <DIR>    1-15-96  12:00", ""},
        {HOST_OS2, "", ""},
        // MVS: PO-E is partitioned too; headers and short lines.
        {HOST_MVS, "WYOSPT 3420   2003/05/21  1 3 U 6447    6447  PO-E 81-MVS.DIR", "d:81-MVS.DIR"},
        {HOST_MVS, "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", ""},
        {HOST_MVS, " Name     VV.MM   Created       Changed      Size  Init   Mod   Id", ""},
        {HOST_MVS, "SAVE04                                          ", "f:SAVE04"},
        {HOST_MVS, "PO SHORT", "f:SHORT"},
    };
    ExpectCases(cases, std::size(cases));
}

// A byte-wise rule takes the second byte of a double-byte character for a
// "\" (0x5C) and cuts the name there; the rules work on wide characters.
TEST(LineRules, ShiftJisSecondByteIsNeverABackslash)
{
    const std::string so = "\x83\x5C";       // "ソ"
    const std::string hyou = "\x95\x5C\x8E\xA6";  // "表示"
    const std::string unixDir = "drwxr-xr-x   2 owner group    512 Jan 15 12:00 ";
    const std::string cases[][3] = {
        {"6010", unixDir + so, "d:" + so},
        {"6010", unixDir + hyou + "/", "d:" + hyou},
        {"6010", "-rw-r--r--   1 owner group      5 Jan 15 12:00 " + so + " -> x", "f:" + so},
        {"6013", so + "          20  01-03-2003 10:13", "f:" + so},
        {"6013", so + "/         0  01-03-2003 10:13", "d:" + so},
        // Columns count characters: the second column is at character 41.
        {"6005", so + std::string(40, ' ') + hyou, "f:" + so + "|f:" + hyou},
        {"6014", "07-17-13  01:49PM                    8 " + hyou + ".txt", "f:" + hyou + ".txt"},
        {"6003", "01-15-96 12:00   DIR   " + so, "d:" + so},
        {"6002", Pad("<DIR>", 24) + so, "d:" + so},
        {"6011", so + ".DIR;1   1/3", "d:" + so},
    };
    for (const auto& c : cases) {
        RuleRun run = RunLines(strtoul(c[0].c_str(), nullptr, 10), {c[1]}, 932);
        Expected e = Parse(c[2]);
        EXPECT_EQ(run.dirs, e.dirs) << c[0] << " " << c[1];
        EXPECT_EQ(run.files, e.files) << c[0] << " " << c[1];
    }
}

TEST(LineRules, NamesOfSeveralLinesAndTheWindowsNtSwitch)
{
    struct Listing {
        unsigned long hostType;
        std::vector<std::string> lines;
        const char* expected;
        unsigned long typeAfter;
        size_t notes;  // entry 24 logged
    } listings[] = {
        // The first UNIX-style line switches to UNIX for good, with one note.
        {HOST_WINNT,
         {"01-15-96  12:00PM       <DIR>          Program Files", "total 12",
          "lrwxrwxrwx   1 root   root      7 Jan 15 12:00 sys -> usr/sys",
          "01-15-96  12:00PM                 1234 read me.txt"},
         "d:Program Files|d:sys|f:sys", HOST_UNIX, 1},
        // A link on the switching line goes to the directory list only, and
        // the directory after it to the directory list only.
        {HOST_WINNT,
         {"lrwxrwxrwx   1 root   root      7 Jan 15 12:00 sys -> usr/sys",
          "drwxr-xr-x   2 owner  group   512 Jan 15 12:00 docs"},
         "d:sys|d:docs", HOST_UNIX, 1},
        // Lines shorter than nine characters are UNIX style, not UNIX steps 2.
        {HOST_WINNT, {"abc"}, "", HOST_UNIX, 1},
        {HOST_WINNT, {""}, "", HOST_UNIX, 1},
        // A link named ".." adds nothing and leaves no mark for the next line.
        {HOST_UNIX,
         {"lrwxrwxrwx   1 root   root      7 Jan 15 12:00 .. -> /",
          "drwxr-xr-x   2 owner  group   512 Jan 15 12:00 docs"},
         "d:docs", HOST_UNIX, 0},
        // VMS with the first character dropped; a two-line entry.
        {HOST_VARNVMS, {" MAIL_ARCHIVES.DIR;1", "                           1  13-DEC-2005"},
         "d:MAIL_ARCHIVES", HOST_VARNVMS, 0},
    };
    for (const auto& l : listings) {
        RuleRun run = RunLines(l.hostType, l.lines);
        Expected e = Parse(l.expected);
        EXPECT_EQ(run.dirs, e.dirs) << l.lines[0];
        EXPECT_EQ(run.files, e.files) << l.lines[0];
        EXPECT_EQ(run.hostType, l.typeAfter) << l.lines[0];
        EXPECT_EQ(run.logged, std::vector<unsigned>(l.notes, 24u)) << l.lines[0];
    }
}

TEST(LineRules, LastFieldAndUnixName)
{
    const char* const lastField[][3] = {
        // line, field, the working copy afterwards
        {"a b  c  \r\n", "c", "a b  c"},
        {"a\tb", "b", "a\tb"},
        {"name", "name", "name"},
        {"x -> y", "x", "x"},
        {"a  b  -> c", "b", "a  b"},
        {" \t", "", " \t"},
        {"ab ", "ab", "ab"},
        {"a \t\tb", "b", "a \t\tb"},
        {"a  ", "", "a "},
    };
    for (const auto& c : lastField) {
        std::wstring line(c[0], c[0] + strlen(c[0]));
        std::wstring field = GetLastField(line);
        EXPECT_EQ(field, std::wstring(c[1], c[1] + strlen(c[1]))) << c[0];
        EXPECT_EQ(line, std::wstring(c[2], c[2] + strlen(c[2]))) << c[0];
    }
    const char* const unixName[][2] = {
        {"1 2 3 4 5 6 7 8 nine ten  ", "nine ten"},
        {"1 2 3 4 5 6 7 8", ""},
        {"1\t2 3 4 5 6 7 8\t\t link -> target", "link"},
        {"1 2 3 4 5 6 7 8 ->", ""},
    };
    for (const auto& c : unixName) {
        std::wstring line(c[0], c[0] + strlen(c[0]));
        EXPECT_EQ(GetUnixName(line), std::wstring(c[1], c[1] + strlen(c[1]))) << c[0];
    }
}
