// The player's side of the title index: the disc identifier, and saving what
// the track title dialog holds. The file itself is the title index's.
#include "PlayerWindow.h"

#include <stdio.h>

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

// What the user is told of a save that did not store the names: the file
// and, for one that is no index, what was found in it.
void tellSaveFailed(HWND dialog, SaveResult result, const char* indexPath, const IndexCheck& found) {
    char text[kIndexWordsSize + kControlText];
    const char* told = kTextSaveFailed;
    if (result == kSaveTempFailed)
        told = kTextTempFailed;
    if (result == kSaveIndexReadOnly) {
        snprintf(text, sizeof text, kTextIndexReadOnly, indexPath);
        told = text;
    }
    if (result == kSaveNotAnIndex) {
        char refused[kIndexWordsSize];
        describeRefusedIndex(indexPath, found, refused, sizeof refused);
        snprintf(text, sizeof text, kTextNotAnIndex, refused);
        told = text;
    }
    if (result == kSaveBusy) {
        describeBusyIndex(indexPath, text, sizeof text);
        told = text;
    }
    showMessage(dialog, told, kTextPlayerCaption, MB_ICONWARNING | MB_OK);
}

} // namespace

// The typed names become the disc's titles only once they are stored: on any
// failure the user is told, and the display keeps showing what the index
// holds.
int32_t PlayerWindow::saveTitleRecord(HWND dialog) {
    SaveResult result = kSaveIndexUnreadable;
    IndexCheck found = {};
    TitleRecord typed = titles;
    // Writing the index through itself would lose it.
    if (!sameFile(indexPath, tempPath)) {
        takeEditText(dialog, IDC_TITLE_EDIT, typed.title);
        takeEditText(dialog, IDC_ARTIST_EDIT, typed.artist);
        int32_t count = usableTrackCount();
        for (int32_t i = 0; i < count; i++)
            takeListItem(dialog, i, typed.tracks[i]);
        char discId[kDiscIdSize];
        formDiscId(discId);
        makeIndexFolder(indexFolderToMake);
        result = rewriteTitleIndex(indexPath, tempPath, discId, count, &typed, seedPath[0] ? seedPath : 0, &found);
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
