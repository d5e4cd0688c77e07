// The time of the play segment under way: who keeps it (the clock; the sound
// device being opened for the play, when no frame has played yet; or the
// samples the device has played), and the frames it has played by either.
// Portable: the device and the clock reach it through a table of plain
// functions, which the drive fills with waveOut and the performance counter
// and tests fill with a device of their own.
#pragma once

#include <stdint.h>

#include "VirtualDisc.h"

struct SoundSeam {
    // A device is open for the drive.
    int32_t (*hasDevice)();
    // Sounds frames from..to (exclusive); where the first sample stands in
    // the count of samples played.
    uint64_t (*begin)(uint32_t from, uint32_t to);
    // Samples played since the device was last emptied; 0 when it cannot
    // tell.
    int32_t (*samplesPlayed)(uint64_t* samples);
    // Empties the device, keeping it paused; and lets a paused device go on.
    void (*silence)();
    void (*restart)();
    // The clock: its ticks, and how many make a second.
    int64_t (*ticks)();
    int64_t (*ticksPerSecond)();
};

enum SegmentKeeper : int32_t {
    kKeptByClock = 0,
    kSpinningUp = 1,
    kKeptBySound = 2,
};

struct SegmentClock {
    const SoundSeam* seam;
    SegmentKeeper keeper;
    uint32_t speed;        // 1 is the disc's own pace; the clock runs faster
    int64_t startedAt;     // the clock's ticks when the segment began
    uint64_t soundBase;    // samples played when the segment began
    uint64_t soundFrames;  // frames of the segment the sound had played, last read
    uint32_t generation;   // counts every start and halt of a play

    // Frames the segment has played while the drive plays: the samples the
    // device has played while it sounds, none while it spins up, else the
    // clock. A device that can no longer tell hands the time to the clock.
    uint64_t played(int32_t playing);
    // A play begins at `from`: with sound at the disc's pace, at once on an
    // open device or once one is open (spinning up); else on the clock.
    void start(uint32_t from, uint32_t to);
    // The device a play waited for has opened, or could not: the play that
    // waits now (the one that asked, or one begun while the device opened)
    // goes on with the drive's device, or on the clock without one.
    void deviceOpened(int32_t playing, uint32_t from, uint32_t to);
    // A play stops or moves: a sound under way empties at once.
    void end();
    // A paused play goes on where it held.
    void resume();
    // The sound fails: the clock goes on from what was heard, so that the
    // position holds and the play ends on time.
    void soundFailed();

  private:
    uint64_t clockFrames() const;
    void soundFromHead(uint32_t from, uint32_t to);
};
