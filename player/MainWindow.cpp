// The main dialog's procedure, and the window's start-up and shutdown.
#include "PlayerWindow.h"

#include <commctrl.h>
#include <stdio.h>

#include "../common/Text.h"
#include "../engine/DiscEngine.h"
#include "ButtonTable.h"
#include "Texts.h"
#include "res/resource.h"

PlayerWindow playerWindow;

namespace {

// An AutoPlay start that shows the window minimised looks a few times, just
// after start-up, that it still is: some dialog managers restore a dialog the
// first time its message queue runs empty, whatever the dialog showed.
const UINT kMinimiseCheckMs = 300;
const int kMinimiseChecks = 3;
int minimiseChecksLeft;

void keepMinimisedAtStart(HWND window) {
    if (!IsIconic(window))
        ShowWindow(window, SW_MINIMIZE);
    if (--minimiseChecksLeft <= 0)
        KillTimer(window, kMinimiseCheckTimer);
}

// The tooltips come just after start-up: the common controls take longer
// to load than the whole window takes to show, and no tooltip is due before
// the pointer has rested on a button for half a second.
const UINT kHintsAfterStartMs = 50;
// The icon, once the start's messages are handled: the shortest timer.
const UINT kIconAfterStartMs = USER_TIMER_MINIMUM;

const char kPlayCommand[] = "/play";

typedef HANDLE(WINAPI* MonitorFromRectCall)(const RECT*, DWORD);
const DWORD kNoMonitorIfNone = 0; // MONITOR_DEFAULTTONULL

// MonitorFromRect exists from Windows 98 and 2000 on; before them there is
// one monitor, and its work area tells.
int32_t onAMonitor(const RECT& place) {
    MonitorFromRectCall monitorFromRect =
        (MonitorFromRectCall)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "MonitorFromRect");
    if (monitorFromRect)
        return monitorFromRect(&place, kNoMonitorIfNone) != 0;
    RECT workArea, common;
    return !SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0) || IntersectRect(&common, &place, &workArea);
}

// A stored place on no monitor (one since unplugged, or a minimised window's
// -32000) would leave the player out of sight: it starts at the default.
void keepOnAMonitor(StoredState* stored) {
    const int32_t farthest = 0x7FFFFFFF - kWindowWidth - kWindowHeight;
    RECT place = {stored->left, stored->top, 0, 0};
    if (stored->left <= farthest && stored->top <= farthest) {
        place.right = stored->left + kWindowWidth;
        place.bottom = stored->top + kWindowHeight;
        if (onAMonitor(place))
            return;
    }
    stored->left = 0;
    stored->top = 0;
}

} // namespace

int32_t isPlayCommand(const char* commandLine) { return commandLine && lstrcmpiA(commandLine, kPlayCommand) == 0; }

UINT secondStartMessage() {
    static UINT message;
    if (!message)
        message = RegisterWindowMessageA("PelmarkDrovixSecondStart");
    return message;
}

