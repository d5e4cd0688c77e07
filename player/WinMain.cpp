// The player's entry: one running copy at a time, the main dialog, exit 0.
#include <windows.h>

#include "../common/SingleInstance.h"
#include "../common/Text.h"
#include "PlayerWindow.h"
#include "res/resource.h"

namespace {

typedef BOOL(WINAPI* AllowForegroundCall)(DWORD);

// A second start hands itself to the running copy, which may then come to
// the front (Windows 98 and 2000 on ask the starting program to allow it;
// earlier ones have no such rule).
void handToRunningCopy(const char* commandLine) {
    AllowForegroundCall allowForeground =
        (AllowForegroundCall)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "AllowSetForegroundWindow");
    if (allowForeground)
        allowForeground(ASFW_ANY);
    PostMessageA(HWND_BROADCAST, secondStartMessage(), isPlayCommand(commandLine) ? 1 : 0, 0);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    SingleInstance instanceMarker = {};
    if (!instanceMarker.claim(kPlayerAtom, kPlayerRunning)) {
        handToRunningCopy(commandLine);
        return 0;
    }
    playerWindow.commandLine = commandLine;
    dialogBox(instance, IDD_MAIN, 0, handleMessage);
    return 0;
}
