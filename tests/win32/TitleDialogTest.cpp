// The track title dialog driven as a user drives it (real focus, Enter
// through the dialog manager, clicks on the buttons and the list), what the
// title index holds after each save, every failure the user is told of, and
// the About box.
#include "../../engine/DiscEngine.h"
#include "../../common/IndexWords.h"
#include "../../common/WindowsVersion.h"
#include "../../player/Texts.h"
#include "HelpViewer.h"
#include "Modal.h"
#include "SaveFileWords.h"
#include "PlayerTest.h"
#include "TextsFit.h"
#include "Shot.h"

#include <commctrl.h>

#include <vector>

namespace {

// The simulated disc: 3 tracks, 486 s in all, track 1 of 185 s.
const char kDiscId[] = "@0301e600b9";

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

} // namespace

class TitleDialog : public Player {
  protected:
    HWND dialog = 0;
    std::string index;
    std::string temp;

    void SetUp() override {
        Player::SetUp();
        storeDword("Interval", 5000);
        storeText("IndexFile", "dialog-test.idx");
        index = programDirectory() + "dialog-test.idx";
        temp = programDirectory() + "drovix.tmp";
        removeFiles();
    }

    void TearDown() override {
        if (dialog)
            DestroyWindow(dialog);
        Player::TearDown();
        removeFiles();
    }

    void removeFiles() {
        SetFileAttributesA(index.c_str(), FILE_ATTRIBUTE_NORMAL);
        deleteNamed(index);
        removeFolder(index);
        removeFolder(temp);
        deleteNamed(temp);
    }

    // The player with its disc seen, and the dialog open on it, modeless so
    // that the test can act between messages.
    void open() {
        start();
        timerTick();
        dialog = createDialogAsShown(IDD_TITLES, window, titleDialogProc);
        ASSERT_TRUE(dialog);
        pump();
    }

