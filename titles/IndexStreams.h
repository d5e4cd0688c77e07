// Inside the title index: its files read and written as Windows text mode
// does, one reader and one writer for every operation (they are large: they
// live in static storage, not on the stack), and the pieces a load and a
// save share. Not for the programs: TitleIndex.h is their interface.
#pragma once

#include <string.h>

#include "FileLayer.h"
#include "TitleIndex.h"
#include "../common/ShiftJis.h"

const int kEndOfFile = -1;
const char kEndOfText = 0x1A;
const int kStreamBuffer = 4096;

// Reads a file as Windows text mode does: CR LF becomes LF, a lone CR stays
// data, and 0x1A ends the file.
struct TextReader {
    FileHandle file;
    char buffer[kStreamBuffer];
    long filled;
    long next;
    int ended;
    int failed;
    // Set where a 0x1A ended the text: the byte and all after it are still
    // in the file, for a copy that keeps them.
    int endOfText;
    // While echo is set, the file's own bytes of what is read, so that a
    // copy writes a line exactly as it stands, lone CRs and all.
    int echo;
    char raw[2 * kTitleSlot];
    int rawLength;

    int open(const char* path) {
        file = fileLayer.openRead(path);
        filled = next = 0;
        ended = failed = endOfText = echo = rawLength = 0;
        return file != 0;
    }

    // Closes; 0 when a read failed on the way.
    int close() {
        int closed = fileLayer.close(file);
        return closed && !failed;
    }

    int rawByte() {
        if (ended)
            return kEndOfFile;
        if (next == filled) {
            filled = fileLayer.read(file, buffer, sizeof buffer);
            next = 0;
            if (filled <= 0) {
                failed = filled < 0;
                filled = 0;
                ended = 1;
                return kEndOfFile;
            }
        }
        if (echo)
            raw[rawLength++] = buffer[next];
        return (unsigned char)buffer[next++];
    }

    void unread() {
        next--;
        if (echo)
            rawLength--;
    }

    int peekRaw() {
        int byte = rawByte();
        if (byte != kEndOfFile)
            unread();
        return byte;
    }

    int getByte() {
        int byte = rawByte();
        if (byte == kEndOfText) {
            unread();
            ended = endOfText = 1;
            return kEndOfFile;
        }
        if (byte == '\r' && peekRaw() == '\n')
            return rawByte();
        return byte;
    }

    // Moves over the pieces that cannot open a record, without reading them
    // one by one: a piece opens a record when it begins with "@", and pieces
    // begin after an LF and every 63 bytes along a longer line. Leaves the
    // reader at a piece start; what is left undecided the caller reads.
    void skipToIdentifier() {
        if (ended || filled - next <= kTitleSlot)
            return;
        const char* pieceStart = buffer + next;
        const char* end = buffer + filled;
        const char* endOfText = (const char*)memchr(pieceStart, kEndOfText, (size_t)(end - pieceStart));
        const char* limit = endOfText ? endOfText : end;
        const char* from = pieceStart;
        const char* at;
        while ((at = (const char*)memchr(from, '@', (size_t)(limit - from))) != 0) {
            // Bytes before from were looked at already.
            for (const char* back = at - 1; back >= from; back--) {
                if (*back == '\n') {
                    pieceStart = back + 1;
                    break;
                }
            }
            if ((at - pieceStart) % (kTitleSlot - 1) == 0) {
                next = (long)(at - buffer);
                return;
            }
            from = at + 1;
        }
        if (endOfText) {
            // Nothing after it is read: let the line read reach it.
            next = (long)(endOfText - buffer);
            return;
        }
        for (const char* back = end - 1; back >= from; back--) {
            if (*back == '\n') {
                pieceStart = back + 1;
                break;
            }
        }
        next = (long)(pieceStart - buffer);
    }

    // One line read of at most 63 bytes, up to and including the LF; the
    // length, 0 only at the end of the file. line is NUL-terminated.
    int readLine(char line[kTitleSlot]) {
        // Most lines lie whole in the buffer, short, ending in CR LF, with
        // no other CR and no end-of-text byte: take them in one copy.
        if (!ended && filled - next > kTitleSlot) {
            const char* start = buffer + next;
            const char* lineEnd = (const char*)memchr(start, '\n', kTitleSlot);
            if (lineEnd) {
                size_t data = (size_t)(lineEnd - start);
                size_t raw = data + 1;
                if (data > 0 && lineEnd[-1] == '\r')
                    data--;
                if (data + 1 < kTitleSlot && !memchr(start, '\r', data) && !memchr(start, kEndOfText, raw)) {
                    if (echo) {
                        memcpy(this->raw, start, raw);
                        rawLength = (int)raw;
                    }
                    memcpy(line, start, data);
                    line[data] = '\n';
                    line[data + 1] = 0;
                    next += (long)raw;
                    return (int)data + 1;
                }
            }
        }
        rawLength = 0;
        int length = 0;
        while (length < kTitleSlot - 1) {
            int byte = getByte();
            if (byte == kEndOfFile)
                break;
            line[length++] = (char)byte;
            if (byte == '\n')
                break;
        }
        line[length] = 0;
        return length;
    }

