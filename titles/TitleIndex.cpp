// The title index read: a disc's record found and its names taken, in one
// pass over the file.
#include "TitleIndex.h"

#include <stdio.h>

#include "IndexStreams.h"

// The reader and the writer of every operation.
TextReader indexReader;
TextWriter indexWriter;

namespace {

// The value after a tag; a tag at the very end of the file gives "".
void readValue(char slot[kTitleSlot]) {
    char line[kTitleSlot];
    int length = stripLine(line, indexReader.readLine(line));
    memcpy(slot, line, (size_t)length);
    slot[length] = 0;
}

void readRecord(int tracks, TitleRecord* titles) {
    int stored = 0;
    char discarded[kTitleSlot];
    for (;;) {
        int tag = indexReader.getByte();
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

// Reads on to the line after the disc's first identifier line; 0 when the
// index has none.
int findRecord(const char* discId) {
    char line[kTitleSlot];
    int length;
    for (;;) {
        indexReader.skipToIdentifier();
        if ((length = indexReader.readLine(line)) == 0)
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

int readRecordFrom(const char* path, const char* discId, int tracks, TitleRecord* titles) {
    if (!indexReader.open(path))
        return 0;
    if (findRecord(discId))
        readRecord(tracks, titles);
    return indexReader.close();
}

int loadTitleRecord(const char* indexPath, const char* discId, int32_t trackCount, TitleRecord* titles,
                    const char* seedPath) {
    setDefaultTitles(titles);
    return readRecordFrom(indexToRead(indexPath, seedPath), discId, usableTracks(trackCount), titles);
}

int titleRecordExists(const char* indexPath, const char* discId, const char* seedPath) {
    if (!indexReader.open(indexToRead(indexPath, seedPath)))
        return 0;
    int found = findRecord(discId);
    indexReader.close();
    return found;
}

