// The drive as it is: every program of the session shares it, so what it
// reports, not what the engine last asked of it, is where play stands. A
// drive that went away and came back (its host started again, the device
// opened again) may have lost its play, but not its disc.
#include "DiscEngine.h"

#include "Packed.h"

int32_t DiscEngine::followDrive() {
    uint32_t mode = 0;
    int32_t answered = askMode(&mode);
    if (!answered) {
        driveSilent = 1;
        return kDriveSilent;
    }
    if (driveSilent || answered == 2)
        return driveReturned(mode);
    takeDriveMode(mode);
    return kDriveFollowed;
}

// 1 when the drive answers, 2 when it answers only on a device opened again
// (it went away meanwhile), 0 when it does not answer at all.
int32_t DiscEngine::askMode(uint32_t* mode) {
    if (driveQuery(deviceId, kStatusMode, mode) == 0)
        return 1;
    driveClose(deviceId);
    deviceId = 0;
    driveOpen(&deviceId);
    return driveQuery(deviceId, kStatusMode, mode) == 0 ? 2 : 0;
}

int32_t DiscEngine::driveReturned(uint32_t mode) {
    driveSilent = 0;
    if (cachedTrackCount == -1) {
        takeDriveMode(mode);
        return kDriveFollowed;
    }
    if (!sameDiscInDrive()) {
        invalidateCache();
        forgetPlay();
        return kDriveHasAnotherDisc;
    }
    if (mode == kModePlay || mode == kModePause) {
        takeDriveMode(mode);
        return kDriveFollowed;
    }
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

void DiscEngine::takeDriveMode(uint32_t mode) {
    switch (mode) {
    case kModePlay:
        if (state == kPaused || state == kStopped)
            state = kPlaying;
        break;
    case kModePause:
    case kModeStop:
        if (state == kPlaying)
            advanceBusy = 0;
        state = mode == kModePause ? kPaused : kStopped;
        currentTrack = driveTrackNow();
        break;
    }
    // An open door, no disc, a seek under way: the refresh finds no disc, or
    // the drive is on its way to a mode.
}

// The track the drive stands at; currentTrack where it reports none of
// this disc's.
int32_t DiscEngine::driveTrackNow() {
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    uint32_t tmsf = 0;
    if (driveQuery(deviceId, kStatusPosition, &tmsf) != 0)
        return currentTrack;
    int32_t track = (int32_t)(tmsf & 0xFF);
    return track >= 1 && track <= lastTrack() ? track : currentTrack;
}
