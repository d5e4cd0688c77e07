// The FLAC files of a disc that plays: each decoded by a stream of its own,
// opened by its wide name on the drive's thread when the play first needs
// it, and closed with the play's other files.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct FlacStream;

// `bytes` of the file's decoded samples from byte `offset` (as if it were a
// BIN), silence past `dataEnd` and wherever the stream fails.
void readFlacBytes(FlacStream** stream, const char* utf8Path, uint64_t offset, size_t bytes, uint64_t dataEnd,
                   int16_t* samples);
void closeFlacStreams(FlacStream** streams, int count);

// When the disc goes in (see FlacImage.h): a FLAC file named by a sheet, and
// a FLAC file that is the image itself, its sheet in its CUESHEET block.
struct FlacHead;
struct ImageFile;
struct CueSheet;
// The file's head checked; its ImageError.
int readFlacHead(const wchar_t* path, FlacHead* head, ImageFile* image);
// The sheet the FLAC file at `path` carries, naming the file itself.
int flacOwnSheet(const wchar_t* path, const FlacHead& head, CueSheet* sheet);
// What a file starts with: 1 FLAC, 2 RIFF, 0 anything else.
int audioFileKind(const wchar_t* path);
