// Random and repeat play, the random round's bookkeeping, the display mode
// and the time it shows.
#include "DiscEngine.h"

#include "Packed.h"

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

void DiscEngine::seedRandom(uint32_t seed) { randomState = seed; }

int32_t DiscEngine::drawRandom() {
    randomState = randomState * 214013u + 2531011u;
    return (int32_t)((randomState >> 16) & 0x7FFF);
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
