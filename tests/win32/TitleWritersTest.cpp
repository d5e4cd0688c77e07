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

FILETIME writeTimeOf(const std::string& path) {
    FILETIME written = {};
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                              0, 0);
    GetFileTime(file, 0, 0, &written);
    CloseHandle(file);
    return written;
}

// As a file system that keeps write times to 2 s (FAT) leaves a second save
// within them.
bool keepWriteTime(const std::string& path, const FILETIME& written) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                              0, 0);
    bool kept = file != INVALID_HANDLE_VALUE && SetFileTime(file, 0, 0, &written);
    CloseHandle(file);
    return kept;
}

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
        Player::TearDown();
        deleteNamed(index);
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

    void pressEnter() {
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(GetFocus(), WM_KEYUP, VK_RETURN, 0xC01C0001);
        pump();
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
        pressEnter();
    }

    std::string listItem(int item) { return listText(GetDlgItem(dialog, IDC_TRACK_LIST), item); }
};

bool showsAutumn() { return strcmp(playerWindow.shownTitleLine, "秋のアルバム / テスト楽団") == 0; }

// The player, its timer running as a user has it, shows another writer's
// names within two seconds; it reads the index only when it changed.
TEST_F(TitleWriters, PlayerShowsWhatAnotherWriterStoresWithinTwoSeconds) {
    storeDword("Interval", 333);
    writeBytes(index, kBefore + kAfter);
    start();
    pumpMessages(2000, [] { return playerWindow.discLoaded != 0; });
    ASSERT_EQ(1u, playerWindow.discLoaded);
    EXPECT_STREQ("Title / Artist", playerWindow.shownTitleLine);

    otherWriterStores(kAutumn);
    DWORD stored = GetTickCount();
    pumpMessages(2000, showsAutumn);
    EXPECT_TRUE(showsAutumn()) << playerWindow.shownTitleLine;
    EXPECT_LT(GetTickCount() - stored, 2000u);
    // Once the settle time after the change has passed, with a tick in it,
    // an unchanged index is not read.
    pumpMessages(kStampSettleMs + 1000);
    EXPECT_EQ(0, playerWindow.followTitleIndex());
}

struct FollowCase {
    const char* what;
    Names stored;
    const char* titleLine;
    const char* trackName3;
};

