// The virtual drive's files: reading a CD image from disk, and streaming a
// play's frames to the sound card.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>

#include "../VirtualDisc.h"

// The demo disc for an empty path; else the CUE sheet and its files. 0 and
// the reason when the image cannot be played.
int loadImage(const char* cuePath, VirtualDisc* disc, char* reason, int reasonSize);

const int kAudioBuffers = 4;
const uint32_t kFramesPerBuffer = 15;

// Plays frames from..to of a disc through waveOut. Without a sound card it
// does nothing, and the drive keeps time by its clock alone.
struct AudioOut {
    int open;
    HWAVEOUT device;
    WAVEHDR headers[kAudioBuffers];
    const VirtualDisc* disc;
    uint32_t cursor, end;
    FILE* files[kMaxFiles];

    void start(const VirtualDisc* playing, uint32_t from, uint32_t to, int withSound);
    void feed();
    void stop();

  private:
    void fill(int16_t* samples, uint32_t frame);
};
