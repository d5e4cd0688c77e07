#include "Places.h"

#include <stdio.h>
#include <string.h>

#include "ShiftJis.h"
#include "Text.h"

namespace {

const int kWideSize = 1024;
// CSIDL_APPDATA: the roaming application-data folder.
const int kAppDataFolder = 0x001A;

typedef HRESULT(WINAPI* FolderPathCall)(HWND, int, HANDLE, DWORD, LPWSTR);
typedef BOOL(WINAPI* SpecialFolderCall)(HWND, LPWSTR, int, BOOL);
typedef DWORD(WINAPI* LongPathCall)(LPCWSTR, LPWSTR, DWORD);
typedef DWORD(WINAPI* LongPathCallA)(LPCSTR, LPSTR, DWORD);

// SHGetFolderPathW from Windows 2000 on; SHGetSpecialFolderPathW where the
// shell is older.
int32_t shellAppData(wchar_t wide[MAX_PATH]) {
    HMODULE shell = LoadLibraryA("shell32.dll");
    if (!shell)
        return 0;
    FolderPathCall folderPath = (FolderPathCall)(void*)GetProcAddress(shell, "SHGetFolderPathW");
    SpecialFolderCall specialFolder = (SpecialFolderCall)(void*)GetProcAddress(shell, "SHGetSpecialFolderPathW");
    int32_t found = 0;
    if (folderPath)
        found = folderPath(0, kAppDataFolder, 0, 0, wide) == S_OK;
    else if (specialFolder)
        found = specialFolder(0, wide, kAppDataFolder, FALSE);
    FreeLibrary(shell);
    return found && wide[0];
}

// The full path with every folder in its long form, where the system can
// say it (Windows 98 and 2000 on) and the file exists.
void longFullPath(const char* path, char full[kPlacePathSize]) {
    DWORD length = fullPathName(path, full, kPlacePathSize);
    if (!length || length >= (DWORD)kPlacePathSize) {
        snprintf(full, kPlacePathSize, "%s", path);
        return;
    }
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!wideCallsInUse()) {
        LongPathCallA longPathA = (LongPathCallA)(void*)GetProcAddress(kernel, "GetLongPathNameA");
        char longer[kPlacePathSize];
        if (longPathA && (length = longPathA(full, longer, kPlacePathSize)) > 0 && length < (DWORD)kPlacePathSize)
            memcpy(full, longer, length + 1);
        return;
    }
    LongPathCall longPath = (LongPathCall)(void*)GetProcAddress(kernel, "GetLongPathNameW");
    wchar_t wide[kWideSize], longer[kWideSize];
    char shiftJis[kPlacePathSize];
    if (longPath && toWide(full, wide, kWideSize) && (length = longPath(wide, longer, kWideSize)) > 0 &&
        length < (DWORD)kWideSize && toShiftJis(longer, shiftJis, kPlacePathSize))
        memcpy(full, shiftJis, strlen(shiftJis) + 1);
}

// Opened for its identity only: no access, every share.
HANDLE openForIdentity(const char* path) {
    wchar_t wide[kWideSize];
    if (!toWide(path, wide, kWideSize))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, 0);
}

int32_t isMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// 1 or 0 where the identities answer; -1 where they cannot.
int32_t sameIdentity(const char* one, const char* other) {
    HANDLE first = openForIdentity(one);
    DWORD firstError = GetLastError();
    HANDLE second = openForIdentity(other);
    DWORD secondError = GetLastError();
    int32_t same = -1;
    BY_HANDLE_FILE_INFORMATION a, b;
    if (first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE) {
        if (GetFileInformationByHandle(first, &a) && GetFileInformationByHandle(second, &b))
            same = a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                   a.nFileIndexLow == b.nFileIndexLow;
    } else if (first != INVALID_HANDLE_VALUE && isMissing(secondError)) {
        same = 0;
    } else if (second != INVALID_HANDLE_VALUE && isMissing(firstError)) {
        same = 0;
    }
    if (first != INVALID_HANDLE_VALUE)
        CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
    return same;
}

int32_t isFile(const char* path) { return fileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

void userAppDataFolder(char folder[kPlacePathSize]) {
    folder[0] = 0;
    wchar_t wide[MAX_PATH] = {};
    if (!wideCallsInUse() || !shellAppData(wide) || !shiftJisPath(wide, folder, kPlacePathSize - 1)) {
        folder[0] = 0;
        return;
    }
    const char* separator = lastSeparator(folder);
    if (!separator || separator[1])
        strcat(folder, "\\");
}

// A file of a name no other start uses, made and removed at once (a
// temporary file name would not do: under Wine GetTempFileName answers a
// name also where it could not create the file).
int32_t canCreateFileIn(const char* folder) {
    if (!wideCallsInUse())
        return 1;
    for (int attempt = 0; attempt < 16; attempt++) {
        char name[kPlacePathSize];
        wchar_t wide[kWideSize];
        int length = snprintf(name, sizeof name, "%sdrovix-%lx-%d.tmp", folder, GetCurrentProcessId(), attempt);
        if (length < 0 || length >= (int)sizeof name || !toWide(name, wide, kWideSize))
            return 0;
        HANDLE made = CreateFileW(wide, GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, 0);
        if (made != INVALID_HANDLE_VALUE) {
            CloseHandle(made);
            return 1;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return 0;
    }
    return 0;
}

int32_t indexPlaceInUse(const char* setting, const char* programDir, IndexPlace* place) {
    char appData[kPlacePathSize];
    userAppDataFolder(appData);
    IndexFacts facts = {setting, programDir, appData, appData[0] ? canCreateFileIn(programDir) : 1, isFile};
    return placeIndex(facts, place);
}

int32_t makeIndexFolder(const char* folder) {
    if (!folder[0] || isFile(folder))
        return 1;
    wchar_t wide[kWideSize];
    return toWide(folder, wide, kWideSize) && CreateDirectoryW(wide, 0);
}

int32_t sameFile(const char* one, const char* other) {
    if (wideCallsInUse()) {
        int32_t same = sameIdentity(one, other);
        if (same >= 0)
            return same;
    }
    char fullOne[kPlacePathSize], fullOther[kPlacePathSize];
    longFullPath(one, fullOne);
    longFullPath(other, fullOther);
    return samePathSpelling(fullOne, fullOther);
}
