// The registry store. Reads fail silently to their defaults; writes report
// their failures to the caller and go on, so the registry never stops the
// program.
#include "store/store.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "store/options.h"
#include "store/secret.h"
#include "resources/catalogue.h"

namespace {

struct KeyGuard {
    HKEY key = nullptr;
    ~KeyGuard()
    {
        if (key)
            RegCloseKey(key);
    }
};

void AddFailure(StoreFailures* failures, UINT id, const char* insert)
{
    if (failures)
        failures->push_back(StoreFailureRec{id, insert});
}

// Opens the program's key, creating it when it does not exist yet.
bool OpenProgramKey(HKEY* key, StoreFailures* failures)
{
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TARN_REGISTRY_KEY, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS)
        return true;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, TARN_REGISTRY_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key, &disposition) == ERROR_SUCCESS)
        return true;
    *key = nullptr;
    AddFailure(failures, MSG_REGISTRY_CREATE_FAILED, TARN_REGISTRY_KEY);
    return false;
}

// An empty folder name would address the program's key itself.
bool IsFolderName(const char* folder)
{
    return folder && folder[0];
}

}  // namespace

// Sets (data given), deletes the value (name only) or the folder's key
// (neither). A failed write adds the failure with insert.
static int WriteValue(const char* folder, const char* name, DWORD type, const void* data, DWORD size,
                      const char* insert, StoreFailures* failures)
{
    if (!IsFolderName(folder))
        return 1;
    KeyGuard root, sub;
    if (!OpenProgramKey(&root.key, failures))
        return 0;
    if (RegOpenKeyExA(root.key, folder, 0, KEY_ALL_ACCESS, &sub.key) != ERROR_SUCCESS) {
        sub.key = nullptr;
        if (!data)
            return 1;
        char path[sizeof TARN_REGISTRY_KEY + 262];
        wsprintfA(path, "%s\\%.260s", TARN_REGISTRY_KEY, folder);
        DWORD disposition;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                            &sub.key, &disposition) != ERROR_SUCCESS) {
            sub.key = nullptr;
            AddFailure(failures, MSG_REGISTRY_CREATE_FAILED, path);
            return 0;
        }
    }
    if (!data) {
        if (name)
            RegDeleteValueA(sub.key, name);
        else {
            RegCloseKey(sub.key);
            sub.key = nullptr;
            RegDeleteKeyA(root.key, folder);
        }
        return 1;
    }
    if (RegSetValueExA(sub.key, name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS) {
        AddFailure(failures, MSG_REGISTRY_WRITE_FAILED, insert);
        return 0;
    }
    return 1;
}

int ProfileWrite(const char* folder, const char* name, const char* text, StoreFailures* failures)
{
    return WriteValue(folder, name, REG_SZ, text, text ? static_cast<DWORD>(strlen(text) + 1) : 0, text, failures);
}

int ProfileReadText(const char* folder, const char* name, const char* def, char* out, DWORD size)
{
    if (!out || size == 0)
        return 0;
    if (IsFolderName(folder)) {
        char path[sizeof TARN_REGISTRY_KEY + 262];
        wsprintfA(path, "%s\\%.260s", TARN_REGISTRY_KEY, folder);
        KeyGuard sub;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &sub.key) == ERROR_SUCCESS) {
            char value[1024];
            DWORD type = 0, bytes = size < sizeof value ? size : sizeof value;
            if (RegQueryValueExA(sub.key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
                    ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ)) {
                // A text stored without its zero fits only when there is room to add one.
                if (bytes == 0 || value[bytes - 1] != 0) {
                    if (bytes < size) {
                        value[bytes] = 0;
                        bytes++;
                    } else
                        bytes = 0;
                }
                if (bytes) {
                    memcpy(out, value, bytes);
                    return 1;
                }
            }
        } else
            sub.key = nullptr;
    }
    lstrcpynA(out, def ? def : "", static_cast<int>(size));
    return 0;
}

int ProfileFolderExists(const char* folder)
{
    if (!IsFolderName(folder))
        return 0;
    char path[sizeof TARN_REGISTRY_KEY + 262];
    wsprintfA(path, "%s\\%.260s", TARN_REGISTRY_KEY, folder);
    KeyGuard sub;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &sub.key) != ERROR_SUCCESS) {
        sub.key = nullptr;
        return 0;
    }
    return 1;
}

DWORD ProfileReadNumber(const char* folder, const char* name, DWORD def)
{
    char text[256];
    if (!ProfileReadText(folder, name, "", text, sizeof text))
        return def;
    return static_cast<DWORD>(strtoul(text, nullptr, 10));
}

