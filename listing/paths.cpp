#include "listing/paths.h"

#include <windows.h>

#include "ftp/hosttypeids.h"
#include "listing/names.h"
#include "listing/textconv.h"

std::wstring ShortenPathWide(const std::wstring& text, size_t n)
{
    size_t length = text.size();
    if (length < n)
        return text;
    for (size_t i = length - n; i < length; ++i)
        if (text[i] == L'/' || text[i] == L'\\')
            return L"..." + text.substr(i);
    return L"...";
}

std::wstring ShortenVmsPathWide(const std::wstring& text, size_t n)
{
    size_t length = text.size();
    if (length < n)
        return text;
    size_t colon = text.find(L':');
    size_t device = colon == std::wstring::npos ? length : colon;
    if (device > n) {
        if (colon == std::wstring::npos)
            return std::wstring();
        device = 0;  // too long to show: the colon and bracket still lead
    }
    if (device + 5 >= n)
        return text.substr(0, device);
    std::wstring result = text.substr(0, device) + text.substr(colon, 2) + L"...";
    for (size_t p = colon + 2; p < length; ++p)
        if (text[p] == L'.' && length - p <= n)
            return result + text.substr(p);
    return result;
}

std::wstring ShortenLocalPathWide(const std::wstring& text, size_t n)
{
    size_t length = text.size();
    if (length < n)
        return text;
    std::wstring result = text.substr(0, 3) + L"...";
    size_t from = length - n > 3 ? length - n : 3;
    for (size_t p = from; p < length; ++p)
        if (text[p] == L'\\')
            return result + text.substr(p);
    return result;
}

std::string ShortenPath(const char* text, size_t n, unsigned codePage)
{
    return WideToMulti(ShortenPathWide(MultiToWide(text, codePage), n), 255, codePage);
}

std::string ShortenVmsPath(const char* text, size_t n, unsigned codePage)
{
    return WideToMulti(ShortenVmsPathWide(MultiToWide(text, codePage), n), 255, codePage);
}

std::string ShortenLocalPath(const char* text, size_t n, unsigned codePage)
{
    return WideToMulti(ShortenLocalPathWide(MultiToWide(text, codePage), n), 511, codePage);
}

bool PwdDirectory(const char* replyLine, unsigned codePage, std::string* directory)
{
    // A UTF-8 reply is decoded keeping every byte: the directory comes back
    // as the server's exact bytes, for the commands that go back to it.
    bool utf8 = codePage == CP_UTF8;
    std::wstring line = utf8 ? Utf8ToWideKept(replyLine ? replyLine : "") : MultiToWide(replyLine, codePage);
    size_t open = line.find(L'"');
    if (open == std::wstring::npos)
        return false;
    // The reply line may still carry its line end.
    size_t close = line.find_first_of(L"\"\r\n", open + 1);
    if (close == std::wstring::npos)
        close = line.size();
    std::wstring named = line.substr(open + 1, close - open - 1);
    if (utf8) {
        // Cut after the last whole character that fits, as WideToMulti does.
        std::string bytes = WideKeptToUtf8(named);
        while (bytes.size() > 180)
            bytes = WideKeptToUtf8(named.erase(named.size() - 1));
        *directory = bytes;
    } else
        *directory = WideToMulti(named, 180, codePage);
    return true;
}

std::string RemoteDirLabel(const char* directory, unsigned long hostType, unsigned codePage)
{
    switch (hostType) {
    case HOST_MULTINET:
    case HOST_UCX:
    case HOST_VARNVMS: return ShortenVmsPath(directory, 25, codePage);
    case HOST_MVS: return WideToMulti(MultiToWide(directory, codePage), 255, codePage);
    default: return ShortenPath(directory, 25, codePage);
    }
}
