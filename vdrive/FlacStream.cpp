// A FLAC file while the disc plays: the samples of any position, decoded
// ahead of the sound by the drive's thread. A play reads on from where the
// last read ended, so the decoder seeks only when the play jumps; what the
// stream cannot give is silence, and the next read tries again.
#include "FlacImage.h"

#include <stdlib.h>
#include <string.h>

#include "FlacDecoding.h"

// libFLAC's largest block, in stereo samples.
const uint32_t kMostBlockSamples = 65536;
// A jump forward shorter than this is decoded through rather than sought.
const uint64_t kDecodeThrough = 2 * 44100;
// Frames decoded in one read at most: a stream that gives no samples for
// so long is taken as silent there.
const int kMostFramesARead = 256;

struct FlacStream {
    FILE* file; // first, as every client's
    FLAC__StreamDecoder* decoder;
    // The samples the decoder gave last: one run, from runStart.
    uint64_t runStart;
    uint32_t runCount;
    int16_t run[kMostBlockSamples * 2];
};

namespace {

// A frame, or libFLAC's silence for frames it lost, continues the run or
// starts a new one. A frame of another shape (a file replaced while it
// plays) gives nothing: silence.
FLAC__StreamDecoderWriteStatus takeFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                         const FLAC__int32* const buffer[], void* data) {
    FlacStream* stream = (FlacStream*)data;
    uint32_t count = frame->header.blocksize;
    uint64_t start = frame->header.number.sample_number;
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16 || count > kMostBlockSamples)
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    if (start != stream->runStart + stream->runCount || stream->runCount + count > kMostBlockSamples) {
        stream->runStart = start;
        stream->runCount = 0;
    }
    int16_t* to = stream->run + stream->runCount * 2;
    for (uint32_t i = 0; i < count; i++) {
        to[2 * i] = (int16_t)buffer[0][i];
        to[2 * i + 1] = (int16_t)buffer[1][i];
    }
    stream->runCount += count;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

// Damage is heard as silence where it lies; libFLAC goes on at the next
// frame it can read.
void passError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

uint64_t runEnd(const FlacStream* stream) { return stream->runStart + stream->runCount; }

// The decoder's next frames, after the run: 0 when the stream has ended
// there (a file that shrank) or fails.
int decodeOn(FlacStream* stream) {
    FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(stream->decoder);
    if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED ||
        state == FLAC__STREAM_DECODER_SEEK_ERROR)
        return 0;
    stream->runStart = runEnd(stream);
    stream->runCount = 0;
    return FLAC__stream_decoder_process_single(stream->decoder) &&
           FLAC__stream_decoder_get_state(stream->decoder) != FLAC__STREAM_DECODER_END_OF_STREAM;
}

// The decoder moved to `at`, its run starting there; 0 when it cannot go
// there (the file shrank, or is damaged there), the decoder then ready for
// the next try.
int seekTo(FlacStream* stream, uint64_t at) {
    stream->runCount = 0;
    if (FLAC__stream_decoder_seek_absolute(stream->decoder, at))
        return 1;
    if (!FLAC__stream_decoder_flush(stream->decoder))
        FLAC__stream_decoder_reset(stream->decoder);
    stream->runCount = 0;
    return 0;
}

} // namespace

FlacStream* openFlacStream(FILE* file) {
    FlacStream* stream = (FlacStream*)calloc(1, sizeof(FlacStream));
    if (!stream) {
        fclose(file);
        return 0;
    }
    stream->file = file;
    stream->decoder = startFlacDecoder(takeFrame, 0, passError, stream);
    if (!stream->decoder) {
        closeFlacStream(stream);
        return 0;
    }
    return stream;
}

void closeFlacStream(FlacStream* stream) {
    if (!stream)
        return;
    if (stream->decoder)
        FLAC__stream_decoder_delete(stream->decoder);
    fclose(stream->file);
    free(stream);
}

void readFlacSamples(FlacStream* stream, uint64_t first, uint32_t count, int16_t* samples) {
    memset(samples, 0, (size_t)count * 4);
    uint64_t at = first, end = first + count;
    for (int frames = 0; at < end && frames < kMostFramesARead; frames++) {
        if (at >= stream->runStart && at < runEnd(stream)) {
            uint64_t until = runEnd(stream) < end ? runEnd(stream) : end;
            memcpy(samples + (at - first) * 2, stream->run + (at - stream->runStart) * 2, (size_t)(until - at) * 4);
            at = until;
            continue;
        }
        int near = stream->runCount && at >= runEnd(stream) && at - runEnd(stream) < kDecodeThrough;
        uint64_t runBefore = stream->runStart;
        uint32_t countBefore = stream->runCount;
        if (near ? !decodeOn(stream) && !seekTo(stream, at) : !seekTo(stream, at))
            return;
        // Nothing was decoded (a frame of another shape): the rest of the
        // read is silence, not another seek.
        if (stream->runStart == runBefore && stream->runCount == countBefore)
            return;
        // Samples the stream lost before the run are silence.
        if (stream->runCount && stream->runStart > at)
            at = stream->runStart < end ? stream->runStart : end;
    }
}
