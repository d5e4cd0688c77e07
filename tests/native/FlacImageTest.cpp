// FLAC files as the drive reads them: the checks at insert, the sheet a file
// carries, and the decoded samples at the positions a play reads, against
// the samples the file was encoded from.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FlacFiles.h"
#include "FlacImage.h"

namespace {

const uint32_t kFrames = 5 * 75; // five seconds
const uint32_t kOddSamples = kFrames * kSamplesPerFrame + 100; // a short last frame

std::string folder() {
    static std::string made;
    if (made.empty()) {
        char pattern[] = "/tmp/flac-image-XXXXXX";
        made = std::string(mkdtemp(pattern)) + "/";
    }
    return made;
}

// The counting samples as a FLAC file of the given shape.
std::string makeFlac(const std::string& name, uint32_t samples, uint32_t rate = 44100, uint32_t bits = 16,
                     uint32_t channels = 2, const std::string& cue = "") {
    std::vector<int16_t> pairs = countingSamples(samples);
    std::string raw = folder() + name + ".raw", flac = folder() + name;
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < samples; i++)
        for (uint32_t channel = 0; channel < channels; channel++) {
            uint16_t value = (uint16_t)pairs[2 * i + channel];
            if (bits == 24)
                bytes.push_back(0);
            bytes.push_back(value & 0xFF);
            bytes.push_back(value >> 8);
        }
    EXPECT_TRUE(writeRaw(raw, bytes.data(), bytes.size()));
    EXPECT_TRUE(encodeFlac(raw, flac, rate, bits, channels, cue)) << name;
    return flac;
}

std::string fileBytes(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    std::string bytes;
    char buffer[65536];
    size_t got;
    while (file && (got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    if (file)
        fclose(file);
    return bytes;
}

ImageError inspect(const std::string& path, FlacHead* head) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return kImageMissingFile;
    ImageError error = inspectFlac(file, head);
    fclose(file);
    return error;
}

FlacHead head;

} // namespace

TEST(FlacImage, TakesCdAudioAndRefusesEveryOtherStream) {
    std::string good = makeFlac("good.flac", kOddSamples);
    std::string bytes = fileBytes(good);
    std::string cut = folder() + "cut.flac", bent = folder() + "bent.flac", notFlac = folder() + "not.flac";
    writeRaw(cut, bytes.data(), bytes.size() * 6 / 10);
    std::string broken = bytes;
    broken[8] ^= 0x55; // STREAMINFO's block sizes
    writeRaw(bent, broken.data(), broken.size());
    writeRaw(notFlac, "RIFX not a FLAC stream", 22);
    struct Row {
        std::string path;
        ImageError error;
        FlacFormat format;
    } rows[] = {
        {good, kImageOk, {44100, 16, 2, kOddSamples}},
        {makeFlac("48k.flac", 48000, 48000), kImageBadFlac, {48000, 16, 2, 48000}},
        {makeFlac("24bit.flac", 44100, 44100, 24), kImageBadFlac, {44100, 24, 2, 44100}},
        {makeFlac("mono.flac", 44100, 44100, 16, 1), kImageBadFlac, {44100, 16, 1, 44100}},
        {cut, kImageDamagedFlac, {44100, 16, 2, kOddSamples}},
        {bent, kImageDamagedFlac, {0, 0, 0, 0}},
        {notFlac, kImageDamagedFlac, {0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(row.error, inspect(row.path, &head));
        if (row.format.rate) {
            EXPECT_EQ(row.format.rate, head.format.rate);
            EXPECT_EQ(row.format.bits, head.format.bits);
            EXPECT_EQ(row.format.channels, head.format.channels);
            EXPECT_EQ(row.format.samples, head.format.samples);
        }
    }
}

// A FLAC stream is known by its content, behind an ID3v2 tag as well (its
// size read as libFLAC reads it), and plays from behind one.
TEST(FlacImage, IsKnownByItsBytesBehindATagOrNot) {
    std::string stream = fileBytes(makeFlac("known.flac", kOddSamples));
    std::string tag("ID3\4\0\0\0\0\1\0", 10);
    tag += std::string(128, '\0');
    std::string wideTag = tag;
    wideTag[8] = '\x81'; // an eighth bit, which libFLAC leaves out
    struct Row {
        std::string bytes;
        int flac;
    } rows[] = {
        {stream, 1},           {tag + stream, 1},      {wideTag + stream, 1},
        {"fLa", 0},            {tag.substr(0, 9), 0},  {tag.substr(0, 10), 0}, {tag.substr(0, 100) + stream, 0},
    };
    std::vector<int16_t> source = countingSamples(kOddSamples);
    const uint64_t far = 300 * kSamplesPerFrame;
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        std::string path = folder() + "known";
        writeRaw(path, row.bytes.data(), row.bytes.size());
        FILE* file = fopen(path.c_str(), "rb");
        ASSERT_TRUE(file);
        EXPECT_EQ(row.flac, fileIsFlac(file));
        EXPECT_EQ(0, ftell(file));
        if (!row.flac) {
            fclose(file);
            continue;
        }
        EXPECT_EQ(kImageOk, inspectFlac(file, &head));
        rewind(file);
        FlacStream* played = openFlacStream(file);
        ASSERT_NE(nullptr, played);
        std::vector<int16_t> got(2 * kSamplesPerFrame);
        readFlacSamples(played, far, kSamplesPerFrame, got.data());
        closeFlacStream(played);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), source.begin() + 2 * far));
    }
}

