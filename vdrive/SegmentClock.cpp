#include "SegmentClock.h"

uint64_t SegmentClock::clockFrames() const {
    int64_t elapsed = seam->ticks() - startedAt;
    return (uint64_t)(elapsed * kFramesPerSecond * speed / seam->ticksPerSecond());
}

void SegmentClock::soundFromHead(uint32_t from, uint32_t to) {
    soundBase = seam->begin(from, to);
    soundFrames = 0;
    keeper = kKeptBySound;
}

uint64_t SegmentClock::played(int32_t playing) {
    if (!playing || keeper == kSpinningUp)
        return 0;
    if (keeper != kKeptBySound)
        return clockFrames();
    uint64_t samples;
    if (seam->samplesPlayed(&samples)) {
        soundFrames = samples > soundBase ? (samples - soundBase) / kSamplesPerFrame : 0;
        return soundFrames;
    }
    soundFailed();
    return clockFrames();
}

void SegmentClock::start(uint32_t from, uint32_t to) {
    int32_t wasSounding = keeper == kKeptBySound;
    startedAt = seam->ticks();
    generation++;
    keeper = kKeptByClock;
    if (speed == 1) {
        if (seam->hasDevice())
            soundFromHead(from, to);
        else
            keeper = kSpinningUp;
    } else if (wasSounding) {
        seam->silence();
    }
}

void SegmentClock::deviceOpened(int32_t playing, uint32_t from, uint32_t to) {
    if (!playing || keeper != kSpinningUp)
        return;
    keeper = kKeptByClock;
    startedAt = seam->ticks();
    if (seam->hasDevice())
        soundFromHead(from, to);
}

void SegmentClock::end() {
    generation++;
    if (keeper == kKeptBySound)
        seam->silence();
    keeper = kKeptByClock;
}

void SegmentClock::resume() {
    startedAt = seam->ticks();
    if (keeper == kKeptBySound) {
        uint64_t samples = 0;
        seam->samplesPlayed(&samples);
        soundBase = samples;
        soundFrames = 0;
        seam->restart();
    }
}

void SegmentClock::soundFailed() {
    keeper = kKeptByClock;
    seam->silence();
    startedAt = seam->ticks() - (int64_t)(soundFrames * seam->ticksPerSecond() / (kFramesPerSecond * speed));
}
