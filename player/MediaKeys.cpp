// The keyboard's media keys: play/pause, stop, next and previous track do
// what the buttons do. The player's own window gets them as WM_APPCOMMAND;
// while another window has the focus, the shell hands on the keys that
// window left unhandled, as it does for the platform's own players, so no
// key is taken from another program.
#include "PlayerWindow.h"

#include "res/resource.h"

namespace {

// From the platform's headers of Windows 2000 on: the programs are built for
// Windows 95 too, where they are never sent.
const UINT kAppCommandMessage = 0x0319; // WM_APPCOMMAND
const WPARAM kShellAppCommand = 12;     // HSHELL_APPCOMMAND
const int kMediaNextTrack = 11, kMediaPreviousTrack = 12, kMediaStop = 13, kMediaPlayPause = 14;
const WORD kAppCommandDeviceMask = 0xF000;

typedef BOOL(WINAPI* ShellHookCall)(HWND);

UINT shellHookMessage;

BOOL callShellHook(const char* name, HWND window) {
    ShellHookCall call = (ShellHookCall)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), name);
    return call && call(window);
}

// The button a media key stands for; 0 for any other command.
int buttonOf(LPARAM lParam) {
    switch (HIWORD(lParam) & ~kAppCommandDeviceMask) {
    case kMediaPlayPause:
        return IDC_PLAYPAUSE;
    case kMediaStop:
        return IDC_STOP;
    case kMediaNextTrack:
        return IDC_NEXT;
    case kMediaPreviousTrack:
        return IDC_PREVIOUS;
    }
    return 0;
}

} // namespace

// RegisterShellHookWindow exists from Windows 2000 on.
void PlayerWindow::listenToMediaKeys() {
    shellHookMessage = RegisterWindowMessageA("SHELLHOOK");
    callShellHook("RegisterShellHookWindow", window);
}

void PlayerWindow::stopListeningToMediaKeys() { callShellHook("DeregisterShellHookWindow", window); }

// 1 when the message was a media key the player carried out.
int32_t PlayerWindow::mediaKey(UINT message, WPARAM wParam, LPARAM lParam) {
    int isKey = message == kAppCommandMessage ||
                (message == shellHookMessage && shellHookMessage && wParam == kShellAppCommand);
    int button = isKey ? buttonOf(lParam) : 0;
    if (!button)
        return 0;
    dispatchCommand(button, 0);
    return 1;
}