TEST(FlacImage, LaysOutItsFramesAsABinOfTheSameSamples) {
    ASSERT_EQ(kImageOk, inspect(makeFlac("layout.flac", kOddSamples), &head));
    ImageFile file;
    flacImageFile(head, &file);
    EXPECT_EQ(kFrames + 1, file.frames); // the short last frame counts
    EXPECT_EQ(0u, file.dataOffset);
    EXPECT_EQ((uint64_t)kOddSamples * 4, file.dataEnd);
    EXPECT_EQ(kKindFlac, file.kind);
}

// Reads as a play makes them (buffers of ten frames, on and on) and as
// seeks and jumps make them, each compared sample for sample.
TEST(FlacImage, EveryReadGivesTheSamplesItWasEncodedFrom) {
    std::string path = makeFlac("read.flac", kOddSamples);
    std::vector<int16_t> source = countingSamples(kOddSamples);
    FlacStream* stream = openFlacStream(fopen(path.c_str(), "rb"));
    ASSERT_NE(nullptr, stream);
    struct Read {
        uint64_t first;
        uint32_t count;
    };
    std::vector<Read> reads;
    for (uint32_t frame = 0; frame < 60; frame += 10)
        reads.push_back({frame * kSamplesPerFrame, 10 * kSamplesPerFrame}); // a play
    reads.push_back({5 * kSamplesPerFrame + 3, 7});                         // back, inside a block
    reads.push_back({250 * kSamplesPerFrame, 588 * 10});                    // far forward: a seek
    reads.push_back({260 * kSamplesPerFrame + 4096, 588});                  // near forward: decoded through
    reads.push_back({1, 1});                                                // back to the start
    reads.push_back({kOddSamples - 700, 600});                              // the short last frame
    reads.push_back({kOddSamples - 50, 588});                               // past the end: silence after
    for (const Read& read : reads) {
        SCOPED_TRACE(read.first);
        std::vector<int16_t> got(read.count * 2, 0x7777);
        readFlacSamples(stream, read.first, read.count, got.data());
        for (uint32_t i = 0; i < read.count; i++) {
            uint64_t at = read.first + i;
            int16_t left = at < kOddSamples ? source[2 * at] : 0, right = at < kOddSamples ? source[2 * at + 1] : 0;
            ASSERT_EQ(left, got[2 * i]) << "sample " << at;
            ASSERT_EQ(right, got[2 * i + 1]) << "sample " << at;
        }
    }
    closeFlacStream(stream);
}

