// The copy pass of a save: the index read line by line into the temporary
// file, each byte as it stands, with the disc's new record in place of its
// old ones.
#include "IndexStreams.h"

void writeRecord(const char* discId, int tracks, const TitleRecord* titles) {
    indexWriter.putBytes(discId, (int)strnlen(discId, kDiscIdSize - 1));
    indexWriter.putBytes("\n+", 2);
    indexWriter.putValue(titles->title);
    indexWriter.putBytes("\n-", 2);
    indexWriter.putValue(titles->artist);
    indexWriter.putByte('\n');
    for (int i = 0; i < tracks; i++) {
        indexWriter.putByte('#');
        indexWriter.putValue(titles->tracks[i]);
        indexWriter.putByte('\n');
    }
    indexWriter.putByte('\n');
}

namespace {

int isTag(char byte) { return byte == '#' || byte == '+' || byte == '-'; }

// What the copy pass knows of the input so far.
struct CopyState {
    int replaced;
    // Inside the record being replaced: its value lines and the blank line
    // that ends it are dropped, nothing else.
    int inReplaced;
    // The piece read begins a line (pieces after the first of a long line
    // continue it).
    int atLineStart;
};

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
    if (indexWriter.lastByte != '\n')
        indexWriter.putBytes("\n", 1);
    writeRecord(discId, tracks, titles);
}

// Writes the new record where a load would find it: in place of each record
// of the disc, else before a 0x1A, else at the end after a blank line.
void appendIfNotReplaced(CopyState* state, const char* discId, int tracks, const TitleRecord* titles) {
    if (state->replaced)
        return;
    if (indexWriter.lastByte != '\n')
        indexWriter.putBytes("\n", 1);
    indexWriter.putByte('\n');
    writeRecord(discId, tracks, titles);
    state->replaced = 1;
}

// The file's bytes from a 0x1A on, whole: a load never reads them, and a
// save keeps them.
CopyResult copyAfterEndOfText(IndexScan* scan) {
    const char* bytes;
    long length;
    while ((length = indexReader.readAfterEndOfText(&bytes)) > 0) {
        if (!scan->take(bytes, length))
            return kCopyNotAnIndex;
        indexWriter.putRun(bytes, (size_t)length);
    }
    return kCopyKept;
}

} // namespace

// The lines of the disc's records are matched in the pieces a load reads,
// so that a save replaces every record a load would find. The file's raw
// bytes are scanned as they go by: one that turns out to be no index is
// never written back.
CopyResult copyReplacing(const char* discId, int tracks, const TitleRecord* titles, IndexCheck* found) {
    CopyState state = {0, 0, 1};
    IndexScan scan;
    scan.begin();
    char line[kTitleSlot];
    int length;
    indexReader.echo = 1;
    CopyResult result = kCopyKept;
    while (result == kCopyKept && (length = indexReader.readLine(line)) > 0) {
        int startsLine = state.atLineStart;
        state.atLineStart = line[length - 1] == '\n';
        if (!scan.take(indexReader.raw, indexReader.rawLength)) {
            result = kCopyNotAnIndex;
            break;
        }
        if (dropsFromReplacedRecord(&state, line, startsLine))
            continue;
        if (line[0] == '@' && isDiscLine(line, length, discId)) {
            writeRecordOnItsOwnLine(discId, tracks, titles);
            state.replaced = state.inReplaced = 1;
            continue;
        }
        indexWriter.putRun(indexReader.raw, (size_t)indexReader.rawLength);
    }
    // The text ends here (at the end, or at a 0x1A): whether any line opened
    // a record is known.
    if (result == kCopyKept && scan.end().verdict != kIndexOk)
        result = kCopyNotAnIndex;
    if (result == kCopyKept) {
        appendIfNotReplaced(&state, discId, tracks, titles);
        if (indexReader.endOfText)
            result = copyAfterEndOfText(&scan);
    }
    if (found)
        *found = scan.end();
    return result;
}