    // Messages go through the dialog manager, as the modal loop sends them.
    void pump() {
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT || IsDialogMessageA(dialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    int focused() { return GetDlgCtrlID(GetFocus()); }

    // Types over the selected text of the focused edit.
    void type(const char* text) { typeInto(GetFocus(), text); }

    // Text put on the clipboard as another program puts it, and pasted.
    void paste(HWND edit, const std::wstring& text) {
        size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        ASSERT_TRUE(OpenClipboard(dialog));
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        SendMessageW(edit, WM_PASTE, 0, 0);
        pump();
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

    void clickListItem(int index) {
        HWND list = GetDlgItem(dialog, IDC_TRACK_LIST);
        RECT item;
        SendMessageA(list, LB_GETITEMRECT, index, (LPARAM)&item);
        LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(list, WM_LBUTTONUP, 0, point);
        pump();
    }

    std::string listItem(int index) { return listText(GetDlgItem(dialog, IDC_TRACK_LIST), index); }

    // The whole edit's text is selected, ready to be typed over.
    bool allSelected(int id) {
        DWORD start = 0, end = 0;
        SendDlgItemMessageA(dialog, id, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        return start == 0 && end == controlText(dialog, id).size();
    }

    bool closed() { return !IsWindowVisible(dialog); }

    // For a test of several cases: the next case starts afresh.
    void startOver() {
        DestroyWindow(dialog);
        dialog = 0;
        finish();
        TearDown();
        SetUp();
    }

    // Title, artist and the names typed with Enter after each.
    void typeWithEnter(std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            type(text);
            pressEnter();
        }
    }
};

// What the user sees, in stacking order (the tab control beneath the rest
// as the page's frame).
TEST_F(TitleDialog, ShowsItsControlsInOrderWithTheirTexts) {
    open();
    EXPECT_EQ("ＣＤプレイヤー / MS UI Gothic\n1201 タイトル :\n1202 アーチスト :\n1204 トラック  1 :\n1206 Title\n"
              "1205 Artist\n1207 Track  1\n1208 \n1203 タイトルの入力\n1209 常に手前に表示\n1210 バージョン情報...\n"
              "1211 OK\n1212 キャンセル\n1213 ヘルプ\n1214 Drovix\n",
              shownControls(dialog));
    wchar_t tabText[32] = {};
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = tabText;
    tab.cchTextMax = 32;
    EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_TITLE_TAB, TCM_GETITEMCOUNT, 0, 0));
    SendDlgItemMessageW(dialog, IDC_TITLE_TAB, TCM_GETITEMW, 0, (LPARAM)&tab);
    EXPECT_EQ("曲名の設定", shiftJis(tabText));
}

TEST_F(TitleDialog, EnterMovesFromTitleToArtistToTracksAndWrapsAfterTheLast) {
    open();
    EXPECT_EQ(IDC_TITLE_EDIT, focused());
    EXPECT_TRUE(allSelected(IDC_TITLE_EDIT));
    typeWithEnter({"Morning"});
    EXPECT_EQ(IDC_ARTIST_EDIT, focused());
    EXPECT_TRUE(allSelected(IDC_ARTIST_EDIT));
    typeWithEnter({"Pelmark Trio"});
    EXPECT_EQ(IDC_TRACK_EDIT, focused());
    EXPECT_EQ("Track  1", controlText(dialog, IDC_TRACK_EDIT));

    typeWithEnter({"One"});
    EXPECT_EQ("トラック  2 :", controlText(dialog, IDC_TRACK_LABEL));
    EXPECT_EQ("Track  2", controlText(dialog, IDC_TRACK_EDIT));
    EXPECT_TRUE(allSelected(IDC_TRACK_EDIT));
    EXPECT_EQ(IDC_TRACK_EDIT, focused());
    EXPECT_EQ("One", listItem(0));
    typeWithEnter({"Two", "Three"});
    EXPECT_EQ("トラック  1 :", controlText(dialog, IDC_TRACK_LABEL));
    EXPECT_EQ("One", controlText(dialog, IDC_TRACK_EDIT));
    EXPECT_FALSE(closed());

    // Enter in the list only brings the focus back to the edit.
    SetFocus(GetDlgItem(dialog, IDC_TRACK_LIST));
    pressEnter();
    EXPECT_EQ(IDC_TRACK_EDIT, focused());

    click(IDC_OK);
    EXPECT_TRUE(closed());
    EXPECT_EQ(std::string("\r\n") + kDiscId + "\r\n+Morning\r\n-Pelmark Trio\r\n#One\r\n#Two\r\n#Three\r\n\r\n",
              readBytes(index));
    timerTick();
    EXPECT_STREQ("Morning / Pelmark Trio", playerWindow.shownTitleLine);
    EXPECT_STREQ(" 1. One", playerWindow.shownTrackLine);
}

TEST_F(TitleDialog, OnAOneTrackDiscEnterKeepsTrackOne) {
    sim.setDisc({100});
    open();
    typeWithEnter({"T", "A", "Only"});
    EXPECT_EQ("トラック  1 :", controlText(dialog, IDC_TRACK_LABEL));
    EXPECT_EQ("Only", controlText(dialog, IDC_TRACK_EDIT));
    EXPECT_EQ("Only", listItem(0));
    EXPECT_EQ(1, SendDlgItemMessageA(dialog, IDC_TRACK_LIST, LB_GETCOUNT, 0, 0));
}

TEST_F(TitleDialog, AClickOnAnotherTrackStoresTheEditedNameFirst) {
    open();
    typeWithEnter({"T", "A"});
    type("Uno");
    clickListItem(2);
    EXPECT_EQ("Uno", listItem(0));
    EXPECT_EQ("トラック  3 :", controlText(dialog, IDC_TRACK_LABEL));
    EXPECT_EQ("Track  3", controlText(dialog, IDC_TRACK_EDIT));
    EXPECT_EQ(IDC_TRACK_EDIT, focused());
    // A click on the track being edited, and a change that the list reports
    // for an unchanged selection, keep editing that track.
    type("Tres");
    clickListItem(2);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TRACK_LIST, LBN_SELCHANGE),
                 (LPARAM)GetDlgItem(dialog, IDC_TRACK_LIST));
    pump();
    EXPECT_EQ(2, SendDlgItemMessageA(dialog, IDC_TRACK_LIST, LB_GETCURSEL, 0, 0));
    EXPECT_EQ("トラック  3 :", controlText(dialog, IDC_TRACK_LABEL));
    EXPECT_EQ("Tres", controlText(dialog, IDC_TRACK_EDIT));
    clickListItem(1);
    EXPECT_EQ("トラック  2 :", controlText(dialog, IDC_TRACK_LABEL));
    clickListItem(1);
    EXPECT_EQ(1, SendDlgItemMessageA(dialog, IDC_TRACK_LIST, LB_GETCURSEL, 0, 0));
    EXPECT_EQ("トラック  2 :", controlText(dialog, IDC_TRACK_LABEL));
    EXPECT_EQ("Track  2", controlText(dialog, IDC_TRACK_EDIT));
    clickListItem(2);
    // OK without Enter keeps the name being typed.
    click(IDC_OK);
    EXPECT_EQ(std::string("\r\n") + kDiscId + "\r\n+T\r\n-A\r\n#Uno\r\n#Track  2\r\n#Tres\r\n\r\n", readBytes(index));
}

