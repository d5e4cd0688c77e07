// The settings tool's dialog, created for real in the test process with the
// tool's resources: what it shows of the settings key, what OK writes there
// and to AutoPlay's key, the title index it creates, the message boxes it
// shows and the way Enter moves through it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "../../common/Help.h"
#include "../../common/WindowsVersion.h"
#include "../../config/SettingsTool.h"
#include "../../config/res/resource.h"
#include "../native/FileBytes.h"
#include "HelpViewer.h"
#include "Messages.h"
#include "Modal.h"
#include "Programs.h"
#include "StoredValues.h"
#include "TextsFit.h"

namespace {

const char kSettingsKey[] = "Software\\Pelmark\\Drovix";
const char kAutoPlayParent[] = "AudioCD";
const char kAutoPlayKey[] = "AudioCD\\shell\\play\\command";
// From Windows 2000 on: the user's own classes and AutoPlay handler.
const char kUserAutoPlayParent[] = "Software\\Classes\\AudioCD";
const char kUserAutoPlayKey[] = "Software\\Classes\\AudioCD\\shell\\play\\command";
const char kProgIdKey[] = "Software\\Classes\\Pelmark.Drovix.AudioCD";
const char kHandlers[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const char kHandlerKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\PelmarkDrovixPlayCDAudio";
// Explorer's command on .cue files, beside the user's own association.
const char kCueVerbKey[] = "Software\\Classes\\SystemFileAssociations\\.cue\\shell\\Drovix.Play";
const char kEventKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\EventHandlers\\PlayCDAudioOnArrival";

// GetVersion's answers of the Windows the tests stand for.
const DWORD kWindows10 = 0x0000000A, kWindowsXp = 0x00000105, kWindows2000 = 0x00000005, kWindowsNt4 = 0x00000004,
            kWindows98 = 0x80000A04;
DWORD testedWindows = kWindows10;

bool lastSeparatorIn(const char* path) { return strchr(path, '\\') != 0; }

void store(const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, name, 0, type, (const BYTE*)bytes, size);
    RegCloseKey(key);
}

void storeNumber(const char* name, DWORD value) { store(name, REG_DWORD, &value, sizeof value); }

void storeText(const char* name, const std::string& text) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    setRegistryText(key, name, text);
    RegCloseKey(key);
}

std::string setting(const char* name) { return stored(HKEY_CURRENT_USER, kSettingsKey, name); }

// Where the tested Windows keeps the command: the user's classes from
// Windows 2000 on (Wine does not show them in HKEY_CLASSES_ROOT).
std::string autoPlayCommand() {
    bool forUser = !(testedWindows & 0x80000000) && LOBYTE(testedWindows) >= 5;
    return forUser ? stored(HKEY_CURRENT_USER, kUserAutoPlayKey, 0) : stored(HKEY_CLASSES_ROOT, kAutoPlayKey, 0);
}

DWORD valueCount(HKEY root, const char* keyName) {
    HKEY key;
    DWORD values = 0;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, &values, 0, 0, 0, 0);
        RegCloseKey(key);
    }
    return values;
}

void forgetAutoPlay() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kAutoPlayParent);
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserAutoPlayParent);
    RegDeleteTreeA(HKEY_CURRENT_USER, kProgIdKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kHandlers);
}

} // namespace

class SettingsDialog : public ::testing::Test {
  protected:
    HWND dialog = 0;
    std::string index = testFolder() + "drovix.idx";

    // Every test stands for one Windows, Windows 10 unless it says another.
    void SetUp() override {
        modalSteps().clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        forgetAutoPlay();
        deleteNamed(index);
        settingsTool = SettingsTool();
        testedWindows = kWindows10;
        windowsVersion = [] { return testedWindows; };
    }

    void TearDown() override {
        if (dialog)
            DestroyWindow(dialog);
        windowsVersion = [] { return GetVersion(); };
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        forgetAutoPlay();
        deleteNamed(index);
    }

    void open() {
        InitCommonControls();
        dialog = createDialogAsShown(IDD_SETTINGS, 0, settingsDialogProc);
        ASSERT_TRUE(dialog);
        ShowWindow(dialog, SW_SHOW);
        SetForegroundWindow(dialog);
        pump();
    }

    // Messages go through the dialog manager, as the modal loop sends them.
    void pump() {
        MSG message;
        DWORD until = GetTickCount() + 50;
        do {
            while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT || IsDialogMessageA(dialog, &message))
                    continue;
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(5);
        } while ((LONG)(until - GetTickCount()) > 0);
    }

    void press(WPARAM key) {
        HWND focus = GetFocus();
        PostMessageA(focus, WM_KEYDOWN, key, 0);
        PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
        pump();
    }

    void click(int id) {
        SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
        pump();
    }


    void type(const std::string& text) {
        putText(GetDlgItem(dialog, IDC_INDEX_FILE), text);
        pump();
    }

    int focused() { return GetDlgCtrlID(GetFocus()); }
    bool checked(int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    bool closed() { return !IsWindowVisible(dialog); }
    int sliderAt() { return (int)SendDlgItemMessageA(dialog, IDC_INTERVAL, TBM_GETPOS, 0, 0); }
    std::string label() { return controlText(dialog, IDC_INTERVAL_LABEL); }
};

// What the user sees, in the order Enter and Tab go through it.
TEST_F(SettingsDialog, ShowsItsControlsInOrderWithTheirTexts) {
    open();
    EXPECT_EQ("Pelmark ＣＤプレイヤーの設定 / ＭＳ Ｐゴシック\n"
              "1000 drovix.idx\n1001 参照 ...\n1012 常に [曲名の設定] を表示\n"
              "1014 終了時 ランダム・リピート状態を保持する\n1017 .cue に「Drovix で再生」を加える\n1013 \n1009 現在の設定のまま変更しない\n"
              "1010 Pelmark ＣＤプレイヤー\n1011 Windows標準のＣＤプレイヤー\n1008 オートプレイで起動したときは最小化\n"
              "1 OK\n2 キャンセル\n1016 ヘルプ\n-1 曲名ファイルの位置 :\n-1 時計更新の間隔 :\n-1 遅く\n-1 速く\n"
              "1015  333 ミリ秒\n-1 オートプレイの設定\n",
              shownControls(dialog));
}

