// Any bytes as a FLAC file of an image: the check at insert and, for a file
// it takes, reads at a play's positions never read or write out of bounds,
// never hang, and give silence where the stream gives nothing.
#include <stdio.h>
#include <stdlib.h>

#include "FlacImage.h"

namespace {

FlacHead head;
CueSheet sheet;
int16_t samples[10 * kSamplesPerFrame * 2];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = fmemopen((void*)data, size, "rb");
    if (!file)
        return 0;
    fileIsFlac(file);
    ImageError error = inspectFlac(file, &head);
    if (head.cueTrackCount)
        flacCueSheet(head, "fuzz.flac", &sheet);
    if (error != kImageOk) {
        fclose(file);
        return 0;
    }
    FlacStream* stream = openFlacStream(file);
    if (!stream)
        return 0;
    uint64_t last = head.format.samples;
    const uint64_t firsts[] = {0, last / 2, last / 3, last > 100 ? last - 100 : 0};
    for (uint64_t first : firsts)
        readFlacSamples(stream, first, 10 * kSamplesPerFrame, samples);
    closeFlacStream(stream);
    return 0;
}
