// The virtual drive's disc: frame arithmetic, MCI time formats, the demo
// disc, and CD images read from CUE sheets, good and bad.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "CueSheet.h"

namespace {

uint32_t msf(uint32_t m, uint32_t s, uint32_t f) { return (m * 60 + s) * 75 + f; }

ImageError parse(const std::string& text, CueSheet* sheet) { return parseCueSheet(text.data(), text.size(), sheet); }

// A sheet and the frames of each of its files, built into a disc.
ImageError build(const std::string& text, const std::vector<uint32_t>& fileFrames, VirtualDisc* disc) {
    static CueSheet sheet;
    ImageError error = parse(text, &sheet);
    if (error != kImageOk)
        return error;
    std::vector<ImageFile> files;
    for (uint32_t frames : fileFrames)
        files.push_back(ImageFile{0, frames, (uint64_t)frames * kBytesPerFrame});
    files.resize(kMaxFiles);
    return buildDisc(sheet, files.data(), disc);
}

VirtualDisc disc;

} // namespace

TEST(TimeFormats, MsfAndTmsfAreExactToTheFrame) {
    EXPECT_EQ(0x00000000u, packMsf(0));
    EXPECT_EQ(0x00020000u | 0x0000u, packMsf(2));                  // 0:00:02
    EXPECT_EQ(0x00000000u | (1u << 8) | (74u << 16), packMsf(149)); // 0:01:74
    EXPECT_EQ(3u | (7u << 8) | (12u << 16), packMsf(msf(3, 7, 12)));
    for (uint32_t frames : {0u, 1u, 74u, 75u, 4499u, 4500u, 333333u})
        EXPECT_EQ(frames, unpackMsf(packMsf(frames))) << frames;

    makeDemoDisc(&disc);
    int valid;
    for (int32_t track = 1; track <= disc.trackCount; track++) {
        uint32_t start = disc.trackStart[track];
        EXPECT_EQ((uint32_t)track, packTmsf(disc, start)) << track;
        EXPECT_EQ(start, unpackTmsf(disc, (uint32_t)track, &valid));
        EXPECT_TRUE(valid);
        // The last frame of a track still belongs to it.
        uint32_t last = start + disc.trackLength(track) - 1;
        EXPECT_EQ((uint32_t)track, packTmsf(disc, last) & 0xFF);
        EXPECT_EQ(last, unpackTmsf(disc, packTmsf(disc, last), &valid));
    }
    unpackTmsf(disc, 0, &valid);
    EXPECT_FALSE(valid);
    unpackTmsf(disc, (uint32_t)disc.trackCount + 1, &valid);
    EXPECT_FALSE(valid);
}

TEST(DemoDisc, HasRealisticTracksAndDistinctSound) {
    makeDemoDisc(&disc);
    ASSERT_GE(disc.trackCount, 3);
    uint32_t sum = 0;
    for (int32_t track = 1; track <= disc.trackCount; track++) {
        EXPECT_GE(disc.trackLength(track), msf(1, 0, 0));
        EXPECT_LE(disc.trackLength(track), msf(8, 0, 0));
        EXPECT_EQ(1, disc.audioTrack[track]);
        sum += disc.trackLength(track);
    }
    EXPECT_EQ(sum, disc.endFrame);
    int16_t first[kSamplesPerFrame * 2], second[kSamplesPerFrame * 2];
    // Mid-track, not silent, and each track sounds its own.
    demoFrame(disc, disc.trackStart[1] + 750, first);
    demoFrame(disc, disc.trackStart[2] + 750, second);
    int loud = 0, differs = 0;
    for (uint32_t i = 0; i < kSamplesPerFrame * 2; i++) {
        loud += first[i] > 1000 || first[i] < -1000;
        differs += first[i] != second[i];
    }
    EXPECT_GT(loud, 50);
    EXPECT_GT(differs, 500);
}

