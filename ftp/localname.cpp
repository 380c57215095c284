#include "ftp/localname.h"

#include <windows.h>
#include <string.h>
#include <wctype.h>

#include "store/options.h"
#include "log/log.h"
#include "resources/catalogue.h"

static std::wstring Widen(const char* text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &w[0], n);
    w.resize(n - 1);
    return w;
}

// Converts to the code page into out (size bytes), never cutting a character in two.
static void Narrow(const std::wstring& w, char* out, int size)
{
    out[0] = 0;
    for (size_t len = w.size();; --len) {
        int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(len), out, size - 1, nullptr, nullptr);
        if (n > 0 || len == 0) {
            out[n > 0 ? n : 0] = 0;
            return;
        }
    }
}

void SplitLocalName(const std::wstring& remote, std::wstring* base, std::wstring* ext)
{
    std::wstring name = remote;
    for (wchar_t& c : name)
        if (c == L'\t')
            c = L'~';
    size_t semi = name.find(L';');
    if (semi != std::wstring::npos && semi + 1 < name.size() &&
        name.find_first_not_of(L"0123456789", semi + 1) == std::wstring::npos)
        name.resize(semi);
    ext->clear();
    if (name.size() >= 256) {
        size_t n = name.size();
        if (name[n - 4] == L'.' && name.find(L'.', n - 3) == std::wstring::npos)
            *ext = name.substr(n - 4);
        name.resize(252 - ext->size());
    }
    *base = name;
}

static bool IsDeviceName(const std::wstring& name)
{
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CLOCK$"};
    for (const wchar_t* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

int SafeLocalName(std::wstring* name)
{
    if (*name == L"." || *name == L"..")
        return -1;
    int changed = 0;
    for (wchar_t& c : *name) {
        if (c == L'\\' || c == L'/' || c == L':') {
            c = L'_';
            changed = 1;
        }
    }
    if (IsDeviceName(*name)) {
        name->insert(0, 1, L'_');
        changed = 1;
    }
    // A name of dots alone would name this or a parent directory.
    if (name->find_first_not_of(L'.') == std::wstring::npos)
        return -1;
    return changed;
}

bool KeptLocalName(std::wstring* name)
{
    size_t end = name->find_last_not_of(L" .");
    size_t kept = end == std::wstring::npos ? 0 : end + 1;
    if (kept == name->size())
        return false;
    name->resize(kept);
    return true;
}

// The base and extension of SplitLocalName cut to the name Windows keeps;
// true when that changed the name.
static bool KeepSplitName(std::wstring* base, std::wstring* ext)
{
    std::wstring whole = *base + *ext;
    if (!KeptLocalName(&whole))
        return false;
    if (whole.size() < base->size())
        ext->clear();
    *base = whole.substr(0, whole.size() - ext->size());
    return true;
}

static bool Exists(const std::wstring& name)
{
    char path[512];
    Narrow(name, path, sizeof path);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// The wide-character file calls, loaded once from kernel32.
struct WideFileCallsRec {
    DWORD(WINAPI* getAttributes)(LPCWSTR);
    BOOL(WINAPI* moveEx)(LPCWSTR, LPCWSTR, DWORD);
};

const WideFileCallsRec& WideFileCalls()
{
    static const WideFileCallsRec calls = [] {
        WideFileCallsRec c = {nullptr, nullptr};
        if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
            c.getAttributes = reinterpret_cast<DWORD(WINAPI*)(LPCWSTR)>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "GetFileAttributesW")));
            c.moveEx = reinterpret_cast<BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD)>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExW")));
        }
        return c;
    }();
    return calls;
}

