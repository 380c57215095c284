#include "listing/textconv.h"

#include <windows.h>
#include <string.h>

unsigned TextCodePage = CP_ACP;

std::wstring MultiToWide(const char* text, size_t bytes, unsigned codePage)
{
    const void* nul = memchr(text, 0, bytes);
    if (nul)
        bytes = static_cast<const char*>(nul) - text;
    if (bytes == 0)
        return std::wstring();
    int n = static_cast<int>(bytes);
    // A multibyte text never has more characters than bytes.
    std::wstring out(bytes, L'\0');
    int got = MultiByteToWideChar(codePage, 0, text, n, &out[0], n);
    out.resize(got > 0 ? got : 0);
    return out;
}

std::wstring MultiToWide(const char* text, unsigned codePage)
{
    return MultiToWide(text, strlen(text), codePage);
}

static int MultiLength(const wchar_t* text, int chars, unsigned codePage)
{
    return chars ? WideCharToMultiByte(codePage, 0, text, chars, nullptr, 0, nullptr, nullptr) : 0;
}

std::string WideToMulti(const std::wstring& text, size_t maxBytes, unsigned codePage)
{
    int chars = static_cast<int>(text.size());
    int need = MultiLength(text.data(), chars, codePage);
    if (need > static_cast<int>(maxBytes)) {
        // Longest prefix that fits, never ending inside a surrogate pair.
        int lo = 0, hi = chars;
        while (lo < hi) {
            int mid = (lo + hi + 1) / 2;
            if (MultiLength(text.data(), mid, codePage) <= static_cast<int>(maxBytes))
                lo = mid;
            else
                hi = mid - 1;
        }
        chars = lo;
        if (chars > 0 && text[chars - 1] >= 0xD800 && text[chars - 1] <= 0xDBFF)
            --chars;
        need = MultiLength(text.data(), chars, codePage);
    }
    std::string out(need > 0 ? need : 0, '\0');
    if (need > 0)
        WideCharToMultiByte(codePage, 0, text.data(), chars, &out[0], need, nullptr, nullptr);
    return out;
}
