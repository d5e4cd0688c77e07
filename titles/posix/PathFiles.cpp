#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../FileLayer.h"

int pathExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

int pathStamp(const char* path, uint64_t* size, uint64_t* written) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    *size = (uint64_t)info.st_size;
    *written = (uint64_t)info.st_mtim.tv_sec * 1000000000u + (uint64_t)info.st_mtim.tv_nsec;
    return 1;
}

int pathReadOnly(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && !(info.st_mode & S_IWUSR);
}

FileHandle openPath(const char* path, const char* mode) { return fopen(path, mode); }

void removePath(const char* path) { remove(path); }

// rename replaces an existing file atomically on POSIX.
int replaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

int renameFile(const char* from, const char* to) { return rename(from, to) == 0; }

// An advisory lock on the file stands for the sharing that Windows refuses.
LockResult lockPath(const char* path, FileHandle* held) {
    int lock = open(path, O_RDWR | O_CREAT, 0644);
    if (lock < 0)
        return kLockFailed;
    for (int waited = 0; waited < 100; waited++) {
        if (flock(lock, LOCK_EX | LOCK_NB) == 0) {
            *held = (FileHandle)(intptr_t)(lock + 1);
            return kLockTaken;
        }
        usleep(50000);
    }
    close(lock);
    return kLockBusy;
}

void unlockPath(FileHandle held, const char* path) {
    (void)path;
    close((int)(intptr_t)held - 1);
}
