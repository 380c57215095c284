// The line rules on the real LIST lines of tests/data/listings, read through
// ParseListingFile. Each line is run as a listing of its own, under the host
// type of its family, and each file as one listing.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "ftp/hosttypeids.h"
#include "tests/support/rulerun.h"

namespace {

bool IsListingLine(const std::string& line) { return line.compare(0, 2, "#=") != 0; }

RuleRun RunLine(unsigned long hostType, const std::string& line, unsigned codePage = 1252)
{
    return RunLines(hostType, {line}, codePage);
}

// What another parser says of a line (its .expected.tsv rows), read our way.
struct Assertion {
    Expected names;
    bool kindsOnly = false;  // the source names no name ("?")
    bool namesOnly = false;  // the source names no kind ("?")
};

std::vector<std::pair<int, Assertion>> ReadAssertions(const char* file)
{
    std::vector<std::pair<int, Assertion>> rows;
    for (const std::string& row : ListingDataLines(file)) {
        size_t tab1 = row.find('\t'), tab2 = row.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos)
            continue;
        int line = atoi(row.c_str());
        std::string kind = row.substr(tab1 + 1, tab2 - tab1 - 1), name = row.substr(tab2 + 1);
        if (rows.empty() || rows.back().first != line)
            rows.push_back({line, Assertion()});
        Assertion& a = rows.back().second;
        a.kindsOnly = a.kindsOnly || name == "?";
        if (kind == "dir" && (name == "." || name == ".."))
            continue;  // our rules never list them
        if (kind == "dir" || kind == "link")
            a.names.dirs.push_back(name);
        if (kind == "file" || kind == "link")
            a.names.files.push_back(name);
        if (kind == "?") {
            a.namesOnly = true;
            a.names.files.push_back(name);
        }
    }
    return rows;
}

// A line, or a run of lines, where our rule gives something else than the
// other parser; "~" means the same kinds with empty names.
struct Difference {
    int first, last;
    const char* expected;
};

struct Family {
    const char* file;
    unsigned long hostType;
    std::vector<Difference> differences;
};

const Difference* FindDifference(const Family& family, int line)
{
    for (const Difference& d : family.differences)
        if (line >= d.first && line <= d.last)
            return &d;
    return nullptr;
}

void CheckFamily(const Family& family)
{
    std::string tsv = std::string(family.file);
    tsv.replace(tsv.size() - 4, 4, ".expected.tsv");
    std::vector<std::string> lines = ListingDataLines(family.file);
    auto rows = ReadAssertions(tsv.c_str());
    ASSERT_FALSE(lines.empty()) << family.file;
    ASSERT_FALSE(rows.empty()) << tsv;
    for (const auto& row : rows) {
        int n = row.first;
        const Assertion& a = row.second;
        ASSERT_LE(n, static_cast<int>(lines.size()));
        RuleRun run = RunLine(family.hostType, lines[n - 1]);
        std::string where = std::string(family.file) + ":" + std::to_string(n) + " " + lines[n - 1];
        const Difference* d = FindDifference(family, n);
        if (d && std::string(d->expected) == "~") {
            EXPECT_EQ(run.dirs, std::vector<std::string>(a.names.dirs.size())) << where;
            EXPECT_EQ(run.files, std::vector<std::string>(a.names.files.size())) << where;
        } else if (d) {
            Expected e = Parse(d->expected);
            EXPECT_EQ(run.dirs, e.dirs) << where;
            EXPECT_EQ(run.files, e.files) << where;
        } else if (a.namesOnly) {
            std::vector<std::string> all = run.dirs;
            all.insert(all.end(), run.files.begin(), run.files.end());
            ASSERT_FALSE(all.empty()) << where;
            for (const std::string& name : all)
                EXPECT_EQ(name, a.names.files[0]) << where;
        } else if (a.kindsOnly) {
            EXPECT_EQ(run.dirs.size(), a.names.dirs.size()) << where;
            EXPECT_EQ(run.files.size(), a.names.files.size()) << where;
        } else {
            EXPECT_EQ(run.dirs, a.names.dirs) << where;
            EXPECT_EQ(run.files, a.names.files) << where;
        }
    }
}

