// The per-tick update of the display: it follows the disc and the play
// state and redraws only the text areas whose text has changed.
#include "PlayerWindow.h"

#include <string.h>

#include "../engine/DiscEngine.h"
#include "Texts.h"

namespace {

void showNoDisc(PlayerWindow* player) {
    player->drawText(kAreaTitleLine, kTextInsertDisc);
    player->drawText(kAreaTrackLine, "");
    player->drawText(kAreaClock, "");
    player->drawText(kAreaCaption, kTextPlayerCaption);
}

} // namespace

// The drive is shared with every other program: what it says now is shown,
// whoever changed it. A drive that does not answer shows no disc, but what
// the player knows of its disc waits for it to come back.
int32_t PlayerWindow::refresh() {
    int32_t followed = discEngine.lastFollowed;
    discEngine.lastFollowed = kDriveFollowed;
    if (followed == kDriveSilent) {
        showNoDisc(this);
        letIndexFolderGo();
        return 0;
    }
    // A query of this tick found the drive gone: what a drive that took its
    // place answers is shown once the next tick has looked at it.
    if (discEngine.driveSilent)
        return 0;
    if (followed == kDriveHasAnotherDisc)
        discLoaded = 0;
    if (!discEngine.mediaPresent()) {
        showNoDisc(this);
        // The query that found the drive gone: the next tick looks at what
        // it lost.
        if (discEngine.queryFailed)
            return 0;
        discEngine.invalidateCache();
        if (discEngine.playState() != kStopped)
            discEngine.forgetPlay();
        discLoaded = 0;
        // Nothing looks at the index without a disc.
        letIndexFolderGo();
        return 0;
    }
    if (!discLoaded)
        discFound();
    followTitleIndex();

    int32_t track = (int32_t)(discEngine.position() >> 16);
    int32_t seconds = discEngine.timeToShow();
    int32_t state = discEngine.playState();
    const char* trackName = track >= 1 && track <= kTitleTracks ? titles.tracks[track - 1] : "";

    char titleLine[kTitleLineStore];
    formatTitleLine(titleLine, titles.title, titles.artist);
    drawText(kAreaTitleLine, titleLine);

    char trackLine[kTrackLineStore];
    formatTrackLine(trackLine, track, trackName);
    drawText(kAreaTrackLine, trackLine);

    char clock[kClockStore];
    formatClock(clock, seconds);
    drawText(kAreaClock, clockVisible(&blinkCounter, state == kPaused) ? clock : "");

    char caption[kCaptionStore];
    formatCaption(caption, state, trackName, clock, titleLine);
    drawText(kAreaCaption, caption);
    return 1;
}

// A disc seen for the first time since start-up or since the drive was last
// empty: its titles, the window to the front, and the AutoPlay start.
void PlayerWindow::discFound() {
    discLoaded = 1;
    if (!autoplayMinimize) {
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        SetFocus(window);
    }
    char discId[kDiscIdSize];
    formDiscId(discId);
    // Stop, or the same disc out and in again, keeps the random round.
    if (strcmp(discId, roundDiscId) != 0)
        discEngine.discChanged();
    memcpy(roundDiscId, discId, sizeof roundDiscId);
    loadTitleRecord(indexPath, discId, discEngine.trackCount(), &titles, seedPath);
    if (autoplayStart)
        discEngine.playPause();
    autoplayStart = 0;
}
