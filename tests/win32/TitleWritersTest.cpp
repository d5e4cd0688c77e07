// The player beside the title index's other writers (vdrivectl titles, the
// settings tool, another PC on a share), whose saves are the title index's
// own: what the player shows after another writer's save, what its title
// dialog opens with, and the exact bytes a dialog save leaves when another
// writer stored names before it or while it was open.
#include "../../engine/DiscEngine.h"
#include "../../player/Texts.h"
#include "Modal.h"
#include "PlayerTest.h"
#include "SaveFileWords.h"

namespace {

// The simulated disc: 3 tracks, 486 s in all, track 1 of 185 s.
const char kDiscId[] = "@0301e600b9";

struct Names {
    const char* title;
    const char* artist;
    const char* tracks[3];
};

std::string recordBytes(const Names& names) {
    std::string bytes = std::string(kDiscId) + "\r\n+" + names.title + "\r\n-" + names.artist + "\r\n";
    for (const char* track : names.tracks)
        bytes += std::string("#") + track + "\r\n";
    return bytes + "\r\n";
}

// Records of other discs and a comment: every save keeps them byte for byte.
const std::string kBefore = "; 共有フォルダの曲名\r\n@0c0b8600f5\r\n+Other disc\r\n#x\r\n\r\n";
const std::string kAfter = "@0d0b8600f5\r\n+Last\r\n\r\n";

const Names kAutumn = {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}};
// As many bytes as kAutumn.
const Names kWinter = {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}};

} // namespace

class TitleWriters : public Player {
  protected:
    HWND dialog = 0;
    std::string index;

    void SetUp() override {
        Player::SetUp();
        storeDword("Interval", 5000);
        storeText("IndexFile", "writers-test.idx");
        index = programDirectory() + "writers-test.idx";
        deleteNamed(index);
    }

    void TearDown() override {
        if (dialog)
            DestroyWindow(dialog);
        dialog = 0;
        Player::TearDown();
        deleteNamed(index);
    }

    // The next row of a table, on a player of its own.
    void restart() {
        if (dialog)
            DestroyWindow(dialog);
        dialog = 0;
        finish();
        TearDown();
        SetUp();
    }

    // Another writer's save, through the title index as vdrivectl titles
    // saves: the whole record of the disc.
    void otherWriterStores(const Names& names) {
        TitleRecord record;
        setDefaultTitles(&record);
        snprintf(record.title, kTitleSlot, "%s", names.title);
        snprintf(record.artist, kTitleSlot, "%s", names.artist);
        for (int i = 0; i < 3; i++)
            snprintf(record.tracks[i], kTitleSlot, "%s", names.tracks[i]);
        std::string temp = programDirectory() + "drovix.tmp";
        ASSERT_EQ(kSaveDone, rewriteTitleIndex(index.c_str(), temp.c_str(), kDiscId, 3, &record));
    }

