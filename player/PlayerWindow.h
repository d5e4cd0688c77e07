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
// The main window's own timers: the checks that an AutoPlay start stays
// minimised, the one that makes the tooltips after start-up, and the one
// that gives the window its icon once its first face is out.
const UINT_PTR kMinimiseCheckTimer = 1;
const UINT_PTR kHintsTimer = 2;
const UINT_PTR kIconTimer = 3;

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
    // The disc of the random round under way.
    char roundDiscId[kDiscIdSize];
    uint32_t autoplayStart;
    // Started by Explorer's command, which put a disc in to be played.
    uint32_t imageInserted;
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
    // Read while indexPath does not exist yet ("" for none), and the folder
    // a first save makes: where the program's folder cannot be written, the
    // index lies in the user's folder and starts from the program's.
    char seedPath[kPathSize];
    char indexFolderToMake[kPathSize];
    TitleRecord titles;
    // The index as the titles were last loaded from it, and the disc they
    // are of: another writer's save shows as a change.
    IndexFollow titlesFollow;
    char titlesDiscId[kDiscIdSize];
    // The index's folder, watched so that a tick looks at the file only
    // after something in the folder changed (0 while it is not watched),
    // and when the watch was last made.
    HANDLE indexFolderChange;
    uint32_t indexWatchedAt;
    // What the title dialog was filled with: a save takes from the dialog
    // only what the user changed.
    TitleRecord filledTitles;
    char* commandLine;
    // What each text area shows now.
    char shownTitleLine[kTitleLineStore];
    char shownTrackLine[kTrackLineStore];
    char shownClock[kClockStore];
    char shownCaption[kCaptionStore];
    int32_t blinkCounter;

    // Start-up and shutdown.
    int32_t initialise();
    // Another start of the program, handed over by that copy: kStartPlays
    // for "/play", kStartInserted when it put a disc in (Explorer's command).
    void secondStart(uint32_t play);
    int32_t shutdown();
    int32_t applyTopMost();

    // The face and the display.
    int32_t refresh();
    int32_t paint(HDC context);
    int32_t drawText(TextArea area, const char* text);
    int32_t blitSkin(int32_t srcX, int32_t srcY, int32_t width, int32_t height, int32_t destX, int32_t destY);
    int32_t drawButton(const DRAWITEMSTRUCT* item);
    int32_t drawModeGlyphs();
    // The face's font, in which the clock's widest texts fit its box.
    HFONT createFaceFont();

    // Commands from the buttons, the menus and the system menu.
    int32_t dispatchCommand(WPARAM command, LPARAM unused);
    // The media keys, from the player's window or through the shell.
    int32_t mediaKey(UINT message, WPARAM wParam, LPARAM lParam);
    void listenToMediaKeys();
    // A CD image dropped on the window goes into the virtual drive and plays
    // (ImageInsert.cpp).
    void listenToDrops();
    void dropImage(HANDLE drop);
    void playInsertedDisc();
    void stopListeningToMediaKeys();
    // The common controls (comctl32), which the tooltips and the title
    // dialog's tabs need, loaded only after the window shows; 0 without.
    int32_t loadCommonControls();
    // The buttons' tooltips, shown or gone.
    void showHints(int32_t shown);
    void forgetHints();
    HWND hintWindow();
    // The window's icon, set once (the icon timer, or start-up itself).
    void showIcon();
    int32_t showPopupMenu(uint32_t position, int32_t hasPosition);
    int32_t buildMenu(HMENU menu, int32_t kind);
    // Opens or closes the help file for the window that asks.
    int32_t help(HWND owner, UINT command);

    // The track title dialog and the title index.
    int32_t fillTitleDialog(HWND dialog);
    int32_t saveTitleRecord(HWND dialog);
    void formDiscId(char id[kDiscIdSize]);
    // The disc's titles from the index, its stamp taken first, so that
    // followTitleIndex reloads only on a later change (the title index's
    // own loadTitleRecord, as the player's window loads). A read that fails
    // keeps the disc's names and leaves the stamp for the next tick.
    int32_t loadTitleRecord(const char* index, const char* discId, int32_t trackCount, TitleRecord* record,
                            const char* seed);
    // At each tick with a disc: the disc's titles again where the index
    // changed since they were loaded. 1 when they were reloaded.
    int32_t followTitleIndex();

    // Lets the index's folder go (at start, without a disc, at exit); the
    // next look watches it anew.
    void letIndexFolderGo();

  private:
    int32_t indexLookDue();
    void watchIndexFolder();
    void stopWatchingIndexFolder();
    void createButtons();
    int32_t loadSettings(StoredState* stored);
    void saveSettings(const StoredState& state);
    void resolvePaths();
    void showAtStart();
    // An AutoPlay start that the settings keep minimised.
    int32_t startsMinimised() const { return autoplayMinimize && autoplayStart; }
    void discFound();
    void minimise();
    void buildTrackListMenu(HMENU menu);
    void buildTimeMenu(HMENU menu);
    void buildPlayMenu(HMENU menu);
    void buildFullMenu(HMENU menu);
    void insertIntoSystemMenu(HMENU systemMenu);
    int32_t usableTrackCount();
    void reloadTitles();
    char* shownText(TextArea area, int32_t* store);
};

enum MenuKind : int32_t {
    kTrackListMenu = 0,
    kTimeMenu = 1,
    kPlayMenu = 2,
    kFullMenu = 3,
    kSystemMenuInsertion = 4,
};

// "/play", AutoPlay's start, in any case.
int32_t isPlayCommand(const char* commandLine);
// The message a second start sends the running copy: wParam 1 for "/play".
UINT secondStartMessage();

// The dialogs' procedures: the main window, the track title dialog and the
// About box.
INT_PTR CALLBACK handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK titleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

extern PlayerWindow playerWindow;

// What a second start asks of the running copy.
const WPARAM kStartPlays = 1;
const WPARAM kStartInserted = 2;

// The image (a CUE sheet, or a FLAC file with its own) put in the virtual
// drive by vdrivectl beside the player; 0, the user told why, when it is
// not.
int32_t insertImage(HWND owner, const char* programDir, const wchar_t* image);
// The image that Explorer's command names ("/image" and its path); 0 for
// any other command line.
int32_t imageCommand(wchar_t image[kPathSize]);
