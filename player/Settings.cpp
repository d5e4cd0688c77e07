// The player's side of the settings key: it reads all eleven values at start
// and writes its own six at exit. The settings tool owns the other five.
#include "PlayerWindow.h"

#include <stdio.h>

#include "../common/ProgramDirectory.h"
#include "../common/Places.h"
#include "../common/Settings.h"
#include "Handles.h"

int32_t PlayerWindow::loadSettings(StoredState* stored) {
    Settings read;
    int32_t found = readSettings(&read);
    interval = read.interval;
    topMost = read.topMost;
    autoplayMinimize = read.autoplayMinimize;
    alwaysVisibleSet = read.alwaysVisibleSet;
    saveBeforePlayMode = read.saveBeforePlayMode;
    snprintf(indexFileSetting, kPathSize, "%s", read.indexFile);
    stored->left = read.windowLeft;
    stored->top = read.windowTop;
    stored->displayMode = read.displayState;
    stored->repeatMode = read.repeatMode;
    stored->randomMode = read.randomMode;
    return found;
}

void PlayerWindow::saveSettings(const StoredState& state) {
    RegistryKey settings;
    if (!openSettingsToWrite(&settings.key))
        return;
    writeSettingNumber(settings.key, kValueWindowLeft, state.left);
    writeSettingNumber(settings.key, kValueWindowTop, state.top);
    writeSettingNumber(settings.key, kValueDisplayState, state.displayMode);
    writeSettingNumber(settings.key, kValueTopMost, topMost);
    writeSettingNumber(settings.key, kValueRepeatMode, state.repeatMode);
    writeSettingNumber(settings.key, kValueRandomMode, state.randomMode);
}

// The program directory, the title index and its temporary file. A path that
// would not fit its 512 bytes is never cut into another file's name.
void PlayerWindow::resolvePaths() {
    programDirectory(moduleInstance, programDir);
    IndexPlace place;
    indexPlaceInUse(indexFileSetting, programDir, &place);
    snprintf(indexPath, kPathSize, "%s", place.path);
    snprintf(seedPath, kPathSize, "%s", place.seed);
    snprintf(tempPath, kPathSize, "%s", place.temp);
    snprintf(indexFolderToMake, kPathSize, "%s", place.folderToMake);
}
