// Remote names between the wire's UTF-8 and the user's code page.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

#include "listing/names.h"

namespace {

const std::string kCafeUtf8 = "caf\xC3\xA9.txt";
const std::string kCafe1252 = "caf\xE9.txt";
const std::string kNihongoUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";
const std::string kNihongo932 = "\x93\xFA\x96\x7B\x8C\xEA.txt";
const std::wstring kNihongoWide = L"\x65E5\x672C\x8A9E.txt";
const std::string kHyou932 = "\x95\x5C";       // "表": its second byte is "\"
const std::string kHyouUtf8 = "\xE8\xA1\xA8";

}  // namespace

TEST(Names, Utf8ToWide)
{
    struct Case {
        std::string bytes;
        std::wstring wide;
        bool valid;
    } cases[] = {
        {"plain.txt", L"plain.txt", true},
        {kCafeUtf8, L"caf\xE9.txt", true},
        {kNihongoUtf8, kNihongoWide, true},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00", true},               // outside the BMP: a surrogate pair
        {"trail ", L"trail ", true},
        {"caf\xE9.txt", L"caf\xFFFD.txt", false},                   // Latin-1, not UTF-8
        {"\x80x", L"\xFFFDx", false},                               // stray continuation byte
        {"\xC0\xAF", L"\xFFFD\xFFFD", false},                       // overlong "/"
        {"\xE0\x80\xAF", L"\xFFFD\xFFFD\xFFFD", false},             // overlong, three bytes
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD", false},             // a surrogate
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD", false},   // above U+10FFFF
        {"ab\xE6\x97", L"ab\xFFFD\xFFFD", false},                   // cut short
    };
    for (const Case& c : cases) {
        bool valid = !c.valid;
        EXPECT_EQ(Utf8ToWide(c.bytes, &valid), c.wide) << c.bytes;
        EXPECT_EQ(valid, c.valid) << c.bytes;
        if (c.valid) {
            EXPECT_EQ(WideToUtf8(c.wide), c.bytes);
        }
    }
    EXPECT_EQ(WideToUtf8(L"a\xD800z"), "a\xEF\xBF\xBDz");  // a lone surrogate
}

TEST(Names, RepresentableInCodePage)
{
    struct Case {
        std::wstring text;
        unsigned codePage;
        bool representable;
    } cases[] = {
        {L"plain.txt", 1252, true},
        {L"caf\xE9.txt", 1252, true},
        {kNihongoWide, 1252, false},
        {kNihongoWide, 932, true},
        {L"caf\xE9.txt", 932, false},   // best-fit would make it "cafe.txt"
        {L"\x0101", 1252, false},       // "ā": best-fit "a" in 1252
        {L"", 1252, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RepresentableInCodePage(c.text, c.codePage), c.representable) << c.codePage;
}

TEST(Names, ShownAndTyped)
{
    struct Case {
        std::string wire;
        bool utf8;
        unsigned codePage;
        std::string shown;
        bool valid;
    } cases[] = {
        {"plain.txt", true, 1252, "plain.txt", true},
        {kCafeUtf8, true, 1252, kCafe1252, true},
        {kCafeUtf8, false, 1252, kCafeUtf8, true},          // code page: the bytes as they are
        {kNihongoUtf8, true, 932, kNihongo932, true},
        {kNihongoUtf8, true, 1252, "???.txt", true},         // shown with marks, never garbled
        {kHyouUtf8, true, 932, kHyou932, true},
        {"caf\xE9.txt", true, 1252, "caf?.txt", false},
        {"x\xF0\x9F\x98\x80", true, 1252, "x?", true},
        {"end ", true, 1252, "end ", true},
    };
    for (const Case& c : cases) {
        bool valid = !c.valid;
        EXPECT_EQ(WireNameShown(c.wire, c.utf8, c.codePage, &valid), c.shown) << c.wire;
        EXPECT_EQ(valid, c.valid) << c.wire;
    }
    struct Typed {
        std::string typed;
        bool utf8;
        unsigned codePage;
        std::string wire;
    } typed[] = {
        {"na\xEFve.txt", true, 1252, "na\xC3\xAFve.txt"},
        {"na\xEFve.txt", false, 1252, "na\xEFve.txt"},
        {kNihongo932, true, 932, kNihongoUtf8},
        {kHyou932, true, 932, kHyouUtf8},
        {"plain.txt", true, 932, "plain.txt"},
    };
    for (const Typed& t : typed)
        EXPECT_EQ(TypedNameToWire(t.typed, t.utf8, t.codePage), t.wire) << t.typed;
}

// Listing lines decode without loss: every name comes back as the exact
// bytes, well-formed or not, and invalid bytes never equal a real character.
TEST(Names, KeptBytesComeBack)
{
    const std::string lines[] = {
        "plain.txt", "caf\xC3\xA9.txt", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "\xF0\x9F\x98\x80 smile",
        "bad\xFF\xFE", "cut\xE6\x97", "\xC0\xAF overlong", "\xED\xA0\x80 surrogate", "\xF0\x9F\x98\x80\xA9 pair",
        "ends in a space ",
    };
    for (const std::string& line : lines) {
        std::wstring wide = Utf8ToWideKept(line);
        EXPECT_EQ(WideKeptToUtf8(wide), line) << line;
        EXPECT_EQ(wide.find(L'\xFFFD'), std::wstring::npos) << line;
    }
    EXPECT_EQ(Utf8ToWideKept("caf\xE9"), std::wstring(L"caf") + wchar_t(0xDCE9));
    EXPECT_NE(Utf8ToWideKept("caf\xE9"), Utf8ToWideKept("caf\xC3\xA9"));
}
