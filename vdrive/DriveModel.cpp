#include "DriveModel.h"

#include <string.h>

namespace {

const uint32_t kSetFlags = mci::kNotify | mci::kWait | mci::kSetTimeFormat | mci::kSetDoorOpen | mci::kSetDoorClosed;

// Minutes, seconds and frames as a disc address has them: seconds below 60,
// frames below 75. `first` is the byte of the minutes.
int32_t fieldsInRange(uint32_t value, int first) {
    uint32_t seconds = (value >> (8 * (first + 1))) & 0xFF, frames = (value >> (8 * (first + 2))) & 0xFF;
    return seconds < 60 && frames < kFramesPerSecond;
}

uint32_t lengthIn(uint32_t format, uint32_t frames) {
    if (format == mci::kMilliseconds)
        return (uint32_t)(frames * 1000ull / kFramesPerSecond);
    return packMsf(frames);
}

} // namespace

void DriveModel::reset() {
    memset(this, 0, sizeof *this);
    mode = kDriveStopped;
    notifyOpen = -1;
}

int32_t DriveModel::open(uint32_t program) {
    for (int32_t slot = 0; slot < kMaxOpens; slot++)
        if (!openUsed[slot]) {
            openUsed[slot] = 1;
            timeFormat[slot] = mci::kMsf;
            openProgram[slot] = program;
            return slot;
        }
    return -1;
}

void DriveModel::close(int32_t slot, uint64_t played) {
    if (notifyOpen == slot)
        endPending(mci::kAborted);
    openUsed[slot] = 0;
    int32_t others = 0, programStays = 0;
    for (int32_t other = 0; other < kMaxOpens; other++)
        if (openUsed[other]) {
            others = 1;
            programStays |= openProgram[other] == openProgram[slot];
        }
    if (!others) {
        mode = kDriveStopped;
        frame = 0;
        playTo = 0;
        doorOpen = 0;
    } else if (!programStays && openProgram[slot] == playProgram && mode != kDriveStopped) {
        halt(played);
        endPending(mci::kAborted);
    }
}

void DriveModel::insert(int32_t present) {
    halt(0);
    endPending(mci::kAborted);
    mediaPresent = present;
    frame = 0;
}

uint32_t DriveModel::position(uint64_t played) const {
    if (mode != kDrivePlaying)
        return frame;
    uint64_t at = frame + played;
    return at >= playTo ? playTo : (uint32_t)at;
}

void DriveModel::rebase(uint64_t played) {
    if (mode == kDrivePlaying)
        frame = position(played);
}

uint32_t DriveModel::play(int32_t slot, uint32_t flags, uint32_t from, uint32_t to, uintptr_t callback,
                          uint64_t played) {
    if (!ready())
        return mci::kErrHardware;
    uint32_t start = position(played), end = disc.endFrame;
    if ((flags & mci::kFrom) && !frameOf(timeFormat[slot], from, &start))
        return mci::kErrOutOfRange;
    if ((flags & mci::kTo) && !frameOf(timeFormat[slot], to, &end))
        return mci::kErrOutOfRange;
    if (start > end)
        return mci::kErrOutOfRange;
    // A play ends the one before it, told or not, as aborted.
    endPending(mci::kAborted);
    frame = start;
    playTo = end;
    mode = kDrivePlaying;
    playProgram = openProgram[slot];
    notifyAtEnd(slot, flags, callback);
    return 0;
}

uint32_t DriveModel::pause(int32_t slot, uint32_t flags, uintptr_t callback, uint64_t played) {
    if (!ready())
        return mci::kErrHardware;
    if (mode == kDrivePlaying) {
        frame = position(played);
        mode = kDrivePaused;
    }
    endPending(mci::kAborted);
    completed(slot, flags, callback);
    return 0;
}

