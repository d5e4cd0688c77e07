// The title index on real files: the exact bytes on disk after each save,
// what a load finds, and a save that fails anywhere leaving the index as it
// was.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

#include "FileBytes.h"
#include "FileLayer.h"
#include "TitleIndex.h"

namespace {

const char kDisc[] = "@030b8600f5"; // the disc of these tests: three tracks
const char kOther[] = "@0c0b8600f5";

void writeIndexFile(const std::string& path, const std::string& bytes) { ASSERT_TRUE(writeBytes(path, bytes)); }

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

class TitleIndex : public ::testing::Test {
  protected:
    std::string folder;
    std::string index;
    std::string temp;
    TitleRecord titles;

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
        memset(&titles, 0, sizeof titles);
    }

    void TearDown() override {
        fileLayer = stdioFileLayer;
        std::filesystem::remove_all(folder);
    }

    int load(const char* id, int32_t tracks = 3) { return loadTitleRecord(index.c_str(), id, tracks, &titles); }

    SaveResult save(const char* id, int32_t tracks = 3) {
        return rewriteTitleIndex(index.c_str(), temp.c_str(), id, tracks, &titles);
    }

    // Types the record that kNewRecord stands for and saves it for kDisc.
    SaveResult saveNewRecord() {
        typed("T", "A", {"a", "b", "c"});
        return save(kDisc);
    }

    void typed(const char* title, const char* artist, std::initializer_list<const char*> names) {
        snprintf(titles.title, kTitleSlot, "%s", title);
        snprintf(titles.artist, kTitleSlot, "%s", artist);
        int i = 0;
        for (const char* name : names)
            snprintf(titles.tracks[i++], kTitleSlot, "%s", name);
    }
};

// The record of kDisc as the saves of these tests write it.
const std::string kNewRecord = "@030b8600f5\r\n+T\r\n-A\r\n#a\r\n#b\r\n#c\r\n\r\n";

// Two writers, each saving a disc of its own into one index.
const char* const kWriterDiscs[2] = {kDisc, kOther};
const char* const kWriterTitles[2] = {"first", "second"};

// 0 when the writer's save stored its record.
int saveAsWriter(const char* index, const char* temp, int which) {
    static TitleRecord record;
    setDefaultTitles(&record);
    snprintf(record.title, kTitleSlot, "%s", kWriterTitles[which]);
    return rewriteTitleIndex(index, temp, kWriterDiscs[which], which ? 12 : 3, &record) == kSaveDone ? 0 : 1;
}

#ifdef _WIN32
const int kWriterRounds = 10;
const char kWriterGo[] = "DrovixTitleIndexWritersGo";

// This program started again as a writer (DROVIX_WRITER="which|index|temp")
// waits for the go, saves and ends, before any test runs.
int runAsWriterWhenAsked() {
    char job[1024];
    if (!GetEnvironmentVariableA("DROVIX_WRITER", job, sizeof job))
        return 0;
    char* index = strchr(job, '|');
    char* temp = index ? strchr(index + 1, '|') : 0;
    if (!temp)
        ExitProcess(2);
    *index++ = 0;
    *temp++ = 0;
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, kWriterGo);
    if (!go || WaitForSingleObject(go, 30000) != WAIT_OBJECT_0)
        ExitProcess(3);
    ExitProcess(saveAsWriter(index, temp, atoi(job)));
}
const int asWriter = runAsWriterWhenAsked();

struct Writers {
    HANDLE go = CreateEventA(0, TRUE, FALSE, kWriterGo);
    HANDLE processes[2] = {};