bool ExistsWide(const std::wstring& name)
{
    return WideFileCalls().getAttributes(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The name, or under Receive Unique when it exists the first free one of
// base.000 ... base.099 (ext after it); the name itself when none is free.
std::wstring UniqueName(const char* remote, const std::wstring& base, const std::wstring& ext,
                        bool (*exists)(const std::wstring&))
{
    std::wstring name = base + ext;
    if (!ProgramOptions.receiveUnique || !exists(name))
        return name;
    for (unsigned n = 0; n < 100; ++n) {
        wchar_t suffix[8];
        wsprintfW(suffix, L".%03u", n);
        std::wstring candidate = base + suffix + ext;
        if (!exists(candidate))
            return candidate;
    }
    LogMessage(MSG_NO_UNIQUE_NAME, remote);
    return name;
}

}  // namespace

bool WideFileCallsPresent()
{
    return WideFileCalls().getAttributes && WideFileCalls().moveEx;
}

int MakeWideLocalName(const std::wstring& remote, const char* shown, std::wstring* local)
{
    std::wstring base, ext;
    SplitLocalName(remote.substr(0, 1023), &base, &ext);
    bool cut = KeepSplitName(&base, &ext);
    std::wstring whole = base + ext;
    int safe = SafeLocalName(&whole);
    if (safe < 0 || whole.empty() || !WideFileCallsPresent()) {
        LogMessage(MSG_REMOTE_NAME_REFUSED, shown);
        return 0;
    }
    base = whole.substr(0, whole.size() - ext.size());
    *local = UniqueName(shown, base, ext, ExistsWide);
    if (cut && safe == 0) {
        char kept[256];
        Narrow(*local, kept, sizeof kept);
        LogMessage(MSG_LOCAL_NAME_KEPT, shown, kept);
    }
    return 1;
}

bool GiveWideName(const char* received, const std::wstring& local)
{
    if (!WideFileCallsPresent())
        return false;
    std::wstring from = Widen(received);
    return WideFileCalls().moveEx(from.c_str(), local.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

static int MakeName(const char* remote, const std::wstring& base, const std::wstring& ext, char* local, char* fallback)
{
    std::wstring name = base + ext;
    if (ProgramOptions.receiveUnique && Exists(name)) {
        bool found = false;
        for (unsigned n = 0; n <= 100 && !found; ++n) {
            wchar_t suffix[8];
            wsprintfW(suffix, L".%03u", n);
            std::wstring candidate = base + suffix + ext;
            if (n < 100 && !Exists(candidate)) {
                name = candidate;
                found = true;
            }
        }
        if (!found)
            LogMessage(MSG_NO_UNIQUE_NAME, remote);
    }
    Narrow(name, local, 256);
    memcpy(fallback, local, 256);
    return 1;
}

const char* RemotePathLastComponent(const char* path, bool vms)
{
    const char* last = path;
    // Stepped by characters: the second byte of a double-byte character may
    // look like "]".
    for (const char* p = path; *p; p = CharNextA(p)) {
        if (*p == '/' || (vms && *p == ']'))
            last = p + 1;
    }
    return last;
}

int MakeLocalName(const char* remote, char* local, char* fallback)
{
    std::wstring base, ext;
    SplitLocalName(Widen(remote).substr(0, 1023), &base, &ext);
    return MakeName(remote, base, ext, local, fallback);
}

int MakeSafeLocalName(const char* remote, char* local, char* fallback, char* plain)
{
    if (plain)
        plain[0] = 0;
    std::wstring base, ext;
    SplitLocalName(Widen(remote).substr(0, 1023), &base, &ext);
    bool cut = KeepSplitName(&base, &ext);
    std::wstring whole = base + ext;
    int safe = SafeLocalName(&whole);
    if (safe < 0 || whole.empty()) {
        LogMessage(MSG_REMOTE_NAME_REFUSED, remote);
        local[0] = fallback[0] = 0;
        return 0;
    }
    if (safe > 0) {
        base = whole.substr(0, whole.size() - ext.size());
        char shown[256];
        Narrow(whole, shown, sizeof shown);
        LogMessage(MSG_REMOTE_NAME_STORED_AS, remote, shown);
    }
    if (plain)
        Narrow(whole, plain, 256);
    int made = MakeName(remote, base, ext, local, fallback);
    // One line for the one change, and the name it was stored as.
    if (cut && safe == 0)
        LogMessage(MSG_LOCAL_NAME_KEPT, remote, local);
    return made;
}
