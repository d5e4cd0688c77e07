// The real Drovix.exe on the virtual drive: an AutoPlay start plays the
// demo disc from track 1 at once, plays it through to the end, and an exit
// writes the player's settings.
#include "EndToEnd.h"


TEST(EndToEnd, AnAutoplayStartPlaysTheDiscThroughAndAnExitStoresTheSettings) {
    prepareDrive(200);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    EXPECT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);

    // The whole demo disc at 200 times its speed, then stopped.
    EXPECT_TRUE(waitForLog("notify successful", 15000)) << driveLog();
    EXPECT_TRUE(waitForCaption(window, "Title / Artist", 5000)) << caption(window);

    EXPECT_EQ(0u, closePlayer(window, &player));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key));
    DWORD values = 0;
    RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, &values, 0, 0, 0, 0);
    RegCloseKey(key);
    EXPECT_EQ(6u, values);
    EXPECT_EQ(0, GlobalFindAtomA("PELMARKCDPLAYER"));
    forgetSettingsAndDrive();
}

TEST(EndToEnd, AnAutoplayStartWithAutoplayMinimizeStaysMinimisedAndKeepsItsPlace) {
    prepareDrive(1);
    setNumber(kSettings, "AutoplayMinimize", 1);
    setNumber(kSettings, "WindowLeft", 140);
    setNumber(kSettings, "WindowTop", 90);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/PLAY");
    ASSERT_TRUE(window);
    // The taskbar shows the track and its time; past the first ticks, which
    // saw the disc and must not have brought it up.
    EXPECT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);
    EXPECT_TRUE(IsIconic(window));

    EXPECT_EQ(0u, closePlayer(window, &player));
    EXPECT_EQ(140u, storedValue("WindowLeft"));
    EXPECT_EQ(90u, storedValue("WindowTop"));
    forgetSettingsAndDrive();
}

// A player killed while it plays (as by the task manager) leaves the drive
// and its marker usable: the next start plays again.
TEST(EndToEnd, APlayerKilledWhilePlayingLeavesTheDriveToTheNextStart) {
    prepareDrive(1);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    ASSERT_TRUE(TerminateProcess(player.hProcess, 9));
    WaitForSingleObject(player.hProcess, 5000);
    release(&player);

    EXPECT_TRUE(clearLog(logPath()));
    window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    EXPECT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);
    EXPECT_EQ(0u, closePlayer(window, &player));
    forgetSettingsAndDrive();
}

// A second start while the player runs: the player comes back from the
// taskbar; AutoPlay's "/play" (a disc put in with the player open) also
// makes it play. The second copy ends at once with 0.
TEST(EndToEnd, ASecondStartBringsThePlayerBackAndItsPlayPlays) {
    prepareDrive(1);
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitForCaption(window, "Title / Artist", 5000)) << caption(window);
    for (const char* arguments : {"", "/play"}) {
        SCOPED_TRACE(*arguments ? arguments : "no arguments");
        ASSERT_TRUE(minimisePlayer(window, player));
        PROCESS_INFORMATION second = startProgram("Drovix.exe", arguments);
        ASSERT_TRUE(second.hProcess);
        EXPECT_EQ(0u, waitForExit(&second, 10000));
        release(&second);
        for (int waited = 0; waited < 50 && IsIconic(window); waited++)
            Sleep(100);
        EXPECT_FALSE(IsIconic(window));
        Sleep(300);
        EXPECT_EQ(*arguments != 0, driveLog().find("MCI_PLAY") != std::string::npos) << driveLog();
    }
    EXPECT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);
    EXPECT_EQ(0u, closePlayer(window, &player));
    forgetSettingsAndDrive();
}
