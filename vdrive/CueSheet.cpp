#include "CueSheet.h"

#include <string.h>

namespace {

// A cursor over one line of the sheet.
struct Words {
    const char* at;
    const char* end;

    void skipBlanks() {
        while (at < end && (*at == ' ' || *at == '\t'))
            at++;
    }

    // The next word, or a quoted text without its quotes; 0 when none.
    int next(char* word, int size) {
        skipBlanks();
        if (at >= end)
            return 0;
        int length = 0;
        if (*at == '"') {
            const char* close = (const char*)memchr(at + 1, '"', end - at - 1);
            if (!close)
                return 0;
            for (const char* p = at + 1; p < close && length < size - 1; p++)
                word[length++] = *p;
            if (close - at - 1 >= size)
                return 0;
            at = close + 1;
        } else {
            while (at < end && *at != ' ' && *at != '\t') {
                if (length >= size - 1)
                    return 0;
                word[length++] = *at++;
            }
        }
        word[length] = 0;
        return 1;
    }

    int atEnd() {
        skipBlanks();
        return at >= end;
    }
};

int sameWord(const char* a, const char* b) {
    for (; *a && *b; a++, b++) {
        char x = *a >= 'a' && *a <= 'z' ? *a - 32 : *a;
        if (x != *b)
            return 0;
    }
    return *a == *b;
}

int parseNumber(const char* text, uint32_t limit, uint32_t* value) {
    if (!*text)
        return 0;
    uint32_t number = 0;
    for (; *text; text++) {
        if (*text < '0' || *text > '9' || number > limit)
            return 0;
        number = number * 10 + (uint32_t)(*text - '0');
    }
    if (number > limit)
        return 0;
    *value = number;
    return 1;
}

// mm:ss:ff in frames.
int parseTime(const char* text, uint32_t* frames) {
    char parts[3][8] = {};
    int part = 0, length = 0;
    for (; *text; text++) {
        if (*text == ':') {
            if (++part > 2)
                return 0;
            length = 0;
        } else if (length < 7) {
            parts[part][length++] = *text;
        } else {
            return 0;
        }
    }
    uint32_t minutes, seconds, frame;
    if (part != 2 || !parseNumber(parts[0], 9999, &minutes) || !parseNumber(parts[1], 59, &seconds) ||
        !parseNumber(parts[2], 74, &frame))
        return 0;
    *frames = (minutes * 60 + seconds) * kFramesPerSecond + frame;
    return 1;
}

struct SheetParser {
    CueSheet* sheet;
    int32_t lastNumber;

    ImageError line(Words words) {
        char keyword[16];
        if (!words.next(keyword, sizeof keyword))
            return kImageOk;
        if (sameWord(keyword, "FILE"))
            return file(words);
        if (sameWord(keyword, "TRACK"))
            return track(words);
        if (sameWord(keyword, "INDEX"))
            return index(words);
        if (sameWord(keyword, "PREGAP"))
            return gap(words, &CueTrack::pregap);
        if (sameWord(keyword, "POSTGAP"))
            return gap(words, &CueTrack::postgap);
        if (sameWord(keyword, "TITLE"))
            return name(words, sheet->trackCount ? sheet->trackTitles[sheet->trackCount - 1] : sheet->discTitle);
        if (sameWord(keyword, "PERFORMER") && sheet->trackCount == 0)
            return name(words, sheet->discPerformer);
        // Flags, remarks and the like say nothing about time.
        const char* ignored[] = {"REM", "PERFORMER", "SONGWRITER", "CATALOG", "ISRC", "FLAGS", "CDTEXTFILE"};
        for (const char* word : ignored)
            if (sameWord(keyword, word))
                return kImageOk;
        return kImageBadSyntax;
    }

    // An unquoted name may hold blanks: as lenient readers do, everything up
    // to the last word is the name, and the last word the type.
    static int unquotedFile(Words words, char name[kFileNameSize], char type[16]) {
        const char* end = words.end;
        while (end > words.at && (end[-1] == ' ' || end[-1] == '\t'))
            end--;
        const char* typeStart = end;
        while (typeStart > words.at && typeStart[-1] != ' ' && typeStart[-1] != '\t')
            typeStart--;
        const char* nameEnd = typeStart;
        while (nameEnd > words.at && (nameEnd[-1] == ' ' || nameEnd[-1] == '\t'))
            nameEnd--;
        if (nameEnd == words.at || end - typeStart >= 16 || nameEnd - words.at >= kFileNameSize)
            return 0;
        memcpy(name, words.at, (size_t)(nameEnd - words.at));
        name[nameEnd - words.at] = 0;
        memcpy(type, typeStart, (size_t)(end - typeStart));
        type[end - typeStart] = 0;
        return 1;
    }

