// The menus: built fresh each time one opens, so that items, checks and
// enabling show the state of that moment, and destroyed after use.
#include "PlayerWindow.h"

#include "../common/Text.h"
#include "../engine/DiscEngine.h"
#include "Handles.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

const UINT kUnavailable = MF_GRAYED | MF_DISABLED;
// Where the menu button's menu opens: just below the button.
const POINT kMenuButtonPoint = {6, 19};
// A right-click menu opens this far right of the pointer.
const LONG kPointerGap = 8;

void appendItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    appendMenuText(menu, MF_STRING | flags, id, text);
}

void appendSeparator(HMENU menu) { AppendMenuA(menu, MF_SEPARATOR, 0, 0); }

void appendSubmenu(HMENU menu, HMENU submenu, const char* text) {
    appendMenuText(menu, MF_POPUP, (UINT_PTR)submenu, text);
}

void check(HMENU menu, UINT id, int on) { CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); }

int hasDefaultTitles(const TitleRecord& titles) {
    return lstrcmpA(titles.artist, "Artist") == 0 && lstrcmpA(titles.title, "Title") == 0;
}

} // namespace

int32_t PlayerWindow::showPopupMenu(uint32_t position, int32_t hasPosition) {
    OwnedMenu container(CreateMenu());
    int32_t kind = kFullMenu;
    POINT point = kMenuButtonPoint;
    if (hasPosition) {
        point.x = (LONG)(position & 0xFFFF) + kPointerGap;
        point.y = (LONG)(position >> 16);
        switch (hitTest(position)) {
        case kRegionDisplayPanel:
            kind = kTrackListMenu;
            break;
        case kRegionClockPanel:
            kind = kTimeMenu;
            break;
        default:
            return 1;
        }
    }
    ClientToScreen(window, &point);
    HMENU popup = CreatePopupMenu();
    appendSubmenu(container.menu, popup, "");
    buildMenu(popup, kind);
    TrackPopupMenu(popup, 0, point.x, point.y, 0, window, 0);
    return 1;
}

int32_t PlayerWindow::buildMenu(HMENU menu, int32_t kind) {
    switch (kind) {
    case kTrackListMenu:
        buildTrackListMenu(menu);
        break;
    case kTimeMenu:
        buildTimeMenu(menu);
        break;
    case kPlayMenu:
        buildPlayMenu(menu);
        break;
    case kFullMenu:
        buildFullMenu(menu);
        break;
    case kSystemMenuInsertion:
        insertIntoSystemMenu(menu);
        break;
    }
    return 1;
}

// One item per track; the title editor is offered at the end only in the
// right-click menu, and there only when asked for or while the disc still
// has no names.
void PlayerWindow::buildTrackListMenu(HMENU menu) {
    if (!discEngine.mediaPresent()) {
        appendItem(menu, kUnavailable, 0, kTextNoTracks);
        if (alwaysVisibleSet == 1 && openedByRightClick) {
            appendSeparator(menu);
            appendItem(menu, kUnavailable, 0, kTextSetTitlesItem);
        }
        return;
    }
    int32_t count = usableTrackCount();
    for (int32_t n = 1; n <= count; n++) {
        char item[kMenuItemStore];
        formatTrackMenuItem(item, n, discEngine.trackLength(n), titles.tracks[n - 1]);
        appendItem(menu, 0, IDC_TRACK_BASE + n, item);
    }
    if (openedByRightClick && (alwaysVisibleSet == 1 || hasDefaultTitles(titles))) {
        appendSeparator(menu);
        appendItem(menu, 0, IDC_SET_TITLES, kTextSetTitlesItem);
    }
    int32_t current = (int32_t)(discEngine.position() >> 16);
    if (current >= 1 && current <= count)
        check(menu, IDC_TRACK_BASE + current, 1);
}

void PlayerWindow::buildTimeMenu(HMENU menu) {
    uint32_t mode = discEngine.displayMode();
    for (uint32_t m = 0; m < 4; m++)
        appendItem(menu, 0, IDC_DISPLAY_EACH + m, kTextDisplayModes[m]);
    for (uint32_t m = 0; m < 4; m++)
        check(menu, IDC_DISPLAY_EACH + m, m == mode);
}

void PlayerWindow::buildPlayMenu(HMENU menu) {
    UINT transport = discEngine.mediaPresent() == 1 ? 0 : kUnavailable;
    appendItem(menu, transport, IDC_PLAYPAUSE, kTextPlayPause);
    appendItem(menu, transport, IDC_STOP, kTextStop);
    appendItem(menu, transport, IDC_PREVIOUS, kTextPrevious);
    appendItem(menu, transport, IDC_NEXT, kTextNext);
    appendSeparator(menu);
    appendItem(menu, 0, IDC_EJECT, kTextEject);
}

void PlayerWindow::buildFullMenu(HMENU menu) {
    HMENU trackList = CreatePopupMenu();
    HMENU time = CreatePopupMenu();
    HMENU play = CreatePopupMenu();
    buildMenu(trackList, kTrackListMenu);
    buildMenu(time, kTimeMenu);
    buildMenu(play, kPlayMenu);
    appendItem(menu, 0, IDC_SET_TITLES, kTextSetTitles);
    appendSeparator(menu);
    appendSubmenu(menu, trackList, kTextJumpMenu);
    appendSubmenu(menu, time, kTextTimeMenu);
    appendSubmenu(menu, play, kTextPlayMenu);
    appendSeparator(menu);
    appendItem(menu, 0, IDC_REPEAT, kTextRepeat);
    appendItem(menu, 0, IDC_RANDOM, kTextRandom);
    appendSeparator(menu);
    appendItem(menu, 0, IDC_TOPMOST, kTextTopMost);
    appendItem(menu, 0, IDC_OPEN_HELP, kTextHelp);
    appendItem(menu, 0, IDC_ABOUT, kTextAbout);
    appendSeparator(menu);
    appendItem(menu, 0, IDC_CLOSE, kTextExit);
    check(menu, IDC_REPEAT, discEngine.repeatMode() != 0);
    check(menu, IDC_RANDOM, discEngine.randomMode() != 0);
    check(menu, IDC_TOPMOST, topMost != 0);
}

// The full menu at the top of the system menu, above a separator: an earlier
// insertion is taken out first, so there is only ever one.
void PlayerWindow::insertIntoSystemMenu(HMENU systemMenu) {
    if (GetMenuItemID(systemMenu, 0) == (UINT)-1) {
        DeleteMenu(systemMenu, 0, MF_BYPOSITION);
        DeleteMenu(systemMenu, 0, MF_BYPOSITION);
    }
    HMENU full = CreatePopupMenu();
    buildMenu(full, kFullMenu);
    insertMenuText(systemMenu, 0, MF_BYPOSITION | MF_POPUP, (UINT_PTR)full, kTextSystemMenu);
    InsertMenuA(systemMenu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, 0);
}