// Every label and button shows its whole text, also the widest interval,
// whatever fonts the system has (the run checks this with and without the
// test set-up's font replacements).
TEST_F(SettingsDialog, TextsFitTheirControls) {
    open();
    putText(GetDlgItem(dialog, IDC_INTERVAL_LABEL), "1000 ミリ秒");
    EXPECT_EQ("", cutTexts(dialog));
    // As large as the player's dialogs (9 points, 12 pixels), not made
    // smaller to fit: the texts fit at that size with the fonts a user has.
    LOGFONTW font = {};
    GetObjectW((HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0), sizeof font, &font);
    EXPECT_EQ(-12, font.lfHeight);
}

TEST_F(SettingsDialog, OpensWithTheDefaultsWhenNothingIsStored) {
    open();
    EXPECT_EQ("drovix.idx", controlText(dialog, IDC_INDEX_FILE));
    EXPECT_EQ(" 333 ミリ秒", label());
    EXPECT_EQ(333, sliderAt());
    EXPECT_EQ(100, SendDlgItemMessageA(dialog, IDC_INTERVAL, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(1000, SendDlgItemMessageA(dialog, IDC_INTERVAL, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(100, SendDlgItemMessageA(dialog, IDC_INTERVAL, TBM_GETPAGESIZE, 0, 0));
    EXPECT_FALSE(checked(IDC_AUTOPLAY_MINIMIZE));
    EXPECT_FALSE(checked(IDC_ALWAYS_VISIBLE));
    EXPECT_TRUE(checked(IDC_SAVE_PLAY_MODE));
    EXPECT_TRUE(checked(IDC_AUTOPLAY_UNCHANGED));
    EXPECT_EQ(IDC_INDEX_FILE, focused());
}

TEST_F(SettingsDialog, ShowsWhatIsStoredAndWhatThePlayerMakesOfIt) {
    struct Row {
        const char* what;
        std::function<void()> arrange;
        const char* path;
        const char* shownLabel;
        int slider;
        bool minimize, alwaysVisible, keepModes;
    } rows[] = {
        {"stored",
         [] {
             storeNumber("Interval", 700);
             storeText("IndexFile", "C:\\titles\\mine.idx");
             storeNumber("AutoplayMinimize", 1);
             storeNumber("AlwayVisibleSet", 1);
             storeNumber("SaveBeforePlayMode", 0);
         },
         "C:\\titles\\mine.idx", " 700 ミリ秒", 700, true, true, false},
        {"out of range, and nonzero values the player takes as on or off",
         [] {
             storeNumber("Interval", 50);
             storeNumber("AutoplayMinimize", 7);
             storeNumber("AlwayVisibleSet", 2);
             storeNumber("SaveBeforePlayMode", 5);
         },
         "drovix.idx", "  50 ミリ秒", 100, true, false, true},
        {"of other types and sizes",
         [] {
             store("Interval", REG_SZ, "500", 4);
             store("AutoplayMinimize", REG_BINARY, "\x01\x00", 2);
             store("IndexFile", REG_BINARY, "abc", 3);
             store("SaveBeforePlayMode", REG_QWORD, "\0\0\0\0\0\0\0\0", 8);
         },
         "abc", " 333 ミリ秒", 333, true, false, true},
        {"a path longer than the tool lets the user type",
         [] {
             storeText("IndexFile", "C:\\" + std::string(252, 'p') +
                                        "\x83\x5C"
                                        "x.idx");
         },
         nullptr, " 333 ミリ秒", 333, false, false, true},
    };
    for (const Row& row : rows) {
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        row.arrange();
        open();
        std::string path = row.path ? row.path
                                    : "C:\\" + std::string(252, 'p') +
                                          "\x83\x5C"
                                          "x.idx";
        EXPECT_EQ(path, controlText(dialog, IDC_INDEX_FILE)) << row.what;
        EXPECT_EQ(row.shownLabel, label()) << row.what;
        EXPECT_EQ(row.slider, sliderAt()) << row.what;
        EXPECT_EQ(row.minimize, checked(IDC_AUTOPLAY_MINIMIZE)) << row.what;
        EXPECT_EQ(row.alwaysVisible, checked(IDC_ALWAYS_VISIBLE)) << row.what;
        EXPECT_EQ(row.keepModes, checked(IDC_SAVE_PLAY_MODE)) << row.what;
        EXPECT_TRUE(checked(IDC_AUTOPLAY_UNCHANGED)) << row.what;
        DestroyWindow(dialog);
        dialog = 0;
    }
}

TEST_F(SettingsDialog, TheLabelFollowsTheSliderAndOkSavesWhereItStands) {
    storeNumber("Interval", 50);
    ASSERT_TRUE(writeBytes(index, ""));
    open();
    SetFocus(GetDlgItem(dialog, IDC_INTERVAL));
    press(VK_NEXT);
    EXPECT_EQ(200, sliderAt());
    EXPECT_EQ(" 200 ミリ秒", label());
    press(VK_END);
    EXPECT_EQ("1000 ミリ秒", label());
    press(VK_HOME);
    EXPECT_EQ(" 100 ミリ秒", label());
    click(IDOK);
    EXPECT_TRUE(closed());
    EXPECT_EQ("dword:100", setting("Interval"));
}

TEST_F(SettingsDialog, OkWritesItsValuesAndLeavesThePlayersAndAPathNotTouchedAlone) {
    const char* playerValues[] = {"WindowLeft", "WindowTop", "TopMost", "DisplayState", "RepeatMode", "RandomMode"};
    DWORD value = 40;
    for (const char* name : playerValues)
        storeNumber(name, value++);
    ASSERT_TRUE(writeBytes(index, ""));
    // A path the player reads, stored without its NUL: not written back.
    store("IndexFile", REG_BINARY, index.c_str(), (DWORD)index.size());
    open();
    click(IDC_ALWAYS_VISIBLE);
    click(IDC_SAVE_PLAY_MODE);
    click(IDC_AUTOPLAY_MINIMIZE);
    SendDlgItemMessageA(dialog, IDC_INTERVAL, TBM_SETPOS, TRUE, 600);
    click(IDOK);
    EXPECT_TRUE(closed());
    EXPECT_EQ(11u, valueCount(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ("dword:600", setting("Interval"));
    EXPECT_EQ("type3:" + index, setting("IndexFile"));
    EXPECT_EQ("dword:1", setting("AutoplayMinimize"));
    EXPECT_EQ("dword:1", setting("AlwayVisibleSet"));
    EXPECT_EQ("dword:0", setting("SaveBeforePlayMode"));
    value = 40;
    for (const char* name : playerValues)
        EXPECT_EQ("dword:" + std::to_string(value++), setting(name)) << name;
    // Leaving AutoPlay unchanged neither opens nor creates its key.
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kUserAutoPlayKey));
}

TEST_F(SettingsDialog, ANewSettingsKeyHasTheClassDrovix) {
    ASSERT_TRUE(writeBytes(index, ""));
    open();
    click(IDOK);
    EXPECT_EQ(4u, valueCount(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ("Drovix", keyClass(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(SettingsDialog, CancelEscapeAndTheCloseBoxWriteNothing) {
    for (int way = 0; way < 3; way++) {
        open();
        click(IDC_ALWAYS_VISIBLE);
        click(IDC_AUTOPLAY_PLAYER);
        type("elsewhere.idx");
        if (way == 0)
            click(IDCANCEL);
        else if (way == 1)
            press(VK_ESCAPE);
        else
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        pump();
        EXPECT_TRUE(closed()) << way;
        EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kSettingsKey)) << way;
        EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kUserAutoPlayKey)) << way;
        DestroyWindow(dialog);
        dialog = 0;
    }
}

TEST_F(SettingsDialog, EnterMovesThroughTheFieldsAndConfirmsOnlyOnOk) {
    ASSERT_TRUE(writeBytes(index, ""));
    open();
    std::string order = std::to_string(focused());
    SetFocus(GetDlgItem(dialog, IDC_ALWAYS_VISIBLE));
    order += " " + std::to_string(focused());
    for (int i = 0; i < 9; i++) {
        press(VK_RETURN);
        order += " " + std::to_string(focused());
    }
    EXPECT_EQ("1000 1012 1014 1017 1013 1009 1010 1011 1008 1000 1001", order);
    EXPECT_FALSE(closed());
    EXPECT_TRUE(checked(IDC_AUTOPLAY_UNCHANGED));
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kSettingsKey));
    SetFocus(GetDlgItem(dialog, IDOK));
    press(VK_RETURN);
    EXPECT_TRUE(closed());
    EXPECT_EQ("dword:333", setting("Interval"));
}

// The box shows whether this user has Explorer's 「Drovix で再生」 on .cue
// files; OK adds or removes it as the box asks, Cancel neither, and the
// user's own program for .cue files stays as it was.
TEST_F(SettingsDialog, OffersExplorersCommandOnCueSheetsBesideTheUsersOwn) {
    ASSERT_TRUE(writeBytes(index, ""));
    HKEY own;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\.cue", 0, 0, 0, KEY_ALL_ACCESS, 0, &own, 0);
    setRegistryText(own, 0, "MyPlayer.cue");
    RegCloseKey(own);
    const std::string command = "sz:\"" + testFolder() + "Drovix.exe\" /image \"%1\"" + '\0';
    struct Row {
        bool shown, click;
        int button;
        std::string verb, command;
    } rows[] = {
        {false, true, IDCANCEL, "none", "none"},
        {false, true, IDOK, std::string("sz:Drovix で再生") + '\0', command},
        {true, false, IDOK, std::string("sz:Drovix で再生") + '\0', command},
        {true, true, IDOK, "none", "none"},
    };
    for (const Row& row : rows) {
        open();
        EXPECT_EQ(row.shown, checked(IDC_CUE_VERB)) << row.verb;
        if (row.click)
            click(IDC_CUE_VERB);
        click(row.button);
        ASSERT_TRUE(closed());
        DestroyWindow(dialog);
        dialog = 0;
        EXPECT_EQ(row.verb, stored(HKEY_CURRENT_USER, kCueVerbKey, 0));
        EXPECT_EQ(row.command, stored(HKEY_CURRENT_USER, (std::string(kCueVerbKey) + "\\command").c_str(), 0));
        EXPECT_EQ(std::string("sz:MyPlayer.cue") + '\0', stored(HKEY_CURRENT_USER, "Software\\Classes\\.cue", 0));
    }
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, "Software\\Classes\\SystemFileAssociations"));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\.cue");
}

// ---- The title index at OK -----------------------------------------------------

TEST_F(SettingsDialog, AMissingIndexIsCreatedWhereThePlayerReadsItOrTheDialogStaysOpen) {
    std::string folder = testFolder();
    struct Row {
        const char* typed;
        int answer;
        const char* question; // the path the question names, in the tool's folder where not full
        bool creationFails;
        bool saved;
    } rows[] = {
        {"drovix.idx", IDYES, "drovix.idx", false, true},
        {"drovix.idx", IDNO, "drovix.idx", false, false},
        {"C:\\no such folder\\titles.idx", IDYES, "C:\\no such folder\\titles.idx", true, false},
    };
    for (const Row& row : rows) {
        SetUp();
        open();
        type(row.typed);
        MessageBoxSeen question, failure;
        answerMessageBox(&question, row.answer);
        if (row.creationFails)
            confirmMessageBox(&failure);
        click(IDOK);
        pump();
        std::string named = lastSeparatorIn(row.question) ? row.question : folder + row.question;
        EXPECT_EQ(1, question.shown) << row.typed;
        EXPECT_EQ("曲名ファイル (" + named + ") が見つかりません。\n\n作成しますか？", question.text);
        EXPECT_EQ("Pelmark ＣＤプレイヤーの設定", question.caption);
        EXPECT_EQ("yes no", question.buttons);
        EXPECT_TRUE(question.exclamation);
        if (row.creationFails) {
            EXPECT_EQ(1, failure.shown) << row.typed;
            EXPECT_EQ(named + " の作成に失敗しました。\n\n正しいファイル名とパスを指定してください。", failure.text);
            EXPECT_EQ("ok", failure.buttons);
            EXPECT_TRUE(failure.exclamation);
        }
        EXPECT_EQ(row.saved, closed()) << row.typed;
        EXPECT_EQ(row.saved ? "" : "<missing>", readBytes(index)) << row.typed;
        EXPECT_EQ(row.saved ? "dword:333" : "none", setting("Interval")) << row.typed;
        if (!row.saved) {
            EXPECT_EQ(IDC_INDEX_FILE, focused()) << row.typed;
            DWORD start = 1, end = 0;
            SendDlgItemMessageA(dialog, IDC_INDEX_FILE, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
            EXPECT_EQ(0u, start);
            EXPECT_EQ(strlen(row.typed), end);
        }
        TearDown();
        dialog = 0;
    }
}

// An empty name and a folder are refused; a file that is not a title index,
// or that the player cannot write, is taken only when the user says so, told
// what was found in it.
TEST_F(SettingsDialog, ANameThatIsNoIndexIsRefusedOrTakenOnlyWhenTheUserSaysSo) {
    std::string folder = testFolder(), memo = testFolder() + "memo.txt", utf8 = testFolder() + "utf8.idx",
                locked = testFolder() + "locked.idx";
    const std::string memoBytes = "To do:\r\nnoon\r\n", utf8Bytes = "\xEF\xBB\xBF@0c0b8600f5\r\n\r\n",
                      lockedBytes = "@0c0b8600f5\r\n\r\n";
    ASSERT_TRUE(writeBytes(memo, memoBytes));
    ASSERT_TRUE(writeBytes(utf8, utf8Bytes));
    ASSERT_TRUE(writeBytes(locked, lockedBytes));
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string taken = "\n(曲名はこのファイルに保存されません)\n\nこのファイルを曲名ファイルにしますか？";
    struct Row {
        std::string typed;
        int answer;
        std::string told;
        const char* buttons;
        bool saved;
    } rows[] = {
        {"", IDOK, "曲名ファイルの名前を入力してください。", "ok", false},
        {folder.substr(0, folder.size() - 1), IDOK,
         folder.substr(0, folder.size() - 1) + " はフォルダです。\n\n曲名ファイルの名前を入力してください。", "ok",
         false},
        {memo, IDNO,
         memo + " は曲名ファイルではありません。(1 行目から文章がありますが、@ で始まる曲名の行が一つもありません)" +
             taken,
         "yes no", false},
        {memo, IDYES, "", "yes no", true},
        {utf8, IDNO,
         utf8 + " は UTF-8 で保存されているため、曲名ファイルとして使えません。\n"
                "メモ帳などで開き、文字コードを「ANSI」(Shift-JIS) にして保存し直してください。" +
             taken,
         "yes no", false},
        {locked, IDNO,
         locked + " は読み取り専用です。\n(プレイヤーは曲名をこのファイルに保存できません)"
                  "\n\nこのファイルを曲名ファイルにしますか？",
         "yes no", false},
    };
    for (const Row& row : rows) {
        SetUp();
        open();
        type(row.typed.c_str());
        MessageBoxSeen told;
        answerMessageBox(&told, row.answer);
        click(IDOK);
        pump();
        EXPECT_EQ(1, told.shown) << row.typed;
        if (!row.told.empty())
            EXPECT_EQ(row.told, told.text) << row.typed;
        EXPECT_EQ(row.buttons, told.buttons) << row.typed;
        EXPECT_EQ(row.saved, closed()) << row.typed;
        EXPECT_EQ(row.saved ? "sz:" + row.typed + '\0' : "none", setting("IndexFile")) << row.typed;
        EXPECT_EQ(memoBytes, readBytes(memo));
        EXPECT_EQ(utf8Bytes, readBytes(utf8));
        EXPECT_EQ(lockedBytes, readBytes(locked));
        if (!row.saved)
            EXPECT_EQ(IDC_INDEX_FILE, focused()) << row.typed;
        TearDown();
        dialog = 0;
    }
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const std::string& file : {memo, utf8, locked})
        deleteNamed(file);
}

// A save cut off on the Windows 95 family leaves the records under the
// backup's name: the tool puts them back before it looks for the index, and
// never offers to make an empty one in their place.
TEST_F(SettingsDialog, ALoneBackupIsTheIndexAgainBeforeTheToolLooks) {
    const std::string records = "@0c0b8600f5\r\n+kept\r\n\r\n";
    ASSERT_TRUE(writeBytes(index + ".bak", records));
    open();
    MessageBoxSeen none;
    answerMessageBox(&none, IDYES);
    click(IDOK);
    EXPECT_EQ(0, none.shown);
    EXPECT_TRUE(closed());
    EXPECT_EQ(records, readBytes(index));
    EXPECT_EQ("<missing>", readBytes(index + ".bak"));
}

TEST_F(SettingsDialog, AnIndexPathOf128BytesOrMoreIsFoundAndCreated) {
    std::string folder = testFolder() + std::string(100, 'd');
    ASSERT_TRUE(makeFolder(folder) || GetLastError() == ERROR_ALREADY_EXISTS);
    std::string existing = folder + "\\existing.idx", created = folder + "\\created.idx";
    const std::string kept = "@0c0b8600f5\r\n+kept\r\n\r\n";
    ASSERT_TRUE(writeBytes(existing, kept));
    open();
    type(existing);
    MessageBoxSeen none;
    answerMessageBox(&none, IDNO);
    click(IDOK);
    EXPECT_EQ(0, none.shown);
    EXPECT_TRUE(closed());
    EXPECT_EQ(kept, readBytes(existing));
    EXPECT_EQ("sz:" + existing + '\0', setting("IndexFile"));
    modalSteps().clear();
    DestroyWindow(dialog);

    open();
    type(created);
    MessageBoxSeen question;
    answerMessageBox(&question, IDYES);
    click(IDOK);
    EXPECT_EQ(1, question.shown);
    EXPECT_TRUE(closed());
    EXPECT_EQ("", readBytes(created));
    deleteNamed(existing);
    deleteNamed(created);
    removeFolder(folder);
}

TEST_F(SettingsDialog, APathIsCutAt255BytesNeverInsideACharacter) {
    // 254 bytes, then "ソ" across bytes 255 and 256: the cut keeps 254.
    std::string folder = testFolder();
    std::string name(254 - folder.size(), 'n');
    std::string typed = folder + name +
                        "\x83\x5C"
                        "x";
    open();
    type(typed);
    MessageBoxSeen question;
    answerMessageBox(&question, IDYES);
    click(IDOK);
    EXPECT_EQ("曲名ファイル (" + folder + name + ") が見つかりません。\n\n作成しますか？", question.text);
    EXPECT_TRUE(closed());
    EXPECT_EQ("sz:" + folder + name + '\0', setting("IndexFile"));
    EXPECT_EQ("", readBytes(folder + name));
    deleteNamed(folder + name);
}

// ---- AutoPlay ------------------------------------------------------------------

TEST_F(SettingsDialog, AutoPlayPointsAtThePlayerOrTheSystemsCdPlayerWhereItExistsOrIsLeftAlone) {
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    ExpandEnvironmentStringsA("%SystemRoot%\\system32\\cdplayer.exe", system, MAX_PATH);
    const std::string windowsPlayer = std::string(windows) + "\\cdplayer.exe";
    const std::string player = "\"" + testFolder() + "Drovix.exe\" /play";
    struct Row {
        int choice;
        DWORD windows;
        std::string program; // the standard player put in place first, if any
        std::string command; // "none": nothing saved, the user told and choosing again
        bool handler;        // the player's AutoPlay handler registered for the user
    } rows[] = {
        // Quoted: a folder with blanks stays one name when Windows runs it.
        {IDC_AUTOPLAY_PLAYER, kWindows10, "", player, true},
        {IDC_AUTOPLAY_SYSTEM, kWindows10, system, "%SystemRoot%\\system32\\cdplayer.exe /play %1", false},
        {IDC_AUTOPLAY_PLAYER, kWindowsXp, "", player, true},
        {IDC_AUTOPLAY_PLAYER, kWindows2000, "", player, false},
        {IDC_AUTOPLAY_PLAYER, kWindowsNt4, "", player, false},
        {IDC_AUTOPLAY_PLAYER, kWindows98, "", player, false},
        {IDC_AUTOPLAY_SYSTEM, kWindows98, windowsPlayer, windowsPlayer + " /play %1", false},
        // Where the machine's key holds the command, it is left as it is.
        {IDC_AUTOPLAY_SYSTEM, kWindows98, "", "none", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command + " on " + std::to_string(row.windows));
        ASSERT_TRUE(writeBytes(index, ""));
        if (!row.program.empty())
            ASSERT_TRUE(writeBytes(row.program, "MZ"));
        testedWindows = row.windows;
        settingsTool = SettingsTool();
        modalSteps().clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        open();
        click(row.choice);
        MessageBoxSeen missing;
        confirmMessageBox(&missing);
        click(IDOK);
        pump();
        if (row.command == "none") {
            EXPECT_FALSE(closed());
            EXPECT_EQ(IDC_AUTOPLAY_SYSTEM, focused());
            EXPECT_EQ("none", setting("Interval"));
            EXPECT_EQ(1, missing.shown);
            // The 95 family shows its texts through the ANSI calls: its words
            // read as they do on its Japanese edition only where the system's
            // code page is Shift-JIS too.
            if (!(row.windows & 0x80000000) || GetACP() == 932) {
                EXPECT_EQ(
                    "Windows標準のＣＤプレイヤー (cdplayer.exe) が見つかりません。(オートプレイの設定は変更されません)",
                    missing.text);
                EXPECT_EQ("Pelmark ＣＤプレイヤーの設定", missing.caption);
            }
            EXPECT_EQ("ok", missing.buttons);
            EXPECT_TRUE(missing.exclamation);
        } else {
            EXPECT_TRUE(closed());
            EXPECT_EQ(0, missing.shown);
            EXPECT_EQ("sz:" + row.command + '\0', autoPlayCommand());
        }
        // From Windows 2000 on the machine's key is never written.
        if (!(row.windows & 0x80000000) && LOBYTE(row.windows) >= 5)
            EXPECT_EQ("none", keyClass(HKEY_CLASSES_ROOT, kAutoPlayKey));
        if (row.handler) {
            EXPECT_EQ("sz:オーディオ CD の再生" + std::string(1, '\0'),
                      stored(HKEY_CURRENT_USER, kHandlerKey, "Action"));
            EXPECT_EQ("sz:Pelmark ＣＤプレイヤー" + std::string(1, '\0'),
                      stored(HKEY_CURRENT_USER, kHandlerKey, "Provider"));
            EXPECT_EQ("sz:\"" + testFolder() + "Drovix.exe\",0" + '\0',
                      stored(HKEY_CURRENT_USER, kHandlerKey, "DefaultIcon"));
            EXPECT_EQ("sz:Pelmark.Drovix.AudioCD" + std::string(1, '\0'),
                      stored(HKEY_CURRENT_USER, kHandlerKey, "InvokeProgID"));
            EXPECT_EQ("sz:play" + std::string(1, '\0'), stored(HKEY_CURRENT_USER, kHandlerKey, "InvokeVerb"));
            EXPECT_EQ("sz:" + std::string(1, '\0'), stored(HKEY_CURRENT_USER, kEventKey, "PelmarkDrovixPlayCDAudio"));
            EXPECT_EQ("sz:" + player + '\0',
                      stored(HKEY_CURRENT_USER, (std::string(kProgIdKey) + "\\shell\\play\\command").c_str(), 0));
        } else {
            // The standard player's choice takes the handler away.
            EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kHandlerKey));
            EXPECT_EQ("none", stored(HKEY_CURRENT_USER, kEventKey, "PelmarkDrovixPlayCDAudio"));
            EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kProgIdKey));
        }
        if (!row.program.empty())
            deleteNamed(row.program);
        DestroyWindow(dialog);
        dialog = 0;
        if (row.windows != kWindows10)
            forgetAutoPlay();
    }

    // Chosen again, the same command is written again; left alone, it and
    // the handler stay.
    for (int choice : {IDC_AUTOPLAY_PLAYER, IDC_AUTOPLAY_PLAYER, IDC_AUTOPLAY_UNCHANGED}) {
        testedWindows = kWindows10;
        ASSERT_TRUE(writeBytes(index, ""));
        settingsTool = SettingsTool();
        open();
        click(choice);
        click(IDOK);
        EXPECT_EQ("sz:" + player + '\0', autoPlayCommand());
        EXPECT_EQ("sz:play" + std::string(1, '\0'), stored(HKEY_CURRENT_USER, kHandlerKey, "InvokeVerb"));
        DestroyWindow(dialog);
        dialog = 0;
    }
}

