#include "registry_guard.h"

#include "store/password.h"

#include <algorithm>

static const char kRoot[] = "Software\\Varnholt\\tarn";

struct RegistryGuard::Node {
    std::string name;
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    std::vector<Node*> children;
    ~Node()
    {
        for (Node* c : children)
            delete c;
    }
};

static std::string FullPath(const std::string& folder)
{
    return folder.empty() ? std::string(kRoot) : std::string(kRoot) + "\\" + folder;
}

static RegistryGuard::Node* Snapshot(HKEY key, const std::string& name)
{
    auto* node = new RegistryGuard::Node{name, {}, {}};
    for (DWORD i = 0;; ++i) {
        char vname[16384];
        DWORD vlen = sizeof vname, type = 0, size = 0;
        if (RegEnumValueA(key, i, vname, &vlen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size + 1);
        vlen = sizeof vname;
        DWORD dsize = size;
        RegEnumValueA(key, i, vname, &vlen, nullptr, &type, data.data(), &dsize);
        data.resize(dsize);
        node->values.push_back({vname, type, data});
    }
    for (DWORD i = 0;; ++i) {
        char kname[300];
        DWORD klen = sizeof kname;
        if (RegEnumKeyExA(key, i, kname, &klen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub;
        if (RegOpenKeyExA(key, kname, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            node->children.push_back(Snapshot(sub, kname));
            RegCloseKey(sub);
        }
    }
    return node;
}

static void Restore(HKEY parent, const RegistryGuard::Node* node)
{
    HKEY key;
    DWORD disp;
    if (RegCreateKeyExA(parent, node->name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disp) !=
        ERROR_SUCCESS)
        return;
    for (const auto& v : node->values)
        RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    for (const auto* c : node->children)
        Restore(key, c);
    RegCloseKey(key);
}

static void DeleteTree(HKEY parent, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (;;) {
        char kname[300];
        DWORD klen = sizeof kname;
        if (RegEnumKeyExA(key, 0, kname, &klen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DeleteTree(key, kname);
        HKEY probe;
        if (RegOpenKeyExA(key, kname, 0, KEY_READ, &probe) == ERROR_SUCCESS) {  // still there: give up
            RegCloseKey(probe);
            break;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}

void RegDeleteTreeHkcu(const std::string& path)
{
    DeleteTree(HKEY_CURRENT_USER, path);
}

RegistryGuard::RegistryGuard() : saved(nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        saved = Snapshot(key, kRoot);
        RegCloseKey(key);
    }
    RegDeleteTreeHkcu(kRoot);
}

RegistryGuard::~RegistryGuard()
{
    RegDeleteTreeHkcu(kRoot);
    if (saved) {
        Restore(HKEY_CURRENT_USER, saved);
        delete saved;
    }
}

bool RegKeyExists(const std::string& folder)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FullPath(folder).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string RegText(const std::string& folder, const char* name, bool* exists)
{
    if (exists)
        *exists = false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FullPath(folder).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char data[4096] = "";
    DWORD size = sizeof data - 1, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return "";
    if (exists)
        *exists = true;
    data[size] = 0;
    return data;
}

void RegSetText(const std::string& folder, const char* name, const std::string& text)
{
    HKEY key;
    DWORD disp;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, FullPath(folder).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disp) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

bool RegBytes(const std::string& folder, const char* name, std::string* bytes, DWORD* type)
{
    bytes->clear();
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FullPath(folder).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(65536);
    DWORD size = static_cast<DWORD>(data.size()), kind = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &kind, data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return false;
    bytes->assign(reinterpret_cast<const char*>(data.data()), size);
    if (type)
        *type = kind;
    return true;
}

void RegSetBytes(const std::string& folder, const char* name, const std::string& bytes, DWORD type)
{
    HKEY key;
    DWORD disp;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, FullPath(folder).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disp) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

std::vector<std::string> RegValuesRevealing(const std::string& folder, const std::string& user,
                                            const std::string& password)
{
    std::vector<std::string> revealing;
    for (const std::string& name : RegValueNames(folder)) {
        std::string bytes;
        RegBytes(folder, name.c_str(), &bytes);
        const std::string text = bytes.substr(0, bytes.find('\0'));
        if (bytes.find(password) != std::string::npos || DecodePassword(user.c_str(), text.c_str()) == password ||
            DecodePassword(user.c_str(), bytes.c_str()) == password)
            revealing.push_back(name);
    }
    return revealing;
}

std::vector<std::string> RegValueNames(const std::string& folder)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FullPath(folder).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char vname[16384];
        DWORD vlen = sizeof vname;
        if (RegEnumValueA(key, i, vname, &vlen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(vname);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}