    // As a file system that keeps write times to 2 s (FAT) leaves a second
    // save of the same size within them: the stamp as the first left it.
    void otherWriterStoresKeepingTheStamp(const Names& names) {
        FILETIME written = {};
        HANDLE file = CreateFileA(index.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
        GetFileTime(file, 0, 0, &written);
        CloseHandle(file);
        size_t size = readBytes(index).size();
        otherWriterStores(names);
        ASSERT_EQ(size, readBytes(index).size());
        file = CreateFileA(index.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                           0, 0);
        EXPECT_TRUE(SetFileTime(file, 0, 0, &written));
        CloseHandle(file);
    }

    void openDialog() {
        dialog = createDialogAsShown(IDD_TITLES, window, titleDialogProc);
        ASSERT_TRUE(dialog);
        pump();
    }

    void pump() {
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT || IsDialogMessageA(dialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void click(int id) {
        SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
        pump();
    }

    // Focus on the field, its text typed over, Enter as the user does.
    void typeIn(int id, const char* text) {
        SetFocus(GetDlgItem(dialog, id));
        SendDlgItemMessageA(dialog, id, EM_SETSEL, 0, -1);
        typeInto(GetFocus(), text);
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(GetFocus(), WM_KEYUP, VK_RETURN, 0xC01C0001);
        pump();
    }

    // What the dialog shows: "title / artist", and the last track's name.
    std::string dialogShows() {
        return controlText(dialog, IDC_TITLE_EDIT) + " / " + controlText(dialog, IDC_ARTIST_EDIT) + ", " +
               listText(GetDlgItem(dialog, IDC_TRACK_LIST), 2);
    }
};

bool showsAutumn() { return strcmp(playerWindow.shownTitleLine, "秋のアルバム / テスト楽団") == 0; }

// The player, its timer running as a user has it, shows another writer's
// names within two seconds, also once it has settled on the file and no
// longer looks at it at every tick: the folder's notification tells it.
TEST_F(TitleWriters, PlayerShowsWhatAnotherWriterStoresWithinTwoSeconds) {
    storeDword("Interval", 333);
    writeBytes(index, kBefore + kAfter);
    start();
    pumpMessages(2000, [] { return playerWindow.discLoaded != 0; });
    ASSERT_EQ(1u, playerWindow.discLoaded);
    EXPECT_STREQ("Title / Artist", playerWindow.shownTitleLine);
    // Once the settle time after the load has passed, with a tick in it,
    // an unchanged index is not read, and its folder is watched.
    pumpMessages(kStampSettleMs + 1000);
    EXPECT_EQ(0, playerWindow.followTitleIndex());
    EXPECT_TRUE(playerWindow.indexFolderChange != 0);
    otherWriterStores(kAutumn);
    DWORD stored = GetTickCount();
    pumpMessages(2000, showsAutumn);
    EXPECT_TRUE(showsAutumn()) << playerWindow.shownTitleLine;
    EXPECT_LT(GetTickCount() - stored, 2000u);
    // Without a disc nothing looks at the index: its folder is let go.
    sim.mediaPresent = 0;
    timerTick();
    EXPECT_TRUE(playerWindow.indexFolderChange == 0);
}

// What another writer did after the disc's load, and how the player came
// to look: each save is shown at the next tick, also one that leaves the
// stamp as it was (within the settle time after the player took the load
// or a change). An index held open, shared with no one (another program,
// or a save of the Windows 95 family between its two renames), keeps the
// names shown, at a tick and in the title dialog opened meanwhile; once it
// can be read, the next tick shows the save's names.
enum Writer { kStores, kRemovesTheRecord, kKeepsTheStamp, kKeepsTheStampAfterATick, kHoldsAtATick, kHoldsAtTheDialog };

TEST_F(TitleWriters, EachSaveOfAnotherWriterIsShownAtTheNextTick) {
    const Names kAutumnTrack3 = {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}};
    const Names kWinterTrack3 = {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}};
    const struct {
        const char* what;
        const Names* inFile; // the disc's record at the load; 0 for none
        Writer writer;
        const Names* stored;
        const char* titleLine;
        const char* track3;
    } rows[] = {
        {"named", 0, kStores, &kAutumnTrack3, "秋のアルバム / テスト楽団", "Track  3"},
        {"another title, as long", &kAutumnTrack3, kStores, &kWinterTrack3, "冬のアルバム / テスト楽団", "Track  3"},
        {"one more track name", &kWinterTrack3, kStores, &kWinter, "冬のアルバム / テスト楽団", "三曲目"},
        {"the record gone", &kAutumn, kRemovesTheRecord, 0, "Title / Artist", "Track  3"},
        {"the stamp kept, just after the load", &kAutumn, kKeepsTheStamp, &kWinter, "冬のアルバム / テスト楽団",
         "三曲目"},
        {"the stamp kept, just after a change seen at a tick", &kAutumn, kKeepsTheStampAfterATick, &kWinter,
         "冬のアルバム / テスト楽団", "三曲目"},
        {"held open at a tick", &kAutumn, kHoldsAtATick, &kWinter, "冬のアルバム / テスト楽団", "三曲目"},
        {"held open as the dialog opens", &kAutumn, kHoldsAtTheDialog, &kWinter, "冬のアルバム / テスト楽団", "三曲目"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeBytes(index, kBefore + (row.inFile ? recordBytes(*row.inFile) : "") + kAfter);
        start();
        timerTick();
        if (row.writer == kKeepsTheStampAfterATick) {
            otherWriterStores(kAutumn);
            timerTick();
        }
        if (row.writer == kKeepsTheStamp || row.writer == kKeepsTheStampAfterATick)
            otherWriterStoresKeepingTheStamp(*row.stored);
        else if (row.stored)
            otherWriterStores(*row.stored);
        else
            writeBytes(index, kBefore + kAfter);
        HANDLE held = INVALID_HANDLE_VALUE;
        if (row.writer == kHoldsAtATick || row.writer == kHoldsAtTheDialog) {
            held = CreateFileA(index.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
            ASSERT_NE(INVALID_HANDLE_VALUE, held);
            if (row.writer == kHoldsAtTheDialog) {
                openDialog();
                EXPECT_EQ("秋のアルバム / テスト楽団, 三曲目", dialogShows());
                click(IDC_CANCEL);
            } else {
                timerTick();
            }
            EXPECT_TRUE(showsAutumn()) << playerWindow.shownTitleLine;
            CloseHandle(held);
        }
        timerTick();
        EXPECT_STREQ(row.titleLine, playerWindow.shownTitleLine);
        EXPECT_STREQ(row.track3, playerWindow.titles.tracks[2]);
        restart();
    }
}

// Another writer stores the disc's names before the dialog opens, or while
// it is open, before or after the user types one track: the dialog opens
// with what the file holds then, and OK stores what the user changed over
// the writer's names (the rules of that merge are the title index's own),
// which the player then holds; every other byte of the file stays.
TEST_F(TitleWriters, ADialogSaveKeepsWhatAnotherWriterStored) {
    enum When { kBeforeTheDialog, kBeforeTheTyping, kAfterTheTyping };
    const struct {
        const char* what;
        When writes;
        const char* opensWith;
        Names stored;
    } rows[] = {
        {"stored before it opened; OK without a change", kBeforeTheDialog, "秋のアルバム / テスト楽団, 三曲目",
         kAutumn},
        {"stored, then one track typed",
         kBeforeTheTyping,
         "Title / Artist, Track  3",
         {"秋のアルバム", "テスト楽団", {"一曲目", "2", "三曲目"}}},
        {"one track typed, then stored",
         kAfterTheTyping,
         "Title / Artist, Track  3",
         {"秋のアルバム", "テスト楽団", {"一曲目", "2", "三曲目"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeBytes(index, kBefore + kAfter);
        start();
        timerTick();
        if (row.writes == kBeforeTheDialog)
            otherWriterStores(kAutumn);
        openDialog();
        EXPECT_EQ(row.opensWith, dialogShows());
        if (row.writes == kBeforeTheTyping)
            otherWriterStores(kAutumn);
        if (row.writes != kBeforeTheDialog) {
            // Track 2, by the list: Enter from track 1 moves to it.
            typeIn(IDC_TRACK_EDIT, "Track  1");
            typeIn(IDC_TRACK_EDIT, "2");
        }
        if (row.writes == kAfterTheTyping)
            otherWriterStores(kAutumn);
        click(IDC_OK);
        EXPECT_FALSE(IsWindowVisible(dialog));
        std::string stored = recordBytes(row.stored);
        EXPECT_EQ(kBefore + kAfter + "\r\n" + stored, readBytes(index));
        EXPECT_EQ(stored, recordBytes({playerWindow.titles.title,
                                       playerWindow.titles.artist,
                                       {playerWindow.titles.tracks[0], playerWindow.titles.tracks[1],
                                        playerWindow.titles.tracks[2]}}));
        timerTick();
        EXPECT_STREQ("秋のアルバム / テスト楽団", playerWindow.shownTitleLine);
        restart();
    }
}

// An index named as the save's lock is read, and never taken for the lock:
// a save is refused with a message and the file stays as it was.
TEST_F(TitleWriters, AnIndexNamedAsTheLockIsReadAndNeverRemoved) {
    std::string lockNamed = programDirectory() + "drovix.lck";
    std::string bytes = kBefore + recordBytes(kAutumn);
    writeBytes(lockNamed, bytes);
    storeText("IndexFile", "drovix.lck");
    start();
    timerTick();
    EXPECT_TRUE(showsAutumn()) << playerWindow.shownTitleLine;
    openDialog();
    typeIn(IDC_TITLE_EDIT, "冬");
    MessageBoxSeen seen;
    confirmMessageBox(&seen);
    click(IDC_OK);
    EXPECT_EQ(1, seen.shown);
    EXPECT_EQ(saveFileWords(lockNamed), seen.text);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(bytes, readBytes(lockNamed));
    modalSteps().clear();
    click(IDC_CANCEL);
    deleteNamed(lockNamed);
}