// From Windows 2000 on, without the standard player (Me, XP and later have
// none), its choice takes away what the player's AutoPlay wrote for the
// user, so that the machine's own AutoPlay applies again; another program's
// command, handler and choice stay.
TEST_F(SettingsDialog, WithoutTheStandardPlayerItsChoiceGivesTheMachinesAutoPlayBack) {
    const std::string chosenKey = std::string(kHandlers) + "\\UserChosenExecuteHandlers";
    const std::string otherHandler = std::string(kHandlers) + "\\Handlers\\OtherPlayer";
    const std::string other = "\"C:\\Other\\player.exe\" /play";
    auto setValue = [](const std::string& keyName, const char* name, const std::string& text) {
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
        setRegistryText(key, name, text);
        RegCloseKey(key);
    };
    for (DWORD windows : {kWindowsXp, kWindows10, kWindows2000}) {
        for (bool othersCommand : {false, true}) {
            SCOPED_TRACE(std::to_string(windows) + (othersCommand ? ", another program's command" : ""));
            forgetAutoPlay();
            testedWindows = windows;
            ASSERT_TRUE(writeBytes(index, ""));
            open();
            click(IDC_AUTOPLAY_PLAYER);
            click(IDOK);
            ASSERT_TRUE(closed());
            DestroyWindow(dialog);
            // The user chose the player in AutoPlay's own dialog; another
            // program has a handler of its own.
            setValue(chosenKey, "PlayCDAudioOnArrival", "PelmarkDrovixPlayCDAudio");
            setValue(std::string(kEventKey), "OtherPlayer", "");
            setValue(otherHandler, "Action", "other");
            if (othersCommand)
                setValue(kUserAutoPlayKey, 0, other);

            open();
            click(IDC_AUTOPLAY_SYSTEM);
            MessageBoxSeen told;
            confirmMessageBox(&told);
            click(IDOK);
            pump();
            EXPECT_TRUE(closed());
            EXPECT_EQ(1, told.shown);
            EXPECT_EQ("Windows標準のＣＤプレイヤーがないため、プレイヤーのオートプレイの登録を削除しました。"
                      "音楽ＣＤを入れたときは Windows のオートプレイの設定に従います。",
                      told.text);
            EXPECT_EQ(othersCommand ? "sz:" + other + '\0' : "none", autoPlayCommand());
            if (!othersCommand)
                EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kUserAutoPlayParent));
            EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kProgIdKey));
            EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kHandlerKey));
            EXPECT_EQ("none", stored(HKEY_CURRENT_USER, kEventKey, "PelmarkDrovixPlayCDAudio"));
            bool handlers = windows != kWindows2000;
            EXPECT_EQ(handlers ? "none" : "sz:PelmarkDrovixPlayCDAudio" + std::string(1, '\0'),
                      stored(HKEY_CURRENT_USER, chosenKey.c_str(), "PlayCDAudioOnArrival"));
            EXPECT_EQ("sz:" + std::string(1, '\0'), stored(HKEY_CURRENT_USER, kEventKey, "OtherPlayer"));
            EXPECT_EQ("sz:other" + std::string(1, '\0'), stored(HKEY_CURRENT_USER, otherHandler.c_str(), "Action"));
            EXPECT_EQ("dword:333", setting("Interval"));
            DestroyWindow(dialog);
            dialog = 0;
        }
    }
}

