#include "DiscEngine.h"

#include "NotifyHost.h"

DiscEngine discEngine;
uint32_t DiscEngine::randomState = 1;

namespace {

int32_t highHalf(uint32_t packed) { return (int32_t)(packed >> 16); }
int32_t lowHalf(uint32_t packed) { return (int32_t)(packed & 0xFFFF); }
// A play-from or seek-to value: the start of the track, track byte only.
uint32_t trackStartTmsf(int32_t track) { return (uint32_t)track & 0xFF; }
int isTrackNumber(int32_t track) { return track >= 1 && track <= kMaxTrack; }

} // namespace

// ---- Device and disc queries ------------------------------------------------

int32_t DiscEngine::open(InstanceHandle instanceHandle, WindowHandle owner, int32_t interval) {
    instance = instanceHandle;
    ownerWindow = owner;
    uint32_t newId = 0;
    if (driveOpen(&newId) != 0)
        return 0;
    deviceId = newId;
    notifyWindow = createNotifyWindow(instanceHandle);
    if (interval < 0 || interval > 5000)
        interval = kDefaultInterval;
    hostSetTimer(notifyWindow, kEngineTimerId, (uint32_t)interval);
    currentTrack = 1;
    startedTrack = -1;
    state = kStopped;
    repeatFlag = 0;
    randomFlag = 0;
    invalidateCache();
    seedRandom(hostTickCount());
    return 1;
}

WindowHandle DiscEngine::createNotifyWindow(InstanceHandle instanceHandle) {
    return hostCreateNotifyWindow(instanceHandle);
}

int32_t DiscEngine::close() {
    driveClose(deviceId);
    hostKillTimer(notifyWindow, kEngineTimerId);
    hostDestroyWindow(notifyWindow);
    notifyWindow = 0;
    return 1;
}

void DiscEngine::invalidateCache() {
    cachedTotalLength = -1;
    cachedTrackCount = -1;
    for (int32_t i = 0; i < kTrackSlots; i++)
        cachedTrackLength[i] = -1;
}

int32_t DiscEngine::trackCount() {
    if (cachedTrackCount != -1)
        return cachedTrackCount;
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    cachedTrackCount = (int32_t)driveStatus(deviceId, kStatusNumberOfTracks, 0);
    return cachedTrackCount;
}

int32_t DiscEngine::trackLength(int32_t track) {
    // A track number no disc can have owns no slot and has no length.
    if (!isTrackNumber(track))
        return 0;
    if (cachedTrackLength[track] != -1)
        return cachedTrackLength[track];
    driveSetTimeFormat(deviceId, kTimeFormatMsf);
    uint32_t msf = driveStatus(deviceId, kStatusLength, (uint32_t)track);
    cachedTrackLength[track] = (int32_t)((msf & 0xFF) * 60 + ((msf >> 8) & 0xFF));
    return cachedTrackLength[track];
}

int32_t DiscEngine::totalLength() {
    if (cachedTotalLength != -1)
        return cachedTotalLength;
    int32_t sum = 0;
    for (int32_t i = 1; i <= trackCount() && i <= kMaxTrack; i++)
        sum += trackLength(i);
    cachedTotalLength = sum;
    return sum;
}

uint32_t DiscEngine::position() {
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    uint32_t tmsf = driveStatus(deviceId, kStatusPosition, 0);
    // Until the next tick confirms a track that random play has just started,
    // show that track at its beginning whatever the drive says.
    if (advanceBusy == 1)
        return ((uint32_t)currentTrack & 0xFFFF) << 16;
    uint32_t track = tmsf & 0xFF;
    uint32_t seconds = ((tmsf >> 8) & 0xFF) * 60 + ((tmsf >> 16) & 0xFF);
    return (track << 16) | (seconds & 0xFFFF);
}

uint32_t DiscEngine::mediaPresent() { return driveStatus(deviceId, kStatusMediaPresent, 0); }

int32_t DiscEngine::playState() { return state; }

// ---- Transport ----------------------------------------------------------------

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
        state = kPlaying;
        break;
    case kStopped:
    case kPlayRequested:
        result = drivePlayFrom(deviceId, notifyWindow, trackStartTmsf(currentTrack));
        state = kPlaying;
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
    // Only a door that the engine itself opened is closed again.
    if (mode == kModeOpen && doorOpened) {
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
}

void DiscEngine::discChanged() {
    clearPlayed();
    startedTrack = -1;
    pendingTrack = 0;
}

// ---- Play modes ---------------------------------------------------------------

int32_t DiscEngine::pickRandomTrack() {
    int32_t count = lastTrack();
    int32_t unplayed = 0;
    for (int32_t i = 1; i <= count; i++)
        if (!played[i])
            unplayed++;
    if (unplayed == 0)
        return 0;
    for (;;) {
        int32_t r;
        do {
            r = (drawRandom() & 0x7F) + 1;
        } while (r > count);
        if (!played[r]) {
            played[r] = 1;
            return r;
        }
    }
}

void DiscEngine::clearPlayed() {
    for (int32_t i = 0; i < kTrackSlots; i++)
        played[i] = 0;
}

