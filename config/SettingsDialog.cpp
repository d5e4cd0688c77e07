// The settings dialog: the five settings the tool owns, read from the
// settings key when it opens and written back only on OK with valid values.
// Enter moves the focus field by field and confirms only on OK.
#include "SettingsTool.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "../common/FontFit.h"
#include "../common/Help.h"
#include "../common/IndexWords.h"
#include "../common/Places.h"
#include "../common/ProgramDirectory.h"
#include "../common/Settings.h"
#include "../common/ShiftJis.h"
#include "../common/Text.h"
#include "../titles/TitleIndex.h"
#include "Texts.h"
#include "res/resource.h"

SettingsTool settingsTool;

namespace {

const uint32_t kSlowest = 1000, kFastest = 100, kIntervalStep = 100;
const int kMessageSize = 1024;

int checkedBox(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0; }

void focusAndSelectAll(HWND control) {
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

// A title index is a file: a folder of that name is none.
int isFile(const char* path) {
    DWORD attributes = fileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int isFolder(const char* path) {
    DWORD attributes = fileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    // Settings that could not be stored are told, and the dialog stays for
    // another try or Cancel.
    if (!tool->saveSettings()) {
        showMessage(tool->dialog, kTextSettingsNotSaved, kTextToolCaption, MB_ICONWARNING | MB_OK);
        return;
    }
    tool->help(HELP_QUIT);
    EndDialog(tool->dialog, 1);
}

void handleCommand(SettingsTool* tool, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_INDEX_FILE:
        if (HIWORD(wParam) == EN_CHANGE)
            keepShiftJisFit(GetDlgItem(tool->dialog, IDC_INDEX_FILE), kToolPathSize - 1);
        break;
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
    // F1: as the Help button.
    case WM_HELP:
        tool.help(HELP_CONTENTS);
        return TRUE;
    case WM_HSCROLL:
        if ((HWND)lParam == tool.slider)
            tool.showInterval((uint32_t)SendMessageA(tool.slider, TBM_GETPOS, 0, 0));
        break;
    case WM_DESTROY:
        releaseDialogFont(dialog);
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
    readStoredValues();
    fillControls();
    fitTexts();
    return 1;
}

// The interval label's widest text, "1000 ミリ秒", fits too.
void SettingsTool::fitTexts() {
    char widest[32];
    snprintf(widest, sizeof widest, kTextIntervalLabel, (unsigned)kSlowest);
    RECT label;
    GetClientRect(GetDlgItem(dialog, IDC_INTERVAL_LABEL), &label);
    const FitText extra = {widest, label.right};
    fitDialogTexts(dialog, kTextToolFont, &extra, 1);
}

// Read as the player reads them, so that every field shows what the player
// does with the stored value.
void SettingsTool::readStoredValues() {
    Settings stored;
    readSettings(&stored);
    interval = (uint32_t)timerInterval(stored.interval);
    snprintf(indexFile, sizeof indexFile, "%s", stored.indexFile);
    snprintf(shownIndexFile, sizeof shownIndexFile, "%s", stored.indexFile);
    autoplayMinimize = stored.autoplayMinimize;
    alwaysVisibleSet = stored.alwaysVisibleSet;
    saveBeforePlayMode = stored.saveBeforePlayMode;
}

// Each box shows what the player will do with the stored value: it offers
// the title item always only for exactly 1, and takes any other nonzero
// value of the two others as on.
void SettingsTool::fillControls() {
    setItemText(dialog, IDC_INDEX_FILE, indexFile);
    showInterval(interval);
    SendMessageA(slider, TBM_SETPOS, TRUE, (LPARAM)(interval > kSlowest ? kSlowest : interval));
    CheckDlgButton(dialog, IDC_AUTOPLAY_MINIMIZE, autoplayMinimize ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_ALWAYS_VISIBLE, alwaysVisibleSet == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_SAVE_PLAY_MODE, saveBeforePlayMode ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_AUTOPLAY_UNCHANGED, IDC_AUTOPLAY_SYSTEM, IDC_AUTOPLAY_UNCHANGED);
    CheckDlgButton(dialog, IDC_CUE_VERB, cueVerbIsSet() ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_CUE_VERB), cueVerbOffered());
}

void SettingsTool::showInterval(uint32_t milliseconds) {
    char label[32];
    snprintf(label, sizeof label, kTextIntervalLabel, (unsigned)milliseconds);
    setItemText(dialog, IDC_INTERVAL_LABEL, label);
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

// A path the user did not touch stays whole, as the player reads it; a
// typed one is cut to what the tool takes.
void SettingsTool::takeValues() {
    char typed[kToolPathSize] = {};
    itemText(dialog, IDC_INDEX_FILE, typed, kToolPathSize);
    indexFileChanged = strcmp(typed, shownIndexFile) != 0;
    if (indexFileChanged)
        copyCut(indexFile, typed, kIndexFileMax);
    interval = (uint32_t)SendMessageA(slider, TBM_GETPOS, 0, 0);
    autoplayMinimize = checkedBox(dialog, IDC_AUTOPLAY_MINIMIZE);
    alwaysVisibleSet = checkedBox(dialog, IDC_ALWAYS_VISIBLE);
    saveBeforePlayMode = checkedBox(dialog, IDC_SAVE_PLAY_MODE);
}

// The file the player will use: a full path as it stands (the tool may
// create it); a name in the program's folder, which is the tool's, or in the
// user's folder where this user cannot write the program's, by the player's
// own rule.
int32_t SettingsTool::resolveIndexFile(IndexPlace* place) {
    *place = IndexPlace{};
    if (lastSeparator(indexFile)) {
        int length = snprintf(place->path, sizeof place->path, "%s", indexFile);
        return length >= 0 && length < (int)sizeof place->path && tempPathBeside(place->path, place->temp);
    }
    char directory[kToolPathSize];
    toolDirectory(directory);
    return indexPlaceInUse(indexFile, directory, place);
}

// The file the player reads for the place, as the player finds it (a save
// cut off put right first): the index, or until it exists the file it
// starts from; 0 when neither exists.
const char* SettingsTool::fileToRead(const IndexPlace& place) {
    const char* reading = indexToRead(place.path, place.seed[0] ? place.seed : 0);
    return isFile(reading) ? reading : 0;
}

// An existing file is taken as it is where it is an index the player can
// write; else only when the user says so, told in the words the player
// uses when it refuses a save.
int32_t SettingsTool::takeExistingIndex(const char* existing) {
    char text[kMessageSize];
    IndexCheck check = checkTitleIndex(existing);
    if (check.verdict != kIndexOk) {
        char refused[kIndexWordsSize];
        describeRefusedIndex(existing, check, refused, sizeof refused);
        snprintf(text, sizeof text, kTextNotAnIndex, refused);
    } else if (fileAttributes(existing) & FILE_ATTRIBUTE_READONLY) {
        snprintf(text, sizeof text, kTextIndexReadOnly, existing);
    } else {
        return 1;
    }
    return showMessage(dialog, text, kTextToolCaption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// 1 when the new, empty index is there; told otherwise.
int32_t SettingsTool::createIndex(const IndexPlace& place) {
    SaveResult made = makeIndexFolder(place.folderToMake) ? createEmptyIndex(place.path, place.temp) : kSaveWriteFailed;
    if (made == kSaveDone)
        return 1;
    char text[kMessageSize];
    if (made == kSaveBusy)
        describeBusyIndex(place.path, text, sizeof text);
    else if (made == kSaveIndexIsSaveFile)
        describeSaveFileIndex(place.path, text, sizeof text);
    else
        snprintf(text, sizeof text, kTextIndexNotCreated, place.path);
    showMessage(dialog, text, kTextToolCaption, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

int32_t SettingsTool::validateSettings() {
    takeValues();
    if (!autoPlayChoiceIsPossible())
        return IDC_AUTOPLAY_SYSTEM;
    if (!indexFile[0]) {
        showMessage(dialog, kTextIndexNameEmpty, kTextToolCaption, MB_OK | MB_ICONEXCLAMATION);
        return IDC_INDEX_FILE;
    }
    IndexPlace place;
    int resolved = resolveIndexFile(&place);
    if (resolved && isFolder(place.path)) {
        tell(kTextIndexIsFolder, place.path, MB_OK | MB_ICONEXCLAMATION);
        return IDC_INDEX_FILE;
    }
    if (!resolved) {
        tell(kTextIndexNotCreated, indexFile, MB_OK | MB_ICONEXCLAMATION);
        return IDC_INDEX_FILE;
    }
    if (indexIsSaveFile(place.path, place.temp)) {
        char text[kMessageSize];
        describeSaveFileIndex(place.path, text, sizeof text);
        showMessage(dialog, text, kTextToolCaption, MB_OK | MB_ICONEXCLAMATION);
        return IDC_INDEX_FILE;
    }
    const char* existing = fileToRead(place);
    if (existing)
        return takeExistingIndex(existing) ? 0 : IDC_INDEX_FILE;
    if (tell(kTextIndexMissing, place.path, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return IDC_INDEX_FILE;
    return createIndex(place) ? 0 : IDC_INDEX_FILE;
}

int32_t SettingsTool::tell(const char* format, const char* path, UINT type) {
    char text[kMessageSize];
    snprintf(text, sizeof text, format, path);
    return showMessage(dialog, text, kTextToolCaption, type);
}

// 0 when the key or one of its values could not be written; AutoPlay is
// then left alone too.
int32_t SettingsTool::saveSettings() {
    HKEY key;
    if (!openSettingsToWrite(&key))
        return 0;
    int32_t written = writeSettingNumber(key, kValueInterval, interval);
    if (indexFileChanged)
        written &= writeSettingText(key, kValueIndexFile, indexFile);
    written &= writeSettingNumber(key, kValueAutoplayMinimize, autoplayMinimize);
    written &= writeSettingNumber(key, kValueAlwaysVisibleSet, alwaysVisibleSet);
    written &= writeSettingNumber(key, kValueSaveBeforePlayMode, saveBeforePlayMode);
    RegCloseKey(key);
    if (!written)
        return 0;
    registerAutoPlay();
    applyCueVerb();
    return 1;
}

namespace {

// The Open dialog's request for a title index, alike in both forms.
template <typename Request, typename Char>
void fillRequest(Request* request, HWND dialog, const Char* filter, Char* chosen, const Char* extension,
                 const Char* folder) {
    request->lStructSize = sizeof *request;
    request->hwndOwner = dialog;
    request->lpstrFilter = filter;
    request->nFilterIndex = 1;
    request->lpstrFile = chosen;
    request->nMaxFile = kToolPathSize;
    request->Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    request->lpstrDefExt = extension;
    request->lpstrInitialDir = folder[0] ? folder : 0;
}

// The wide dialog on the NT family: the filter and the chosen path are
// converted both ways.
int chooseIndexFile(HWND dialog, const char* folder, char chosen[kToolPathSize]) {
    if (!wideCallsInUse()) {
        OPENFILENAMEA request = {};
        fillRequest(&request, dialog, kTextIndexFilter, chosen, "idx", folder);
        return GetOpenFileNameA(&request);
    }
    wchar_t filter[128] = {}, wideChosen[kToolPathSize] = {}, wideFolder[kToolPathSize] = {};
    if (!toWideList(kTextIndexFilter, sizeof kTextIndexFilter, filter, 128))
        return 0;
    toWide(folder, wideFolder, kToolPathSize);
    OPENFILENAMEW request = {};
    fillRequest(&request, dialog, (const wchar_t*)filter, wideChosen, L"idx", (const wchar_t*)wideFolder);
    return GetOpenFileNameW(&request) && toShiftJis(wideChosen, chosen, kToolPathSize);
}

} // namespace

// The Open dialog starts in the folder of the index the field names.
void SettingsTool::browse() {
    takeValues();
    IndexPlace place;
    char folder[kToolPathSize] = {};
    if (resolveIndexFile(&place)) {
        const char* current = fileToRead(place) ? fileToRead(place) : place.path;
        const char* separator = lastSeparator(current);
        if (separator)
            snprintf(folder, sizeof folder, "%.*s", (int)(separator - current), current);
    }
    char chosen[kToolPathSize] = {};
    if (chooseIndexFile(dialog, folder, chosen))
        setItemText(dialog, IDC_INDEX_FILE, chosen);
}

int32_t SettingsTool::help(UINT command) {
    char directory[kToolPathSize];
    toolDirectory(directory);
    return openHelp(dialog, directory, command, kTextGuideNotOpened, kTextToolCaption);
}

void SettingsTool::toolDirectory(char directory[kToolPathSize]) { programDirectory(moduleInstance, directory); }
