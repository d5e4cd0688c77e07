// The title index with several writers: a dialog's edits laid over what
// another writer stored meanwhile, a save refused where the record cannot
// be read, and the save's own files never taken for the index. Real files,
// exact bytes.
#include <string.h>

#include "TitleRecords.h"

namespace {

class TitleEdits : public TitleFiles {};

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

// ---- A failed read under the lock ------------------------------------------

// The save's opens of the index, counted from its first (the disc's record
// read for the merge; then the copy): the one given fails to open, or its
// first read fails.
int opensSoFar, failOpenAt, failReadOfOpen;
FileHandle failingOpenFile;

FileHandle openFailing(const char* path) {
    if (++opensSoFar == failOpenAt)
        return 0;
    FileHandle file = stdioFileLayer.openRead(path);
    if (opensSoFar == failReadOfOpen)
        failingOpenFile = file;
    return file;
}

long readFailing(FileHandle file, char* buffer, size_t size) {
    if (file == failingOpenFile)
        return -1;
    return stdioFileLayer.read(file, buffer, size);
}

struct ReadFault {
    const char* what;
    int openFails;
    int readFails;
    SaveResult result;
};

const ReadFault kReadFaults[] = {
    {"the record's read cannot open the file", 1, 0, kSaveIndexUnreadable},
    {"the record's read fails on the way", 0, 1, kSaveIndexUnreadable},
    {"the copy cannot open the file", 2, 0, kSaveIndexUnreadable},
    {"the copy's read fails on the way", 0, 2, kSaveIndexUnreadable},
    {"no fault: the merged record is stored", 0, 0, kSaveDone},
};

// Without the file's record the fields the user left would take defaults
// over another writer's names: the save is refused and the file stays.
TEST_F(TitleEdits, AFailedReadOfTheRecordRefusesTheSave) {
    const std::string inFile = kBefore + recordBytes(kAutumn) + kAfter;
    for (const ReadFault& fault : kReadFaults) {
        ASSERT_TRUE(writeBytes(index, inFile));
        opensSoFar = 0;
        failOpenAt = fault.openFails;
        failReadOfOpen = fault.readFails;
        failingOpenFile = 0;
        fileLayer.openRead = openFailing;
        fileLayer.read = readFailing;
        TitleRecord filled, titles;
        fill(&filled, kDefaults);
        fill(&titles, {"Title", "Artist", {"Track  1", "2nd", "Track  3"}});
        EXPECT_EQ(fault.result, saveTitleEdits(index.c_str(), temp.c_str(), kDisc, 3, &filled, &titles)) << fault.what;
        fileLayer = stdioFileLayer;
        if (fault.result == kSaveDone) {
            EXPECT_EQ(kBefore + recordBytes({"秋のアルバム", "テスト楽団", {"一曲目", "2nd", "三曲目"}}) + kAfter,
                      readBytes(index))
                << fault.what;
        } else {
            EXPECT_EQ(inFile, readBytes(index)) << fault.what;
            EXPECT_STREQ("Title", titles.title) << fault.what << ": titles keep what was typed";
            EXPECT_STREQ("2nd", titles.tracks[1]) << fault.what;
        }
        EXPECT_FALSE(std::filesystem::exists(temp)) << fault.what;
    }
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

} // namespace
