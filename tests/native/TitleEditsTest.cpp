// The title index with several writers: a dialog's edits laid over what
// another writer stored meanwhile, a save refused where the record cannot
// be read, and the save's own files never taken for the index. Real files,
// exact bytes.
#include <string.h>

#include "TitleRecords.h"

namespace {

class TitleEdits : public TitleFiles {};

const std::string kAutumnRecord = recordBytes(kAutumn);
const Names kTrack2Typed = {"Title", "Artist", {"Track  1", "2nd", "Track  3"}};

// What the dialog was filled with, the disc's record the file holds when OK
// is pressed (another writer's save in between, or none; "": no record),
// what the user left in the dialog, and what the save stores in the
// record's place, every other byte kept.
TEST_F(TitleEdits, EditsGoOverTheRecordTheFileHoldsNow) {
    const struct {
        const char* what;
        Names filled;
        std::string inFile;
        Names typed, stored;
    } rows[] = {
        {"named meanwhile; one track typed: the other names stay the writer's",
         kDefaults,
         kAutumnRecord,
         kTrack2Typed,
         {"秋のアルバム", "テスト楽団", {"一曲目", "2nd", "三曲目"}}},
        {"one more track named meanwhile; the title typed",
         {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}},
         kAutumnRecord,
         {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}},
         {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}}},
        {"both changed the title: what the user typed is stored",
         kAutumn,
         recordBytes({"春", "テスト楽団", {"一曲目", "二曲目", "三曲目"}}),
         {"夏", "テスト楽団", {"一曲目", "二曲目", "三曲目"}},
         {"夏", "テスト楽団", {"一曲目", "二曲目", "三曲目"}}},
        {"nothing changed meanwhile: the typed names as they are",
         kAutumn,
         kAutumnRecord,
         {"秋のアルバム", "", {"一曲目", "二", "三曲目"}},
         {"秋のアルバム", "", {"一曲目", "二", "三曲目"}}},
        {"a name typed back to what was filled takes the file's",
         kAutumn,
         recordBytes({"秋のアルバム", "新楽団", {"一曲目", "二曲目", "三曲目"}}),
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
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(writeBytes(index, kBefore + row.inFile + kAfter));
        TitleRecord filled, titles;
        fill(&filled, row.filled);
        fill(&titles, row.typed);
        EXPECT_EQ(kSaveDone, saveTitleEdits(index.c_str(), temp.c_str(), kDisc, 3, &filled, &titles));
        std::string stored = recordBytes(row.stored);
        EXPECT_EQ(row.inFile.empty() ? kBefore + kAfter + "\r\n" + stored : kBefore + stored + kAfter,
                  readBytes(index));
        EXPECT_EQ(stored,
                  recordBytes({titles.title, titles.artist, {titles.tracks[0], titles.tracks[1], titles.tracks[2]}}))
            << "titles hold what was stored";
        EXPECT_FALSE(std::filesystem::exists(temp));
    }
}

// ---- A refused save ----------------------------------------------------------

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
    return file == failingOpenFile ? -1 : stdioFileLayer.read(file, buffer, size);
}

// Without the file's record the fields the user left would take defaults
// over another writer's names: a failed read refuses the save. A refused
// save leaves the file as it was and the typed names in titles, which the
// dialog keeps.
TEST_F(TitleEdits, AFailedReadOfTheRecordRefusesTheSave) {
    const std::string named = kBefore + kAutumnRecord + kAfter;
    const struct {
        const char* what;
        std::string inFile;
        int openFails, readFails;
        SaveResult result;
    } rows[] = {
        {"the record's read cannot open the file", named, 1, 0, kSaveIndexUnreadable},
        {"the record's read fails on the way", named, 0, 1, kSaveIndexUnreadable},
        {"the copy cannot open the file", named, 2, 0, kSaveIndexUnreadable},
        {"the copy's read fails on the way", named, 0, 2, kSaveIndexUnreadable},
        {"no title index", "memo\r\n", 0, 0, kSaveNotAnIndex},
        {"no fault: the merged record is stored", named, 0, 0, kSaveDone},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(writeBytes(index, row.inFile));
        opensSoFar = 0, failOpenAt = row.openFails, failReadOfOpen = row.readFails, failingOpenFile = 0;
        fileLayer.openRead = openFailing;
        fileLayer.read = readFailing;
        TitleRecord filled, titles;
        fill(&filled, kDefaults);
        fill(&titles, kTrack2Typed);
        EXPECT_EQ(row.result, saveTitleEdits(index.c_str(), temp.c_str(), kDisc, 3, &filled, &titles));
        fileLayer = stdioFileLayer;
        if (row.result == kSaveDone) {
            EXPECT_EQ(kBefore + recordBytes({"秋のアルバム", "テスト楽団", {"一曲目", "2nd", "三曲目"}}) + kAfter,
                      readBytes(index));
        } else {
            EXPECT_EQ(row.inFile, readBytes(index));
            EXPECT_STREQ("Title", titles.title) << "titles keep what was typed";
            EXPECT_STREQ("2nd", titles.tracks[1]);
        }
        EXPECT_FALSE(std::filesystem::exists(temp));
    }
}

