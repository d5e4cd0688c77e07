// The commands of the skin buttons and of the system menu's own items.
#include "PlayerWindow.h"

#include "../engine/DiscEngine.h"
#include "ButtonTable.h"
#include "res/resource.h"

namespace {

void drawLamp(PlayerWindow* player, uint32_t lit, int unlitRow, int litRow) {
    const ButtonRow& face = kButtonTable[lit ? litRow : unlitRow];
    player->blitSkin(face.srcX, face.srcY, face.width, face.height, face.x, face.y);
}

} // namespace

int32_t PlayerWindow::dispatchCommand(WPARAM command, LPARAM) {
    uint32_t id = (uint32_t)(command & 0xFFFF);
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
    case IDC_REPEAT:
        drawLamp(this, discEngine.setRepeatMode(discEngine.repeatMode() ? 0 : 1), 8, kRepeatLitRow);
        break;
    case IDC_RANDOM:
        drawLamp(this, discEngine.setRandomMode(discEngine.randomMode() ? 0 : 1), 9, kRandomLitRow);
        break;
    }
    return 0;
}

// Remembers where the window stood, since a minimised window has no place.
void PlayerWindow::minimise() {
    RECT place;
    GetWindowRect(window, &place);
    savedLeft = place.left;
    savedTop = place.top;
    ShowWindow(window, SW_MINIMIZE);
}