// ---- Removal ---------------------------------------------------------------------

// Drovixcfg.exe /uninstall asks, then removes what Drovix keeps outside its
// folder (the settings, the AutoPlay handler, the virtual drive and its
// control key) and names the title index it keeps; the second time there
// is nothing left, and it says so.
TEST_F(SettingsDialog, UninstallRemovesEverythingButTheTitleIndexOnceAndSaysSo) {
    const char kDriveControl[] = "Software\\Drovix\\VirtualDrive";
    PROCESS_INFORMATION install = startProgram("vdrivectl.exe", "install");
    ASSERT_TRUE(install.hProcess);
    ASSERT_EQ(0u, waitForExit(&install, 20000));
    release(&install);
    ASSERT_TRUE(writeBytes(index, "\r\n@0c0b8600f5\r\n+kept\r\n\r\n"));
    open();
    click(IDC_AUTOPLAY_PLAYER);
    click(IDC_CUE_VERB);
    click(IDOK);
    ASSERT_TRUE(closed());
    ASSERT_NE("none", keyClass(HKEY_CURRENT_USER, kCueVerbKey));
    DestroyWindow(dialog);
    dialog = 0;
    pump(); // the quit the dialog posted as it ended
    HKEY control;
    RegCreateKeyExA(HKEY_CURRENT_USER, kDriveControl, 0, 0, 0, KEY_ALL_ACCESS, 0, &control, 0);
    RegCloseKey(control);

    // Its messages are those of a window here, so that the test finds them.
    HWND owner = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, 0, 0, 0, 0);
    // Not while the player runs, which would write its settings again as it
    // ends (this process stands for it).
    HANDLE player = CreateMutexA(0, TRUE, "PELMARKCDPLAYER.running");
    MessageBoxSeen refused;
    confirmMessageBox(&refused);
    EXPECT_EQ(1, settingsTool.uninstall(owner));
    EXPECT_EQ("プレイヤー (Drovix.exe) が動いています。終了してから、もう一度実行してください。", refused.text);
    EXPECT_EQ("dword:333", setting("Interval"));
    CloseHandle(player);
    // Asked first: No leaves everything.
    MessageBoxSeen asked;
    answerMessageBox(&asked, IDNO);
    EXPECT_EQ(0, settingsTool.uninstall(owner));
    EXPECT_EQ("yes no", asked.buttons);
    EXPECT_EQ("dword:333", setting("Interval"));

    MessageBoxSeen told;
    answerMessageBox(&asked, IDYES);
    confirmMessageBox(&told);
    EXPECT_EQ(0, settingsTool.uninstall(owner));
    EXPECT_EQ("Drovix の設定、オートプレイの登録、仮想ＣＤドライブを取り除きます。曲名ファイルは削除しません。"
              "\n\nよろしいですか？",
              asked.text);
    EXPECT_EQ("Drovix の設定、オートプレイの登録、仮想ＣＤドライブを取り除きました。"
              "\n\n曲名ファイルは残してあります。不要なら削除してください:\n  " + index,
              told.text);
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kSettingsKey));
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, "Software\\Pelmark"));
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, "Software\\Drovix"));
    EXPECT_EQ("none", autoPlayCommand());
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kHandlerKey));
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kProgIdKey));
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, "Software\\Classes\\SystemFileAssociations"));
    // No empty key of Drovix's stays: the handler's, the user's, the machine's.
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kHandlers));
    EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, kUserAutoPlayParent));
    EXPECT_EQ("none", keyClass(HKEY_LOCAL_MACHINE, "SOFTWARE\\Drovix"));
    EXPECT_EQ("\r\n@0c0b8600f5\r\n+kept\r\n\r\n", readBytes(index));
    EXPECT_EQ("mcicda.dll", stored(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32",
                                   "cdaudio").substr(3, 10));

    MessageBoxSeen again;
    confirmMessageBox(&again);
    EXPECT_EQ(0, settingsTool.uninstall(owner));
    EXPECT_EQ("Drovix の設定や登録は残っていません。取り除くものはありません。"
              "\n\n曲名ファイルは残してあります。不要なら削除してください:\n  " + index,
              again.text);
    EXPECT_EQ("ok", again.buttons);
    DestroyWindow(owner);
}

