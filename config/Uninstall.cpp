// Drovixcfg.exe /uninstall: what Drovix keeps outside its folder goes (the
// settings key, the player's AutoPlay for this user, the virtual drive's
// control key, and the virtual drive where vdrivectl installed it, through
// the vdrivectl beside the tool, with the user's rights). Title indexes are
// the user's names: they are never deleted, only named.
#include "SettingsTool.h"

#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "../common/Places.h"
#include "../common/Settings.h"
#include "../common/Text.h"
#include "Texts.h"

namespace {

const char kDriveControlKey[] = "Software\\Drovix\\VirtualDrive";
const char kMci32Key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32";
const int kSaidSize = 2048;

int32_t keyExists(HKEY root, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

// The virtual drive is the "cdaudio" driver where Windows reads it.
int32_t driveInstalled() {
    HKEY key;
    char driver[MAX_PATH] = {};
    DWORD size = sizeof driver - 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMci32Key, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    LONG read = RegQueryValueExA(key, "cdaudio", 0, 0, (BYTE*)driver, &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && lstrcmpiA(driver, "drovixcd.dll") == 0;
}

// A key and, where it is left empty, its parent (Software\Pelmark,
// Software\Drovix): another program's keys there stay.
void deleteKeyAndEmptyParent(const char* name) {
    deleteRegistryTree(HKEY_CURRENT_USER, name);
    char parent[MAX_PATH];
    snprintf(parent, sizeof parent, "%s", name);
    char* separator = strrchr(parent, '\\');
    if (separator) {
        *separator = 0;
        deleteEmptyKeys(parent, parent);
    }
}

// vdrivectl uninstall beside the tool, with no console (its words come
// through the pipe); what it said, or why it could not run, goes into said.
// 1 when it succeeded.
int32_t uninstallDrive(const char* directory, char* said, int size) {
    char command[MAX_PATH + 32];
    snprintf(command, sizeof command, "\"%svdrivectl.exe\" uninstall", directory);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE reading = 0, writing = 0;
    if (!CreatePipe(&reading, &writing, &inherit, 0)) {
        snprintf(said, size, kTextDriveNotRemoved, command, GetLastError());
        return 0;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writing;
    PROCESS_INFORMATION tool = {};
    BOOL started = CreateProcessA(0, command, 0, 0, TRUE, DETACHED_PROCESS, 0, 0, &startup, &tool);
    CloseHandle(writing);
    DWORD code = 1;
    said[0] = 0;
    if (started) {
        DWORD got = 0, total = 0;
        while (total + 1 < (DWORD)size && ReadFile(reading, said + total, size - 1 - total, &got, 0) && got)
            total += got;
        said[total] = 0;
        WaitForSingleObject(tool.hProcess, 30000);
        GetExitCodeProcess(tool.hProcess, &code);
        CloseHandle(tool.hProcess);
        CloseHandle(tool.hThread);
    } else {
        snprintf(said, size, kTextDriveNotRemoved, command, GetLastError());
    }
    CloseHandle(reading);
    return started && code == 0;
}

// The title indexes this user's names may be in, each only where it exists.
void listIndexes(const char* directory, char* list, int size) {
    Settings settings;
    readSettings(&settings);
    IndexPlace place;
    list[0] = 0;
    if (!indexPlaceInUse(settings.indexFile, directory, &place))
        return;
    for (const char* path : {(const char*)place.path, (const char*)place.seed}) {
        size_t length = strlen(list);
        if (path[0] && fileAttributes(path) != INVALID_FILE_ATTRIBUTES && !strstr(list, path))
            snprintf(list + length, size - length, "\n  %s", path);
    }
}

// The player marks its life with this mutex; a player still running would
// write its settings again as it ends, and hold the drive.
int32_t playerRuns() {
    HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, "PELMARKCDPLAYER.running");
    if (!running)
        return 0;
    CloseHandle(running);
    return 1;
}

} // namespace

int32_t SettingsTool::uninstall(HWND owner) {
    if (playerRuns()) {
        showMessage(owner, kTextCloseThePlayerFirst, kTextToolCaption, MB_ICONWARNING | MB_OK);
        return 1;
    }
    char directory[kToolPathSize];
    toolDirectory(directory);
    char indexes[kSaidSize];
    listIndexes(directory, indexes, sizeof indexes);
    char text[kSaidSize * 2];
    int32_t drive = driveInstalled();
    if (!keyExists(HKEY_CURRENT_USER, kSettingsKey) && !keyExists(HKEY_CURRENT_USER, kDriveControlKey) &&
        !usersAutoPlayIsSet() && !cueVerbIsSet() && !drive) {
        snprintf(text, sizeof text, "%s%s%s", kTextNothingToRemove, indexes[0] ? kTextIndexesKept : "", indexes);
        showMessage(owner, text, kTextToolCaption, MB_ICONINFORMATION | MB_OK);
        return 0;
    }
    if (showMessage(owner, kTextConfirmRemoval, kTextToolCaption, MB_ICONQUESTION | MB_YESNO) != IDYES)
        return 0;
    deleteKeyAndEmptyParent(kSettingsKey);
    deleteKeyAndEmptyParent(kDriveControlKey);
    const char* refused = removeUsersAutoPlay();
    if (!refused)
        refused = removeCueVerb();
    char said[kSaidSize] = "";
    int32_t driveGone = !drive || uninstallDrive(directory, said, sizeof said);
    snprintf(text, sizeof text, "%s%s%s%s%s%s%s", kTextRemoved, refused ? kTextAutoPlayNotRemoved : "",
             refused ? refused : "", driveGone ? "" : "\n\n", driveGone ? "" : said, indexes[0] ? kTextIndexesKept : "",
             indexes);
    showMessage(owner, text, kTextToolCaption, (refused || !driveGone ? MB_ICONWARNING : MB_ICONINFORMATION) | MB_OK);
    return refused || !driveGone ? 1 : 0;
}
