// The menus built into real menus and read back, the popups that a
// right-button release or the menu button opens, the system menu insertion,
// and every command identifier carried out.
#include <algorithm>

#include "../../engine/DiscEngine.h"
#include "Modal.h"
#include "PlayerTest.h"
#include "Shot.h"

namespace {

// One line per item: "id text", then " v" when checked and " x" when grayed;
// "-" for a separator; a submenu's items follow it indented.
std::string describe(HMENU menu, const std::string& indent = "") {
    std::string lines;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++) {
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        HMENU submenu = GetSubMenu(menu, i);
        // A submenu's item count stands in the high byte.
        if (submenu)
            state &= 0xFF;
        if (state & MF_SEPARATOR) {
            lines += indent + "-\n";
            continue;
        }
        std::string text = menuText(menu, i);
        UINT id = GetMenuItemID(menu, i);
        lines += indent + (id == (UINT)-1 ? std::string(">") : std::to_string(id)) + " " + text;
        if (state & MF_CHECKED)
            lines += " v";
        if (state & MF_GRAYED)
            lines += " x";
        lines += "\n";
        if (submenu)
            lines += describe(submenu, indent + "  ");
    }
    return lines;
}

std::string built(int32_t kind, uint32_t openedByRightClick = 0) {
    playerWindow.openedByRightClick = openedByRightClick;
    HMENU menu = CreatePopupMenu();
    playerWindow.buildMenu(menu, kind);
    std::string lines = describe(menu);
    DestroyMenu(menu);
    return lines;
}

const char kDefaultTracks[] = "5001  1 ( 3：05)\tTrack  1 v\n"
                              "5002  2 ( 4：00)\tTrack  2\n"
                              "5003  3 ( 1：01)\tTrack  3\n";

const char kPlayItems[] = "2003 再生 / 一時停止(&P)\n2001 停止(&S)\n2002 前のトラック(&B)\n2004 次のトラック(&F)\n-\n"
                         "2000 取り出し(&E)\n";

std::string indented(const std::string& lines) {
    std::string result;
    for (size_t start = 0; start < lines.size();) {
        size_t end = lines.find('\n', start) + 1;
        result += "  " + lines.substr(start, end - start);
        start = end;
    }
    return result;
}

// checks: repeat, random, always on top, each "1" or "0".
std::string fullMenu(const std::string& tracks, const std::string& checks) {
    auto mark = [&](int i) { return std::string(checks[i] == '1' ? " v" : ""); };
    return "2010 曲名の設定(&S)...\n-\n> 頭出し\n" + indented(tracks) + "> 時間表示\n" +
           indented("2014 Each v\n2015 Each Remain\n2016 Total\n2017 Total Remain\n") + "> 再生\n" +
           indented(kPlayItems) + "-\n2008 リピート再生(&R)" + mark(0) + "\n2009 ランダム再生(&D)" + mark(1) + "\n-\n2011 常に手前に表示(&T)" +
           mark(2) + "\n2012 ヘルプ(&H)\n2013 バージョン情報(&A)\n-\n2006 終了(&X)\n";
}

} // namespace

class Menus : public Player {
  protected:
    void SetUp() override {
        Player::SetUp();
        // Ticks come from the tests alone.
        storeDword("Interval", 5000);
    }

    void startWithDisc() {
        start();
        timerTick();
    }

    void command(WPARAM id) { SendMessageA(window, WM_COMMAND, id, 0); }
};

TEST_F(Menus, TrackListHoldsEveryTrackWithItsLengthAndNameAndChecksTheCurrentOne) {
    startWithDisc();
    EXPECT_EQ(kDefaultTracks, built(kTrackListMenu));
    snprintf(playerWindow.titles.tracks[1], kTitleSlot, "夜明け");
    command(5002);
    EXPECT_EQ("5001  1 ( 3：05)\tTrack  1\n"
              "5002  2 ( 4：00)\t夜明け v\n"
              "5003  3 ( 1：01)\tTrack  3\n",
              built(kTrackListMenu));
}

