// The real settings tool, driven from outside: what it writes is what the
// real player does at its next start, and its AutoPlay command starts the
// player beside it, also in a folder with blanks and Japanese names.
#include "EndToEnd.h"

#include <commctrl.h>

namespace {

// Returns once the tool has handled the click.
void click(HWND dialog, int id) {
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, 0);
}

// How often the player asked the drive whether a disc is in: once a tick.
size_t ticksLogged() {
    std::string log = driveLog();
    size_t count = 0;
    for (size_t at = 0; (at = log.find("MCI_STATUS flags=0x00000100 0x00000005\r\n", at)) != std::string::npos; at++)
        count++;
    return count;
}

} // namespace

TEST(EndToEnd, WhatTheSettingsToolStoresThePlayerDoesAtItsNextStart) {
    prepareDrive(1);
    setNumber(kSettings, "RepeatMode", 1);
    std::string index = programFolder() + "drovix.idx";
    ASSERT_TRUE(writeBytes(index, ""));

    // A player runs beside the tool all the while.
    PROCESS_INFORMATION beside = startProgram("Drovix.exe", "");
    HWND besideWindow = waitForWindowOf(beside.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(besideWindow);
    ASSERT_TRUE(waitForCaption(besideWindow, "Title / Artist", 5000));

    PROCESS_INFORMATION tool = startProgram("Drovixcfg.exe", "");
    HWND dialog = waitForWindowOf(tool.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(dialog);
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_INTERVAL), TBM_SETPOS, TRUE, 100, SMTO_ABORTIFHUNG, 2000, 0);
    click(dialog, IDC_ALWAYS_VISIBLE);
    click(dialog, IDC_AUTOPLAY_MINIMIZE);
    click(dialog, IDC_SAVE_PLAY_MODE);
    click(dialog, IDOK);
    EXPECT_EQ(0u, waitForExit(&tool, 5000));
    release(&tool);

    // The player beside it keeps working, and its exit writes only its own
    // six values.
    PostMessageA(besideWindow, WM_COMMAND, IDC_PLAYPAUSE, 0);
    EXPECT_TRUE(waitForTrackPlaying(besideWindow, 1, 5000)) << caption(besideWindow);
    EXPECT_EQ(0u, closePlayer(besideWindow, &beside));
    EXPECT_EQ(100u, storedValue("Interval"));
    EXPECT_EQ(1u, storedValue("AlwayVisibleSet"));
    EXPECT_EQ(1u, storedValue("AutoplayMinimize"));
    EXPECT_EQ(0u, storedValue("SaveBeforePlayMode"));

    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    // Started by AutoPlay, it stays minimised once it plays.
    EXPECT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);
    EXPECT_TRUE(IsIconic(window));
    // Ten ticks a second: thirteen come well within the 4.6 s that the
    // default's seven in 2.5 s would take (a rate, so a time; generous for a
    // loaded machine).
    size_t before = ticksLogged();
    DWORD began = GetTickCount();
    while (ticksLogged() - before < 13 && GetTickCount() - began < 20000)
        Sleep(50);
    DWORD took = GetTickCount() - began;
    printf("thirteen ticks took %lu ms\n", (unsigned long)took);
    EXPECT_LT(took, 4600u);
    EXPECT_EQ(0u, closePlayer(window, &player));
    // Repeat was not put back, so the exit stores it off.
    EXPECT_EQ(0u, storedValue("RepeatMode"));
    deleteNamed(index);
    forgetSettingsAndDrive();
}