INT_PTR CALLBACK handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PlayerWindow& player = playerWindow;
    player.window = window;
    if (message == secondStartMessage()) {
        player.secondStart((uint32_t)wParam);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        player.initialise();
        return 0;
    case WM_DESTROY:
        player.shutdown();
        PostQuitMessage(0);
        return 0;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        player.showHints(message == WM_EXITMENULOOP);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paintInfo;
        HDC context = BeginPaint(window, &paintInfo);
        player.paint(context);
        EndPaint(window, &paintInfo);
        return 0;
    }
    case WM_DRAWITEM:
        player.drawButton((const DRAWITEMSTRUCT*)lParam);
        return 1;
    case WM_COMMAND:
    case WM_SYSCOMMAND:
        player.dispatchCommand(wParam, lParam);
        return 0;
    // F1, also over an open menu: as the Help command.
    case WM_HELP:
        player.dispatchCommand(IDC_OPEN_HELP, 0);
        return TRUE;
    case WM_DROPFILES:
        player.dropImage((HANDLE)wParam);
        return 0;
    case WM_INITMENUPOPUP:
        if ((HMENU)wParam == GetSystemMenu(window, FALSE)) {
            player.openedByRightClick = 0;
            player.buildMenu((HMENU)wParam, kSystemMenuInsertion);
        }
        return 0;
    case WM_RBUTTONUP:
        player.openedByRightClick = 1;
        player.showPopupMenu((uint32_t)lParam, 1);
        return 0;
    case WM_TIMER:
        if (wParam == kEngineTimerId)
            player.refresh();
        else if (wParam == kMinimiseCheckTimer)
            keepMinimisedAtStart(window);
        else if (wParam == kHintsTimer)
            player.showHints(1);
        else if (wParam == kIconTimer)
            player.showIcon();
        return 0;
    case WM_LBUTTONDOWN:
        if (hitTest((uint32_t)lParam) == kRegionTitleStrip)
            SendMessageA(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        return 0;
    case WM_LBUTTONDBLCLK:
        switch (hitTest((uint32_t)lParam)) {
        case kRegionTitleStrip:
            player.dispatchCommand(IDC_MINIMISE, 0);
            // Answered as handled: a default handling that restores an
            // iconic window on a double-click would undo the minimise.
            return 1;
        case kRegionClockPanel:
            discEngine.setDisplayMode((discEngine.displayMode() + 1) % 4);
            player.drawModeGlyphs();
            break;
        default:
            break;
        }
        return 0;
    }
    // A media key is answered as handled, so that the system does not hand
    // it on to another program as well.
    if (player.mediaKey(message, wParam, lParam)) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    return 0;
}

int32_t PlayerWindow::initialise() {
    moduleInstance = (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE);
    autoplayStart = isPlayCommand(commandLine);
    discLoaded = 0;
    createButtons();

    StoredState stored;
    int32_t kept = loadSettings(&stored);
    if (kept) {
        discEngine.setDisplayMode(stored.displayMode);
        keepOnAMonitor(&stored);
    }
    // One move: the face's size, and the place and layer the last run left.
    // A window that shows now is activated by its show: activated while
    // hidden, it would load the input method's libraries before it could be
    // seen. One that stays minimised is active before its open, as ever.
    const UINT activation = startsMinimised() ? 0 : SWP_NOACTIVATE;
    SetWindowPos(window, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, stored.left, stored.top, kWindowWidth, kWindowHeight,
                 activation | (kept ? 0 : SWP_NOMOVE | SWP_NOZORDER));
    // The window shows before what the face does not need: the shell's
    // libraries and the drive, whose first open may wait for its host to
    // start. The drive's answers fill the face at once. A start that stays
    // minimised shows nothing, and minimising would hand the front to
    // another program before a failed open could be told.
    if (!startsMinimised())
        showAtStart();
    listenToDrops();
    resolvePaths();
    letIndexFolderGo();
    if (!discEngine.open(moduleInstance, window, interval)) {
        showIcon();
        showMessage(window, kTextNoDrive, kTextPlayerCaption, MB_ICONEXCLAMATION);
        PostQuitMessage(0);
    }
    if (saveBeforePlayMode) {
        discEngine.setRepeatMode(stored.repeatMode);
        discEngine.setRandomMode(stored.randomMode);
    }
    // The lamps may have been drawn before the drive's open set the modes.
    InvalidateRect(GetDlgItem(window, IDC_REPEAT), 0, FALSE);
    InvalidateRect(GetDlgItem(window, IDC_RANDOM), 0, FALSE);
    // A start that stays minimised shows its taskbar button with its icon:
    // it has no face to wait for.
    if (startsMinimised()) {
        showIcon();
        showAtStart();
    }
    if (imageInserted)
        playInsertedDisc();
    // The face shows the drive at once, and AutoPlay's start plays now, not
    // at the first tick.
    if (discEngine.notifyWindow) {
        discEngine.lastFollowed = discEngine.followDrive();
        refresh();
    }
    // A start that shows its window gets its icon once its first face and
    // caption have gone to the display: the icon's load (about 5 ms under
    // Wine, whose X driver sends the caption only when the window's thread
    // next waits) would hold them back. (Where the icon came before, the
    // timer's one firing finds it.) Nothing needs the media keys sooner.
    SetTimer(window, kIconTimer, kIconAfterStartMs, 0);
    listenToMediaKeys();
    SetTimer(window, kHintsTimer, kHintsAfterStartMs, 0);
    return 1;
}

