#include "Settings.h"

#include <stdio.h>
#include <string.h>

#include "ShiftJis.h"
#include "Text.h"

namespace {

void readNumber(HKEY key, const char* name, void* target) {
    BYTE bytes[4];
    DWORD size = sizeof bytes;
    if (queryValue(key, name, 0, bytes, &size) == ERROR_SUCCESS && size <= sizeof bytes)
        memcpy(target, bytes, size);
}

// The last byte is never read into, so the text ends in NUL even when the
// value fills the buffer or is not a string at all.
void readText(HKEY key, const char* name, char target[kSettingPathSize]) {
    char text[kSettingPathSize] = {};
    DWORD size = kSettingPathSize - 1;
    if (queryValue(key, name, 0, (BYTE*)text, &size) == ERROR_SUCCESS)
        memcpy(target, text, kSettingPathSize);
}

int32_t joinPath(char path[kSettingPathSize], const char* directory, const char* name) {
    int length = snprintf(path, kSettingPathSize, "%s%s", directory, name);
    if (length >= 0 && length < kSettingPathSize)
        return 1;
    path[0] = 0;
    return 0;
}

int32_t isFile(const char* path) { return fileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

int32_t readSettings(Settings* settings) {
    *settings = Settings{};
    settings->interval = kIntervalDefault;
    settings->saveBeforePlayMode = 1;
    snprintf(settings->indexFile, kSettingPathSize, "%s", kDefaultIndexFile);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    readNumber(key, "WindowLeft", &settings->windowLeft);
    readNumber(key, "WindowTop", &settings->windowTop);
    readNumber(key, "TopMost", &settings->topMost);
    readNumber(key, "DisplayState", &settings->displayState);
    readNumber(key, "Interval", &settings->interval);
    readText(key, "IndexFile", settings->indexFile);
    readNumber(key, "AutoplayMinimize", &settings->autoplayMinimize);
    readNumber(key, "AlwayVisibleSet", &settings->alwaysVisibleSet);
    readNumber(key, "SaveBeforePlayMode", &settings->saveBeforePlayMode);
    readNumber(key, "RepeatMode", &settings->repeatMode);
    readNumber(key, "RandomMode", &settings->randomMode);
    RegCloseKey(key);
    return 1;
}

int32_t openSettingsToWrite(HKEY* key) {
    *key = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS ||
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, (char*)kSettingsClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, 0, key, 0) == ERROR_SUCCESS)
        return 1;
    *key = 0;
    return 0;
}

int32_t writeSettingNumber(HKEY key, const char* name, uint32_t value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value) == ERROR_SUCCESS;
}

int32_t writeSettingText(HKEY key, const char* name, const char* text) {
    return setTextValue(key, name, text) == ERROR_SUCCESS;
}

int32_t namedIndexPath(const char* setting, const char* programDir, char path[kSettingPathSize]) {
    if (lastSeparator(setting))
        return joinPath(path, "", setting);
    return joinPath(path, programDir, setting);
}

int32_t indexPathInUse(const char* setting, const char* programDir, char path[kSettingPathSize]) {
    if (namedIndexPath(setting, programDir, path) && (!lastSeparator(setting) || isFile(path)))
        return 1;
    return joinPath(path, programDir, kDefaultIndexFile);
}

int32_t tempPathOf(const char* programDir, char path[kSettingPathSize]) {
    return joinPath(path, programDir, kTempFileName);
}

int32_t sameFile(const char* one, const char* other) {
    char fullOne[kSettingPathSize], fullOther[kSettingPathSize];
    DWORD oneLength = fullPathName(one, fullOne, kSettingPathSize);
    DWORD otherLength = fullPathName(other, fullOther, kSettingPathSize);
    if (!oneLength || oneLength >= (DWORD)kSettingPathSize || !otherLength || otherLength >= (DWORD)kSettingPathSize)
        return sameIgnoringCase(one, other);
    return sameIgnoringCase(fullOne, fullOther);
}
