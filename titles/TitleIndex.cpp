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

int isTag(char byte) { return byte == '#' || byte == '+' || byte == '-'; }

int isBlankByte(char byte) { return byte == '\r' || byte == '\n' || byte == ' ' || byte == '\t'; }

enum CopyResult { kCopyKept, kCopyNotAnIndex };

// What the copy pass knows of the input so far.
struct CopyState {
    int replaced;
    // Inside the record being replaced: its value lines and the blank line
    // that ends it are dropped, nothing else.
    int inReplaced;
    // The piece read begins a line (pieces after the first of a long line
    // continue it).
    int atLineStart;
    // The first byte that is not blank was seen, and was "@".
    int opened;
};

// A file holds records when it has no NUL byte and its first line that is
// not blank starts with "@": anything else (a memo, a program) was chosen as
// the index by mistake and is never rewritten.
int looksLikeIndex(CopyState* state, const char* bytes, int length) {
    if (memchr(bytes, 0, (size_t)length))
        return 0;
    for (int i = 0; i < length && !state->opened; i++) {
        if (isBlankByte(bytes[i]))
            continue;
        // A load reads nothing after a 0x1A: an empty index.
        if (bytes[i] != '@' && bytes[i] != kEndOfText)
            return 0;
        state->opened = 1;
    }
    return 1;
}

// 1 when the piece is one of the replaced record's own lines.
int dropsFromReplacedRecord(CopyState* state, const char* line, int startsLine) {
    if (!state->inReplaced)
        return 0;
    if (!startsLine || isTag(line[0]))
        return 1;
    state->inReplaced = 0;
    return line[0] == '\n';
}

void writeRecordOnItsOwnLine(const char* discId, int tracks, const TitleRecord* titles) {
    if (writer.lastByte != '\n')
        writer.putBytes("\n", 1);
    writeRecord(discId, tracks, titles);
}

// Writes the new record where a load would find it: in place of each record
// of the disc, else before a 0x1A, else at the end after a blank line.
void appendIfNotReplaced(CopyState* state, const char* discId, int tracks, const TitleRecord* titles) {
    if (state->replaced)
        return;
    if (writer.lastByte != '\n')
        writer.putBytes("\n", 1);
    writer.putByte('\n');
    writeRecord(discId, tracks, titles);
    state->replaced = 1;
}

// The file's bytes from a 0x1A on, whole: a load never reads them, and a
// save keeps them.
CopyResult copyAfterEndOfText() {
    const char* bytes;
    long length;
    while ((length = reader.readAfterEndOfText(&bytes)) > 0) {
        if (memchr(bytes, 0, (size_t)length))
            return kCopyNotAnIndex;
        writer.putRun(bytes, (size_t)length);
    }
    return kCopyKept;
}

// The copy pass: every byte of the input is written as it stands but the
// lines of the disc's records, which the new record replaces, in the pieces
// a load reads, so that a save matches every record a load would find.
CopyResult copyReplacing(const char* discId, int tracks, const TitleRecord* titles) {
    CopyState state = {0, 0, 1, 0};
    char line[kTitleSlot];
    int length;
    reader.echo = 1;
    while ((length = reader.readLine(line)) > 0) {
        int startsLine = state.atLineStart;
        state.atLineStart = line[length - 1] == '\n';
        if (!looksLikeIndex(&state, line, length))
            return kCopyNotAnIndex;
        if (dropsFromReplacedRecord(&state, line, startsLine))
            continue;
        if (line[0] == '@' && isDiscLine(line, length, discId)) {
            writeRecordOnItsOwnLine(discId, tracks, titles);
            state.replaced = state.inReplaced = 1;
            continue;
        }
        writer.putRun(reader.raw, (size_t)reader.rawLength);
    }
    appendIfNotReplaced(&state, discId, tracks, titles);
    return reader.endOfText ? copyAfterEndOfText() : kCopyKept;
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

int loadTitleRecord(const char* indexPath, const char* discId, int32_t trackCount, TitleRecord* titles,
                    const char* seedPath) {
    setDefaultTitles(titles);
    if (!reader.open(indexToRead(indexPath, seedPath)))
        return 0;
    if (findRecord(discId))
        readRecord(usableTracks(trackCount), titles);
    reader.close();
    return 1;
}

int titleRecordExists(const char* indexPath, const char* discId, const char* seedPath) {
    if (!reader.open(indexToRead(indexPath, seedPath)))
        return 0;
    int found = findRecord(discId);
    reader.close();
    return found;
}

namespace {

// An index path of up to 512 bytes with ".bak" after it.
const int kBackupPathSize = 520;

int backupPathOf(const char* indexPath, char backup[kBackupPathSize]) {
    int length = snprintf(backup, kBackupPathSize, "%s.bak", indexPath);
    return length >= 0 && length < kBackupPathSize;
}

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
    if (!backupPathOf(indexPath, backup))
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

SaveResult abandonSave(SaveResult result, int readerOpen, const char* tempPath) {
    if (readerOpen)
        reader.close();
    writer.close();
    fileLayer.remove(tempPath);
    return result;
}

} // namespace

// A save cut off between its two renames leaves the records under the
// backup name alone: they are the index again before anything reads it.
void recoverCutOffSave(const char* indexPath) {
    char backup[kBackupPathSize];
    if (!fileLayer.exists(indexPath) && backupPathOf(indexPath, backup) && fileLayer.exists(backup))
        fileLayer.rename(backup, indexPath);
}

int isTitleIndexFile(const char* path) {
    FileHandle file = fileLayer.openRead(path);
    if (!file)
        return 0;
    CopyState state = {0, 0, 1, 0};
    long length = 0;
    int looksRight = 1;
    while (looksRight && (length = fileLayer.read(file, reader.buffer, sizeof reader.buffer)) > 0)
        looksRight = looksLikeIndex(&state, reader.buffer, (int)length);
    fileLayer.close(file);
    return looksRight && length == 0;
}

const char* indexToRead(const char* indexPath, const char* seedPath) {
    recoverCutOffSave(indexPath);
    if (!seedPath || fileLayer.exists(indexPath))
        return indexPath;
    recoverCutOffSave(seedPath);
    return seedPath;
}

SaveResult rewriteTitleIndex(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                             const TitleRecord* titles, const char* seedPath) {
    const char* input = indexToRead(indexPath, seedPath);
    int hasInput = fileLayer.exists(input);
    if (fileLayer.exists(indexPath) && fileLayer.readOnly(indexPath))
        return kSaveIndexReadOnly;
    if (!writer.open(tempPath))
        return kSaveTempFailed;
    if (hasInput && !reader.open(input))
        return abandonSave(kSaveIndexUnreadable, 0, tempPath);
    int tracks = usableTracks(trackCount);
    if (!hasInput) {
        writer.putByte('\n');
        writeRecord(discId, tracks, titles);
    } else if (copyReplacing(discId, tracks, titles) == kCopyNotAnIndex) {
        return abandonSave(kSaveNotAnIndex, 1, tempPath);
    }
    int readOk = hasInput ? reader.close() : 1;
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
