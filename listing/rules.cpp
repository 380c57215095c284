#include "listing/rules.h"

#include "ftp/hosttypeids.h"
#include "listing/textconv.h"

static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
static bool IsSlash(wchar_t c) { return c == L'/' || c == L'\\'; }
static bool IsDotName(const std::wstring& name) { return name == L"." || name == L".."; }

static void AddDir(const RuleSink& sink, const std::wstring& name) { sink.addDir(sink.context, name); }
static void AddFile(const RuleSink& sink, const std::wstring& name) { sink.addFile(sink.context, name); }

static void AddDirUnlessDots(const RuleSink& sink, const std::wstring& name)
{
    if (!IsDotName(name))
        AddDir(sink, name);
}

static size_t SkipBlanks(const std::wstring& s, size_t i)
{
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return i;
}

static size_t SkipNonBlanks(const std::wstring& s, size_t i)
{
    while (i < s.size() && !IsBlank(s[i]))
        ++i;
    return i;
}

static std::wstring UpToFirstSpace(const std::wstring& s)
{
    size_t space = s.find(L' ');
    return space == std::wstring::npos ? s : s.substr(0, space);
}

static void TrimTrailingSpaces(std::wstring& s, size_t keep)
{
    while (s.size() > keep && s.back() == L' ')
        s.pop_back();
}

// Steps shared by GetLastField and GetUnixName: trailing line ends and blanks
// go (the copy never drops below 2 characters), and a link's "->" with the
// blanks before it cuts the line.
static void TrimAndCutLink(std::wstring& line)
{
    while (line.size() >= 3) {
        wchar_t c = line.back();
        if (c != L'\n' && c != L'\r' && c != L' ' && c != L'\t')
            break;
        line.pop_back();
    }
    size_t arrow = line.find(L"->");
    if (arrow != std::wstring::npos) {
        line.resize(arrow);
        while (!line.empty() && IsBlank(line.back()))
            line.pop_back();
    }
}

std::wstring GetLastField(std::wstring& line)
{
    TrimAndCutLink(line);
    size_t at = line.rfind(L' ');
    if (at == std::wstring::npos)
        at = line.rfind(L'\t');
    if (at == std::wstring::npos)
        return line;
    return line.substr(SkipBlanks(line, at));
}

// A time ("12:00", "9:05") or a year ("1994"): the last field before the
// name in the listings of ls and of the servers that copy it.
static bool IsTimeOrYear(const std::wstring& s, size_t from, size_t to)
{
    auto digits = [&](size_t a, size_t b) {
        for (size_t i = a; i < b; ++i)
            if (s[i] < L'0' || s[i] > L'9')
                return false;
        return a < b;
    };
    size_t n = to - from;
    if (n == 4 && digits(from, to))
        return true;
    return (n == 4 || n == 5) && s[to - 3] == L':' && digits(from, to - 3) && digits(to - 2, to);
}

bool GetUnixSize(const std::wstring& line, unsigned long long* size)
{
    size_t i = SkipBlanks(line, 0);
    for (int field = 0; field < 4; ++field)
        i = SkipBlanks(line, SkipNonBlanks(line, i));
    size_t end = SkipNonBlanks(line, i);
    if (end == i)
        return false;
    unsigned long long n = 0;
    for (size_t k = i; k < end; ++k) {
        wchar_t c = line[k];
        unsigned digit = static_cast<unsigned>(c - L'0');
        if (c < L'0' || c > L'9' || n > (~0ull - 1 - digit) / 10)
            return false;
        n = n * 10 + digit;
    }
    *size = n;
    return true;
}

std::wstring GetUnixName(std::wstring& line)
{
    size_t i = 0, fieldEnd = 0, fieldStart = 0;
    for (int field = 0; field < 8; ++field) {
        fieldStart = i;
        fieldEnd = SkipNonBlanks(line, fieldStart);
        i = SkipBlanks(line, fieldEnd);
    }
    // After a time or a year, one blank separates the name, and every
    // character after it up to the line end is the name: blanks at its
    // start and end are part of it (" lead", "trail "). Only the line end
    // goes, and a link's " -> target". The time or year stands in a column
    // as wide as a time ("12:00"); a year is padded to it with a blank on
    // its left ("Mar  1  2003 name"), or by some servers on its right
    // ("Mar  1 2003  name"), and that padding is no part of the name.
    if (fieldEnd < line.size() && i > fieldEnd && IsTimeOrYear(line, fieldStart, fieldEnd)) {
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
            line.pop_back();
        const size_t kColumn = 5;
        size_t width = fieldEnd - fieldStart;
        bool paddedLeft = fieldStart >= 2 && IsBlank(line[fieldStart - 1]) && IsBlank(line[fieldStart - 2]);
        size_t separators = 1 + (width < kColumn && !paddedLeft ? kColumn - width : 0);
        size_t start = fieldEnd;
        for (size_t n = 0; n < separators && start < line.size() && IsBlank(line[start]); ++n)
            ++start;
        if (start >= line.size())
            return std::wstring();
        size_t arrow = line.find(L"->", start);
        if (arrow != std::wstring::npos) {
            line.resize(arrow);
            if (line.size() > start && IsBlank(line.back()))
                line.pop_back();
        }
        return line.substr(start);
    }
    TrimAndCutLink(line);
    i = 0;
    for (int field = 0; field < 8; ++field)
        i = SkipBlanks(line, SkipNonBlanks(line, i));
    return line.substr(i);
}

