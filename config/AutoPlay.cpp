// What Windows AutoPlay starts for an audio CD: the default value of
// HKEY_CLASSES_ROOT\AudioCD\shell\play\command, pointed at the player or at
// the system's own CD player, or left alone.
#include "SettingsTool.h"

#include <stdio.h>
#include <string.h>

#include "../common/Text.h"
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

// The standard CD player's program, where the shell will look for it: the
// Windows directory on the Windows 95 family, system32 on the NT family.
void systemPlayerProgram(DWORD platform, char path[kToolPathSize]) {
    path[0] = 0;
    if (platform == VER_PLATFORM_WIN32_WINDOWS) {
        char windows[kToolPathSize] = {};
        GetWindowsDirectoryA(windows, kToolPathSize);
        snprintf(path, kToolPathSize, "%s\\cdplayer.exe", windows);
    } else {
        DWORD length = ExpandEnvironmentStringsA("%SystemRoot%\\system32\\cdplayer.exe", path, kToolPathSize);
        if (!length || length > (DWORD)kToolPathSize)
            path[0] = 0;
    }
}

int isProgram(const char* path) {
    DWORD attributes = fileAttributes(path);
    return path[0] && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The command formed from one text, or 0 when it would be cut short: a
// command cut short would start nothing.
const char* formCommand(char command[kToolPathSize], const char* format, const char* text) {
    if (!text)
        return 0;
    int length = snprintf(command, kToolPathSize, format, text);
    return length >= 0 && length < kToolPathSize ? command : 0;
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
        // Quoted, so that a folder with blanks is one name: Windows hands the
        // command line over as it stands.
        char player[kToolPathSize];
        writeAutoPlayCommand(formCommand(command, "\"%s\" /play", formCommand(player, "%sDrovix.exe", directory)));
    }
    if (chosen(dialog, IDC_AUTOPLAY_SYSTEM)) {
        // No Windows since XP has it: a command for it would only show an
        // error when a CD goes in.
        char program[kToolPathSize];
        systemPlayerProgram(platform, program);
        if (!isProgram(program))
            showMessage(dialog, kTextNoSystemPlayer, kTextToolCaption, MB_ICONWARNING | MB_OK);
        else if (platform == VER_PLATFORM_WIN32_WINDOWS)
            writeAutoPlayCommand(formCommand(command, "%s /play %%1", program));
        else
            writeAutoPlayCommand("%SystemRoot%\\system32\\cdplayer.exe /play %1");
    }
    return 1;
}

// Without a command, or without the key, the user is told and the command
// in force stays.
void SettingsTool::writeAutoPlayCommand(const char* command) {
    HKEY key;
    if (command && (RegOpenKeyExA(HKEY_CLASSES_ROOT, kAutoPlayKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ||
                    RegCreateKeyExA(HKEY_CLASSES_ROOT, kAutoPlayKey, 0, (char*)kAutoPlayClass, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, 0, &key, 0) == ERROR_SUCCESS)) {
        setAutoPlayCommand(key, command);
        return;
    }
    showMessage(dialog, kTextAutoPlayFailed, kTextToolCaption, MB_ICONWARNING | MB_OK);
}

// Stored as plain text, also where it names %SystemRoot%: the shell expands
// it when it runs the command.
int32_t SettingsTool::setAutoPlayCommand(HKEY key, const char* command) {
    if (setTextValue(key, 0, command) != ERROR_SUCCESS)
        showMessage(dialog, kTextAutoPlayFailed, kTextToolCaption, MB_ICONWARNING | MB_OK);
    RegCloseKey(key);
    return 1;
}
