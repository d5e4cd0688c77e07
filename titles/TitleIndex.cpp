#include "TitleIndex.h"

#include <stdio.h>
#include <string.h>

#include "FileLayer.h"
#include "../common/ShiftJis.h"

namespace {

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

    int open(const char* path) {
        file = fileLayer.openRead(path);
        filled = next = 0;
        ended = failed = 0;
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
        return (unsigned char)buffer[next++];
    }

    int peekRaw() {
        int byte = rawByte();
        if (byte != kEndOfFile)
            next--;
        return byte;
    }

    int getByte() {
        int byte = rawByte();
        if (byte == kEndOfText) {
            ended = 1;
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
                    memcpy(line, start, data);
                    line[data] = '\n';
                    line[data + 1] = 0;
                    next += (long)raw;
                    return (int)data + 1;
                }
            }
        }
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
};

// Writes as Windows text mode does: every LF becomes CR LF. Remembers any
// failure so that the caller checks once.
struct TextWriter {
    FileHandle file;
    char buffer[kStreamBuffer];
    long used;
    int failed;

    int open(const char* path) {
        file = fileLayer.openWrite(path);
        used = 0;
        failed = 0;
        return file != 0;
    }

    void flush() {
        if (used > 0 && !failed && !fileLayer.write(file, buffer, (size_t)used))
            failed = 1;
        used = 0;
    }

    void putByte(char byte) { putBytes(&byte, 1); }

