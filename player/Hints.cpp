// The skin's buttons' tooltips (their names, which are also the buttons'
// window texts): shown while the pointer rests on a button, never over an
// open menu.
#include "PlayerWindow.h"

#include <commctrl.h>

#include "../common/Text.h"
#include "ButtonTable.h"
#include "Texts.h"

namespace {

HWND tooltip;
// The common controls, loaded once the window shows: their classes take
// long to register. Kept for the process's life, as a static import would
// be, so that no tooltip or tab outlives them.
HMODULE commonControls;

typedef void(WINAPI* InitCall)();

} // namespace

int32_t PlayerWindow::loadCommonControls() {
    if (!commonControls) {
        commonControls = LoadLibraryA("comctl32.dll");
        InitCall init = commonControls ? (InitCall)(void*)GetProcAddress(commonControls, "InitCommonControls") : 0;
        if (init)
            init();
    }
    return commonControls != 0;
}

// A menu takes the pointer while it is open: the tooltips go meanwhile, and
// with their window the timer of one about to show (a click on the menu
// button right after the pointer came to it; a tooltip merely made inactive
// still shows when that timer fires). Owned by no window: under Wine a
// window that owns a popup, shown or not, never becomes always on top. The
// player destroys it at exit. Either way the tooltips that start-up left to
// come later are settled here.
void PlayerWindow::showHints(int32_t shown) {
    KillTimer(window, kHintsTimer);
    forgetHints();
    if (!shown || !loadCommonControls())
        return;
    tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, 0, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, moduleInstance, 0);
    for (int row = 0; tooltip && row < kButtonCount; row++)
        addToolTip(tooltip, window, GetDlgItem(window, kButtonTable[row].id), kTextButtonNames[row]);
}

void PlayerWindow::forgetHints() {
    if (tooltip)
        DestroyWindow(tooltip);
    tooltip = 0;
}

HWND PlayerWindow::hintWindow() { return tooltip; }
