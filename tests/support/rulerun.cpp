#include "tests/support/rulerun.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <algorithm>

#include "listing/remotelist.h"
#include "listing/rules.h"
#include "listing/textconv.h"
#include "tests/support/paths.h"

namespace {

struct Collect {
    RuleRun* run;
    unsigned codePage;
};

void CollectDir(void* c, const std::wstring& name)
{
    auto* collect = static_cast<Collect*>(c);
    collect->run->dirs.push_back(WideToMulti(name, 511, collect->codePage));
}

void CollectFile(void* c, const std::wstring& name)
{
    auto* collect = static_cast<Collect*>(c);
    collect->run->files.push_back(WideToMulti(name, 511, collect->codePage));
}

void CollectLog(void* c, unsigned id) { static_cast<Collect*>(c)->run->logged.push_back(id); }

}  // namespace

RuleRun RunLines(unsigned long hostType, const std::vector<std::string>& lines, unsigned codePage)
{
    // The lines go through a listing file as a server sends them, each with
    // its line feed.
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\n";
    return RunListing(hostType, bytes, 0, codePage);
}

RuleRun RunListing(unsigned long hostType, const std::string& bytes, int pieceSize, unsigned codePage)
{
    RuleRun run;
    run.hostType = hostType;
    Collect collect = {&run, codePage};
    RuleSink sink = {&collect, CollectDir, CollectFile, CollectLog};
    RuleState state = {&run.hostType, false, codePage};
    if (pieceSize > 0) {
        ListingReaderRec reader;
        ListingReaderStart(&reader, state, sink);
        for (size_t at = 0; at < bytes.size(); at += static_cast<size_t>(pieceSize))
            ListingReaderFeed(&reader, bytes.data() + at,
                              static_cast<int>(std::min(bytes.size() - at, static_cast<size_t>(pieceSize))));
        ListingReaderEnd(&reader);
        return run;
    }
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    wsprintfA(path, "%srulerun-%lu.tmp", dir, GetCurrentProcessId());
    FILE* file = fopen(path, "wb");
    if (!file) {
        ADD_FAILURE() << "cannot write " << path;
        return run;
    }
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    EXPECT_EQ(ParseListingFile(path, state, sink), 0);
    DeleteFileA(path);
    return run;
}

std::vector<std::string> ListingDataLines(const char* name)
{
    std::vector<std::string> lines;
    std::string path = ListingDataDir() + "\\" + name;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return lines;
    std::string line;
    int c;
    while ((c = fgetc(file)) != EOF) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty())
        lines.push_back(line);
    fclose(file);
    return lines;
}

Expected Parse(const std::string& text)
{
    Expected e;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('|', at);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(at, end - at);
        (item[0] == 'd' ? e.dirs : e.files).push_back(item.substr(2));
        at = end + 1;
    }
    return e;
}
