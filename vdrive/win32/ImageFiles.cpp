#include "ImageFiles.h"

#include <stdio.h>
#include <string.h>

#include "../../common/Text.h"
#include "../CueSheet.h"

namespace {

const size_t kMaxSheetBytes = 256 * 1024;

// Files are opened by their wide names, so that any name works whatever the
// system's code page: a sheet in UTF-8 names them in UTF-8, any other in
// Shift-JIS, as its titles are read and as the sheet's own path is kept;
// the sheet's folder holds those named without a folder.
int widePath(const char* cuePath, const char* name, int utf8, wchar_t path[kFileNameSize]) {
    wchar_t wideName[kFileNameSize];
    if (!(utf8 ? utf8ToWide(name, wideName, kFileNameSize) : toWide(name, wideName, kFileNameSize)))
        return 0;
    int absolute = strchr(name, ':') || name[0] == '\\' || name[0] == '/';
    // The sheet's folder is found in its wide path: in code page 932 the
    // byte 0x5C, the backslash, also ends characters such as "ソ" and "表".
    wchar_t folder[kFileNameSize] = {};
    if (!absolute) {
        if (!toWide(cuePath, folder, kFileNameSize))
            return 0;
        wchar_t* slash = wcsrchr(folder, L'\\');
        wchar_t* other = wcsrchr(folder, L'/');
        if (other > slash)
            slash = other;
        if (slash)
            slash[1] = 0;
        else
            folder[0] = 0;
    }
    int written = _snwprintf(path, kFileNameSize, L"%ls%ls", folder, wideName);
    return written >= 0 && written < kFileNameSize;
}

// The disc keeps its files' names in UTF-8, whatever the code page.
int toUtf8(const wchar_t* path, char* text, int size) { return wideToUtf8(path, text, size); }

// A path as the log and the user read it.
void shown(const wchar_t* path, char* text, int size) {
    if (!toShiftJis(path, text, size))
        snprintf(text, size, "?");
}

int fileSize(const wchar_t* path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    *size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    return 1;
}

int refuse(char* reason, int reasonSize, const char* what, const char* detail) {
    snprintf(reason, reasonSize, "%s%s%s", what, detail[0] ? ": " : "", detail);
    return 0;
}

} // namespace

int loadImage(const char* cuePath, VirtualDisc* disc, char* reason, int reasonSize) {
    if (!cuePath[0]) {
        makeDemoDisc(disc);
        return 1;
    }
    FILE* cue = openStream(cuePath, "rb");
    if (!cue)
        return refuse(reason, reasonSize, imageErrorText(kImageMissingFile), cuePath);
    static char text[kMaxSheetBytes];
    size_t length = fread(text, 1, sizeof text, cue);
    int whole = feof(cue);
    fclose(cue);
    if (!whole)
        return refuse(reason, reasonSize, imageErrorText(kImageBadSyntax), "the sheet is too long");

    static CueSheet sheet;
    ImageError error = parseCueSheet(text, length, &sheet);
    if (error != kImageOk) {
        char line[32];
        snprintf(line, sizeof line, "line %d", (int)sheet.errorLine);
        return refuse(reason, reasonSize, imageErrorText(error), line);
    }
    static ImageFile files[kMaxFiles];
    static wchar_t paths[kMaxFiles][kFileNameSize];
    char shownPath[kFileNameSize];
    for (int32_t i = 0; i < sheet.fileCount; i++) {
        if (!widePath(cuePath, sheet.files[i], sheet.utf8, paths[i]))
            return refuse(reason, reasonSize, imageErrorText(kImageMissingFile), sheet.files[i]);
        shown(paths[i], shownPath, sizeof shownPath);
        uint64_t size;
        if (!fileSize(paths[i], &size))
            return refuse(reason, reasonSize, imageErrorText(kImageMissingFile), shownPath);
        if (sheet.fileType[i] == kFileBinary) {
            error = binaryFile(size, &files[i]);
        } else {
            uint8_t header[4096];
            FILE* wave = _wfopen(paths[i], L"rb");
            size_t got = wave ? fread(header, 1, sizeof header, wave) : 0;
            if (wave)
                fclose(wave);
            error = waveFile(header, got, size, &files[i]);
        }
        if (error != kImageOk)
            return refuse(reason, reasonSize, imageErrorText(error), shownPath);
    }
    error = buildDisc(sheet, files, disc);
    if (error != kImageOk)
        return refuse(reason, reasonSize, imageErrorText(error), "");
    for (int32_t i = 0; i < sheet.fileCount; i++)
        if (!toUtf8(paths[i], disc->files[i], kFileNameSize))
            return refuse(reason, reasonSize, imageErrorText(kImageMissingFile), "a file name too long");
    return 1;
}