// "&", full-width characters and 50 bytes of Japanese: stored byte for byte,
// and shown as typed in the caption and the track list menu.
TEST_F(TitleDialog, NamesAreStoredAndShownAsTyped) {
    const std::string fifty = "ソナタ表"
                              "ソナタ表"
                              "ソナタ表"
                              "ソナタ表"
                              "ソナタ表"
                              "ソナタ表"
                              "ソ";
    ASSERT_EQ(50u, fifty.size());
    open();
    typeWithEnter({"Rock & Roll", "ＡＢＣ＆Ｄ", "Tom & Jerry", fifty.c_str()});
    click(IDC_OK);
    EXPECT_EQ(std::string("\r\n") + kDiscId + "\r\n+Rock & Roll\r\n-ＡＢＣ＆Ｄ\r\n#Tom & Jerry\r\n#" + fifty +
                  "\r\n#Track  3\r\n\r\n",
              readBytes(index));
    timerTick();
    EXPECT_EQ("Rock & Roll / ＡＢＣ＆Ｄ", windowText(window));
    HMENU menu = CreatePopupMenu();
    playerWindow.buildMenu(menu, kTrackListMenu);
    EXPECT_EQ(" 1 ( 3：05)\tTom && Jerry", menuText(menu, 0));
    DestroyMenu(menu);
}

TEST_F(TitleDialog, TypingStopsAtFiftyBytesButAStoredLongerNameShowsWhole) {
    std::string stored(60, 's');
    ASSERT_TRUE(writeBytes(index, std::string(kDiscId) + "\r\n#" + stored + "\r\n\r\n"));
    open();
    EXPECT_EQ(stored, listItem(0));
    EXPECT_EQ(stored, controlText(dialog, IDC_TRACK_EDIT));
    // Typed a character at a time: the limit counts Shift-JIS bytes, never
    // splits a character, and refuses one that Shift-JIS lacks.
    const struct {
        std::vector<std::wstring> typed;
        std::string kept;
    } rows[] = {
        {std::vector<std::wstring>(60, L"x"), std::string(50, 'x')},
        {std::vector<std::wstring>(30, L"ソ"), "ソソソソソソソソソソソソソソソソソソソソソソソソソ"},
        {{std::wstring(49, L'x'), L"表", L"x"}, std::string(50, 'x')},
        {{L"a", L"\uD55C", L"b"}, "ab"},
    };
    HWND title = GetDlgItem(dialog, IDC_TITLE_EDIT);
    SetFocus(title);
    for (const auto& row : rows) {
        putText(title, "");
        for (const std::wstring& piece : row.typed)
            SendMessageW(title, EM_REPLACESEL, TRUE, (LPARAM)piece.c_str());
        EXPECT_EQ(row.kept, controlText(dialog, IDC_TITLE_EDIT));
    }
    // The stored longer name shortens, and takes nothing more.
    HWND track = GetDlgItem(dialog, IDC_TRACK_EDIT);
    SendMessageW(track, EM_SETSEL, 59, 60);
    typeInto(track, "");
    typeInto(track, "t");
    EXPECT_EQ(std::string(59, 's'), controlText(dialog, IDC_TRACK_EDIT));
}