uint32_t DriveModel::resume(int32_t slot, uint32_t flags, uintptr_t callback, uint64_t) {
    if (!ready())
        return mci::kErrHardware;
    if (mode != kDrivePaused) {
        completed(slot, flags, callback);
        return 0;
    }
    // The play goes on untold: a resume that asks is told at once, as a
    // real drive tells it.
    mode = kDrivePlaying;
    playProgram = openProgram[slot];
    completed(slot, flags, callback);
    return 0;
}

uint32_t DriveModel::stop(int32_t slot, uint32_t flags, uintptr_t callback, uint64_t played) {
    halt(played);
    endPending(mci::kAborted);
    completed(slot, flags, callback);
    return 0;
}

uint32_t DriveModel::seek(int32_t slot, uint32_t flags, uint32_t to, uintptr_t callback, uint64_t played) {
    uint32_t ways = flags & (mci::kSeekToStart | mci::kSeekToEnd | mci::kTo);
    if (ways & (ways - 1))
        return mci::kErrFlagsNotCompatible;
    if (!ways)
        return mci::kErrMissingParameter;
    if (!ready())
        return mci::kErrHardware;
    uint32_t target = ways == mci::kSeekToStart ? 0 : disc.endFrame;
    if (ways == mci::kTo && !frameOf(timeFormat[slot], to, &target))
        return mci::kErrOutOfRange;
    halt(played);
    endPending(mci::kAborted);
    frame = target;
    completed(slot, flags, callback);
    return 0;
}

uint32_t DriveModel::set(int32_t slot, uint32_t flags, uint32_t format, uintptr_t callback, uint64_t played) {
    if (flags & ~kSetFlags)
        return mci::kErrUnsupportedFunction;
    if ((flags & mci::kSetDoorOpen) && (flags & mci::kSetDoorClosed))
        return mci::kErrFlagsNotCompatible;
    if (flags & mci::kSetTimeFormat) {
        if (format != mci::kTmsf && format != mci::kMsf && format != mci::kMilliseconds)
            return mci::kErrBadTimeFormat;
        timeFormat[slot] = format;
    }
    if (flags & (mci::kSetDoorOpen | mci::kSetDoorClosed)) {
        halt(played);
        endPending(mci::kAborted);
        doorOpen = (flags & mci::kSetDoorOpen) != 0;
        frame = 0;
    }
    completed(slot, flags, callback);
    return 0;
}

uint32_t DriveModel::status(int32_t slot, uint32_t flags, uint32_t item, uint32_t track, uint64_t played,
                            StatusAnswer* answer) const {
    if (!(flags & mci::kStatusItem))
        return mci::kErrMissingParameter;
    uint32_t format = timeFormat[slot];
    switch (item) {
    case mci::kMediaPresent:
    case mci::kReady: *answer = {(uint32_t)ready(), kAnswerTruth}; return 0;
    case mci::kMode: {
        uint32_t shown = doorOpen                                     ? mci::kModeOpen
                         : !mediaPresent                              ? mci::kModeNotReady
                         : mode == kDrivePlaying && !playEnded(played) ? mci::kModePlay
                         : mode == kDrivePaused                       ? mci::kModePause
                                                                      : mci::kModeStop;
        *answer = {shown, kAnswerWord};
        return 0;
    }
    case mci::kTimeFormat: *answer = {format, kAnswerWord}; return 0;
    }
    if (!ready())
        return mci::kErrHardware;
    int32_t withTrack = (flags & mci::kTrack) != 0;
    if (withTrack && (track < 1 || track > (uint32_t)disc.trackCount))
        return mci::kErrOutOfRange;
    // Milliseconds read as a number; the others as minutes, seconds and frames.
    AnswerKind time = format == mci::kMilliseconds ? kAnswerNumber : kAnswerTime;
    AnswerKind trackTime = format == mci::kTmsf ? kAnswerTrackTime : time;
    switch (item) {
    case mci::kNumberOfTracks: *answer = {(uint32_t)disc.trackCount, kAnswerNumber}; return 0;
    case mci::kLength:
        // A length is minutes, seconds and frames in TMSF too.
        *answer = {lengthIn(format, disc.reportedLength(withTrack ? (int32_t)track : 0)), time};
        return 0;
    case mci::kPosition: {
        uint32_t at = (flags & mci::kStatusStart) ? 0 : withTrack ? disc.trackStart[track] : position(played);
        *answer = {positionIn(format, at), trackTime};
        return 0;
    }
    case mci::kCurrentTrack: *answer = {(uint32_t)disc.trackAt(position(played)), kAnswerNumber}; return 0;
    case mci::kTrackType:
        if (!withTrack)
            return mci::kErrMissingParameter;
        *answer = {disc.audioTrack[track] ? mci::kTrackAudio : mci::kTrackOther, kAnswerDriverWord};
        return 0;
    }
    return mci::kErrUnsupportedFunction;
}

