#include <stdio.h>
#include <sys/stat.h>

#include "FileLayer.h"

namespace {

int stdioExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

FileHandle stdioOpenRead(const char* path) { return fopen(path, "rb"); }

FileHandle stdioOpenWrite(const char* path) { return fopen(path, "wb"); }

long stdioRead(FileHandle file, char* buffer, size_t size) {
    size_t got = fread(buffer, 1, size, (FILE*)file);
    if (got == 0 && ferror((FILE*)file))
        return -1;
    return (long)got;
}

int stdioWrite(FileHandle file, const char* bytes, size_t size) {
    return fwrite(bytes, 1, size, (FILE*)file) == size;
}

int stdioClose(FileHandle file) {
    int flushed = fflush((FILE*)file) == 0;
    int closed = fclose((FILE*)file) == 0;
    return flushed && closed;
}

void stdioRemove(const char* path) { remove(path); }

} // namespace

const FileLayer stdioFileLayer = {stdioExists, stdioOpenRead, stdioOpenWrite, stdioRead, stdioWrite,
                                  stdioClose,  replaceFile,   renameFile,     stdioRemove};

FileLayer fileLayer = stdioFileLayer;
