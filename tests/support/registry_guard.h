// Test access to the program's registry key, independent of the store under test.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Moves whatever HKCU\Software\Varnholt\tarn holds aside for the life of the
// guard (the test starts with no key) and puts it back afterwards, deleting
// everything the test wrote.
struct RegistryGuard {
    RegistryGuard();
    ~RegistryGuard();
    RegistryGuard(const RegistryGuard&) = delete;
    RegistryGuard& operator=(const RegistryGuard&) = delete;
    struct Node;
    Node* saved;
};

// Paths below are relative to HKCU\Software\Varnholt\tarn ("" is the key itself).
bool RegKeyExists(const std::string& folder);
// The REG_SZ value, or "" when it is missing; *exists tells which.
std::string RegText(const std::string& folder, const char* name, bool* exists = nullptr);
void RegSetText(const std::string& folder, const char* name, const std::string& text);
// Any value's type and bytes as stored (REG_SZ with its zero); false when
// it is missing.
bool RegBytes(const std::string& folder, const char* name, std::string* bytes, DWORD* type = nullptr);
void RegSetBytes(const std::string& folder, const char* name, const std::string& bytes, DWORD type = REG_BINARY);
// Names of the folder's values (of any type) that give the password away:
// that hold it as it is, or that the older stored form decodes to it for
// user. Empty when none does.
std::vector<std::string> RegValuesRevealing(const std::string& folder, const std::string& user,
                                            const std::string& password);
// Names of the values of a folder, sorted.
std::vector<std::string> RegValueNames(const std::string& folder);
// Deletes a key and all it holds (HKCU-relative full path).
void RegDeleteTreeHkcu(const std::string& path);