// A key that must stay in memory takes no key that must not: a volatile
// parent refuses the key the tool writes. A refused AutoPlay key is told and
// the settings are saved all the same; a refused settings key is told and
// the dialog stays open, AutoPlay untouched, until OK can save.
TEST_F(SettingsDialog, AKeyThatCannotBeWrittenIsToldOnce) {
    const std::string player = "sz:\"" + testFolder() + "Drovix.exe\" /play" + '\0';
    struct Row {
        HKEY root;
        const char* parent;
        const char* text;
        bool closes;
    } rows[] = {
        {HKEY_CURRENT_USER, "Software\\Classes\\AudioCD",
         "内部エラーが発生しました。(オートプレイの設定は変更されません)"
         "\n\nSoftware\\Classes\\AudioCD\\shell\\play\\command",
         true},
        {HKEY_CURRENT_USER, "Software\\Pelmark", "設定を保存できませんでした。", false},
    };
    for (const Row& row : rows) {
        SetUp();
        RegDeleteTreeA(row.root, row.parent);
        HKEY parent;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(row.root, row.parent, 0, 0, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, 0, &parent, 0));
        RegCloseKey(parent);
        ASSERT_TRUE(writeBytes(index, ""));
        open();
        click(IDC_AUTOPLAY_PLAYER);
        MessageBoxSeen refused;
        confirmMessageBox(&refused);
        click(IDOK);
        pump();
        EXPECT_EQ(1, refused.shown) << row.text;
        EXPECT_EQ(row.text, refused.text);
        EXPECT_EQ("Pelmark ＣＤプレイヤーの設定", refused.caption);
        EXPECT_EQ("ok", refused.buttons);
        EXPECT_TRUE(refused.exclamation);
        EXPECT_EQ(row.closes, closed()) << row.text;
        EXPECT_EQ("none", autoPlayCommand()) << row.text;
        EXPECT_EQ(row.closes ? "dword:333" : "none", setting("Interval")) << row.text;
        RegDeleteTreeA(row.root, row.parent);
        if (!row.closes) {
            modalSteps().clear();
            click(IDOK);
            EXPECT_TRUE(closed());
            EXPECT_EQ("dword:333", setting("Interval"));
            EXPECT_EQ(player, autoPlayCommand());
        }
        TearDown();
        dialog = 0;
    }
}

