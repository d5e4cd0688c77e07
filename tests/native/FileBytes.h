// Whole files as bytes, for tests that check what stands on disk.
#pragma once

#include <stdio.h>

#include <string>

#ifdef _WIN32
#include "../win32/WideText.h"
#else
inline FILE* openNamed(const std::string& path, const char* mode) { return fopen(path.c_str(), mode); }
#endif

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string readBytes(const std::string& path) {
    FILE* file = openNamed(path, "rb");
    if (!file)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

// Returns false when the file cannot be created.
inline bool writeBytes(const std::string& path, const std::string& bytes) {
    FILE* file = openNamed(path, "wb");
    if (!file)
        return false;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return true;
}
