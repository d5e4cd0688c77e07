// The real player program and its single-instance marker: a second start
// ends at once, and a marker left by a player that was killed does not.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kAtom[] = "PELMARKCDPLAYER";
const char kRunningMutex[] = "PELMARKCDPLAYER.running";

std::string playerPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(0, path, MAX_PATH);
    std::string program = path;
    return program.substr(0, program.rfind('\\') + 1) + "Drovix.exe";
}

struct Started {
    PROCESS_INFORMATION process;
    bool ok;
};

Started startPlayer() {
    std::string commandLine = "\"" + playerPath() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    Started started = {};
    started.ok = CreateProcessA(0, &commandLine[0], 0, 0, FALSE, 0, 0, 0, &startup, &started.process) != 0;
    return started;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findWindowOf(HWND window, LPARAM param) {
    WindowSearch* search = (WindowSearch*)param;
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND visibleWindowOf(DWORD processId) {
    WindowSearch search = {processId, 0};
    EnumWindows(findWindowOf, (LPARAM)&search);
    return search.found;
}

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
    Started second = startPlayer();
    ASSERT_TRUE(second.ok);
    bool sawWindow = false;
    while (WaitForSingleObject(second.process.hProcess, 20) == WAIT_TIMEOUT)
        sawWindow = sawWindow || visibleWindowOf(second.process.dwProcessId);
    DWORD code = 1;
    GetExitCodeProcess(second.process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(sawWindow);
    EXPECT_EQ(marker, GlobalFindAtomA(kAtom));
    CloseHandle(second.process.hThread);
    CloseHandle(second.process.hProcess);
    GlobalDeleteAtom(marker);
    CloseHandle(running);
}

TEST(Instance, AMarkerLeftByAKilledPlayerDoesNotBlockAStart) {
    removeMarker();
    GlobalAddAtomA(kAtom);
    Started player = startPlayer();
    ASSERT_TRUE(player.ok);
    // Without a drive the player reports it and ends through its shutdown;
    // without the drive seam's fault it would be playing. Either way it runs.
    HWND shown = 0;
    for (int i = 0; i < 500 && !shown; i++) {
        Sleep(20);
        shown = visibleWindowOf(player.process.dwProcessId);
        ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(player.process.hProcess, 0)) << "the player did not start";
    }
    ASSERT_TRUE(shown);
    // Confirm the message box, or close the player.
    PostMessageA(shown, WM_COMMAND, IDOK, 0);
    PostMessageA(shown, WM_COMMAND, 2006, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(player.process.hProcess, 20000));
    DWORD code = 1;
    GetExitCodeProcess(player.process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0, GlobalFindAtomA(kAtom));
    CloseHandle(player.process.hThread);
    CloseHandle(player.process.hProcess);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix");
}
