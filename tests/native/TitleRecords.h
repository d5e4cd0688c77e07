// The records and the fixture of the tests of the title index with several
// writers: one disc of three tracks between other discs' records, in real
// files of a folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>

#include <filesystem>
#include <string>

#include "FileBytes.h"
#include "FileLayer.h"
#include "TitleIndex.h"

namespace {

const char kDisc[] = "@030b8600f5"; // three tracks

struct Names {
    const char* title;
    const char* artist;
    const char* tracks[3];
};

void fill(TitleRecord* record, const Names& names) {
    setDefaultTitles(record);
    snprintf(record->title, kTitleSlot, "%s", names.title);
    snprintf(record->artist, kTitleSlot, "%s", names.artist);
    for (int i = 0; i < 3; i++)
        snprintf(record->tracks[i], kTitleSlot, "%s", names.tracks[i]);
}

std::string recordBytes(const Names& names) {
    std::string bytes = std::string(kDisc) + "\r\n+" + names.title + "\r\n-" + names.artist + "\r\n";
    for (const char* track : names.tracks)
        bytes += std::string("#") + track + "\r\n";
    return bytes + "\r\n";
}

// Bytes of other writers and other discs, which every save keeps as they are.
const std::string kBefore = "; kept\r\n@0c0b8600f5\r\n+other disc\r\n#x\r\n\r\n";
const std::string kAfter = "@0d0b8600f5\r\n+last\r\n\r\n";

// Each test its own folder, named after the test.
class TitleFiles : public ::testing::Test {
  protected:
    std::string folder, index, temp;

    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = (std::filesystem::temp_directory_path() / "drovix-tests" /
                  (std::string(test->test_suite_name()) + "." + test->name()))
                     .string();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        index = folder + "/drovix.idx";
        temp = folder + "/drovix.tmp";
        fileLayer = stdioFileLayer;
    }

    void TearDown() override {
        fileLayer = stdioFileLayer;
        std::filesystem::remove_all(folder);
    }
};

const Names kDefaults = {"Title", "Artist", {"Track  1", "Track  2", "Track  3"}};
const Names kAutumn = {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}};

} // namespace
