// Registry store of host profiles and program options, under
// HKEY_CURRENT_USER "Software\Varnholt\tarn": one subkey per profile (folder)
// and "_config_" for the options. Every value is REG_SZ text but the
// protected passwords, which are REG_BINARY.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "store/password.h"

#define TARN_REGISTRY_KEY "Software\\Varnholt\\tarn"
#define TARN_OPTIONS_FOLDER "_config_"
// A profile's saved passwords: the older form under these names, the one
// protected by the user's Windows logon (DPAPI) under the name with
// PROTECTED_SUFFIX ("PWDDPAPI", "GATEPASSWORDDPAPI").
#define PASSWORD_VALUE "PWD"
#define GATE_PASSWORD_VALUE "GATEPASSWORD"
#define PROTECTED_SUFFIX "DPAPI"

// A registry action that failed: the catalogue entry that tells the user,
// formatted with the insert (a key's path or the text not written).
struct StoreFailureRec {
    UINT id;
    std::string insert;
};
// The failures of one action, in order. The store shows nothing: the caller
// shows them (ShowStoreFailures).
typedef std::vector<StoreFailureRec> StoreFailures;

// name and text: set the value; name only: delete the value; neither: delete
// the folder's key. Returns 1, or 0 after adding the failure to failures
// (when given).
int ProfileWrite(const char* folder, const char* name, const char* text, StoreFailures* failures = nullptr);
// Copies the value (it must fit in size bytes with its zero) and returns 1;
// otherwise copies def and returns 0.
int ProfileReadText(const char* folder, const char* name, const char* def, char* out, DWORD size);
// 1 when the folder's key exists (with or without values), else 0.
int ProfileFolderExists(const char* folder);
// The value read as decimal text, or def.
DWORD ProfileReadNumber(const char* folder, const char* name, DWORD def);
// How a saved password was found (ProfileReadPassword).
enum PasswordFound {
    PASSWORD_ABSENT = 0,      // none saved
    PASSWORD_READ = 1,        // in out
    PASSWORD_UNREADABLE = 2,  // protected under another logon or computer, or damaged: out is empty
};
enum { PROTECTED_PASSWORD_MAX = 2048 };
// The password saved under value ("PWD", "GATEPASSWORD") for user: the
// protected form when there is one, the older form otherwise. A PasswordFound.
int ProfileReadPassword(const char* folder, const char* value, const char* user, char* out, DWORD size);
// Saves the password under value, protected where Windows has DPAPI (and
// the older form deleted), in the older form where it has none and for the
// user "anonymous" (whose password is the e-mail address, kept in clear).
// A null or empty password deletes both forms. Returns 1, or 0 after adding
// the failure to failures; a password that Windows would not protect is not
// saved at all.
int ProfileWritePassword(const char* folder, const char* value, const char* user, const char* password,
                         StoreFailures* failures = nullptr);
// Every folder name, in the registry's order. Returns 1, or 0 after adding the
// failure to failures (names holds those listed before it).
int EnumProfiles(std::vector<std::string>* names, StoreFailures* failures = nullptr);
// Write every value; a failed write is added to failures and the others go on.
void SaveProfile(const char* folder, StoreFailures* failures = nullptr);
void LoadOptions();
void SaveOptions(StoreFailures* failures = nullptr);
