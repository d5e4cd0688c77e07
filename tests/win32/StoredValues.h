// What the registry holds, read back as the tests compare it.
#pragma once

#include <windows.h>

#include <string>

#include "WideText.h"

// A stored value as "type:bytes" ("sz:" for REG_SZ, "dword:" and the number
// for REG_DWORD), or "none".
inline std::string stored(HKEY root, const char* keyName, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "none";
    std::string bytes;
    DWORD type = 0;
    LONG result = queryRegistry(key, name, &type, &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return "none";
    if (type == REG_DWORD && bytes.size() == 4)
        return "dword:" + std::to_string(*(const DWORD*)bytes.data());
    return (type == REG_SZ ? "sz:" : "type" + std::to_string(type) + ":") + bytes;
}

// A text as stored() shows it.
inline std::string storedText(const std::string& text) { return "sz:" + text + '\0'; }

// The key's class, or "none" where there is no such key.
inline std::string keyClass(HKEY root, const char* keyName) {
    HKEY key;
    char name[64] = {};
    DWORD size = sizeof name;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "none";
    RegQueryInfoKeyA(key, name, &size, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    RegCloseKey(key);
    return name;
}

// A text value written, its key made where missing.
inline void storeText(HKEY root, const char* keyName, const char* name, const std::string& text) {
    HKEY key;
    RegCreateKeyExA(root, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    setRegistryText(key, name, text);
    RegCloseKey(key);
}
