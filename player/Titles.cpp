// The player's side of the title index: the disc identifier, following the
// index as other writers change it, and saving what the user changed in the
// track title dialog. The file itself is the title index's.
#include "PlayerWindow.h"

#include <stdio.h>
#include <string.h>

#include "../engine/DiscEngine.h"
#include "../common/IndexWords.h"
#include "../common/Places.h"
#include "../common/Settings.h"
#include "../common/ShiftJis.h"
#include "../common/Text.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

// Big enough for anything a control of the dialog is given by typing; a
// longer text reached it from outside and is not taken.
const int kControlText = 512;

// A share that takes the watch but never signals, and the seed beside the
// program, are looked at this often all the same.
const uint32_t kIndexLookMs = 10000;

void takeEditText(HWND dialog, int id, char slot[kTitleSlot]) {
    char text[kControlText] = {};
    itemText(dialog, id, text, kControlText);
    copyCut(slot, text, kValueMax);
}

void takeListItem(HWND dialog, int index, char slot[kTitleSlot]) {
    char text[kControlText] = {};
    if (listItem(GetDlgItem(dialog, IDC_TRACK_LIST), index, text, kControlText) != LB_ERR)
        copyCut(slot, text, kValueMax);
}

} // namespace

void PlayerWindow::formDiscId(char id[kDiscIdSize]) {
    formatDiscId(id, discEngine.trackCount(), discEngine.totalLength(), discEngine.trackLength(1));
}

// The tracks that have names: a drive that reports more than 99 has names
// for 99.
int32_t PlayerWindow::usableTrackCount() {
    int32_t count = discEngine.trackCount();
    if (count < 0)
        return 0;
    return count > kTitleTracks ? kTitleTracks : count;
}

namespace {

// "" in seedPath: the index has no seed.
const char* seedOrNone(const char* seed) { return seed && seed[0] ? seed : 0; }

} // namespace

// A read that failed (the file held open by another program, or gone for a
// moment between another writer's two renames) leaves the disc's names as
// they were and its stamp untaken, so the next tick reads again; a disc
// just found has the defaults meanwhile. Where there is no file at all, the
// defaults are the disc's names.
int32_t PlayerWindow::loadTitleRecord(const char* index, const char* discId, int32_t trackCount, TitleRecord* record,
                                      const char* seed) {
    IndexStamp stamp = titleIndexStamp(index, seedOrNone(seed));
    static TitleRecord loaded;
    int32_t read = ::loadTitleRecord(index, discId, trackCount, &loaded, seedOrNone(seed));
    if (read || stamp.which == 0) {
        indexWasRead(&titlesFollow, stamp, GetTickCount());
    } else {
        indexReadFailed(&titlesFollow);
        if (strcmp(discId, titlesDiscId) == 0)
            return 0;
        setDefaultTitles(&loaded);
    }
    *record = loaded;
    snprintf(titlesDiscId, sizeof titlesDiscId, "%s", discId);
    return read;
}

void PlayerWindow::reloadTitles() {
    char discId[kDiscIdSize];
    formDiscId(discId);
    loadTitleRecord(indexPath, discId, discEngine.trackCount(), &titles, seedPath);
}

// The size and write time of the file are all a look takes: the file is
// read only when another writer (or this player's own save) changed it, and
// for a few seconds after each change, which a save of the same size may
// follow within the file system's time resolution.
int32_t PlayerWindow::followTitleIndex() {
    if (!indexLookDue())
        return 0;
    if (!indexNeedsReading(titlesFollow, titleIndexStamp(indexPath, seedOrNone(seedPath))))
        return 0;
    reloadTitles();
    return 1;
}

// Even a look costs: Wine answers one for a missing file by listing its
// whole folder, which at every tick cost the player more than its drawing.
// So a tick looks while a change settles, once the folder's notification
// has signalled, and every kIndexLookMs, when the watch is made anew (a
// folder renamed or deleted is let go, one made since is watched). A folder
// that is not watched is looked at every tick.
int32_t PlayerWindow::indexLookDue() {
    uint32_t now = GetTickCount();
    int32_t signalled = indexFolderChange && WaitForSingleObject(indexFolderChange, 0) == WAIT_OBJECT_0;
    int32_t renewal = now - indexWatchedAt >= kIndexLookMs;
    if (indexFolderChange && !signalled && !renewal && titlesFollow.settled)
        return 0;
    if (renewal) {
        indexWatchedAt = now;
        watchIndexFolder();
    } else if (signalled && !FindNextChangeNotification(indexFolderChange)) {
        // (Armed again before the look, so that a save after it signals.)
        stopWatchingIndexFolder();
    }
    return 1;
}

