// libFLAC over a FILE the caller opened, for both the check at insert and
// the stream while the disc plays.
#pragma once

#include <stdio.h>

#include <FLAC/stream_decoder.h>

// A decoder reading through stdio with 64-bit offsets from the FILE that
// `client` begins with; the file stays the caller's. 0 when libFLAC cannot
// start.
FLAC__StreamDecoder* startFlacDecoder(FLAC__StreamDecoderWriteCallback write,
                                      FLAC__StreamDecoderMetadataCallback metadata,
                                      FLAC__StreamDecoderErrorCallback error, void* client);
