#include "dialogs/certdlg.h"

#include <string>

#include "dialogs/dialogs.h"
#include "log/log.h"
#include "log/process.h"
#include "resources/catalogue.h"
#include "resources/resource.h"

namespace {

void Fill(HWND dialog, const CertificatePrompt& p)
{
    char text[256] = "";
    if (p.changed)
        LoadCatalogue(MSG_TLS_CERT_CHANGED_WARNING, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_CERT_CHANGED, text);
    SetDlgItemTextA(dialog, IDC_CERT_HOST, p.host ? p.host : "");
    text[0] = 0;
    FormatCatalogue(text, sizeof text, p.reason, "");
    SetDlgItemTextA(dialog, IDC_CERT_REASON, text);
    SetDlgItemTextA(dialog, IDC_CERT_SUBJECT, p.subject ? p.subject : "");
    SetDlgItemTextA(dialog, IDC_CERT_ISSUER, p.issuer ? p.issuer : "");
    std::string validity = std::string(p.validFrom ? p.validFrom : "") + " - " + (p.validTo ? p.validTo : "");
    SetDlgItemTextA(dialog, IDC_CERT_VALIDITY, validity.c_str());
    SetDlgItemTextA(dialog, IDC_CERT_FINGERPRINT, p.fingerprint ? p.fingerprint : "");
}

INT_PTR CALLBACK CertificateProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Fill(dialog, *reinterpret_cast<const CertificatePrompt*>(lParam));
        CentreDialog(dialog, 0);
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        return FALSE;  // the focus is set: Cancel
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CERT_ONCE:
            EndDialog(dialog, CERT_ANSWER_ONCE);
            return TRUE;
        case IDC_CERT_ALWAYS:
            EndDialog(dialog, CERT_ANSWER_ALWAYS);
            return TRUE;
        }
        break;
    }
    return DialogCommonMessage(dialog, message, wParam);
}

}  // namespace

int AskCertificateDialog(const CertificatePrompt& prompt)
{
    HWND owner = DialogContext.owner && IsWindow(DialogContext.owner) ? DialogContext.owner : nullptr;
    INT_PTR rc = DialogBoxParamA(g_hInstance, "DLG_CERTIFICATE", owner, CertificateProc,
                                 reinterpret_cast<LPARAM>(&prompt));
    if (rc == CERT_ANSWER_ONCE || rc == CERT_ANSWER_ALWAYS)
        return static_cast<int>(rc);
    return CERT_ANSWER_CANCEL;
}