// ---- Browse and Help -------------------------------------------------------------

TEST_F(SettingsDialog, BrowseFillsThePathAndCancelAfterItStillWritesNothing) {
    std::string chosen = testFolder() + "browsed.idx";
    ASSERT_TRUE(writeBytes(chosen, ""));
    for (int close : {IDCANCEL, IDOK}) {
        SetUp();
        open();
        static std::string name;
        name = chosen;
        whenShown(kDialogClass, [](HWND openDialog) {
            // The file name field of the platform's Open dialog.
            putText(GetDlgItem(openDialog, 0x47C), name);
            putText(GetDlgItem(openDialog, 0x480), name);
            PostMessageA(openDialog, WM_COMMAND, IDOK, 0);
        });
        click(IDC_BROWSE);
        EXPECT_EQ(chosen, controlText(dialog, IDC_INDEX_FILE));
        click(close);
        EXPECT_TRUE(closed());
        EXPECT_EQ(close == IDOK ? "sz:" + chosen + '\0' : "none", setting("IndexFile"));
        TearDown();
        dialog = 0;
    }
    deleteNamed(chosen);
}

// Browse opens where the index the field names lies.
TEST_F(SettingsDialog, BrowseOpensInTheIndexsFolder) {
    std::string folder = testFolder() + "browse-here";
    makeFolder(folder);
    ASSERT_TRUE(writeBytes(folder + "\\titles.idx", ""));
    storeText("IndexFile", folder + "\\titles.idx");
    open();
    static std::string shownFolder;
    shownFolder = "not shown";
    whenShown(kDialogClass, [](HWND openDialog) {
        // The ANSI dialog on the Windows 95 family answers in Shift-JIS.
        wchar_t path[MAX_PATH] = {};
        char ansiPath[MAX_PATH] = {};
        if (IsWindowUnicode(openDialog)) {
            SendMessageW(openDialog, CDM_GETFOLDERPATH, MAX_PATH, (LPARAM)path);
            shownFolder = shiftJis(path);
        } else {
            SendMessageA(openDialog, CDM_GETFOLDERPATH, MAX_PATH, (LPARAM)ansiPath);
            shownFolder = ansiPath;
        }
        PostMessageA(openDialog, WM_COMMAND, IDCANCEL, 0);
    });
    click(IDC_BROWSE);
    EXPECT_EQ(folder, shownFolder);
    deleteNamed(folder + "\\titles.idx");
    removeFolder(folder);
}

