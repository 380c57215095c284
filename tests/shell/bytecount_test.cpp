// The text of the byte counters: the count, and the percent when the size
// is known.
#include <gtest/gtest.h>

#include <string>

#include "ftp/reply.h"
#include "shell/bytecount.h"

namespace {

TEST(ByteCountText, CountAndPercentRoundedDown)
{
    const unsigned long long big = 18446744073709551614ull;  // the largest size a reply can name
    const struct { unsigned long long total, size; const char* text; } cases[] = {
        {31457280, 52428800, "31457280 (60%)"},
        {0, 52428800, "0 (0%)"},
        {1, 3, "1 (33%)"},
        {2, 3, "2 (66%)"},
        {99, 100, "99 (99%)"},
        {999999, 1000000, "999999 (99%)"},   // 100 only once every byte has come
        {1000000, 1000000, "1000000 (100%)"},
        {1200, 1000, "1200 (100%)"},         // more than announced
        {0, 0, "0 (100%)"},
        {4294967297ull, 4294967297ull, "4294967297 (100%)"},
        {2147483648ull, 4294967296ull, "2147483648 (50%)"},
        {big / 2, big, "9223372036854775807 (50%)"},  // no overflow of total * 100
        {big - 1, big, "18446744073709551613 (99%)"},
        {big, big, "18446744073709551614 (100%)"},
        {31457280, SIZE_UNKNOWN, "31457280"},
        {0, SIZE_UNKNOWN, "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ByteCountText(c.total, c.size), c.text) << c.total << " of " << c.size;
}

TEST(TitleWithPercent, PutsOneOnlyInFront)
{
    const struct { const char* title; int percent; const char* result; } cases[] = {
        {"TARN ftp.example.com", 60, "60% TARN ftp.example.com"},
        {"60% TARN ftp.example.com", 61, "61% TARN ftp.example.com"},
        {"99% TARN", 100, "100% TARN"},
        {"100% TARN", -1, "TARN"},
        {"7% TARN", -1, "TARN"},
        {"TARN", -1, "TARN"},
        {"TARN", 0, "0% TARN"},
        {"1000% TARN", -1, "1000% TARN"},  // not one of ours
        {"60%TARN", -1, "60%TARN"},
        {"", 5, "5% "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TitleWithPercent(c.title, c.percent), c.result) << c.title << " " << c.percent;
}

}  // namespace
