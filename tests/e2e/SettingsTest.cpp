// The real settings tool, driven from outside: what it writes is what the
// real player does at its next start, and its AutoPlay command names the
// player beside it, unquoted, also in a folder with blanks.
#include "EndToEnd.h"

#include <commctrl.h>

namespace {

void click(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    Sleep(150);
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
    SendMessageTimeoutA(GetDlgItem(dialog, 1013), TBM_SETPOS, TRUE, 100, SMTO_ABORTIFHUNG, 2000, 0);
    click(dialog, 1012);
    click(dialog, 1008);
    click(dialog, 1014);
    click(dialog, IDOK);
    EXPECT_EQ(0u, waitForExit(&tool, 5000));
    release(&tool);

    // The player beside it keeps working, and its exit writes only its own
    // six values.
    PostMessageA(besideWindow, WM_COMMAND, 2003, 0);
    EXPECT_TRUE(waitForCaption(besideWindow, "Track  1 ( 0：01)", 5000)) << caption(besideWindow);
    EXPECT_EQ(0u, closePlayer(besideWindow, &beside));
    EXPECT_EQ(100u, storedValue("Interval"));
    EXPECT_EQ(1u, storedValue("AlwayVisibleSet"));
    EXPECT_EQ(1u, storedValue("AutoplayMinimize"));
    EXPECT_EQ(0u, storedValue("SaveBeforePlayMode"));

    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    Sleep(1000);
    // Started by AutoPlay, it stays minimised.
    EXPECT_TRUE(IsIconic(window));
    // Ten ticks a second: in 2.5 s far more than the default's seven.
    size_t before = ticksLogged();
    Sleep(2500);
    EXPECT_GE(ticksLogged() - before, 13u);
    EXPECT_EQ(0u, closePlayer(window, &player));
    // Repeat was not put back, so the exit stores it off.
    EXPECT_EQ(0u, storedValue("RepeatMode"));
    DeleteFileA(index.c_str());
    forgetSettingsAndDrive();
}

TEST(EndToEnd, TheAutoPlayCommandNamesThePlayerBesideTheToolUnquoted) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "AudioCD");
    std::string folder = programFolder() + "with blanks\\";
    CreateDirectoryA(folder.c_str(), 0);
    ASSERT_TRUE(CopyFileA((programFolder() + "Drovixcfg.exe").c_str(), (folder + "Drovixcfg.exe").c_str(), FALSE));
    DeleteFileA((folder + "drovix.idx").c_str());

    PROCESS_INFORMATION tool = startProgram("with blanks\\Drovixcfg.exe", "");
    HWND dialog = waitForWindowOf(tool.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(dialog);
    click(dialog, 1010);
    click(dialog, IDOK);
    // The title index is not there yet: the tool asks, and creates it there.
    HWND question = waitForOwnedDialog(dialog, 5000);
    ASSERT_TRUE(question);
    PostMessageA(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(0u, waitForExit(&tool, 5000));
    release(&tool);
    EXPECT_EQ("", readBytes(folder + "drovix.idx"));

    HKEY key;
    char command[512] = {};
    DWORD type = 0, size = sizeof command;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "AudioCD\\shell\\play\\command", 0, KEY_READ, &key));
    RegQueryValueExA(key, 0, 0, &type, (BYTE*)command, &size);
    RegCloseKey(key);
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(folder + "Drovix.exe /play", command);

    DeleteFileA((folder + "drovix.idx").c_str());
    DeleteFileA((folder + "Drovixcfg.exe").c_str());
    RemoveDirectoryA(folder.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "AudioCD");
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}
