// The pure rules of the reply exchange.
#include <gtest/gtest.h>

#include <string>

#include "ftp/reply.h"

TEST(ReplyCode, ReadsTheFirstThreeCharacters)
{
    const struct { const char* line; int code; } cases[] = {
        {"220 Service ready", 220},
        {"230-Welcome", 230},
        {"5501 four digits", 550},   // the fourth character is not part of it
        {"  7 leading blanks", 7},
        {"+25 signed", 25},
        {"-12 a minus is no code", 0},
        {"-1 would look like a failed read", 0},
        {"abc", 0},
        {"", 0},
        {"4", 4},
        {"\r\n", 0},
        {"999 beyond the classes", 999},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyCode(c.line), c.code) << '"' << c.line << '"';
    EXPECT_EQ(ReplyCode(nullptr), 0);
}

TEST(ReplyLineContinues, CodesAndTheDash)
{
    const struct { int code; const char* line; bool more; } cases[] = {
        {230, "230-first", true},
        {230, "230 last", false},
        {0, "   a line without a code", false},
        {0, "abc-", true},           // the fourth character alone decides
        {1, "1 odd", true},
        {99, "99 odd", true},
        {600, "600 odd", true},
        {999, "999 odd", true},
        {100, "100 fine", false},
        {599, "599 fine", false},
        {220, "220", false},          // shorter than four characters
        {0, "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyLineContinues(c.code, c.line), c.more) << c.code << " \"" << c.line << '"';
}

static bool ShiftJisLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

static int Take(const std::string& bytes, bool exos, bool (*lead)(unsigned char) = nullptr)
{
    return ReplyTakeCount(bytes.data(), static_cast<int>(bytes.size()), exos, lead);
}

TEST(ReplyTakeCount, UpToTheFirstLineFeed)
{
    EXPECT_EQ(Take("220 ok\r\n331 next\r\n", false), 8);
    EXPECT_EQ(Take("220 no line end yet", false), 19);
    EXPECT_EQ(Take(std::string("\0" "220 x\r\n", 8), false), 1);
    EXPECT_EQ(Take(std::string("22\0" "0 x\r\nmore", 12), false), 8);  // a NUL inside does not stop the search
    EXPECT_EQ(Take("\n", false), 1);
    EXPECT_EQ(ReplyTakeCount("", 0, false, nullptr), 0);
}

TEST(ReplyTakeCount, ExosTakesUpToTheCarriageReturnOfALongPeek)
{
    // 82 bytes without LF, the 31st a CR: 32 bytes for EXOS, all 82 otherwise.
    std::string peek(82, 'x');
    peek[30] = '\r';
    EXPECT_EQ(Take(peek, true), 32);
    EXPECT_EQ(Take(peek, false), 82);

    // Only when more than 80 bytes would be taken.
    std::string shortLine = std::string(30, 'y') + "\r" + std::string(49, 'y') + "\n";  // 81 bytes
    EXPECT_EQ(Take(shortLine, true), 32);
    std::string eighty = std::string(30, 'y') + "\r" + std::string(48, 'y') + "\n";      // 80 bytes
    EXPECT_EQ(Take(eighty, true), 80);

    // A CR as the very last scanned byte has no character after it.
    std::string lastCr(81, 'z');
    lastCr[80] = '\r';
    EXPECT_EQ(Take(lastCr, true), 81);
}

TEST(ReplyTakeCount, DoubleByteCharactersAreNeverSplit)
{
    // The character after the CR is a double-byte one: both bytes go with it.
    std::string peek(82, 'a');
    peek[10] = '\r';
    peek[11] = '\x82';
    peek[12] = '\xA0';
    EXPECT_EQ(Take(peek, true, ShiftJisLead), 13);
    EXPECT_EQ(Take(peek, true, nullptr), 12);
    // A lead byte as the last peeked byte counts as one character.
    EXPECT_EQ(Take(std::string("abc\x82", 4), false, ShiftJisLead), 4);
}

TEST(TrimReplyLine, EndsButNeverBelowTwoCharacters)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"220 ok\r\n", "220 ok"},
        {"220 ok  \r\n\r\n", "220 ok"},
        {"\r\n", "\r\n"},
        {"a\r\n", "a\r"},
        {"ab \r\n", "ab"},
        {"  \n", "  "},
        {"", ""},
        {"x", "x"},
    };
    for (const auto& c : cases) {
        char line[64];
        strcpy(line, c.in);
        int n = TrimReplyLine(line);
        EXPECT_STREQ(line, c.out) << '"' << c.in << '"';
        EXPECT_EQ(n, static_cast<int>(strlen(c.out)));
    }
}

TEST(CommandEcho, MasksPassInAnyCase)
{
    EXPECT_STREQ(CommandEcho("PASS secret"), "PASS xxxxxx");
    EXPECT_STREQ(CommandEcho("PASS "), "PASS xxxxxx");
    EXPECT_STREQ(CommandEcho("pass secret"), "PASS xxxxxx");
    EXPECT_STREQ(CommandEcho("Pass secret"), "PASS xxxxxx");
    EXPECT_STREQ(CommandEcho("PASS"), "PASS");
    EXPECT_STREQ(CommandEcho("PAS"), "PAS");
    EXPECT_STREQ(CommandEcho("PASSsecret"), "PASSsecret");
    EXPECT_STREQ(CommandEcho("USER anonymous"), "USER anonymous");
}

