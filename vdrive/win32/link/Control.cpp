#include "Control.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "../../../common/ShiftJis.h"
#include "../../../common/Text.h"

int readTextValue(HKEY key, const char* name, char* text, DWORD size) {
    DWORD length = size - 1, type = 0;
    memset(text, 0, size);
    LONG result = queryValue(key, name, &type, (BYTE*)text, &length);
    if (result == ERROR_FILE_NOT_FOUND)
        return 1;
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        memset(text, 0, size);
        return 0;
    }
    return 1;
}

namespace {

// The image's path as Windows names it, whatever the code page: 0 when the
// value is there but no text, or too long.
int readWideText(HKEY key, const wchar_t* name, wchar_t* text, DWORD count) {
    DWORD size = (count - 1) * sizeof(wchar_t), type = 0;
    memset(text, 0, count * sizeof(wchar_t));
    LONG result = RegQueryValueExW(key, name, 0, &type, (BYTE*)text, &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return 1;
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        memset(text, 0, count * sizeof(wchar_t));
        return 0;
    }
    return 1;
}

// A number: REG_DWORD of 4 bytes, else the default stays.
void readNumber(HKEY key, const char* name, uint32_t* value) {
    DWORD number, size = sizeof number, type;
    if (RegQueryValueExA(key, name, 0, &type, (BYTE*)&number, &size) == ERROR_SUCCESS && type == REG_DWORD &&
        size == sizeof number)
        *value = number;
}

} // namespace

// Every cdaudio client, an administrator's too, appends to the log: it goes
// only into a file right in the user's temporary folder, never one the
// value names elsewhere, nor in a folder within it (which may be a junction
// to anywhere).
int isLogPlace(const char* path) {
    char temp[MAX_PATH], full[MAX_PATH];
    DWORD tempLength = GetTempPathA(MAX_PATH, temp);
    DWORD fullLength = fullPathName(path, full, MAX_PATH);
    if (!tempLength || tempLength >= MAX_PATH || !fullLength || fullLength >= MAX_PATH)
        return 0;
    // The folder itself, as the system names it (no "..", no short names).
    char longTemp[MAX_PATH];
    DWORD longLength = GetLongPathNameA(temp, longTemp, MAX_PATH);
    if (longLength && longLength < MAX_PATH)
        tempLength = (DWORD)snprintf(temp, MAX_PATH, "%s", longTemp);
    if (fullLength <= tempLength || _strnicmp(full, temp, tempLength) != 0 || temp[tempLength - 1] != '\\')
        return 0;
    const char* name = full + tempLength;
    return !lastSeparator(name) && !strchr(name, '/') && !strchr(name, ':');
}

void readControl(DriveControl* control) {
    memset(control, 0, sizeof *control);
    control->media = 1;
    control->speed = 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kControlKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &control->written);
    control->imageUnreadable =
        !readWideText(key, kControlImageWide, control->image, sizeof control->image / sizeof(wchar_t));
    readTextValue(key, kControlLog, control->logPath, sizeof control->logPath);
    readTextValue(key, kControlState, control->state, sizeof control->state);
    readNumber(key, kControlMedia, &control->media);
    readNumber(key, kControlSpeed, &control->speed);
    readNumber(key, kControlDoor, &control->doorOpen);
    RegCloseKey(key);
    if (control->logPath[0] && !isLogPlace(control->logPath))
        control->logPath[0] = 0;
    if (control->speed < 1)
        control->speed = 1;
    if (control->speed > 1000)
        control->speed = 1000;
}

uint32_t readControlMedia() {
    uint32_t media = 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kControlKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        readNumber(key, kControlMedia, &media);
        RegCloseKey(key);
    }
    return media;
}

namespace {

void appendLine(const char* path, const char* format, va_list arguments) {
    if (!path[0])
        return;
    FILE* log = openStream(path, "a");
    if (!log)
        return;
    vfprintf(log, format, arguments);
    fputc('\n', log);
    fclose(log);
}

} // namespace

void controlLog(const DriveControl* control, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendLine(control->logPath, format, arguments);
    va_end(arguments);
}

void appendLog(const char* path, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    appendLine(path, format, arguments);
    va_end(arguments);
}

void controlState(const DriveControl* control, const char* state) {
    controlLog(control, "%s", state);
    setControlText(kControlState, state);
}

namespace {

// The control key, opened to be written; 0 when it cannot be.
HKEY writableControl() {
    HKEY key;
    return RegCreateKeyExA(HKEY_CURRENT_USER, kControlKey, 0, 0, 0, KEY_SET_VALUE, 0, &key, 0) == ERROR_SUCCESS ? key
                                                                                                              : 0;
}

int written(HKEY key, LONG result) {
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

int setControlText(const char* name, const char* text) {
    HKEY key = writableControl();
    return key && written(key, setTextValue(key, name, text));
}

int setControlImage(const wchar_t* path) {
    HKEY key = writableControl();
    return key && written(key, RegSetValueExW(key, kControlImageWide, 0, REG_SZ, (const BYTE*)path,
                                              (DWORD)(wcslen(path) + 1) * sizeof(wchar_t)));
}

int setControlNumber(const char* name, uint32_t value) {
    HKEY key = writableControl();
    DWORD number = value;
    return key && written(key, RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&number, sizeof number));
}
