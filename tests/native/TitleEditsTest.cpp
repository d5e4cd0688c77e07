// The title index with several writers: a dialog's edits laid over what
// another writer stored meanwhile, the save's own files never taken for the
// index, the backup put back only under the lock, and the stamp that tells
// a reader the file changed. Real files, exact bytes.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "FileBytes.h"
#include "FileLayer.h"
#include "TitleIndex.h"

namespace {

const char kDisc[] = "@030b8600f5"; // three tracks

// The names of a record; nullptr tracks keep their defaults.
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
        if (names.tracks[i])
            snprintf(record->tracks[i], kTitleSlot, "%s", names.tracks[i]);
}

std::string recordBytes(const Names& names) {
    std::string bytes = std::string(kDisc) + "\r\n+" + names.title + "\r\n-" + names.artist + "\r\n";
    for (int i = 0; i < 3; i++)
        bytes += std::string("#") + (names.tracks[i] ? names.tracks[i] : "") + "\r\n";
    return bytes + "\r\n";
}

// Bytes of other writers and other discs, which every save keeps as they are.
const std::string kBefore = "; kept\r\n@0c0b8600f5\r\n+other disc\r\n#x\r\n\r\n";
const std::string kAfter = "@0d0b8600f5\r\n+last\r\n\r\n";

class TitleEdits : public ::testing::Test {
  protected:
    std::string folder, index, temp;

    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::filesystem::path place = std::filesystem::temp_directory_path() / "drovix-tests" /
                                      (std::string(test->test_suite_name()) + "." + test->name());
        std::filesystem::remove_all(place);
        std::filesystem::create_directories(place);
        folder = place.string();
        index = folder + "/drovix.idx";
        temp = folder + "/drovix.tmp";
        fileLayer = stdioFileLayer;
    }

    void TearDown() override {
        fileLayer = stdioFileLayer;
        std::filesystem::remove_all(folder);
    }
};

// What the dialog was filled with, what the file holds when OK is pressed
// (another writer's save in between, or none), what the user left in the
// dialog, and what the save stores.
struct EditCase {
    const char* what;
    Names filled;
    const char* inFile; // the disc's record in the file, "" for none
    Names typed;
    Names stored;
};

const Names kDefaults = {"Title", "Artist", {"Track  1", "Track  2", "Track  3"}};
const Names kAutumn = {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}};

const EditCase kEditCases[] = {
    {"named meanwhile; one track typed: the other names stay the writer's",
     kDefaults,
     "@030b8600f5\r\n+秋のアルバム\r\n-テスト楽団\r\n#一曲目\r\n#二曲目\r\n#三曲目\r\n\r\n",
     {"Title", "Artist", {"Track  1", "2nd", "Track  3"}},
     {"秋のアルバム", "テスト楽団", {"一曲目", "2nd", "三曲目"}}},
    {"one more track named meanwhile; the title typed",
     {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}},
     "@030b8600f5\r\n+秋のアルバム\r\n-テスト楽団\r\n#一曲目\r\n#二曲目\r\n#三曲目\r\n\r\n",
     {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}},
     {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}}},
    {"both changed the title: what the user typed is stored",
     kAutumn,
     "@030b8600f5\r\n+春\r\n-テスト楽団\r\n#一曲目\r\n#二曲目\r\n#三曲目\r\n\r\n",
     {"夏", "テスト楽団", {"一曲目", "二曲目", "三曲目"}},
     {"夏", "テスト楽団", {"一曲目", "二曲目", "三曲目"}}},
    {"nothing changed meanwhile: the typed names as they are",
     kAutumn,
     "@030b8600f5\r\n+秋のアルバム\r\n-テスト楽団\r\n#一曲目\r\n#二曲目\r\n#三曲目\r\n\r\n",
     {"秋のアルバム", "", {"一曲目", "二", "三曲目"}},
     {"秋のアルバム", "", {"一曲目", "二", "三曲目"}}},
    {"a name typed back to what was filled takes the file's",
     kAutumn,
     "@030b8600f5\r\n+秋のアルバム\r\n-新楽団\r\n#一曲目\r\n#二曲目\r\n#三曲目\r\n\r\n",
     kAutumn,
     {"秋のアルバム", "新楽団", {"一曲目", "二曲目", "三曲目"}}},
    {"record gone meanwhile: what was not typed is the file's, the defaults",
     kAutumn,
     "",
     {"秋のアルバム", "テスト楽団", {"一", "二曲目", "三曲目"}},
     {"Title", "Artist", {"一", "Track  2", "Track  3"}}},
    {"a record with fewer tracks and its tags in another order",
     kDefaults,
     "@030b8600f5\r\n#一曲目\r\n-テスト楽団\r\n+秋のアルバム\r\n\r\n",
     {"Title", "楽団", {"Track  1", "Track  2", "Track  3"}},
     {"秋のアルバム", "楽団", {"一曲目", "Track  2", "Track  3"}}},
};

