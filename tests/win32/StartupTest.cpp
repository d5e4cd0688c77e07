// Start-up and shutdown of the main dialog: the settings it reads and
// writes, the title index paths, the command line, its size and buttons.
#include <algorithm>

#include "../../engine/DiscEngine.h"
#include "../../player/ButtonTable.h"
#include "PlayerTest.h"

namespace {

RECT windowPlace(HWND window) {
    RECT place;
    GetWindowRect(window, &place);
    return place;
}

bool isTopMost(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

DWORD stored(const char* name) {
    DWORD value = 0xDEADBEEF;
    EXPECT_TRUE(storedDword(name, &value)) << name;
    return value;
}

} // namespace

TEST_F(Player, WithoutSettingsStartsWithTheDefaultsAndCreatesTheKeyAtExit) {
    start();
    RECT place = windowPlace(window);
    EXPECT_EQ(0, place.left);
    EXPECT_EQ(0, place.top);
    EXPECT_FALSE(isTopMost(window));
    EXPECT_EQ(window, GetActiveWindow());
    EXPECT_TRUE(SendMessageA(window, WM_GETICON, ICON_BIG, 0)) << "the window's own icon, which its X window shows";
    EXPECT_EQ(0u, discEngine.displayMode());
    EXPECT_EQ(0u, discEngine.repeatMode());
    EXPECT_EQ(0u, discEngine.randomMode());
    EXPECT_EQ(333, playerWindow.interval);
    EXPECT_EQ(programDirectory(), playerWindow.programDir);
    EXPECT_EQ(programDirectory() + "drovix.idx", playerWindow.indexPath);
    EXPECT_EQ(programDirectory() + "drovix.tmp", playerWindow.tempPath);
    finish();

    EXPECT_EQ(6u, storedValueCount());
    EXPECT_EQ(0u, stored("WindowLeft"));
    EXPECT_EQ(0u, stored("WindowTop"));
    EXPECT_EQ(0u, stored("DisplayState"));
    EXPECT_EQ(0u, stored("TopMost"));
    EXPECT_EQ(0u, stored("RepeatMode"));
    EXPECT_EQ(0u, stored("RandomMode"));
}

TEST_F(Player, ReadsTheStoredPlaceBandAndModes) {
    storeDword("WindowLeft", 120);
    storeDword("WindowTop", 80);
    storeDword("TopMost", 5);
    storeDword("DisplayState", 3);
    storeDword("RepeatMode", 1);
    storeDword("RandomMode", 1);
    storeDword("Interval", 700);
    storeDword("AlwayVisibleSet", 1);
    storeDword("AutoplayMinimize", 1);
    start();
    RECT place = windowPlace(window);
    EXPECT_EQ(120, place.left);
    EXPECT_EQ(80, place.top);
    EXPECT_TRUE(isTopMost(window));
    EXPECT_EQ(window, GetActiveWindow());
    EXPECT_EQ(3u, discEngine.displayMode());
    EXPECT_EQ(1u, discEngine.repeatMode());
    EXPECT_EQ(1u, discEngine.randomMode());
    EXPECT_EQ(700, playerWindow.interval);
    EXPECT_EQ(1u, playerWindow.alwaysVisibleSet);
    EXPECT_EQ(1u, playerWindow.autoplayMinimize);
}

TEST_F(Player, WritesItsSixValuesAndLeavesTheToolsFiveAlone) {
    storeDword("Interval", 9000);
    storeText("IndexFile", "titles.idx");
    storeDword("SaveBeforePlayMode", 1);
    start();
    SetWindowPos(window, 0, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    playerWindow.topMost = 1;
    discEngine.setDisplayMode(2);
    pressButton(IDC_REPEAT);
    pressButton(IDC_RANDOM);
    finish();

    EXPECT_EQ(33u, stored("WindowLeft"));
    EXPECT_EQ(44u, stored("WindowTop"));
    EXPECT_EQ(2u, stored("DisplayState"));
    EXPECT_EQ(1u, stored("TopMost"));
    EXPECT_EQ(1u, stored("RepeatMode"));
    EXPECT_EQ(1u, stored("RandomMode"));
    // The player never writes the tool's values.
    EXPECT_EQ(9000u, stored("Interval"));
    EXPECT_EQ(9u, storedValueCount());
}

TEST_F(Player, APlaceOnNoMonitorStartsAtTheDefaultPlace) {
    struct Row {
        int32_t left, top;
    } rows[] = {{-32000, -32000}, {100000, 40}, {40, 100000}, {-400, 40}, {0x7FFFFFF0, 0x7FFFFFF0}};
    for (const Row& row : rows) {
        storeDword("WindowLeft", (DWORD)row.left);
        storeDword("WindowTop", (DWORD)row.top);
        start();
        RECT place = windowPlace(window);
        EXPECT_EQ(0, place.left) << row.left << "," << row.top;
        EXPECT_EQ(0, place.top) << row.left << "," << row.top;
        finish();
        playerWindow = PlayerWindow();
        discEngine = DiscEngine();
    }
    // Partly on the screen is on a monitor.
    storeDword("WindowLeft", (DWORD)-100);
    storeDword("WindowTop", 10);
    start();
    EXPECT_EQ(-100, windowPlace(window).left);
}

TEST_F(Player, DisplayStateOutOfRangeStartsInEach) {
    storeDword("DisplayState", 7);
    start();
    EXPECT_EQ(0u, discEngine.displayMode());
    finish();
    EXPECT_EQ(0u, stored("DisplayState"));
}

TEST_F(Player, SaveBeforePlayModeOffStartsWithRepeatAndRandomOff) {
    storeDword("SaveBeforePlayMode", 0);
    storeDword("RepeatMode", 1);
    storeDword("RandomMode", 1);
    start();
    EXPECT_EQ(0u, discEngine.repeatMode());
    EXPECT_EQ(0u, discEngine.randomMode());
    finish();
    EXPECT_EQ(0u, stored("RepeatMode"));
    EXPECT_EQ(0u, stored("RandomMode"));
}

TEST_F(Player, AnExitWhileMinimisedStoresThePlaceBeforeMinimising) {
    storeDword("WindowLeft", 200);
    storeDword("WindowTop", 150);
    storeDword("AutoplayMinimize", 1);
    start("/play", 0);
    // Its taskbar button is all it shows: its icon waits for no face.
    EXPECT_TRUE(SendMessageA(window, WM_GETICON, ICON_BIG, 0));
    pumpMessages(300);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(200, playerWindow.savedLeft);
    EXPECT_EQ(150, playerWindow.savedTop);
    finish();
    EXPECT_EQ(200u, stored("WindowLeft"));
    EXPECT_EQ(150u, stored("WindowTop"));
}

TEST_F(Player, TheMinimiseButtonRemembersThePlace) {
    storeDword("WindowLeft", 64);
    storeDword("WindowTop", 32);
    start();
    pressButton(IDC_MINIMISE);
    pumpMessages(50);
    EXPECT_TRUE(IsIconic(window));
    finish();
    EXPECT_EQ(64u, stored("WindowLeft"));
    EXPECT_EQ(32u, stored("WindowTop"));
}

TEST_F(Player, AnAutoplayStartWithoutMinimiseShowsTheWindow) {
    start("/play");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
}

// ---- The title index paths ----------------------------------------------------

TEST_F(Player, ABareIndexNameIsAFileInTheProgramDirectory) {
    storeText("IndexFile", "mine.idx");
    start();
    EXPECT_EQ(programDirectory() + "mine.idx", playerWindow.indexPath);
}

TEST_F(Player, AFullIndexPathIsUsedWhenTheFileExists) {
    std::string path = programDirectory() + "existing-titles.idx";
    ASSERT_TRUE(writeBytes(path, ""));
    storeText("IndexFile", path);
    start();
    EXPECT_EQ(path, playerWindow.indexPath);
    deleteNamed(path);
}

TEST_F(Player, AFullIndexPathOf128BytesOrMoreIsUsedWhenTheFileExists) {
    std::string folder = programDirectory() + std::string(120, 'f');
    std::string path = folder + "\\titles.idx";
    ASSERT_TRUE(makeFolder(folder) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(writeBytes(path, ""));
    storeText("IndexFile", path);
    start();
    EXPECT_EQ(path, playerWindow.indexPath);
    deleteNamed(path);
    removeFolder(folder);
}

TEST_F(Player, ABackslashByteInsideADoubleByteCharacterIsNoSeparator) {
    // "ソ" and "表" end in the byte of a backslash: these are bare names.
    for (const char* name : {"ソ.idx", "表示.idx"}) {
        storeText("IndexFile", name);
        start();
        EXPECT_EQ(programDirectory() + name, playerWindow.indexPath);
        finish();
        playerWindow = PlayerWindow();
        discEngine = DiscEngine();
    }
}

TEST_F(Player, AFullIndexPathThatDoesNotExistFallsBackToTheDefault) {
    storeText("IndexFile", "C:\\no such folder\\titles.idx");
    start();
    EXPECT_EQ(programDirectory() + "drovix.idx", playerWindow.indexPath);
}

TEST_F(Player, AnIndexSettingThatFillsTheBufferIsStillTerminated) {
    std::string name(600, 'x');
    storeText("IndexFile", name);
    start();
    EXPECT_LT(strlen(playerWindow.indexFileSetting), (size_t)kPathSize);
    EXPECT_EQ(programDirectory() + "drovix.idx", playerWindow.indexPath);
}

TEST_F(Player, AnIndexSettingThatIsNotAStringIsTakenAsBytesAndTerminated) {
    char bytes[4] = {'a', '.', 'b', 'c'};
    storeBytes("IndexFile", REG_BINARY, bytes, sizeof bytes);
    memset(playerWindow.indexFileSetting, 'z', sizeof playerWindow.indexFileSetting);
    start();
    EXPECT_STREQ("a.bc", playerWindow.indexFileSetting);
    EXPECT_EQ(programDirectory() + "a.bc", playerWindow.indexPath);
}

TEST_F(Player, AnIndexNameTooLongForTheProgramDirectoryFallsBackToTheDefault) {
    std::string name(kPathSize - 1 - 4, 'n');
    storeText("IndexFile", name);
    start();
    EXPECT_EQ(name, playerWindow.indexFileSetting);
    EXPECT_EQ(programDirectory() + "drovix.idx", playerWindow.indexPath);
}

// ---- The command line ---------------------------------------------------------

// AutoPlay's start plays the disc at once, before the first tick, and the
// caption says so.
TEST_F(Player, PlayInAnyLetterCaseIsAnAutoplayStartThatPlaysAtOnce) {
    for (const char* arguments : {"/play", "/PLAY", "/Play"}) {
        sim.take();
        start(arguments);
        EXPECT_EQ(kPlaying, discEngine.playState()) << arguments;
        std::vector<std::string> sent = sim.take();
        EXPECT_NE(sent.end(), std::find(sent.begin(), sent.end(), "PLAY FROM 1")) << arguments;
        EXPECT_EQ(0u, windowText(playerWindow.window).rfind("Track  1 (", 0)) << arguments;
        finish();
        playerWindow = PlayerWindow();
        discEngine = DiscEngine();
    }
}

TEST_F(Player, AnythingElseIsAnOrdinaryStart) {
    for (const char* arguments : {"", "/play x", " /play", "/pla", "play"}) {
        start(arguments);
        EXPECT_EQ(0u, playerWindow.autoplayStart) << "[" << arguments << "]";
        finish();
        playerWindow = PlayerWindow();
        discEngine = DiscEngine();
    }
}

TEST_F(Player, AnAutoplayStartPlaysTheFirstDiscItSees) {
    storeDword("Interval", 5000);
    sim.mediaPresent = 0;
    start("/play");
    timerTick();
    EXPECT_EQ(1u, playerWindow.autoplayStart);
    EXPECT_EQ(kStopped, discEngine.playState());
    sim.mediaPresent = 1;
    timerTick();
    EXPECT_EQ(0u, playerWindow.autoplayStart);
    EXPECT_EQ(1u, playerWindow.discLoaded);
    EXPECT_EQ(1, sim.playing);
    std::vector<std::string> sent = sim.take();
    EXPECT_NE(sent.end(), std::find(sent.begin(), sent.end(), "PLAY FROM 1"));
}

// ---- The window ---------------------------------------------------------------

TEST_F(Player, IsABorderlessWindowOf296By94WithTenSkinButtons) {
    start();
    RECT place = windowPlace(window), client;
    GetClientRect(window, &client);
    EXPECT_EQ(296, place.right - place.left);
    EXPECT_EQ(94, place.bottom - place.top);
    EXPECT_EQ(296, client.right);
    EXPECT_EQ(94, client.bottom);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);

    int children = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children++;
    EXPECT_EQ(kButtonCount, children);
    for (int row = 0; row < kButtonCount; row++) {
        const ButtonRow& button = kButtonTable[row];
        HWND child = GetDlgItem(window, button.id);
        ASSERT_TRUE(child) << button.id;
        char className[16];
        GetClassNameA(child, className, sizeof className);
        EXPECT_STREQ("Button", className);
        EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK);
        RECT childPlace;
        GetWindowRect(child, &childPlace);
        MapWindowPoints(0, window, (POINT*)&childPlace, 2);
        EXPECT_EQ(button.x, childPlace.left) << button.id;
        EXPECT_EQ(button.y, childPlace.top) << button.id;
        EXPECT_EQ(button.width, childPlace.right - childPlace.left) << button.id;
        EXPECT_EQ(button.height, childPlace.bottom - childPlace.top) << button.id;
    }
}

TEST_F(Player, TheCloseButtonEndsTheDialog) {
    start();
    pressButton(IDC_CLOSE);
    // A modeless dialog only hides on EndDialog; the modal loop would end.
    EXPECT_FALSE(IsWindowVisible(window));
}

// ---- A drive that cannot be opened --------------------------------------------

namespace {

std::string boxText, boxCaption;
// The player's window as the box showed.
bool ownerShown, ownerIconic, ownerHasIcon;

BOOL CALLBACK readAndConfirmBox(HWND box, LPARAM) {
    char className[16] = {};
    GetClassNameA(box, className, sizeof className);
    if (strcmp(className, "#32770") != 0 || !IsWindowVisible(box) || !GetDlgItem(box, 0xFFFF))
        return TRUE;
    boxText = controlText(box, 0xFFFF);
    boxCaption = windowText(box);
    ownerShown = IsWindowVisible(GetWindow(box, GW_OWNER)) != 0;
    ownerIconic = IsIconic(GetWindow(box, GW_OWNER)) != 0;
    ownerHasIcon = SendMessageA(GetWindow(box, GW_OWNER), WM_GETICON, ICON_BIG, 0) != 0;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// Runs inside the message box's own loop.
void CALLBACK confirmMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), readAndConfirmBox, 0);
}

} // namespace

