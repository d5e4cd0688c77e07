// The real programs and their single-instance markers: a second start ends
// at once, and a marker left by a copy that was killed blocks nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include "../../player/res/resource.h"
#include "Programs.h"

namespace {

struct Program {
    const char* file;
    const char* atom;
    const char* runningMutex;
    // The command that ends it.
    WPARAM close;
};

const Program kPrograms[] = {
    {"Drovix.exe", "PELMARKCDPLAYER", "PELMARKCDPLAYER.running", IDC_CLOSE},
    {"Drovixcfg.exe", "PELMARKCDPLAYERCONFIG", "PELMARKCDPLAYERCONFIG.running", IDCANCEL},
};

void removeMarker(const char* atom) {
    while (ATOM found = GlobalFindAtomA(atom))
        GlobalDeleteAtom(found);
}

struct Ending {
    DWORD processId;
    WPARAM close;
};

// Confirms a message box, or closes the program: the player shows its window
// before it finds no drive and says so, so both may come in turn.
BOOL CALLBACK confirmOrClose(HWND window, LPARAM param) {
    const Ending* ending = (const Ending*)param;
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    if (owner == ending->processId && IsWindowVisible(window)) {
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        PostMessageA(window, WM_COMMAND, ending->close, 0);
    }
    return TRUE;
}

} // namespace

TEST(Instance, ASecondStartEndsAtOnceWithCodeZeroAndNoWindow) {
    for (const Program& program : kPrograms) {
        removeMarker(program.atom);
        // This process stands for the running copy.
        HANDLE running = CreateMutexA(0, TRUE, program.runningMutex);
        ATOM marker = GlobalAddAtomA(program.atom);
        PROCESS_INFORMATION second = startProgram(program.file, "");
        ASSERT_TRUE(second.hProcess) << program.file;
        bool sawWindow = false;
        while (WaitForSingleObject(second.hProcess, 20) == WAIT_TIMEOUT)
            sawWindow = sawWindow || visibleWindowOf(second.dwProcessId);
        EXPECT_EQ(0u, waitForExit(&second, 0)) << program.file;
        EXPECT_FALSE(sawWindow) << program.file;
        EXPECT_EQ(marker, GlobalFindAtomA(program.atom)) << program.file;
        release(&second);
        GlobalDeleteAtom(marker);
        CloseHandle(running);
    }
}

TEST(Instance, ACopyThatWasKilledDoesNotBlockTheNextStart) {
    for (const Program& program : kPrograms) {
        removeMarker(program.atom);
        PROCESS_INFORMATION killed = startProgram(program.file, "");
        ASSERT_TRUE(killed.hProcess) << program.file;
        // Without a drive the player reports it; with one it shows its window.
        // Either way it has added its marker by then.
        ASSERT_TRUE(waitForWindowOf(killed.dwProcessId, 0, 10000)) << program.file;
        TerminateProcess(killed.hProcess, 9);
        waitForExit(&killed, 5000);
        release(&killed);
        EXPECT_TRUE(GlobalFindAtomA(program.atom)) << program.file;

        PROCESS_INFORMATION next = startProgram(program.file, "");
        ASSERT_TRUE(waitForWindowOf(next.dwProcessId, 0, 10000)) << program.file << " did not start";
        Ending ending = {next.dwProcessId, program.close};
        DWORD code = 999;
        for (DWORD waited = 0; code == 999 && waited < 20000; waited += 200) {
            EnumWindows(confirmOrClose, (LPARAM)&ending);
            code = waitForExit(&next, 200);
        }
        EXPECT_EQ(0u, code) << program.file;
        EXPECT_EQ(0, GlobalFindAtomA(program.atom)) << program.file;
        release(&next);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix");
}

// Each program carries its application manifest: it runs as invoked on every
// Windows from Vista on (no VirtualStore for the title index beside it), and
// asks for no common controls version, so the classic look stays.
TEST(Instance, EveryProgramCarriesItsApplicationManifest) {
    for (const char* file : {"Drovix.exe", "Drovixcfg.exe", "vdrivectl.exe"}) {
        HMODULE program = LoadLibraryExA((testFolder() + file).c_str(), 0, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(program) << file;
        HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        ASSERT_TRUE(found) << file;
        std::string manifest((const char*)LockResource(LoadResource(program, found)), SizeofResource(program, found));
        FreeLibrary(program);
        EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\"")) << file;
        for (const char* windows : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                                    "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                                    "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
            EXPECT_NE(std::string::npos, manifest.find(windows)) << file << " " << windows;
        EXPECT_EQ(std::string::npos, manifest.find("Common-Controls")) << file;
    }
}
