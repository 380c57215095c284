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

TEST(ByteCountText, RateTimeLeftAndTheBarsPosition)
{
    const struct { unsigned long long total; unsigned long ms; const char* rate; } rates[] = {
        {432537600ull, 1000, "412.5 MB/s"},
        {980, 1000, "980 B/s"},
        {1536, 1000, "1.5 KB/s"},
        {1048575, 1000, "1.0 MB/s"},      // 1023.999 KB/s shows as the next unit
        {5ull << 30, 2000, "2.5 GB/s"},
        {0, 700, "0 B/s"},
        {100, 0, ""},
    };
    for (const auto& r : rates)
        EXPECT_EQ(RateText(r.total, r.ms), r.rate) << r.total << " in " << r.ms;

    const struct { unsigned long long total, size; unsigned long ms; const char* left; } times[] = {
        {99090432, 319000000, 3000, "0:07"},  // 6.68 s, rounded up
        {100, 200, 60000, "1:00"},
        {1, 100000, 1000, "27:46:39"},
        {1, ~0ull - 1, 100000, "99:59:59"},   // no overflow, and a bound
        {200, 200, 1000, ""},                  // every byte is there
        {0, 200, 1000, ""},
        {100, SIZE_UNKNOWN, 1000, ""},
    };
    for (const auto& t : times)
        EXPECT_EQ(TimeLeftText(t.total, t.size, t.ms), t.left) << t.total << " of " << t.size;

    EXPECT_EQ(TransferPermille(1, 3), 333);
    EXPECT_EQ(TransferPermille(2, 3), 666);
    EXPECT_EQ(TransferPermille(999999, 1000000), 999);
    EXPECT_EQ(TransferPermille(3, 3), 1000);
    EXPECT_EQ(TransferPermille(5, 3), 1000);
    EXPECT_EQ(TransferPermille(~0ull / 2, ~0ull - 1), 500);
    EXPECT_EQ(TransferPermille(5, SIZE_UNKNOWN), -1);

    std::string texts[3];
    ByteCountTexts(99090432, 319000000, 0, 240, "0:07 left", texts);  // too early for a rate
    EXPECT_EQ(texts[0], "99090432 (31%)  0:07 left");
    ByteCountTexts(99090432, 319000000, 0, 240000, "0:07 left", texts);
    EXPECT_EQ(texts[0], "99090432 (31%)  403.2 KB/s  0:07 left");
    EXPECT_EQ(texts[1], "99090432 (31%)  0:07 left");
    EXPECT_EQ(texts[2], "99090432 (31%)");
    ByteCountTexts(2048, SIZE_UNKNOWN, 0, 1000, "", texts);
    EXPECT_EQ(texts[0], "2048  2.0 KB/s");
    EXPECT_EQ(texts[2], "2048");
    // A file continued at byte 1024: the rate is that of this time's bytes.
    ByteCountTexts(3072, 4096, 1024, 1000, "0:01 left", texts);
    EXPECT_EQ(texts[0], "3072 (75%)  2.0 KB/s  0:01 left");
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
