// The transport: play and pause, stop, previous and next, a track chosen
// directly, and the door.
#include "DiscEngine.h"

#include "NotifyHost.h"
#include "Packed.h"

uint32_t DiscEngine::playPause() {
    uint32_t result = driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    switch (state) {
    case kPlaying:
        currentTrack = highHalf(position());
        result = drivePause(deviceId);
        state = kPaused;
        break;
    case kPaused:
        result = driveResume(deviceId, notifyWindow);
        startedPlaying();
        break;
    case kStopped:
    case kPlayRequested:
        result = drivePlayFrom(deviceId, notifyWindow, trackStartTmsf(currentTrack));
        startedPlaying();
        break;
    }
    return result;
}

void DiscEngine::stop() {
    driveClose(deviceId);
    // The identifier of a failed open is 0, as MCI leaves it.
    deviceId = 0;
    driveOpen(&deviceId);
    driveSeekToStart(deviceId);
    driveStop(deviceId);
    currentTrack = 1;
    state = kStopped;
    // A track that random play started is no longer waiting to be confirmed.
    advanceBusy = 0;
    playOfOthers = 0;
}

// A play of the engine's own, whose completion comes to its window.
void DiscEngine::startedPlaying() {
    state = kPlaying;
    playOfOthers = 0;
    playSentAt = hostTickCount();
}

int32_t DiscEngine::stepTrack(int32_t delta) {
    int32_t base = 0;
    if (state == kPlaying)
        base = highHalf(position());
    else if (state == kPaused || state == kStopped)
        base = currentTrack;
    int32_t target = base + delta;
    if (target < 1 || target > lastTrack())
        return 0;
    currentTrack = target;
    return 1;
}

int32_t DiscEngine::next() {
    switch (state) {
    case kPlaying:
        if (randomFlag) {
            startedTrack = kSkipRequest;
            advanceBusy = 0;
            return 1;
        }
        if (!stepTrack(+1)) {
            if (!repeatFlag)
                return 0;
            currentTrack = 1;
        }
        state = kPlayRequested;
        playPause();
        return 1;
    case kPaused:
    case kStopped:
        if (randomFlag) {
            if (state == kStopped)
                return 0;
            int32_t t = pickRandomTrack();
            if (t == 0 && repeatFlag) {
                clearPlayed();
                t = pickRandomTrack();
            }
            return playTrack(t);
        }
        if (!stepTrack(+1) && repeatFlag)
            currentTrack = 1;
        seekToTrack(currentTrack);
        return 1;
    }
    return 0;
}

int32_t DiscEngine::previous() {
    if (state == kStopped && randomFlag)
        return 0;
    int32_t seconds = lowHalf(position());
    switch (state) {
    case kPlaying:
        if (seconds > 2) {
            currentTrack = highHalf(position());
            seekToTrack(currentTrack);
            state = kPlayRequested;
            playPause();
            return 1;
        }
        if (randomFlag)
            return 0;
        if (!stepTrack(-1) && repeatFlag)
            currentTrack = lastTrack();
        state = kPlayRequested;
        playPause();
        return 1;
    case kPaused:
    case kStopped:
        if (seconds <= 2 && !randomFlag) {
            if (!stepTrack(-1) && repeatFlag)
                currentTrack = lastTrack();
        }
        seekToTrack(currentTrack);
        return 1;
    }
    return 0;
}

int32_t DiscEngine::playTrack(int32_t n) {
    if (n < 1 || n > lastTrack())
        return 0;
    currentTrack = n;
    pendingTrack = n;
    advanceBusy = 0;
    if (state == kPaused) {
        // Cue the track: seek there and pause again at its start.
        state = kPlaying;
        seekToTrack(n);
        playPause();
    } else {
        state = kStopped;
        playPause();
    }
    return 1;
}

int32_t DiscEngine::eject() {
    uint32_t mode = driveStatus(deviceId, kStatusMode, 0);
    // The drive is shared: a door open is closed, whoever opened it.
    if (mode == kModeOpen) {
        doorOpened = 0;
        driveSetDoor(deviceId, 0);
        return 1;
    }
    stop();
    currentTrack = 1;
    doorOpened = 1;
    state = kStopped;
    driveSetDoor(deviceId, 1);
    return 1;
}

void DiscEngine::forgetPlay() {
    state = kStopped;
    currentTrack = 1;
    pendingTrack = 0;
    advanceBusy = 0;
    notifyAdvance = 0;
    playOfOthers = 0;
}

void DiscEngine::discChanged() {
    clearPlayed();
    startedTrack = -1;
    pendingTrack = 0;
}

// Seeks are addressed in TMSF; set it here rather than rely on the last query.
void DiscEngine::seekToTrack(int32_t track) {
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    driveSeekTo(deviceId, trackStartTmsf(track));
}