// The Help button, or F1 in whichever control has the focus.
TEST_F(SettingsDialog, HelpOpensTheGuideBesideTheToolAndClosesItAtTheEnd) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.window);
    for (bool byKey : {false, true})
        for (int close : {IDCANCEL, IDOK}) {
            SCOPED_TRACE(byKey ? "F1" : "the Help button");
            ASSERT_TRUE(writeBytes(index, ""));
            helpRequests.clear();
            open();
            if (byKey) {
                pressF1In(dialog);
                pump();
            }
            else
                click(IDC_SETTINGS_HELP);
            EXPECT_FALSE(closed());
            click(close);
            ASSERT_EQ(2u, helpRequests.size()) << close;
            EXPECT_EQ((UINT)HELP_CONTENTS, helpRequests[0].command);
            EXPECT_EQ(testFolder() + "drovix.hlp", helpRequests[0].file);
            EXPECT_EQ(dialog, helpRequests[0].from);
            EXPECT_EQ((UINT)HELP_QUIT, helpRequests[1].command) << close;
            DestroyWindow(dialog);
            dialog = 0;
        }
}

// Where Windows has no WinHelp viewer (NT 6.0 on), Help opens the guide page
// beside the tool; a page that cannot be opened is told, and WinHelp is
// never asked to close what it never showed.
TEST_F(SettingsDialog, WithoutAWinHelpViewerHelpOpensTheGuidePageOrSaysItCannot) {
    HelpViewer viewer;
    std::string page = testFolder() + "guide.html";
    ASSERT_TRUE(writeBytes(page, "<html></html>"));
    char previousClass[64] = {};
    LONG size = sizeof previousClass;
    RegQueryValueA(HKEY_CLASSES_ROOT, ".html", previousClass, &size);
    RegSetValueA(HKEY_CLASSES_ROOT, ".html", REG_SZ, "DrovixNoBrowser", 0);
    RegSetValueA(HKEY_CLASSES_ROOT, "DrovixNoBrowser\\shell\\open\\command", REG_SZ, "C:\\no\\browser.exe %1", 0);
    windowsVersion = [] { return (DWORD)0x00000006; };
    helpRequests.clear();
    open();
    MessageBoxSeen told;
    confirmMessageBox(&told);
    click(IDC_SETTINGS_HELP);
    EXPECT_EQ(1, told.shown);
    EXPECT_EQ("説明のページ " + page + " を開けませんでした.", told.text);
    EXPECT_EQ("Pelmark ＣＤプレイヤーの設定", told.caption);
    click(IDCANCEL);
    EXPECT_TRUE(helpRequests.empty());
    windowsVersion = [] { return GetVersion(); };
    RegSetValueA(HKEY_CLASSES_ROOT, ".html", REG_SZ, previousClass, 0);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "DrovixNoBrowser");
    deleteNamed(page);
}