    bool start(const std::string& index, const std::string& temp, int which) {
        char program[MAX_PATH];
        GetModuleFileNameA(0, program, MAX_PATH);
        std::string line = "\"" + std::string(program) + "\" --gtest_list_tests";
        std::string job = std::to_string(which) + "|" + index + "|" + temp;
        SetEnvironmentVariableA("DROVIX_WRITER", job.c_str());
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        BOOL started = CreateProcessA(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process);
        SetEnvironmentVariableA("DROVIX_WRITER", 0);
        if (!started)
            return false;
        CloseHandle(process.hThread);
        processes[which] = process.hProcess;
        return true;
    }
    void release() { SetEvent(go); }
    int result(int which) {
        DWORD code = 99;
        if (WaitForSingleObject(processes[which], 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(processes[which], &code);
        return (int)code;
    }
    ~Writers() {
        for (HANDLE process : processes)
            if (process)
                CloseHandle(process);
        CloseHandle(go);
    }
};
#else
const int kWriterRounds = 30;

struct Writers {
    int ready[2] = {-1, -1};
    pid_t processes[2] = {};

    bool start(const std::string& index, const std::string& temp, int which) {
        if (ready[0] < 0 && pipe(ready) != 0)
            return false;
        processes[which] = fork();
        if (processes[which] == 0) {
            char go;
            close(ready[1]);
            _exit(read(ready[0], &go, 1) < 0 ? 2 : saveAsWriter(index.c_str(), temp.c_str(), which));
        }
        return processes[which] > 0;
    }
    // Both read the end of the pipe as it closes.
    void release() {
        close(ready[0]);
        close(ready[1]);
    }
    int result(int which) {
        int status = -1;
        waitpid(processes[which], &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
    }
};
#endif

TEST(DiscId, FormatsCountTotalAndFirstTrack) {
    char id[kDiscIdSize];
    formatDiscId(id, 12, 2950, 245);
    EXPECT_STREQ("@0c0b8600f5", id);
    formatDiscId(id, 1, 0, 0);
    EXPECT_STREQ("@0100000000", id);
}

TEST(DiscId, NonsenseFromTheDriveStaysInTheBuffer) {
    struct Case {
        int32_t count, total, first;
        const char* expected;
    };
    const Case cases[] = {
        {300, 0x10000, 0x12345, "@12c1000012345"},
        {-1, -1, -1, "@ffffffffffffff"},
        {0x7FFFFFFF, 0, 0, "@7fffffff000000"},
        {255, 0xFFFF, 0xFFFF, "@ffffffffff"},
    };
    for (const Case& c : cases) {
        char id[kDiscIdSize + 8];
        memset(id, 'X', sizeof id);
        formatDiscId(id, c.count, c.total, c.first);
        EXPECT_STREQ(c.expected, id);
        EXPECT_EQ('X', id[kDiscIdSize]) << "wrote past the 16-byte buffer";
    }
}

TEST_F(TitleIndex, NoFileGivesDefaultsAndFirstSaveOpensWithABlankLine) {
    EXPECT_EQ(0, load(kDisc));
    EXPECT_STREQ("Title", titles.title);
    EXPECT_STREQ("Artist", titles.artist);
    EXPECT_STREQ("Track  1", titles.tracks[0]);
    EXPECT_STREQ("Track 10", titles.tracks[9]);
    EXPECT_STREQ("Track 99", titles.tracks[98]);

    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ("\r\n" + kNewRecord, readBytes(index));
    EXPECT_FALSE(fileExists(temp));

    memset(&titles, 0, sizeof titles);
    EXPECT_EQ(1, load(kDisc));
    EXPECT_STREQ("T", titles.title);
    EXPECT_STREQ("c", titles.tracks[2]);
    EXPECT_STREQ("Track  4", titles.tracks[3]);
}

TEST_F(TitleIndex, EmptyValuesAreWrittenAsBareTags) {
    typed("", "", {"", "b", ""});
    EXPECT_EQ(kSaveDone, save(kDisc));
    EXPECT_EQ("\r\n@030b8600f5\r\n+\r\n-\r\n#\r\n#b\r\n#\r\n\r\n", readBytes(index));
}

TEST_F(TitleIndex, IdentifierMatchesOnlyExactly) {
    const std::string before = "@030B8600F5\r\n+upper\r\n\r\n@030b8600f5 \r\n+blank\r\n\r\n";
    writeIndexFile(index, before);
    EXPECT_EQ(1, load(kDisc));
    EXPECT_STREQ("Title", titles.title);
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ(before + "\r\n" + kNewRecord, readBytes(index));
}

TEST_F(TitleIndex, TrackLinesBeyondTheDiscAreIgnoredAndNotWritten) {
    writeIndexFile(index, "\r\n@030b8600f5\r\n#1\r\n#2\r\n#3\r\n#4\r\n#5\r\n\r\n");
    load(kDisc);
    EXPECT_STREQ("3", titles.tracks[2]);
    EXPECT_STREQ("Track  4", titles.tracks[3]);
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ("\r\n" + kNewRecord, readBytes(index));
}

TEST_F(TitleIndex, FewerTrackLinesKeepDefaultsAndTagsMayStandAnywhere) {
    writeIndexFile(index, "@030b8600f5\r\n-first\r\n#one\r\n+late title\r\n-second\r\n\r\n");
    EXPECT_EQ(1, load(kDisc));
    EXPECT_STREQ("late title", titles.title);
    EXPECT_STREQ("second", titles.artist);
    EXPECT_STREQ("one", titles.tracks[0]);
    EXPECT_STREQ("Track  2", titles.tracks[1]);
    EXPECT_STREQ("Track  3", titles.tracks[2]);
}

TEST_F(TitleIndex, RecordsWithoutBlankLineBetweenThem) {
    const std::string before = "@0c0b8600f5\r\n+other\r\n@030b8600f5\r\n+second\r\n\r\n";
    writeIndexFile(index, before);
    load(kOther, 12);
    EXPECT_STREQ("other", titles.title);
    load(kDisc);
    EXPECT_STREQ("second", titles.title);

    // The save finds the second record where the load does, and replaces it.
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ("@0c0b8600f5\r\n+other\r\n" + kNewRecord, readBytes(index));
    load(kDisc);
    EXPECT_STREQ("T", titles.title);
    load(kOther, 12);
    EXPECT_STREQ("other", titles.title);
}

TEST_F(TitleIndex, TwoRecordsOfOneDiscLoadTheFirstAndSaveReplacesBoth) {
    writeIndexFile(index, "\r\n@030b8600f5\r\n+one\r\n\r\n@0c0b8600f5\r\n+x\r\n\r\n@030b8600f5\r\n+two\r\n\r\n");
    load(kDisc);
    EXPECT_STREQ("one", titles.title);
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ("\r\n" + kNewRecord + "@0c0b8600f5\r\n+x\r\n\r\n" + kNewRecord, readBytes(index));
}

TEST_F(TitleIndex, ValueOf63BytesEndsTheRecordAtItsLineEnd) {
    const std::string value63(63, 'v');
    writeIndexFile(index, "@030b8600f5\r\n+" + value63 + "\r\n-artist\r\n\r\n");
    load(kDisc);
    EXPECT_EQ(value63, titles.title);
    EXPECT_STREQ("Artist", titles.artist);

    // The same with a bare LF, as an editor on another system may leave it.
    writeIndexFile(index, "@030b8600f5\n+" + value63 + "\n-artist\n\n" + std::string(64, 'p'));
    load(kDisc);
    EXPECT_EQ(value63, titles.title);
    EXPECT_STREQ("Artist", titles.artist);
}

TEST_F(TitleIndex, LongerValueIsCutAndItsNextByteReadAsATag) {
    writeIndexFile(index, "@030b8600f5\r\n+" + std::string(63, 'v') + "-tail\r\n\r\n");
    load(kDisc);
    EXPECT_EQ(std::string(63, 'v'), titles.title);
    EXPECT_STREQ("tail", titles.artist);
}

TEST_F(TitleIndex, SaveCopiesLongLinesOfOtherRecordsWhole) {
    // A tag and 62 bytes fill a whole read: its line end comes as a piece of
    // its own, which must not end the record.
    const std::string other =
        "@0c0b8600f5\r\n+" + std::string(62, 'v') + "\r\n#" + std::string(100, 'w') + "\r\n#kept\r\n\r\n";
    writeIndexFile(index, other);
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ(other + "\r\n" + kNewRecord, readBytes(index));
}

TEST_F(TitleIndex, ARecordExistsOnlyUnderItsExactIdentifier) {
    EXPECT_EQ(0, titleRecordExists(index.c_str(), kDisc));
    writeIndexFile(index, "@030B8600F5\r\n+upper\r\n\r\n@0c0b8600f5\r\n\r\n");
    EXPECT_EQ(0, titleRecordExists(index.c_str(), kDisc));
    EXPECT_EQ(1, titleRecordExists(index.c_str(), "@0c0b8600f5"));
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ(1, titleRecordExists(index.c_str(), kDisc));
}

TEST_F(TitleIndex, SaveCutsEachValueToWhatALoadReadsBackWhole) {
    // 63 bytes would end the record on the next load; a double-byte
    // character across byte 62 is left out whole.
    std::string title(63, 't'), artist = std::string(61, 'a') + "\x83\x5C", name(62, 'n');
    typed(title.c_str(), artist.c_str(), {name.c_str(), "b", "c"});
    EXPECT_EQ(kSaveDone, save(kDisc));
    EXPECT_EQ("\r\n@030b8600f5\r\n+" + std::string(62, 't') + "\r\n-" + std::string(61, 'a') + "\r\n#" + name +
                  "\r\n#b\r\n#c\r\n\r\n",
              readBytes(index));
    load(kDisc);
    EXPECT_EQ(std::string(62, 't'), titles.title);
    EXPECT_EQ(std::string(61, 'a'), titles.artist);
    EXPECT_STREQ("c", titles.tracks[2]);
}

TEST_F(TitleIndex, PieceOfALongLineThatBeginsWithTheIdentifierOpensTheRecord) {
    // Lines are read in pieces of 63 bytes: the second piece of this line is
    // the identifier. An "@" at any other place of a line opens nothing.
    writeIndexFile(index, std::string(63, 'x') + "@030b8600f5\r\n+found\r\n\r\n");
    load(kDisc);
    EXPECT_STREQ("found", titles.title);
    writeIndexFile(index, std::string(62, 'x') + "@030b8600f5\r\n+found\r\n\r\n" + std::string(64, 'y'));
    load(kDisc);
    EXPECT_STREQ("Title", titles.title);
    writeIndexFile(index, std::string(126, '\r') + "@030b8600f5\r\n+lone\r\n\r\n" + std::string(64, 'y'));
    load(kDisc);
    EXPECT_STREQ("lone", titles.title);
}

TEST_F(TitleIndex, RecordAtTheEndOfTheFile) {
    const std::string last = "@0c0b8600f5\r\n+other\r\n#x";
    writeIndexFile(index, "@030b8600f5\r\n+mine\r\n#m1\r\n\r\n" + last);
    load(kDisc);
    EXPECT_STREQ("m1", titles.tracks[0]);
    load(kOther, 12);
    EXPECT_STREQ("x", titles.tracks[0]);
    EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ(kNewRecord + last, readBytes(index));
}

TEST_F(TitleIndex, TagAsTheLastByteGivesAnEmptyValue) {
    writeIndexFile(index, "@030b8600f5\r\n#one\r\n+");
    load(kDisc);
    EXPECT_STREQ("", titles.title);
    EXPECT_STREQ("one", titles.tracks[0]);
}

TEST_F(TitleIndex, EndOfTextByteEndsTheFile) {
    writeIndexFile(index, "@030b8600f5\r\n+be\x1a"
                          "fore\r\n\r\n@0c0b8600f5\r\n+after\r\n\r\n");
    load(kDisc);
    EXPECT_STREQ("be", titles.title);
    load(kOther, 12);
    EXPECT_STREQ("Title", titles.title);
}

// A save writes the disc's record and nothing else differs: whatever the
// file holds besides, a load after the save finds the new record.
TEST_F(TitleIndex, SaveKeepsEveryByteItDoesNotReplace) {
    const std::string other = "@0c0b8600f5\r\n+o\r\n\r\n";
    const std::string third = "@0100000000\r\n+p\r\n\r\n";
    const std::string stray = std::string(300, 's') + "\r\n";
    struct Row {
        const char* what;
        std::string before, after;
    };
    const Row rows[] = {
        {"a CR before an identifier line", other + "\r" + third, other + "\r" + third + "\r\n" + kNewRecord},
        {"a 0x1A inside a record",
         other +
             "+x\x1a"
             "y\r\n\r\n" +
             third,
         other + "+x\r\n\r\n" + kNewRecord +
             "\x1a"
             "y\r\n\r\n" +
             third},
        {"the disc's record before a 0x1A",
         kDisc + std::string("\r\n+old\r\n\r\n\x1a\xff\xfe"
                             "after"),
         kNewRecord + "\x1a\xff\xfe"
                      "after"},
        {"stray bytes between records", other + stray + third + "@030b8600f5\r\n+old\r\n#1\r\n\r\n" + stray,
         other + stray + third + kNewRecord + stray},
        {"blank lines first", " \t\r\n\r\n" + other, " \t\r\n\r\n" + other + "\r\n" + kNewRecord},
        {"a comment first", "; my CDs\r\n" + other, "; my CDs\r\n" + other + "\r\n" + kNewRecord},
        {"only blanks", " \r\n", " \r\n\r\n" + kNewRecord},
        {"a memo line with an identifier line", "Shopping list\r\n@ the shop\r\n",
         "Shopping list\r\n@ the shop\r\n\r\n" + kNewRecord},
        {"a line of no tag ends the replaced record", "@030b8600f5\r\n+old\r\nnote\r\n#x\r\n\r\n" + other,
         kNewRecord + "note\r\n#x\r\n\r\n" + other},
        {"a last line without its line end", other + "#x", other + "#x\r\n\r\n" + kNewRecord},
        {"an identifier in the second piece of a long line",
         other + std::string(63, 'x') + "@030b8600f5\r\n+old\r\n\r\n",
         other + std::string(63, 'x') + "\r\n" + kNewRecord},
    };
    for (const Row& row : rows) {
        writeIndexFile(index, row.before);
        EXPECT_EQ(kSaveDone, saveNewRecord()) << row.what;
        EXPECT_EQ(row.after, readBytes(index)) << row.what;
        memset(&titles, 0, sizeof titles);
        load(kDisc);
        EXPECT_STREQ("T", titles.title) << row.what;
        EXPECT_STREQ("c", titles.tracks[2]) << row.what;
    }
}

// A file chosen as the index by mistake is never rewritten, nor one that
// its owner made read-only.
TEST_F(TitleIndex, SaveRefusesAFileThatIsNotAnIndexAndAReadOnlyOne) {
    std::string garbage;
    for (int i = 0; i < 4096; i++)
        garbage += (char)(i * 7 % 256);
    struct Row {
        const char* what;
        std::string before;
        IndexVerdict verdict;
        int32_t line;
    };
    const Row rows[] = {
        {"a memo", "Shopping list\r\nmilk\r\n", kIndexNoRecordLine, 1},
        {"a memo after blank lines", "\r\n\r\nmemo\r\n", kIndexNoRecordLine, 3},
        {"a NUL in a record", "@0c0b8600f5\r\n+a" + std::string(1, '\0') + "b\r\n\r\n", kIndexHasNul, 2},
        {"a NUL after a 0x1A", "@0c0b8600f5\r\n\r\n\x1a" + std::string(1, '\0'), kIndexHasNul, 3},
        // The text ends at the 0x1A: it held no record, whatever follows.
        {"a memo, a 0x1A, a NUL", "memo\r\n\x1a" + std::string(1, '\0'), kIndexNoRecordLine, 1},
        {"4 KB of garbage", garbage, kIndexHasNul, 1},
        {"Notepad's UTF-8", "\xEF\xBB\xBF@0c0b8600f5\r\n+a\r\n\r\n", kIndexUtf8Mark, 0},
        {"Notepad's Unicode", std::string("\xFF\xFE@\0\r\0\n\0", 8), kIndexUtf16Mark, 0},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0@\0\r\0\n", 8), kIndexUtf16Mark, 0},
    };
    for (const Row& row : rows) {
        writeIndexFile(index, row.before);
        typed("T", "A", {"a", "b", "c"});
        IndexCheck found = {};
        EXPECT_EQ(kSaveNotAnIndex, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles, 0, &found))
            << row.what;
        EXPECT_EQ(row.verdict, found.verdict) << row.what;
        EXPECT_EQ(row.line, found.line) << row.what;
        IndexCheck checked = checkTitleIndex(index.c_str());
        EXPECT_EQ(row.verdict, checked.verdict) << row.what;
        EXPECT_EQ(row.line, checked.line) << row.what;
        EXPECT_EQ(row.before, readBytes(index)) << row.what;
        EXPECT_FALSE(fileExists(temp)) << row.what;
    }
    writeIndexFile(index, kNewRecord);
    std::filesystem::permissions(index, std::filesystem::perms::owner_read);
    typed("U", "A", {"a", "b", "c"});
    EXPECT_EQ(kSaveIndexReadOnly, save(kDisc));
    EXPECT_EQ(kNewRecord, readBytes(index));
    EXPECT_FALSE(fileExists(temp));
    std::filesystem::permissions(index, std::filesystem::perms::owner_all);
}

// A save cut off between its renames on the Windows 95 family leaves the
// records under the backup name alone: they are read and kept.
TEST_F(TitleIndex, LoneBackupIsTheIndexAgain) {
    const std::string backup = index + ".bak";
    const std::string records = "@0c0b8600f5\r\n+kept\r\n\r\n";
    writeIndexFile(backup, records);
    load(kOther, 12);
    EXPECT_STREQ("kept", titles.title);
    EXPECT_FALSE(fileExists(backup));
    std::filesystem::rename(index, backup);
    fileLayer.replace = [](const char*, const char*) { return kReplaceUnsupported; };
    for (int save = 0; save < 2; save++)
        EXPECT_EQ(kSaveDone, saveNewRecord());
    EXPECT_EQ(records + "\r\n" + kNewRecord, readBytes(index));
    EXPECT_FALSE(fileExists(backup));
}

// An index that does not exist yet starts from its seed, which stays as it
// was; from the first save on, the index is read.
TEST_F(TitleIndex, NewIndexStartsFromItsSeed) {
    const std::string seed = folder + "/seed.idx";
    const std::string records = "@0c0b8600f5\r\n+seeded\r\n\r\n";
    writeIndexFile(seed, records);
    EXPECT_EQ(1, loadTitleRecord(index.c_str(), kOther, 12, &titles, seed.c_str()));
    EXPECT_STREQ("seeded", titles.title);
    typed("T", "A", {"a", "b", "c"});
    EXPECT_EQ(kSaveDone, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles, seed.c_str()));
    EXPECT_EQ(records + "\r\n" + kNewRecord, readBytes(index));
    EXPECT_EQ(records, readBytes(seed));
    writeIndexFile(seed, "@030b8600f5\r\n+stale\r\n\r\n");
    loadTitleRecord(index.c_str(), kDisc, 3, &titles, seed.c_str());
    EXPECT_STREQ("T", titles.title);
}

// A seed that cannot be read or is no index never blocks the user's own
// index: it starts empty, the save says so, and the seed stays as it was.
TEST_F(TitleIndex, SeedThatIsNoIndexIsPassedOver) {
    const std::string seed = folder + "/seed.idx";
    for (const std::string& bytes : {std::string("memo\r\n"), std::string("@0c0b8600f5\r\n+a\0\r\n", 17)}) {
        writeIndexFile(seed, bytes);
        std::filesystem::remove(index);
        EXPECT_EQ(0, loadTitleRecord(index.c_str(), kOther, 12, &titles, seed.c_str()));
        EXPECT_STREQ("Title", titles.title);
        typed("T", "A", {"a", "b", "c"});
        EXPECT_EQ(kSaveDoneSeedSkipped, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles, seed.c_str()));
        EXPECT_EQ("\r\n" + kNewRecord, readBytes(index));
        EXPECT_EQ(bytes, readBytes(seed));
        EXPECT_EQ(kSaveDone, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles, seed.c_str()));
    }
}

