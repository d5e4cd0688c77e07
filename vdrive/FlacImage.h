// FLAC files in a CD image, decoded by libFLAC: what a file holds (checked
// when the disc goes in), the sheet a file carries in its CUESHEET block,
// and the decoded samples at any position while the disc plays. Portable:
// the caller opens the file (by its wide name on Windows) and hands it over.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "CueSheet.h"

// Whether the file holds a FLAC stream: "fLaC" at its start, or after an
// ID3v2 tag (some rippers write one, and libFLAC reads past it). The file
// is left at its start.
int fileIsFlac(FILE* file);

// What a FLAC file's STREAMINFO says, for a refusal's words.
struct FlacFormat {
    uint32_t rate, bits, channels;
    uint64_t samples;
};

// The CUESHEET block of a FLAC file, in samples, as the file stores it.
struct FlacCueTrack {
    uint64_t offset; // the track's start in the file
    uint8_t number;  // 170 for the lead-out
    uint8_t audio;
    int64_t index0;  // from the track's start; -1 without INDEX 00
    int64_t index1;  // -1 without INDEX 01
};

struct FlacHead {
    FlacFormat format;
    int32_t cueTrackCount; // 0: the file carries no sheet
    FlacCueTrack cueTracks[kMaxTracks + 1];
};

// Reads the file's metadata and checks its stream: 44.1 kHz, 16 bits,
// stereo, a known length, and its first and last frames decode. The file
// stays the caller's. kImageOk, kImageBadFlac or kImageDamagedFlac.
ImageError inspectFlac(FILE* file, FlacHead* head);
// The file as the disc's layout takes it: its decoded samples in frames.
void flacImageFile(const FlacHead& head, ImageFile* image);
// The sheet a FLAC file carries, naming the file itself (`ownName`, UTF-8,
// in the sheet's folder): one FILE, each track with its indexes.
ImageError flacCueSheet(const FlacHead& head, const char* ownName, CueSheet* sheet);

// A FLAC file being played: a decoder of its own, on the heap, moved to a
// position only when a read does not follow the last one.
struct FlacStream;
// Takes the file (closed with the stream); 0 when libFLAC cannot start on it.
FlacStream* openFlacStream(FILE* file);
void closeFlacStream(FlacStream* stream);
// `count` stereo samples from sample `first`. What the stream cannot give
// (damage, the end of a file that shrank) is silence; the stream tries
// again at the next read.
void readFlacSamples(FlacStream* stream, uint64_t first, uint32_t count, int16_t* samples);
