// What Windows AutoPlay starts for an audio CD: the default value of the
// AudioCD class's play command, pointed at the player or at the system's own
// CD player, or left alone. From Windows 2000 on the command goes into the
// user's own classes (HKCU\Software\Classes, which the system's merged
// HKEY_CLASSES_ROOT shows first), so that no administrator is needed and the
// machine's key is never written; on the Windows 95 family and NT 4 into
// HKEY_CLASSES_ROOT, the machine's, where only the command that names this
// Drovix is ever taken away. From XP on, AutoPlay offers registered
// handlers: the player also registers one for the user.
#include "SettingsTool.h"

#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "../common/Text.h"
#include "../common/WindowsVersion.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

const char kAutoPlayClass[] = "Drovixcfg";
const char kMachineCommandKey[] = "AudioCD\\shell\\play\\command";
const char kMachineClassKey[] = "AudioCD";
const char kUserCommandKey[] = "Software\\Classes\\AudioCD\\shell\\play\\command";
const char kUserClassKey[] = "Software\\Classes\\AudioCD";
const char kHandlersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const char kHandlerName[] = "PelmarkDrovixPlayCDAudio";
const char kProgId[] = "Pelmark.Drovix.AudioCD";
const char kProgIdKey[] = "Software\\Classes\\Pelmark.Drovix.AudioCD";
const char kVerb[] = "play";
const char kEventKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\EventHandlers"
                         "\\PlayCDAudioOnArrival";
const char kHandlerListKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers";

// Where AutoPlay's command lies on this Windows: the user's own classes from
// Windows 2000 on, the machine's before.
int32_t commandIsUsers(DWORD version) { return ntVersion(version) >= 0x0500; }