TEST_F(Menus, TrackListOffersTheTitleEditorOnRightClickWhenAskedOrWhileTheDiscHasNoNames) {
    struct Row {
        bool named;
        uint32_t alwaysVisibleSet, rightClick;
        bool offered;
    } rows[] = {
        {false, 0, 1, true},  {false, 2, 1, true},  {true, 0, 1, false}, {true, 1, 1, true},
        {true, 2, 1, false},  {false, 1, 0, false}, {true, 1, 0, false},
    };
    startWithDisc();
    for (const Row& row : rows) {
        setDefaultTitles(&playerWindow.titles);
        if (row.named)
            snprintf(playerWindow.titles.artist, kTitleSlot, "Trio");
        playerWindow.alwaysVisibleSet = row.alwaysVisibleSet;
        std::string expected = std::string(kDefaultTracks) + (row.offered ? "-\n2010 曲名の設定...\n" : "");
        EXPECT_EQ(expected, built(kTrackListMenu, row.rightClick))
            << row.named << " " << row.alwaysVisibleSet << " " << row.rightClick;
    }
}

TEST_F(Menus, TrackListWithoutADiscHasOnlyItsDisabledItems) {
    sim.mediaPresent = 0;
    startWithDisc();
    const std::string none = "0 　　(なし)　　 x\n";
    struct Row {
        uint32_t alwaysVisibleSet, rightClick;
        std::string expected;
    } rows[] = {
        {0, 1, none},
        {1, 1, none + "-\n0 曲名の設定... x\n"},
        {2, 1, none},
        {1, 0, none},
    };
    for (const Row& row : rows) {
        playerWindow.alwaysVisibleSet = row.alwaysVisibleSet;
        EXPECT_EQ(row.expected, built(kTrackListMenu, row.rightClick)) << row.alwaysVisibleSet << row.rightClick;
    }
    EXPECT_EQ("2003 再生 / 一時停止(&P) x\n2001 停止(&S) x\n2002 前のトラック(&B) x\n2004 次のトラック(&F) x\n-\n"
              "2000 取り出し(&E)\n",
              built(kPlayMenu));
}

TEST_F(Menus, NinetyNineTracksOfferIdentifiers5001To5099) {
    sim.setDisc(std::vector<uint32_t>(99, 60));
    startWithDisc();
    HMENU menu = CreatePopupMenu();
    playerWindow.buildMenu(menu, kTrackListMenu);
    ASSERT_EQ(99, GetMenuItemCount(menu));
    EXPECT_EQ(5001u, GetMenuItemID(menu, 0));
    EXPECT_EQ(5099u, GetMenuItemID(menu, 98));
    DestroyMenu(menu);
    sim.take();
    command(5099);
    std::vector<std::string> sent = sim.take();
    EXPECT_NE(sent.end(), std::find(sent.begin(), sent.end(), "PLAY FROM 99"));
    for (WPARAM ignored : {5000, 5100, 1, 2, 1999, 2018, 4999})
        command(ignored);
    EXPECT_TRUE(sim.take().empty());
}

TEST_F(Menus, TimeAndPlayMenusShowTheStateOfTheMoment) {
    startWithDisc();
    const char* names[4] = {"Each", "Each Remain", "Total", "Total Remain"};
    for (uint32_t mode = 0; mode < 4; mode++) {
        discEngine.setDisplayMode(mode);
        std::string expected;
        for (uint32_t m = 0; m < 4; m++)
            expected += std::to_string(2014 + m) + " " + names[m] + (m == mode ? " v" : "") + "\n";
        EXPECT_EQ(expected, built(kTimeMenu));
    }
    EXPECT_EQ(kPlayItems, built(kPlayMenu));
}

