// What Windows AutoPlay starts for an audio CD: the default value of
// HKEY_CLASSES_ROOT\AudioCD\shell\play\command, pointed at the player or at
// the system's own CD player, or left alone.
#include "SettingsTool.h"

#include <stdio.h>
#include <string.h>

#include "Texts.h"
#include "res/resource.h"

namespace {

const char kAutoPlayKey[] = "AudioCD\\shell\\play\\command";
const char kAutoPlayClass[] = "Drovixcfg";

DWORD platformIdOfThisSystem() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId;
}

int chosen(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

} // namespace

DWORD (*queryPlatformId)() = platformIdOfThisSystem;

int32_t SettingsTool::registerAutoPlay() {
    DWORD platform = queryPlatformId();
    char command[kToolPathSize];
    if (chosen(dialog, IDC_AUTOPLAY_PLAYER)) {
        char directory[kToolPathSize];
        toolDirectory(directory);
        int length = snprintf(command, kToolPathSize, "%sDrovix.exe /play", directory);
        // A command cut short would start nothing.
        writeAutoPlayCommand(length >= 0 && length < kToolPathSize ? command : 0);
    }
    if (chosen(dialog, IDC_AUTOPLAY_SYSTEM)) {
        if (platform == VER_PLATFORM_WIN32_WINDOWS) {
            char windows[kToolPathSize] = {};
            GetWindowsDirectoryA(windows, kToolPathSize);
            snprintf(command, kToolPathSize, "%s\\cdplayer.exe /play %%1", windows);
        } else {
            snprintf(command, kToolPathSize, "%%SystemRoot%%\\system32\\cdplayer.exe /play %%1");
        }
        writeAutoPlayCommand(command);
    }
    return 1;
}

// Without a command, or without the key, the user is told and the command
// in force stays.
void SettingsTool::writeAutoPlayCommand(const char* command) {
    HKEY key;
    if (command && (RegOpenKeyExA(HKEY_CLASSES_ROOT, kAutoPlayKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ||
                    RegCreateKeyExA(HKEY_CLASSES_ROOT, kAutoPlayKey, 0, (char*)kAutoPlayClass,
                                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, 0, &key, 0) == ERROR_SUCCESS)) {
        setAutoPlayCommand(key, command);
        return;
    }
    MessageBoxA(dialog, kTextAutoPlayFailed, kTextToolCaption, MB_ICONWARNING | MB_OK);
}

// Stored as plain text, also where it names %SystemRoot%: the shell expands
// it when it runs the command.
int32_t SettingsTool::setAutoPlayCommand(HKEY key, const char* command) {
    if (RegSetValueExA(key, 0, 0, REG_SZ, (const BYTE*)command, (DWORD)strlen(command) + 1) != ERROR_SUCCESS)
        MessageBoxA(dialog, kTextAutoPlayFailed, kTextToolCaption, MB_ICONWARNING | MB_OK);
    RegCloseKey(key);
    return 1;
}