    // A name, quoted or one word; a malformed or overlong one is left out,
    // since names say nothing about what the drive plays.
    ImageError name(Words words, char target[kCueNameSize]) {
        char text[kCueNameSize];
        if (words.next(text, sizeof text) && words.atEnd())
            memcpy(target, text, sizeof text);
        return kImageOk;
    }

    ImageError file(Words words) {
        char name[kFileNameSize], type[16];
        words.skipBlanks();
        if (words.at < words.end && *words.at != '"') {
            if (!unquotedFile(words, name, type))
                return kImageBadSyntax;
        } else if (!words.next(name, sizeof name) || !words.next(type, sizeof type) || !words.atEnd() || !name[0]) {
            return kImageBadSyntax;
        }
        if (sheet->fileCount >= kMaxFiles)
            return kImageTooManyFiles;
        uint8_t fileType;
        if (sameWord(type, "BINARY"))
            fileType = kFileBinary;
        else if (sameWord(type, "WAVE"))
            fileType = kFileWave;
        else
            return kImageUnsupportedFile;
        memcpy(sheet->files[sheet->fileCount], name, sizeof name);
        sheet->fileType[sheet->fileCount] = fileType;
        sheet->fileCount++;
        return kImageOk;
    }

    ImageError track(Words words) {
        char number[8], mode[16];
        uint32_t value;
        if (sheet->fileCount == 0 || !words.next(number, sizeof number) || !words.next(mode, sizeof mode) ||
            !words.atEnd() || !parseNumber(number, 99, &value) || (int32_t)value <= lastNumber)
            return kImageBadSyntax;
        if (sheet->trackCount > 0 && !(indexSeen & 2))
            return kImageBadSyntax;
        if (sheet->trackCount >= kMaxTracks)
            return kImageTooManyTracks;
        // Track numbers must rise; whatever the sheet calls them, the disc
        // numbers its tracks from 1.
        lastNumber = (int32_t)value;
        CueTrack& track = sheet->tracks[sheet->trackCount++];
        track = CueTrack{sheet->fileCount - 1, (uint8_t)sameWord(mode, "AUDIO"), 0, 0, -1, 0};
        if (!track.audio && !sameWord(mode, "MODE1/2352") && !sameWord(mode, "MODE2/2352"))
            return kImageUnsupportedFile;
        indexSeen = 0;
        return kImageOk;
    }

    int indexSeen;

    ImageError index(Words words) {
        char number[8], time[16];
        uint32_t value, frames;
        if (sheet->trackCount == 0 || !words.next(number, sizeof number) || !words.next(time, sizeof time) ||
            !words.atEnd() || !parseNumber(number, 99, &value) || !parseTime(time, &frames))
            return kImageBadSyntax;
        CueTrack& track = sheet->tracks[sheet->trackCount - 1];
        if (value == 1 && indexSeen == 1 && track.file == sheet->fileCount - 2) {
            // One file per track with the gap at the end of the previous
            // file: the track's INDEX 00 stood there, its INDEX 01 follows a
            // new FILE line. The gap audio then ends the previous track, as
            // on the disc; the track itself starts in the new file.
            track.file = sheet->fileCount - 1;
            track.index0 = -1;
        } else if (track.file != sheet->fileCount - 1) {
            return kImageBadSyntax;
        }
        if (value == 0) {
            if (indexSeen)
                return kImageBadSyntax;
            track.index0 = (int32_t)frames;
        } else if (value == 1) {
            if (indexSeen & 2 || (track.index0 >= 0 && frames < (uint32_t)track.index0))
                return kImageBadSyntax;
            track.index1 = frames;
        }
        indexSeen |= value == 0 ? 1 : value == 1 ? 2 : 4;
        return kImageOk;
    }

