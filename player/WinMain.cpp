// The player's entry: one running copy at a time, the main dialog, exit 0.
#include <windows.h>

#include "../common/ProgramDirectory.h"
#include "../common/SingleInstance.h"
#include "../common/Text.h"
#include "PlayerWindow.h"
#include "res/resource.h"

namespace {

typedef BOOL(WINAPI* AllowForegroundCall)(DWORD);

// A second start hands itself to the running copy, which may then come to
// the front (Windows 98 and 2000 on ask the starting program to allow it;
// earlier ones have no such rule).
void handToRunningCopy(WPARAM what) {
    AllowForegroundCall allowForeground =
        (AllowForegroundCall)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "AllowSetForegroundWindow");
    if (allowForeground)
        allowForeground(ASFW_ANY);
    PostMessageA(HWND_BROADCAST, secondStartMessage(), what, 0);
}

// Explorer's command on a CD image puts it in first, so that a refusal
// changes nothing; then the running copy plays it, or this one as with
// "/play".
int imageStart(HINSTANCE instance, SingleInstance* marker) {
    wchar_t image[kPathSize];
    if (!imageCommand(image))
        return 0;
    char programDir[kProgramPathSize];
    programDirectory(instance, programDir);
    if (!insertImage(0, programDir, image))
        return -1;
    if (!marker->claim(kPlayerAtom, kPlayerRunning)) {
        handToRunningCopy(kStartInserted);
        return -1;
    }
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    SingleInstance instanceMarker = {};
    int image = imageStart(instance, &instanceMarker);
    if (image < 0)
        return 0;
    if (!image && !instanceMarker.claim(kPlayerAtom, kPlayerRunning)) {
        handToRunningCopy(isPlayCommand(commandLine) ? kStartPlays : 0);
        return 0;
    }
    playerWindow.commandLine = commandLine;
    playerWindow.imageInserted = image;
    dialogBox(instance, IDD_MAIN, 0, handleMessage);
    return 0;
}