// UNIX rule from step 3 on. `linkInBoth` is false only for the line on which
// the Windows NT rule finds its server listing in UNIX style.
static void UnixNameAndKind(std::wstring& line, RuleState& state, const RuleSink& sink, bool linkInBoth)
{
    wchar_t kind = line.empty() ? L'\0' : line[0];
    std::wstring name = GetUnixName(line);
    if (kind == L'l')
        state.linkMark = true;
    if (kind == L'd' || kind == L'l') {
        if (!name.empty() && IsSlash(name.back()))
            name.pop_back();
        if (!IsDotName(name)) {
            AddDir(sink, name);
            if (state.linkMark && linkInBoth)
                AddFile(sink, name);
        }
        // The mark belongs to this line only: left set (a link named "." or
        // "..", or the Windows NT switch line), it would list the next
        // directory as a file as well.
        state.linkMark = false;
    } else if (*state.hostType == HOST_SIFTPD || kind == L'-' || kind == L'f') {
        AddFile(sink, name);
        unsigned long long size;
        if (sink.fileSize && GetUnixSize(line, &size))
            sink.fileSize(sink.context, name, size);
    }
}

void UnixLineRule(std::wstring& line, RuleState& state, const RuleSink& sink)
{
    if (line.empty())
        return;
    // An inode number or a block count before the mode: drop that field.
    if (IsBlank(line[0]) || (line[0] >= L'0' && line[0] <= L'9'))
        line.erase(0, SkipBlanks(line, SkipNonBlanks(line, SkipBlanks(line, 0))));
    UnixNameAndKind(line, state, sink, true);
}

void WinNtLineRule(std::wstring& line, RuleState& state, const RuleSink& sink)
{
    if (line.size() > 8 && IsBlank(line[8])) {
        // MS-DOS style: date, time, then "<DIR>" or a size, then the name.
        size_t dir = line.find(L"<DIR>");
        if (dir != std::wstring::npos) {
            AddDirUnlessDots(sink, line.substr(SkipBlanks(line, SkipNonBlanks(line, dir))));
            return;
        }
        size_t i = line.find(L'\t');
        if (i == std::wstring::npos)
            i = line.find(L' ');
        if (i == std::wstring::npos)
            return;
        i = SkipNonBlanks(line, SkipBlanks(line, i));  // the time
        i = SkipNonBlanks(line, SkipBlanks(line, i));  // the size
        if (i + 1 < line.size())
            AddFile(sink, line.substr(i + 1));
        return;
    }
    sink.logEntry(sink.context, 24);
    *state.hostType = HOST_UNIX;
    if (line.empty())
        return;
    UnixNameAndKind(line, state, sink, false);
}

void DosLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    std::wstring name = UpToFirstSpace(line);
    if (line.find(L"<DIR>") != std::wstring::npos || line.find(L"<dir>") != std::wstring::npos)
        AddDirUnlessDots(sink, name);
    else if (!name.empty())
        AddFile(sink, name);
}

static bool BeginsWithDirTag(const std::wstring& line)
{
    static const wchar_t kTag[] = L"<dir>";
    if (line.size() < 5)
        return false;
    for (int i = 0; i < 5; ++i) {
        wchar_t c = line[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kTag[i])
            return false;
    }
    return true;
}

void PcTcpLineRule(std::wstring& line, RuleState& state, const RuleSink& sink)
{
    // Only the first 30 bytes of the line hold the tag and the name.
    std::string bytes = WideToMulti(line, RULE_LINE_CHARS, state.codePage);
    if (bytes.size() > 30)
        line = MultiToWide(bytes.data(), 30, state.codePage);
    std::wstring name = GetLastField(line);
    if (BeginsWithDirTag(line))
        AddDirUnlessDots(sink, name);
    else
        AddFile(sink, name);
}

void IbmPcLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    std::wstring name = GetLastField(line);
    if (line.find(L" DIR ") != std::wstring::npos || line.find(L"<dir>") != std::wstring::npos)
        AddDirUnlessDots(sink, name);
    else
        AddFile(sink, name);
}

void VmLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    // File name and file type, padded to eight characters each, become NAME.TYPE.
    if (line.size() > 18)
        line.resize(18);
    TrimTrailingSpaces(line, 1);
    size_t space = line.find(L' ');
    if (space == std::wstring::npos)
        return;
    line[space] = L'.';
    size_t next = space + 1;
    while (next < line.size() && line[next] == L' ')
        ++next;
    line.erase(space + 1, next - space - 1);
    if (space + 1 >= line.size() || line[space + 1] == L'\t')
        return;
    AddFile(sink, line);
}