TEST_F(Menus, FullMenuChecksRepeatRandomAndAlwaysOnTop) {
    startWithDisc();
    EXPECT_EQ(fullMenu(kDefaultTracks, "000"), built(kFullMenu));
    command(IDC_REPEAT);
    EXPECT_EQ(fullMenu(kDefaultTracks, "100"), built(kFullMenu));
    command(IDC_RANDOM);
    command(IDC_TOPMOST);
    EXPECT_EQ(fullMenu(kDefaultTracks, "111"), built(kFullMenu));
    // Repeat stored as any other nonzero value acts, and shows, as on.
    discEngine.setRepeatMode(7);
    command(IDC_REPEAT);
    command(IDC_RANDOM);
    command(IDC_TOPMOST);
    EXPECT_EQ(fullMenu(kDefaultTracks, "000"), built(kFullMenu));
}

TEST_F(Menus, TheSystemMenuHoldsOneDrovixMenuHoweverOftenItOpens) {
    startWithDisc();
    HMENU system = GetSystemMenu(window, FALSE);
    int ownItems = GetMenuItemCount(system);
    std::string own = describe(system);
    for (int opening = 1; opening <= 3; opening++) {
        playerWindow.openedByRightClick = 1;
        SendMessageA(window, WM_INITMENUPOPUP, (WPARAM)system, MAKELPARAM(0, TRUE));
        EXPECT_EQ(0u, playerWindow.openedByRightClick);
        ASSERT_EQ(ownItems + 2, GetMenuItemCount(system)) << opening;
        std::string lines = describe(system);
        std::string inserted = lines.substr(0, lines.size() - own.size());
        EXPECT_EQ("> Drovix Menu\n" + indented(fullMenu(kDefaultTracks, "000")) + "-\n", inserted);
        EXPECT_EQ(own, lines.substr(inserted.size()));
    }
    // Another menu's opening leaves the system menu alone.
    HMENU other = CreatePopupMenu();
    SendMessageA(window, WM_INITMENUPOPUP, (WPARAM)other, 0);
    EXPECT_EQ(0, GetMenuItemCount(other));
    DestroyMenu(other);
}

TEST_F(Menus, ItemsOfTheSystemMenuAreCarriedOutLikeCommands) {
    storeDword("WindowLeft", 64);
    storeDword("WindowTop", 48);
    startWithDisc();
    SendMessageA(window, WM_SYSCOMMAND, IDC_PLAYPAUSE, 0);
    EXPECT_EQ(kPlaying, discEngine.playState());
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    pumpMessages(50);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(64, playerWindow.savedLeft);
    EXPECT_EQ(48, playerWindow.savedTop);
}

// What a right-button release at a point opens, and where.
struct Opened {
    int count = 0;
    UINT firstId = 0;
    POINT corner = {};
};

Opened openedBy(HWND window, WPARAM message, LPARAM point) {
    static Opened opened;
    opened = Opened();
    whenShown(kMenuClass, [](HWND popup) {
        HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
        opened.count = GetMenuItemCount(menu);
        opened.firstId = GetMenuItemID(menu, 0);
        RECT place;
        GetWindowRect(popup, &place);
        opened.corner = {place.left, place.top};
        EndMenu();
    });
    SendMessageA(window, message, message == WM_COMMAND ? IDC_MENU : 0, point);
    // A release that opens nothing leaves the step for the next test.
    modalSteps().clear();
    return opened;
}

TEST_F(Menus, ARightButtonReleaseOpensTheMenuOfItsRegionBesideThePointer) {
    storeDword("WindowLeft", 100);
    storeDword("WindowTop", 50);
    startWithDisc();
    struct Row {
        int x, y;
        UINT firstId;
    } rows[] = {
        {150, 40, 5001}, // display panel: the track list
        {230, 75, 2014}, // clock panel: the time display menu
        {100, 12, 0},    // title strip: nothing
        {3, 3, 0},       // no region: nothing
    };
    for (const Row& row : rows) {
        playerWindow.openedByRightClick = 0;
        Opened opened = openedBy(window, WM_RBUTTONUP, MAKELPARAM(row.x, row.y));
        EXPECT_EQ(1u, playerWindow.openedByRightClick);
        EXPECT_EQ(row.firstId, opened.firstId) << row.x << "," << row.y;
        if (row.firstId) {
            EXPECT_EQ(100 + row.x + 8, opened.corner.x);
            EXPECT_EQ(50 + row.y, opened.corner.y);
        }
    }
    // The title editor closes the track list that a right-click opens.
    EXPECT_EQ(5, openedBy(window, WM_RBUTTONUP, MAKELPARAM(150, 40)).count);

    playerWindow.openedByRightClick = 1;
    Opened full = openedBy(window, WM_COMMAND, 0);
    EXPECT_EQ(0u, playerWindow.openedByRightClick);
    EXPECT_EQ(14, full.count);
    EXPECT_EQ(2010u, full.firstId);
    EXPECT_EQ(106, full.corner.x);
    EXPECT_EQ(69, full.corner.y);
}

