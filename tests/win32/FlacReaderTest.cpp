// FLAC images through the drive's own reading: each disc read when it goes
// in and every frame of it read as the drive's thread reads a play, against
// the WAV image it was encoded from; the files the drive refuses, with what
// it tells the user; a Japanese folder, and a file that shrinks as it plays.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "../../vdrive/win32/host/AudioOut.h"
#include "../../vdrive/win32/host/ImageFiles.h"
#include "Programs.h"

namespace {

std::string images() { return testFolder() + "flac-images\\"; }

VirtualDisc flacDisc, waveDisc;
DiscReader flacReader, waveReader;

int load(const std::string& path, VirtualDisc* disc, ImageRefusal* refusal) {
    return loadImage(wide(path).c_str(), disc, refusal);
}

// Every frame of both discs, ten at a time as a play's buffers; the first
// frame that differs, or -1.
int64_t firstDifference(uint32_t from = 0) {
    FeedJob job = {};
    job.playGeneration = flacReader.playGeneration + 1;
    for (uint32_t frame = from; frame < flacDisc.endFrame; frame += kFramesPerBuffer) {
        job.first = frame;
        job.frames = flacDisc.endFrame - frame < kFramesPerBuffer ? flacDisc.endFrame - frame : kFramesPerBuffer;
        flacReader.follow(flacDisc, job);
        waveReader.follow(waveDisc, job);
        flacReader.read(job);
        waveReader.read(job);
        for (uint32_t i = 0; i < job.frames; i++)
            if (memcmp(flacReader.samples + i * kSamplesPerFrame * 2, waveReader.samples + i * kSamplesPerFrame * 2,
                       kBytesPerFrame) != 0)
                return frame + i;
    }
    return -1;
}

void closeReaders() {
    flacReader.closeFiles();
    waveReader.closeFiles();
}

} // namespace

TEST(FlacReader, EveryLayoutPlaysTheFramesOfTheWaveItCameFrom) {
    struct Row {
        const char* image;
        const char* twin;
        int32_t tracks;
        uint8_t kinds[3];
    } rows[] = {
        {"disc.cue", "disc-wav.cue", 3, {kKindFlac}},
        {"tracks.cue", "tracks-wav.cue", 3, {kKindFlac, kKindFlac, kKindFlac}},
        {"mixed.cue", "mixed-wav.cue", 3, {kKindBinary, kKindWave, kKindFlac}},
        {"own.flac", "disc-wav.cue", 3, {kKindFlac}},
    };
    ImageRefusal refusal;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.image);
        ASSERT_TRUE(load(images() + row.image, &flacDisc, &refusal)) << refusal.error << " " << refusal.file;
        ASSERT_TRUE(load(images() + row.twin, &waveDisc, &refusal));
        ASSERT_EQ(row.tracks, flacDisc.trackCount);
        EXPECT_EQ(waveDisc.endFrame, flacDisc.endFrame);
        for (int32_t track = 1; track <= row.tracks + 1; track++)
            EXPECT_EQ(waveDisc.trackStart[track], flacDisc.trackStart[track]) << track;
        for (int32_t file = 0; file < flacDisc.fileCount; file++)
            EXPECT_EQ(row.kinds[file], flacDisc.fileKind[file]) << file;
        EXPECT_EQ(-1, firstDifference());
        // A play that starts again in the middle, as after a seek.
        EXPECT_EQ(-1, firstDifference(flacDisc.trackStart[2] + 3));
        closeReaders();
    }
}

TEST(FlacReader, RefusesWhatItCannotPlayAndSaysWhatTheFileIs) {
    struct Row {
        const char* sheet;
        ImageError error;
        const char* japanese;
    } rows[] = {
        {"refuse-48k.cue", kImageBadFlac,
         "FLAC ファイルが 44.1 kHz 16 ビット ステレオではありません (48000 Hz 16 ビット 2 チャンネル): "},
        {"refuse-24bit.cue", kImageBadFlac,
         "FLAC ファイルが 44.1 kHz 16 ビット ステレオではありません (44100 Hz 24 ビット 2 チャンネル): "},
        {"refuse-mono.cue", kImageBadFlac,
         "FLAC ファイルが 44.1 kHz 16 ビット ステレオではありません (44100 Hz 16 ビット 1 チャンネル): "},
        {"refuse-cut.cue", kImageDamagedFlac, "FLAC ファイルが壊れているか、途中で切れています: "},
        {"refuse-notflac.cue", kImageNotAudio, "WAV でも FLAC でもないファイルです: "},
    };
    ImageRefusal refusal;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sheet);
        EXPECT_FALSE(load(images() + row.sheet, &flacDisc, &refusal));
        EXPECT_EQ(row.error, refusal.error);
        char text[600];
        refusalTextJapanese(refusal, text, sizeof text);
        std::string file = std::string(row.sheet).substr(7, strlen(row.sheet) - 11) + ".flac";
        EXPECT_EQ(row.japanese + images() + file, std::string(text));
    }
    // A FLAC file inserted on its own that carries no sheet has no tracks.
    EXPECT_FALSE(load(images() + "disc.flac", &flacDisc, &refusal));
    EXPECT_EQ(kImageNoTracks, refusal.error);
}

// Names in Japanese, with the trail byte 0x5C, in the folder and the file.
TEST(FlacReader, PlaysFromAJapaneseFolder) {
    std::string folder = testFolder() + "ソ 表 アルバム\\";
    makeFolder(folder);
    ASSERT_TRUE(copyNamed(images() + "disc.flac", folder + "表.flac"));
    FILE* sheet = openNamed(folder + "ソ.cue", "wb");
    ASSERT_NE(nullptr, sheet);
    fputs("FILE \"\xe8\xa1\xa8.flac\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", sheet); // UTF-8
    fclose(sheet);
    ImageRefusal refusal;
    ASSERT_TRUE(load(folder + "ソ.cue", &flacDisc, &refusal)) << refusal.file;
    // The same file's frames, whatever the tracks.
    ASSERT_TRUE(load(images() + "disc-wav.cue", &waveDisc, &refusal));
    EXPECT_EQ(-1, firstDifference());
    closeReaders();
    // The file shrinks to half while it plays: silence from there, no stop.
    FeedJob job = {};
    job.playGeneration = flacReader.playGeneration + 1;
    job.frames = kFramesPerBuffer;
    flacReader.follow(flacDisc, job);
    flacReader.read(job);
    HANDLE file = CreateFileW(wide(folder + "表.flac").c_str(), GENERIC_WRITE, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    size.QuadPart /= 2;
    SetFilePointerEx(file, size, 0, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    job.first = flacDisc.endFrame - kFramesPerBuffer;
    flacReader.read(job);
    for (uint32_t i = 0; i < kFramesPerBuffer * kSamplesPerFrame * 2; i++)
        ASSERT_EQ(0, flacReader.samples[i]) << i;
    closeReaders();
    deleteNamed(folder + "表.flac");
    deleteNamed(folder + "ソ.cue");
    removeFolder(folder);
}
