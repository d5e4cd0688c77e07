#include <stdio.h>

#include "FileLayer.h"

namespace {

FileHandle stdioOpenRead(const char* path) { return openPath(path, "rb"); }

FileHandle stdioOpenWrite(const char* path) { return openPath(path, "wb"); }

long stdioRead(FileHandle file, char* buffer, size_t size) {
    size_t got = fread(buffer, 1, size, (FILE*)file);
    if (got == 0 && ferror((FILE*)file))
        return -1;
    return (long)got;
}

int stdioWrite(FileHandle file, const char* bytes, size_t size) { return fwrite(bytes, 1, size, (FILE*)file) == size; }

int stdioClose(FileHandle file) {
    int flushed = fflush((FILE*)file) == 0;
    int closed = fclose((FILE*)file) == 0;
    return flushed && closed;
}

} // namespace

const FileLayer stdioFileLayer = {pathExists, pathReadOnly, stdioOpenRead, stdioOpenWrite, stdioRead, stdioWrite,
                                  stdioClose, replaceFile,  renameFile,    removePath,     lockPath,  unlockPath};

FileLayer fileLayer = stdioFileLayer;