TEST_F(Menus, TheFullMenuIsDrawnItemByItem) {
    startWithDisc();
    static bool saved;
    saved = false;
    whenShown(kMenuClass, [](HWND popup) {
        pumpMessages(200);
        Shot shot(popup, true);
        shot.save("menu-full.bmp");
        // The picture shows every item's text, the first to the last.
        HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
        int items = GetMenuItemCount(menu), drawn = 0, texts = 0;
        RECT frame;
        GetWindowRect(popup, &frame);
        for (int i = 0; i < items; i++) {
            if (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)
                continue;
            texts++;
            RECT item;
            GetMenuItemRect(0, menu, i, &item);
            drawn += shot.anyIn(item.left - frame.left, item.top - frame.top, item.right - frame.left,
                                item.bottom - frame.top, 0x000000);
        }
        saved = texts >= 10 && drawn == texts;
        EndMenu();
    });
    command(IDC_MENU);
    EXPECT_TRUE(saved);
}

TEST_F(Menus, EveryCommandReachesItsOperation) {
    startWithDisc();
    struct Row {
        WPARAM command;
        const char* sent;
    } rows[] = {
        {IDC_PLAYPAUSE, "PLAY FROM 1"},
        {MAKEWPARAM(IDC_PLAYPAUSE, BN_CLICKED), "PAUSE"},
        {0xABCD0000 | IDC_NEXT, "SEEK TO 2"},
        {IDC_PREVIOUS, "SEEK TO 1"},
        {IDC_STOP, "STOP"},
        {5003, "PLAY FROM 3"},
        {IDC_EJECT, "DOOR OPEN"},
        {IDC_EJECT, "DOOR CLOSED"},
    };
    for (const Row& row : rows) {
        sim.take();
        command(row.command);
        std::vector<std::string> sent = sim.take();
        EXPECT_NE(sent.end(), std::find(sent.begin(), sent.end(), row.sent)) << row.sent;
    }
    for (uint32_t mode = 0; mode < 4; mode++) {
        command(IDC_DISPLAY_EACH + 3 - mode);
        EXPECT_EQ(3 - mode, discEngine.displayMode());
    }
    LONG before = GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
    command(IDC_TOPMOST);
    EXPECT_EQ(1u, playerWindow.topMost);
    EXPECT_NE(before, GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    command(IDC_TOPMOST);
    EXPECT_EQ(0u, playerWindow.topMost);
    EXPECT_EQ(0, GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Menus, TheLampsShowTheModeThatActsAndToggleWithIt) {
    storeDword("RepeatMode", 7);
    storeDword("RandomMode", 3);
    start();
    pumpMessages(50);
    EXPECT_EQ(0x00FF00u, Shot(window).at(167, 80));
    EXPECT_EQ(0x00FF00u, Shot(window).at(192, 80));
    command(IDC_REPEAT);
    command(IDC_RANDOM);
    EXPECT_EQ(0u, discEngine.repeatMode());
    EXPECT_EQ(0u, discEngine.randomMode());
    EXPECT_EQ(0xA0A0A0u, Shot(window).at(167, 80));
    EXPECT_EQ(0xA0A0A0u, Shot(window).at(192, 80));
}