// One column of a KA9Q listing; `skipParent` is false for the first column,
// which lists a ".." entry.
static void Ka9qColumn(const std::wstring& line, size_t start, bool skipParent, const RuleSink& sink)
{
    std::wstring name = line.substr(start, 13);
    TrimTrailingSpaces(name, 0);
    if (name.empty())
        return;
    if (IsSlash(name.back())) {
        name.pop_back();
        if (name != L"." && (!skipParent || name != L".."))
            AddDir(sink, name);
    } else {
        AddFile(sink, name);
    }
}

void Ka9qLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    if (line.find(L"Disk size") != std::wstring::npos)
        return;
    Ka9qColumn(line, 0, false, sink);
    if (line.size() > 41)
        Ka9qColumn(line, 41, true, sink);
}

void VmsLineRule(std::wstring& line, RuleState& state, const RuleSink& sink)
{
    if (*state.hostType == HOST_VARNVMS && !line.empty())
        line.erase(0, 1);
    // Continuation lines begin with a space; headers and totals have no version.
    if (!line.empty() && line[0] == L' ')
        return;
    size_t semicolon = line.find(L';');
    if (semicolon == std::wstring::npos)
        return;
    static const std::wstring kDir = L".DIR";
    if (semicolon > 4 && line.compare(semicolon - 4, 4, kDir) == 0) {
        AddDir(sink, line.substr(0, semicolon - 4));
        return;
    }
    // Files keep their version number.
    size_t end = line.find_first_of(L" \t");
    AddFile(sink, end == std::wstring::npos ? line : line.substr(0, end));
}

void WinQvtLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    std::wstring name = UpToFirstSpace(line);
    if (!name.empty() && IsSlash(name.back())) {
        name.pop_back();
        AddDirUnlessDots(sink, name);
    } else {
        AddFile(sink, name);
    }
}

void Os2LineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    if (line.find(L"<DIR>") != std::wstring::npos || line.find(L"<dir>") != std::wstring::npos) {
        AddDirUnlessDots(sink, UpToFirstSpace(line));
        return;
    }
    if (line.empty())
        return;
    // Fixed 8.3 columns: base name at 0-7, extension at 9-11.
    std::wstring name = UpToFirstSpace(line.substr(0, 8));
    std::wstring extension;
    for (size_t i = 9; i < 12 && i < line.size(); ++i)
        if (!IsBlank(line[i]))
            extension += line[i];
    if (!extension.empty())
        name += L"." + extension;
    AddFile(sink, name);
}

void MvsLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    if (line.find(L"Volume Unit") != std::wstring::npos || line.find(L" Name ") != std::wstring::npos)
        return;
    std::wstring name = GetLastField(line);
    if (line.size() < 9 || line.find(L' ') == std::wstring::npos) {
        AddFile(sink, name);
        return;
    }
    // The data set organisation stands before the name: PO (or PO-E) is a
    // partitioned data set, shown as a directory.
    size_t end = line.size() - name.size();
    while (end > 0 && IsBlank(line[end - 1]))
        --end;
    size_t start = end;
    while (start > 0 && !IsBlank(line[start - 1]))
        --start;
    if (line.substr(start, end - start).find(L"PO") != std::wstring::npos)
        AddDir(sink, name);
    else
        AddFile(sink, name);
}

// Software Innovations TCP/IP: "d" and four spaces open a directory line; the
// name is taken as the last field of the line, as for the other servers that
// put the name last.
void SoftInnovLineRule(std::wstring& line, RuleState&, const RuleSink& sink)
{
    bool dir = line.compare(0, 5, L"d    ") == 0;
    std::wstring name = GetLastField(line);
    if (name.empty())
        return;
    if (dir)
        AddDirUnlessDots(sink, name);
    else
        AddFile(sink, name);
}

LineRule RuleForHostType(unsigned long hostType)
{
    switch (hostType) {
    case HOST_CHAMELEON:
    case HOST_NCSA:
    case HOST_SUPERTCP:
    case HOST_PCTCP3: return DosLineRule;
    case HOST_PCTCP: return PcTcpLineRule;
    case HOST_IBMPC: return IbmPcLineRule;
    case HOST_IBMVM: return VmLineRule;
    case HOST_KA9Q: return Ka9qLineRule;
    case HOST_MULTINET:
    case HOST_UCX:
    case HOST_VARNVMS: return VmsLineRule;
    case HOST_WINQVT: return WinQvtLineRule;
    case HOST_WINNT: return WinNtLineRule;
    case HOST_SOFTINNOV: return SoftInnovLineRule;
    case HOST_OS2: return Os2LineRule;
    case HOST_MVS: return MvsLineRule;
    default: return UnixLineRule;
    }
}
