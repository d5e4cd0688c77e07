// The sound of a play: a disc's frames streamed to waveOut, and the count of
// samples the device has played, which is the drive's clock while it sounds.
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

#include "../SampleCount.h"
#include "../VirtualDisc.h"

const int kAudioBuffers = 4;
const uint32_t kFramesPerBuffer = 10; // 133 ms each
// Silence written after a play's last frame. The sound server holds back
// the last few milliseconds of a stream that ran dry until more comes, and
// drops them when the device closes: the silence carries them out.
const uint32_t kTailFrames = 2;

// Opened and closed outside the drive's lock: they can take a while.
HWAVEOUT openSoundDevice(HANDLE bufferDone, char* reason, int reasonSize);
void closeSoundDevice(HWAVEOUT device);

struct AudioOut {
    HWAVEOUT device; // 0: none
    WAVEHDR headers[kAudioBuffers];
    const VirtualDisc* disc;
    uint32_t cursor, end; // the next frame to write; the end of the play
    uint32_t tail;        // frames of silence still to write after the end
    uint64_t written;     // samples written since the device was last emptied
    SampleCount count;    // samples played since then, past 32 bits
    int paused;
    FILE* files[kMaxFiles];

    // Takes an opened device, empty.
    void adopt(HWAVEOUT opened);
    // Sounds frames from..to (exclusive). Returns where the play's first
    // sample stands in the count of samples played.
    uint64_t begin(const VirtualDisc* playing, uint32_t from, uint32_t to);
    void pause();
    void restart();
    // A paused play will go on (restart), now to `to`; 0 when the device
    // already holds frames beyond it.
    int carryOn(uint32_t to);
    // Writes the next frames into finished buffers; 0 when the device
    // refused them.
    int feed();
    // Samples played since the device was last emptied; 0 when it cannot
    // tell, or answers in a unit that is not samples or bytes.
    int samplesPlayed(uint64_t* samples);
    // Every frame of the play has been played.
    int drained() const;
    // Empties the device and keeps it, paused.
    void silence();
    // Gives the device up, to be closed outside the lock.
    HWAVEOUT release();

  private:
    void fill(int16_t* samples, uint32_t frame);
    void closeFiles();
};
