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
    // The file holds no records but something else (a NUL byte, or a first
    // line that is not blank and not an identifier): it is never rewritten.
    kSaveNotAnIndex,
    // The index is marked read-only: its owner meant it to stay as it is.
    kSaveIndexReadOnly,
};

// "@%02x%04x%04x" from the track count, the total and the first track's
// length in seconds, cut to the buffer when a drive reports nonsense.
void formatDiscId(char id[kDiscIdSize], int32_t trackCount, int32_t totalSeconds, int32_t firstTrackSeconds);

void setDefaultTitles(TitleRecord* titles);

// An index that does not exist yet may start from the records of another
// file, its seed (an index that the program's folder holds where the index
// itself lies elsewhere): until the index exists, the seed is read. A save
// cut off between its two renames is recovered first.
const char* indexToRead(const char* indexPath, const char* seedPath);
void recoverCutOffSave(const char* indexPath);

// 1 when the file reads as a title index: no NUL byte, and the first line
// that is not blank starts with "@" (an empty file is an empty index).
int isTitleIndexFile(const char* path);

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
SaveResult rewriteTitleIndex(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                             const TitleRecord* titles, const char* seedPath = 0);
