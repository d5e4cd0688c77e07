// Living with the index's other writers (another program, another PC on a
// share): where a save's own files lie, what tells that the file changed,
// and a dialog's edits laid over the record as the file holds it.
#include <stdio.h>

#include "IndexStreams.h"

namespace {

// As a save writes them: cut to what a load reads back whole.
int sameValue(const char* one, const char* other) {
    size_t length = cutLength(one, kValueMax);
    return length == cutLength(other, kValueMax) && memcmp(one, other, length) == 0;
}

void takeEdit(char stored[kTitleSlot], const char* filled, const char* typed, const char* inFile) {
    snprintf(stored, kTitleSlot, "%s", sameValue(typed, filled) ? inFile : typed);
}

} // namespace

// A backslash is a separator only where it is no trail byte.
size_t pathFolderLength(const char* path) {
    const char* end = lastSeparator(path);
    for (const char* at = path; *at; at++)
        if ((*at == '/' || *at == ':') && (!end || at > end))
            end = at;
    return end ? (size_t)(end - path) + 1 : 0;
}

int32_t saveLockBeside(const char* indexPath, char lock[kSaveFilePathSize]) {
    int length =
        snprintf(lock, kSaveFilePathSize, "%.*s%s", (int)pathFolderLength(indexPath), indexPath, kSaveLockName);
    if (length >= 0 && length < kSaveFilePathSize)
        return 1;
    lock[0] = 0;
    return 0;
}

void mergeTitleEdits(const TitleRecord* filled, const TitleRecord* typed, const TitleRecord* inFile, int tracks,
                     TitleRecord* stored) {
    *stored = *typed;
    takeEdit(stored->title, filled->title, typed->title, inFile->title);
    takeEdit(stored->artist, filled->artist, typed->artist, inFile->artist);
    for (int i = 0; i < tracks; i++)
        takeEdit(stored->tracks[i], filled->tracks[i], typed->tracks[i], inFile->tracks[i]);
}

IndexStamp titleIndexStamp(const char* indexPath, const char* seedPath) {
    IndexStamp stamp = {};
    if (pathStamp(indexPath, &stamp.size, &stamp.written))
        stamp.which = 1;
    else if (seedPath && pathStamp(seedPath, &stamp.size, &stamp.written))
        stamp.which = 2;
    else
        stamp = IndexStamp{};
    return stamp;
}

int32_t sameIndexStamp(const IndexStamp& one, const IndexStamp& other) {
    return one.which == other.which && one.size == other.size && one.written == other.written;
}

int32_t indexNeedsReading(const IndexFollow& follow, const IndexStamp& now) {
    return !follow.settled || !sameIndexStamp(now, follow.seen);
}

// The window runs from the read that first saw the stamp; reads within it
// do not extend it, so the reads at every look end once it has passed.
void indexWasRead(IndexFollow* follow, const IndexStamp& stamp, uint32_t clock) {
    if (!sameIndexStamp(stamp, follow->seen)) {
        follow->seen = stamp;
        follow->changedAt = clock;
        follow->settled = 0;
        return;
    }
    if (clock - follow->changedAt >= kStampSettleMs)
        follow->settled = 1;
}

void indexReadFailed(IndexFollow* follow) { follow->settled = 0; }