struct Selected {
    int line;
    const char* expected;
};

void CheckSelected(const char* file, unsigned long hostType, const std::vector<Selected>& selected,
                   unsigned codePage = 1252)
{
    std::vector<std::string> lines = ListingDataLines(file);
    ASSERT_FALSE(lines.empty()) << file;
    for (const Selected& s : selected) {
        ASSERT_LE(s.line, static_cast<int>(lines.size()));
        const std::string& line = lines[s.line - 1];
        ASSERT_TRUE(IsListingLine(line)) << file << ":" << s.line;
        RuleRun run = RunLine(hostType, line, codePage);
        Expected e = Parse(s.expected);
        EXPECT_EQ(run.dirs, e.dirs) << file << ":" << s.line << " " << line;
        EXPECT_EQ(run.files, e.files) << file << ":" << s.line << " " << line;
    }
}

}  // namespace

// Every line that another parser asserts gives what it says, read our way
// ("." and ".." add nothing, a link goes to both lists, "none" adds nothing),
// except where our rules differ; the tables say what they give there.
TEST(RealListings, UnixLinesAgreeWithOtherParsersWhereTheRuleAllows)
{
    CheckFamily({"unix.txt", HOST_UNIX, {
        // The date written as one or two fields, or an owner or group of two
        // words: the name starts after the eighth field all the same.
        {5, 5, "d:dir"}, {7, 9, "f:file"}, {11, 11, "f:03:26 13-unix-domain file"},
        {13, 13, "f:09:47 23-vshell-new file"}, {17, 18, "f:file"}, {74, 74, "d:15:13   zxbox"},
        {75, 75, "d:10:59 abc(test)123.pdf"}, {81, 81, "f:2 15:13 zxbox"}, {86, 86, "d:15:13 zxbox"},
        {422, 422, "f:- Manual.pdf"}, {428, 428, "d:2009 %%%%%"},
        // Fewer than nine fields (no group, no date, joined columns): empty names.
        {22, 24, "~"}, {26, 26, "~"}, {29, 29, "~"}, {177, 193, "~"}, {201, 203, "~"},
        {225, 226, "~"}, {349, 353, "~"}, {419, 421, "~"}, {425, 427, "~"}, {432, 434, "~"},
        {589, 631, "~"}, {821, 821, "~"},
        // Neither "d", "l", "-" nor "f" first: devices, an unknown type, and a
        // numeric mode whose first field goes as an inode number.
        {12, 12, ""}, {43, 44, ""}, {63, 64, ""}, {431, 431, ""},
        // "ftpd: .: Permission denied" begins with "f": a file, nameless.
        {222, 222, "f:"}, {318, 318, "f:"}, {585, 585, "f:"},
        // A blank name is trimmed away; the blanks around a name too.
        {230, 230, "d:"}, {938, 938, "f:foo bar"},
    }});
}

TEST(RealListings, OtherFamiliesAgreeWithOtherParsersWhereTheRuleAllows)
{
    const Family families[] = {
        {"nt.txt", HOST_WINNT, {
            // Ninth character not blank (a four-digit year): UNIX style, which
            // makes nothing of these lines.
            {5, 6, ""}, {212, 213, ""},
            // "<DIR>" with nothing after it: a nameless directory.
            {89, 89, "d:"},
        }},
        {"dos.txt", HOST_CHAMELEON, {}},
        {"mvs.txt", HOST_MVS, {
            // Member lists end with other columns than the name.
            {14, 14, "f:BOBY12"}, {15, 15, "f:ANY"}, {16, 16, "f:24"}, {41, 41, "f:KIL001"},
            {76, 77, "f:ANY"},
            // z/OS UNIX lines have no data set organisation: files.
            {58, 58, "f:downloads"}, {59, 59, "f:p5zipfile"},
        }},
        {"vm.txt", HOST_IBMVM, {
            // No directories under VM; a header line reads as NAME.TYPE.
            {9, 12, ""}, {32, 32, ""}, {24, 24, "f:Filename.FileType"},
        }},
    };
    for (const Family& f : families)
        CheckFamily(f);
}