// The standard CD player's program, where the shell will look for it: the
// Windows directory on the Windows 95 family, system32 on the NT family.
void systemPlayerProgram(DWORD version, char path[kToolPathSize]) {
    path[0] = 0;
    if (isWindows95Family(version)) {
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

// The standard player's command, stored as plain text also where it names
// %SystemRoot% (the shell expands it when it runs the command); 0 where its
// program is missing.
const char* systemPlayerCommand(DWORD version, char command[kToolPathSize]) {
    char program[kToolPathSize];
    systemPlayerProgram(version, program);
    if (!isProgram(program))
        return 0;
    if (isWindows95Family(version))
        return formCommand(command, "%s /play %%1", program);
    return "%SystemRoot%\\system32\\cdplayer.exe /play %1";
}

int chosen(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The key a refused write names, for the message that tells it.
char refusedKey[kToolPathSize];

// Opens or creates the key with the tool's class; 0 when neither works.
int32_t openToWrite(HKEY root, const char* name, HKEY* key) {
    return RegOpenKeyExA(root, name, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS ||
           RegCreateKeyExA(root, name, 0, (char*)kAutoPlayClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, 0, key, 0) ==
               ERROR_SUCCESS;
}

// One text value written; 0 when the key or the value is refused.
int32_t writeText(HKEY root, const char* keyName, const char* name, const char* text) {
    HKEY key;
    if (!openToWrite(root, keyName, &key))
        return 0;
    int32_t written = setTextValue(key, name, text) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

// A value deleted where it holds the text given (any text when 0); 1 when it
// is gone, was never there or holds another's.
int32_t deleteValueIfItIs(HKEY root, const char* keyName, const char* name, const char* text) {
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    char held[kToolPathSize] = {};
    DWORD size = sizeof held - 1;
    int32_t ours = !text || (queryValue(key, name, 0, (BYTE*)held, &size) == ERROR_SUCCESS && strcmp(held, text) == 0);
    LONG result = ours ? RegDeleteValueA(key, name) : ERROR_SUCCESS;
    RegCloseKey(key);
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        return 1;
    snprintf(refusedKey, sizeof refusedKey, "%s", keyName);
    return 0;
}

// The AudioCD command of the root's key; "" when there is none.
void readCommand(HKEY root, const char* keyName, char command[kToolPathSize]) {
    HKEY key;
    memset(command, 0, kToolPathSize);
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD size = kToolPathSize - 1;
    if (queryValue(key, 0, 0, (BYTE*)command, &size) != ERROR_SUCCESS)
        command[0] = 0;
    RegCloseKey(key);
}

// Whether the user's AudioCD command is the player's (of whichever folder):
// the user's classes are this user's alone.
int32_t usersCommandIsDrovixs() {
    char command[kToolPathSize];
    readCommand(HKEY_CURRENT_USER, kUserCommandKey, command);
    CharLowerA(command);
    return strstr(command, "\\drovix.exe\" /play") != 0;
}

// Whether the machine's AudioCD command names this Drovix: the player beside
// this tool, quoted as the tool writes it, or unquoted as copies before
// wrote it. Another folder's Drovix is another installation's, and stays.
int32_t machineCommandIsThisDrovixs(const char* directory) {
    char command[kToolPathSize], quoted[kToolPathSize], bare[kToolPathSize];
    readCommand(HKEY_CLASSES_ROOT, kMachineCommandKey, command);
    snprintf(quoted, sizeof quoted, "\"%sDrovix.exe\" /play", directory);
    snprintf(bare, sizeof bare, "%sDrovix.exe /play", directory);
    return command[0] && (lstrcmpiA(command, quoted) == 0 || lstrcmpiA(command, bare) == 0);
}

} // namespace

void deleteEmptyKeys(HKEY root, const char* keyName, const char* last) {
    char path[kToolPathSize];
    snprintf(path, sizeof path, "%s", keyName);
    for (;;) {
        HKEY key;
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        DWORD subkeys = 1, values = 1;
        RegQueryInfoKeyA(key, 0, 0, 0, &subkeys, 0, 0, &values, 0, 0, 0, 0);
        RegCloseKey(key);
        if (subkeys || values || RegDeleteKeyA(root, path) != ERROR_SUCCESS || strcmp(path, last) == 0)
            return;
        char* separator = strrchr(path, '\\');
        if (!separator)
            return;
        *separator = 0;
    }
}

// The first key that cannot be deleted is the refused key.
int32_t deleteRegistryTree(HKEY root, const char* name) {
    char path[kToolPathSize];
    snprintf(path, sizeof path, "%s", name);
    for (;;) {
        HKEY key;
        LONG opened = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key);
        if (opened == ERROR_FILE_NOT_FOUND && strcmp(path, name) == 0)
            return 1;
        if (opened != ERROR_SUCCESS) {
            snprintf(refusedKey, sizeof refusedKey, "%s", path);
            return 0;
        }
        char child[256];
        DWORD size = sizeof child;
        LONG found = RegEnumKeyExA(key, 0, child, &size, 0, 0, 0, 0);
        RegCloseKey(key);
        size_t length = strlen(path);
        if (found == ERROR_SUCCESS && length + 1 + strlen(child) < sizeof path) {
            snprintf(path + length, sizeof path - length, "\\%s", child);
            continue;
        }
        if (found != ERROR_NO_MORE_ITEMS || RegDeleteKeyA(root, path) != ERROR_SUCCESS) {
            snprintf(refusedKey, sizeof refusedKey, "%s", path);
            return 0;
        }
        if (strcmp(path, name) == 0)
            return 1;
        *strrchr(path, '\\') = 0;
    }
}

// The player's handler for AutoPlay's "play an audio CD" event, for this
// user: its ProgID with the play verb and the command, the handler's own
// key and its name under the event.
const char* SettingsTool::registerHandler(const char* command) {
    char directory[kToolPathSize], icon[kToolPathSize + 8], handler[kToolPathSize], verbKey[kToolPathSize];
    toolDirectory(directory);
    snprintf(icon, sizeof icon, "\"%sDrovix.exe\",0", directory);
    snprintf(handler, sizeof handler, "%s\\Handlers\\%s", kHandlersKey, kHandlerName);
    snprintf(verbKey, sizeof verbKey, "%s\\shell\\%s\\command", kProgIdKey, kVerb);
    if (!writeText(HKEY_CURRENT_USER, verbKey, 0, command))
        return kProgIdKey;
    snprintf(refusedKey, sizeof refusedKey, "%s", handler);
    if (!writeText(HKEY_CURRENT_USER, handler, "Action", kTextHandlerAction) ||
        !writeText(HKEY_CURRENT_USER, handler, "Provider", kTextHandlerProvider) ||
        !writeText(HKEY_CURRENT_USER, handler, "DefaultIcon", icon) ||
        !writeText(HKEY_CURRENT_USER, handler, "InvokeProgID", kProgId) ||
        !writeText(HKEY_CURRENT_USER, handler, "InvokeVerb", kVerb))
        return refusedKey;
    snprintf(refusedKey, sizeof refusedKey, "%s\\EventHandlers\\PlayCDAudioOnArrival", kHandlersKey);
    return writeText(HKEY_CURRENT_USER, refusedKey, kHandlerName, "") ? 0 : refusedKey;
}

// The handler, its ProgID, its name under the event, and a user's choice
// of it as what AutoPlay does without asking; the keys they leave empty up
// to AutoplayHandlers (Windows's own choices stay in theirs). 0, or the key
// refused.
const char* SettingsTool::removeHandler() {
    char keyName[kToolPathSize];
    if (!deleteValueIfItIs(HKEY_CURRENT_USER, kEventKey, kHandlerName, 0))
        return refusedKey;
    deleteEmptyKeys(HKEY_CURRENT_USER, kEventKey, kHandlersKey);
    snprintf(keyName, sizeof keyName, "%s\\UserChosenExecuteHandlers", kHandlersKey);
    if (!deleteValueIfItIs(HKEY_CURRENT_USER, keyName, "PlayCDAudioOnArrival", kHandlerName))
        return refusedKey;
    snprintf(keyName, sizeof keyName, "%s\\%s", kHandlerListKey, kHandlerName);
    if (!deleteRegistryTree(HKEY_CURRENT_USER, keyName) || !deleteRegistryTree(HKEY_CURRENT_USER, kProgIdKey))
        return refusedKey;
    deleteEmptyKeys(HKEY_CURRENT_USER, kHandlerListKey, kHandlersKey);
    return 0;
}

// On the 95 family and NT 4 the command is the machine's. Where it names
// this Drovix, the standard player's command takes its place where that
// player exists (what these Windows did before the player was chosen), and
// otherwise it goes, with the keys it leaves empty. 0, or the key refused.
const char* SettingsTool::removeMachineAutoPlay(int32_t* systemPlayerNow) {
    char directory[kToolPathSize], command[kToolPathSize];
    toolDirectory(directory);
    if (!machineCommandIsThisDrovixs(directory))
        return 0;
    const char* standard = systemPlayerCommand(windowsVersion(), command);
    if (standard) {
        *systemPlayerNow = 1;
        return writeAutoPlayCommand(standard);
    }
    if (!deleteValueIfItIs(HKEY_CLASSES_ROOT, kMachineCommandKey, 0, 0))
        return refusedKey;
    deleteEmptyKeys(HKEY_CLASSES_ROOT, kMachineCommandKey, kMachineClassKey);
    return 0;
}

// Everything the player's AutoPlay wrote goes, so that Windows' own
// AutoPlay applies again: for this user the AudioCD command where it is the
// player's (another program's stays) and the handler; on the 95 family and
// NT 4 the machine's command where it names this Drovix. 0, or the key
// refused; systemPlayerNow is 1 where the standard player has AutoPlay now.
const char* SettingsTool::removeDrovixAutoPlay(int32_t* systemPlayerNow) {
    *systemPlayerNow = 0;
    DWORD version = windowsVersion();
    if (!commandIsUsers(version))
        return removeMachineAutoPlay(systemPlayerNow);
    if (usersCommandIsDrovixs()) {
        if (!deleteValueIfItIs(HKEY_CURRENT_USER, kUserCommandKey, 0, 0))
            return refusedKey;
        deleteEmptyKeys(HKEY_CURRENT_USER, kUserCommandKey, kUserClassKey);
    }
    return ntVersion(version) >= 0x0501 ? removeHandler() : 0;
}

// Whether anything of the player's AutoPlay that removal takes away is there.
int32_t SettingsTool::drovixAutoPlayIsSet() {
    if (!commandIsUsers(windowsVersion())) {
        char directory[kToolPathSize];
        toolDirectory(directory);
        return machineCommandIsThisDrovixs(directory);
    }
    char handler[kToolPathSize];
    snprintf(handler, sizeof handler, "%s\\%s", kHandlerListKey, kHandlerName);
    for (const char* keyName : {kProgIdKey, (const char*)handler}) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            return 1;
        }
    }
    return usersCommandIsDrovixs();
}

// The standard player's choice needs cdplayer.exe: where it is missing the
// user is told and chooses again, with nothing saved. 1 when the choice can
// be carried out.
int32_t SettingsTool::autoPlayChoiceIsPossible() {
    if (!chosen(dialog, IDC_AUTOPLAY_SYSTEM))
        return 1;
    char program[kToolPathSize];
    systemPlayerProgram(windowsVersion(), program);
    // From 2000 on the player's choice lies in the user's own classes:
    // without the standard player, taking it away gives the machine's own
    // AutoPlay back. Before, the command that names this Drovix can go.
    char directory[kToolPathSize];
    toolDirectory(directory);
    if (isProgram(program) || commandIsUsers(windowsVersion()) || machineCommandIsThisDrovixs(directory))
        return 1;
    showMessage(dialog, kTextNoSystemPlayer, kTextToolCaption, MB_ICONWARNING | MB_OK);
    return 0;
}

int32_t SettingsTool::registerAutoPlay() {
    DWORD version = windowsVersion();
    char command[kToolPathSize];
    const char* failed = 0;
    if (chosen(dialog, IDC_AUTOPLAY_PLAYER)) {
        char directory[kToolPathSize];
        toolDirectory(directory);
        // Quoted, so that a folder with blanks is one name: Windows hands the
        // command line over as it stands.
        char player[kToolPathSize];
        const char* formed = formCommand(command, "\"%s\" /play", formCommand(player, "%sDrovix.exe", directory));
        failed = writeAutoPlayCommand(formed);
        if (!failed && formed && ntVersion(version) >= 0x0501)
            failed = registerHandler(formed);
    } else if (chosen(dialog, IDC_AUTOPLAY_SYSTEM)) {
        const char* standard = systemPlayerCommand(version, command);
        int32_t systemPlayerNow = 0;
        if (!standard) {
            failed = removeDrovixAutoPlay(&systemPlayerNow);
            if (!failed)
                showMessage(dialog, kTextAutoPlayGivenBack, kTextToolCaption, MB_ICONINFORMATION | MB_OK);
        } else
            failed = writeAutoPlayCommand(standard);
        if (!failed && standard && ntVersion(version) >= 0x0501)
            failed = removeHandler();
    }
    if (failed) {
        char text[kToolPathSize * 2];
        snprintf(text, sizeof text, "%s\n\n%s", kTextAutoPlayFailed, failed);
        showMessage(dialog, text, kTextToolCaption, MB_ICONWARNING | MB_OK);
    }
    return !failed;
}

// The key that was refused, or 0 when the command is written: without a
// command nothing is written, and the command in force stays.
const char* SettingsTool::writeAutoPlayCommand(const char* command) {
    int32_t forUser = commandIsUsers(windowsVersion());
    HKEY root = forUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
    const char* keyName = forUser ? kUserCommandKey : kMachineCommandKey;
    // Stored as plain text, also where it names %SystemRoot%: the shell
    // expands it when it runs the command.
    if (!command || !writeText(root, keyName, 0, command))
        return keyName;
    return 0;
}
