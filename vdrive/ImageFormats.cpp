// The two kinds of file an image's sheet names: raw CD-DA (BIN) and WAV.
#include "CueSheet.h"

#include <string.h>

ImageError binaryFile(uint64_t size, ImageFile* file) {
    if (size % kBytesPerFrame != 0 || size / kBytesPerFrame > 0xFFFFFFFFu)
        return kImageTruncated;
    *file = ImageFile{0, (uint32_t)(size / kBytesPerFrame), size, kKindBinary};
    return kImageOk;
}

namespace {

uint32_t little32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
uint32_t little16(const uint8_t* p) { return p[0] | p[1] << 8; }

} // namespace

ImageError waveFile(const uint8_t* header, size_t length, uint64_t size, ImageFile* file) {
    if (length < 12 || memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "WAVE", 4) != 0)
        return kImageBadWave;
    int formatOk = 0;
    size_t at = 12;
    while (at + 8 <= length) {
        uint32_t chunkSize = little32(header + at + 4);
        const uint8_t* body = header + at + 8;
        if (memcmp(header + at, "fmt ", 4) == 0) {
            if (chunkSize < 16 || at + 8 + 16 > length)
                return kImageBadWave;
            formatOk = little16(body) == 1 && little16(body + 2) == 2 && little32(body + 4) == 44100 &&
                       little16(body + 14) == 16;
            if (!formatOk)
                return kImageBadWave;
        } else if (memcmp(header + at, "data", 4) == 0) {
            if (!formatOk)
                return kImageBadWave;
            uint64_t dataOffset = at + 8;
            uint64_t dataBytes = chunkSize;
            if (dataOffset + dataBytes > size)
                return kImageTruncated;
            *file = ImageFile{(uint32_t)dataOffset, (uint32_t)((dataBytes + kBytesPerFrame - 1) / kBytesPerFrame),
                              dataOffset + dataBytes, kKindWave};
            return kImageOk;
        }
        uint64_t next = (uint64_t)at + 8 + chunkSize + (chunkSize & 1);
        if (next > length)
            break;
        at = (size_t)next;
    }
    return kImageBadWave;
}
