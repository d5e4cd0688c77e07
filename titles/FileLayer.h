// The title index's access to files: a thin table of operations, so that a
// test can make any one of them fail. The default layer uses the C library's
// binary streams; the text-mode translation is the title index's own.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef void* FileHandle;

// What replace answers where the platform cannot replace a file in one step
// (MoveFileExA on the Windows 95 family).
const int kReplaceUnsupported = -1;

// What taking a save's lock gives.
enum LockResult { kLockTaken = 1, kLockBusy = 0, kLockFailed = -1 };

struct FileLayer {
    // 1 when a file exists at the path, readable or not.
    int (*exists)(const char* path);
    // 1 when the file is marked read-only.
    int (*readOnly)(const char* path);
    FileHandle (*openRead)(const char* path);
    // Creates or truncates.
    FileHandle (*openWrite)(const char* path);
    // Bytes read, 0 at the end, -1 on a read error.
    long (*read)(FileHandle file, char* buffer, size_t size);
    // 1 when every byte was written.
    int (*write)(FileHandle file, const char* bytes, size_t size);
    // Flushes and closes; 1 when both succeeded.
    int (*close)(FileHandle file);
    // Puts from in the place of to in one step: to keeps its old contents
    // until from has replaced it. 1 on success, 0 on failure,
    // kReplaceUnsupported where the platform has no such step.
    int (*replace)(const char* from, const char* to);
    // Gives a file a name that no file has. 1 on success.
    int (*rename)(const char* from, const char* to);
    void (*remove)(const char* path);
    // Takes the lock file at the path, open and shared with no one, waiting
    // a few seconds while another holds it.
    LockResult (*lock)(const char* path, FileHandle* held);
    // Lets it go and removes the file, unless another has taken it already.
    void (*unlock)(FileHandle held, const char* path);
};

// The layer in use; tests swap it for one that injects faults.
extern FileLayer fileLayer;
extern const FileLayer stdioFileLayer;

// What takes a path is linked per platform: on Windows the paths are
// Shift-JIS whatever the system's code page. replaceFile puts a file in the
// place of another in one step (rename on POSIX, MoveFileEx on Windows).
int pathExists(const char* path);
int pathReadOnly(const char* path);
FileHandle openPath(const char* path, const char* mode);
void removePath(const char* path);
int replaceFile(const char* from, const char* to);
int renameFile(const char* from, const char* to);
LockResult lockPath(const char* path, FileHandle* held);
// The size and last write time the file system gives for the file, without
// opening it (an open file would stand in another program's rename); 0 when
// there is no such file.
int pathStamp(const char* path, uint64_t* size, uint64_t* written);
void unlockPath(FileHandle held, const char* path);