// Two programs save at the same moment, each its own disc, many times over:
// the lock keeps their temporary files apart, and the second reads what the
// first wrote, so both records are there, whole, every time. Each writer is
// a process of its own, released together; the index is large enough that
// each save takes a while.
TEST_F(TitleIndex, TwoSavesAtOnceBothKeepTheirRecords) {
    std::string others;
    for (int i = 0; i < 20000; i++)
        others += "@01" + std::to_string(10000000 + i) + "\r\n+other\r\n#one\r\n\r\n";
    for (int round = 0; round < kWriterRounds; round++) {
        writeIndexFile(index, others);
        Writers writers;
        for (int which = 0; which < 2; which++)
            ASSERT_TRUE(writers.start(index, temp, which));
        writers.release();
        for (int which = 0; which < 2; which++)
            EXPECT_EQ(0, writers.result(which)) << "round " << round << ", writer " << which;
        load(kWriterDiscs[0]);
        EXPECT_STREQ(kWriterTitles[0], titles.title) << "round " << round;
        load(kWriterDiscs[1], 12);
        EXPECT_STREQ(kWriterTitles[1], titles.title) << "round " << round;
        EXPECT_EQ(kIndexOk, checkTitleIndex(index.c_str()).verdict);
    }
}

TEST_F(TitleIndex, LoneCarriageReturnIsData) {
    writeIndexFile(index, "@0c0b8600f5\r\n+a\rb\r\n\r\n@030b8600f5\r\n+x\ry\r\n\r\n");
    load(kDisc);
    EXPECT_STREQ("x\ry", titles.title);
    typed("T\rU", "A", {"a", "b", "c"});
    EXPECT_EQ(kSaveDone, save(kDisc));
    EXPECT_EQ("@0c0b8600f5\r\n+a\rb\r\n\r\n@030b8600f5\r\n+T\rU\r\n-A\r\n#a\r\n#b\r\n#c\r\n\r\n", readBytes(index));
}

