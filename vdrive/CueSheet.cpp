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
