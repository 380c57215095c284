#include "store/secret.h"

#include <wincrypt.h>
#include <string.h>

namespace {

using ProtectFn = BOOL(WINAPI*)(DATA_BLOB*, LPCWSTR, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*, DWORD,
                                DATA_BLOB*);
using UnprotectFn = BOOL(WINAPI*)(DATA_BLOB*, LPWSTR*, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*, DWORD,
                                  DATA_BLOB*);

struct Dpapi {
    bool tried;
    ProtectFn protect;
    UnprotectFn unprotect;
};
Dpapi g_dpapi;

template <typename T>
T Proc(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool Load()
{
    if (!g_dpapi.tried) {
        g_dpapi.tried = true;
        HMODULE module = LoadLibraryA("crypt32.dll");
        if (module) {
            g_dpapi.protect = Proc<ProtectFn>(module, "CryptProtectData");
            g_dpapi.unprotect = Proc<UnprotectFn>(module, "CryptUnprotectData");
        }
    }
    return g_dpapi.protect && g_dpapi.unprotect;
}

// Windows 2000 wants a description; it is kept in the blob in clear.
const wchar_t kDescription[] = L"TARN";

}  // namespace

bool SecretProtectionAvailable()
{
    return Load();
}

bool ProtectSecret(const char* text, std::string* blob, DWORD* error)
{
    blob->clear();
    *error = 0;
    if (!Load()) {
        *error = ERROR_PROC_NOT_FOUND;
        return false;
    }
    DATA_BLOB in = {static_cast<DWORD>(text ? strlen(text) : 0),
                    reinterpret_cast<BYTE*>(const_cast<char*>(text ? text : ""))};
    DATA_BLOB out = {0, nullptr};
    if (!g_dpapi.protect(&in, kDescription, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
        *error = GetLastError();
        return false;
    }
    blob->assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return true;
}

bool UnprotectSecret(const std::string& blob, char* out, size_t size)
{
    if (size)
        out[0] = 0;
    if (!size || blob.empty() || !Load())
        return false;
    DATA_BLOB in = {static_cast<DWORD>(blob.size()), reinterpret_cast<BYTE*>(const_cast<char*>(blob.data()))};
    DATA_BLOB clear = {0, nullptr};
    if (!g_dpapi.unprotect(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &clear))
        return false;
    bool fits = clear.cbData < size && !memchr(clear.pbData, 0, clear.cbData);
    if (fits) {
        memcpy(out, clear.pbData, clear.cbData);
        out[clear.cbData] = 0;
    }
    SecureZeroMemory(clear.pbData, clear.cbData);
    LocalFree(clear.pbData);
    return fits;
}