TEST(CueSheet, OneBinWithIndexesAndPregapsGivesTheTableOfContents) {
    const char* text =
        "REM GENRE Test\r\n"
        "PERFORMER \"Someone\"\r\n"
        "FILE \"My Disc.bin\" BINARY\r\n"
        "  TRACK 01 AUDIO\r\n"
        "    TITLE \"One\"\r\n"
        "    INDEX 01 00:00:00\r\n"
        "  TRACK 02 AUDIO\r\n"
        "    INDEX 00 03:10:00\r\n"
        "    INDEX 01 03:12:00\r\n"
        "  TRACK 03 AUDIO\r\n"
        "    PREGAP 00:02:00\r\n"
        "    INDEX 01 05:00:30\r\n";
    ASSERT_EQ(kImageOk, build(text, {msf(8, 0, 0)}, &disc));
    EXPECT_EQ(3, disc.trackCount);
    EXPECT_EQ(0u, disc.trackStart[1]);
    // Track 2's INDEX 00 gap belongs to track 1's length, as on a disc.
    EXPECT_EQ(msf(3, 12, 0), disc.trackStart[2]);
    // PREGAP is silence that no file holds: it moves the later tracks.
    EXPECT_EQ(msf(5, 2, 30), disc.trackStart[3]);
    EXPECT_EQ(msf(3, 12, 0), disc.trackLength(1));
    EXPECT_EQ(msf(5, 2, 30) - msf(3, 12, 0), disc.trackLength(2));
    EXPECT_EQ(msf(8, 2, 0) - msf(5, 2, 30), disc.trackLength(3));
    EXPECT_EQ(msf(8, 2, 0), disc.endFrame);
    // The gap is silent; the file goes on after it where it left off.
    int32_t gap = disc.extentAt(msf(5, 1, 0));
    ASSERT_GE(gap, 0);
    EXPECT_EQ(kSilence, disc.extents[gap].file);
    int32_t after = disc.extentAt(disc.trackStart[3]);
    EXPECT_EQ(0, disc.extents[after].file);
    EXPECT_EQ(msf(5, 0, 30) * kBytesPerFrame, disc.extents[after].fileOffset);
}

TEST(CueSheet, OneWavPerTrack) {
    const char* text =
        "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "FILE \"02.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
    ASSERT_EQ(kImageOk, build(text, {msf(0, 30, 1), msf(1, 0, 0)}, &disc));
    EXPECT_EQ(2, disc.trackCount);
    EXPECT_EQ(msf(0, 30, 1), disc.trackStart[2]);
    EXPECT_EQ(msf(1, 0, 0), disc.trackLength(2));
    EXPECT_EQ(1, disc.extents[disc.extentAt(disc.trackStart[2])].file);
}

TEST(CueSheet, TheLastTrackAndTheDiscAreReportedOneFrameShort) {
    struct Case {
        std::vector<uint32_t> files;
        std::vector<uint32_t> reported; // disc, then each track
    } cases[] = {
        {{msf(1, 0, 0)}, {msf(0, 59, 74), msf(0, 59, 74)}},
        {{msf(0, 30, 1), msf(2, 0, 0)}, {msf(2, 30, 0), msf(0, 30, 1), msf(1, 59, 74)}},
    };
    for (const Case& c : cases) {
        std::string text;
        for (size_t i = 0; i < c.files.size(); i++)
            text += "FILE \"" + std::to_string(i) + ".wav\" WAVE\n  TRACK 0" + std::to_string(i + 1) +
                    " AUDIO\n    INDEX 01 00:00:00\n";
        ASSERT_EQ(kImageOk, build(text, c.files, &disc));
        for (size_t track = 0; track < c.reported.size(); track++)
            EXPECT_EQ(c.reported[track], disc.reportedLength((int32_t)track)) << c.files.size() << " " << track;
        // Where the disc plays is exact all the same.
        uint32_t total = 0;
        for (uint32_t frames : c.files)
            total += frames;
        EXPECT_EQ(total, disc.endFrame);
    }
}

