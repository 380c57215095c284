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
    BYTE tls;                    // explicit FTPS (AUTH TLS); stored as TLS, absent means 0
    char trustedCertificate[100];  // SHA-256 fingerprint the user trusted; stored as TLSCERT
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
    char transferType;           // 'A', 'I' or 'L'; not stored, 'I' at every start
};

extern HostProfileRec HostProfile;
extern ProgramOptionsRec ProgramOptions;
