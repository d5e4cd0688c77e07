// The player's main window: a modal dialog that draws itself from the skin,
// follows the disc at every tick of the engine's timer and keeps the
// player's settings from one start to the next.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "../titles/TitleIndex.h"
#include "DisplayText.h"

// The global atom that marks a running player.
const char kPlayerAtom[] = "PELMARKCDPLAYER";

const int kPathSize = 512;
const int kWindowWidth = 296;
const int kWindowHeight = 94;

enum TextArea : int32_t {
    kAreaTitleLine = 0,
    kAreaTrackLine = 1,
    kAreaClock = 2,
    kAreaCaption = 3,
};

// The values of the settings key that live outside the window's fields: the
// window's place and the engine's modes.
struct StoredState {
    int32_t left, top;
    uint32_t displayMode;
    uint32_t repeatMode;
    uint32_t randomMode;
};

struct PlayerWindow {
    HINSTANCE moduleInstance;
    HWND window;
    uint32_t discLoaded;
    uint32_t autoplayStart;
    uint32_t openedByRightClick;
    uint32_t fillingTitleDialog;
    int32_t savedLeft, savedTop;
    char programDir[kPathSize];
    char indexFileSetting[kPathSize];
    char tempPath[kPathSize];
    int32_t interval;
    uint32_t topMost;
    uint32_t autoplayMinimize;
    uint32_t alwaysVisibleSet;
    uint32_t saveBeforePlayMode;
    char indexPath[kPathSize];
    TitleRecord titles;
    char* commandLine;
    // What each text area shows now.
    char shownTitleLine[kTitleLineStore];
    char shownTrackLine[kTrackLineStore];
    char shownClock[kClockStore];
    char shownCaption[kCaptionStore];
    int32_t blinkCounter;

    // Start-up and shutdown.
    int32_t initialise();
    int32_t shutdown();
    int32_t applyTopMost();

    // The face and the display.
    int32_t refresh();
    int32_t paint(HDC context);
    int32_t drawText(TextArea area, const char* text);
    int32_t blitSkin(int32_t srcX, int32_t srcY, int32_t width, int32_t height, int32_t destX, int32_t destY);
    int32_t drawButton(const DRAWITEMSTRUCT* item);
    int32_t drawModeGlyphs();

    // Commands from the buttons and the system menu.
    int32_t dispatchCommand(WPARAM command, LPARAM unused);

  private:
    void createButtons();
    int32_t loadSettings(StoredState* stored);
    void saveSettings(const StoredState& state);
    void resolvePaths();
    void showAtStart();
    void discFound();
    void minimise();
    char* shownText(TextArea area, int32_t* store);
};

// The main dialog's procedure.
INT_PTR CALLBACK handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

extern PlayerWindow playerWindow;
