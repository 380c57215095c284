// The pure rules of FTPS: fingerprints, the record type of a closing alert,
// the names of protocols and ciphers, what a chain error means, and when the
// user is asked about a certificate.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>
#include <string.h>

#include "net/certificate.h"
#include "net/tls.h"
#include "resources/catalogue.h"

namespace {

TEST(Fingerprint, FormatsAndParsesBackTheSameBytes)
{
    BYTE bytes[32];
    for (int i = 0; i < 32; ++i)
        bytes[i] = static_cast<BYTE>(i * 8 + 7);
    std::string text = FormatFingerprint(bytes, 32);
    EXPECT_EQ(text.size(), 95u);
    EXPECT_EQ(text.substr(0, 12), "07:0F:17:1F:");
    EXPECT_EQ(text.substr(text.size() - 2), "FF");
    BYTE back[32] = {};
    ASSERT_TRUE(ParseFingerprint(text.c_str(), back));
    EXPECT_EQ(memcmp(back, bytes, 32), 0);
    EXPECT_EQ(FormatFingerprint(bytes, 0), "");
}

TEST(Fingerprint, ParsingToleratesCaseAndSeparatorsButNothingElse)
{
    const std::string hex = "07:0f:17:1f:27:2f:37:3f:47:4f:57:5f:67:6f:77:7f:87:8f:97:9f:a7:af:b7:bf:c7:cf:d7:df:e7:ef:f7:ff";
    std::string bare;
    for (char c : hex)
        if (c != ':')
            bare += c;
    std::string spaced = hex;
    for (char& c : spaced)
        if (c == ':')
            c = ' ';
    struct Case {
        std::string text;
        bool ok;
    } cases[] = {
        {hex, true},  {bare, true},   {spaced, true},          {hex.substr(3), false},  // 31 bytes
        {hex + ":00", false},        {"", false},             {"0:70F" + hex.substr(5), false},
        {hex.substr(0, 94) + "g", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BYTE out[32];
        EXPECT_EQ(ParseFingerprint(c.text.c_str(), out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out[31], 0xFF);
        }
    }
    BYTE out[32];
    EXPECT_FALSE(ParseFingerprint(nullptr, out));
}

TEST(Record, OnlyAnEmptyAlertRecordCloses)
{
    EXPECT_TRUE(RecordIsCloseAlert(TLS_RECORD_ALERT, 0));
    EXPECT_FALSE(RecordIsCloseAlert(TLS_RECORD_APPLICATION_DATA, 0));  // an empty data record
    EXPECT_FALSE(RecordIsCloseAlert(TLS_RECORD_ALERT, 2));
    EXPECT_FALSE(RecordIsCloseAlert(22, 0));  // handshake
}

TEST(Names, ProtocolsAndCiphers)
{
    EXPECT_STREQ(TlsProtocolName(0x00000800), "TLS 1.2");   // client bit
    EXPECT_STREQ(TlsProtocolName(0x00000400), "TLS 1.2");   // server bit
    EXPECT_STREQ(TlsProtocolName(0x00002000), "TLS 1.3");
    EXPECT_STREQ(TlsProtocolName(0x00000080), "TLS 1.0");
    EXPECT_STREQ(TlsProtocolName(0x00000200), "TLS 1.1");
    EXPECT_STREQ(TlsProtocolName(0), "unknown protocol");
    EXPECT_STREQ(TlsCipherName(0x6610), "AES-256");
    EXPECT_STREQ(TlsCipherName(0x660e), "AES-128");
    EXPECT_STREQ(TlsCipherName(CALG_RC4), "RC4");
    EXPECT_STREQ(TlsCipherName(0), "unknown cipher");
}

TEST(Certificate, ChainErrorsAndTheirWords)
{
    struct Case {
        HRESULT error;
        CertificateProblem problem;
        UINT reason;
    } cases[] = {
        {CERT_E_UNTRUSTEDROOT, CERT_PROBLEM_NOT_TRUSTED, REASON_CERT_NOT_TRUSTED},
        {CERT_E_CHAINING, CERT_PROBLEM_NOT_TRUSTED, REASON_CERT_NOT_TRUSTED},
        {CERT_E_CN_NO_MATCH, CERT_PROBLEM_WRONG_NAME, REASON_CERT_WRONG_NAME},
        {CERT_E_EXPIRED, CERT_PROBLEM_EXPIRED, REASON_CERT_EXPIRED},
        {CRYPT_E_REVOKED, CERT_PROBLEM_REVOKED, REASON_CERT_REVOKED},
        {E_FAIL, CERT_PROBLEM_OTHER, REASON_CERT_OTHER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(ProblemOfChainError(static_cast<DWORD>(c.error)), c.problem);
        EXPECT_EQ(ReasonEntry(c.problem), c.reason);
    }
    EXPECT_EQ(ProblemOfChainError(0), CERT_PROBLEM_NONE);
}

TEST(Certificate, WhenTheUserIsAsked)
{
    BYTE sha[32], other[32];
    memset(sha, 0xAB, sizeof sha);
    memset(other, 0x11, sizeof other);
    const std::string same = FormatFingerprint(sha, 32), changed = FormatFingerprint(other, 32);
    struct Case {
        CertificateProblem problem;
        const char* stored;
        TrustDecision decision;
    } cases[] = {
        {CERT_PROBLEM_NONE, "", TRUST_VERIFIED},
        {CERT_PROBLEM_NONE, same.c_str(), TRUST_STORED},
        {CERT_PROBLEM_NONE, changed.c_str(), TRUST_VERIFIED},  // a valid chain needs no stored word
        {CERT_PROBLEM_NOT_TRUSTED, "", TRUST_ASK},
        {CERT_PROBLEM_NOT_TRUSTED, nullptr, TRUST_ASK},
        {CERT_PROBLEM_WRONG_NAME, same.c_str(), TRUST_STORED},
        {CERT_PROBLEM_NOT_TRUSTED, changed.c_str(), TRUST_ASK_CHANGED},
        {CERT_PROBLEM_EXPIRED, "not a fingerprint", TRUST_ASK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(none)");
        EXPECT_EQ(DecideTrust(c.problem, sha, c.stored), c.decision);
    }
}

TEST(Certificate, TimesAreShownInUtc)
{
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 11;
    t.wHour = 3;
    t.wMinute = 7;
    FILETIME f;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &f));
    EXPECT_EQ(FormatCertificateTime(f), "2026-12-11 03:07 UTC");
}

}  // namespace