void DriveModel::finish() {
    if (mode != kDrivePlaying)
        return;
    frame = playTo;
    mode = kDriveStopped;
    if (notifyOpen >= 0) {
        queue(notifyOpen, notifyCallback, mci::kSuccessful);
        notifyOpen = -1;
    }
}

int32_t DriveModel::takeEvents(DriveEvent out[kMaxEvents]) {
    int32_t count = eventCount;
    memcpy(out, events, sizeof events[0] * count);
    eventCount = 0;
    return count;
}

int32_t DriveModel::frameOf(uint32_t format, uint32_t value, uint32_t* result) const {
    int32_t valid = 1;
    uint32_t absolute;
    switch (format) {
    case mci::kMsf:
        absolute = unpackMsf(value);
        valid = fieldsInRange(value, 0) && absolute >= kLeadInFrames;
        *result = absolute - kLeadInFrames;
        break;
    case mci::kMilliseconds:
        // To the nearest frame, so that a position read in milliseconds
        // names its own frame again.
        absolute = (uint32_t)(((uint64_t)value * kFramesPerSecond + 500) / 1000);
        valid = absolute >= kLeadInFrames;
        *result = absolute - kLeadInFrames;
        break;
    default:
        *result = unpackTmsf(disc, value, &valid);
        valid = valid && fieldsInRange(value, 1);
        break;
    }
    return valid && *result <= disc.endFrame;
}

uint32_t DriveModel::positionIn(uint32_t format, uint32_t at) const {
    switch (format) {
    case mci::kMsf: return packMsf(at + kLeadInFrames);
    case mci::kMilliseconds: return (uint32_t)((at + kLeadInFrames) * 1000ull / kFramesPerSecond);
    default: return packTmsf(disc, at);
    }
}

void DriveModel::halt(uint64_t played) {
    if (mode == kDrivePlaying)
        frame = position(played);
    mode = kDriveStopped;
}

void DriveModel::endPending(uint32_t code) {
    if (notifyOpen >= 0) {
        queue(notifyOpen, notifyCallback, code);
        notifyOpen = -1;
    }
}

void DriveModel::queue(int32_t slot, uintptr_t callback, uint32_t code) {
    if (eventCount < kMaxEvents)
        events[eventCount++] = DriveEvent{slot, callback, code};
}

// A play that asks to be told is, when it reaches its end.
void DriveModel::notifyAtEnd(int32_t slot, uint32_t flags, uintptr_t callback) {
    if (flags & mci::kNotify) {
        notifyOpen = slot;
        notifyCallback = callback;
    }
}

// A command other than a play that asked to be told has finished now. The
// drive keeps one notification: a command that asks supersedes the one
// pending.
void DriveModel::completed(int32_t slot, uint32_t flags, uintptr_t callback) {
    if (!(flags & mci::kNotify))
        return;
    endPending(mci::kSuperseded);
    queue(slot, callback, mci::kSuccessful);
}
