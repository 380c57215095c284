#include "listing/mlsd.h"

#include <stdio.h>

#include "resources/catalogue.h"

namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring Lowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = Lower(c);
    return text;
}

bool Digits(const std::wstring& text, size_t from, size_t count, unsigned* value)
{
    if (from + count > text.size())
        return false;
    unsigned v = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        v = v * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    *value = v;
    return true;
}

bool ParseSize(const std::wstring& text, unsigned long long* size)
{
    if (text.empty())
        return false;
    unsigned long long n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        unsigned digit = static_cast<unsigned>(c - L'0');
        if (n > (~0ull - digit) / 10)
            return false;
        n = n * 10 + digit;
    }
    *size = n;
    return true;
}

// An OS-specific type ("OS.unix=slink:/home/x/", "OS.unix=blk"): a directory
// only where the fact says so, by a kind that names one or by a link target
// that ends in a slash; every other one goes to the files.
FactType OsType(const std::wstring& value)
{
    size_t equals = value.find(L'=');
    if (equals == std::wstring::npos)
        return FACT_FILE;
    std::wstring rest = value.substr(equals + 1);
    size_t colon = rest.find(L':');
    std::wstring kind = Lowered(rest.substr(0, colon));
    if (kind.find(L"dir") != std::wstring::npos)
        return FACT_DIR;
    bool link = kind.find(L"link") != std::wstring::npos;
    if (link && colon != std::wstring::npos && rest.size() > colon + 1 && rest.back() == L'/')
        return FACT_DIR;
    return FACT_FILE;
}

FactType TypeOf(const std::wstring& value)
{
    std::wstring lower = Lowered(value);
    if (lower == L"dir")
        return FACT_DIR;
    if (lower == L"cdir" || lower == L"pdir")
        return FACT_SKIP;
    if (lower.compare(0, 3, L"os.") == 0)
        return OsType(value);
    return FACT_FILE;  // "file", and any type no server should send
}

}  // namespace

bool ParseFactTime(const std::wstring& text, FactTime* time)
{
    unsigned v[6];
    static const size_t kAt[6] = {0, 4, 6, 8, 10, 12}, kCount[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i)
        if (!Digits(text, kAt[i], kCount[i], &v[i]))
            return false;
    // Fractions of a second may follow; nothing else.
    if (text.size() > 14) {
        if (text[14] != L'.' || text.size() == 15)
            return false;
        for (size_t i = 15; i < text.size(); ++i)
            if (text[i] < L'0' || text[i] > L'9')
                return false;
    }
    static const unsigned kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (v[0] < 1601 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > kDays[v[1] - 1] || v[3] > 23 || v[4] > 59 ||
        v[5] > 60)
        return false;
    bool leap = (v[0] % 4 == 0 && v[0] % 100 != 0) || v[0] % 400 == 0;
    if (v[1] == 2 && v[2] == 29 && !leap)
        return false;
    *time = {static_cast<unsigned short>(v[0]), static_cast<unsigned short>(v[1]), static_cast<unsigned short>(v[2]),
             static_cast<unsigned short>(v[3]), static_cast<unsigned short>(v[4]),
             static_cast<unsigned short>(v[5] > 59 ? 59 : v[5])};
    return true;
}

std::string FormatFactTime(const FactTime& t)
{
    char text[32];
    snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u", static_cast<unsigned>(t.year) % 10000,
             static_cast<unsigned>(t.month) % 100, static_cast<unsigned>(t.day) % 100,
             static_cast<unsigned>(t.hour) % 100, static_cast<unsigned>(t.minute) % 100,
             static_cast<unsigned>(t.second) % 100);
    return text;
}

bool SplitMlsdLine(const std::wstring& line, LineFacts* facts, std::wstring* name)
{
    *facts = LineFacts();
    facts->type = FACT_FILE;
    size_t space = line.find(L' ');
    if (space == std::wstring::npos || space + 1 >= line.size())
        return false;
    *name = line.substr(space + 1);
    size_t at = 0;
    while (at < space) {
        size_t end = line.find(L';', at);
        if (end == std::wstring::npos || end > space)
            end = space;
        size_t equals = line.find(L'=', at);
        if (equals != std::wstring::npos && equals < end) {
            std::wstring fact = Lowered(line.substr(at, equals - at));
            std::wstring value = line.substr(equals + 1, end - equals - 1);
            if (fact == L"type")
                facts->type = TypeOf(value);
            else if (fact == L"size")
                facts->hasSize = ParseSize(value, &facts->size);
            else if (fact == L"modify")
                facts->hasModify = ParseFactTime(value, &facts->modify);
        }
        at = end + 1;
    }
    return true;
}

void MlsdLineRule(std::wstring& line, RuleState& state, const RuleSink& sink)
{
    if (line.empty())
        return;
    LineFacts facts;
    std::wstring name;
    if (!SplitMlsdLine(line, &facts, &name)) {
        if (!state.factLineLogged) {
            state.factLineLogged = true;
            sink.logEntry(sink.context, MSG_MLSD_LINE_SKIPPED);
        }
        return;
    }
    if (facts.type == FACT_DIR) {
        // ".." is the list's own first entry.
        if (name != L"." && name != L"..")
            sink.addDir(sink.context, name);
    } else if (facts.type == FACT_FILE) {
        sink.addFile(sink.context, name);
        if (facts.hasSize && sink.fileSize)
            sink.fileSize(sink.context, name, facts.size);
        if (facts.hasModify && sink.fileTime)
            sink.fileTime(sink.context, name, facts.modify);
    }
}