// VMS names keep their version on files and lose ".DIR" and the version on
// directories; the other parsers' names differ (lower case, no version), so
// these lines are checked one by one.
TEST(RealListings, VmsLines)
{
    CheckSelected("vms.txt", HOST_MULTINET, {
        {3, "d:36-vms-dir"}, {4, "f:37-vms-file;1"}, {7, "f:40-vms-multiline-file;1"}, {8, ""},
        {19, "d:DATA"}, {22, "f:A.;2"}, {24, "f:UCX$REXECD_STARTUP.LOG;1098"}, {25, ""},
        {33, "d:FREEWARE40"}, {42, ""}, {43, ""}, {51, ""}, {59, "f:.WELCOME;1"},
        {63, "d:MAIL_ARCHIVES"}, {64, ""}, {72, ""}, {98, "d:PICS"}, {118, ""},
        {120, "f:$MAIN.TPU$JOURNAL;1"}, {123, "f:FILE.;1"}, {135, ""},
    });
}

TEST(RealListings, Ka9qAndWinQvtLines)
{
    CheckSelected("ka9q.txt", HOST_KA9Q, {
        {4, "f:access.txt|f:alias.gw"}, {5, "d:arc|f:alias"}, {15, "d:drivers|d:finger"},
        {24, "d:spool|f:tmp20.$$$"}, {25, "d:wdplus"}, {26, ""},
        // JNOS puts its second column elsewhere; the fixed columns read what is there.
        {29, "d:ka9q|f:o/      10:23"}, {35, "f:autoexec.nos"},
    });
    CheckSelected("winqvt.txt", HOST_WINQVT, {
        {4, "f:"}, {5, "f:12345678.txt"}, {6, "f:file"}, {7, "d:ftp.dir"}, {8, "d:ftptest"}, {9, "f:noext"},
    });
    // Later QVT/Net versions answer in UNIX style.
    CheckSelected("winqvt.txt", HOST_UNIX, {
        {14, ""}, {15, ""}, {16, "d:pub"}, {22, "f:space.txt"}, {25, "f:File N.txt"}, {28, "f:ma.n.s"},
    });
}

// The OS/2 lines are IBM TCP/IP for OS/2 server lines, which the IBM-PC
// rule (" DIR " and the last field) reads; the OS/2 rule expects 8.3 columns.
TEST(RealListings, Os2Lines)
{
    CheckSelected("os2.txt", HOST_IBMPC, {
        {5, "d:dir"}, {9, "d:jbrekke"}, {13, "d:Desktop"}, {15, "d:OS2KRNL"}, {16, "f:OS2LDR"},
        {21, "f:POPUPLOG.OS2"}, {35, ""}, {36, ""}, {42, "f:INSTALL.EXE"}, {43, "f:MOZILLA.FAKEOUT"},
        {46, "d:PROTOCOL"},
    });
    CheckSelected("os2.txt", HOST_OS2, {
        {3, "f:36611.A"}, {9, "f:"}, {15, "f:587823.RS"},
    });
}

// An NT listing with Shift-JIS names (code page 932): each name is the tail
// of its line, byte for byte.
TEST(RealListings, ShiftJisNamesOfAnNtListing)
{
    std::vector<std::string> lines = ListingDataLines("nt.txt");
    int found = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0 || lines[i - 1].find("Shift_JIS") == std::string::npos)
            continue;
        for (size_t j = i + 1; j < lines.size() && IsListingLine(lines[j]); ++j) {
            const std::string& line = lines[j];
            RuleRun run = RunLine(HOST_WINNT, line, 932);
            if (line.find("<DIR>") != std::string::npos) {
                EXPECT_EQ(run.dirs, std::vector<std::string>{"aspnet_client"});
                continue;
            }
            size_t size = line.find_first_not_of(' ', line.find_first_of(' ', 18));
            std::string name = line.substr(line.find(' ', size) + 1);
            EXPECT_EQ(run.files, std::vector<std::string>{name}) << line;
            ++found;
        }
    }
    EXPECT_EQ(found, 15);
}