// The window shows before the drive opens, so that it need not wait for the
// drive's host; a start that stays minimised tells a failed open before it
// minimises.
TEST_F(Player, AFailedOpenIsReportedAndEndsTheProgramThroughTheNormalShutdown) {
    const struct {
        const char* arguments;
        DWORD minimise;
        bool shownAtReport;
    } rows[] = {{"", 0, true}, {"/play", 1, false}};
    for (const auto& row : rows) {
        deleteSettings();
        storeDword("AutoplayMinimize", row.minimise);
        sim.openFails = 1;
        boxText.clear();
        ownerShown = ownerIconic = true;
        ownerHasIcon = false;
        UINT_PTR timer = SetTimer(0, 0, 50, confirmMessageBox);
        lstrcpynA(commandLine, row.arguments, sizeof commandLine);
        playerWindow.commandLine = commandLine;
        window = createMainWindow();
        KillTimer(0, timer);
        ASSERT_TRUE(window);
        EXPECT_EQ("ＣＤドライブが接続されていないか、ほかのソフトが使用中です。\n\n起動を中止します。", boxText);
        EXPECT_EQ("ＣＤプレイヤー", boxCaption);
        EXPECT_EQ(row.shownAtReport, ownerShown) << row.arguments;
        EXPECT_FALSE(ownerIconic) << row.arguments;
        EXPECT_TRUE(ownerHasIcon) << "the taskbar shows the program's own icon beside the box";
        MSG quit;
        EXPECT_TRUE(PeekMessageA(&quit, 0, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(row.minimise != 0, IsIconic(window) != 0) << row.arguments;
        finish();
        EXPECT_EQ(7u, storedValueCount());
    }
}