TEST(AnnouncedSize, TheLastBytesInParentheses)
{
    const struct { const char* line; unsigned long long size; } cases[] = {
        {"150 Opening BINARY mode data connection for big.bin (52428800 bytes).", 52428800ull},
        {"150 Opening ASCII mode data connection for a (b) (0 bytes)", 0ull},
        {"150 Opening BINARY mode data connection for x (4294967297 Bytes)", 4294967297ull},
        {"125 Data connection already open; transfer starting (12  bytes)", 12ull},
        {"150 (1 bytes) and then (2 bytes)", 2ull},
        {"150 (3 bytes) then (no size)", 3ull},
        {"150 File status okay; about to open data connection (f (1) .txt) (12 bytes)", 12ull},
        {"150 (12 octets)", SIZE_UNKNOWN},
        {"150 File status okay. About to open data connection.", SIZE_UNKNOWN},
        {"150 Here comes the directory listing.", SIZE_UNKNOWN},
        {"150 Opening data connection for f (1234 blocks)", SIZE_UNKNOWN},
        {"150 Opening data connection for f (1234 bytes", SIZE_UNKNOWN},
        {"150 Opening data connection for f ( 1234 bytes)", SIZE_UNKNOWN},
        {"150 Opening data connection for f (-5 bytes)", SIZE_UNKNOWN},
        {"150 ok (18446744073709551614 bytes)", 18446744073709551614ull},
        {"150 too big (18446744073709551615 bytes)", SIZE_UNKNOWN},
        {"150 too big (99999999999999999999999 bytes)", SIZE_UNKNOWN},
        {"", SIZE_UNKNOWN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnnouncedSize(c.line), c.size) << '"' << c.line << '"';
    EXPECT_EQ(AnnouncedSize(nullptr), SIZE_UNKNOWN);
}

TEST(FeatureLine, NamesUtf8)
{
    struct Case {
        const char* line;
        bool utf8;
    } cases[] = {
        {" UTF8", true},   {" utf8", true},      {" UTF8 ", true},      {" UTF8\r\n", true},
        {"UTF8", false},   {" UTF8X", false},    {" UTF-8", false},     {" MDTM", false},
        {"211 UTF8", false}, {" UTF", false},    {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FeatureLineIsUtf8(c.line), c.utf8) << c.line;
}

TEST(ExtendedPassiveReply, ThePortBetweenTheDelimiters)
{
    const struct { const char* reply; ExtendedPassiveParse result; unsigned short port; } cases[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", EPSV_OK, 6446},
        {"229 Entering Extended Passive Mode (|||65535|).", EPSV_OK, 65535},
        {"229 (!!!1!)", EPSV_OK, 1},                       // any printable delimiter
        {"229 Extended (###021#) and more (|||9|)", EPSV_OK, 21},   // the first parenthesis
        {"229 Entering Extended Passive Mode (|||0|)", EPSV_PORT_ZERO, 0},
        {"229 Entering Extended Passive Mode (|||65536|)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (|||123456|)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (|||x|)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (||||)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (|||6446)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (|||6446!)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (||6446|)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (|2|::1|6446|)", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode (111444111)", EPSV_GARBLED, 0},   // digits are no delimiter
        {"229 Entering Extended Passive Mode ( 6446 )", EPSV_GARBLED, 0},
        {"229 Entering Extended Passive Mode |||6446|", EPSV_GARBLED, 0},
        {"227 Entering Passive Mode (127,0,0,1,195,80)", EPSV_GARBLED, 0},
        {"229 (", EPSV_GARBLED, 0},
        {"", EPSV_GARBLED, 0},
    };
    for (const auto& c : cases) {
        unsigned short port = 7;
        EXPECT_EQ(ParseExtendedPassiveReply(c.reply, &port), c.result) << c.reply;
        EXPECT_EQ(port, c.port) << c.reply;
    }
    unsigned short port = 7;
    EXPECT_EQ(ParseExtendedPassiveReply(nullptr, &port), EPSV_GARBLED);
    EXPECT_EQ(port, 0);
}

TEST(ExtendedPortCommand, TheAddressInItsShortestForm)
{
    const struct { unsigned char address[16]; unsigned short port; const char* command; } cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 49152, "EPRT |2|::1|49152|"},
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}, 21, "EPRT |2|2001:db8::5|21|"},
        {{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x12, 0x34, 0, 0, 0, 0, 0xab, 0xcd}, 65535, "EPRT |2|fe80::1234:0:0:abcd|65535|"},
    };
    for (const auto& c : cases) {
        char out[64];
        FormatExtendedPortCommand(out, c.address, c.port);
        EXPECT_STREQ(out, c.command);
    }
}
