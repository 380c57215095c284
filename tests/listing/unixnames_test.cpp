// The UNIX rule's name field: after a time or a year, one blank, then every
// character up to the line end is the name, blanks at its ends included. The
// whole real-listing corpus is checked against the names the rule gave
// before this was so: only the lines with such names may differ.
#include <gtest/gtest.h>

#include <stdio.h>
#include <map>
#include <string>
#include <vector>

#include "ftp/hosttypeids.h"
#include "tests/support/paths.h"
#include "tests/support/rulerun.h"

namespace {

TEST(UnixNames, BlanksAtTheEndsOfANameArePartOfIt)
{
    const char* const head = "-rw-r--r--   1 owner group      5 Jan 15 ";
    const struct {
        std::string line;
        const char* names;
    } cases[] = {
        {std::string(head) + "12:00  lead.txt", "f: lead.txt"},
        {std::string(head) + "12:00 trail.txt  ", "f:trail.txt  "},
        {std::string(head) + "12:00   both  ", "f:  both  "},
        {std::string(head) + "12:00 in  side", "f:in  side"},
        {std::string(head) + " 2009  old.txt\r", "f: old.txt"},
        // A year on the left of the column of a time: its padding goes.
        {"-rw-r--r--   1 owner group      5 Jan  1 2003  .welcome", "f:.welcome"},
        {"-rw-r--r--   1 owner group      5 Jan 15 2003   lead", "f: lead"},
        {"-rw-r--r--   1 owner group      5 Jan 15 2003 one", "f:one"},
        {std::string(head) + " 9:05  early", "f: early"},
        {"drwxr-xr-x   2 owner group    512 Jan 15 12:00  dir \r", "d: dir "},
        {"drwxr-xr-x   2 owner group    512 Jan 15 12:00  ", "d: "},
        {"drwxr-xr-x   2 owner group    512 Jan 15 12:00 ", "d:"},
        {"lrwxrwxrwx   1 owner group      7 Jan 15 12:00  ln  -> target", "d: ln |f: ln "},
        {"lrwxrwxrwx   1 owner group      7 Jan 15 12:00 ln -> target ", "d:ln|f:ln"},
        {"123456 -rw-r--r--   1 owner group  5 Jan 15 12:00  inode", "f: inode"},
        {"-rw-r--r--\t1\towner\tgroup\t5\tJan\t15\t12:00\t tab", "f: tab"},
        // Where the eighth field is no time or year (a missing group, a date
        // written otherwise), the name is read as before: blanks around it go.
        {"-rw-r--r--   1 owner      5 Jan 15 12:00   x  y  ", "f:y"},
    };
    for (const auto& c : cases) {
        RuleRun run = RunLines(HOST_UNIX, {c.line});
        Expected e = Parse(c.names);
        EXPECT_EQ(run.dirs, e.dirs) << c.line;
        EXPECT_EQ(run.files, e.files) << c.line;
    }
}

// A run's names as one row of the table below: "d:name" and "f:name" fields
// separated by tabs, with backslash, tab and line ends written \\, \t, \r, \n.
std::string Escaped(const std::string& name)
{
    std::string out;
    for (char c : name) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Row(const RuleRun& run)
{
    std::string row;
    for (const std::string& d : run.dirs)
        row += "\td:" + Escaped(d);
    for (const std::string& f : run.files)
        row += "\tf:" + Escaped(f);
    return row;
}

// Every listing line of the corpus under the UNIX rule (the lines of every
// family: a server may be taken for UNIX), and the NT lines under the
// Windows NT rule too, which reads its UNIX-style lines with the same name
// field. The table tests/listing/unix_names_before.tsv holds what the rule
// gave each of them before (the key "file:line:hosttype", then the row).
TEST(UnixNames, TheCorpusGivesTheNamesItGaveBeforeButWhereANameHasBlanksAtItsEnds)
{
    std::map<std::string, std::string> before;
    FILE* table = fopen(SourceFile("tests/listing/unix_names_before.tsv").c_str(), "rb");
    ASSERT_NE(table, nullptr);
    std::string line;
    for (int c; (c = fgetc(table)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        size_t tab = line.find('\t');
        before[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab);
        line.clear();
    }
    fclose(table);
    ASSERT_GT(before.size(), 2000u);

    // The lines whose names now keep their blanks, and what they give now.
    const std::map<std::string, std::string> changed = {
        // A directory named with one blank.
        {"unix.txt:230:6010", "\td: "},
        {"unix.txt:938:6010", "\tf: foo bar "},
        // QVT/Net in UNIX style keeps the leading blank of " space.txt".
        {"winqvt.txt:22:6010", "\tf: space.txt"},
    };
    const struct {
        const char* file;
        unsigned long hostType;
    } runs[] = {
        {"unix.txt", HOST_UNIX}, {"nt.txt", HOST_UNIX},   {"nt.txt", HOST_WINNT},  {"dos.txt", HOST_UNIX},
        {"vms.txt", HOST_UNIX},  {"mvs.txt", HOST_UNIX},  {"vm.txt", HOST_UNIX},   {"os2.txt", HOST_UNIX},
        {"ka9q.txt", HOST_UNIX}, {"winqvt.txt", HOST_UNIX}, {"netware_other.txt", HOST_UNIX},
    };
    size_t compared = 0, differing = 0;
    for (const auto& r : runs) {
        std::vector<std::string> lines = ListingDataLines(r.file);
        ASSERT_FALSE(lines.empty()) << r.file;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].compare(0, 2, "#=") == 0)
                continue;
            std::string key = std::string(r.file) + ":" + std::to_string(i + 1) + ":" + std::to_string(r.hostType);
            auto was = before.find(key);
            ASSERT_NE(was, before.end()) << key;
            std::string now = Row(RunLines(r.hostType, {lines[i]}));
            auto expected = changed.find(key);
            if (expected != changed.end()) {
                EXPECT_NE(was->second, now) << key << " " << lines[i];
                EXPECT_EQ(now, expected->second) << key << " " << lines[i];
                ++differing;
            } else {
                EXPECT_EQ(now, was->second) << key << " " << lines[i];
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, before.size());
    EXPECT_EQ(differing, changed.size());
}

}  // namespace
