// The disc in the virtual drive: a table of contents in frames (1/75 s), as
// a real disc has it, and where each frame's audio comes from. Portable: no
// windows.h; the driver reads the files.
#pragma once

#include <stdint.h>

const uint32_t kFramesPerSecond = 75;
const uint32_t kBytesPerFrame = 2352;
const uint32_t kSamplesPerFrame = 588;
// Disc addresses (MSF) count the two seconds before track 1.
const uint32_t kLeadInFrames = 150;
const int32_t kMaxTracks = 99;
// Each track: silence before it, its audio, silence after it.
const int32_t kMaxExtents = 3 * kMaxTracks;
const int32_t kMaxFiles = 99;
const int kFileNameSize = 260;

// What holds a file's audio: raw CD-DA, a WAV's PCM, or a FLAC stream that
// the drive decodes as it plays.
enum FileKind : uint8_t {
    kKindBinary = 0,
    kKindWave = 1,
    kKindFlac = 2,
};

// A run of frames of the disc with one source: a file from a byte offset,
// or silence (file -1), or the demo disc's tones (file -2).
struct DiscExtent {
    uint32_t firstFrame;
    uint32_t frames;
    int32_t file;
    uint32_t fileOffset;
};

const int32_t kSilence = -1;
const int32_t kDemoTones = -2;

struct VirtualDisc {
    int32_t trackCount;
    // Start (its INDEX 01) of track n in frames from the start of track 1.
    uint32_t trackStart[kMaxTracks + 2];
    uint8_t audioTrack[kMaxTracks + 1];
    uint32_t endFrame;
    int32_t extentCount;
    DiscExtent extents[kMaxExtents];
    int32_t fileCount;
    char files[kMaxFiles][kFileNameSize];
    uint64_t fileDataEnd[kMaxFiles];
    uint8_t fileKind[kMaxFiles];

    uint32_t trackLength(int32_t track) const;
    // The length a drive reports through the platform's cdaudio driver, of
    // a track or, for track 0, of the disc: the last track, and the disc
    // with it, one frame short. A disc and its image so get one identifier.
    uint32_t reportedLength(int32_t track) const;
    // The track that holds a frame (the last track for the end of the disc).
    int32_t trackAt(uint32_t frame) const;
    // Which extent holds a frame; -1 past the end.
    int32_t extentAt(uint32_t frame) const;
};

// A few tracks of tones, no files.
void makeDemoDisc(VirtualDisc* disc);
// The demo disc's audio: frame's 588 stereo 16-bit samples.
void demoFrame(const VirtualDisc& disc, uint32_t frame, int16_t samples[kSamplesPerFrame * 2]);

// MCI time formats, one byte per field, least significant first.
uint32_t packMsf(uint32_t frames);
uint32_t unpackMsf(uint32_t msf);
uint32_t packTmsf(const VirtualDisc& disc, uint32_t frame);
// The frame of a TMSF value; 0 and *valid = 0 when its track is not on the disc.
uint32_t unpackTmsf(const VirtualDisc& disc, uint32_t tmsf, int* valid);
