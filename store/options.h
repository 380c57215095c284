// In-memory mirrors of the registry store: the current host profile and
// the program-wide options.
#pragma once
#include <windows.h>

struct HostProfileRec {
    char folder[64];             // at most 62 characters
    char host[64];               // at most 62
    char user[80];               // at most 78
    char password[80];           // at most 78, in clear
    char initialDir[80];         // at most 78
    DWORD hostType;              // 6000..6020
    DWORD timeout;               // seconds
    DWORD retries;
    DWORD ftpPort;
    BYTE savePassword;
    BYTE useGateway;
    char gateHost[64];
    char gateUser[80];
    char gatePassword[80];
    BYTE passive;                // data connections by PASV; stored as PASV, absent means 0
    BYTE nameEncoding;           // a NameEncoding; stored as UTF8, absent means NAMES_CODE_PAGE
    BYTE tls;                    // a TlsMode; stored as TLS, absent means TLS_OFF
    char trustedCertificate[100];  // SHA-256 fingerprint the user trusted; stored as TLSCERT
    DWORD stall;                 // seconds a data connection may move nothing before the transfer
                                 // ends; 0 waits for ever. Stored as STALL, absent means 0
    DWORD keepAlive;             // seconds idle before a NOOP, 0 never; stored as KEEPALIVE, absent means 0
    BYTE mlsd;                   // a ListingChoice; stored as MLSD, absent means MLSD_NEVER
};

// How a profile lists directories (the profile value MLSD).
enum ListingChoice : BYTE {
    MLSD_NEVER = 0,  // LIST, as before
    MLSD_AUTO = 1,   // MLSD when the server's FEAT lists MLST, else LIST
};

// The stall limit of a profile made new in the host dialog.
enum { STALL_NEW_PROFILE = 60 };
// The longest keep-alive the host dialog takes, in seconds (four digits).
enum { KEEPALIVE_MAX = 9999 };

// How a profile's remote names are exchanged (the profile value UTF8).
enum NameEncoding : BYTE {
    NAMES_CODE_PAGE = 0,  // bytes as they are in the system's ANSI code page
    NAMES_AUTO = 1,       // UTF-8 when the server's FEAT lists UTF8, else the code page
    NAMES_UTF8 = 2,       // always UTF-8
};

// Explicit FTPS (AUTH TLS) for a profile (the profile value TLS).
enum TlsMode : BYTE {
    TLS_OFF = 0,             // plain FTP
    TLS_REQUIRED = 1,        // TLS or no connection
    TLS_WHEN_AVAILABLE = 2,  // TLS when the server accepts AUTH TLS, else plain (and said so)
};

struct ProgramOptionsRec {
    char mailAddr[128];          // at most 126
    char viewer[120];            // at most 119
    DWORD autoConnect;
    LONG receiveUnique;
    LONG sendUnique;
    LONG bell;
    LONG prompt;
    LONG verbose;
    LONG resume;                 // continue interrupted binary transfers; stored as RESUME, absent means 0
    LONG keepTimes;              // received files get the server's times, sent ones keep theirs (MFMT);
                                 // stored as KEEPTIME, absent means 0
    char transferType;           // 'A', 'I' or 'L'; not stored, 'I' at every start
    char placement[64];          // the main window's place and size; stored as PLACEMENT, absent means ""
};

extern HostProfileRec HostProfile;
extern ProgramOptionsRec ProgramOptions;