TEST_F(TitleIndex, ShiftJisTrailBytes5CAnd7CSurviveARoundTrip) {
    // "ソ表" (trail bytes 0x5C) and "ポ" (trail byte 0x7C).
    typed("\x83\x5c\x95\x5c", "\x83\x7c", {"\x83\x5c", "|\\", "\x83\x7c\x83\x5c"});
    EXPECT_EQ(kSaveDone, save(kDisc));
    EXPECT_EQ("\r\n@030b8600f5\r\n+\x83\x5c\x95\x5c\r\n-\x83\x7c\r\n#\x83\x5c\r\n#|\\\r\n#\x83\x7c\x83\x5c\r\n\r\n",
              readBytes(index));
    memset(&titles, 0, sizeof titles);
    load(kDisc);
    EXPECT_STREQ("\x83\x5c\x95\x5c", titles.title);
    EXPECT_STREQ("\x83\x7c\x83\x5c", titles.tracks[2]);
}

TEST_F(TitleIndex, NinetyNineTracksAndNonsenseTrackCounts) {
    for (int i = 0; i < kTitleTracks; i++)
        snprintf(titles.tracks[i], kTitleSlot, "n%d", i + 1);
    EXPECT_EQ(kSaveDone, save(kDisc, 300));
    std::string bytes = readBytes(index);
    EXPECT_NE(std::string::npos, bytes.find("#n99\r\n\r\n"));
    EXPECT_EQ(std::string::npos, bytes.find("#n100"));
    EXPECT_EQ(kSaveDone, save(kOther, -5));
    EXPECT_NE(std::string::npos, readBytes(index).find("@0c0b8600f5\r\n+\r\n-\r\n\r\n"));
}

