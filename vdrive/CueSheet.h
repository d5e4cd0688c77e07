// CD images: a CUE sheet and its files (raw CD-DA BIN, WAV or FLAC), read into the virtual drive's table of contents. Portable: the
// caller reads the files; everything here works on bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "VirtualDisc.h"

enum ImageError {
    kImageOk = 0,
    kImageBadSyntax,
    kImageTooManyTracks,
    kImageTooManyFiles,
    kImageNoTracks,
    kImageNoAudioTrack,
    kImageMissingFile,
    kImageTruncated,
    kImageBadWave,
    kImageUnsupportedFile,
    kImageBadFlac,     // a FLAC file of another rate, sample size or channels
    kImageDamagedFlac, // a FLAC file whose stream cannot be decoded whole
    kImageNotAudio,    // a WAVE file that is neither WAV nor FLAC
};

const char* imageErrorText(ImageError error);

enum CueFileType : uint8_t {
    kFileBinary = 0,
    kFileWave = 1,
};

struct CueTrack {
    int32_t file;
    uint8_t audio;
    uint32_t pregap;  // silence before the track that no file holds
    uint32_t postgap; // silence after the track that no file holds
    int32_t index0;   // frames into the file; -1 without INDEX 00
    uint32_t index1;  // frames into the file
};

const int kCueNameSize = 128;

struct CueSheet {
    int32_t fileCount;
    char files[kMaxFiles][kFileNameSize];
    uint8_t fileType[kMaxFiles];
    int32_t trackCount;
    CueTrack tracks[kMaxTracks];
    // Line of the first error, for the driver's log.
    int32_t errorLine;
    // The names the sheet gives, in its own bytes: the disc's title and
    // performer, and each track's title. A name too long is left out.
    char discTitle[kCueNameSize];
    char discPerformer[kCueNameSize];
    char trackTitles[kMaxTracks][kCueNameSize];
    // The sheet's text is UTF-8: it opens with the byte order mark, or holds
    // bytes beyond ASCII that all form UTF-8 characters. Else it is in the
    // ANSI code page (Shift-JIS).
    uint8_t utf8;
};

// Whether bytes beyond ASCII are all well-formed UTF-8 (overlong forms,
// surrogates and values above U+10FFFF are not).
int isUtf8(const char* text, size_t length);

ImageError parseCueSheet(const char* text, size_t length, CueSheet* sheet);

// What a file holds: where its audio starts and how many frames it has. A
// WAV's last frame may be short; a BIN's may not.
struct ImageFile {
    // For FLAC the offsets are those of its decoded samples, as if a BIN.
    uint32_t dataOffset;
    uint32_t frames;
    // Where the audio ends: a short last frame is filled up with silence,
    // not with whatever follows the audio in the file.
    uint64_t dataEnd;
    uint8_t kind; // FileKind
};

// A BIN's frames from its size.
ImageError binaryFile(uint64_t size, ImageFile* file);
// A WAV's header: 44.1 kHz, 16 bits, stereo PCM only.
ImageError waveFile(const uint8_t* header, size_t length, uint64_t size, ImageFile* file);

ImageError buildDisc(const CueSheet& sheet, const ImageFile* files, VirtualDisc* disc);