namespace {

// What the C runtime hands WinMain of a command line: what follows the
// program's name, quoted or not, and the blanks after it.
std::string argumentsOf(const std::string& commandLine) {
    size_t at = 0;
    for (bool quoted = false; at < commandLine.size(); at++) {
        if (commandLine[at] == '"')
            quoted = !quoted;
        else if (!quoted && (commandLine[at] == ' ' || commandLine[at] == '\t'))
            break;
    }
    while (at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t'))
        at++;
    return commandLine.substr(at);
}

struct CaptionSearch {
    const char* start;
    HWND found;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM param) {
    CaptionSearch* search = (CaptionSearch*)param;
    if (IsWindowVisible(window) && caption(window).rfind(search->start, 0) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A player started by someone else (the shell, cmd): its window by the
// caption it shows.
HWND waitForWindowCaptioned(const char* start, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        CaptionSearch search = {start, 0};
        EnumWindows(matchCaption, (LPARAM)&search);
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return 0;
}

const char kUserAutoPlayCommand[] = "Software\\Classes\\AudioCD\\shell\\play\\command";
const char kAutoPlayHandler[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\PelmarkDrovixPlayCDAudio";

void forgetAutoPlay() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "AudioCD");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\AudioCD");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\Pelmark.Drovix.AudioCD");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers");
}

} // namespace

// The release where most users put it: a folder with blanks under Program
// Files, its name with Shift-JIS trail bytes 0x5C (表, ソ). The tool's
// AutoPlay command, run as Windows runs it, starts the player there playing
// the disc, and the player reads the title index the tool created there.
TEST(EndToEnd, TheAutoPlayCommandStartsThePlayerInAFolderWithBlanksAndJapaneseNames) {
    prepareDrive(1);
    forgetAutoPlay();
    std::string parent = programFolder() + "Program Files\\", folder = parent + "表示 ソフト\\";
    makeFolder(parent);
    makeFolder(folder);
    // The drive is installed: nothing of it goes beside the programs.
    for (const char* file : {"Drovix.exe", "Drovixcfg.exe"})
        ASSERT_TRUE(copyNamed(programFolder() + file, folder + file)) << file;
    std::string index = folder + "表.idx";
    deleteNamed(index);

    PROCESS_INFORMATION tool = startProgram("Program Files\\表示 ソフト\\Drovixcfg.exe", "");
    HWND dialog = waitForWindowOf(tool.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(dialog);
    SendMessageTimeoutW(GetDlgItem(dialog, IDC_INDEX_FILE), WM_SETTEXT, 0, (LPARAM)wide("表.idx").c_str(),
                        SMTO_ABORTIFHUNG, 2000, 0);
    click(dialog, IDC_AUTOPLAY_PLAYER);
    // A click the button did not take would leave AutoPlay as it was.
    DWORD_PTR checked = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_AUTOPLAY_PLAYER), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &checked);
    ASSERT_EQ((DWORD_PTR)BST_CHECKED, checked);
    click(dialog, IDOK);
    // The title index is not there yet: the tool asks, and creates it there.
    HWND question = waitForOwnedDialog(dialog, 5000);
    ASSERT_TRUE(question);
    PostMessageA(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(0u, waitForExit(&tool, 5000));
    release(&tool);
    ASSERT_EQ("", readBytes(index));
    // The demo disc's record, with "&" in its names.
    ASSERT_TRUE(writeBytes(index, "@050337007d\r\n+Rock & Roll\r\n-表示\r\n#Tom & Jerry\r\n\r\n"));

    HKEY key;
    std::string stored;
    DWORD type = 0;
    // Into the user's own classes (which Wine does not show in
    // HKEY_CLASSES_ROOT), with the player's AutoPlay handler, and the
    // machine's key never written; run as a Windows 95 family program
    // (DROVIX_E2E_WINDOWS=win98), into HKEY_CLASSES_ROOT.
    bool ninetyFive = environmentText(L"DROVIX_E2E_WINDOWS") == "win98";
    HKEY root = ninetyFive ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
    const char* commandKey = ninetyFive ? "AudioCD\\shell\\play\\command" : kUserAutoPlayCommand;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, commandKey, 0, KEY_READ, &key));
    queryRegistry(key, 0, &type, &stored);
    RegCloseKey(key);
    const std::string command = stored.substr(0, stored.find('\0'));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ("\"" + folder + "Drovix.exe\" /play", command);
    EXPECT_EQ("/play", argumentsOf(command));
    if (!ninetyFive) {
        EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "AudioCD\\shell\\play\\command", 0, KEY_READ, &key));
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kAutoPlayHandler, 0, KEY_READ, &key));
        queryRegistry(key, "InvokeProgID", &type, &stored);
        RegCloseKey(key);
        EXPECT_EQ(std::string("Pelmark.Drovix.AudioCD") + '\0', stored);
    }

    // Windows runs the command line as stored; a user may run it in cmd.
    for (const std::string& run : {command, "cmd /c " + command}) {
        EXPECT_TRUE(clearLog(logPath()));
        PROCESS_INFORMATION started = startCommand(run);
        ASSERT_TRUE(started.hProcess) << run;
        EXPECT_TRUE(waitForLog("MCI_PLAY flags=0x00000005 0x00000001 0x00000000", 15000)) << run;
        HWND player = waitForWindowCaptioned("Tom & Jerry (", 5000);
        ASSERT_TRUE(player) << run;
        PostMessageA(player, WM_COMMAND, IDC_CLOSE, 0);
        waitForExit(&started, 15000);
        release(&started);
        for (DWORD waited = 0; IsWindow(player) && waited < 10000; waited += 50)
            Sleep(50);
    }
    EXPECT_EQ("@050337007d\r\n+Rock & Roll\r\n-表示\r\n#Tom & Jerry\r\n\r\n", readBytes(index));

    for (const char* file : {"Drovix.exe", "Drovixcfg.exe", "表.idx"})
        deleteNamed(folder + file);
    removeFolder(folder);
    removeFolder(parent);
    forgetAutoPlay();
    forgetSettingsAndDrive();
}