TEST_F(TitleIndex, EveryRecordOfALargeFileLoadsWhole) {
    // Values of every length up to the longest read whole, so that lines end
    // at every place of the read buffer.
    std::string file;
    for (int i = 0; i < 300; i++) {
        char id[kDiscIdSize];
        formatDiscId(id, 3, i, 0);
        file += std::string(id) + "\r\n+" + std::string((size_t)(i % 63), (char)('a' + i % 26)) + "\r\n-" +
                std::to_string(i) + "\r\n#\r\n\r\n";
    }
    writeIndexFile(index, file);
    for (int i = 0; i < 300; i++) {
        char id[kDiscIdSize];
        formatDiscId(id, 3, i, 0);
        load(id);
        ASSERT_EQ(std::string((size_t)(i % 63), (char)('a' + i % 26)), titles.title) << i;
        ASSERT_EQ(std::to_string(i), titles.artist) << i;
        ASSERT_STREQ("", titles.tracks[0]) << i;
    }
}

// ---- Faults: the index stays exactly as it was ------------------------------

int callsLeft;

long failingRead(FileHandle file, char* buffer, size_t size) {
    return --callsLeft < 0 ? -1 : stdioFileLayer.read(file, buffer, size);
}
int failingWrite(FileHandle file, const char* bytes, size_t size) {
    return --callsLeft < 0 ? 0 : stdioFileLayer.write(file, bytes, size);
}
int failingClose(FileHandle file) {
    int closed = stdioFileLayer.close(file);
    return --callsLeft < 0 ? 0 : closed;
}
FileHandle failingOpenWrite(const char*) { return 0; }
FileHandle failingOpenRead(const char*) { return 0; }
int failingReplace(const char*, const char*) { return 0; }
int unsupportedReplace(const char*, const char*) { return kReplaceUnsupported; }
// Fails only the rename that callsLeft counts down to.
int failingRename(const char* from, const char* to) { return --callsLeft == 0 ? 0 : stdioFileLayer.rename(from, to); }