// The window comes to the front, restored if minimised, unless the start is
// AutoPlay's and those stay minimised; AutoPlay's "/play" plays the disc in
// the drive as a first start with it would (or the disc once it is found).
void PlayerWindow::secondStart(uint32_t play) {
    if (play == kStartInserted) {
        ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(window);
        playInsertedDisc();
        return;
    }
    if (!(play && autoplayMinimize)) {
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
    }
    if (!play)
        return;
    if (!discLoaded)
        autoplayStart = 1;
    else if (discEngine.playState() != kPlaying)
        discEngine.playPause();
}

// Each button is named as it is made (what a screen reader says; the face
// paints no text): wide windows on the NT family, so that the names keep
// their Japanese on a system of any code page.
void PlayerWindow::createButtons() {
    for (int row = 0; row < kButtonCount; row++) {
        const ButtonRow& button = kButtonTable[row];
        const DWORD style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
        HMENU id = (HMENU)(INT_PTR)button.id;
        if (wideCallsInUse()) {
            wchar_t name[kWideTextSize];
            toWide(kTextButtonNames[row], name, kWideTextSize);
            CreateWindowExW(0, L"BUTTON", name, style, button.x, button.y, button.width, button.height, window, id,
                            moduleInstance, 0);
        } else {
            CreateWindowExA(0, "BUTTON", kTextButtonNames[row], style, button.x, button.y, button.width,
                            button.height, window, id, moduleInstance, 0);
        }
    }
}

// The icon, once: after the start's first face and caption, or before a
// taskbar button shows without a face (a message that the drive failed, a
// start that stays minimised). It is handed to the window as well: a class
// icon set after the show may not be taken again (Wine's X window takes it
// at its first map).
void PlayerWindow::showIcon() {
    KillTimer(window, kIconTimer);
    if (SendMessageA(window, WM_GETICON, ICON_BIG, 0))
        return;
    HICON icon = LoadIconA(moduleInstance, MAKEINTRESOURCEA(IDI_PLAYER));
    SetClassLongPtrA(window, GCLP_HICON, (LONG_PTR)icon);
    SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)icon);
}

void PlayerWindow::showAtStart() {
    if (startsMinimised()) {
        RECT place;
        GetWindowRect(window, &place);
        savedLeft = place.left;
        savedTop = place.top;
        ShowWindow(window, SW_MINIMIZE);
        minimiseChecksLeft = kMinimiseChecks;
        SetTimer(window, kMinimiseCheckTimer, kMinimiseCheckMs, 0);
    } else {
        ShowWindow(window, SW_SHOW);
    }
    UpdateWindow(window);
}

int32_t PlayerWindow::shutdown() {
    stopListeningToMediaKeys();
    forgetHints();
    discEngine.stop();
    discEngine.close();
    letIndexFolderGo();
    help(window, HELP_QUIT);

    RECT place;
    GetWindowRect(window, &place);
    StoredState state;
    state.left = IsIconic(window) ? savedLeft : place.left;
    state.top = IsIconic(window) ? savedTop : place.top;
    state.displayMode = discEngine.displayMode();
    state.repeatMode = discEngine.repeatMode();
    state.randomMode = discEngine.randomMode();
    saveSettings(state);

    GlobalDeleteAtom(GlobalFindAtomA(kPlayerAtom));
    return 1;
}

int32_t PlayerWindow::applyTopMost() {
    SetWindowPos(window, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return topMost;
}
