#include "Text.h"

#include <stdarg.h>
#include <string.h>

// Files, the registry and the help, by Shift-JIS paths.

namespace {

struct WidePath {
    wchar_t text[kWideTextSize];
    int32_t ok;
    explicit WidePath(const char* path) : text(), ok(0) { ok = toWide(path, text, kWideTextSize); }
};

} // namespace

DWORD fileAttributes(const char* path) {
    if (!wideCallsInUse())
        return GetFileAttributesA(path);
    WidePath wide(path);
    return wide.ok ? GetFileAttributesW(wide.text) : INVALID_FILE_ATTRIBUTES;
}

HANDLE openFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
    if (!wideCallsInUse())
        return CreateFileA(path, access, share, 0, disposition, FILE_ATTRIBUTE_NORMAL, 0);
    WidePath wide(path);
    if (!wide.ok)
        return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.text, access, share, 0, disposition, FILE_ATTRIBUTE_NORMAL, 0);
}

FILE* openStream(const char* path, const char* mode) {
    if (!wideCallsInUse())
        return fopen(path, mode);
    WidePath wide(path), wideMode(mode);
    return wide.ok && wideMode.ok ? _wfopen(wide.text, wideMode.text) : 0;
}

BOOL moveFile(const char* from, const char* to, DWORD flags) {
    if (!wideCallsInUse())
        return flags ? MoveFileExA(from, to, flags) : MoveFileA(from, to);
    WidePath wideFrom(from), wideTo(to);
    if (!wideFrom.ok || !wideTo.ok)
        return FALSE;
    return flags ? MoveFileExW(wideFrom.text, wideTo.text, flags) : MoveFileW(wideFrom.text, wideTo.text);
}

BOOL deleteFile(const char* path) {
    if (!wideCallsInUse())
        return DeleteFileA(path);
    WidePath wide(path);
    return wide.ok && DeleteFileW(wide.text);
}

BOOL copyFile(const char* from, const char* to) {
    if (!wideCallsInUse())
        return CopyFileA(from, to, FALSE);
    WidePath wideFrom(from), wideTo(to);
    return wideFrom.ok && wideTo.ok && CopyFileW(wideFrom.text, wideTo.text, FALSE);
}

HANDLE watchFolder(const char* folder, DWORD changes) {
    if (!wideCallsInUse())
        return FindFirstChangeNotificationA(folder, FALSE, changes);
    // Looked up, as Windows 95 may lack the wide call.
    typedef HANDLE(WINAPI * WatchCall)(LPCWSTR, BOOL, DWORD);
    static WatchCall watch;
    if (!watch)
        watch = (WatchCall)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "FindFirstChangeNotificationW");
    WidePath wide(folder);
    return watch && wide.ok ? watch(wide.text, FALSE, changes) : INVALID_HANDLE_VALUE;
}

DWORD fullPathName(const char* path, char* full, DWORD size) {
    if (!wideCallsInUse())
        return GetFullPathNameA(path, size, full, 0);
    WidePath wide(path);
    wchar_t wideFull[kWideTextSize];
    DWORD length = wide.ok ? GetFullPathNameW(wide.text, kWideTextSize, wideFull, 0) : 0;
    if (!length || length >= (DWORD)kWideTextSize)
        return 0;
    return toShiftJis(wideFull, full, (int)size) ? (DWORD)strlen(full) : size;
}

DWORD moduleFileName(HMODULE module, char* path, DWORD size) {
    path[0] = 0;
    if (!wideCallsInUse())
        return GetModuleFileNameA(module, path, size);
    wchar_t wide[kWideTextSize] = {};
    DWORD length = GetModuleFileNameW(module, wide, kWideTextSize);
    if (!length || length >= (DWORD)kWideTextSize)
        return 0;
    return shiftJisPath(wide, path, (int)size) ? (DWORD)strlen(path) : 0;
}

LONG queryValue(HKEY key, const char* name, DWORD* type, BYTE* bytes, DWORD* size) {
    DWORD kind = 0;
    if (!wideCallsInUse()) {
        LONG result = RegQueryValueExA(key, name, 0, &kind, bytes, size);
        if (type)
            *type = kind;
        return result;
    }
    WidePath wideName(name ? name : "");
    wchar_t value[kWideTextSize + 1] = {};
    DWORD valueSize = kWideTextSize * sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, wideName.text, 0, &kind, (BYTE*)value, &valueSize);
    if (type)
        *type = kind;
    if (result != ERROR_SUCCESS)
        return result;
    if (kind != REG_SZ && kind != REG_EXPAND_SZ && kind != REG_MULTI_SZ) {
        if (valueSize > *size)
            return ERROR_MORE_DATA;
        memcpy(bytes, value, valueSize);
        *size = valueSize;
        return ERROR_SUCCESS;
    }
    char text[kWideTextSize * 2];
    if (!toShiftJis(value, text, sizeof text))
        return ERROR_INVALID_DATA;
    DWORD length = (DWORD)strlen(text) + 1;
    if (length > *size)
        return ERROR_MORE_DATA;
    memcpy(bytes, text, length);
    *size = length;
    return ERROR_SUCCESS;
}

LONG setTextValue(HKEY key, const char* name, const char* text) {
    if (!wideCallsInUse())
        return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    WidePath wideName(name ? name : ""), wideValue(text);
    if (!wideName.ok || !wideValue.ok)
        return ERROR_INVALID_DATA;
    DWORD size = (DWORD)(lstrlenW(wideValue.text) + 1) * sizeof(wchar_t);
    return RegSetValueExW(key, wideName.text, 0, REG_SZ, (const BYTE*)wideValue.text, size);
}

void printText(FILE* stream, const char* format, ...) {
    char text[kWideTextSize * 2];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode, written;
    wchar_t wide[kWideTextSize * 2];
    if (wideCallsInUse() && GetConsoleMode(console, &mode) && toWide(text, wide, kWideTextSize * 2)) {
        fflush(stream);
        WriteConsoleW(console, wide, (DWORD)lstrlenW(wide), &written, 0);
        return;
    }
    fputs(text, stream);
}

BOOL showHelp(HWND owner, const char* path, UINT command) {
    if (!wideCallsInUse())
        return WinHelpA(owner, path, command, 0);
    WidePath wide(path);
    return WinHelpW(owner, wide.text, command, 0);
}
