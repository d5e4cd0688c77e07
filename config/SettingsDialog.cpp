// The settings dialog: the five settings the tool owns, read from the
// settings key when it opens and written back only on OK with valid values.
// Enter moves the focus field by field and confirms only on OK.
#include "SettingsTool.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "../common/ProgramDirectory.h"
#include "../common/ShiftJis.h"
#include "Texts.h"
#include "res/resource.h"

SettingsTool settingsTool;

namespace {

const char kSettingsKey[] = "Software\\Pelmark\\Drovix";
const char kSettingsClass[] = "Drovix";
const char kDefaultIndexFile[] = "drovix.idx";
const uint32_t kDefaultInterval = 333;
const uint32_t kSlowest = 1000, kFastest = 100, kIntervalStep = 100;
const int kMessageSize = 1024;

// Only a true 32-bit number is taken: anything else leaves the default.
void readDword(HKEY key, const char* name, uint32_t* target) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, 0, &type, (BYTE*)&value, &size) == ERROR_SUCCESS && type == REG_DWORD &&
        size == sizeof value)
        *target = value;
}

// Read as the player reads it, whatever its type; a text longer than the tool
// takes is cut on a character boundary.
void readIndexFile(HKEY key, char target[kIndexFileMax + 1]) {
    char text[kToolPathSize + 1] = {};
    DWORD size = kToolPathSize;
    if (RegQueryValueExA(key, "IndexFile", 0, 0, (BYTE*)text, &size) == ERROR_SUCCESS)
        copyCut(target, text, kIndexFileMax);
}

void writeDword(HKEY key, const char* name, uint32_t value) {
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
}

int checkedBox(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0; }

void focusAndSelectAll(HWND control) {
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

// A title index is a file: a folder of that name is none.
int isFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates the file empty; a file that appeared meanwhile is kept as it is.
int createEmpty(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

void okOrEnter(SettingsTool* tool) {
    HWND focus = GetFocus();
    if (focus != GetDlgItem(tool->dialog, IDOK)) {
        tool->advanceFocus(GetDlgCtrlID(focus));
        return;
    }
    int32_t wrong = tool->validateSettings();
    if (wrong) {
        focusAndSelectAll(GetDlgItem(tool->dialog, wrong));
        return;
    }
    tool->saveSettings();
    tool->help(HELP_QUIT);
    EndDialog(tool->dialog, 1);
}

void handleCommand(SettingsTool* tool, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
        okOrEnter(tool);
        break;
    case IDCANCEL:
        tool->help(HELP_QUIT);
        EndDialog(tool->dialog, 0);
        break;
    case IDC_BROWSE:
        tool->browse();
        break;
    case IDC_SETTINGS_HELP:
        tool->help(HELP_CONTENTS);
        break;
    }
}

} // namespace

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    SettingsTool& tool = settingsTool;
    tool.dialog = dialog;
    switch (message) {
    case WM_INITDIALOG:
        tool.initSettingsDialog();
        break;
    case WM_COMMAND:
        handleCommand(&tool, wParam);
        break;
    case WM_HSCROLL:
        if ((HWND)lParam == tool.slider)
            tool.showInterval((uint32_t)SendMessageA(tool.slider, TBM_GETPOS, 0, 0));
        break;
    case WM_DESTROY:
        GlobalDeleteAtom(GlobalFindAtomA(kToolAtom));
        PostQuitMessage(0);
        break;
    }
    return FALSE;
}

int32_t SettingsTool::initSettingsDialog() {
    slider = GetDlgItem(dialog, IDC_INTERVAL);
    SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(kFastest, kSlowest));
    SendMessageA(slider, TBM_CLEARSEL, TRUE, 0);
    SendMessageA(slider, TBM_SETPAGESIZE, 0, kIntervalStep);
    SendMessageA(slider, TBM_SETTICFREQ, kIntervalStep, 0);
    interval = kDefaultInterval;
    autoplayMinimize = 0;
    snprintf(indexFile, sizeof indexFile, "%s", kDefaultIndexFile);
    alwaysVisibleSet = 0;
    saveBeforePlayMode = 1;
    readSettings();
    fillControls();
    return 1;
}

void SettingsTool::readSettings() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    readDword(key, "Interval", &interval);
    readDword(key, "AutoplayMinimize", &autoplayMinimize);
    readIndexFile(key, indexFile);
    readDword(key, "AlwayVisibleSet", &alwaysVisibleSet);
    readDword(key, "SaveBeforePlayMode", &saveBeforePlayMode);
    RegCloseKey(key);
}

