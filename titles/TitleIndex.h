// The title index: a text file that maps a disc identifier to the disc's
// title, artist and track names. One sequential pass per operation, fixed
// buffers only.
#pragma once

#include <stddef.h>
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
    // The index bears the name of a save's own file, its lock or its
    // temporary file: a save would take it for its lock and remove it, or
    // write it through itself. Nothing was done.
    kSaveIndexIsSaveFile,
};

// A save's own files beside the index: the lock that keeps the folder's
// saves apart, and the temporary file it guards. Every program, and every
// earlier copy of them on a share, takes these names in the index's folder,
// so the lock keeps them apart whichever index of the folder they save.
const char kSaveLockName[] = "drovix.lck";
const int kSaveFilePathSize = 520;

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
// The backup goes back under the save's lock, so that it never comes back
// between the two renames of a save under way.
const char* indexToRead(const char* indexPath, const char* seedPath);
void recoverCutOffSave(const char* indexPath);

// The lock of the index's folder; 0 when the path does not fit.
int32_t saveLockBeside(const char* indexPath, char lock[kSaveFilePathSize]);
// The bytes of the path up to and with its last separator (a backslash, a
// slash or a drive's colon); 0 for a bare name.
size_t pathFolderLength(const char* path);
// 1 where the index is spelled as its save's lock or temporary file.
int32_t isSaveFile(const char* indexPath, const char* tempPath);

// What a program that shows the index's names looks at to notice another
// writer: the size and last write time of the file a load reads (the
// index; while it does not exist, its seed). No file is opened.
struct IndexStamp {
    // 0 no file, 1 the index, 2 the seed.
    int32_t which;
    uint64_t size;
    uint64_t written;
};
IndexStamp titleIndexStamp(const char* indexPath, const char* seedPath);
int32_t sameIndexStamp(const IndexStamp& one, const IndexStamp& other);

// A file system keeps write times only to its resolution (FAT to 2 s), so
// a second save of the same size soon after a first leaves the stamp as
// the first left it. For this long after a reader took a changed stamp (by
// its own clock, whatever the clock of a share's server says), an equal
// stamp proves nothing and the record is read again at every look.
const uint32_t kStampSettleMs = 4000;

// What a reader keeps to follow the index: the stamp its names were read
// under, and since when it has stood.
struct IndexFollow {
    IndexStamp seen;
    // The reader's clock, in ms, when seen was taken as a change.
    uint32_t changedAt;
    // seen has stood for kStampSettleMs, with a read at the end: an equal
    // stamp means an unchanged file.
    int32_t settled;
};
// 1 where the record must be read again: the stamp differs from the one
// seen, or is not settled yet.
int32_t indexNeedsReading(const IndexFollow& follow, const IndexStamp& now);
// A read that succeeded (or found no file at all, whose names are the
// defaults) under the stamp taken before it.
void indexWasRead(IndexFollow* follow, const IndexStamp& stamp, uint32_t clock);
// A read that failed: the names read before stay, and the next look reads
// again.
void indexReadFailed(IndexFollow* follow);

// Fills titles for the disc: defaults first, then the first record of the
// disc. 0 when the index cannot be opened or read through, else 1.
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

// A dialog's save: titles holds what the dialog holds, filled what it was
// filled with. Under the save's lock the disc's record is read as the file
// holds it then; a value the user did not change (equal to what was filled,
// as a save cuts it) keeps the file's, one changed takes what was typed, so
// no older name nor default goes over what another writer stored meanwhile.
// On kSaveDone titles holds the record as stored. Otherwise as
// rewriteTitleIndex.
SaveResult saveTitleEdits(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                          const TitleRecord* filled, TitleRecord* titles, const char* seedPath = 0,
                          IndexCheck* found = 0);

// Creates the index empty, under the same lock as a save (the settings
// tool); 1 when it exists afterwards. kSaveBusy where the lock stayed taken.
SaveResult createEmptyIndex(const char* indexPath, const char* tempPath);
