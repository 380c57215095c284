// Remote names on the wire and as the user reads them. A server that speaks
// UTF-8 sends names as UTF-8 bytes; the lists, status lines and local files
// show them in the user's code page. The wire bytes of a listed name are kept
// as they came, so that every command names exactly what the server listed;
// names the user types go the other way, from the code page to UTF-8.
#pragma once
#include <string>

// The replacement mark shown for bytes that are not UTF-8, and for
// characters that a code page cannot show when a name is only displayed.
constexpr wchar_t NAME_REPLACEMENT_MARK = 0xFFFD;
constexpr char NAME_SHOWN_MARK = '?';

// UTF-8 bytes to UTF-16. Every byte that does not begin a well-formed
// sequence (stray continuation bytes, overlong forms, surrogates, values above
// U+10FFFF, a sequence cut short) becomes one NAME_REPLACEMENT_MARK; *valid
// (when given) is false when there was any.
std::wstring Utf8ToWide(const std::string& bytes, bool* valid = nullptr);
// The same for a listing line, losing nothing: a byte that is not UTF-8
// becomes a lone low surrogate (0xDC80-0xDCFF) that WideKeptToUtf8 turns back
// into the byte, so the line rules run on wide text and every name they give
// comes back as the server's exact bytes.
std::wstring Utf8ToWideKept(const std::string& bytes);
std::string WideKeptToUtf8(const std::wstring& text);
// UTF-16 to UTF-8; a lone surrogate becomes the replacement mark.
std::string WideToUtf8(const std::wstring& text);
// True when every character of text survives the trip to codePage and back
// (no default character, no best-fit substitute such as "e" for "é").
bool RepresentableInCodePage(const std::wstring& text, unsigned codePage);

// The name as the lists and status lines show it: the wire bytes themselves
// when the session's names are in the code page; otherwise the UTF-8 decoded
// and put into codePage, every character it lacks (and every invalid
// sequence) shown as NAME_SHOWN_MARK. *valid: the bytes were well-formed.
std::string WireNameShown(const std::string& wire, bool utf8, unsigned codePage, bool* valid = nullptr);
// A name the user typed in the code page, as it goes on the wire.
std::string TypedNameToWire(const std::string& typed, bool utf8, unsigned codePage);
// A local name (code page) as it goes on the wire: the same rule as typed names.
inline std::string LocalNameToWire(const std::string& local, bool utf8, unsigned codePage)
{
    return TypedNameToWire(local, utf8, codePage);
}