// ---- The save's own files ----------------------------------------------------

// An index named as the lock would be opened as the lock and removed with
// it; one named as the temporary file written through itself. The title
// index's own saves (vdrivectl titles, a dialog's, the settings tool's
// empty index) touch neither, and a load still reads it.
TEST_F(TitleEdits, IndexNamedAsTheSaveFilesIsNeverTouched) {
    const struct {
        const char* name;
        int32_t isSaveFile;
    } rows[] = {
        {"drovix.lck", 1}, {"DROVIX.LCK", 1},  {"drovix.tmp", 1},     {"Drovix.Tmp", 1},
        {"drovix.idx", 0}, {"xdrovix.lck", 0}, {"drovix.lck.idx", 0}, {"drovix.lc", 0},
    };
    const std::string bytes = kBefore + kAutumnRecord;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = folder + "/" + row.name;
        EXPECT_EQ(row.isSaveFile, isSaveFile(path.c_str(), temp.c_str()));
        if (!row.isSaveFile)
            continue;
        ASSERT_TRUE(writeBytes(path, bytes));
        TitleRecord titles;
        fill(&titles, kDefaults);
        EXPECT_EQ(kSaveIndexIsSaveFile, rewriteTitleIndex(path.c_str(), temp.c_str(), kDisc, 3, &titles));
        EXPECT_EQ(kSaveIndexIsSaveFile, saveTitleEdits(path.c_str(), temp.c_str(), kDisc, 3, &titles, &titles));
        EXPECT_EQ(kSaveIndexIsSaveFile, createEmptyIndex(path.c_str(), temp.c_str()));
        EXPECT_EQ(bytes, readBytes(path));
        EXPECT_EQ(1, loadTitleRecord(path.c_str(), kDisc, 3, &titles));
        EXPECT_STREQ("秋のアルバム", titles.title);
        std::filesystem::remove(path);
        EXPECT_EQ(kSaveIndexIsSaveFile, createEmptyIndex(path.c_str(), temp.c_str()));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

// Every index of a folder shares its lock, as it shares "drovix.tmp".
TEST(SaveLock, LiesInTheIndexFolder) {
    const struct {
        const char* index;
        const char* lock;
    } rows[] = {
        {"C:\\Drovix\\drovix.idx", "C:\\Drovix\\drovix.lck"},
        {"C:\\表示\\titles.idx", "C:\\表示\\drovix.lck"}, // "示" ends in 0x5C
        {"\\\\pc\\share\\a.idx", "\\\\pc\\share\\drovix.lck"},
        {"/tmp/x/drovix.idx", "/tmp/x/drovix.lck"},
        {"C:drovix.idx", "C:drovix.lck"},
        {"drovix.idx", "drovix.lck"},
    };
    char lock[kSaveFilePathSize];
    for (const auto& row : rows) {
        EXPECT_EQ(1, saveLockBeside(row.index, lock)) << row.index;
        EXPECT_STREQ(row.lock, lock) << row.index;
    }
    EXPECT_EQ(0, saveLockBeside(("C:\\" + std::string(kSaveFilePathSize, 'a') + "\\x.idx").c_str(), lock));
}

} // namespace
