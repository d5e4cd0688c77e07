// The real player program and its single-instance marker: a second start
// ends at once, and a marker left by a player that was killed does not.
#include <windows.h>

#include <gtest/gtest.h>

#include "Programs.h"

namespace {

const char kAtom[] = "PELMARKCDPLAYER";
const char kRunningMutex[] = "PELMARKCDPLAYER.running";

void removeMarker() {
    while (ATOM atom = GlobalFindAtomA(kAtom))
        GlobalDeleteAtom(atom);
}

} // namespace

TEST(Instance, ASecondStartEndsAtOnceWithCodeZeroAndNoWindow) {
    removeMarker();
    // This process stands for the running player.
    HANDLE running = CreateMutexA(0, TRUE, kRunningMutex);
    ATOM marker = GlobalAddAtomA(kAtom);
    PROCESS_INFORMATION second = startProgram("Drovix.exe", "");
    ASSERT_TRUE(second.hProcess);
    bool sawWindow = false;
    while (WaitForSingleObject(second.hProcess, 20) == WAIT_TIMEOUT)
        sawWindow = sawWindow || visibleWindowOf(second.dwProcessId);
    EXPECT_EQ(0u, waitForExit(&second, 0));
    EXPECT_FALSE(sawWindow);
    EXPECT_EQ(marker, GlobalFindAtomA(kAtom));
    release(&second);
    GlobalDeleteAtom(marker);
    CloseHandle(running);
}

TEST(Instance, AMarkerLeftByAKilledPlayerDoesNotBlockAStart) {
    removeMarker();
    GlobalAddAtomA(kAtom);
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    ASSERT_TRUE(player.hProcess);
    // Without a drive the player reports it and ends through its shutdown;
    // with one it shows its window. Either way it runs.
    HWND shown = waitForWindowOf(player.dwProcessId, 0, 10000);
    ASSERT_TRUE(shown) << "the player did not start";
    // Confirm the message box, or close the player.
    PostMessageA(shown, WM_COMMAND, IDOK, 0);
    PostMessageA(shown, WM_COMMAND, 2006, 0);
    EXPECT_EQ(0u, waitForExit(&player, 20000));
    EXPECT_EQ(0, GlobalFindAtomA(kAtom));
    release(&player);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix");
}
