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

} // namespace

int32_t readSettings(Settings* settings) {
    *settings = Settings{};
    settings->interval = kIntervalDefault;
    settings->saveBeforePlayMode = 1;
    snprintf(settings->indexFile, kSettingPathSize, "%s", kDefaultIndexName);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    readNumber(key, kValueWindowLeft, &settings->windowLeft);
    readNumber(key, kValueWindowTop, &settings->windowTop);
    readNumber(key, kValueTopMost, &settings->topMost);
    readNumber(key, kValueDisplayState, &settings->displayState);
    readNumber(key, kValueInterval, &settings->interval);
    readText(key, kValueIndexFile, settings->indexFile);
    readNumber(key, kValueAutoplayMinimize, &settings->autoplayMinimize);
    readNumber(key, kValueAlwaysVisibleSet, &settings->alwaysVisibleSet);
    readNumber(key, kValueSaveBeforePlayMode, &settings->saveBeforePlayMode);
    readNumber(key, kValueRepeatMode, &settings->repeatMode);
    readNumber(key, kValueRandomMode, &settings->randomMode);
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