// A paste that is too long is cut at the limit as a Japanese Windows's edit
// cuts it, never inside a character; what stood around it stays.
TEST_F(TitleDialog, ALongPasteIsCutAtTheLimitNeverInsideACharacter) {
    open();
    HWND title = GetDlgItem(dialog, IDC_TITLE_EDIT);
    SetFocus(title);
    const struct {
        std::string before;
        int caret;
        std::wstring pasted;
        std::string kept;
    } rows[] = {
        {"", 0, std::wstring(26, L'\u3042'), "あああああああああああああああああああああああああ"},
        {std::string(49, 'x'), 49, L"\u8868x", std::string(49, 'x')},
        {std::string(48, 'x'), 48, L"\u8868x", std::string(48, 'x') + "表"},
        {"ab", 1, std::wstring(60, L'y'), "a" + std::string(48, 'y') + "b"},
    };
    for (const auto& row : rows) {
        putText(title, row.before);
        SendMessageW(title, EM_SETSEL, row.caret, row.caret);
        paste(title, row.pasted);
        EXPECT_EQ(row.kept, controlText(dialog, IDC_TITLE_EDIT)) << row.before;
    }
}

// Text pasted from a web page or another system: the JIS forms become the
// characters a Japanese Windows shows for them; what Shift-JIS lacks is
// refused whole.
// Also as NT 4, which refuses the flag that keeps a character from becoming
// its look-alike: there the conversion is checked by converting back.
TEST_F(TitleDialog, PastedJisFormsAreStoredAsAJapaneseWindowsShowsThem) {
    const struct {
        const wchar_t* pasted;
        std::string kept;
    } rows[] = {
        {L"\u301C\u2016\u2212\u00A2\u00A3\u00AC\u2014", "\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA\x81\x5C"},
        {L"a\uD55Cb", ""},
        {L"Zo\u00EB", ""},
    };
    typedef DWORD (*VersionCall)();
    const VersionCall versions[] = {windowsVersion, [] { return (DWORD)0x00000004; }};
    for (size_t tried = 0; tried < sizeof versions / sizeof versions[0]; tried++) {
        VersionCall windows = versions[tried];
        VersionCall before = windowsVersion;
        windowsVersion = windows;
        open();
        HWND title = GetDlgItem(dialog, IDC_TITLE_EDIT);
        for (const auto& row : rows) {
            putText(title, "");
            paste(title, row.pasted);
            click(IDC_OK);
            EXPECT_EQ(std::string("\r\n") + kDiscId + "\r\n+" + row.kept +
                          "\r\n-Artist\r\n#Track  1\r\n#Track  2\r\n#Track  3\r\n\r\n",
                      readBytes(index))
                << "as version " << windows();
            startOver();
            open();
            title = GetDlgItem(dialog, IDC_TITLE_EDIT);
        }
        DestroyWindow(dialog);
        dialog = 0;
        windowsVersion = before;
    }
}

// Cancel, Escape on a field and Alt+F4 (the system menu's Close) alike.
TEST_F(TitleDialog, CancelEscapeAndAltF4ChangeNeitherNamesNorTheIndexNorAlwaysOnTop) {
    const struct {
        const char* how;
        std::function<void()> close;
    } rows[] = {
        {"Cancel", [this] { click(IDC_CANCEL); }},
        {"Escape",
         [this] {
             PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
             pump();
         }},
        {"Alt+F4",
         [this] {
             SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
             pump();
         }},
    };
    for (const auto& row : rows) {
        open();
        typeWithEnter({"Morning", "Trio", "One"});
        click(IDC_TOPMOST_CHECK);
        EXPECT_TRUE(checked(dialog, IDC_TOPMOST_CHECK));
        SetFocus(GetDlgItem(dialog, IDC_TRACK_EDIT));
        row.close();
        EXPECT_TRUE(closed()) << row.how;
        EXPECT_STREQ("Title", playerWindow.titles.title) << row.how;
        EXPECT_STREQ("Track  1", playerWindow.titles.tracks[0]) << row.how;
        EXPECT_EQ(0u, playerWindow.topMost) << row.how;
        EXPECT_EQ("<missing>", readBytes(index)) << row.how;
        startOver();
    }
}

