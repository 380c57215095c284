// The rules that decide whether a transfer continues an interrupted one, and
// the size in a reply to SIZE.
#include <gtest/gtest.h>

#include "ftp/reply.h"
#include "ftp/resume.h"

namespace {

const unsigned long long kNone = SIZE_UNKNOWN;

TEST(ResumeRules, Receive)
{
    struct Case {
        bool option;
        char type;
        unsigned long long local, remote;
        ResumeChoice choice;
    } cases[] = {
        {true, 'I', 400, 1000, RESUME_CONTINUE},
        {true, 'I', 0, 1000, RESUME_CONTINUE},  // an empty copy is continued from its start
        {true, 'I', 1000, 1000, RESUME_NOT_SMALLER},
        {true, 'I', 1001, 1000, RESUME_NOT_SMALLER},
        {true, 'I', 400, kNone, RESUME_SIZE_UNKNOWN},
        {true, 'I', kNone, 1000, RESUME_WHOLE},  // no local copy: nothing to say
        {true, 'I', 5000000000ull, 6000000000ull, RESUME_CONTINUE},
        {true, 'A', 400, 1000, RESUME_WHOLE},
        {true, 'L', 400, 1000, RESUME_WHOLE},
        {true, 'A', 400, kNone, RESUME_WHOLE},   // ASCII never says anything
        {false, 'I', 400, 1000, RESUME_WHOLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.type) + " " + std::to_string(c.local) + " " + std::to_string(c.remote));
        EXPECT_EQ(ChooseReceiveResume(c.option, c.type, c.local, c.remote), c.choice);
    }
}

TEST(ResumeRules, Send)
{
    struct Case {
        bool option;
        char type;
        bool sendUnique;
        unsigned long long local, remote;
        ResumeChoice choice;
    } cases[] = {
        {true, 'I', false, 1000, 400, RESUME_CONTINUE},
        {true, 'I', false, 1000, 1000, RESUME_WHOLE},
        {true, 'I', false, 1000, 1001, RESUME_WHOLE},
        {true, 'I', false, 1000, 0, RESUME_WHOLE},
        {true, 'I', false, 1000, kNone, RESUME_WHOLE},  // no remote copy
        {true, 'I', true, 1000, 400, RESUME_WHOLE},     // Send Unique makes a new file
        {true, 'A', false, 1000, 400, RESUME_WHOLE},
        {true, 'L', false, 1000, 400, RESUME_WHOLE},
        {false, 'I', false, 1000, 400, RESUME_WHOLE},
        {true, 'I', false, 6000000000ull, 5000000000ull, RESUME_CONTINUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.type) + " " + std::to_string(c.local) + " " + std::to_string(c.remote));
        EXPECT_EQ(ChooseSendResume(c.option, c.type, c.sendUnique, c.local, c.remote), c.choice);
    }
}

TEST(ResumeRules, SizeReply)
{
    struct Case {
        const char* line;
        unsigned long long size;
    } cases[] = {
        {"213 1234", 1234},
        {"213 0", 0},
        {"213  4294967297", 4294967297ull},
        {"213 18446744073709551614", 18446744073709551614ull},
        {"213 18446744073709551615", kNone},  // that is the unknown size itself
        {"213 99999999999999999999", kNone},
        {"213 12abc", kNone},
        {"213 ", kNone},
        {"213 file status", kNone},
        {"550 Could not get file size.", kNone},
        {"", kNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseSizeReply(c.line), c.size) << c.line;
    EXPECT_EQ(ParseSizeReply(nullptr), kNone);
}

}  // namespace
