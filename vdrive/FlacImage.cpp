// A FLAC file as an image's file: the checks when the disc goes in, and the
// sheet its CUESHEET block carries.
#include "FlacImage.h"

#include <string.h>

#include "FlacDecoding.h"

namespace {

// A seek leaves the end of the file, as the C standard has it: libFLAC asks
// whether the file has ended before it reads, and Wine's _fseeki64 leaves
// the end-of-file flag set, which would end every seek after the last frame
// was read.
int seekFile(FILE* file, uint64_t offset) {
#ifdef _WIN32
    if (_fseeki64(file, (long long)offset, SEEK_SET) != 0)
        return 0;
    clearerr(file);
    return 1;
#else
    return fseeko(file, (off_t)offset, SEEK_SET) == 0;
#endif
}

int64_t tellFile(FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

// Every client of a decoder begins with its FILE.
FILE* fileOf(void* data) { return *(FILE**)data; }

FLAC__StreamDecoderReadStatus readBytes(const FLAC__StreamDecoder*, FLAC__byte* buffer, size_t* bytes, void* data) {
    FILE* file = fileOf(data);
    if (*bytes == 0)
        return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    *bytes = fread(buffer, 1, *bytes, file);
    if (*bytes == 0)
        return ferror(file) ? FLAC__STREAM_DECODER_READ_STATUS_ABORT : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderSeekStatus seekBytes(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data) {
    return seekFile(fileOf(data), offset) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
}

FLAC__StreamDecoderTellStatus tellBytes(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data) {
    int64_t at = tellFile(fileOf(data));
    if (at < 0)
        return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
    *offset = (FLAC__uint64)at;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

// The file's length now: a file that shrinks while it plays is read as it
// is, not as it was.
FLAC__StreamDecoderLengthStatus lengthBytes(const FLAC__StreamDecoder*, FLAC__uint64* length, void* data) {
    FILE* file = fileOf(data);
    int64_t at = tellFile(file);
    if (at < 0 || fseek(file, 0, SEEK_END) != 0)
        return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
    int64_t end = tellFile(file);
    if (end < 0 || !seekFile(file, (uint64_t)at))
        return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
    *length = (FLAC__uint64)end;
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool atEnd(const FLAC__StreamDecoder*, void* data) { return feof(fileOf(data)) != 0; }

// What the check at insert saw.
struct Inspection {
    FILE* file; // first, as every client's
    FlacHead* head;
    int streamInfo;
    int errors;
    int frames;
    uint64_t lastSampleSeen; // the end of the last frame decoded
};

FLAC__StreamDecoderWriteStatus inspectFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                            const FLAC__int32* const[], void* data) {
    Inspection* seen = (Inspection*)data;
    seen->frames++;
    seen->lastSampleSeen = frame->header.number.sample_number + frame->header.blocksize;
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16)
        seen->errors++;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void takeCueSheet(const FLAC__StreamMetadata_CueSheet& cue, FlacHead* head) {
    head->cueTrackCount = 0;
    for (uint32_t i = 0; i < cue.num_tracks && i < (uint32_t)kMaxTracks + 1; i++) {
        const FLAC__StreamMetadata_CueSheet_Track& from = cue.tracks[i];
        FlacCueTrack& track = head->cueTracks[head->cueTrackCount++];
        track = FlacCueTrack{from.offset, from.number, (uint8_t)(from.type == 0), -1, -1};
        for (uint32_t k = 0; k < from.num_indices; k++) {
            if (from.indices[k].number == 0)
                track.index0 = (int64_t)from.indices[k].offset;
            else if (from.indices[k].number == 1)
                track.index1 = (int64_t)from.indices[k].offset;
        }
    }
    // More tracks than a disc holds: the layout refuses the sheet.
    if (cue.num_tracks > (uint32_t)kMaxTracks + 1)
        head->cueTrackCount = kMaxTracks + 2;
}

void inspectMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data) {
    Inspection* seen = (Inspection*)data;
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
        const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
        seen->head->format = FlacFormat{info.sample_rate, info.bits_per_sample, info.channels, info.total_samples};
        seen->streamInfo = 1;
    } else if (metadata->type == FLAC__METADATA_TYPE_CUESHEET) {
        takeCueSheet(metadata->data.cue_sheet, seen->head);
    }
}

void inspectError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) { ((Inspection*)data)->errors++; }

// The first frame decodes from the start, and the last sample can be
// reached: a stream cut short or damaged at either end is refused.
ImageError checkStream(FLAC__StreamDecoder* decoder, Inspection* seen) {
    const FlacFormat& format = seen->head->format;
    if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder) || !seen->streamInfo)
        return kImageDamagedFlac;
    if (format.rate != 44100 || format.bits != 16 || format.channels != 2)
        return kImageBadFlac;
    if (format.samples == 0 || format.samples / kSamplesPerFrame >= 0xFFFFFFFFu / kBytesPerFrame)
        return kImageDamagedFlac;
    if (!FLAC__stream_decoder_process_single(decoder) || seen->frames != 1 || seen->errors)
        return kImageDamagedFlac;
    if (!FLAC__stream_decoder_seek_absolute(decoder, format.samples - 1) || seen->errors ||
        seen->lastSampleSeen != format.samples)
        return kImageDamagedFlac;
    return kImageOk;
}

