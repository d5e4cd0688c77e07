// The drive's state as its host last published it, so that a program can
// answer a status without a round trip to the host: a record that the host
// alone writes, in memory every program of its user maps to read. A reader
// never takes a half-written record: the host makes the sequence odd while
// it writes, and a reader that finds it odd, or changed across its copy,
// copies again. Portable, and one layout for 32- and 64-bit programs.
#pragma once

#include <stdint.h>

#include <atomic>

#include "DriveModel.h"
#include "SegmentClock.h"

struct SnapshotState {
    int64_t startedAt;      // the clock's ticks as the play's segment began
    int64_t stamp;          // the clock's ticks as the host published this
    int64_t ticksPerSecond; // the clock's
    uint64_t soundFrames;   // frames the sound had played at `stamp`
    uint32_t host;          // the publishing host's process
    int32_t mediaPresent;
    int32_t doorOpen;
    int32_t mode;           // DriveMode
    uint32_t frame;
    uint32_t playTo;
    int32_t keeper;         // SegmentKeeper
    uint32_t speed;
    // The tray and the control key as the host last followed them: a mode
    // or a media status is the host's to answer while the tray moves, or
    // once the key was written since (its last write time, as Windows keeps
    // it).
    int32_t controlSettled;
    uint32_t controlWritten[2];
    // The drive logs every command it receives: while it does, programs ask
    // it, so that the log holds their statuses too.
    int32_t logging;
    int32_t trackCount;
    uint32_t endFrame;
    uint32_t trackStart[kMaxTracks + 2];
    uint8_t audioTrack[kMaxTracks + 1];
};

struct DriveSnapshot {
    std::atomic<uint32_t> sequence;
    uint32_t layout; // the size of the state, written once
    SnapshotState state;

    void publish(const SnapshotState& next);
    // 0 when the host kept writing through a few tries, or none has
    // published a state of this layout.
    int read(SnapshotState* out) const;
};

static_assert(sizeof(SnapshotState) == 592 && sizeof(DriveSnapshot) == 600, "one layout for 32 and 64 bits");

// The frames the play has played at `now`, counted as the host counts them:
// by its clock, or from what the sound had played by the stamp, going on at
// the disc's pace for at most a few buffers more.
uint64_t playedAt(const SnapshotState& state, int64_t now);
// The model the state stands for, with one open (slot 0) in the time format.
void modelOf(const SnapshotState& state, uint32_t timeFormat, DriveModel* model);
// The state of a drive: its model, its play's clock, the frames the play
// has played, at `now`.
void stateOf(const DriveModel& model, const SegmentClock& clock, uint64_t played, int64_t now, SnapshotState* out);
