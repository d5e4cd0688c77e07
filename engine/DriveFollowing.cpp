// The drive as it is: every program of the session shares it, so what it
// reports, not what the engine last asked of it, is where play stands. A
// drive that went away and came back (its host started again, the device
// opened again) may have lost its play, but not its disc.
#include "DiscEngine.h"

#include "NotifyHost.h"
#include "Packed.h"

namespace {

// A device that does not answer is opened again at most this often: an
// open may wait seconds for a drive that is not there.
const uint32_t kReopenEveryMs = 5000;
// A drive may still report the stop before a play it was just told of.
const uint32_t kPlayStartsWithinMs = 1000;

int isTransportMode(uint32_t mode) { return mode == kModePlay || mode == kModePause || mode == kModeStop; }

} // namespace

int32_t DiscEngine::followDrive() {
    uint32_t mode = 0;
    int32_t answered = askMode(&mode);
    if (!answered) {
        driveSilent = 1;
        return kDriveSilent;
    }
    if (answered == 2)
        driveSilent = 1;
    if (!driveSilent)
        return takeDriveMode(mode);
    // A drive back from going away: what it lost is looked at once it
    // stands in a mode; one still seeking is looked at again at the next
    // tick; one without a disc has no play to keep.
    if (isTransportMode(mode)) {
        driveSilent = 0;
        return driveReturned(mode);
    }
    if (mode == kModeOpen || mode == kModeNotReady) {
        driveSilent = 0;
        return takeDriveMode(mode);
    }
    return kDriveFollowed;
}

// 1 when the drive answers, 2 when it answers only on a device opened again
// (it went away meanwhile), 0 when it does not answer at all.
int32_t DiscEngine::askMode(uint32_t* mode) {
    if (driveQuery(deviceId, kStatusMode, mode) == 0)
        return 1;
    uint32_t now = hostTickCount();
    if (reopenedAt != 0 && now - reopenedAt < kReopenEveryMs)
        return 0;
    reopenedAt = now ? now : 1;
    driveClose(deviceId);
    deviceId = 0;
    driveOpen(&deviceId);
    return driveQuery(deviceId, kStatusMode, mode) == 0 ? 2 : 0;
}

int32_t DiscEngine::driveReturned(uint32_t mode) {
    if (cachedTrackCount == -1)
        return takeDriveMode(mode);
    if (!sameDiscInDrive()) {
        invalidateCache();
        forgetPlay();
        return kDriveHasAnotherDisc;
    }
    if (mode != kModeStop)
        return takeDriveMode(mode);
    // The play went with the drive: stopped, at the track it was on.
    int32_t track = state == kPlaying ? seenTrack : currentTrack;
    forgetPlay();
    if (track >= 1 && track <= lastTrack())
        currentTrack = track;
    seekToTrack(currentTrack);
    return kDriveFollowed;
}

// The disc whose contents the engine holds, read afresh and compared.
int32_t DiscEngine::sameDiscInDrive() {
    int32_t count = cachedTrackCount, total = cachedTotalLength, first = cachedTrackLength[1];
    if (!mediaPresent())
        return 0;
    invalidateCache();
    return trackCount() == count && totalLength() == total && trackLength(1) == first;
}

int32_t DiscEngine::takeDriveMode(uint32_t mode) {
    switch (mode) {
    case kModePlay:
        if (state == kPaused || state == kStopped) {
            // Another program's play: its end is told to that program, and
            // random play takes its track as the one started, so that it
            // picks only once that track has ended.
            state = kPlaying;
            playOfOthers = 1;
            startedTrack = driveTrackNow(0);
            pendingTrack = 0;
            advanceBusy = 0;
        }
        break;
    case kModePause:
        state = kPaused;
        currentTrack = driveTrackNow(0);
        break;
    case kModeStop:
        return takeDriveStop();
    case kModeOpen:
    case kModeNotReady:
        // The disc went (out, or another on its way in): no play of it goes
        // on, and random play does not take its end for a track's.
        if (state != kStopped)
            forgetPlay();
        break;
    }
    // A seek under way: the drive is on its way to a mode.
    return kDriveFollowed;
}

int32_t DiscEngine::takeDriveStop() {
    if (state == kPlaying && hostTickCount() - playSentAt < kPlayStartsWithinMs)
        return kDriveFollowed;
    int32_t atTrackStart = 0;
    int32_t track = driveTrackNow(&atTrackStart);
    // A track cued while paused: the drive stands stopped at its start.
    if (state == kPaused && atTrackStart && track == currentTrack)
        return kDriveFollowed;
    // A play of another program that ran to the end of the disc: carried
    // on as the player's own would be at its completion.
    if (state == kPlaying && playOfOthers && track == lastTrack() &&
        lowHalf(position()) + 1 >= trackLength(track)) {
        handleCompletion(kNotifySuccessful);
        return kDrivePlayCarriedOn;
    }
    // Nothing of random play's waits on a drive that another program
    // stopped: no completion will come for the play it ended.
    if (state == kPlaying)
        advanceBusy = 0;
    notifyAdvance = 0;
    pendingTrack = 0;
    state = kStopped;
    currentTrack = track;
    return kDriveFollowed;
}

// The track the drive stands at, and whether at its very start;
// currentTrack where it reports none of this disc's.
int32_t DiscEngine::driveTrackNow(int32_t* atTrackStart) {
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    uint32_t tmsf = 0;
    if (driveQuery(deviceId, kStatusPosition, &tmsf) != 0)
        return currentTrack;
    int32_t track = (int32_t)(tmsf & 0xFF);
    if (atTrackStart)
        *atTrackStart = (tmsf >> 8) == 0;
    return track >= 1 && track <= lastTrack() ? track : currentTrack;
}
