// The player's entry: one running copy at a time, the main dialog, exit 0.
#include <windows.h>

#include "PlayerWindow.h"
#include "res/resource.h"

namespace {

// Held by a running player for its whole life. A marker atom without it was
// left by a player that did not end normally, and does not stop a start.
const char kRunningMutex[] = "PELMARKCDPLAYER.running";

void deleteStaleMarker() {
    for (int guard = 0; guard < 0x10000; guard++) {
        ATOM marker = GlobalFindAtomA(kPlayerAtom);
        if (!marker)
            return;
        GlobalDeleteAtom(marker);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    HANDLE running = CreateMutexA(0, FALSE, kRunningMutex);
    int anotherRuns = GetLastError() == ERROR_ALREADY_EXISTS;
    if (GlobalFindAtomA(kPlayerAtom)) {
        if (anotherRuns) {
            CloseHandle(running);
            return 0;
        }
        deleteStaleMarker();
    }
    GlobalAddAtomA(kPlayerAtom);
    playerWindow.commandLine = commandLine;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), 0, handleMessage, 0);
    if (running)
        CloseHandle(running);
    return 0;
}
