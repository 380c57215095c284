// The one way the connection code reaches the program above it: the shell
// fills this record when it makes the main window, with its watchdog, the
// worker's safe point, the byte count, the prompts, the GUI thread's messages
// and the main window. Until then every member does nothing harmful, so the
// connection code runs on its own (in a test without a window): no time-out,
// no display, empty answers to the prompts.
#pragma once
#include <windows.h>

// What the user is shown about a server certificate that did not pass the
// check: the host, the reason (a REASON_CERT_ catalogue entry), whether it
// differs from the one trusted before, and the certificate itself.
struct CertificatePrompt {
    const char* host;
    UINT reason;
    bool changed;
    const char* subject;
    const char* issuer;
    const char* validFrom;
    const char* validTo;
    const char* fingerprint;
};
enum CertificateAnswer { CERT_ANSWER_CANCEL = 0, CERT_ANSWER_ONCE = 1, CERT_ANSWER_ALWAYS = 2 };

struct FtpHooksRec {
    // The reply time-out: armed around every wait for a reply line or a data
    // connection (seconds, from any thread), stopped when the wait is over.
    void (*armTimeout)(DWORD seconds);
    void (*stopTimeout)();
    // The running byte count of a data transfer: it begins (received or
    // sent, with the size expected or SIZE_UNKNOWN of ftp/reply.h), steps
    // with the running total after each block, and ends.
    void (*bytesBegin)(bool received, unsigned long long size, unsigned long long from);
    void (*bytesStep)(ULONGLONG total);
    void (*bytesEnd)();
    // The password the server asks for, into password (size bytes), asked
    // until one is given; false when the user left the prompt (Cancel), which
    // ends the connect attempt. The account it asks for, into account (size
    // bytes). Left empty when nobody can be asked.
    bool (*askPassword)(char* password, int size);
    void (*askAccount)(char* account, int size);
    // The session is now logged on (true) or no longer connected (false).
    void (*connectedState)(bool connected);
    // Logged on to host: the program's title names it.
    void (*loggedOnTo)(const char* host);
    // A command or reply line of a session whose names are UTF-8, as the
    // status log shows it: its names in the user's code page, into out (size
    // bytes). Until installed the line as it is.
    void (*shownLine)(const char* line, char* out, int size);
    // The server ended the control connection of a logged-on session (a 421
    // reply, or the connection closed or reset under a read). Called from
    // the thread that read it; the session is ended by the shell.
    void (*connectionLost)();
    // The user's word on a certificate that did not pass the check (a
    // CertificateAnswer); Cancel when nobody can be asked.
    int (*askCertificate)(const CertificatePrompt& prompt);
};

extern FtpHooksRec FtpHooks;
