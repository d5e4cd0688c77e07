// The player's entry: one running copy at a time, the main dialog, exit 0.
#include <windows.h>

#include "../common/SingleInstance.h"
#include "../common/Text.h"
#include "PlayerWindow.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    SingleInstance instanceMarker = {};
    if (!instanceMarker.claim(kPlayerAtom, "PELMARKCDPLAYER.running"))
        return 0;
    playerWindow.commandLine = commandLine;
    dialogBox(instance, IDD_MAIN, 0, handleMessage);
    return 0;
}