// The REG_BINARY value into *bytes; false when there is none.
static bool ReadBytes(const char* folder, const char* name, std::string* bytes)
{
    bytes->clear();
    if (!IsFolderName(folder))
        return false;
    char path[sizeof TARN_REGISTRY_KEY + 262];
    wsprintfA(path, "%s\\%.260s", TARN_REGISTRY_KEY, folder);
    KeyGuard sub;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &sub.key) != ERROR_SUCCESS) {
        sub.key = nullptr;
        return false;
    }
    char value[PROTECTED_PASSWORD_MAX];
    DWORD type = 0, size = sizeof value;
    LONG rc = RegQueryValueExA(sub.key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (type != REG_BINARY || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA))
        return false;
    // Longer than any password protected here: there, but damaged.
    if (rc == ERROR_MORE_DATA)
        return true;
    bytes->assign(value, size);
    return true;
}

static std::string ProtectedName(const char* value)
{
    return std::string(value) + PROTECTED_SUFFIX;
}

int ProfileReadPassword(const char* folder, const char* value, const char* user, char* out, DWORD size)
{
    if (!out || size == 0)
        return PASSWORD_ABSENT;
    out[0] = 0;
    std::string blob;
    if (ReadBytes(folder, ProtectedName(value).c_str(), &blob))
        return UnprotectSecret(blob, out, size) && out[0] ? PASSWORD_READ : PASSWORD_UNREADABLE;
    // The older form: read back as far as it always was.
    char stored[PASSWORD_FORM_MAX + 1];
    ProfileReadText(folder, value, "", stored, sizeof stored);
    if (!stored[0])
        return PASSWORD_ABSENT;
    lstrcpynA(out, DecodePassword(user, stored), static_cast<int>(size));
    return out[0] ? PASSWORD_READ : PASSWORD_ABSENT;
}

int ProfileWritePassword(const char* folder, const char* value, const char* user, const char* password,
                         StoreFailures* failures)
{
    const std::string protectedName = ProtectedName(value);
    // The anonymous logon's e-mail address stays in clear, and Windows
    // without DPAPI keeps the older form.
    if (password && (IsAnonymousUser(user) || !SecretProtectionAvailable())) {
        WriteValue(folder, protectedName.c_str(), REG_BINARY, nullptr, 0, nullptr, failures);
        const char* stored = EncodePassword(user, password);
        return WriteValue(folder, value, REG_SZ, stored, static_cast<DWORD>(strlen(stored) + 1), value, failures);
    }
    // Neither form of an older password stays behind.
    WriteValue(folder, value, REG_SZ, nullptr, 0, nullptr, failures);
    if (!password || !password[0]) {
        WriteValue(folder, protectedName.c_str(), REG_BINARY, nullptr, 0, nullptr, failures);
        return 1;
    }
    std::string blob;
    DWORD error = 0;
    if (!ProtectSecret(password, &blob, &error)) {
        WriteValue(folder, protectedName.c_str(), REG_BINARY, nullptr, 0, nullptr, failures);
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(error));
        AddFailure(failures, MSG_PASSWORD_NOT_PROTECTED, code);
        return 0;
    }
    return WriteValue(folder, protectedName.c_str(), REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()),
                      protectedName.c_str(), failures);
}

int EnumProfiles(std::vector<std::string>* names, StoreFailures* failures)
{
    KeyGuard root;
    if (!OpenProgramKey(&root.key, failures))
        return 0;
    for (DWORD index = 0;; ++index) {
        char name[261];
        DWORD length = sizeof name;
        LONG rc = RegEnumKeyExA(root.key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            if (rc != ERROR_NO_MORE_ITEMS) {
                AddFailure(failures, MSG_REGISTRY_ENUM_FAILED, "");
                return 0;
            }
            return 1;
        }
        if (strcmp(name, TARN_OPTIONS_FOLDER) != 0)
            names->push_back(name);
    }
}

static void WriteNumber(const char* folder, const char* name, DWORD value, StoreFailures* failures)
{
    char text[16];
    wsprintfA(text, "%u", static_cast<unsigned>(value));
    ProfileWrite(folder, name, text, failures);
}

void SaveProfile(const char* folder, StoreFailures* failures)
{
    const HostProfileRec& p = HostProfile;
    ProfileWrite(folder, "HOST", p.host, failures);
    ProfileWrite(folder, "UID", p.user, failures);
    ProfileWritePassword(folder, PASSWORD_VALUE, p.user, p.savePassword ? p.password : nullptr, failures);
    ProfileWrite(folder, "DIR", p.initialDir[0] ? p.initialDir : nullptr, failures);
    WriteNumber(folder, "TYPE", p.hostType, failures);
    WriteNumber(folder, "TIMEOUT", p.timeout, failures);
    WriteNumber(folder, "RETRIES", p.retries, failures);
    WriteNumber(folder, "FTPPORT", p.ftpPort, failures);
    WriteNumber(folder, "PASV", p.passive ? 1 : 0, failures);
    WriteNumber(folder, "UTF8", p.nameEncoding, failures);
    WriteNumber(folder, "TLS", p.tls, failures);
    ProfileWrite(folder, "TLSCERT", p.trustedCertificate[0] ? p.trustedCertificate : nullptr, failures);
    WriteNumber(folder, "STALL", p.stall, failures);
    WriteNumber(folder, "MLSD", p.mlsd, failures);
    WriteNumber(folder, "KEEPALIVE", p.keepAlive, failures);
}