// Damage in the middle is silence there, and only there; a file that
// shrinks while it plays gives silence past its new end, and no read stops.
TEST(FlacImage, DamageAndAShrunkFileAreSilenceWhereTheyLie) {
    std::string path = makeFlac("damaged.flac", kOddSamples);
    std::vector<int16_t> source = countingSamples(kOddSamples);
    std::string bytes = fileBytes(path);
    for (size_t at = bytes.size() / 2; at < bytes.size() / 2 + 400; at++)
        bytes[at] = (char)(bytes[at] * 7 + 1);
    std::string damaged = folder() + "damaged-mid.flac";
    writeRaw(damaged, bytes.data(), bytes.size());
    struct Row {
        const char* what;
        std::string path;
        size_t shrinkTo; // 0: stays
    } rows[] = {{"damaged in the middle", damaged, 0}, {"shrinks while it plays", folder() + "shrinks.flac", 1}};
    writeRaw(rows[1].path, fileBytes(path).data(), fileBytes(path).size());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FlacStream* stream = openFlacStream(fopen(row.path.c_str(), "rb"));
        ASSERT_NE(nullptr, stream);
        uint32_t silent = 0, heard = 0;
        std::vector<int16_t> got(10 * kSamplesPerFrame * 2);
        for (uint32_t frame = 0; frame + 10 <= kFrames; frame += 10) {
            if (row.shrinkTo && frame == 100)
                ASSERT_EQ(0, truncate(row.path.c_str(), (off_t)(bytes.size() / 2)));
            readFlacSamples(stream, frame * kSamplesPerFrame, 10 * kSamplesPerFrame, got.data());
            for (uint32_t i = 0; i < 10 * kSamplesPerFrame; i++) {
                uint64_t at = frame * kSamplesPerFrame + i;
                int same = got[2 * i] == source[2 * at] && got[2 * i + 1] == source[2 * at + 1];
                int quiet = got[2 * i] == 0 && got[2 * i + 1] == 0;
                ASSERT_TRUE(same || quiet) << "sample " << at;
                silent += quiet;
                heard += same;
                if (frame < 75)
                    ASSERT_TRUE(same) << "sample " << at; // the first second is whole
            }
        }
        EXPECT_GT(silent, 0u);
        EXPECT_GT(heard, kFrames * kSamplesPerFrame / 3);
        closeFlacStream(stream);
    }
}

// A file with its sheet in its CUESHEET block is laid out as the same
// sheet over a BIN of the same samples.
TEST(FlacImage, ACueSheetBlockIsTheDiscsSheet) {
    std::string text = "FILE \"whole.wav\" WAVE\n"
                       "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                       "  TRACK 02 AUDIO\n    INDEX 00 00:01:50\n    INDEX 01 00:02:00\n"
                       "  TRACK 03 AUDIO\n    INDEX 01 00:04:10\n";
    std::string cue = folder() + "whole.cue";
    writeRaw(cue, text.data(), text.size());
    ASSERT_EQ(kImageOk, inspect(makeFlac("whole.flac", kFrames * kSamplesPerFrame, 44100, 16, 2, cue), &head));
    ASSERT_EQ(4, head.cueTrackCount); // three tracks and the lead-out
    static CueSheet fromBlock, fromText;
    ASSERT_EQ(kImageOk, flacCueSheet(head, "whole.flac", &fromBlock));
    EXPECT_STREQ("whole.flac", fromBlock.files[0]);
    ASSERT_EQ(kImageOk, parseCueSheet(text.data(), text.size(), &fromText));
    ImageFile flacFiles[kMaxFiles] = {}, binFiles[kMaxFiles] = {};
    flacImageFile(head, &flacFiles[0]);
    binaryFile((uint64_t)kFrames * kBytesPerFrame, &binFiles[0]);
    static VirtualDisc flacDisc, binDisc;
    ASSERT_EQ(kImageOk, buildDisc(fromBlock, flacFiles, &flacDisc));
    ASSERT_EQ(kImageOk, buildDisc(fromText, binFiles, &binDisc));
    ASSERT_EQ(3, flacDisc.trackCount);
    EXPECT_EQ(binDisc.endFrame, flacDisc.endFrame);
    for (int32_t track = 1; track <= 4; track++)
        EXPECT_EQ(binDisc.trackStart[track], flacDisc.trackStart[track]) << track;
    ASSERT_EQ(binDisc.extentCount, flacDisc.extentCount);
    for (int32_t i = 0; i < binDisc.extentCount; i++)
        EXPECT_EQ(binDisc.extents[i].fileOffset, flacDisc.extents[i].fileOffset) << i;
    EXPECT_EQ(kKindFlac, flacDisc.fileKind[0]);

    head.cueTrackCount = 1; // the lead-out alone
    EXPECT_EQ(kImageNoTracks, flacCueSheet(head, "whole.flac", &fromBlock));
}
