// Every command: from the skin buttons, the menus and the system menu.
#include "PlayerWindow.h"

#include <stdio.h>

#include "../common/Help.h"
#include "../common/Text.h"
#include "../engine/DiscEngine.h"
#include "ButtonTable.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

void drawLamp(PlayerWindow* player, uint32_t lit, int unlitRow, int litRow) {
    const ButtonRow& face = kButtonTable[lit ? litRow : unlitRow];
    player->blitSkin(face.srcX, face.srcY, face.width, face.height, face.x, face.y);
}

// The commands that act on the drive: they act on the drive as it stands
// now, whatever another program did to it since the last tick.
int movesTheDrive(uint32_t id) {
    return (id >= IDC_EJECT && id <= IDC_NEXT) || (id > IDC_TRACK_BASE && id <= IDC_TRACK_LAST);
}

} // namespace

int32_t PlayerWindow::dispatchCommand(WPARAM command, LPARAM) {
    uint32_t id = (uint32_t)(command & 0xFFFF);
    if (movesTheDrive(id)) {
        int32_t followed = discEngine.followDrive();
        // A drive that does not answer is not sent a command that waits
        // for it again.
        if (followed == kDriveSilent)
            return 0;
        if (followed == kDriveHasAnotherDisc)
            discLoaded = 0;
    }
    switch (id) {
    case IDC_EJECT:
        discEngine.eject();
        break;
    case IDC_STOP:
        discEngine.stop();
        break;
    case IDC_PREVIOUS:
        discEngine.previous();
        break;
    case IDC_PLAYPAUSE:
        discEngine.playPause();
        break;
    case IDC_NEXT:
        discEngine.next();
        break;
    case IDC_MINIMISE:
    case SC_MINIMIZE:
        minimise();
        break;
    case IDC_CLOSE:
    case SC_CLOSE:
        EndDialog(window, 1);
        break;
    case IDC_MENU:
        openedByRightClick = 0;
        showPopupMenu(0, 0);
        break;
    case IDC_REPEAT:
        drawLamp(this, discEngine.setRepeatMode(discEngine.repeatMode() ? 0 : 1), 8, kRepeatLitRow);
        break;
    case IDC_RANDOM:
        drawLamp(this, discEngine.setRandomMode(discEngine.randomMode() ? 0 : 1), 9, kRandomLitRow);
        break;
    case IDC_SET_TITLES:
        loadCommonControls();
        dialogBox(moduleInstance, IDD_TITLES, window, titleDialogProc);
        // The dialog's OK may have changed it.
        applyTopMost();
        break;
    case IDC_TOPMOST:
        topMost = topMost ? 0 : 1;
        applyTopMost();
        break;
    case IDC_OPEN_HELP:
        help(window, HELP_CONTENTS);
        break;
    case IDC_ABOUT:
        dialogBox(moduleInstance, IDD_ABOUT, window, aboutBoxProc);
        break;
    default:
        if (id >= IDC_DISPLAY_EACH && id <= IDC_DISPLAY_TOTAL_REMAIN) {
            discEngine.setDisplayMode(id - IDC_DISPLAY_EACH);
            drawModeGlyphs();
        } else if (id > IDC_TRACK_BASE && id <= IDC_TRACK_LAST) {
            discEngine.playTrack((int32_t)(id - IDC_TRACK_BASE));
        }
        break;
    }
    return 0;
}

int32_t PlayerWindow::help(HWND owner, UINT command) {
    return openHelp(owner, programDir, command, kTextGuideNotOpened, kTextPlayerCaption);
}

// Remembers where the window stood, since a minimised window has no place.
void PlayerWindow::minimise() {
    RECT place;
    GetWindowRect(window, &place);
    savedLeft = place.left;
    savedTop = place.top;
    ShowWindow(window, SW_MINIMIZE);
}
