// The player's side of the settings key: it reads all eleven values at start
// and writes its own six at exit. The settings tool owns the other five.
#include "PlayerWindow.h"

#include <stdio.h>
#include <string.h>

#include "../common/ProgramDirectory.h"
#include "../common/ShiftJis.h"
#include "Handles.h"

namespace {

const char kSettingsKey[] = "Software\\Pelmark\\Drovix";
const char kSettingsClass[] = "Drovix";
const char kDefaultIndexFile[] = "drovix.idx";

// A value of another type is not refused: its bytes are taken up to the
// target's four. An absent or longer value leaves the default.
void readDword(HKEY key, const char* name, void* target) {
    BYTE bytes[4];
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(key, name, 0, 0, bytes, &size) == ERROR_SUCCESS && size <= sizeof bytes)
        memcpy(target, bytes, size);
}

// The stored text replaces the default whole. The last byte is never read
// into, so the text ends in NUL even when the value fills the buffer or is
// not a string at all.
void readText(HKEY key, const char* name, char target[kPathSize]) {
    char text[kPathSize] = {};
    DWORD size = kPathSize - 1;
    if (RegQueryValueExA(key, name, 0, 0, (BYTE*)text, &size) == ERROR_SUCCESS)
        memcpy(target, text, kPathSize);
}

void writeDword(HKEY key, const char* name, uint32_t value) {
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
}

// directory + name, or 0 and an empty path when the two do not fit.
int joinPath(char path[kPathSize], const char* directory, const char* name) {
    int length = snprintf(path, kPathSize, "%s%s", directory, name);
    if (length >= 0 && length < kPathSize)
        return 1;
    path[0] = 0;
    return 0;
}

int fileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

int32_t PlayerWindow::loadSettings(StoredState* stored) {
    interval = 333;
    topMost = 0;
    autoplayMinimize = 0;
    saveBeforePlayMode = 1;
    snprintf(indexFileSetting, kPathSize, "%s", kDefaultIndexFile);
    *stored = StoredState{};

    RegistryKey settings;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &settings.key) != ERROR_SUCCESS)
        return 0;
    readDword(settings.key, "WindowLeft", &stored->left);
    readDword(settings.key, "WindowTop", &stored->top);
    readDword(settings.key, "TopMost", &topMost);
    readDword(settings.key, "DisplayState", &stored->displayMode);
    readDword(settings.key, "Interval", &interval);
    readText(settings.key, "IndexFile", indexFileSetting);
    readDword(settings.key, "AutoplayMinimize", &autoplayMinimize);
    readDword(settings.key, "AlwayVisibleSet", &alwaysVisibleSet);
    readDword(settings.key, "SaveBeforePlayMode", &saveBeforePlayMode);
    readDword(settings.key, "RepeatMode", &stored->repeatMode);
    readDword(settings.key, "RandomMode", &stored->randomMode);
    return 1;
}

void PlayerWindow::saveSettings(const StoredState& state) {
    RegistryKey settings;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &settings.key) != ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, (char*)kSettingsClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, 0, &settings.key, 0) != ERROR_SUCCESS)
        return;
    writeDword(settings.key, "WindowLeft", state.left);
    writeDword(settings.key, "WindowTop", state.top);
    writeDword(settings.key, "DisplayState", state.displayMode);
    writeDword(settings.key, "TopMost", topMost);
    writeDword(settings.key, "RepeatMode", state.repeatMode);
    writeDword(settings.key, "RandomMode", state.randomMode);
}

// The program directory, the title index and its temporary file. A path that
// would not fit its 512 bytes is never cut into another file's name: an
// index setting that does not fit falls back to the default index.
void PlayerWindow::resolvePaths() {
    programDirectory(moduleInstance, programDir);

    if (lastSeparator(indexFileSetting)) {
        snprintf(indexPath, kPathSize, "%s", indexFileSetting);
        if (!fileExists(indexPath))
            joinPath(indexPath, programDir, kDefaultIndexFile);
    } else if (!joinPath(indexPath, programDir, indexFileSetting)) {
        joinPath(indexPath, programDir, kDefaultIndexFile);
    }
    joinPath(tempPath, programDir, "drovix.tmp");
}
