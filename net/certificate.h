// The server's certificate: its SHA-256 fingerprint, its names and validity,
// and the check of its chain and host name by Windows (crypt32, loaded at run
// time). Also the rule that decides whether a certificate is used silently or
// the user is asked.
#pragma once
#include <windows.h>

#include <string>

// Loads crypt32 once. False, with the cause in *why (catalogue entry), when
// certificates cannot be checked on this system.
bool CertificateAvailable(UINT* why = nullptr);
// Frees a certificate of TlsPeerCertificate.
void CertificateFree(const void* certificate);
// SHA-256 of the certificate's encoded form into out (32 bytes).
bool CertificateSha256(const void* certificate, BYTE out[32]);

struct CertificateText {
    std::string subject;
    std::string issuer;
    std::string validFrom;  // "2026-12-11 00:30 UTC"
    std::string validTo;
};
CertificateText DescribeCertificate(const void* certificate);

// What is wrong with a certificate, in the order Windows reports it.
enum CertificateProblem {
    CERT_PROBLEM_NONE = 0,
    CERT_PROBLEM_NOT_TRUSTED,
    CERT_PROBLEM_WRONG_NAME,
    CERT_PROBLEM_EXPIRED,
    CERT_PROBLEM_REVOKED,
    CERT_PROBLEM_OTHER,
};
// Builds the chain and checks it for a TLS server named host. *error gets
// the Windows error of the check (0 when it passed).
CertificateProblem VerifyCertificate(const void* certificate, const char* host, DWORD* error);

// The pure rules, for the tests.

// The problem a chain policy error stands for.
CertificateProblem ProblemOfChainError(DWORD error);
// The catalogue entry that names a problem in words (REASON_CERT_...).
UINT ReasonEntry(CertificateProblem problem);

enum TrustDecision {
    TRUST_VERIFIED,     // chain and name passed: used silently
    TRUST_STORED,       // the fingerprint the user trusted for this host
    TRUST_ASK,          // the user decides
    TRUST_ASK_CHANGED,  // the user decides, told first that it changed
};
// storedFingerprint: the profile's trusted fingerprint, empty when none.
TrustDecision DecideTrust(CertificateProblem problem, const BYTE sha256[32], const char* storedFingerprint);
// "YYYY-MM-DD HH:MM UTC" of a FILETIME.
std::string FormatCertificateTime(const FILETIME& time);