    // PREGAP or POSTGAP: silence that no file holds, before or after the track.
    ImageError gap(Words words, uint32_t CueTrack::*which) {
        char time[16];
        uint32_t frames;
        if (sheet->trackCount == 0 || !words.next(time, sizeof time) || !words.atEnd() || !parseTime(time, &frames))
            return kImageBadSyntax;
        sheet->tracks[sheet->trackCount - 1].*which = frames;
        return kImageOk;
    }
};

} // namespace

const char* imageErrorText(ImageError error) {
    switch (error) {
    case kImageOk: return "ok";
    case kImageBadSyntax: return "the CUE sheet cannot be read";
    case kImageTooManyTracks: return "more than 99 tracks";
    case kImageTooManyFiles: return "more than 99 files";
    case kImageNoTracks: return "no tracks";
    case kImageNoAudioTrack: return "no audio track";
    case kImageMissingFile: return "a file of the image is missing";
    case kImageTruncated: return "a file of the image is shorter than the sheet says";
    case kImageBadWave: return "a WAV file is not 44.1 kHz 16-bit stereo PCM";
    case kImageUnsupportedFile: return "a file or track type the drive cannot play";
    }
    return "unknown";
}

int isUtf8(const char* text, size_t length) {
    const unsigned char* at = (const unsigned char*)text;
    const unsigned char* end = at + length;
    while (at < end) {
        unsigned char lead = *at++;
        if (lead < 0x80)
            continue;
        int more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
        if (more < 0 || end - at < more)
            return 0;
        uint32_t value = lead & (0x3F >> more);
        for (int i = 0; i < more; i++, at++) {
            if ((*at & 0xC0) != 0x80)
                return 0;
            value = value << 6 | (*at & 0x3F);
        }
        uint32_t smallest = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
    }
    return 1;
}

ImageError parseCueSheet(const char* text, size_t length, CueSheet* sheet) {
    memset(sheet, 0, sizeof *sheet);
    SheetParser parser = {sheet, 0, 0};
    const char* end = text + length;
    // A UTF-8 byte order mark is not part of the first keyword.
    if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        sheet->utf8 = 1;
    } else {
        int beyondAscii = 0;
        for (size_t i = 0; i < length && !beyondAscii; i++)
            beyondAscii = (unsigned char)text[i] >= 0x80;
        sheet->utf8 = beyondAscii && isUtf8(text, length);
    }
    int32_t lineNumber = 0;
    while (text < end) {
        const char* lineEnd = text;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r')
            lineEnd++;
        lineNumber++;
        ImageError error = parser.line(Words{text, lineEnd});
        if (error != kImageOk) {
            sheet->errorLine = lineNumber;
            return error;
        }
        text = lineEnd;
        if (text < end && *text == '\r')
            text++;
        if (text < end && *text == '\n')
            text++;
    }
    if (sheet->trackCount == 0)
        return kImageNoTracks;
    // Every track needs its INDEX 01; the last one is checked here.
    if (!(parser.indexSeen & 2)) {
        sheet->errorLine = lineNumber;
        return kImageBadSyntax;
    }
    return kImageOk;
}

ImageError binaryFile(uint64_t size, ImageFile* file) {
    if (size % kBytesPerFrame != 0 || size / kBytesPerFrame > 0xFFFFFFFFu)
        return kImageTruncated;
    *file = ImageFile{0, (uint32_t)(size / kBytesPerFrame), size};
    return kImageOk;
}

namespace {

uint32_t little32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
uint32_t little16(const uint8_t* p) { return p[0] | p[1] << 8; }

} // namespace

ImageError waveFile(const uint8_t* header, size_t length, uint64_t size, ImageFile* file) {
    if (length < 12 || memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "WAVE", 4) != 0)
        return kImageBadWave;
    int formatOk = 0;
    size_t at = 12;
    while (at + 8 <= length) {
        uint32_t chunkSize = little32(header + at + 4);
        const uint8_t* body = header + at + 8;
        if (memcmp(header + at, "fmt ", 4) == 0) {
            if (chunkSize < 16 || at + 8 + 16 > length)
                return kImageBadWave;
            formatOk = little16(body) == 1 && little16(body + 2) == 2 && little32(body + 4) == 44100 &&
                       little16(body + 14) == 16;
            if (!formatOk)
                return kImageBadWave;
        } else if (memcmp(header + at, "data", 4) == 0) {
            if (!formatOk)
                return kImageBadWave;
            uint64_t dataOffset = at + 8;
            uint64_t dataBytes = chunkSize;
            if (dataOffset + dataBytes > size)
                return kImageTruncated;
            *file = ImageFile{(uint32_t)dataOffset, (uint32_t)((dataBytes + kBytesPerFrame - 1) / kBytesPerFrame),
                              dataOffset + dataBytes};
            return kImageOk;
        }
        uint64_t next = (uint64_t)at + 8 + chunkSize + (chunkSize & 1);
        if (next > length)
            break;
        at = (size_t)next;
    }
    return kImageBadWave;
}

