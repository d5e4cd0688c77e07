// FLAC streams of the drive's thread (see FlacReading.h).
#include "FlacReading.h"

#include <stdio.h>
#include <string.h>

#include "../../../common/Text.h"
#include "../../FlacImage.h"

void readFlacBytes(FlacStream** stream, const char* utf8Path, uint64_t offset, size_t bytes, uint64_t dataEnd,
                   int16_t* samples) {
    size_t readable = offset >= dataEnd ? 0 : dataEnd - offset < bytes ? (size_t)(dataEnd - offset) : bytes;
    memset((char*)samples + readable, 0, bytes - readable);
    if (!*stream) {
        wchar_t wide[kFileNameSize];
        FILE* file = utf8ToWide(utf8Path, wide, kFileNameSize) ? _wfopen(wide, L"rb") : 0;
        *stream = file ? openFlacStream(file) : 0;
    }
    if (!*stream) {
        memset(samples, 0, readable);
        return;
    }
    readFlacSamples(*stream, offset / 4, (uint32_t)(readable / 4), samples);
}

void closeFlacStreams(FlacStream** streams, int count) {
    for (int i = 0; i < count; i++) {
        closeFlacStream(streams[i]);
        streams[i] = 0;
    }
}

int readFlacHead(const wchar_t* path, FlacHead* head, ImageFile* image) {
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return kImageMissingFile;
    ImageError error = inspectFlac(file, head);
    fclose(file);
    if (error == kImageOk)
        flacImageFile(*head, image);
    return error;
}

int flacOwnSheet(const wchar_t* path, const FlacHead& head, CueSheet* sheet) {
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at; at++)
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    char ownName[kFileNameSize];
    if (!wideToUtf8(name, ownName, sizeof ownName))
        return kImageMissingFile;
    return flacCueSheet(head, ownName, sheet);
}

int audioFileKind(const wchar_t* path) {
    uint8_t head[12] = {};
    FILE* file = _wfopen(path, L"rb");
    int flac = file && fileIsFlac(file);
    size_t got = file ? fread(head, 1, sizeof head, file) : 0;
    if (file)
        fclose(file);
    if (flac)
        return 1;
    return got == sizeof head && memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "WAVE", 4) == 0 ? 2 : 0;
}
