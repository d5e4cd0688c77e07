#include "ImageFiles.h"

#include <stdio.h>
#include <string.h>

#include "../../../common/Text.h"
#include "../../CueSheet.h"
#include "../../FlacImage.h"
#include "FlacReading.h"

namespace {

const size_t kMaxSheetBytes = 256 * 1024;

// Files are opened by their wide names, so that any name works whatever the
// system's code page: a sheet in UTF-8 names them in UTF-8, any other in
// Shift-JIS, as its titles are read and as the sheet's own path is kept;
// the sheet's folder holds those named without a folder.
int widePath(const wchar_t* cuePath, const char* name, int utf8, wchar_t path[kFileNameSize]) {
    wchar_t wideName[kFileNameSize];
    if (!(utf8 ? utf8ToWide(name, wideName, kFileNameSize) : toWide(name, wideName, kFileNameSize)))
        return 0;
    int absolute = strchr(name, ':') || name[0] == '\\' || name[0] == '/';
    // The sheet's folder is found in its wide path: in code page 932 the
    // byte 0x5C, the backslash, also ends characters such as "ソ" and "表".
    wchar_t folder[kFileNameSize] = {};
    if (!absolute) {
        if (wcslen(cuePath) >= (size_t)kFileNameSize)
            return 0;
        wcscpy(folder, cuePath);
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


int fileSize(const wchar_t* path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    *size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    return 1;
}

int refuse(ImageRefusal* refusal, ImageError error, const char* file) {
    refusal->error = error;
    snprintf(refusal->file, sizeof refusal->file, "%s", file);
    return 0;
}

int refuseFlac(ImageRefusal* refusal, ImageError error, const FlacHead& head, const char* file) {
    if (error == kImageBadFlac) {
        refusal->rate = head.format.rate;
        refusal->bits = head.format.bits;
        refusal->channels = head.format.channels;
    }
    return refuse(refusal, error, file);
}

const char* japaneseText(ImageError error) {
    switch (error) {
    case kImageOk:
        break;
    case kImageBadSyntax:
        return "CUE シートとして読めません";
    case kImageTooManyTracks:
        return "トラックが 99 を超えています";
    case kImageTooManyFiles:
        return "ファイルが 99 を超えています";
    case kImageNoTracks:
        return "トラックがありません";
    case kImageNoAudioTrack:
        return "音楽のトラックがありません";
    case kImageMissingFile:
        return "イメージのファイルがありません";
    case kImageTruncated:
        return "イメージのファイルがシートの言うより短くなっています";
    case kImageBadWave:
        return "WAV ファイルが 44.1 kHz 16 ビット ステレオの PCM ではありません";
    case kImageUnsupportedFile:
        return "ドライブが再生できない種類のファイルかトラックです";
    case kImageBadFlac:
        return "FLAC ファイルが 44.1 kHz 16 ビット ステレオではありません";
    case kImageDamagedFlac:
        return "FLAC ファイルが壊れているか、途中で切れています";
    case kImageNotAudio:
        return "WAV でも FLAC でもないファイルです";
    }
    return "";
}

} // namespace

void shownPath(const wchar_t* path, char* text, int size) {
    if (!WideCharToMultiByte(932, 0, path, -1, text, size, "?", 0))
        snprintf(text, size, "?");
}

int loadImage(const wchar_t* cuePath, VirtualDisc* disc, ImageRefusal* refusal) {
    memset(refusal, 0, sizeof *refusal);
    if (!cuePath[0]) {
        makeDemoDisc(disc);
        return 1;
    }
    char shownSheet[kFileNameSize];
    shownPath(cuePath, shownSheet, sizeof shownSheet);
    FILE* cue = _wfopen(cuePath, L"rb");
    if (!cue)
        return refuse(refusal, kImageMissingFile, shownSheet);
    int flac = fileIsFlac(cue);
    static char text[kMaxSheetBytes];
    size_t length = fread(text, 1, sizeof text, cue);
    int whole = feof(cue);
    fclose(cue);
    static CueSheet sheet;
    static FlacHead head;
    ImageError error;
    if (flac) {
        // A FLAC file with its own sheet is the image itself.
        ImageFile ignored;
        error = (ImageError)readFlacHead(cuePath, &head, &ignored);
        if (error == kImageOk)
            error = (ImageError)flacOwnSheet(cuePath, head, &sheet);
        if (error != kImageOk)
            return refuseFlac(refusal, error, head, shownSheet);
    } else if (!whole) {
        refusal->sheetTooLong = 1;
        return refuse(refusal, kImageBadSyntax, shownSheet);
    } else if ((error = parseCueSheet(text, length, &sheet)) != kImageOk) {
        refusal->line = sheet.errorLine;
        return refuse(refusal, error, shownSheet);
    }
    static ImageFile files[kMaxFiles];
    static wchar_t paths[kMaxFiles][kFileNameSize];
    char shownFile[kFileNameSize];
    for (int32_t i = 0; i < sheet.fileCount; i++) {
        if (!widePath(cuePath, sheet.files[i], sheet.utf8, paths[i]))
            return refuse(refusal, kImageMissingFile, sheet.files[i]);
        shownPath(paths[i], shownFile, sizeof shownFile);
        uint64_t size;
        if (!fileSize(paths[i], &size))
            return refuse(refusal, kImageMissingFile, shownFile);
        int kind = sheet.fileType[i] == kFileBinary ? -1 : audioFileKind(paths[i]);
        if (kind == -1) {
            error = binaryFile(size, &files[i]);
        } else if (kind == 1) {
            if ((error = (ImageError)readFlacHead(paths[i], &head, &files[i])) != kImageOk)
                return refuseFlac(refusal, error, head, shownFile);
        } else if (kind == 0) {
            error = kImageNotAudio;
        } else {
            uint8_t header[4096];
            FILE* wave = _wfopen(paths[i], L"rb");
            size_t got = wave ? fread(header, 1, sizeof header, wave) : 0;
            if (wave)
                fclose(wave);
            error = waveFile(header, got, size, &files[i]);
        }
        if (error != kImageOk)
            return refuse(refusal, error, shownFile);
    }
    error = buildDisc(sheet, files, disc);
    if (error != kImageOk)
        return refuse(refusal, error, shownSheet);
    for (int32_t i = 0; i < sheet.fileCount; i++)
        if (!toUtf8(paths[i], disc->files[i], kFileNameSize))
            return refuse(refusal, kImageMissingFile, sheet.files[i]);
    return 1;
}

void refusalText(const ImageRefusal& refusal, char* text, int size) {
    if (refusal.sheetTooLong)
        snprintf(text, size, "%s: the sheet is too long", imageErrorText(refusal.error));
    else if (refusal.line)
        snprintf(text, size, "%s: line %d", imageErrorText(refusal.error), (int)refusal.line);
    else if (refusal.rate)
        snprintf(text, size, "%s (%u Hz, %u-bit, %u channels): %s", imageErrorText(refusal.error),
                 (unsigned)refusal.rate, (unsigned)refusal.bits, (unsigned)refusal.channels, refusal.file);
    else
        snprintf(text, size, "%s: %s", imageErrorText(refusal.error), refusal.file);
}

void refusalTextJapanese(const ImageRefusal& refusal, char* text, int size) {
    if (refusal.sheetTooLong)
        snprintf(text, size, "CUE シートが長すぎます: %s", refusal.file);
    else if (refusal.line)
        snprintf(text, size, "%s (%d 行目): %s", japaneseText(refusal.error), (int)refusal.line, refusal.file);
    else if (refusal.rate)
        snprintf(text, size, "%s (%u Hz %u ビット %u チャンネル): %s", japaneseText(refusal.error),
                 (unsigned)refusal.rate, (unsigned)refusal.bits, (unsigned)refusal.channels, refusal.file);
    else
        snprintf(text, size, "%s: %s", japaneseText(refusal.error), refusal.file);
}