// A whole listing file read at once gives the names of its lines one after
// the other, as each line read on its own does: nothing of one line (a link
// mark, a piece of a long line) carries over into the next.
TEST(RealListings, WholeListingGivesTheNamesOfItsLinesInOrder)
{
    const struct {
        const char* file;
        unsigned long hostType;
    } families[] = {
        {"unix.txt", HOST_UNIX}, {"dos.txt", HOST_CHAMELEON}, {"vms.txt", HOST_MULTINET},
        {"mvs.txt", HOST_MVS},   {"vm.txt", HOST_IBMVM},      {"os2.txt", HOST_OS2},
        {"ka9q.txt", HOST_KA9Q}, {"winqvt.txt", HOST_WINQVT}, {"netware_other.txt", HOST_UNIX},
    };
    for (const auto& family : families) {
        std::vector<std::string> lines;
        for (const std::string& line : ListingDataLines(family.file))
            if (IsListingLine(line))
                lines.push_back(line);
        ASSERT_FALSE(lines.empty()) << family.file;
        RuleRun each;
        for (const std::string& line : lines) {
            RuleRun one = RunLine(family.hostType, line);
            each.dirs.insert(each.dirs.end(), one.dirs.begin(), one.dirs.end());
            each.files.insert(each.files.end(), one.files.begin(), one.files.end());
        }
        RuleRun whole = RunLines(family.hostType, lines);
        EXPECT_FALSE(whole.dirs.empty() && whole.files.empty()) << family.file;
        EXPECT_EQ(whole.dirs, each.dirs) << family.file;
        EXPECT_EQ(whole.files, each.files) << family.file;
        EXPECT_EQ(whole.hostType, family.hostType) << family.file;
    }
}

// A listing read while it arrives gives what the same bytes give from the
// file, wherever the pieces end: inside a line, between a carriage return and
// its line feed, inside a line too long for one piece, and with a last line
// without a line feed.
TEST(RealListings, ListingReadAsItArrivesGivesWhatTheFileGives)
{
    struct Case {
        const char* file;
        unsigned long hostType;
    };
    const Case cases[] = {{"unix.txt", HOST_UNIX}, {"nt.txt", HOST_WINNT}, {"vms.txt", HOST_MULTINET},
                          {"mvs.txt", HOST_MVS}};
    for (const Case& c : cases) {
        std::string bytes;
        for (const std::string& line : ListingDataLines(c.file))
            bytes += line + "\r\n";
        bytes += "-rw-r--r--   1 ftp  ftp  7 Jan 15 12:00 " + std::string(700, 'x') + "\r\n";
        bytes += "-rw-r--r--   1 ftp  ftp  7 Jan 15 12:00 bare\rreturn.txt\r\n";
        bytes += "-rw-r--r--   1 ftp  ftp  7 Jan 15 12:00 last-without-feed.txt\r";
        RuleRun whole = RunListing(c.hostType, bytes, 0);
        EXPECT_FALSE(whole.files.empty()) << c.file;
        for (int piece : {1, 2, 7, 511, 512, 4096}) {
            RuleRun pieces = RunListing(c.hostType, bytes, piece);
            EXPECT_EQ(pieces.dirs, whole.dirs) << c.file << " in pieces of " << piece;
            EXPECT_EQ(pieces.files, whole.files) << c.file << " in pieces of " << piece;
            EXPECT_EQ(pieces.logged, whole.logged) << c.file << " in pieces of " << piece;
            EXPECT_EQ(pieces.hostType, whole.hostType) << c.file << " in pieces of " << piece;
        }
    }
}

// Whatever a server sends under whatever host type: no crash, and no name
// longer than its line.
TEST(RealListings, EveryLineUnderEveryHostType)
{
    const char* files[] = {"unix.txt", "nt.txt", "dos.txt", "vms.txt", "mvs.txt", "vm.txt",
                           "os2.txt", "ka9q.txt", "winqvt.txt", "netware_other.txt"};
    for (const char* file : files) {
        std::vector<std::string> lines = ListingDataLines(file);
        ASSERT_FALSE(lines.empty()) << file;
        for (unsigned long type = 5999; type <= 6021; ++type) {
            for (const std::string& line : lines) {
                RuleRun run = RunLine(type, line);
                for (const auto* names : {&run.dirs, &run.files})
                    for (const std::string& name : *names)
                        EXPECT_LE(name.size(), line.size() + 1) << file << " " << type << " " << line;
            }
        }
    }
}