TEST_F(TitleDialog, WithoutADiscOnlyAlwaysOnTopCanBeSet) {
    sim.mediaPresent = 0;
    open();
    for (int id : {IDC_TITLE_LABEL, IDC_ARTIST_LABEL, IDC_TITLE_GROUP, IDC_TRACK_LABEL, IDC_ARTIST_EDIT, IDC_TITLE_EDIT,
                   IDC_TRACK_EDIT, IDC_TRACK_LIST})
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    for (int id : {IDC_TOPMOST_CHECK, IDC_ABOUT_BUTTON, IDC_OK, IDC_CANCEL, IDC_HELP_BUTTON, IDC_TITLE_TAB})
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    EXPECT_EQ(IDC_TOPMOST_CHECK, focused());
    click(IDC_TOPMOST_CHECK);
    // Enter on the check box closes with OK.
    pressEnter();
    EXPECT_TRUE(closed());
    EXPECT_EQ(1u, playerWindow.topMost);
    EXPECT_EQ("<missing>", readBytes(index));
}

TEST_F(TitleDialog, NamesAreNeverStoredForADiscTheDialogWasNotFilledForAndTheUserIsTold) {
    struct Row {
        const char* change;
        bool withDiscAtOpen;
        std::vector<uint32_t> after; // empty: the drive stays empty
    } rows[] = {
        {"swapped", true, {200, 100}},
        {"removed", true, {}},
        {"inserted", false, {185, 240, 61}},
    };
    for (const Row& row : rows) {
        sim.mediaPresent = row.withDiscAtOpen;
        open();
        if (row.withDiscAtOpen)
            typeWithEnter({"Typed", "For", "Another"});
        sim.mediaPresent = 0;
        timerTick();
        if (!row.after.empty()) {
            sim.setDisc(row.after);
            sim.mediaPresent = 1;
            timerTick();
        }
        click(IDC_TOPMOST_CHECK);
        MessageBoxSeen told;
        confirmMessageBox(&told);
        click(IDC_OK);
        EXPECT_TRUE(closed()) << row.change;
        // Names typed for the disc that went are not dropped without a word.
        EXPECT_EQ(row.withDiscAtOpen ? 1 : 0, told.shown) << row.change;
        if (row.withDiscAtOpen) {
            EXPECT_EQ(row.after.empty() ? kTextDiscRemoved : kTextDiscChanged, told.text) << row.change;
            EXPECT_EQ("ＣＤプレイヤー", told.caption);
            EXPECT_TRUE(told.exclamation);
        }
        EXPECT_EQ(1u, playerWindow.topMost) << row.change;
        EXPECT_EQ("<missing>", readBytes(index)) << row.change;
        EXPECT_STREQ("Title", playerWindow.titles.title) << row.change;
        modalSteps().clear();
        startOver();
    }
}

