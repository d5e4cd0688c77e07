// A save's last steps: the temporary file put in the index's place, and
// what a save cut off leaves recovered; and the lock that keeps two saves
// of one folder apart, and a save apart from a recovery.
#include "TitleIndex.h"

#include <stdio.h>

#include "IndexStreams.h"
#include "../common/IndexPlace.h"

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
        indexReader.close();
    indexWriter.close();
    fileLayer.remove(tempPath);
    return result;
}

// The lock of a folder's saves, taken before a save reads the index and
// before a lone backup is put back, let go once the index is in place.
struct SaveLock {
    char path[kSaveFilePathSize];
    FileHandle held;

    SaveResult take(const char* indexPath) {
        held = 0;
        if (!saveLockBeside(indexPath, path))
            return kSaveTempFailed;
        if (samePathSpelling(indexPath, path))
            return kSaveIndexIsSaveFile;
        LockResult taken = fileLayer.lock(path, &held);
        return taken == kLockTaken ? kSaveDone : taken == kLockBusy ? kSaveBusy : kSaveTempFailed;
    }

    void release() { fileLayer.unlock(held, path); }
};

// Under the lock of the index's folder.
void recoverLocked(const char* indexPath) {
    char backup[kBackupPathSize];
    if (!fileLayer.exists(indexPath) && backupPathOf(indexPath, backup) && fileLayer.exists(backup))
        fileLayer.rename(backup, indexPath);
}

// The file a save reads, with the index's folder locked already: the seed,
// in a folder of its own, is put right under its own folder's lock.
const char* inputOf(const char* indexPath, const char* seedPath) {
    recoverLocked(indexPath);
    if (!seedPath || fileLayer.exists(indexPath))
        return indexPath;
    char indexLock[kSaveFilePathSize], seedLock[kSaveFilePathSize];
    if (saveLockBeside(indexPath, indexLock) && saveLockBeside(seedPath, seedLock) &&
        samePathSpelling(indexLock, seedLock))
        recoverLocked(seedPath);
    else
        recoverCutOffSave(seedPath);
    return checkTitleIndex(seedPath).verdict == kIndexOk ? seedPath : indexPath;
}

// The disc's record as the input holds it, with what the user changed over
// it. 0 when the input could not be read: the fields the user left would
// take defaults over the file's names, so nothing is stored.
int mergeEdits(const char* input, int hasInput, const char* discId, int tracks, const TitleRecord* filled,
               const TitleRecord* typed, TitleRecord* stored) {
    static TitleRecord inFile;
    setDefaultTitles(&inFile);
    if (hasInput && !readRecordFrom(input, discId, tracks, &inFile))
        return 0;
    mergeTitleEdits(filled, typed, &inFile, tracks, stored);
    return 1;
}

// With filled (what the dialog was filled with) the record stored is the
// edits merged into stored; else titles as they are.
SaveResult rewriteLocked(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                         const TitleRecord* titles, const TitleRecord* filled, TitleRecord* stored,
                         const char* seedPath, IndexCheck* found) {
    const char* input = inputOf(indexPath, seedPath);
    int hasInput = fileLayer.exists(input);
    int seedSkipped = seedPath && !hasInput && fileLayer.exists(seedPath);
    if (fileLayer.exists(indexPath) && fileLayer.readOnly(indexPath))
        return kSaveIndexReadOnly;
    int tracks = usableTracks(trackCount);
    if (filled) {
        if (!mergeEdits(input, hasInput, discId, tracks, filled, titles, stored))
            return kSaveIndexUnreadable;
        titles = stored;
    }
    if (!indexWriter.open(tempPath))
        return kSaveTempFailed;
    if (hasInput && !indexReader.open(input))
        return abandonSave(kSaveIndexUnreadable, 0, tempPath);
    if (!hasInput) {
        indexWriter.putByte('\n');
        writeRecord(discId, tracks, titles);
    } else if (copyReplacing(discId, tracks, titles, found) == kCopyNotAnIndex) {
        return abandonSave(kSaveNotAnIndex, 1, tempPath);
    }
    int readOk = hasInput ? indexReader.close() : 1;
    int written = indexWriter.close();
    if (!readOk) {
        fileLayer.remove(tempPath);
        return kSaveIndexUnreadable;
    }
    if (!written || putInPlace(tempPath, indexPath) != 1) {
        fileLayer.remove(tempPath);
        return kSaveWriteFailed;
    }
    return seedSkipped ? kSaveDoneSeedSkipped : kSaveDone;
}

} // namespace

// A save cut off between its two renames leaves the records under the
// backup name alone: they are the index again before anything reads it.
// While a save holds the lock, the backup is its own, between its renames.
void recoverCutOffSave(const char* indexPath) {
    char backup[kBackupPathSize];
    if (fileLayer.exists(indexPath) || !backupPathOf(indexPath, backup) || !fileLayer.exists(backup))
        return;
    SaveLock lock;
    if (lock.take(indexPath) != kSaveDone)
        return;
    recoverLocked(indexPath);
    lock.release();
}

const char* indexToRead(const char* indexPath, const char* seedPath) {
    recoverCutOffSave(indexPath);
    if (!seedPath || fileLayer.exists(indexPath))
        return indexPath;
    recoverCutOffSave(seedPath);
    return checkTitleIndex(seedPath).verdict == kIndexOk ? seedPath : indexPath;
}

int32_t isSaveFile(const char* indexPath, const char* tempPath) {
    char lock[kSaveFilePathSize];
    return samePathSpelling(indexPath, tempPath) ||
           (saveLockBeside(indexPath, lock) && samePathSpelling(indexPath, lock));
}

namespace {

SaveResult saveLocked(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                      const TitleRecord* titles, const TitleRecord* filled, TitleRecord* stored,
                      const char* seedPath, IndexCheck* found) {
    if (found)
        *found = IndexCheck{kIndexOk, 0};
    if (isSaveFile(indexPath, tempPath))
        return kSaveIndexIsSaveFile;
    SaveLock lock;
    SaveResult locked = lock.take(indexPath);
    if (locked != kSaveDone)
        return locked;
    SaveResult result =
        rewriteLocked(indexPath, tempPath, discId, trackCount, titles, filled, stored, seedPath, found);
    lock.release();
    return result;
}

} // namespace

SaveResult rewriteTitleIndex(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                             const TitleRecord* titles, const char* seedPath, IndexCheck* found) {
    return saveLocked(indexPath, tempPath, discId, trackCount, titles, 0, 0, seedPath, found);
}

SaveResult saveTitleEdits(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                          const TitleRecord* filled, TitleRecord* titles, const char* seedPath, IndexCheck* found) {
    static TitleRecord stored;
    SaveResult result = saveLocked(indexPath, tempPath, discId, trackCount, titles, filled, &stored, seedPath, found);
    if (result == kSaveDone || result == kSaveDoneSeedSkipped)
        *titles = stored;
    return result;
}

SaveResult createEmptyIndex(const char* indexPath, const char* tempPath) {
    if (isSaveFile(indexPath, tempPath))
        return kSaveIndexIsSaveFile;
    SaveLock lock;
    SaveResult locked = lock.take(indexPath);
    if (locked != kSaveDone)
        return locked;
    recoverLocked(indexPath);
    SaveResult result = kSaveDone;
    if (!fileLayer.exists(indexPath)) {
        FileHandle made = fileLayer.openWrite(indexPath);
        if (!made || !fileLayer.close(made))
            result = kSaveWriteFailed;
    }
    lock.release();
    return result;
}
