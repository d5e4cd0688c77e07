#include <stdio.h>
#include <sys/stat.h>

#include "../FileLayer.h"

int pathExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
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