// Each box shows what the player will do with the stored value: it offers
// the title item always only for exactly 1, and takes any other nonzero
// value of the two others as on.
void SettingsTool::fillControls() {
    SetDlgItemTextA(dialog, IDC_INDEX_FILE, indexFile);
    showInterval(interval);
    SendMessageA(slider, TBM_SETPOS, TRUE, (LPARAM)(interval > kSlowest ? kSlowest : interval));
    CheckDlgButton(dialog, IDC_AUTOPLAY_MINIMIZE, autoplayMinimize ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_ALWAYS_VISIBLE, alwaysVisibleSet == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SAVE_PLAY_MODE, saveBeforePlayMode ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_AUTOPLAY_UNCHANGED, IDC_AUTOPLAY_SYSTEM, IDC_AUTOPLAY_UNCHANGED);
}

void SettingsTool::showInterval(uint32_t milliseconds) {
    char label[32];
    snprintf(label, sizeof label, kTextIntervalLabel, (unsigned)milliseconds);
    SetDlgItemTextA(dialog, IDC_INTERVAL_LABEL, label);
}

// Enter on a field moves to the next one in the dialog's order, and from the
// last one back to the path.
int32_t SettingsTool::advanceFocus(int32_t focused) {
    HWND current = GetDlgItem(dialog, focused);
    if (!current)
        return 1;
    HWND next = GetWindow(current, GW_HWNDNEXT);
    if (!next || next == GetDlgItem(dialog, IDOK))
        next = GetDlgItem(dialog, IDC_INDEX_FILE);
    focusAndSelectAll(next);
    return 1;
}

void SettingsTool::takeValues() {
    char typed[kToolPathSize] = {};
    GetDlgItemTextA(dialog, IDC_INDEX_FILE, typed, kToolPathSize);
    copyCut(indexFile, typed, kIndexFileMax);
    interval = (uint32_t)SendMessageA(slider, TBM_GETPOS, 0, 0);
    autoplayMinimize = checkedBox(dialog, IDC_AUTOPLAY_MINIMIZE);
    alwaysVisibleSet = checkedBox(dialog, IDC_ALWAYS_VISIBLE);
    saveBeforePlayMode = checkedBox(dialog, IDC_SAVE_PLAY_MODE);
}

// The file the player will read: a name without a directory lies in the
// program's directory, which is the tool's.
int32_t SettingsTool::resolveIndexFile(char path[kToolPathSize]) {
    if (lastSeparator(indexFile)) {
        snprintf(path, kToolPathSize, "%s", indexFile);
        return 1;
    }
    char directory[kToolPathSize];
    toolDirectory(directory);
    int length = snprintf(path, kToolPathSize, "%s%s", directory, indexFile);
    return length >= 0 && length < kToolPathSize;
}

int32_t SettingsTool::validateSettings() {
    takeValues();
    char path[kToolPathSize];
    int resolved = resolveIndexFile(path);
    if (resolved && isFile(path))
        return 0;
    if (tell(kTextIndexMissing, indexFile, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return IDC_INDEX_FILE;
    if (!resolved || !createEmpty(path)) {
        tell(kTextIndexNotCreated, indexFile, MB_OK | MB_ICONEXCLAMATION);
        return IDC_INDEX_FILE;
    }
    return 0;
}

int32_t SettingsTool::tell(const char* format, const char* path, UINT type) {
    char text[kMessageSize];
    snprintf(text, sizeof text, format, path);
    return MessageBoxA(dialog, text, kTextToolCaption, type);
}

int32_t SettingsTool::saveSettings() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ||
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, (char*)kSettingsClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, 0, &key, 0) == ERROR_SUCCESS) {
        writeDword(key, "Interval", interval);
        RegSetValueExA(key, "IndexFile", 0, REG_SZ, (const BYTE*)indexFile, (DWORD)strlen(indexFile) + 1);
        writeDword(key, "AutoplayMinimize", autoplayMinimize);
        writeDword(key, "AlwayVisibleSet", alwaysVisibleSet);
        writeDword(key, "SaveBeforePlayMode", saveBeforePlayMode);
        RegCloseKey(key);
    }
    registerAutoPlay();
    return 1;
}

void SettingsTool::browse() {
    char chosen[kToolPathSize] = {};
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    request.lpstrFilter = kTextIndexFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = chosen;
    request.nMaxFile = kToolPathSize;
    request.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    request.lpstrDefExt = "idx";
    if (GetOpenFileNameA(&request))
        SetDlgItemTextA(dialog, IDC_INDEX_FILE, chosen);
}

int32_t SettingsTool::help(UINT command) {
    char directory[kToolPathSize], helpPath[kToolPathSize];
    toolDirectory(directory);
    snprintf(helpPath, kToolPathSize, "%sdrovix.hlp", directory);
    return WinHelpA(dialog, helpPath, command, 0);
}

void SettingsTool::toolDirectory(char directory[kToolPathSize]) { programDirectory(moduleInstance, directory); }
