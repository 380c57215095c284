// The MLSD rule: lines of facts and names read through the listing reader as
// they arrive (whole, and in small pieces that cut lines anywhere), and the
// fact values on their own.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "ftp/hosttypeids.h"
#include "listing/mlsd.h"
#include "listing/remotelist.h"
#include "listing/textconv.h"
#include "resources/catalogue.h"

namespace {

struct Entry {
    std::string kind;  // "d" or "f"
    std::string name;
    unsigned long long size;
    std::string time;  // FormatFactTime, empty when none
    bool operator==(const Entry& o) const
    {
        return kind == o.kind && name == o.name && size == o.size && time == o.time;
    }
};

struct Listed {
    std::vector<Entry> entries;
    std::vector<unsigned> logged;
};

constexpr unsigned long long kNoSize = ~0ull;

std::string Bytes(const std::wstring& name) { return WideToMulti(name, name.size() * 2 + 1, 1252); }

void AddDir(void* c, const std::wstring& name) { static_cast<Listed*>(c)->entries.push_back({"d", Bytes(name), kNoSize, ""}); }
void AddFile(void* c, const std::wstring& name) { static_cast<Listed*>(c)->entries.push_back({"f", Bytes(name), kNoSize, ""}); }
void Log(void* c, unsigned id) { static_cast<Listed*>(c)->logged.push_back(id); }
void Size(void* c, const std::wstring& name, unsigned long long size)
{
    Entry& last = static_cast<Listed*>(c)->entries.back();
    EXPECT_EQ(last.name, Bytes(name));
    last.size = size;
}
void Time(void* c, const std::wstring& name, const FactTime& time)
{
    Entry& last = static_cast<Listed*>(c)->entries.back();
    EXPECT_EQ(last.name, Bytes(name));
    last.time = FormatFactTime(time);
}

// The listing fed to the reader in pieces of `piece` bytes (0: all at once).
Listed Read(const std::string& bytes, size_t piece)
{
    Listed run;
    unsigned long hostType = HOST_UNIX;
    RuleSink sink = {&run, AddDir, AddFile, Log, Size, Time};
    RuleState state = {&hostType, false, 1252, true, false, false};
    ListingReaderRec reader;
    ListingReaderStart(&reader, state, sink);
    size_t step = piece ? piece : std::max<size_t>(bytes.size(), 1);
    for (size_t at = 0; at < bytes.size(); at += step)
        ListingReaderFeed(&reader, bytes.data() + at, static_cast<int>(std::min(step, bytes.size() - at)));
    ListingReaderEnd(&reader);
    return run;
}

std::string Show(const Listed& run)
{
    std::string s;
    for (const Entry& e : run.entries)
        s += e.kind + ":[" + e.name.substr(0, 40) + "] " + std::to_string(e.size) + " " + e.time + "\n";
    return s;
}

}  // namespace