TEST_F(TitleDialog, AFailedSaveIsToldAndKeepsTheDialogOpenWithEverythingTyped) {
    const std::string before = "\r\n@0c0b8600f5\r\n+Other disc\r\n\r\n";
    auto naming = [](const char* format, const std::string& path) {
        char text[1024];
        snprintf(text, sizeof text, format, path.c_str());
        return std::string(text);
    };
    auto refused = [&](const std::string& path, IndexCheck found) {
        char words[kIndexWordsSize];
        describeRefusedIndex(path.c_str(), found, words, sizeof words);
        return naming(kTextNotAnIndex, words);
    };
    struct Row {
        const char* why;
        std::function<void(const std::string& index, const std::string& temp)> arrange;
        std::string message;
        // Hard links exist on the NT family only.
        bool ntOnly = false;
    } rows[] = {
        {"no temporary file", [](const std::string& index, const std::string& temp) { makeFolder(temp); },
         kTextTempFailed},
        {"index is a folder",
         [](const std::string& index, const std::string& temp) {
             storeText("IndexFile", index);
             makeFolder(index);
         },
         kTextSaveFailed},
        {"index is the temporary file",
         [&](const std::string& index, const std::string& temp) {
             writeBytes(temp, before);
             storeText("IndexFile", "DROVIX.TMP");
         },
         saveFileWords(programDirectory() + "DROVIX.TMP")},
        {"index is the temporary file, spelt with a dot folder",
         [&](const std::string& index, const std::string& temp) {
             writeBytes(temp, before);
             storeText("IndexFile", programDirectory() + ".\\drovix.tmp");
         },
         saveFileWords(programDirectory() + ".\\drovix.tmp")},
        {"index is the temporary file under another name (a hard link)",
         [&](const std::string& index, const std::string& temp) {
             writeBytes(temp, before);
             CreateHardLinkA(index.c_str(), temp.c_str(), 0);
         },
         saveFileWords(index), true},
        {"a memo chosen as the index",
         [](const std::string& index, const std::string& temp) { writeBytes(index, "\r\nTo do:\r\nmilk\r\n"); },
         refused(index, IndexCheck{kIndexNoRecordLine, 2})},
        {"an index saved again by Notepad as UTF-8",
         [&](const std::string& index, const std::string& temp) { writeBytes(index, "\xEF\xBB\xBF" + before); },
         refused(index, IndexCheck{kIndexUtf8Mark, 0})},
        {"a read-only index",
         [&](const std::string& index, const std::string& temp) {
             writeBytes(index, before);
             SetFileAttributesA(index.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         naming(kTextIndexReadOnly, index)},
    };
    for (const Row& row : rows) {
        if (row.ntOnly && (GetVersion() & 0x80000000))
            continue;
        row.arrange(index, temp);
        ASSERT_FALSE(HasFatalFailure());
        std::string indexBefore = readBytes(index), tempBefore = readBytes(temp);
        open();
        typeWithEnter({"Kept", "Typed"});
        MessageBoxSeen seen;
        confirmMessageBox(&seen);
        click(IDC_OK);
        EXPECT_FALSE(closed()) << row.why;
        EXPECT_EQ(1, seen.shown) << row.why;
        EXPECT_EQ(row.message, seen.text) << row.why;
        EXPECT_EQ("ＣＤプレイヤー", seen.caption) << row.why;
        EXPECT_EQ("ok", seen.buttons) << row.why;
        EXPECT_TRUE(seen.exclamation) << row.why;
        EXPECT_EQ("Kept", controlText(dialog, IDC_TITLE_EDIT)) << row.why;
        EXPECT_EQ("Typed", controlText(dialog, IDC_ARTIST_EDIT)) << row.why;
        EXPECT_STREQ("Title", playerWindow.titles.title) << row.why;
        EXPECT_EQ(indexBefore, readBytes(index)) << row.why;
        EXPECT_EQ(tempBefore, readBytes(temp)) << row.why;
        timerTick();
        EXPECT_STREQ("Title / Artist", playerWindow.shownTitleLine) << row.why;
        modalSteps().clear();
        click(IDC_CANCEL);
        EXPECT_TRUE(closed()) << row.why;
        startOver();
    }

    // Once the cause is gone, OK again stores what was typed, also what was
    // typed into the track's edit after the failure.
    makeFolder(temp);
    open();
    typeWithEnter({"Kept", "Typed"});
    MessageBoxSeen seen;
    confirmMessageBox(&seen);
    click(IDC_OK);
    EXPECT_FALSE(closed());
    removeFolder(temp);
    typeInto(GetDlgItem(dialog, IDC_TRACK_EDIT), "Late");
    click(IDC_OK);
    EXPECT_TRUE(closed());
    EXPECT_EQ(std::string("\r\n") + kDiscId + "\r\n+Kept\r\n-Typed\r\n#Late\r\n#Track  2\r\n#Track  3\r\n\r\n",
              readBytes(index));
}

TEST_F(TitleDialog, Command2010OpensItAtTheOwnersCornerAndAppliesAlwaysOnTopAfterwards) {
    storeDword("WindowLeft", 40);
    storeDword("WindowTop", 30);
    start();
    timerTick();
    static HWND owner;
    static POINT corner;
    owner = 0;
    whenShown(kDialogClass, [](HWND shown) {
        owner = GetWindow(shown, GW_OWNER);
        corner = {0, 0};
        ClientToScreen(shown, &corner);
        typeInto(GetDlgItem(shown, IDC_TITLE_EDIT), "Morning");
        SendDlgItemMessageA(shown, IDC_TOPMOST_CHECK, BM_CLICK, 0, 0);
        pumpMessages(200);
        Shot(shown, true).save("title-dialog.bmp");
        SendDlgItemMessageA(shown, IDC_OK, BM_CLICK, 0, 0);
    });
    SendMessageA(window, WM_COMMAND, IDC_SET_TITLES, 0);
    EXPECT_EQ(window, owner);
    // The template's (0, 0) places the dialog's client area there.
    EXPECT_EQ(40, corner.x);
    EXPECT_EQ(30, corner.y);
    EXPECT_EQ(1u, playerWindow.topMost);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_STREQ("Morning", playerWindow.titles.title);
}

// Every label and button shows its whole text, and the face its clock,
// whatever fonts the system has: the run checks this with and without the
// test set-up's font replacements, as a user's system is.
TEST_F(TitleDialog, TextsFitTheirControlsAndTheClockItsBox) {
    open();
    putText(GetDlgItem(dialog, IDC_TRACK_LABEL), "トラック 99 :");
    EXPECT_EQ("", cutTexts(dialog));
    static std::string aboutCut;
    aboutCut = "not shown";
    whenShown(kDialogClass, [](HWND about) {
        aboutCut = cutTexts(about);
        SendDlgItemMessageA(about, IDC_OK, BM_CLICK, 0, 0);
    });
    click(IDC_ABOUT_BUTTON);
    EXPECT_EQ("", aboutCut);
    HFONT face = playerWindow.createFaceFont();
    for (const char* clock : {"00：00", " 0：03", "59：59"})
        EXPECT_LE(textWidthIn(face, clock), 36) << clock;
    DeleteObject(face);
}

// ---- The About box ------------------------------------------------------------

TEST_F(TitleDialog, TheAboutBoxShowsTheProgramsVersionInformationAndEndsWithOkOrEscape) {
    start();
    static bool checkedLayout;
    static HWND owner;
    checkedLayout = false;
    whenShown(kDialogClass, [](HWND about) {
        owner = GetWindow(about, GW_OWNER);
        EXPECT_EQ("バージョン情報 / MS UI Gothic\n1215 Pelmark ＣＤプレイヤー ver1.02u\n"
                  "1216 Copyright (C) 2026 Pelmark\n-1 (icon)\n1211 OK\n",
                  shownControls(about));
        // Centred on the screen.
        RECT place;
        GetWindowRect(about, &place);
        EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN) / 2, (place.left + place.right) / 2, 2);
        RedrawWindow(about, 0, 0, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        pumpMessages(200);
        Shot shot(about, true);
        shot.save("about-box.bmp");
        // The picture shows what it claims: both texts and the OK button.
        RECT frame;
        GetWindowRect(about, &frame);
        for (int id : {IDC_PRODUCT_NAME, IDC_COPYRIGHT, IDC_OK}) {
            RECT control;
            GetWindowRect(GetDlgItem(about, id), &control);
            EXPECT_TRUE(shot.anyIn(control.left - frame.left, control.top - frame.top, control.right - frame.left,
                                   control.bottom - frame.top, 0x000000))
                << id;
        }
        checkedLayout = true;
        SendDlgItemMessageA(about, IDC_OK, BM_CLICK, 0, 0);
    });
    SendMessageA(window, WM_COMMAND, IDC_ABOUT, 0);
    EXPECT_TRUE(checkedLayout);
    EXPECT_EQ(window, owner);
    // Escape and Alt+F4 close it as OK does.
    for (UINT close : {(UINT)WM_KEYDOWN, (UINT)WM_SYSCOMMAND}) {
        static bool closedByKey;
        static UINT how;
        how = close;
        closedByKey = false;
        whenShown(kDialogClass, [](HWND about) {
            if (how == WM_KEYDOWN)
                SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
            else
                SendMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
            // The dialog manager posts the close as IDCANCEL.
            MSG posted;
            while (PeekMessageA(&posted, about, 0, 0, PM_REMOVE))
                DispatchMessageA(&posted);
            closedByKey = !IsWindowVisible(about);
        });
        SendMessageA(window, WM_COMMAND, IDC_ABOUT, 0);
        EXPECT_TRUE(closedByKey) << close;
    }
}

TEST_F(TitleDialog, TheAboutButtonOpensTheAboutBoxOverTheDialog) {
    open();
    static HWND owner;
    static BOOL ownerEnabled;
    owner = 0;
    whenShown(kDialogClass, [](HWND about) {
        owner = GetWindow(about, GW_OWNER);
        ownerEnabled = IsWindowEnabled(owner);
        SendDlgItemMessageA(about, IDC_OK, BM_CLICK, 0, 0);
    });
    click(IDC_ABOUT_BUTTON);
    EXPECT_EQ(dialog, owner);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_FALSE(closed());
}

// ---- Help ---------------------------------------------------------------------

// F1 opens the help of the window it is pressed in, as its Help button or
// command does: the title dialog's over the player's.
TEST_F(TitleDialog, F1OpensTheHelpOfTheWindowItIsPressedIn) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.window);
    open();
    pressF1In(dialog);
    pump();
    EXPECT_FALSE(closed());
    ASSERT_EQ(1u, helpRequests.size());
    EXPECT_EQ((UINT)HELP_CONTENTS, helpRequests[0].command);
    EXPECT_EQ(dialog, helpRequests[0].from);
    click(IDC_CANCEL);
    helpRequests.clear();
    SetFocus(window);
    pressF1In(window);
    pumpMessages(300);
    ASSERT_EQ(1u, helpRequests.size());
    EXPECT_EQ((UINT)HELP_CONTENTS, helpRequests[0].command);
    EXPECT_EQ(window, helpRequests[0].from);
}

TEST_F(TitleDialog, HelpOpensTheGuideAndEachDialogClosesItsHelpWhenItEnds) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.window);
    std::string guide = programDirectory() + "drovix.hlp";
    open();
    click(IDC_HELP_BUTTON);
    EXPECT_FALSE(closed());
    click(IDC_CANCEL);
    SendMessageA(window, WM_COMMAND, IDC_OPEN_HELP, 0);
    ASSERT_EQ(3u, helpRequests.size());
    EXPECT_EQ((UINT)HELP_CONTENTS, helpRequests[0].command);
    EXPECT_EQ(guide, helpRequests[0].file);
    EXPECT_EQ(dialog, helpRequests[0].from);
    EXPECT_EQ((UINT)HELP_QUIT, helpRequests[1].command);
    EXPECT_EQ(dialog, helpRequests[1].from);
    EXPECT_EQ((UINT)HELP_CONTENTS, helpRequests[2].command);
    EXPECT_EQ(window, helpRequests[2].from);
    HWND main = window;
    finish();
    ASSERT_EQ(4u, helpRequests.size());
    EXPECT_EQ((UINT)HELP_QUIT, helpRequests[3].command);
    EXPECT_EQ(main, helpRequests[3].from);
}
