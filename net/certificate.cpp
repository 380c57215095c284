// Certificates through crypt32, loaded at run time: the 32-bit program must
// start on Windows without it (where TLS is then reported unavailable).
#include "net/certificate.h"

#include <wincrypt.h>
#include <string.h>

#include "net/tls.h"
#include "resources/catalogue.h"

// Older headers stop before SHA-256.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif

namespace {

using FreeCertificateFn = BOOL(WINAPI*)(PCCERT_CONTEXT);
using HashCertificateFn = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, DWORD, const BYTE*, DWORD, BYTE*, DWORD*);
using GetNameStringFn = DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPSTR, DWORD);
using GetChainFn = BOOL(WINAPI*)(HCERTCHAINENGINE, PCCERT_CONTEXT, LPFILETIME, HCERTSTORE, PCERT_CHAIN_PARA, DWORD,
                                 LPVOID, PCCERT_CHAIN_CONTEXT*);
using VerifyPolicyFn = BOOL(WINAPI*)(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA,
                                     PCERT_CHAIN_POLICY_STATUS);
using FreeChainFn = VOID(WINAPI*)(PCCERT_CHAIN_CONTEXT);

struct Crypt32 {
    bool tried;
    bool loaded;
    FreeCertificateFn freeCertificate;
    HashCertificateFn hashCertificate;
    GetNameStringFn getNameString;
    GetChainFn getChain;
    VerifyPolicyFn verifyPolicy;
    FreeChainFn freeChain;
};
Crypt32 g_crypt;

template <typename T>
T Proc(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool Load()
{
    if (g_crypt.tried)
        return g_crypt.loaded;
    g_crypt.tried = true;
    HMODULE module = LoadLibraryA("crypt32.dll");
    if (!module)
        return false;
    g_crypt.freeCertificate = Proc<FreeCertificateFn>(module, "CertFreeCertificateContext");
    g_crypt.hashCertificate = Proc<HashCertificateFn>(module, "CryptHashCertificate");
    g_crypt.getNameString = Proc<GetNameStringFn>(module, "CertGetNameStringA");
    g_crypt.getChain = Proc<GetChainFn>(module, "CertGetCertificateChain");
    g_crypt.verifyPolicy = Proc<VerifyPolicyFn>(module, "CertVerifyCertificateChainPolicy");
    g_crypt.freeChain = Proc<FreeChainFn>(module, "CertFreeCertificateChain");
    g_crypt.loaded = g_crypt.freeCertificate && g_crypt.hashCertificate && g_crypt.getNameString &&
                     g_crypt.getChain && g_crypt.verifyPolicy && g_crypt.freeChain;
    return g_crypt.loaded;
}

std::string Name(PCCERT_CONTEXT certificate, DWORD flags)
{
    char text[256] = "";
    g_crypt.getNameString(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, text, sizeof text);
    return text;
}

}  // namespace

bool CertificateAvailable(UINT* why)
{
    bool ok = Load();
    if (why)
        *why = ok ? 0u : static_cast<UINT>(MSG_TLS_NO_CRYPT32);
    return ok;
}

void CertificateFree(const void* certificate)
{
    if (certificate && Load())
        g_crypt.freeCertificate(static_cast<PCCERT_CONTEXT>(certificate));
}

bool CertificateSha256(const void* certificate, BYTE out[32])
{
    auto c = static_cast<PCCERT_CONTEXT>(certificate);
    if (!c || !Load())
        return false;
    DWORD size = 32;
    return g_crypt.hashCertificate(0, CALG_SHA_256, 0, c->pbCertEncoded, c->cbCertEncoded, out, &size) && size == 32;
}

CertificateText DescribeCertificate(const void* certificate)
{
    CertificateText text;
    auto c = static_cast<PCCERT_CONTEXT>(certificate);
    if (!c || !Load())
        return text;
    text.subject = Name(c, 0);
    text.issuer = Name(c, CERT_NAME_ISSUER_FLAG);
    if (c->pCertInfo) {
        text.validFrom = FormatCertificateTime(c->pCertInfo->NotBefore);
        text.validTo = FormatCertificateTime(c->pCertInfo->NotAfter);
    }
    return text;
}

CertificateProblem VerifyCertificate(const void* certificate, const char* host, DWORD* error)
{
    *error = 0;
    auto c = static_cast<PCCERT_CONTEXT>(certificate);
    if (!c || !Load()) {
        *error = static_cast<DWORD>(E_FAIL);
        return CERT_PROBLEM_OTHER;
    }
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // The server's other certificates (intermediates) came with this one.
    if (!g_crypt.getChain(nullptr, c, nullptr, c->hCertStore, &chainPara, 0, nullptr, &chain)) {
        *error = GetLastError();
        return CERT_PROBLEM_OTHER;
    }
    WCHAR wideHost[256] = L"";
    MultiByteToWideChar(CP_ACP, 0, host ? host : "", -1, wideHost, 255);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = wideHost;
    CERT_CHAIN_POLICY_PARA policyPara = {};
    policyPara.cbSize = sizeof policyPara;
    policyPara.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    BOOL checked = g_crypt.verifyPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &status);
    g_crypt.freeChain(chain);
    if (!checked) {
        *error = GetLastError();
        return CERT_PROBLEM_OTHER;
    }
    *error = status.dwError;
    return ProblemOfChainError(status.dwError);
}

CertificateProblem ProblemOfChainError(DWORD error)
{
    switch (static_cast<HRESULT>(error)) {
    case 0:
        return CERT_PROBLEM_NONE;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case CERT_E_UNTRUSTEDTESTROOT:
    case TRUST_E_CERT_SIGNATURE:
    case CERT_E_ROLE:
    case CERT_E_WRONG_USAGE:
        return CERT_PROBLEM_NOT_TRUSTED;
    case CERT_E_CN_NO_MATCH:
        return CERT_PROBLEM_WRONG_NAME;
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING:
        return CERT_PROBLEM_EXPIRED;
    case CRYPT_E_REVOKED:
        return CERT_PROBLEM_REVOKED;
    default:
        return CERT_PROBLEM_OTHER;
    }
}

UINT ReasonEntry(CertificateProblem problem)
{
    switch (problem) {
    case CERT_PROBLEM_NOT_TRUSTED:
        return REASON_CERT_NOT_TRUSTED;
    case CERT_PROBLEM_WRONG_NAME:
        return REASON_CERT_WRONG_NAME;
    case CERT_PROBLEM_EXPIRED:
        return REASON_CERT_EXPIRED;
    case CERT_PROBLEM_REVOKED:
        return REASON_CERT_REVOKED;
    default:
        return REASON_CERT_OTHER;
    }
}

TrustDecision DecideTrust(CertificateProblem problem, const BYTE sha256[32], const char* storedFingerprint)
{
    BYTE stored[32];
    bool hasStored = storedFingerprint && storedFingerprint[0] && ParseFingerprint(storedFingerprint, stored);
    if (hasStored && memcmp(stored, sha256, 32) == 0)
        return TRUST_STORED;
    if (problem == CERT_PROBLEM_NONE)
        return TRUST_VERIFIED;
    return hasStored ? TRUST_ASK_CHANGED : TRUST_ASK;
}

std::string FormatCertificateTime(const FILETIME& time)
{
    SYSTEMTIME t;
    if (!FileTimeToSystemTime(&time, &t))
        return "?";
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u UTC", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return text;
}
