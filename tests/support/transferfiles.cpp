#include "tests/support/transferfiles.h"

#include <windows.h>

#include <algorithm>

void ScratchDir::Enter(const char* name)
{
    char temp[MAX_PATH], current[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    GetCurrentDirectoryA(sizeof current, current);
    saved_ = current;
    path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
    for (const std::string& f : FilesIn(path_))
        DeleteFileA((path_ + "\\" + f).c_str());
    SetCurrentDirectoryA(path_.c_str());
}

void ScratchDir::Leave()
{
    if (path_.empty())
        return;
    SetCurrentDirectoryA(saved_.c_str());
    for (const std::string& f : FilesIn(path_))
        DeleteFileA((path_ + "\\" + f).c_str());
    RemoveDirectoryA(path_.c_str());
    path_.clear();
}

std::string Pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        // Every value once in each run of 256, in an order that moves with the seed.
        if (i % 256 == 0)
            x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(((i % 256) * 167 + (x >> 16)) & 0xFF);
    }
    return bytes;
}

std::string AsciiPattern(size_t size, unsigned seed)
{
    std::string bytes = Pattern(size, seed);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != '\n')
            continue;
        if (i == 0)
            bytes[i] = 'x';
        else
            bytes[i - 1] = '\r';
    }
    return bytes;
}

std::string StoredAscii(const std::string& sent)
{
    std::string out;
    out.reserve(sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        if (sent[i] == '\r' && i + 1 < sent.size() && sent[i + 1] == '\n')
            continue;
        out += sent[i];
    }
    return out;
}

std::string ReadBytes(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    bool ok = bytes.empty() || (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
                                n == bytes.size());
    CloseHandle(h);
    return ok;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                         << ", first difference at " << i;
}

bool MakeSparseFile(const std::string& path, unsigned long long size)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LONG high = static_cast<LONG>(size >> 32);
    DWORD low = SetFilePointer(h, static_cast<LONG>(size & 0xFFFFFFFFu), &high, FILE_BEGIN);
    bool ok = !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

DWORD SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return data.nFileSizeLow;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}
