// Any bytes as a CUE sheet: the parser and the disc built from it never read
// or write out of bounds, and every disc they accept is a sound table of
// contents: tracks in order, lengths that add up, extents that tile it.
#include <stdlib.h>
#include <string.h>

#include "CueSheet.h"

namespace {

CueSheet sheet;
VirtualDisc disc;

void check(bool condition) {
    if (!condition)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (parseCueSheet((const char*)data, size, &sheet) != kImageOk)
        return 0;
    check(sheet.trackCount >= 1 && sheet.trackCount <= kMaxTracks);
    check(sheet.fileCount >= 1 && sheet.fileCount <= kMaxFiles);
    // Every file as long as the sheet's last index into it, and a bit more.
    ImageFile files[kMaxFiles] = {};
    for (int32_t i = 0; i < sheet.trackCount; i++) {
        const CueTrack& track = sheet.tracks[i];
        check(track.file >= 0 && track.file < sheet.fileCount);
        if (files[track.file].frames < track.index1 + 75)
            files[track.file].frames = track.index1 + 75;
    }
    if (buildDisc(sheet, files, &disc) != kImageOk)
        return 0;
    check(disc.trackCount == sheet.trackCount);
    check(disc.trackStart[1] == 0);
    uint32_t sum = 0;
    for (int32_t track = 1; track <= disc.trackCount; track++) {
        check(disc.trackStart[track + 1] > disc.trackStart[track]);
        sum += disc.trackLength(track);
    }
    check(sum == disc.endFrame);
    uint32_t next = 0;
    for (int32_t i = 0; i < disc.extentCount; i++) {
        check(disc.extents[i].firstFrame == next);
        next += disc.extents[i].frames;
    }
    check(next == disc.endFrame);
    return 0;
}
