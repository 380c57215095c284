// Windows' data protection (DPAPI) for saved passwords: crypt32.dll's
// CryptProtectData and CryptUnprotectData, loaded at run time, since Windows
// before 2000 has neither. A protected text can be read back only under the
// Windows logon that protected it.
#pragma once
#include <windows.h>

#include <string>

// True where Windows has both functions.
bool SecretProtectionAvailable();
// text (without its zero) protected for the current logon into *blob. False
// with *error set (GetLastError, or ERROR_PROC_NOT_FOUND without DPAPI) when
// Windows refused.
bool ProtectSecret(const char* text, std::string* blob, DWORD* error);
// The protected text back into out (size bytes with its zero). False, with
// out empty, when this logon cannot read it (another user or computer, a
// damaged value, no DPAPI) or when it is no text that fits.
bool UnprotectSecret(const std::string& blob, char* out, size_t size);
