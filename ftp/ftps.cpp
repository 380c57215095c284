#include "ftp/ftps.h"

#include <string.h>

#include <string>

#include "net/certificate.h"
#include "ftp/command.h"
#include "ftp/hooks.h"
#include "ftp/session.h"
#include "net/tls.h"
#include "log/log.h"
#include "resources/catalogue.h"
#include "store/options.h"
#include "store/store.h"

namespace {

enum { REPLY_AUTH_OK = 234 };

// The secured session: the target every stream names, and the control
// connection's certificate, which every data connection must show again.
bool g_secure;
char g_target[64];
BYTE g_fingerprint[32];
bool g_refused;

bool Handshake(SOCKET s, bool logNegotiated)
{
    FtpHooks.armTimeout(HostProfile.timeout);
    TlsResult result = TlsAttach(s, g_target, logNegotiated);
    FtpHooks.stopTimeout();
    return result == TLS_OK;
}

// The user's word on a certificate that failed the check, or the stored one.
bool AcceptCertificate(const void* certificate, const BYTE sha256[32], const std::string& fingerprint)
{
    CertificateText text = DescribeCertificate(certificate);
    LogMessage(MSG_TLS_CERT_SUBJECT, text.subject.c_str(), text.issuer.c_str(), text.validFrom.c_str(),
               text.validTo.c_str());
    LogMessage(MSG_TLS_CERT_FINGERPRINT, fingerprint.c_str());
    DWORD error = 0;
    CertificateProblem problem = VerifyCertificate(certificate, g_target, &error);
    TrustDecision decision = DecideTrust(problem, sha256, HostProfile.trustedCertificate);
    if (decision == TRUST_VERIFIED) {
        LogLine(MSG_TLS_CERT_VERIFIED);
        return true;
    }
    if (decision == TRUST_STORED) {
        LogLine(MSG_TLS_CERT_STORED_MATCH);
        return true;
    }
    bool changed = decision == TRUST_ASK_CHANGED;
    if (changed)
        LogLine(MSG_TLS_CERT_CHANGED_WARNING);
    // The reason in words: a changed certificate says so first.
    char reason[256] = "";
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(error));
    FormatCatalogue(reason, sizeof reason, changed ? REASON_CERT_CHANGED : ReasonEntry(problem), code);
    if (changed && problem != CERT_PROBLEM_NONE) {
        char more[160] = "";
        FormatCatalogue(more, sizeof more, ReasonEntry(problem), code);
        lstrcatA(reason, "; ");
        lstrcatA(reason, more);
    }
    LogMessage(MSG_TLS_CERT_PROBLEM, reason);
    CertificatePrompt prompt = {g_target,           changed ? static_cast<UINT>(REASON_CERT_CHANGED) : ReasonEntry(problem),
                                changed,            text.subject.c_str(),
                                text.issuer.c_str(), text.validFrom.c_str(),
                                text.validTo.c_str(), fingerprint.c_str()};
    int answer = FtpHooks.askCertificate(prompt);
    if (answer == CERT_ANSWER_ONCE) {
        LogLine(MSG_TLS_CERT_ACCEPTED_ONCE);
        return true;
    }
    if (answer == CERT_ANSWER_ALWAYS) {
        lstrcpynA(HostProfile.trustedCertificate, fingerprint.c_str(), sizeof HostProfile.trustedCertificate);
        if (!HostProfile.folder[0] || !ProfileWrite(HostProfile.folder, "TLSCERT", HostProfile.trustedCertificate))
            LogLine(MSG_TLS_FINGERPRINT_NOT_STORED);
        LogLine(MSG_TLS_CERT_TRUSTED);
        return true;
    }
    LogLine(MSG_TLS_CERT_REJECTED);
    g_refused = true;
    return false;
}

}  // namespace

void EndSecureSession()
{
    g_secure = false;
    g_target[0] = 0;
    memset(g_fingerprint, 0, sizeof g_fingerprint);
}

bool ControlStreamBroken()
{
    return TlsBroken(FtpSession.controlSocket);
}

bool SessionIsSecure()
{
    return g_secure;
}

bool CertificateRefused()
{
    return g_refused;
}

bool SecureControlConnection(SOCKET control, const char* target)
{
    EndSecureSession();
    g_refused = false;
    UINT why = 0;
    if (!TlsAvailable(&why) || !CertificateAvailable(&why)) {
        LogLine(why);
        return false;
    }
    lstrcpynA(g_target, target ? target : "", sizeof g_target);
    int code = SendCommandCode(control, "AUTH TLS");
    if (code != REPLY_AUTH_OK) {
        LogMessage(MSG_AUTH_TLS_REFUSED, static_cast<unsigned>(code));
        return false;
    }
    if (!Handshake(control, true))
        return false;
    const void* certificate = TlsPeerCertificate(control);
    BYTE sha256[32];
    if (!certificate || !CertificateSha256(certificate, sha256)) {
        CertificateFree(certificate);
        LogLine(MSG_TLS_NO_CERTIFICATE);
        return false;
    }
    std::string fingerprint = FormatFingerprint(sha256, 32);
    bool accepted = AcceptCertificate(certificate, sha256, fingerprint);
    CertificateFree(certificate);
    if (!accepted)
        return false;
    memcpy(g_fingerprint, sha256, sizeof g_fingerprint);
    g_secure = true;
    return true;
}

bool ProtectDataChannel(SOCKET control)
{
    if (SendCommand(control, "PBSZ 0") != REPLY_OK) {
        LogMessage(MSG_TLS_PROTECTION_REFUSED, "PBSZ 0", static_cast<unsigned>(FtpSession.lastReplyCode));
        return false;
    }
    if (SendCommand(control, "PROT P") != REPLY_OK) {
        LogMessage(MSG_TLS_PROTECTION_REFUSED, "PROT P", static_cast<unsigned>(FtpSession.lastReplyCode));
        return false;
    }
    return true;
}

bool SecureDataConnection(SOCKET data)
{
    if (!Handshake(data, false)) {
        LogLine(MSG_TLS_DATA_FAILED);
        return false;
    }
    const void* certificate = TlsPeerCertificate(data);
    BYTE sha256[32];
    bool same = certificate && CertificateSha256(certificate, sha256) && memcmp(sha256, g_fingerprint, 32) == 0;
    CertificateFree(certificate);
    if (!same) {
        LogLine(MSG_TLS_DATA_CERT_MISMATCH);
        TlsDetach(data, false);
        return false;
    }
    return true;
}
