#include <windows.h>

#include <string.h>

#include "../../common/Text.h"
#include "../FileLayer.h"

// Paths are Shift-JIS: on a system with another code page they reach the
// file system through the wide calls.
int pathExists(const char* path) { return fileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

int pathReadOnly(const char* path) {
    DWORD attributes = fileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

namespace {

template <typename FindData> int stampOf(HANDLE found, const FindData& data, uint64_t* size, uint64_t* written) {
    if (found == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(found);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    *size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    *written = ((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
    return 1;
}

} // namespace

// The folder's entry answers without opening the file (GetFileAttributesEx
// is missing on Windows 95).
int pathStamp(const char* path, uint64_t* size, uint64_t* written) {
    // A pattern would answer for another file.
    if (strchr(path, '*') || strchr(path, '?'))
        return 0;
    if (!wideCallsInUse()) {
        WIN32_FIND_DATAA data;
        return stampOf(FindFirstFileA(path, &data), data, size, written);
    }
    static wchar_t wide[kWideTextSize];
    if (!toWide(path, wide, kWideTextSize))
        return 0;
    WIN32_FIND_DATAW data;
    return stampOf(FindFirstFileW(wide, &data), data, size, written);
}

FileHandle openPath(const char* path, const char* mode) { return openStream(path, mode); }

void removePath(const char* path) { deleteFile(path); }

// Unlike a delete followed by a rename, there is no moment at which neither
// file holds the records; write-through makes the new name durable.
// The Windows 95 family has the call but not the step: it answers that it is
// not implemented, and the title index then replaces the file in steps.
int replaceFile(const char* from, const char* to) {
    if (moveFile(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? kReplaceUnsupported : 0;
}

int renameFile(const char* from, const char* to) { return moveFile(from, to, 0) != 0; }

// Another holder's lock shows as a sharing violation; on a share, a lock file
// that its holder is removing at that moment as access denied for a while.
// Either is waited for, up to five seconds.
LockResult lockPath(const char* path, FileHandle* held) {
    for (int waited = 0; waited < 100; waited++) {
        HANDLE lock = openFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
        if (lock != INVALID_HANDLE_VALUE) {
            *held = lock;
            return kLockTaken;
        }
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED)
            return kLockFailed;
        // A folder this user cannot write answers access denied for good.
        if (error == ERROR_ACCESS_DENIED && !pathExists(path))
            return kLockFailed;
        Sleep(50);
    }
    return kLockBusy;
}

void unlockPath(FileHandle held, const char* path) {
    CloseHandle((HANDLE)held);
    deleteFile(path);
}
