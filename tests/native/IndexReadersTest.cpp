// Readers beside the index's writers: another program's load while a save
// is between its two renames, the backup put back only under the lock, the
// stamp that tells a reader the file changed, and when a reader reads the
// record again. Real files and a real second process, exact bytes.
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TitleRecords.h"

namespace {

class IndexReaders : public TitleFiles {};

// ---- The backup and the lock, as the Windows 95 family --------------------

// The other program reading the index: a process of its own, which
// shares no open file with the save. It tells the test when it waits for
// the save's lock, then what its load gave ("1秋のアルバム": the load's
// result and the title).
int toTest = -1;
int readerStarted;
pid_t readerPid;
int fromReader = -1;
std::string readerIndex;

LockResult lockTellingTheTest(const char* path, FileHandle* held) {
    char waiting = 'w';
    if (write(toTest, &waiting, 1) != 1)
        _exit(2);
    return stdioFileLayer.lock(path, held);
}

void runReader() {
    for (int fd = 3; fd < 1024; fd++)
        if (fd != toTest)
            close(fd);
    fileLayer = stdioFileLayer;
    fileLayer.lock = lockTellingTheTest;
    static TitleRecord saw;
    int loaded = loadTitleRecord(readerIndex.c_str(), kDisc, 3, &saw);
    char told[2 + kTitleSlot];
    int length = snprintf(told, sizeof told, "%d%s", loaded, saw.title);
    _exit(write(toTest, told, (size_t)length) == length ? 0 : 2);
}

// What the reader sends until it ends, or until the time is up.
std::string readFromReader(int fd, int ms, size_t upTo) {
    std::string got;
    char buffer[256];
    while (got.size() < upTo) {
        struct pollfd ready = {fd, POLLIN, 0};
        if (poll(&ready, 1, ms) != 1)
            break;
        ssize_t length = read(fd, buffer, upTo - got.size() < sizeof buffer ? upTo - got.size() : sizeof buffer);
        if (length <= 0)
            break;
        got.append(buffer, (size_t)length);
    }
    return got;
}

// MoveFile on the Windows 95 family: no replace in one step, and a rename
// onto an existing file is refused.
int renameNoReplace(const char* from, const char* to) {
    if (stdioFileLayer.exists(to))
        return 0;
    return stdioFileLayer.rename(from, to);
}

// The reader starts just as the save's index has stepped aside under its
// backup name; the save goes on once the reader waits for its lock.
int renameThenRead(const char* from, const char* to) {
    int renamed = renameNoReplace(from, to);
    std::string target = to;
    if (readerStarted || target.size() < 4 || target.substr(target.size() - 4) != ".bak")
        return renamed;
    readerStarted = 1;
    int ends[2];
    if (pipe(ends) != 0)
        return renamed;
    readerPid = fork();
    if (readerPid == 0) {
        toTest = ends[1];
        runReader();
    }
    close(ends[1]);
    fromReader = ends[0];
    readerStarted = readFromReader(fromReader, 2000, 1) == "w" ? 2 : 1;
    return renamed;
}

// The reader finds the index missing and the backup alone, and waits for
// the save's lock instead of putting the backup back between the save's
// renames: the save completes, the backup is gone, and the reader reads the
// save's record.
TEST_F(IndexReaders, BackupIsNotPutBackWhileASaveHoldsTheLock) {
    readerIndex = index;
    readerStarted = 0;
    readerPid = -1;
    ASSERT_TRUE(writeBytes(index, kBefore + recordBytes(kAutumn)));
    fileLayer.replace = [](const char*, const char*) { return kReplaceUnsupported; };
    fileLayer.rename = renameThenRead;
    TitleRecord titles;
    fill(&titles, {"冬", "楽団", {"a", "b", "c"}});
    EXPECT_EQ(kSaveDone, rewriteTitleIndex(index.c_str(), temp.c_str(), kDisc, 3, &titles));
    fileLayer = stdioFileLayer;
    ASSERT_GT(readerPid, 0);
    EXPECT_EQ(2, readerStarted) << "the reader waits for the save's lock";
    // Its lock wait ends as the save lets the lock go.
    EXPECT_EQ("1冬", readFromReader(fromReader, 3000, 64));
    close(fromReader);
    int status = 0;
    for (int waited = 0; waited < 100 && waitpid(readerPid, &status, WNOHANG) == 0; waited++)
        usleep(20000);
    if (waitpid(readerPid, &status, WNOHANG) == 0) {
        kill(readerPid, SIGKILL);
        waitpid(readerPid, &status, 0);
        ADD_FAILURE() << "the reader did not end";
    }
    EXPECT_EQ(kBefore + recordBytes({"冬", "楽団", {"a", "b", "c"}}), readBytes(index));
    EXPECT_FALSE(std::filesystem::exists(index + ".bak"));
    EXPECT_FALSE(std::filesystem::exists(temp));
}

// A backup left by a save cut off is put back, under the lock, by the next
// load; one beside an index that exists is a save's and stays.
TEST_F(IndexReaders, LoneBackupComesBackUnderTheLock) {
    const std::string records = kBefore + recordBytes(kAutumn);
    ASSERT_TRUE(writeBytes(index + ".bak", records));
    TitleRecord titles;
    EXPECT_EQ(1, loadTitleRecord(index.c_str(), kDisc, 3, &titles));
    EXPECT_STREQ("秋のアルバム", titles.title);
    EXPECT_EQ(records, readBytes(index));
    EXPECT_FALSE(std::filesystem::exists(index + ".bak"));
}

// ---- The stamp -------------------------------------------------------------

TEST_F(IndexReaders, StampChangesWithEverySaveAndOnlyThen) {
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

// ---- Following the index ---------------------------------------------------

// One look at the index after another, as a player's ticks look: the file's
// stamp then and the reader's clock (ms, as GetTickCount counts, wrapping),
// whether the look reads the record, and whether that read fails; a forced
// read is the load of a disc just found, which reads whatever the stamp.
struct Look {
    const char* what;
    IndexStamp file;
    uint32_t clock;
    int32_t reads;
    int32_t fails;
    int32_t forced;
};

const IndexStamp kNoFile = {0, 0, 0};
const IndexStamp kSaved = {1, 100, 5000};
const IndexStamp kSavedAgain = {1, 100, 9000};
const IndexStamp kLonger = {1, 120, 9500};

const Look kLooks[] = {
    {"no file yet: its names are the defaults", kNoFile, 100000, 1, 0, 0},
    {"still none", kNoFile, 100100, 0, 0, 0},
    {"a save: read", kSaved, 100200, 1, 0, 0},
    {"the same stamp a second later: read again", kSaved, 101200, 1, 0, 0},
    {"a same-size save within FAT's 2 s leaves the stamp: read again", kSaved, 102200, 1, 0, 0},
    {"the last read of the settle time", kSaved, 104200, 1, 0, 0},
    {"settled and unchanged: no read", kSaved, 104300, 0, 0, 0},
    {"much later, unchanged: no read", kSaved, 900000, 0, 0, 0},
    {"another writer's save, same size: read", kSavedAgain, 900100, 1, 0, 0},
    {"its settle time ends", kSavedAgain, 904100, 1, 0, 0},
    {"a longer save, held open by its writer: the read fails", kLonger, 905000, 1, 1, 0},
    {"the next look reads again, and fails again", kLonger, 905100, 1, 1, 0},
    {"the next look reads again", kLonger, 905200, 1, 0, 0},
    {"settled", kLonger, 909200, 1, 0, 0},
    {"no read", kLonger, 909300, 0, 0, 0},
    {"a disc found while the file is held open: its load fails", kLonger, 909400, 0, 1, 1},
    {"the next look reads, although the stamp is as seen", kLonger, 909500, 1, 0, 0},
    {"and that read settles it", kLonger, 909600, 0, 0, 0},
    {"a save just before the clock wraps", kSaved, 0xFFFFF000u, 1, 0, 0},
    {"3.8 s later, just before the wrap: read again", kSaved, 0xFFFFFF00u, 1, 0, 0},
    {"4.3 s later: the last read", kSaved, 0x00000100u, 1, 0, 0},
    {"settled across the wrap", kSaved, 0x00000200u, 0, 0, 0},
};

TEST(IndexFollow, ReadsOnAChangeAndForTheSettleTimeAfterIt) {
    IndexFollow follow = {};
    for (const Look& look : kLooks) {
        EXPECT_EQ(look.reads, indexNeedsReading(follow, look.file)) << look.what;
        if (!look.reads && !look.forced)
            continue;
        if (look.fails)
            indexReadFailed(&follow);
        else
            indexWasRead(&follow, look.file, look.clock);
    }
}

} // namespace