// The other writer's record stands between other records; the save puts the
// merged record in its place and keeps every other byte.
TEST_F(TitleEdits, EditsGoOverTheRecordTheFileHoldsNow) {
    for (const EditCase& edit : kEditCases) {
        ASSERT_TRUE(writeBytes(index, kBefore + edit.inFile + kAfter));
        TitleRecord filled, titles;
        fill(&filled, edit.filled);
        fill(&titles, edit.typed);
        EXPECT_EQ(kSaveDone, saveTitleEdits(index.c_str(), temp.c_str(), kDisc, 3, &filled, &titles)) << edit.what;
        std::string stored = recordBytes(edit.stored);
        std::string expected = edit.inFile[0] ? kBefore + stored + kAfter : kBefore + kAfter + "\r\n" + stored;
        EXPECT_EQ(expected, readBytes(index)) << edit.what;
        EXPECT_STREQ(edit.stored.title, titles.title) << edit.what << ": titles hold what was stored";
        EXPECT_STREQ(edit.stored.artist, titles.artist) << edit.what;
        for (int i = 0; i < 3; i++)
            EXPECT_STREQ(edit.stored.tracks[i], titles.tracks[i]) << edit.what;
        EXPECT_FALSE(std::filesystem::exists(temp)) << edit.what;
    }
}

// A refused save leaves the typed names in titles: the dialog keeps them.
TEST_F(TitleEdits, RefusedSaveKeepsWhatWasTyped) {
    ASSERT_TRUE(writeBytes(index, std::string("memo\r\n")));
    TitleRecord filled, titles;
    fill(&filled, kDefaults);
    fill(&titles, kAutumn);
    EXPECT_EQ(kSaveNotAnIndex, saveTitleEdits(index.c_str(), temp.c_str(), kDisc, 3, &filled, &titles));
    EXPECT_STREQ("秋のアルバム", titles.title);
    EXPECT_EQ("memo\r\n", readBytes(index));
}

// ---- The save's own files ----------------------------------------------------

struct SaveFileCase {
    const char* name;
    int32_t isSaveFile;
};

const SaveFileCase kSaveFileCases[] = {
    {"drovix.lck", 1}, {"DROVIX.LCK", 1}, {"drovix.tmp", 1},    {"Drovix.Tmp", 1},
    {"drovix.idx", 0}, {"xdrovix.lck", 0}, {"drovix.lck.idx", 0}, {"drovix.lc", 0},
};

// An index named as the lock would be opened as the lock and removed with
// it; one named as the temporary file written through itself. Neither is
// touched, and a load still reads it.
TEST_F(TitleEdits, IndexNamedAsTheSaveFilesIsNeverTouched) {
    const std::string bytes = kBefore + recordBytes(kAutumn);
    for (const SaveFileCase& named : kSaveFileCases) {
        std::string path = folder + "/" + named.name;
        EXPECT_EQ(named.isSaveFile, isSaveFile(path.c_str(), temp.c_str())) << named.name;
        if (!named.isSaveFile)
            continue;
        ASSERT_TRUE(writeBytes(path, bytes));
        TitleRecord titles;
        fill(&titles, kDefaults);
        EXPECT_EQ(kSaveIndexIsSaveFile, rewriteTitleIndex(path.c_str(), temp.c_str(), kDisc, 3, &titles)) << named.name;
        EXPECT_EQ(kSaveIndexIsSaveFile, saveTitleEdits(path.c_str(), temp.c_str(), kDisc, 3, &titles, &titles))
            << named.name;
        EXPECT_EQ(kSaveIndexIsSaveFile, createEmptyIndex(path.c_str(), temp.c_str())) << named.name;
        EXPECT_EQ(bytes, readBytes(path)) << named.name;
        EXPECT_EQ(1, loadTitleRecord(path.c_str(), kDisc, 3, &titles)) << named.name;
        EXPECT_STREQ("秋のアルバム", titles.title) << named.name;
        std::filesystem::remove(path);
        EXPECT_EQ(kSaveIndexIsSaveFile, createEmptyIndex(path.c_str(), temp.c_str())) << named.name;
        EXPECT_FALSE(std::filesystem::exists(path)) << named.name;
    }
}

struct LockCase {
    const char* index;
    const char* lock;
};

const LockCase kLockCases[] = {
    {"C:\\Drovix\\drovix.idx", "C:\\Drovix\\drovix.lck"},
    {"C:\\表示\\titles.idx", "C:\\表示\\drovix.lck"}, // "示" ends in 0x5C
    {"\\\\pc\\share\\a.idx", "\\\\pc\\share\\drovix.lck"},
    {"/tmp/x/drovix.idx", "/tmp/x/drovix.lck"},
    {"C:drovix.idx", "C:drovix.lck"},
    {"drovix.idx", "drovix.lck"},
};

