#include "listing/names.h"

#include <windows.h>

#include "listing/textconv.h"

namespace {

constexpr unsigned long kMaxCodePoint = 0x10FFFF;
// Where Utf8ToWideKept puts a byte that is not UTF-8: 0xDC80-0xDCFF, lone
// low surrogates, which no well-formed UTF-8 decodes to.
constexpr wchar_t kKeptByte = 0xDC00;

// Length of the sequence that byte `lead` begins, 0 when it begins none.
int SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

void PutCodePoint(unsigned long c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes UTF-8; a byte that begins no well-formed sequence becomes the
// replacement mark, or with `keep` the lone surrogate 0xDC00 + byte.
std::wstring DecodeUtf8(const std::string& bytes, bool* valid, bool keep)
{
    std::wstring out;
    out.reserve(bytes.size());
    bool ok = true;
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int length = SequenceLength(lead);
        unsigned long c = 0;
        bool good = length > 0 && i + length <= bytes.size();
        if (good) {
            static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
            c = lead & kLeadMask[length];
            for (int k = 1; k < length && good; ++k) {
                unsigned char next = static_cast<unsigned char>(bytes[i + k]);
                good = (next & 0xC0) == 0x80;
                c = (c << 6) | (next & 0x3F);
            }
            static constexpr unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
            good = good && c >= kLeast[length] && c <= kMaxCodePoint && !(c >= 0xD800 && c <= 0xDFFF);
        }
        if (!good) {
            out += keep ? static_cast<wchar_t>(kKeptByte + lead) : NAME_REPLACEMENT_MARK;
            ok = false;
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else
            out += static_cast<wchar_t>(c);
        i += length;
    }
    if (valid)
        *valid = ok;
    return out;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& bytes, bool* valid)
{
    return DecodeUtf8(bytes, valid, false);
}

std::wstring Utf8ToWideKept(const std::string& bytes)
{
    return DecodeUtf8(bytes, nullptr, true);
}

std::string WideKeptToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            out += WideToUtf8(text.substr(i, 2));
            ++i;
        } else if (c >= kKeptByte + 0x80 && c <= kKeptByte + 0xFF)
            out += static_cast<char>(c - kKeptByte);
        else
            out += WideToUtf8(std::wstring(1, c));
    }
    return out;
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long c = static_cast<unsigned short>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF)
            c = NAME_REPLACEMENT_MARK;
        PutCodePoint(c, out);
    }
    return out;
}

bool RepresentableInCodePage(const std::wstring& text, unsigned codePage)
{
    if (text.empty())
        return true;
    int chars = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    int need = WideCharToMultiByte(codePage, 0, text.data(), chars, nullptr, 0, nullptr, &usedDefault);
    if (need <= 0 || usedDefault)
        return false;
    std::string multi(need, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), chars, &multi[0], need, nullptr, nullptr);
    // Best-fit mappings ("é" to "e" in a code page without it) pass the
    // default-character test; only the way back shows them.
    return MultiToWide(multi.data(), multi.size(), codePage) == text;
}

std::string WireNameShown(const std::string& wire, bool utf8, unsigned codePage, bool* valid)
{
    if (valid)
        *valid = true;
    if (!utf8)
        return wire;
    bool ascii = true;
    for (char c : wire)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return wire;
    bool wellFormed = true;
    std::wstring wide = Utf8ToWide(wire, &wellFormed);
    if (valid)
        *valid = wellFormed;
    if (wellFormed && RepresentableInCodePage(wide, codePage))
        return WideToMulti(wide, wire.size() * 2, codePage);
    // Character by character: only what the code page lacks becomes the mark.
    std::string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        size_t width = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
        std::wstring one = wide.substr(i, width);
        if (wide[i] != NAME_REPLACEMENT_MARK && RepresentableInCodePage(one, codePage))
            out += WideToMulti(one, 8, codePage);
        else
            out += NAME_SHOWN_MARK;
        i += width - 1;
    }
    return out;
}

std::string TypedNameToWire(const std::string& typed, bool utf8, unsigned codePage)
{
    if (!utf8)
        return typed;
    return WideToUtf8(MultiToWide(typed.data(), typed.size(), codePage));
}
