// A read sheet and its files laid out as the disc's frames: tracks, gaps and
// the extents that say which file holds each frame.
#include "CueSheet.h"

#include <string.h>

namespace {

int addExtent(VirtualDisc* disc, uint32_t first, uint32_t frames, int32_t file, uint32_t offset) {
    if (frames == 0)
        return 1;
    if (disc->extentCount >= kMaxExtents)
        return 0;
    disc->extents[disc->extentCount++] = DiscExtent{first, frames, file, offset};
    return 1;
}

// Where the track's frames begin in its file: INDEX 00 when it has one.
uint32_t firstInFile(const CueTrack& track) {
    return track.index0 >= 0 ? (uint32_t)track.index0 : track.index1;
}

} // namespace

ImageError buildDisc(const CueSheet& sheet, const ImageFile* files, VirtualDisc* disc) {
    memset(disc, 0, sizeof *disc);
    if (sheet.trackCount == 0)
        return kImageNoTracks;
    int anyAudio = 0;
    uint32_t cursor = 0;
    // Disc frames from the start of the first track's file; shifted at the
    // end so that track 1 begins at 0, as a table of contents has it.
    for (int32_t i = 0; i < sheet.trackCount; i++) {
        const CueTrack& track = sheet.tracks[i];
        const ImageFile& file = files[track.file];
        uint32_t from = firstInFile(track);
        int sameFileNext = i + 1 < sheet.trackCount && sheet.tracks[i + 1].file == track.file;
        uint32_t to = sameFileNext ? firstInFile(sheet.tracks[i + 1]) : file.frames;
        if (to < track.index1 || from > file.frames || to > file.frames || track.index1 >= to)
            return to > file.frames || track.index1 >= file.frames ? kImageTruncated : kImageBadSyntax;
        if (!addExtent(disc, cursor, track.pregap, kSilence, 0))
            return kImageTooManyTracks;
        cursor += track.pregap;
        uint32_t fileStart = cursor;
        int32_t source = track.audio ? track.file : kSilence;
        if (!addExtent(disc, cursor, to - from, source, file.dataOffset + from * kBytesPerFrame))
            return kImageTooManyTracks;
        disc->trackStart[i + 1] = fileStart + (track.index1 - from);
        disc->audioTrack[i + 1] = track.audio;
        anyAudio |= track.audio;
        cursor += to - from;
        if (!addExtent(disc, cursor, track.postgap, kSilence, 0))
            return kImageTooManyTracks;
        cursor += track.postgap;
    }
    if (!anyAudio)
        return kImageNoAudioTrack;
    disc->trackCount = sheet.trackCount;
    uint32_t shift = disc->trackStart[1];
    for (int32_t track = 1; track <= disc->trackCount; track++)
        disc->trackStart[track] -= shift;
    disc->endFrame = cursor - shift;
    disc->trackStart[disc->trackCount + 1] = disc->endFrame;
    // Extents before track 1 cannot be played.
    int32_t kept = 0;
    for (int32_t i = 0; i < disc->extentCount; i++) {
        DiscExtent extent = disc->extents[i];
        uint32_t end = extent.firstFrame + extent.frames;
        if (end <= shift)
            continue;
        if (extent.firstFrame < shift) {
            uint32_t cut = shift - extent.firstFrame;
            extent.frames -= cut;
            if (extent.file >= 0)
                extent.fileOffset += cut * kBytesPerFrame;
            extent.firstFrame = shift;
        }
        extent.firstFrame -= shift;
        disc->extents[kept++] = extent;
    }
    disc->extentCount = kept;
    disc->fileCount = sheet.fileCount;
    for (int32_t i = 0; i < sheet.fileCount; i++) {
        memcpy(disc->files[i], sheet.files[i], kFileNameSize);
        disc->fileDataEnd[i] = files[i].dataEnd;
        disc->fileKind[i] = files[i].kind;
    }
    return kImageOk;
}