TEST_F(SettingsDialog, TheToolCarriesItsIconAndItsJapaneseName) {
    HMODULE self = GetModuleHandleA(0);
    HRSRC group = FindResourceA(self, "IDI_DROVIXCFG", (LPCSTR)RT_GROUP_ICON);
    ASSERT_TRUE(group);
    HRSRC image = FindResourceA(self, MAKEINTRESOURCEA(1), (LPCSTR)RT_ICON);
    ASSERT_TRUE(image);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)LockResource(LoadResource(self, image));
    EXPECT_EQ(32, header->biWidth);
    EXPECT_EQ(64, header->biHeight); // the image and its mask
    EXPECT_EQ(4, header->biBitCount);

    char program[MAX_PATH];
    GetModuleFileNameA(0, program, MAX_PATH);
    DWORD unused, size = GetFileVersionInfoSizeA(program, &unused);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(program, 0, size, info.data()));
    // What the shell shows of the program.
    const struct {
        const char* name;
        const char* value;
    } values[] = {
        {"FileDescription", "Pelmark ＣＤプレイヤー設定ツール"},
        {"ProductName", "Pelmark ＣＤプレイヤー設定ツール ver1.01"},
    };
    for (const auto& value : values) {
        wchar_t* text = 0;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\041104b0\\") + value.name;
        ASSERT_TRUE(VerQueryValueW(info.data(), wide(query).c_str(), (void**)&text, &length)) << value.name;
        EXPECT_EQ(value.value, shiftJis(text));
    }
}
