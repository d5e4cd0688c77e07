// A save's last steps: the temporary file put in the index's place, and
// what a save cut off leaves recovered; and the lock that keeps two saves
// of one folder apart.
#include "TitleIndex.h"

#include <stdio.h>

#include "IndexStreams.h"

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

// The lock of a folder's saves lies beside their temporary file, which it
// guards: "drovix.lck" for "drovix.tmp".
struct SaveLock {
    char path[kBackupPathSize];
    FileHandle held;

    SaveResult take(const char* tempPath) {
        size_t length = strlen(tempPath);
        int swapped = length > 4 && strcmp(tempPath + length - 4, ".tmp") == 0;
        int formed = snprintf(path, sizeof path, "%.*s.lck", (int)(swapped ? length - 4 : length), tempPath);
        if (formed < 0 || formed >= (int)sizeof path)
            return kSaveTempFailed;
        held = 0;
        LockResult taken = fileLayer.lock(path, &held);
        return taken == kLockTaken ? kSaveDone : taken == kLockBusy ? kSaveBusy : kSaveTempFailed;
    }

    void release() { fileLayer.unlock(held, path); }
};

SaveResult rewriteLocked(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                         const TitleRecord* titles, const char* seedPath, IndexCheck* found) {
    const char* input = indexToRead(indexPath, seedPath);
    int hasInput = fileLayer.exists(input);
    int seedSkipped = seedPath && !hasInput && fileLayer.exists(seedPath);
    if (fileLayer.exists(indexPath) && fileLayer.readOnly(indexPath))
        return kSaveIndexReadOnly;
    if (!indexWriter.open(tempPath))
        return kSaveTempFailed;
    if (hasInput && !indexReader.open(input))
        return abandonSave(kSaveIndexUnreadable, 0, tempPath);
    int tracks = usableTracks(trackCount);
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
void recoverCutOffSave(const char* indexPath) {
    char backup[kBackupPathSize];
    if (!fileLayer.exists(indexPath) && backupPathOf(indexPath, backup) && fileLayer.exists(backup))
        fileLayer.rename(backup, indexPath);
}

const char* indexToRead(const char* indexPath, const char* seedPath) {
    recoverCutOffSave(indexPath);
    if (!seedPath || fileLayer.exists(indexPath))
        return indexPath;
    recoverCutOffSave(seedPath);
    return checkTitleIndex(seedPath).verdict == kIndexOk ? seedPath : indexPath;
}

SaveResult rewriteTitleIndex(const char* indexPath, const char* tempPath, const char* discId, int32_t trackCount,
                             const TitleRecord* titles, const char* seedPath, IndexCheck* found) {
    if (found)
        *found = IndexCheck{kIndexOk, 0};
    SaveLock lock;
    SaveResult locked = lock.take(tempPath);
    if (locked != kSaveDone)
        return locked;
    SaveResult result = rewriteLocked(indexPath, tempPath, discId, trackCount, titles, seedPath, found);
    lock.release();
    return result;
}

SaveResult createEmptyIndex(const char* indexPath, const char* tempPath) {
    SaveLock lock;
    SaveResult locked = lock.take(tempPath);
    if (locked != kSaveDone)
        return locked;
    recoverCutOffSave(indexPath);
    SaveResult result = kSaveDone;
    if (!fileLayer.exists(indexPath)) {
        FileHandle made = fileLayer.openWrite(indexPath);
        if (!made || !fileLayer.close(made))
            result = kSaveWriteFailed;
    }
    lock.release();
    return result;
}
