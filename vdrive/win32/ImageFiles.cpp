#include "ImageFiles.h"

#include <string.h>

#include "../CueSheet.h"

namespace {

const size_t kMaxSheetBytes = 256 * 1024;

// The sheet's own folder, for the files it names without a folder.
void resolve(const char* cuePath, const char* name, char* path, size_t size) {
    if (strchr(name, ':') || name[0] == '\\' || name[0] == '/') {
        snprintf(path, size, "%s", name);
        return;
    }
    const char* slash = strrchr(cuePath, '\\');
    const char* other = strrchr(cuePath, '/');
    if (other > slash)
        slash = other;
    int folder = slash ? (int)(slash - cuePath + 1) : 0;
    snprintf(path, size, "%.*s%s", folder, cuePath, name);
}

// Files are opened by their names in the system's code page: a sheet in
// UTF-8 names them in UTF-8, which is converted; 0 when a character has no
// place in the code page.
int nameInCodePage(const char* name, int utf8, char converted[kFileNameSize]) {
    if (!utf8) {
        snprintf(converted, kFileNameSize, "%s", name);
        return 1;
    }
    wchar_t wide[kFileNameSize];
    BOOL lost = FALSE;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide, kFileNameSize) > 0 &&
           WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, converted, kFileNameSize, 0, &lost) > 0 &&
           !lost;
}

int fileSize(const char* path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
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
    FILE* cue = fopen(cuePath, "rb");
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
    static char paths[kMaxFiles][kFileNameSize];
    for (int32_t i = 0; i < sheet.fileCount; i++) {
        char name[kFileNameSize];
        if (!nameInCodePage(sheet.files[i], sheet.utf8, name))
            return refuse(reason, reasonSize, imageErrorText(kImageMissingFile),
                          "a file name that the system's code page cannot hold");
        resolve(cuePath, name, paths[i], kFileNameSize);
        uint64_t size;
        if (!fileSize(paths[i], &size))
            return refuse(reason, reasonSize, imageErrorText(kImageMissingFile), paths[i]);
        if (sheet.fileType[i] == kFileBinary) {
            error = binaryFile(size, &files[i]);
        } else {
            uint8_t header[4096];
            FILE* wave = fopen(paths[i], "rb");
            size_t got = wave ? fread(header, 1, sizeof header, wave) : 0;
            if (wave)
                fclose(wave);
            error = waveFile(header, got, size, &files[i]);
        }
        if (error != kImageOk)
            return refuse(reason, reasonSize, imageErrorText(error), paths[i]);
    }
    error = buildDisc(sheet, files, disc);
    if (error != kImageOk)
        return refuse(reason, reasonSize, imageErrorText(error), "");
    for (int32_t i = 0; i < sheet.fileCount; i++)
        memcpy(disc->files[i], paths[i], kFileNameSize);
    return 1;
}

// ---- Sound ----------------------------------------------------------------------

namespace {

int16_t bufferSamples[kAudioBuffers][kFramesPerBuffer * kSamplesPerFrame * 2];

} // namespace

void AudioOut::start(const VirtualDisc* playing, uint32_t from, uint32_t to, int withSound) {
    stop();
    disc = playing;
    cursor = from;
    end = to;
    if (!withSound)
        return;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return;
    open = 1;
    for (int i = 0; i < kAudioBuffers; i++) {
        memset(&headers[i], 0, sizeof headers[i]);
        headers[i].lpData = (LPSTR)bufferSamples[i];
        headers[i].dwFlags = WHDR_DONE;
    }
    feed();
}

void AudioOut::feed() {
    if (!open)
        return;
    for (int i = 0; i < kAudioBuffers && cursor < end; i++) {
        WAVEHDR& header = headers[i];
        if (!(header.dwFlags & WHDR_DONE))
            continue;
        if (header.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(device, &header, sizeof header);
        uint32_t frames = end - cursor < kFramesPerBuffer ? end - cursor : kFramesPerBuffer;
        for (uint32_t f = 0; f < frames; f++)
            fill(bufferSamples[i] + f * kSamplesPerFrame * 2, cursor + f);
        cursor += frames;
        header.dwBufferLength = frames * kBytesPerFrame;
        header.dwFlags = 0;
        waveOutPrepareHeader(device, &header, sizeof header);
        waveOutWrite(device, &header, sizeof header);
    }
}

void AudioOut::fill(int16_t* samples, uint32_t frame) {
    int32_t index = disc->extentAt(frame);
    if (index < 0 || disc->extents[index].file == kSilence) {
        memset(samples, 0, kBytesPerFrame);
        return;
    }
    const DiscExtent& extent = disc->extents[index];
    if (extent.file == kDemoTones) {
        demoFrame(*disc, frame, samples);
        return;
    }
    FILE*& file = files[extent.file];
    if (!file)
        file = fopen(disc->files[extent.file], "rb");
    uint64_t offset = extent.fileOffset + (uint64_t)(frame - extent.firstFrame) * kBytesPerFrame;
    uint64_t end = disc->fileDataEnd[extent.file];
    size_t wanted = offset >= end ? 0 : end - offset < kBytesPerFrame ? (size_t)(end - offset) : kBytesPerFrame;
    size_t got = 0;
    if (file && wanted && fseek(file, (long)offset, SEEK_SET) == 0)
        got = fread(samples, 1, wanted, file);
    memset((char*)samples + got, 0, kBytesPerFrame - got);
}

void AudioOut::stop() {
    if (open) {
        waveOutReset(device);
        for (int i = 0; i < kAudioBuffers; i++)
            if (headers[i].dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(device, &headers[i], sizeof headers[i]);
        waveOutClose(device);
        open = 0;
    }
    for (FILE*& file : files)
        if (file) {
            fclose(file);
            file = 0;
        }
}