class TitleIndexFaults : public TitleIndex {
  protected:
    std::string before;

    // An index of many records, so that a save writes in several pieces.
    void SetUp() override {
        TitleIndex::SetUp();
        for (int i = 0; i < 400; i++) {
            char record[96];
            snprintf(record, sizeof record, "@0c%08x\r\n+title %d\r\n-artist\r\n#one\r\n\r\n", i, i);
            before += record;
        }
        writeIndexFile(index, before);
        typed("T", "A", {"a", "b", "c"});
    }

    void expectUntouched(SaveResult expected, SaveResult got) {
        EXPECT_EQ(expected, got);
        fileLayer = stdioFileLayer;
        EXPECT_EQ(before, readBytes(index));
        EXPECT_FALSE(fileExists(temp));
    }
};

TEST_F(TitleIndexFaults, TemporaryFileCannotBeCreated) {
    fileLayer.openWrite = failingOpenWrite;
    expectUntouched(kSaveTempFailed, save(kDisc));
}

TEST_F(TitleIndexFaults, WriteFailsInTheMiddle) {
    for (int okWrites : {0, 1, 3}) {
        fileLayer.write = failingWrite;
        callsLeft = okWrites;
        expectUntouched(kSaveWriteFailed, save(kDisc));
    }
}

TEST_F(TitleIndexFaults, CloseOfTheTemporaryFileFails) {
    fileLayer.close = failingClose;
    callsLeft = 1; // the index's close succeeds, the temporary file's fails
    expectUntouched(kSaveWriteFailed, save(kDisc));
}

