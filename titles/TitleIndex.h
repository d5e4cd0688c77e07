// The title index: a text file that maps a disc identifier to the disc's
// title, artist and track names. One sequential pass per operation, fixed
// buffers only.
#pragma once

#include <stdint.h>

const int kTitleSlot = 64;
const int kTitleTracks = 99;
const int kDiscIdSize = 16;
// The longest value a load reads back whole with its line end: a save cuts
// longer values to it, never inside a double-byte character.
const int kValueMax = kTitleSlot - 2;

struct TitleRecord {
    char artist[kTitleSlot];
    char title[kTitleSlot];
    char tracks[kTitleTracks][kTitleSlot];
};

enum SaveResult {
    kSaveDone = 1,
    // The temporary file could not be created: nothing was written.
    kSaveTempFailed,
    // The index exists but cannot be read: replacing it would lose its records.
    kSaveIndexUnreadable,
    // Writing the temporary file or putting it in place failed.
    kSaveWriteFailed,
    // The file is no title index (IndexCheck says what was found in it):
    // it is never rewritten.
    kSaveNotAnIndex,
    // The index is marked read-only: its owner meant it to stay as it is.
    kSaveIndexReadOnly,
    // Another save of the same folder (another program, another PC on the
    // same share) held it for longer than a save waits: nothing was written.
    kSaveBusy,
    // Stored; the seed, which cannot be read or is no index, was left out
    // and left as it was: the index starts with this record alone.
    kSaveDoneSeedSkipped,
};

// What a file was found to be, taken as a title index.
enum IndexVerdict {
    kIndexOk = 0,
    kIndexUnreadable,
    // A NUL byte: a program's or a picture's bytes, or text in UTF-16.
    kIndexHasNul,
    // Text, but not one line that opens a record with "@": a memo, a list.
    kIndexNoRecordLine,
    // Saved by an editor as Unicode: it starts with that byte-order mark.
    kIndexUtf8Mark,
    kIndexUtf16Mark,
};

struct IndexCheck {
    IndexVerdict verdict;
    // The line, from 1, where it was found (the NUL's; the first line of text
    // where no line opens a record); 0 for the others.
    int32_t line;
};

// Reads the whole file: kIndexOk for an index (also an empty one, and one
// with comments, stray or blank lines around its records).
IndexCheck checkTitleIndex(const char* path);

// "@%02x%04x%04x" from the track count, the total and the first track's
// length in seconds, cut to the buffer when a drive reports nonsense.
void formatDiscId(char id[kDiscIdSize], int32_t trackCount, int32_t totalSeconds, int32_t firstTrackSeconds);

void setDefaultTitles(TitleRecord* titles);

// The file that holds the records now, for every program that reads,
// tests or creates the index: a save cut off between its two renames is
// recovered first. An index that does not exist yet may start from the
// records of another file, its seed (an index that the program's folder
// holds where the index itself lies in the user's folder): until the index
// exists, the seed is read where it is a title index; one that cannot be
// read or is none is passed over, and the index starts empty.
const char* indexToRead(const char* indexPath, const char* seedPath);
void recoverCutOffSave(const char* indexPath);

// Fills titles for the disc: defaults first, then the first record of the
// disc. 0 when the index cannot be opened, else 1.
int loadTitleRecord(const char* indexPath, const char* discId, int32_t trackCount, TitleRecord* titles,
                    const char* seedPath = 0);

// 1 when the index holds a record of the disc.
int titleRecordExists(const char* indexPath, const char* discId, const char* seedPath = 0);

// Rewrites the index through the temporary file with the disc's record in
// place of its old ones, or before a 0x1A, or appended; each value cut to
// kValueMax bytes. Every other byte of the file stays as it was. On any
// failure the index is left as it was and the temporary file is removed.
// From before it reads until the index is replaced, the save holds the lock
// beside the temporary file, so that two saves never share that file.
// found, where given, says what a file refused as no index holds.
SaveResult rewriteTitleIndex(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                             const TitleRecord* titles, const char* seedPath = 0, IndexCheck* found = 0);

// Creates the index empty, under the same lock as a save (the settings
// tool); 1 when it exists afterwards. kSaveBusy where the lock stayed taken.
SaveResult createEmptyIndex(const char* indexPath, const char* tempPath);
