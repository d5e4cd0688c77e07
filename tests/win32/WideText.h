// What a test types, reads back and names, through the wide calls with code
// page 932 converted explicitly: the same bytes whatever the system's code
// page, so that the same tests hold on a Japanese Windows and on any other.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>

inline std::wstring wide(const std::string& text) {
    wchar_t converted[2048] = {};
    MultiByteToWideChar(932, 0, text.c_str(), -1, converted, 2048);
    return converted;
}

inline std::string shiftJis(const wchar_t* text) {
    char converted[4096] = {};
    WideCharToMultiByte(932, 0, text, -1, converted, sizeof converted, 0, 0);
    return converted;
}

inline std::string windowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return shiftJis(text);
}

inline std::string controlText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

inline void putText(HWND window, const std::string& text) { SetWindowTextW(window, wide(text).c_str()); }

// Typed over the selection, as the keyboard types.
inline void typeInto(HWND edit, const std::string& text) {
    SendMessageW(edit, EM_REPLACESEL, TRUE, (LPARAM)wide(text).c_str());
}

inline std::string menuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return shiftJis(text);
}

inline std::string listText(HWND list, int index) {
    wchar_t text[1024] = {};
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length >= 0 && length < 1024)
        SendMessageW(list, LB_GETTEXT, index, (LPARAM)text);
    return shiftJis(text);
}

// Files by their Shift-JIS names.
inline FILE* openNamed(const std::string& path, const char* mode) {
    return _wfopen(wide(path).c_str(), wide(mode).c_str());
}
inline bool makeFolder(const std::string& path) { return CreateDirectoryW(wide(path).c_str(), 0) != 0; }
inline bool copyNamed(const std::string& from, const std::string& to) {
    return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != 0;
}
inline bool deleteNamed(const std::string& path) { return DeleteFileW(wide(path).c_str()) != 0; }
inline bool removeFolder(const std::string& path) { return RemoveDirectoryW(wide(path).c_str()) != 0; }
inline bool isNamed(const std::string& path) { return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A registry text by its Shift-JIS form, stored and read as the system
// keeps it (UTF-16), so that what a test stores reads the same anywhere.
inline LONG setRegistryText(HKEY key, const char* name, const std::string& text) {
    std::wstring value = wide(text);
    return RegSetValueExW(key, name ? wide(name).c_str() : 0, 0, REG_SZ, (const BYTE*)value.c_str(),
                          (DWORD)(value.size() + 1) * sizeof(wchar_t));
}

// A value's bytes as a Japanese Windows's ANSI query gives them: a text in
// Shift-JIS with its terminator, anything else as it stands.
inline LONG queryRegistry(HKEY key, const char* name, DWORD* type, std::string* bytes) {
    wchar_t value[2048] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, name ? wide(name).c_str() : 0, 0, type, (BYTE*)value, &size);
    if (result != ERROR_SUCCESS)
        return result;
    if (*type == REG_SZ || *type == REG_EXPAND_SZ)
        *bytes = shiftJis(value) + '\0';
    else
        bytes->assign((const char*)value, size);
    return result;
}

// A dialog of this program's resources made as the programs make theirs on
// the NT family: wide.
inline HWND createDialogAsShown(int resource, HWND owner, DLGPROC procedure) {
    return CreateDialogParamW(GetModuleHandleW(0), MAKEINTRESOURCEW(resource), owner, procedure, 0);
}