// A removable drive's folder is not watched: the watch would hold the
// drive, which the user could then not remove safely.
void PlayerWindow::watchIndexFolder() {
    stopWatchingIndexFolder();
    char folder[kPathSize];
    size_t length = pathFolderLength(indexPath);
    if (!length)
        return;
    snprintf(folder, sizeof folder, "%.*s", (int)length, indexPath);
    char root[4] = {folder[0], ':', '\\', 0};
    if (folder[1] == ':' && GetDriveTypeA(root) == DRIVE_REMOVABLE)
        return;
    HANDLE change =
        watchFolder(folder, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
    indexFolderChange = change == INVALID_HANDLE_VALUE ? 0 : change;
}

void PlayerWindow::letIndexFolderGo() {
    stopWatchingIndexFolder();
    indexWatchedAt = GetTickCount() - kIndexLookMs;
}

void PlayerWindow::stopWatchingIndexFolder() {
    if (indexFolderChange)
        FindCloseChangeNotification(indexFolderChange);
    indexFolderChange = 0;
}

namespace {

// What the user is told of a save that did not store the names: the file
// and, for one that is no index, what was found in it.
void tellSaveFailed(HWND dialog, SaveResult result, const char* indexPath, const IndexCheck& found) {
    char text[kIndexWordsSize + kControlText];
    char refused[kIndexWordsSize];
    const char* told = text;
    switch (result) {
    case kSaveTempFailed:
        told = kTextTempFailed;
        break;
    case kSaveIndexReadOnly:
        snprintf(text, sizeof text, kTextIndexReadOnly, indexPath);
        break;
    case kSaveNotAnIndex:
        describeRefusedIndex(indexPath, found, refused, sizeof refused);
        snprintf(text, sizeof text, kTextNotAnIndex, refused);
        break;
    case kSaveBusy:
        describeBusyIndex(indexPath, text, sizeof text);
        break;
    case kSaveIndexIsSaveFile:
        describeSaveFileIndex(indexPath, text, sizeof text);
        break;
    default:
        told = kTextSaveFailed;
        break;
    }
    showMessage(dialog, told, kTextPlayerCaption, MB_ICONWARNING | MB_OK);
}

} // namespace

// The typed names become the disc's titles only once they are stored: on any
// failure the user is told, and the display keeps showing what the index
// holds. What the user did not change is stored as the index holds it at the
// save, whatever another writer put there while the dialog was open.
int32_t PlayerWindow::saveTitleRecord(HWND dialog) {
    SaveResult result = kSaveIndexIsSaveFile;
    IndexCheck found = {};
    static TitleRecord typed;
    typed = filledTitles;
    if (!indexIsSaveFile(indexPath, tempPath)) {
        takeEditText(dialog, IDC_TITLE_EDIT, typed.title);
        takeEditText(dialog, IDC_ARTIST_EDIT, typed.artist);
        int32_t count = usableTrackCount();
        for (int32_t i = 0; i < count; i++)
            takeListItem(dialog, i, typed.tracks[i]);
        char discId[kDiscIdSize];
        formDiscId(discId);
        makeIndexFolder(indexFolderToMake);
        result = saveTitleEdits(indexPath, tempPath, discId, count, &filledTitles, &typed, seedOrNone(seedPath), &found);
    }
    if (result == kSaveDoneSeedSkipped) {
        char text[kIndexWordsSize];
        describeSkippedSeed(seedPath, indexPath, text, sizeof text);
        showMessage(dialog, text, kTextPlayerCaption, MB_ICONINFORMATION | MB_OK);
        result = kSaveDone;
    }
    if (result != kSaveDone) {
        tellSaveFailed(dialog, result, indexPath, found);
        return 0;
    }
    titles = typed;
    return 1;
}