int isFlac(const uint8_t* head, size_t length) { return length >= 4 && memcmp(head, "fLaC", 4) == 0; }

// "ID3", two version bytes, the flags, then the size of what follows the
// header in four bytes of seven bits each, read as libFLAC reads them (the
// eighth bit left out, a footer not counted): the drive takes what libFLAC
// can play.
uint64_t id3TagLength(const uint8_t* head, size_t length) {
    if (length < 10 || memcmp(head, "ID3", 3) != 0)
        return 0;
    uint64_t size = 0;
    for (int i = 6; i < 10; i++)
        size = size << 7 | (head[i] & 0x7F);
    return 10 + size;
}

} // namespace

FLAC__StreamDecoder* startFlacDecoder(FLAC__StreamDecoderWriteCallback write,
                                      FLAC__StreamDecoderMetadataCallback metadata,
                                      FLAC__StreamDecoderErrorCallback error, void* client) {
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    if (!decoder)
        return 0;
    FLAC__stream_decoder_set_md5_checking(decoder, false);
    if (metadata)
        FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_CUESHEET);
    if (FLAC__stream_decoder_init_stream(decoder, readBytes, seekBytes, tellBytes, lengthBytes, atEnd, write, metadata,
                                         error, client) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        FLAC__stream_decoder_delete(decoder);
        return 0;
    }
    return decoder;
}

int fileIsFlac(FILE* file) {
    uint8_t head[10] = {};
    size_t got = seekFile(file, 0) ? fread(head, 1, sizeof head, file) : 0;
    uint64_t tag = id3TagLength(head, got);
    if (tag)
        got = seekFile(file, tag) ? fread(head, 1, 4, file) : 0;
    int flac = isFlac(head, got);
    seekFile(file, 0);
    return flac;
}

ImageError inspectFlac(FILE* file, FlacHead* head) {
    memset(head, 0, sizeof *head);
    Inspection seen = {file, head, 0, 0, 0, 0};
    if (!seekFile(file, 0))
        return kImageDamagedFlac;
    FLAC__StreamDecoder* decoder = startFlacDecoder(inspectFrame, inspectMetadata, inspectError, &seen);
    if (!decoder)
        return kImageDamagedFlac;
    ImageError error = checkStream(decoder, &seen);
    FLAC__stream_decoder_delete(decoder);
    return error;
}

void flacImageFile(const FlacHead& head, ImageFile* image) {
    uint64_t frames = (head.format.samples + kSamplesPerFrame - 1) / kSamplesPerFrame;
    *image = ImageFile{0, (uint32_t)frames, head.format.samples * 4, kKindFlac};
}

ImageError flacCueSheet(const FlacHead& head, const char* ownName, CueSheet* sheet) {
    memset(sheet, 0, sizeof *sheet);
    if (strlen(ownName) >= (size_t)kFileNameSize)
        return kImageMissingFile;
    // The last track of the block is the lead-out, which holds no audio.
    int32_t tracks = head.cueTrackCount - 1;
    if (tracks < 1)
        return kImageNoTracks;
    if (tracks > kMaxTracks)
        return kImageTooManyTracks;
    sheet->fileCount = 1;
    strcpy(sheet->files[0], ownName);
    sheet->fileType[0] = kFileWave;
    sheet->utf8 = 1;
    for (int32_t i = 0; i < tracks; i++) {
        const FlacCueTrack& from = head.cueTracks[i];
        // As a sheet's text is held to: INDEX 01 there, INDEX 00 not after
        // it, both on a frame of the disc.
        uint64_t index1 = from.offset + (uint64_t)from.index1, index0 = from.offset + (uint64_t)from.index0;
        if (from.index1 < 0 || (from.index0 >= 0 && from.index0 > from.index1) || index1 % kSamplesPerFrame ||
            (from.index0 >= 0 && index0 % kSamplesPerFrame) || index1 / kSamplesPerFrame > 0xFFFFFFFFu)
            return kImageBadSyntax;
        CueTrack& track = sheet->tracks[i];
        track.file = 0;
        track.audio = from.audio;
        track.index0 = from.index0 < 0 ? -1 : (int32_t)((from.offset + from.index0) / kSamplesPerFrame);
        track.index1 = (uint32_t)((from.offset + from.index1) / kSamplesPerFrame);
    }
    sheet->trackCount = tracks;
    return kImageOk;
}
