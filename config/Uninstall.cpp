// Drovixcfg.exe /uninstall: what Drovix keeps outside its folder goes (the
// settings key, the virtual drive's control key, the player's AutoPlay, and
// the virtual drive where vdrivectl installed it, through the vdrivectl
// beside the tool). Each message names what was removed and what was not,
// and why. Title indexes are the user's names: they are never deleted, only
// named.
#include "SettingsTool.h"

#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "../common/Places.h"
#include "../common/Settings.h"
#include "../common/SingleInstance.h"
#include "../common/Text.h"
#include "../common/WindowsVersion.h"
#include "../vdrive/win32/link/DriveKeys.h"
#include "DriveRemoval.h"
#include "Texts.h"

namespace {

const int kSaidSize = 2048;

int32_t keyExists(HKEY root, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

// A key of the user's and, where it is left empty, its parent
// (Software\Pelmark, Software\Drovix): another program's keys there stay.
// 1 when it is gone.
int32_t deleteKeyAndEmptyParent(const char* name) {
    if (!deleteRegistryTree(HKEY_CURRENT_USER, name))
        return 0;
    char parent[MAX_PATH];
    snprintf(parent, sizeof parent, "%s", name);
    char* separator = strrchr(parent, '\\');
    if (separator) {
        *separator = 0;
        deleteEmptyKeys(HKEY_CURRENT_USER, parent, parent);
    }
    return 1;
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

// Text added at the end of what the buffer holds, cut where it would not
// fit.
void append(char* text, int size, const char* format, const char* detail) {
    size_t length = strlen(text);
    if (length + 1 < (size_t)size)
        snprintf(text + length, size - length, format, detail);
}

// A part's name added to a list of them.
void addPart(char* list, int size, const char* part) {
    append(list, size, "%s", list[0] ? kTextPartSeparator : "");
    append(list, size, "%s", part);
}

// What the removal did, part by part, for the message that tells it.
struct RemovalReport {
    char removed[256];
    char left[kSaidSize * 2];
    int32_t systemPlayerNow;

    void leave(const char* format, const char* detail) {
        append(left, sizeof left, "%s", left[0] ? "\n\n" : "");
        append(left, sizeof left, format, detail);
    }

    // The removed parts, then where AutoPlay went, then each part left.
    void tell(char* text, int size) {
        text[0] = 0;
        if (removed[0])
            append(text, size, kTextRemoved, removed);
        if (systemPlayerNow)
            append(text, size, "%s", kTextAutoPlayToSystemPlayer);
        append(text, size, "%s", text[0] && left[0] ? "\n\n" : "");
        append(text, size, "%s", left);
    }
};

} // namespace

int32_t SettingsTool::uninstall(HWND owner) {
    if (copyRuns(kPlayerRunning)) {
        // It would write its settings again as it ends, and hold the drive.
        showMessage(owner, kTextCloseThePlayerFirst, kTextToolCaption, MB_ICONWARNING | MB_OK);
        return 1;
    }
    char directory[kToolPathSize];
    toolDirectory(directory);
    char indexes[kSaidSize];
    listIndexes(directory, indexes, sizeof indexes);
    char text[kSaidSize * 3];
    // Empty keys that older copies left go in passing, unasked (the
    // machine's only where this user may delete them).
    deleteEmptyDriveKeys(HKEY_CURRENT_USER, 0);
    deleteEmptyDriveKeys(HKEY_LOCAL_MACHINE, 0);
    int32_t settings = keyExists(HKEY_CURRENT_USER, kSettingsKey) || keyExists(HKEY_CURRENT_USER, kControlKey) ||
                       cueVerbIsSet();
    int32_t autoPlay = drovixAutoPlayIsSet();
    // The drive is for XP and later: no earlier Windows has it.
    int32_t drive = ntVersion(windowsVersion()) >= 0x0501 && driveInstalledIn(0);
    if (!settings && !autoPlay && !drive) {
        snprintf(text, sizeof text, "%s%s%s", kTextNothingToRemove, indexes[0] ? kTextIndexesKept : "", indexes);
        showMessage(owner, text, kTextToolCaption, MB_ICONINFORMATION | MB_OK);
        return 0;
    }
    char parts[256] = "";
    for (const char* part :
         {settings ? kTextPartSettings : 0, autoPlay ? kTextPartAutoPlay : 0, drive ? kTextPartDrive : 0})
        if (part)
            addPart(parts, sizeof parts, part);
    snprintf(text, sizeof text, kTextConfirmRemoval, parts,
             drive && DriveRemoval::needsRights() ? kTextRightsAsked : "");
    if (showMessage(owner, text, kTextToolCaption, MB_ICONQUESTION | MB_YESNO) != IDYES)
        return 0;

    RemovalReport report = {};
    if (settings) {
        int32_t settingsGone = deleteKeyAndEmptyParent(kSettingsKey);
        int32_t controlGone = deleteKeyAndEmptyParent(kControlKey);
        // Explorer's 「Drovix で再生」 goes with the settings that made it.
        const char* verbRefused = removeCueVerb();
        if (settingsGone && controlGone && !verbRefused)
            addPart(report.removed, sizeof report.removed, kTextPartSettings);
        else
            report.leave(kTextSettingsNotRemoved, !settingsGone ? kSettingsKey : !controlGone ? kControlKey : verbRefused);
    }
    if (autoPlay) {
        const char* refused = removeDrovixAutoPlay(&report.systemPlayerNow);
        if (refused)
            report.leave(kTextAutoPlayNotRemoved, refused);
        else
            addPart(report.removed, sizeof report.removed, kTextPartAutoPlay);
    }
    if (drive) {
        DriveRemoval removal = {};
        removal.run(owner, directory);
        char why[kSaidSize];
        if (removal.removed) {
            addPart(report.removed, sizeof report.removed, kTextPartDrive);
        } else {
            removal.tellWhyNotRemoved(why, sizeof why);
            report.leave("%s", why);
        }
    }
    report.tell(text, sizeof text);
    append(text, sizeof text, "%s", indexes[0] ? kTextIndexesKept : "");
    append(text, sizeof text, "%s", indexes);
    showMessage(owner, text, kTextToolCaption, (report.left[0] ? MB_ICONWARNING : MB_ICONINFORMATION) | MB_OK);
    return report.left[0] ? 1 : 0;
}