uint32_t DiscEngine::repeatMode() { return repeatFlag; }

uint32_t DiscEngine::setRepeatMode(uint32_t flag) {
    repeatFlag = flag;
    return flag;
}

uint32_t DiscEngine::randomMode() { return randomFlag; }

uint32_t DiscEngine::setRandomMode(uint32_t flag) {
    if (!flag) {
        randomFlag = 0;
        // Nothing confirms a random start any more: let the clock run.
        advanceBusy = 0;
        return 0;
    }
    randomFlag = 1;
    clearPlayed();
    if (state == kPlaying || state == kPaused)
        markPlayed(highHalf(position()));
    return 1;
}

uint32_t DiscEngine::displayMode() { return currentDisplayMode; }

void DiscEngine::setDisplayMode(uint32_t mode) {
    currentDisplayMode = mode <= kDisplayTotalRemain ? mode : kDisplayEach;
}

int32_t DiscEngine::timeToShow() {
    uint32_t packed = position();
    int32_t seconds = lowHalf(packed);
    int32_t track = highHalf(packed);
    int32_t shown = seconds;
    switch (currentDisplayMode) {
    case kDisplayEachRemain:
        shown = trackLength(track) - seconds;
        break;
    case kDisplayTotal:
        shown = seconds + lengthBefore(track);
        break;
    case kDisplayTotalRemain:
        shown = totalLength() - (seconds + lengthBefore(track));
        break;
    }
    return shown < 0 ? 0 : shown;
}

// ---- Automatic advance ----------------------------------------------------------

void DiscEngine::handleTick(uint32_t timerId, intptr_t tickParam) {
    if (timerId != kEngineTimerId)
        return;
    if (state == kPlaying || notifyAdvance)
        superviseRandom();
    hostForwardTick(ownerWindow, tickParam);
}

void DiscEngine::handleCompletion(uint32_t code) {
    notifyAdvance = 0;
    if (code != kNotifySuccessful)
        return;
    if (randomFlag) {
        int32_t a = pickRandomTrack();
        if (a != 0) {
            notifyAdvance = 1;
            startTrack(a);
            return;
        }
        clearPlayed();
        if (!repeatFlag) {
            stop();
            return;
        }
        startTrack(pickRandomTrack());
        return;
    }
    if (repeatFlag) {
        currentTrack = 1;
        state = kStopped;
        playPause();
        return;
    }
    stop();
}

// The drive plays a random track on into the next one on the disc; when it
// reports a track other than the one started, the chosen track has ended.
void DiscEngine::superviseRandom() {
    int32_t k = highHalf(position());
    if (!randomFlag) {
        startedTrack = k;
        pendingTrack = 0;
        return;
    }
    if (advanceBusy) {
        if (k == startedTrack)
            advanceBusy = 0;
        return;
    }
    if (pendingTrack != 0) {
        markPlayed(pendingTrack);
        startTrack(pendingTrack);
        pendingTrack = 0;
        return;
    }
    if (k == startedTrack)
        return;
    int32_t a = pickRandomTrack();
    if (a != 0) {
        startTrack(a);
    } else if (repeatFlag) {
        clearPlayed();
        startTrack(pickRandomTrack());
    } else if (startedTrack == kSkipRequest) {
        startedTrack = k;
    } else {
        // The round is over, as at a completion: the next Play or Next
        // starts a new one.
        clearPlayed();
        stop();
    }
}

void DiscEngine::startTrack(int32_t track) {
    currentTrack = track;
    state = kStopped;
    playPause();
    advanceBusy = 1;
    startedTrack = track;
}

// ---- Helpers ------------------------------------------------------------------------

void DiscEngine::seedRandom(uint32_t seed) { randomState = seed; }

int32_t DiscEngine::drawRandom() {
    randomState = randomState * 214013u + 2531011u;
    return (int32_t)((randomState >> 16) & 0x7FFF);
}

// The highest track that may be played or index a table: a drive that reports
// more than 99 tracks still offers only 1..99.
int32_t DiscEngine::lastTrack() {
    int32_t count = trackCount();
    if (count < 0)
        return 0;
    return count > kMaxTrack ? kMaxTrack : count;
}

// Seconds of the disc before the current track: the earlier tracks, or in
// random play the tracks already played in this round.
int32_t DiscEngine::lengthBefore(int32_t track) {
    int32_t sum = 0;
    if (!randomFlag) {
        for (int32_t i = 1; i < track && i <= kMaxTrack; i++)
            sum += trackLength(i);
        return sum;
    }
    int32_t count = lastTrack();
    for (int32_t i = 1; i <= count; i++)
        if (played[i] && i != track)
            sum += trackLength(i);
    return sum;
}

void DiscEngine::markPlayed(int32_t track) {
    if (isTrackNumber(track))
        played[track] = 1;
}

// Seeks are addressed in TMSF; set it here rather than rely on the last query.
void DiscEngine::seekToTrack(int32_t track) {
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    driveSeekTo(deviceId, trackStartTmsf(track));
}