// One writer's save after another, each shown at the next tick: another
// title of the same length in bytes, one more track name, the record gone.
TEST_F(TitleWriters, EachSaveOfAnotherWriterIsShownAtTheNextTick) {
    const FollowCase cases[] = {
        {"named", {"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}}, "秋のアルバム / テスト楽団",
         "Track  3"},
        {"another title, as long", {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}},
         "冬のアルバム / テスト楽団", "Track  3"},
        {"one more track name", {"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}},
         "冬のアルバム / テスト楽団", "三曲目"},
    };
    start();
    timerTick();
    for (const FollowCase& row : cases) {
        otherWriterStores(row.stored);
        timerTick();
        EXPECT_STREQ(row.titleLine, playerWindow.shownTitleLine) << row.what;
        EXPECT_STREQ(row.trackName3, playerWindow.titles.tracks[2]) << row.what;
    }
    writeBytes(index, kBefore);
    timerTick();
    EXPECT_STREQ("Title / Artist", playerWindow.shownTitleLine);
}

// Stored by another writer after the player's last tick: the dialog opens
// with the file's names, and OK without a change keeps them byte for byte.
TEST_F(TitleWriters, DialogOpensWithTheRecordAsTheFileHoldsIt) {
    writeBytes(index, kBefore + kAfter);
    start();
    timerTick();
    otherWriterStores(kAutumn);
    openDialog();
    EXPECT_EQ("秋のアルバム", controlText(dialog, IDC_TITLE_EDIT));
    EXPECT_EQ("テスト楽団", controlText(dialog, IDC_ARTIST_EDIT));
    EXPECT_EQ("一曲目", controlText(dialog, IDC_TRACK_EDIT));
    EXPECT_EQ("三曲目", listItem(2));
    std::string stored = kBefore + kAfter + "\r\n" + recordBytes(kAutumn);
    EXPECT_EQ(stored, readBytes(index));
    click(IDC_OK);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(stored, readBytes(index));
}

// The other writer stores while the dialog is open, before or after the
// user types; the save stores what the user changed over the writer's names.
TEST_F(TitleWriters, ADialogSaveOfOneFieldKeepsTheOtherWritersFields) {
    struct Row {
        const char* what;
        bool typeFirst;
        Names writer;
        Names stored;
    } rows[] = {
        {"writer first, then one track typed", false, kAutumn,
         {"秋のアルバム", "テスト楽団", {"一曲目", "2", "三曲目"}}},
        {"one track typed, then the writer", true, kAutumn, {"秋のアルバム", "テスト楽団", {"一曲目", "2", "三曲目"}}},
        {"the writer named the same track too: the user's name", true,
         {"秋のアルバム", "テスト楽団", {"一曲目", "にきょくめ", "三曲目"}},
         {"秋のアルバム", "テスト楽団", {"一曲目", "2", "三曲目"}}},
    };
    for (const Row& row : rows) {
        writeBytes(index, kBefore + kAfter);
        start();
        timerTick();
        openDialog();
        if (!row.typeFirst)
            otherWriterStores(row.writer);
        // Track 2, by the list: Enter from the title to the artist to track 1.
        typeIn(IDC_TRACK_EDIT, "Track  1");
        typeIn(IDC_TRACK_EDIT, "2");
        if (row.typeFirst)
            otherWriterStores(row.writer);
        click(IDC_OK);
        EXPECT_FALSE(IsWindowVisible(dialog)) << row.what;
        EXPECT_EQ(kBefore + kAfter + "\r\n" + recordBytes(row.stored), readBytes(index)) << row.what;
        timerTick();
        EXPECT_STREQ("秋のアルバム / テスト楽団", playerWindow.shownTitleLine) << row.what;
        DestroyWindow(dialog);
        dialog = 0;
        finish();
        TearDown();
        SetUp();
    }
}

// A title typed while another writer names one more track: both stay.
TEST_F(TitleWriters, ATitleTypedWhileAnotherWriterNamesOneMoreTrack) {
    writeBytes(index, kBefore + recordBytes({"秋のアルバム", "テスト楽団", {"一曲目", "二曲目", "Track  3"}}) + kAfter);
    start();
    timerTick();
    openDialog();
    typeIn(IDC_TITLE_EDIT, "冬のアルバム");
    otherWriterStores(kAutumn);
    click(IDC_OK);
    EXPECT_EQ(kBefore + recordBytes({"冬のアルバム", "テスト楽団", {"一曲目", "二曲目", "三曲目"}}) + kAfter,
              readBytes(index));
    EXPECT_STREQ("冬のアルバム", playerWindow.titles.title);
    EXPECT_STREQ("三曲目", playerWindow.titles.tracks[2]);
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
    EXPECT_STREQ("秋のアルバム / テスト楽団", playerWindow.shownTitleLine);
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

// Another writer's save, then its index held open, shared with no one, as
// another program or a save of the Windows 95 family between its two renames
// leaves it for a moment: the player keeps showing the names it has, and the
// dialog opens with them; once the file can be read, the next tick shows
// the save's names.
TEST_F(TitleWriters, AReadThatFailsKeepsTheNamesShownUntilTheNextTick) {
    const struct {
        const char* what;
        bool openDialog;
    } rows[] = {{"a tick", false}, {"the dialog opened", true}};
    for (const auto& row : rows) {
        writeBytes(index, kBefore + recordBytes(kAutumn) + kAfter);
        start();
        timerTick();
        ASSERT_TRUE(showsAutumn()) << row.what;
        otherWriterStores(kWinter);
        HANDLE held = CreateFileA(index.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
        ASSERT_NE(INVALID_HANDLE_VALUE, held) << row.what;
        if (row.openDialog) {
            openDialog();
            EXPECT_EQ("秋のアルバム", controlText(dialog, IDC_TITLE_EDIT)) << row.what;
            EXPECT_EQ("三曲目", listItem(2)) << row.what;
            click(IDC_CANCEL);
        } else {
            timerTick();
        }
        EXPECT_TRUE(showsAutumn()) << row.what << ": " << playerWindow.shownTitleLine;
        CloseHandle(held);
        timerTick();
        EXPECT_STREQ("冬のアルバム / テスト楽団", playerWindow.shownTitleLine) << row.what;
        if (dialog)
            DestroyWindow(dialog);
        dialog = 0;
        finish();
        TearDown();
        SetUp();
    }
}

// A second save of the same size whose write time the file system keeps as
// the first's leaves the stamp as it was: within the settle time after the
// player took the first, the next tick still shows it.
TEST_F(TitleWriters, ASaveThatLeavesTheStampIsShownAtTheNextTick) {
    const struct {
        const char* what;
        bool changeSeenFirst;
    } rows[] = {{"just after the disc's load", false}, {"just after a change seen at a tick", true}};
    for (const auto& row : rows) {
        writeBytes(index, kBefore + recordBytes(kAutumn) + kAfter);
        start();
        timerTick();
        if (row.changeSeenFirst) {
            otherWriterStores(kAutumn);
            timerTick();
        }
        ASSERT_TRUE(showsAutumn()) << row.what;
        FILETIME written = writeTimeOf(index);
        std::string before = readBytes(index);
        otherWriterStores(kWinter);
        ASSERT_TRUE(keepWriteTime(index, written)) << row.what;
        ASSERT_EQ(before.size(), readBytes(index).size()) << row.what;
        timerTick();
        EXPECT_STREQ("冬のアルバム / テスト楽団", playerWindow.shownTitleLine) << row.what;
        finish();
        TearDown();
        SetUp();
    }
}
