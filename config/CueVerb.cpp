// Explorer's command on CUE sheets, 「Drovix で再生」, for this user: a verb
// of its own under the user's SystemFileAssociations for .cue (Windows XP
// on), which Explorer offers beside the program that opens .cue files; the
// user's association itself is never read or written. The command runs the
// player beside the tool with "/image", which puts the sheet in the virtual
// drive and plays it.
#include "SettingsTool.h"

#include <stdio.h>

#include "../common/Text.h"
#include "../common/WindowsVersion.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

const char kCueVerbKey[] = "Software\\Classes\\SystemFileAssociations\\.cue\\shell\\Drovix.Play";
const char kCueVerbCommandKey[] = "Software\\Classes\\SystemFileAssociations\\.cue\\shell\\Drovix.Play\\command";
const char kClassesKey[] = "Software\\Classes";

int32_t writeDefault(const char* keyName, const char* text, const char* valueName = 0, const char* value = 0) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    int32_t written = setTextValue(key, 0, text) == ERROR_SUCCESS &&
                      (!valueName || setTextValue(key, valueName, value) == ERROR_SUCCESS);
    RegCloseKey(key);
    return written;
}

} // namespace

int32_t cueVerbOffered() { return ntVersion(windowsVersion()) >= 0x0501; }

int32_t cueVerbIsSet() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCueVerbKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

// The player beside the tool, quoted, and the sheet Explorer hands over;
// one sheet at a time (the drive holds one disc).
const char* SettingsTool::registerCueVerb() {
    char directory[kToolPathSize], command[kToolPathSize + 32];
    toolDirectory(directory);
    int length = snprintf(command, sizeof command, "\"%sDrovix.exe\" /image \"%%1\"", directory);
    if (length < 0 || length >= (int)sizeof command || !writeDefault(kCueVerbKey, kTextCueVerb, "MultiSelectModel", "Single") ||
        !writeDefault(kCueVerbCommandKey, command))
        return kCueVerbKey;
    return 0;
}

// The verb, and the keys above it that it alone filled.
const char* removeCueVerb() {
    if (!deleteRegistryTree(HKEY_CURRENT_USER, kCueVerbKey))
        return kCueVerbKey;
    char parent[] = "Software\\Classes\\SystemFileAssociations\\.cue\\shell";
    // Up to the folder of the system's per-type verbs, never above it.
    deleteEmptyKeys(HKEY_CURRENT_USER, parent, "Software\\Classes\\SystemFileAssociations");
    return 0;
}

// What the box asks, on OK: a refusal is told with the key, the other
// settings saved all the same.
void SettingsTool::applyCueVerb() {
    if (!cueVerbOffered())
        return;
    int32_t wanted = IsDlgButtonChecked(dialog, IDC_CUE_VERB) == BST_CHECKED;
    if (wanted == cueVerbIsSet())
        return;
    const char* refused = wanted ? registerCueVerb() : removeCueVerb();
    if (refused) {
        char text[kToolPathSize * 2];
        snprintf(text, sizeof text, "%s\n\n%s", kTextCueVerbFailed, refused);
        showMessage(dialog, text, kTextToolCaption, MB_ICONWARNING | MB_OK);
    }
}