    void putRun(const char* bytes, size_t length) {
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

// The reader and writer are large: they live here, not on the stack.
TextReader reader;
TextWriter writer;

int usableTracks(int32_t trackCount) {
    if (trackCount < 0)
        return 0;
    return trackCount > kTitleTracks ? kTitleTracks : trackCount;
}

int stripLine(const char* line, int length) { return length > 0 && line[length - 1] == '\n' ? length - 1 : length; }

int isDiscLine(const char* line, int length, const char* discId) {
    int stripped = stripLine(line, length);
    return stripped == (int)strlen(discId) && memcmp(line, discId, (size_t)stripped) == 0;
}

// The value after a tag; a tag at the very end of the file gives "".
void readValue(char slot[kTitleSlot]) {
    char line[kTitleSlot];
    int length = stripLine(line, reader.readLine(line));
    memcpy(slot, line, (size_t)length);
    slot[length] = 0;
}

void readRecord(int tracks, TitleRecord* titles) {
    int stored = 0;
    char discarded[kTitleSlot];
    for (;;) {
        int tag = reader.getByte();
        if (tag == '#')
            readValue(stored < tracks ? titles->tracks[stored++] : discarded);
        else if (tag == '+')
            readValue(titles->title);
        else if (tag == '-')
            readValue(titles->artist);
        else
            return;
    }
}

void writeRecord(const char* discId, int tracks, const TitleRecord* titles) {
    writer.putBytes(discId, (int)strnlen(discId, kDiscIdSize - 1));
    writer.putBytes("\n+", 2);
    writer.putValue(titles->title);
    writer.putBytes("\n-", 2);
    writer.putValue(titles->artist);
    writer.putByte('\n');
    for (int i = 0; i < tracks; i++) {
        writer.putByte('#');
        writer.putValue(titles->tracks[i]);
        writer.putByte('\n');
    }
    writer.putByte('\n');
}

// Copies the lines after a copied identifier line as read, through the blank
// line that ends the record. The line end of a value of 63 bytes or more is
// read as a piece of its own: it continues that value and does not end the
// record, so that none of the record's later lines is lost.
void copyRestOfRecord() {
    char line[kTitleSlot];
    int length;
    int atLineStart = 1;
    while ((length = reader.readLine(line)) > 0) {
        writer.putBytes(line, length);
        if (line[0] == '\n' && atLineStart)
            return;
        atLineStart = line[length - 1] == '\n';
    }
}

// The copy pass; 1 when a record of the disc was replaced.
int copyReplacing(const char* discId, int tracks, const TitleRecord* titles) {
    int replaced = 0;
    char line[kTitleSlot];
    int length;
    while ((length = reader.readLine(line)) > 0) {
        if (line[0] != '@')
            continue;
        if (isDiscLine(line, length, discId)) {
            writeRecord(discId, tracks, titles);
            replaced = 1;
            continue;
        }
        writer.putBytes(line, stripLine(line, length));
        writer.putByte('\n');
        copyRestOfRecord();
    }
    return replaced;
}

// Reads on to the line after the disc's first identifier line; 0 when the
// index has none.
int findRecord(const char* discId) {
    char line[kTitleSlot];
    int length;
    for (;;) {
        reader.skipToIdentifier();
        if ((length = reader.readLine(line)) == 0)
            return 0;
        if (line[0] == '@' && isDiscLine(line, length, discId))
            return 1;
    }
}

} // namespace

void formatDiscId(char id[kDiscIdSize], int32_t trackCount, int32_t totalSeconds, int32_t firstTrackSeconds) {
    snprintf(id, kDiscIdSize, "@%02x%04x%04x", (unsigned)trackCount, (unsigned)totalSeconds,
             (unsigned)firstTrackSeconds);
}

void setDefaultTitles(TitleRecord* titles) {
    snprintf(titles->title, kTitleSlot, "Title");
    snprintf(titles->artist, kTitleSlot, "Artist");
    for (int i = 0; i < kTitleTracks; i++)
        snprintf(titles->tracks[i], kTitleSlot, "Track %2d", i + 1);
}

int loadTitleRecord(const char* indexPath, const char* discId, int32_t trackCount, TitleRecord* titles) {
    setDefaultTitles(titles);
    if (!reader.open(indexPath))
        return 0;
    if (findRecord(discId))
        readRecord(usableTracks(trackCount), titles);
    reader.close();
    return 1;
}

int titleRecordExists(const char* indexPath, const char* discId) {
    if (!reader.open(indexPath))
        return 0;
    int found = findRecord(discId);
    reader.close();
    return found;
}

namespace {

// An index path of up to 512 bytes with ".bak" after it.
const int kBackupPathSize = 520;

// Where a file cannot be replaced in one step, the index steps aside under
// a backup name until the new file has taken its name, and comes back on any
// failure: the records always have a file.
int putInPlace(const char* tempPath, const char* indexPath) {
    int replaced = fileLayer.replace(tempPath, indexPath);
    if (replaced != kReplaceUnsupported)
        return replaced;
    if (!fileLayer.exists(indexPath))
        return fileLayer.rename(tempPath, indexPath);
    char backup[kBackupPathSize];
    int length = snprintf(backup, sizeof backup, "%s.bak", indexPath);
    if (length < 0 || length >= (int)sizeof backup)
        return 0;
    // A backup left by a save that was cut off is older than the index.
    fileLayer.remove(backup);
    if (!fileLayer.rename(indexPath, backup))
        return 0;
    if (!fileLayer.rename(tempPath, indexPath)) {
        fileLayer.rename(backup, indexPath);
        return 0;
    }
    fileLayer.remove(backup);
    return 1;
}

} // namespace

SaveResult rewriteTitleIndex(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                             const TitleRecord* titles) {
    if (!writer.open(tempPath))
        return kSaveTempFailed;
    int hasIndex = fileLayer.exists(indexPath);
    if (hasIndex && !reader.open(indexPath)) {
        writer.close();
        fileLayer.remove(tempPath);
        return kSaveIndexUnreadable;
    }
    int tracks = usableTracks(trackCount);
    int replaced = hasIndex ? copyReplacing(discId, tracks, titles) : 0;
    if (!replaced) {
        writer.putByte('\n');
        writeRecord(discId, tracks, titles);
    }
    int readOk = hasIndex ? reader.close() : 1;
    int written = writer.close();
    if (!readOk) {
        fileLayer.remove(tempPath);
        return kSaveIndexUnreadable;
    }
    if (!written || putInPlace(tempPath, indexPath) != 1) {
        fileLayer.remove(tempPath);
        return kSaveWriteFailed;
    }
    return kSaveDone;
}