TEST(MlsdRule, LinesOfFacts)
{
    const std::string longFacts = "type=file;x.note=" + std::string(1950, 'v') + ";size=7; long facts.txt";
    const std::string longName = std::string(1990, 'n');
    struct Case {
        const char* what;
        std::string line;
        std::vector<Entry> entries;
        std::vector<unsigned> logged;
    } cases[] = {
        {"a file with its size and time", "type=file;size=1048576;modify=20261210120000; notes.txt",
         {{"f", "notes.txt", 1048576, "20261210120000"}}, {}},
        {"fact names and types in any case, fractions of a second", "Type=DIR;Modify=20261210120000.123; Docs",
         {{"d", "Docs", kNoSize, ""}}, {}},
        {"SIZE and MODIFY in capitals", "TYPE=File;SIZE=5;MODIFY=20240229235960; leap",
         {{"f", "leap", 5, "20240229235959"}}, {}},
        {"the current and the parent directory are not shown", "type=cdir; /home/me\r\ntype=pdir; ..", {}, {}},
        {"\".\" and \"..\" as plain directories neither", "type=dir; .\r\ntype=dir; ..", {}, {}},
        {"a leading blank", "type=file;size=5;  lead", {{"f", " lead", 5, ""}}, {}},
        {"a trailing blank", "type=file;size=6; trail ", {{"f", "trail ", 6, ""}}, {}},
        {"two blanks inside", "type=file; two  spaces.txt", {{"f", "two  spaces.txt", kNoSize, ""}}, {}},
        {"\";\" and \"=\" in the name", "type=file;size=1; a;b=c; d.txt", {{"f", "a;b=c; d.txt", 1, ""}}, {}},
        {"no facts at all", " bare", {{"f", "bare", kNoSize, ""}}, {}},
        {"no type: a file", "size=3; notype", {{"f", "notype", 3, ""}}, {}},
        {"an unknown type: a file", "type=special; odd", {{"f", "odd", kNoSize, ""}}, {}},
        {"a link to a directory, where the fact says so", "type=OS.unix=slink:/srv/data/; data",
         {{"d", "data", kNoSize, ""}}, {}},
        {"a directory by its OS kind", "type=OS.Windows=dirjunction; junction", {{"d", "junction", kNoSize, ""}}, {}},
        {"a link to a file, a device", "type=OS.unix=slink:/etc/motd; motd\r\ntype=OS.unix=blk; sda",
         {{"f", "motd", kNoSize, ""}, {"f", "sda", kNoSize, ""}}, {}},
        {"sizes and times that are not such are left out",
         "type=file;size=12x;modify=20261340120000; bad\r\ntype=file;size=;modify=2026121012000; short\r\n"
         "type=file;size=99999999999999999999;modify=20230229120000; big",
         {{"f", "bad", kNoSize, ""}, {"f", "short", kNoSize, ""}, {"f", "big", kNoSize, ""}}, {}},
        {"no blank: logged once, the listing goes on",
         "type=file;size=5;modify=20261210120000;nospace.txt\r\ntype=file;also\r\ntype=file; after",
         {{"f", "after", kNoSize, ""}}, {MSG_MLSD_LINE_SKIPPED}},
        {"an empty name", "type=file;size=5; \r\ntype=dir; d", {{"d", "d", kNoSize, ""}}, {MSG_MLSD_LINE_SKIPPED}},
        {"empty lines say nothing", "\r\n\r\ntype=file; x\r\n", {{"f", "x", kNoSize, ""}}, {}},
        {"a line of 2,000 bytes of facts", longFacts, {{"f", "long facts.txt", 7, ""}}, {}},
        {"a name of 1,990 bytes", "type=file; " + longName, {{"f", longName, kNoSize, ""}}, {}},
        {"a line beyond the limit: left out, logged once",
         "type=file; " + std::string(MLSD_LINE_BYTES, 'x') + "\r\ntype=file; " + std::string(MLSD_LINE_BYTES * 2, 'y') +
             "\r\ntype=file; next",
         {{"f", "next", kNoSize, ""}}, {MSG_MLSD_LINE_TOO_LONG}},
    };
    for (const Case& c : cases) {
        for (size_t piece : {0, 1, 7, 511}) {
            SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
            Listed run = Read(c.line + "\r\n", piece);
            EXPECT_EQ(run.entries, c.entries) << Show(run);
            EXPECT_EQ(run.logged, c.logged);
        }
    }
    // The last line needs no line end.
    EXPECT_EQ(Read("type=file;size=2; end", 3).entries, (std::vector<Entry>{{"f", "end", 2, ""}}));
}

TEST(MlsdRule, FactTimes)
{
    struct Case {
        const char* text;
        const char* parsed;  // nullptr: refused
    } cases[] = {
        {"20261210120000", "20261210120000"}, {"19990101000000.5", "19990101000000"},
        {"20240229000000", "20240229000000"}, {"20230229000000", nullptr}, {"20261301000000", nullptr},
        {"20261200000000", nullptr},          {"20261210240000", nullptr}, {"2026121012000", nullptr},
        {"20261210120000.", nullptr},         {"20261210120000Z", nullptr}, {"15000101000000", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        FactTime time = {};
        std::wstring text(c.text, c.text + strlen(c.text));
        bool parsed = ParseFactTime(text, &time);
        EXPECT_EQ(parsed, c.parsed != nullptr) << c.text;
        if (parsed && c.parsed) {
            EXPECT_EQ(FormatFactTime(time), c.parsed);
        }
    }
}

TEST(MlsdRule, TheListingCommand)
{
    struct Case {
        const char* mask;
        bool mlsd;
        const char* command;
        bool machine;
    } cases[] = {
        {"", true, "MLSD", true},
        {"", false, "LIST", false},
        // MLSD takes no mask.
        {"*.txt", true, "LIST *.txt", false},
        {"*.txt", false, "LIST *.txt", false},
    };
    for (const Case& c : cases) {
        char command[128];
        bool machine = !c.machine;
        ListingCommand(c.mask, c.mlsd, command, &machine);
        EXPECT_STREQ(command, c.command);
        EXPECT_EQ(machine, c.machine) << c.mask;
    }
}
