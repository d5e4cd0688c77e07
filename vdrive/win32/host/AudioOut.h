// The sound of a play: a disc's frames streamed to waveOut, and the count of
// samples the device has played, which is the drive's clock while it sounds.
// The frames are read from the disc's files by the drive's thread outside
// the drive's lock, from a copy of the disc of its own, so that no status
// waits behind a slow disk: a buffer is claimed under the lock, read
// without it, and queued under it again, unless the play changed meanwhile.
// A pause holds the device; a new play while another still sounds empties
// it, a play after one that ended follows what the device still holds of
// it, so that no end is cut. The drive's thread opens the device before a
// play and closes it once its last sound has had time to be heard, outside
// the drive's lock. Without a device the drive keeps time by its clock
// alone.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>

#include "../../SampleCount.h"
#include "../../VirtualDisc.h"

const int kAudioBuffers = 4;
const uint32_t kFramesPerBuffer = 10; // 133 ms each
// Silence written after a play's last frame. The sound server holds back
// the last few milliseconds of a stream that ran dry until more comes, and
// drops them when the device closes: the silence carries them out.
const uint32_t kTailFrames = 2;

// Opened and closed outside the drive's lock: they can take a while.
HWAVEOUT openSoundDevice(HANDLE bufferDone, char* reason, int reasonSize);
void closeSoundDevice(HWAVEOUT device);

// A buffer's worth of a play, claimed to be read outside the lock.
struct FeedJob {
    int buffer;
    uint32_t first, frames; // frames of the disc; none for the closing silence
    uint32_t silentFrames;
    uint32_t fillGeneration; // the device's emptyings when it was claimed
    uint32_t playGeneration; // the plays begun then
};

// The drive thread's own: the disc it reads, its open files and the frames
// read, touched only by that thread.
struct DiscReader {
    VirtualDisc disc;
    uint32_t playGeneration; // the play the copy was taken for
    FILE* files[kMaxFiles];
    struct FlacStream* flacs[kMaxFiles]; // FLAC files: decoders, on the heap
    int16_t samples[kFramesPerBuffer * kSamplesPerFrame * 2];

    // Under the lock: the disc of the play the job is of, copied once a play.
    void follow(const VirtualDisc& playing, const FeedJob& job);
    // Outside the lock: the job's frames into samples.
    void read(const FeedJob& job);
    void closeFiles();

  private:
    // Up to `wanted` frames from `at`, as far as one extent goes; how many.
    uint32_t fill(int16_t* frames, uint32_t at, uint32_t wanted);
};

struct AudioOut {
    HWAVEOUT device; // 0: none
    WAVEHDR headers[kAudioBuffers];
    uint32_t cursor, end; // the next frame to claim; the end of the play
    uint32_t tail;        // frames of silence still to claim after the end
    uint64_t written;     // samples written since the device was last emptied
    SampleCount count;    // samples played since then, past 32 bits
    int paused;
    uint32_t fillGeneration; // counts the device's emptyings
    uint32_t playGeneration; // counts the plays begun

    // Takes an opened device, empty.
    void adopt(HWAVEOUT opened);
    // Sounds frames from..to (exclusive), as the drive's thread feeds them.
    // Returns where the play's first sample stands in the count of samples
    // played.
    uint64_t begin(uint32_t from, uint32_t to);
    void pause();
    void restart();
    // A paused play will go on (restart), now to `to`; 0 when the device
    // already holds frames beyond it.
    int carryOn(uint32_t to);
    // A finished buffer for the next frames; 0 when none is free or the
    // play has no frames left to claim.
    int claim(FeedJob* job);
    // The claimed buffer, read, goes to the device unless the device was
    // emptied meanwhile; 0 when the device refused it.
    int queue(const FeedJob& job, const int16_t* samples);
    // Samples played since the device was last emptied; 0 when it cannot
    // tell, or answers in a unit that is not samples or bytes.
    int samplesPlayed(uint64_t* samples);
    // Every frame of the play has been played.
    int drained() const;
    // Empties the device and keeps it, paused.
    void silence();
    // Gives the device up, to be closed outside the lock.
    HWAVEOUT release();
};
