#include "DriveSnapshot.h"

#include <string.h>

namespace {

// How far a reader goes on past what the sound had played by the stamp: the
// host publishes at each buffer it hands the device (133 ms), so a host
// that stands (or hangs) shows a position that stands too.
const uint64_t kSoundLeadFrames = 20;
const int kReadTries = 64;

} // namespace

void DriveSnapshot::publish(const SnapshotState& next) {
    uint32_t at = sequence.load(std::memory_order_relaxed);
    sequence.store(at + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    memcpy((void*)&state, &next, sizeof state);
    layout = sizeof state;
    std::atomic_thread_fence(std::memory_order_release);
    sequence.store(at + 2, std::memory_order_release);
}

int DriveSnapshot::read(SnapshotState* out) const {
    for (int tries = 0; tries < kReadTries; tries++) {
        uint32_t before = sequence.load(std::memory_order_acquire);
        if (before & 1)
            continue;
        memcpy(out, (const void*)&state, sizeof *out);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence.load(std::memory_order_relaxed) == before)
            return before != 0 && layout == sizeof state;
    }
    return 0;
}

uint64_t playedAt(const SnapshotState& state, int64_t now) {
    if (state.mode != kDrivePlaying || state.keeper == kSpinningUp || state.ticksPerSecond <= 0)
        return 0;
    if (state.keeper == kKeptByClock)
        return (uint64_t)((now - state.startedAt) * kFramesPerSecond * state.speed / state.ticksPerSecond);
    int64_t since = now > state.stamp ? now - state.stamp : 0;
    uint64_t more = (uint64_t)(since * kFramesPerSecond / state.ticksPerSecond);
    return state.soundFrames + (more < kSoundLeadFrames ? more : kSoundLeadFrames);
}

void modelOf(const SnapshotState& state, uint32_t timeFormat, DriveModel* model) {
    model->reset();
    model->openUsed[0] = 1;
    model->timeFormat[0] = timeFormat;
    model->mediaPresent = state.mediaPresent;
    model->doorOpen = state.doorOpen;
    model->mode = (DriveMode)state.mode;
    model->frame = state.frame;
    model->playTo = state.playTo;
    model->disc.trackCount = state.trackCount;
    model->disc.endFrame = state.endFrame;
    memcpy(model->disc.trackStart, state.trackStart, sizeof state.trackStart);
    memcpy(model->disc.audioTrack, state.audioTrack, sizeof state.audioTrack);
}

void stateOf(const DriveModel& model, const SegmentClock& clock, uint64_t played, int64_t now, SnapshotState* out) {
    memset(out, 0, sizeof *out);
    out->startedAt = clock.startedAt;
    out->stamp = now;
    out->ticksPerSecond = clock.seam ? clock.seam->ticksPerSecond() : 0;
    out->soundFrames = played;
    out->mediaPresent = model.mediaPresent;
    out->doorOpen = model.doorOpen;
    out->mode = model.mode;
    out->frame = model.frame;
    out->playTo = model.playTo;
    out->keeper = clock.keeper;
    out->speed = clock.speed;
    out->trackCount = model.disc.trackCount;
    out->endFrame = model.disc.endFrame;
    memcpy(out->trackStart, model.disc.trackStart, sizeof out->trackStart);
    memcpy(out->audioTrack, model.disc.audioTrack, sizeof out->audioTrack);
}
