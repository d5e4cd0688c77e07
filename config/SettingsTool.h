// The settings tool: one modal dialog that edits the five settings the tool
// owns in the player's settings key, and chooses what Windows AutoPlay
// starts for audio CDs. Its working values live here for the dialog's life.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "../common/IndexPlace.h"
#include "../common/ProgramDirectory.h"

// The global atom that marks a running tool.
const char kToolAtom[] = "PELMARKCDPLAYERCONFIG";

const int kToolPathSize = kProgramPathSize;
// The longest title index path the tool takes.
const int kIndexFileMax = 255;

struct SettingsTool {
    HINSTANCE moduleInstance;
    HWND dialog;
    HWND slider;
    uint32_t interval;
    uint32_t autoplayMinimize;
    // The path to save, and the path the dialog opened with: a path the user
    // did not change is not written back.
    char indexFile[kToolPathSize];
    char shownIndexFile[kToolPathSize];
    uint32_t indexFileChanged;
    uint32_t alwaysVisibleSet;
    uint32_t saveBeforePlayMode;

    int32_t initSettingsDialog();
    // 0 when the values may be saved, else the control to take the focus.
    int32_t validateSettings();
    // 0 when the settings key could not be written.
    int32_t saveSettings();
    int32_t advanceFocus(int32_t focused);
    void showInterval(uint32_t milliseconds);
    void browse();
    int32_t help(UINT command);

    // AutoPlay for audio CDs.
    int32_t autoPlayChoiceIsPossible();
    int32_t registerAutoPlay();
    // What the player's AutoPlay wrote, taken away: 0, or the key refused;
    // systemPlayerNow is 1 where the standard CD player has AutoPlay now.
    const char* removeDrovixAutoPlay(int32_t* systemPlayerNow);
    int32_t drovixAutoPlayIsSet();

    // Explorer's 「Drovix で再生」 on .cue files (CueVerb.cpp), as the box
    // asks on OK.
    void applyCueVerb();
    const char* registerCueVerb();

    // Drovixcfg.exe /uninstall: asks, removes, says what it did and which
    // title indexes it kept, in messages of the owner (none from the
    // command line). 0 when everything asked for is gone.
    int32_t uninstall(HWND owner);

    // The directory of the tool's own program, with its trailing backslash.
    void toolDirectory(char directory[kToolPathSize]);

  private:
    void readStoredValues();
    void fillControls();
    void fitTexts();
    void takeValues();
    int32_t resolveIndexFile(IndexPlace* place);
    const char* fileToRead(const IndexPlace& place);
    int32_t takeExistingIndex(const char* existing);
    int32_t createIndex(const IndexPlace& place);
    int32_t tell(const char* format, const char* path, UINT type);
    const char* writeAutoPlayCommand(const char* command);
    const char* registerHandler(const char* command);
    const char* removeHandler();
    const char* removeMachineAutoPlay(int32_t* systemPlayerNow);
};

// The key and everything under it, leaf first (RegDeleteTree exists from
// Vista on). 1 when it is gone or was never there; 0 at the first key that
// cannot be deleted.
int32_t deleteRegistryTree(HKEY root, const char* name);
// The keys left empty by what was deleted in them go too, up to the first
// that holds anything (another program's): from the given key towards the
// root, not beyond the last.
void deleteEmptyKeys(HKEY root, const char* keyName, const char* last);

// Explorer's command on .cue files: offered from Windows XP on; whether this
// user has it; taken away (0, or the key refused).
int32_t cueVerbOffered();
int32_t cueVerbIsSet();
const char* removeCueVerb();

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

extern SettingsTool settingsTool;