TEST(CueSheet, NamesOfTheDiscAndItsTracksAndTheSheetsEncoding) {
    struct Case {
        std::string text;
        const char *title, *performer, *one, *two;
        int utf8;
    } cases[] = {
        {"TITLE \"Morning\"\nPERFORMER Trio\nFILE a.bin BINARY\nTRACK 01 AUDIO\nTITLE \"One two\"\n"
         "PERFORMER \"Not the disc's\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
         "Morning", "Trio", "One two", "", 0},
        // UTF-8 "あ" and Shift-JIS "ソ" (its second byte a backslash's).
        {"TITLE \"\xE3\x81\x82\"\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "\xE3\x81\x82", "", "", "", 1},
        {"\xEF\xBB\xBFTITLE x\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "x", "", "", "", 1},
        {"TITLE \"\x83\x5C\"\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "\x83\x5C", "", "", "", 0},
        // A name too long or malformed is left out; the sheet still plays.
        {"TITLE \"" + std::string(200, 'l') + "\"\nPERFORMER \"open\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
         "", "", "", "", 0},
    };
    for (const Case& c : cases) {
        CueSheet sheet;
        ASSERT_EQ(kImageOk, parseCueSheet(c.text.data(), c.text.size(), &sheet)) << c.text;
        EXPECT_STREQ(c.title, sheet.discTitle);
        EXPECT_STREQ(c.performer, sheet.discPerformer);
        EXPECT_STREQ(c.one, sheet.trackTitles[0]);
        EXPECT_STREQ(c.two, sheet.trackTitles[1]);
        EXPECT_EQ(c.utf8, sheet.utf8) << c.text;
    }
}

TEST(CueSheet, Utf8IsWellFormedOrNot) {
    struct Case {
        const char* bytes;
        int utf8;
    } cases[] = {
        {"plain", 1},        {"\xE3\x81\x82", 1}, {"\xF0\x9F\x8E\xB5", 1}, {"\x82\xA0", 0},
        {"\xC0\xAF", 0},     {"\xED\xA0\x80", 0}, {"\xE3\x81", 0},         {"\xF4\x90\x80\x80", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.utf8, isUtf8(c.bytes, strlen(c.bytes))) << c.bytes;
}

TEST(CueSheet, SheetsInTheShapesRippersWrite) {
    struct Case {
        const char* shape;
        const char* text;
        std::vector<uint32_t> files;
        std::vector<uint32_t> starts; // track 2 on, then the end of the disc
    } cases[] = {
        // One file per track, each track's gap at the end of the file before.
        {"gaps appended",
         "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    INDEX 00 00:50:00\nFILE \"02.wav\" WAVE\n    INDEX 01 00:00:00\n"
         "  TRACK 03 AUDIO\n    INDEX 00 00:40:00\nFILE \"03.wav\" WAVE\n    INDEX 01 00:00:00\n",
         {msf(0, 52, 0), msf(0, 42, 0), msf(0, 30, 0)},
         {msf(0, 52, 0), msf(1, 34, 0), msf(2, 4, 0)}},
        // Silence after a track that no file holds moves the later tracks.
        {"postgap",
         "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    POSTGAP 00:02:00\n"
         "  TRACK 02 AUDIO\n    INDEX 01 01:00:00\n",
         {msf(2, 0, 0)},
         {msf(1, 2, 0), msf(2, 2, 0)}},
        // An unquoted name with blanks: all but the last word.
        {"unquoted name with blanks", "FILE my  disc.bin BINARY \n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
         {msf(1, 0, 0)}, {msf(1, 0, 0)}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(kImageOk, build(c.text, c.files, &disc)) << c.shape;
        ASSERT_EQ((int32_t)c.starts.size(), disc.trackCount) << c.shape;
        for (size_t i = 0; i < c.starts.size(); i++)
            EXPECT_EQ(c.starts[i], disc.trackStart[i + 2]) << c.shape << " " << i;
        EXPECT_EQ(c.starts.back(), disc.endFrame) << c.shape;
    }
    CueSheet sheet;
    const char* blanks = "FILE my  disc.bin BINARY \nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    ASSERT_EQ(kImageOk, parseCueSheet(blanks, strlen(blanks), &sheet));
    EXPECT_STREQ("my  disc.bin", sheet.files[0]);
    // The gap's audio ends track 1; track 2 starts at its own file's start.
    ASSERT_EQ(kImageOk, build(cases[0].text, cases[0].files, &disc));
    EXPECT_EQ(1, disc.extents[disc.extentAt(disc.trackStart[2])].file);
    EXPECT_EQ(0, disc.extents[disc.extentAt(disc.trackStart[2] - 1)].file);
}

TEST(CueSheet, ADataTrackFirstIsASilentTrack) {
    const char* text =
        "FILE \"mixed.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    INDEX 01 10:00:00\n";
    ASSERT_EQ(kImageOk, build(text, {msf(14, 0, 0)}, &disc));
    EXPECT_EQ(0, disc.audioTrack[1]);
    EXPECT_EQ(1, disc.audioTrack[2]);
    EXPECT_EQ(kSilence, disc.extents[disc.extentAt(10)].file);
}

TEST(CueSheet, ATrackOneThatStartsLateStillStartsTheDisc) {
    const char* text = "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n";
    ASSERT_EQ(kImageOk, build(text, {msf(1, 0, 0)}, &disc));
    EXPECT_EQ(0u, disc.trackStart[1]);
    EXPECT_EQ(msf(0, 58, 0), disc.endFrame);
    EXPECT_EQ(msf(0, 2, 0) * kBytesPerFrame, disc.extents[disc.extentAt(0)].fileOffset);
}

TEST(CueSheet, BadImagesAreRefusedWithTheirReason) {
    struct Case {
        const char* text;
        std::vector<uint32_t> frames;
        ImageError expected;
    };
    const Case cases[] = {
        {"", {}, kImageNoTracks},
        {"TRACK 01 AUDIO\n INDEX 01 00:00:00\n", {}, kImageBadSyntax},              // no FILE
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\n", {100}, kImageBadSyntax},             // no INDEX 01
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", {100}, kImageBadSyntax},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", {100}, kImageBadSyntax},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 0:0\n", {100}, kImageBadSyntax},
        {"FILE \"a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {100}, kImageBadSyntax},
        {"FILE a.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\nTRACK 01 AUDIO\nINDEX 01 00:01:00\n", {100},
         kImageBadSyntax},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nGARBAGE\n", {100}, kImageBadSyntax},
        {"FILE a.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {100}, kImageUnsupportedFile},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n", {100}, kImageUnsupportedFile},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", {100}, kImageNoAudioTrack},
        // The sheet places a track beyond the end of its file.
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:10:00\n", {300},
         kImageTruncated},
        // Tracks out of order within their file.
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n", {3000},
         kImageBadSyntax},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, build(c.text, c.frames, &disc)) << c.text;

}

TEST(CueSheet, AHundredthTrackIsTooMany) {
    // Track numbers may skip, but a disc holds 99 tracks at most.
    std::string text;
    CueSheet sheet;
    for (int i = 0; i < 100; i++)
        text += "FILE t" + std::to_string(i) + ".wav WAVE\n";
    EXPECT_EQ(kImageTooManyFiles, parse(text, &sheet));
    text = "FILE a.bin BINARY\n";
    for (int track = 1; track <= 99; track++)
        text += "TRACK " + std::to_string(track) + " AUDIO\nINDEX 01 00:00:00\n";
    EXPECT_EQ(kImageOk, parse(text, &sheet));
    EXPECT_EQ(99, sheet.trackCount);
    EXPECT_NE(kImageOk, parse(text + "TRACK 100 AUDIO\nINDEX 01 00:00:00\n", &sheet));
}

TEST(ImageFiles, BinSizesAndWavHeaders) {
    ImageFile file;
    EXPECT_EQ(kImageOk, binaryFile(kBytesPerFrame * 10ull, &file));
    EXPECT_EQ(10u, file.frames);
    EXPECT_EQ(kImageTruncated, binaryFile(kBytesPerFrame * 10ull + 7, &file));

    auto header = [](uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataBytes) {
        std::vector<uint8_t> bytes;
        auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) bytes.push_back((uint8_t)(v >> (8 * i))); };
        auto put16 = [&](uint16_t v) { bytes.push_back((uint8_t)v); bytes.push_back((uint8_t)(v >> 8)); };
        bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
        put32(36 + dataBytes);
        bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put32(16);
        put16(format);
        put16(channels);
        put32(rate);
        put32(rate * channels * bits / 8);
        put16((uint16_t)(channels * bits / 8));
        put16(bits);
        bytes.insert(bytes.end(), {'L', 'I', 'S', 'T'});
        put32(3);
        bytes.insert(bytes.end(), {'a', 'b', 'c', 0});
        bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
        put32(dataBytes);
        return bytes;
    };
    std::vector<uint8_t> good = header(1, 2, 44100, 16, kBytesPerFrame * 3 + 100);
    ASSERT_EQ(kImageOk, waveFile(good.data(), good.size(), good.size() + kBytesPerFrame * 3 + 100, &file));
    EXPECT_EQ(good.size(), file.dataOffset);
    EXPECT_EQ(4u, file.frames); // a short last frame is padded with silence
    EXPECT_EQ(good.size() + kBytesPerFrame * 3 + 100, file.dataEnd);
    EXPECT_EQ(kImageTruncated, waveFile(good.data(), good.size(), good.size() + 10, &file));
    for (auto bad : {header(1, 1, 44100, 16, 100), header(1, 2, 48000, 16, 100), header(1, 2, 44100, 8, 100),
                     header(3, 2, 44100, 16, 100)})
        EXPECT_EQ(kImageBadWave, waveFile(bad.data(), bad.size(), bad.size() + 100, &file));
    const uint8_t notWave[] = "RIFF\x04\0\0\0AVI ";
    EXPECT_EQ(kImageBadWave, waveFile(notWave, sizeof notWave - 1, 100, &file));
}