TEST_F(TitleIndexFaults, ReplaceFails) {
    fileLayer.replace = failingReplace;
    expectUntouched(kSaveWriteFailed, save(kDisc));
}

// The Windows 95 family cannot replace a file in one step: the index steps
// aside under a backup name, and comes back when the new one cannot take
// its place.
TEST_F(TitleIndexFaults, WithoutAReplaceInOneStepTheIndexStepsAsideAndComesBackOnFailure) {
    const std::string backup = index + ".bak";
    // The index cannot step aside; the new file cannot take its name.
    for (int failing : {1, 2}) {
        fileLayer.replace = unsupportedReplace;
        fileLayer.rename = failingRename;
        callsLeft = failing;
        expectUntouched(kSaveWriteFailed, save(kDisc));
        EXPECT_FALSE(fileExists(backup)) << failing;
    }
    writeIndexFile(backup, "left by a save cut off");
    fileLayer.replace = unsupportedReplace;
    EXPECT_EQ(kSaveDone, save(kDisc));
    EXPECT_EQ(before + "\r\n" + kNewRecord, readBytes(index));
    EXPECT_FALSE(fileExists(backup));
    EXPECT_FALSE(fileExists(temp));
    std::filesystem::remove(index);
    EXPECT_EQ(kSaveDone, save(kDisc));
    EXPECT_TRUE(fileExists(index));
}

TEST_F(TitleIndexFaults, IndexThatCannotBeReadIsNeverTakenForEmpty) {
    fileLayer.openRead = failingOpenRead;
    expectUntouched(kSaveIndexUnreadable, save(kDisc));
    fileLayer.read = failingRead;
    callsLeft = 1;
    expectUntouched(kSaveIndexUnreadable, save(kDisc));
}

TEST_F(TitleIndex, MissingIndexThatCannotBeCreatedStaysMissing) {
    fileLayer.replace = failingReplace;
    typed("T", "A", {"a", "b", "c"});
    EXPECT_EQ(kSaveWriteFailed, save(kDisc));
    EXPECT_FALSE(fileExists(index));
    EXPECT_FALSE(fileExists(temp));
}

TEST_F(TitleIndex, TemporaryFolderMissingFailsCleanly) {
    writeIndexFile(index, kNewRecord);
    EXPECT_EQ(kSaveTempFailed,
              rewriteTitleIndex(index.c_str(), (folder + "/no/such/drovix.tmp").c_str(), kDisc, 3, &titles));
    EXPECT_EQ(kNewRecord, readBytes(index));
}

} // namespace