// Every index of a folder shares its lock, as it shares "drovix.tmp".
TEST(SaveLock, LiesInTheIndexFolder) {
    for (const LockCase& place : kLockCases) {
        char lock[kSaveFilePathSize];
        EXPECT_EQ(1, saveLockBeside(place.index, lock)) << place.index;
        EXPECT_STREQ(place.lock, lock) << place.index;
    }
    std::string tooLong(kSaveFilePathSize, 'a');
    char lock[kSaveFilePathSize];
    EXPECT_EQ(0, saveLockBeside(("C:\\" + tooLong + "\\x.idx").c_str(), lock));
}

// ---- The backup and the lock, as the Windows 95 family --------------------

std::string readerIndex;
int readerRan;
TitleRecord readerSaw;

// MoveFile on the Windows 95 family: no replace in one step, and a rename
// onto an existing file is refused.
int renameNoReplace(const char* from, const char* to) {
    if (stdioFileLayer.exists(to))
        return 0;
    return stdioFileLayer.rename(from, to);
}

// Another program reads the index just as the save's index has stepped
// aside under its backup name.
int renameThenRead(const char* from, const char* to) {
    int renamed = renameNoReplace(from, to);
    if (!readerRan && std::string(to).size() > 4 && std::string(to).substr(std::string(to).size() - 4) == ".bak") {
        readerRan = 1;
        loadTitleRecord(readerIndex.c_str(), kDisc, 3, &readerSaw);
    }
    return renamed;
}

// The reader finds the index missing and the backup alone, and waits for
// the save's lock instead of putting the backup back between the save's
// renames: the save completes and the backup is gone.
TEST_F(TitleEdits, BackupIsNotPutBackWhileASaveHoldsTheLock) {
    readerIndex = index;
    readerRan = 0;
    ASSERT_TRUE(writeBytes(index, kBefore + recordBytes(kAutumn)));
    fileLayer.replace = [](const char*, const char*) { return kReplaceUnsupported; };
    fileLayer.rename = renameThenRead;
    TitleRecord titles;
    fill(&titles, {"冬", "楽団", {"a", "b", "c"}});
    EXPECT_EQ(kSaveDone, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles));
    EXPECT_EQ(1, readerRan);
    fileLayer = stdioFileLayer;
    EXPECT_EQ(kBefore + recordBytes({"冬", "楽団", {"a", "b", "c"}}), readBytes(index));
    EXPECT_FALSE(std::filesystem::exists(index + ".bak"));
    EXPECT_FALSE(std::filesystem::exists(temp));
    loadTitleRecord(index.c_str(), kDisc, 3, &titles);
    EXPECT_STREQ("冬", titles.title);
}

// A backup left by a save cut off is put back, under the lock, by the next
// load; one beside an index that exists is a save's and stays.
TEST_F(TitleEdits, LoneBackupComesBackUnderTheLock) {
    const std::string records = kBefore + recordBytes(kAutumn);
    ASSERT_TRUE(writeBytes(index + ".bak", records));
    TitleRecord titles;
    EXPECT_EQ(1, loadTitleRecord(index.c_str(), kDisc, 3, &titles));
    EXPECT_STREQ("秋のアルバム", titles.title);
    EXPECT_EQ(records, readBytes(index));
    EXPECT_FALSE(std::filesystem::exists(index + ".bak"));
}

// ---- The stamp -------------------------------------------------------------

TEST_F(TitleEdits, StampChangesWithEverySaveAndOnlyThen) {
    const std::string seed = folder + "/seed.idx";
    EXPECT_EQ(0, titleIndexStamp(index.c_str(), seed.c_str()).which);
    ASSERT_TRUE(writeBytes(seed, recordBytes(kAutumn)));
    IndexStamp seen = titleIndexStamp(index.c_str(), seed.c_str());
    EXPECT_EQ(2, seen.which);
    EXPECT_EQ(recordBytes(kAutumn).size(), seen.size);
    EXPECT_EQ(1, sameIndexStamp(seen, titleIndexStamp(index.c_str(), seed.c_str())));
    TitleRecord titles;
    // One save after another, each of the same size.
    for (const char* title : {"春", "夏", "秋"}) {
        fill(&titles, {title, "楽団", {"a", "b", "c"}});
        ASSERT_EQ(kSaveDone, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles, seed.c_str()));
        IndexStamp now = titleIndexStamp(index.c_str(), seed.c_str());
        EXPECT_EQ(1, now.which) << title;
        EXPECT_EQ(0, sameIndexStamp(seen, now)) << title;
        EXPECT_EQ(1, sameIndexStamp(now, titleIndexStamp(index.c_str(), seed.c_str()))) << title;
        seen = now;
    }
    EXPECT_EQ(0, titleIndexStamp(folder.c_str(), 0).which) << "a folder is no index";
}

} // namespace
