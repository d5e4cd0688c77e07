// What the notification window does: random supervision at every tick, the
// tick handed on to the player window, and play carried on at a completion.
#include "DiscEngine.h"

#include "NotifyHost.h"
#include "Packed.h"

void DiscEngine::handleTick(uint32_t timerId, intptr_t tickParam) {
    if (timerId != kEngineTimerId)
        return;
    // Supervision works on the drive as it is, whoever moved it: not on a
    // drive that does not answer or is on its way back, and not in the tick
    // whose look at the drive started the next track itself (the drive gets
    // its interval to reach it).
    lastFollowed = followDrive();
    if (!driveSilent && lastFollowed != kDrivePlayCarriedOn && (state == kPlaying || notifyAdvance))
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