enum : DWORD {
    FLAG_RECEIVE_UNIQUE = 1, FLAG_SEND_UNIQUE = 2, FLAG_BELL = 4, FLAG_PROMPT = 8, FLAG_VERBOSE = 16,
    FLAGS_DEFAULT = 69,
};

void LoadOptions()
{
    HostProfileRec& p = HostProfile;
    ProgramOptionsRec& o = ProgramOptions;
    p.folder[0] = o.mailAddr[0] = o.viewer[0] = 0;
    p.user[0] = p.password[0] = p.initialDir[0] = 0;
    p.timeout = 65;
    p.retries = 0;
    p.ftpPort = 21;
    p.hostType = 6000;
    p.passive = 0;
    p.nameEncoding = NAMES_CODE_PAGE;
    p.tls = TLS_OFF;
    p.trustedCertificate[0] = 0;
    p.stall = 0;
    p.mlsd = MLSD_NEVER;
    p.keepAlive = 0;
    ProfileReadText(TARN_OPTIONS_FOLDER, "SESSION", "", p.folder, 63);
    ProfileReadText(TARN_OPTIONS_FOLDER, "MAILADDR", "", o.mailAddr, 127);
    ProfileReadText(TARN_OPTIONS_FOLDER, "VIEWER", "notepad", o.viewer, 120);
    o.autoConnect = ProfileReadNumber(TARN_OPTIONS_FOLDER, "AUTOSTART", o.autoConnect);
    DWORD flags = ProfileReadNumber(TARN_OPTIONS_FOLDER, "FLAGS", FLAGS_DEFAULT);
    o.receiveUnique = (flags & FLAG_RECEIVE_UNIQUE) ? 1 : 0;
    o.sendUnique = (flags & FLAG_SEND_UNIQUE) ? 1 : 0;
    o.bell = (flags & FLAG_BELL) ? 1 : 0;
    o.prompt = (flags & FLAG_PROMPT) ? 1 : 0;
    o.verbose = (flags & FLAG_VERBOSE) ? 1 : 0;
    // Options stored before resuming existed keep transfers as they were; a
    // first start, with no options at all, resumes.
    o.resume = ProfileReadNumber(TARN_OPTIONS_FOLDER, "RESUME", ProfileFolderExists(TARN_OPTIONS_FOLDER) ? 0 : 1) == 1
                   ? 1
                   : 0;
    o.keepTimes = ProfileReadNumber(TARN_OPTIONS_FOLDER, "KEEPTIME", 0) == 1 ? 1 : 0;
    ProfileReadText(TARN_OPTIONS_FOLDER, "PLACEMENT", "", o.placement, sizeof o.placement);
}

void SaveOptions(StoreFailures* failures)
{
    const ProgramOptionsRec& o = ProgramOptions;
    // Deleting first leaves exactly the values below, whatever was added by hand.
    ProfileWrite(TARN_OPTIONS_FOLDER, nullptr, nullptr, failures);
    ProfileWrite(TARN_OPTIONS_FOLDER, "SESSION", HostProfile.folder, failures);
    ProfileWrite(TARN_OPTIONS_FOLDER, "MAILADDR", o.mailAddr, failures);
    ProfileWrite(TARN_OPTIONS_FOLDER, "VIEWER", o.viewer, failures);
    WriteNumber(TARN_OPTIONS_FOLDER, "AUTOSTART", o.autoConnect, failures);
    const auto flag = [](int option, DWORD bit) -> DWORD { return option == 1 ? bit : 0; };
    DWORD flags = flag(o.receiveUnique, FLAG_RECEIVE_UNIQUE) | flag(o.sendUnique, FLAG_SEND_UNIQUE) |
                  flag(o.bell, FLAG_BELL) | flag(o.prompt, FLAG_PROMPT) | flag(o.verbose, FLAG_VERBOSE);
    WriteNumber(TARN_OPTIONS_FOLDER, "FLAGS", flags, failures);
    WriteNumber(TARN_OPTIONS_FOLDER, "RESUME", o.resume == 1 ? 1 : 0, failures);
    // Written only when on: the option's absence is its old behaviour.
    if (o.keepTimes == 1)
        WriteNumber(TARN_OPTIONS_FOLDER, "KEEPTIME", 1, failures);
    if (o.placement[0])
        ProfileWrite(TARN_OPTIONS_FOLDER, "PLACEMENT", o.placement, failures);
}
