// What counts as a title index: text in Shift-JIS whose records open with
// "@" lines. Comments, stray lines and blank lines around the records are
// the file's own and are kept; a file with a NUL, saved as Unicode, or with
// text but no record at all (a memo chosen by mistake) is never rewritten.
#include "IndexStreams.h"

void IndexScan::begin() {
    found = IndexCheck{kIndexOk, 0};
    line = 1;
    atLineStart = 1;
    firstTextLine = recordLineSeen = startSeen = textEnded = 0;
}

namespace {

int32_t isBlankByte(char byte) { return byte == '\r' || byte == '\n' || byte == ' ' || byte == '\t'; }

// The marks Notepad and other editors put before Unicode text.
IndexVerdict unicodeMark(const char* bytes, long length) {
    if (length >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0)
        return kIndexUtf8Mark;
    if (length >= 2 && (memcmp(bytes, "\xFF\xFE", 2) == 0 || memcmp(bytes, "\xFE\xFF", 2) == 0))
        return kIndexUtf16Mark;
    return kIndexOk;
}

} // namespace

int32_t IndexScan::take(const char* bytes, long length) {
    if (found.verdict != kIndexOk)
        return 0;
    if (!startSeen && length > 0) {
        startSeen = 1;
        found.verdict = unicodeMark(bytes, length);
        if (found.verdict != kIndexOk)
            return 0;
    }
    for (long i = 0; i < length; i++) {
        char byte = bytes[i];
        if (byte == 0) {
            found = IndexCheck{kIndexHasNul, line};
            return 0;
        }
        if (textEnded)
            continue;
        // The text ends here, for a save as for a load: whether any line
        // opened a record is known before the bytes after it are looked at.
        if (byte == kEndOfText) {
            textEnded = 1;
            if (end().verdict != kIndexOk)
                return 0;
            continue;
        }
        if (atLineStart && byte == '@')
            recordLineSeen = 1;
        if (!firstTextLine && !isBlankByte(byte))
            firstTextLine = line;
        atLineStart = byte == '\n';
        line += byte == '\n';
    }
    return 1;
}

IndexCheck IndexScan::end() {
    if (found.verdict == kIndexOk && firstTextLine && !recordLineSeen)
        found = IndexCheck{kIndexNoRecordLine, firstTextLine};
    return found;
}

IndexCheck checkTitleIndex(const char* path) {
    FileHandle file = fileLayer.openRead(path);
    if (!file)
        return IndexCheck{kIndexUnreadable, 0};
    IndexScan scan;
    scan.begin();
    long length = 0;
    while ((length = fileLayer.read(file, indexReader.buffer, sizeof indexReader.buffer)) > 0 &&
           scan.take(indexReader.buffer, length)) {
    }
    fileLayer.close(file);
    if (length < 0)
        return IndexCheck{kIndexUnreadable, 0};
    return scan.end();
}
