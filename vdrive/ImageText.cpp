// What the drive says of an image, and which encoding a sheet's text is in.
#include "CueSheet.h"

const char* imageErrorText(ImageError error) {
    switch (error) {
    case kImageOk: return "ok";
    case kImageBadSyntax: return "the CUE sheet cannot be read";
    case kImageTooManyTracks: return "more than 99 tracks";
    case kImageTooManyFiles: return "more than 99 files";
    case kImageNoTracks: return "no tracks";
    case kImageNoAudioTrack: return "no audio track";
    case kImageMissingFile: return "a file of the image is missing";
    case kImageTruncated: return "a file of the image is shorter than the sheet says";
    case kImageBadWave: return "a WAV file is not 44.1 kHz 16-bit stereo PCM";
    case kImageUnsupportedFile: return "a file or track type the drive cannot play";
    case kImageBadFlac: return "a FLAC file is not 44.1 kHz 16-bit stereo";
    case kImageDamagedFlac: return "a FLAC file is damaged or cut short";
    case kImageNotAudio: return "a WAVE file is neither WAV nor FLAC";
    }
    return "unknown";
}

int isUtf8(const char* text, size_t length) {
    const unsigned char* at = (const unsigned char*)text;
    const unsigned char* end = at + length;
    while (at < end) {
        unsigned char lead = *at++;
        if (lead < 0x80)
            continue;
        int more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
        if (more < 0 || end - at < more)
            return 0;
        uint32_t value = lead & (0x3F >> more);
        for (int i = 0; i < more; i++, at++) {
            if ((*at & 0xC0) != 0x80)
                return 0;
            value = value << 6 | (*at & 0x3F);
        }
        uint32_t smallest = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
    }
    return 1;
}
