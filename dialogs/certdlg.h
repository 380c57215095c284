// The certificate dialog (DLG_CERTIFICATE): a server certificate that did not
// pass the check, and the user's word on it.
#pragma once
#include <windows.h>

#include "ftp/hooks.h"

// Shows the prompt, owned by the main window (from any thread): a
// CertificateAnswer; Cancel, the default, also for the close box.
int AskCertificateDialog(const CertificatePrompt& prompt);