namespace {

int addExtent(VirtualDisc* disc, uint32_t first, uint32_t frames, int32_t file, uint32_t offset) {
    if (frames == 0)
        return 1;
    if (disc->extentCount >= kMaxExtents)
        return 0;
    disc->extents[disc->extentCount++] = DiscExtent{first, frames, file, offset};
    return 1;
}

// Where the track's frames begin in its file: INDEX 00 when it has one.
uint32_t firstInFile(const CueTrack& track) {
    return track.index0 >= 0 ? (uint32_t)track.index0 : track.index1;
}

} // namespace

ImageError buildDisc(const CueSheet& sheet, const ImageFile* files, VirtualDisc* disc) {
    memset(disc, 0, sizeof *disc);
    if (sheet.trackCount == 0)
        return kImageNoTracks;
    int anyAudio = 0;
    uint32_t cursor = 0;
    // Disc frames from the start of the first track's file; shifted at the
    // end so that track 1 begins at 0, as a table of contents has it.
    for (int32_t i = 0; i < sheet.trackCount; i++) {
        const CueTrack& track = sheet.tracks[i];
        const ImageFile& file = files[track.file];
        uint32_t from = firstInFile(track);
        int sameFileNext = i + 1 < sheet.trackCount && sheet.tracks[i + 1].file == track.file;
        uint32_t to = sameFileNext ? firstInFile(sheet.tracks[i + 1]) : file.frames;
        if (to < track.index1 || from > file.frames || to > file.frames || track.index1 >= to)
            return to > file.frames || track.index1 >= file.frames ? kImageTruncated : kImageBadSyntax;
        if (!addExtent(disc, cursor, track.pregap, kSilence, 0))
            return kImageTooManyTracks;
        cursor += track.pregap;
        uint32_t fileStart = cursor;
        int32_t source = track.audio ? track.file : kSilence;
        if (!addExtent(disc, cursor, to - from, source, file.dataOffset + from * kBytesPerFrame))
            return kImageTooManyTracks;
        disc->trackStart[i + 1] = fileStart + (track.index1 - from);
        disc->audioTrack[i + 1] = track.audio;
        anyAudio |= track.audio;
        cursor += to - from;
        if (!addExtent(disc, cursor, track.postgap, kSilence, 0))
            return kImageTooManyTracks;
        cursor += track.postgap;
    }
    if (!anyAudio)
        return kImageNoAudioTrack;
    disc->trackCount = sheet.trackCount;
    uint32_t shift = disc->trackStart[1];
    for (int32_t track = 1; track <= disc->trackCount; track++)
        disc->trackStart[track] -= shift;
    disc->endFrame = cursor - shift;
    disc->trackStart[disc->trackCount + 1] = disc->endFrame;
    // Extents before track 1 cannot be played.
    int32_t kept = 0;
    for (int32_t i = 0; i < disc->extentCount; i++) {
        DiscExtent extent = disc->extents[i];
        uint32_t end = extent.firstFrame + extent.frames;
        if (end <= shift)
            continue;
        if (extent.firstFrame < shift) {
            uint32_t cut = shift - extent.firstFrame;
            extent.frames -= cut;
            if (extent.file >= 0)
                extent.fileOffset += cut * kBytesPerFrame;
            extent.firstFrame = shift;
        }
        extent.firstFrame -= shift;
        disc->extents[kept++] = extent;
    }
    disc->extentCount = kept;
    disc->fileCount = sheet.fileCount;
    for (int32_t i = 0; i < sheet.fileCount; i++) {
        memcpy(disc->files[i], sheet.files[i], kFileNameSize);
        disc->fileDataEnd[i] = files[i].dataEnd;
    }
    return kImageOk;
}
