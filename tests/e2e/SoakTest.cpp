// An accelerated soak of the real player: random and repeat on a sped-up
// disc, forty ticks a second for two minutes, another disc every few seconds,
// menus opened and closed. Its handles, windows and memory stay flat.
//
// Under Wine GetGuiResources and GetProcessHandleCount answer 0, in the
// process and across processes, so the figures come from what Wine does
// keep: the system's handle table, the process's windows, and its memory,
// where Wine keeps the process's GDI objects and menus.
#include "EndToEnd.h"

#include <psapi.h>
#include <winternl.h>

#include <stdio.h>

#include <vector>

namespace {

struct Figures {
    long handles, windows;
    SIZE_T privateBytes, workingSet;
};

// The system's handle table, as SystemHandleInformation (16) lays it out.
struct HandleEntry {
    ULONG processId;
    UCHAR type, flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
};

long handleCount(DWORD processId) {
    std::vector<BYTE> table(4 << 20);
    ULONG size = 0;
    if (NtQuerySystemInformation((SYSTEM_INFORMATION_CLASS)16, table.data(), (ULONG)table.size(), &size) != 0)
        return -1;
    ULONG count = *(ULONG*)table.data();
    const HandleEntry* entries = (const HandleEntry*)(table.data() + sizeof(void*));
    long owned = 0;
    for (ULONG i = 0; i < count; i++)
        owned += entries[i].processId == processId;
    return owned;
}

struct WindowCount {
    DWORD processId;
    long count;
};

BOOL CALLBACK countChild(HWND, LPARAM param) {
    ((WindowCount*)param)->count++;
    return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM param) {
    WindowCount* counted = (WindowCount*)param;
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    if (owner == counted->processId) {
        counted->count++;
        EnumChildWindows(window, countChild, param);
    }
    return TRUE;
}

Figures figuresOf(const PROCESS_INFORMATION& player) {
    Figures figures = {};
    figures.handles = handleCount(player.dwProcessId);
    WindowCount windows = {player.dwProcessId, 0};
    EnumWindows(countWindow, (LPARAM)&windows);
    figures.windows = windows.count;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(player.hProcess, &memory, sizeof memory);
    figures.privateBytes = memory.PagefileUsage;
    figures.workingSet = memory.WorkingSetSize;
    return figures;
}

void print(const char* when, const Figures& figures) {
    printf("soak %s: %ld handles, %ld windows, %lu KB private, %lu KB working set\n", when, figures.handles,
           figures.windows, (unsigned long)(figures.privateBytes / 1024), (unsigned long)(figures.workingSet / 1024));
}

BOOL CALLBACK findMenu(HWND window, LPARAM param) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32768") == 0 && IsWindowVisible(window)) {
        *(HWND*)param = window;
        return FALSE;
    }
    return TRUE;
}

// Opens one of the player's menus, as the menu button and the right button
// do, and closes it with Escape.
void openAndCloseMenu(HWND window, int which) {
    if (which == 0)
        PostMessageA(window, WM_COMMAND, IDC_MENU, 0);
    else
        PostMessageA(window, WM_RBUTTONUP, 0, which == 1 ? MAKELPARAM(60, 40) : MAKELPARAM(250, 75));
    HWND menu = 0;
    for (int tries = 0; !menu && tries < 20; tries++) {
        Sleep(25);
        EnumWindows(findMenu, (LPARAM)&menu);
    }
    if (menu)
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    Sleep(100);
}

} // namespace

TEST(EndToEnd, ASoakLeavesTheHandlesWindowsAndMemoryFlat) {
    prepareDrive(60);
    setNumber(kSettings, "SaveBeforePlayMode", 1);
    setNumber(kSettings, "RepeatMode", 1);
    setNumber(kSettings, "RandomMode", 1);
    setNumber(kSettings, "Interval", 25);
    std::string sheet = testFolder() + "soak.cue", bin = testFolder() + "soak.bin";
    ASSERT_TRUE(writeBytes(bin, std::string(3 * 20 * 75 * 2352, '\0')));
    ASSERT_TRUE(writeBytes(sheet, "FILE soak.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
                                  "INDEX 01 00:20:00\nTRACK 03 AUDIO\nINDEX 01 00:40:00\n"));
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);

    // Every kind of work once before the first figures: both discs, each menu.
    auto work = [&](DWORD seconds) {
        for (DWORD round = 0; round < seconds; round++) {
            if (round % 4 == 0)
                setText(kControl, "Image", round % 8 == 0 ? sheet : "");
            for (int menu = 0; menu < 3; menu++)
                openAndCloseMenu(window, menu);
            Sleep(1000 - 3 * 125);
        }
    };
    work(12);
    Figures start = figuresOf(player);
    work(100);
    Figures end = figuresOf(player);
    print("start", start);
    print("end", end);

    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(player.hProcess, 0)) << "the player ended during the soak";
    EXPECT_GT(start.handles, 0);
    EXPECT_LE(end.handles, start.handles + 4);
    EXPECT_EQ(start.windows, end.windows);
    // A brush lost at every tick adds some 300 KB here.
    EXPECT_LE(end.privateBytes, start.privateBytes + 128 * 1024);
    EXPECT_EQ(0u, closePlayer(window, &player));
    deleteNamed(sheet);
    deleteNamed(bin);
    forgetSettingsAndDrive();
}