    // After a 0x1A: the file's bytes from it on, a buffer at a time; 0 at
    // the end of the file.
    long readAfterEndOfText(const char** bytes) {
        if (next == filled) {
            filled = fileLayer.read(file, buffer, sizeof buffer);
            next = 0;
            if (filled <= 0) {
                failed = failed || filled < 0;
                filled = 0;
                return 0;
            }
        }
        *bytes = buffer + next;
        long length = filled - next;
        next = filled;
        return length;
    }
};

// Writes as Windows text mode does: every LF becomes CR LF. Remembers any
// failure so that the caller checks once.
struct TextWriter {
    FileHandle file;
    char buffer[kStreamBuffer];
    long used;
    int failed;
    // The last byte written, LF before the first.
    char lastByte;

    int open(const char* path) {
        file = fileLayer.openWrite(path);
        used = 0;
        failed = 0;
        lastByte = '\n';
        return file != 0;
    }

    void flush() {
        if (used > 0 && !failed && !fileLayer.write(file, buffer, (size_t)used))
            failed = 1;
        used = 0;
    }

    void putByte(char byte) { putBytes(&byte, 1); }

    // Bytes as they are, without the line end translation.
    void putRun(const char* bytes, size_t length) {
        if (length > 0)
            lastByte = bytes[length - 1];
        while (length > 0) {
            if (used == kStreamBuffer)
                flush();
            size_t room = (size_t)(kStreamBuffer - used);
            size_t part = length < room ? length : room;
            memcpy(buffer + used, bytes, part);
            used += (long)part;
            bytes += part;
            length -= part;
        }
    }

    void putBytes(const char* bytes, int length) {
        size_t left = (size_t)length;
        while (left > 0) {
            const char* lineEnd = (const char*)memchr(bytes, '\n', left);
            size_t run = lineEnd ? (size_t)(lineEnd - bytes) : left;
            putRun(bytes, run);
            if (!lineEnd)
                return;
            putRun("\r\n", 2);
            bytes += run + 1;
            left -= run + 1;
        }
    }

    // A value: a longer one would end its record on the next load.
    void putValue(const char* text) { putBytes(text, (int)cutLength(text, kValueMax)); }

    // Flushes and closes; 1 only when every byte reached the file.
    int close() {
        flush();
        int closed = fileLayer.close(file);
        return closed && !failed;
    }
};

extern TextReader indexReader;
extern TextWriter indexWriter;

inline int usableTracks(int32_t trackCount) {
    if (trackCount < 0)
        return 0;
    return trackCount > kTitleTracks ? kTitleTracks : trackCount;
}

inline int stripLine(const char* line, int length) {
    return length > 0 && line[length - 1] == '\n' ? length - 1 : length;
}

inline int isDiscLine(const char* line, int length, const char* discId) {
    int stripped = stripLine(line, length);
    return stripped == (int)strlen(discId) && memcmp(line, discId, (size_t)stripped) == 0;
}

// What a file holds, taken as a title index, read as its bytes go by: a
// byte-order mark at its start, a NUL anywhere, and whether any line opens a
// record. After a 0x1A (which ends the text for a load) only NULs count.
struct IndexScan {
    IndexCheck found;
    int32_t line;
    int32_t atLineStart;
    int32_t firstTextLine;
    int32_t recordLineSeen;
    int32_t startSeen;
    int32_t textEnded;

    void begin();
    // 0 once the bytes show the file is no index (found says why).
    int32_t take(const char* bytes, long length);
    // At the end: text without a record line is no index either.
    IndexCheck end();
};

// The disc's record as a save writes it.
void writeRecord(const char* discId, int tracks, const TitleRecord* titles);

enum CopyResult { kCopyKept, kCopyNotAnIndex };

// The copy pass of a save: every byte of the index read so far goes to the
// temporary file as it stands, but the disc's records, which the new record
// replaces. kCopyNotAnIndex (with what was found) where the input is no
// title index.
CopyResult copyReplacing(const char* discId, int tracks, const TitleRecord* titles, IndexCheck* found);

// The disc's first record in the file, over what titles holds; 0 when the
// file cannot be opened, or a read failed on the way (titles may then hold
// part of the record).
int readRecordFrom(const char* path, const char* discId, int tracks, TitleRecord* titles);

// Each value the user changed (typed differs from filled, as a save cuts
// them) from typed, every other from inFile.
void mergeTitleEdits(const TitleRecord* filled, const TitleRecord* typed, const TitleRecord* inFile, int tracks,
                     TitleRecord* stored);
