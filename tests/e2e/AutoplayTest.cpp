// The real Drovix.exe on the virtual drive: an AutoPlay start plays the
// demo disc from track 1 at once, plays it through to the end, and an exit
// writes the player's settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kControl[] = "Software\\Drovix\\VirtualDrive";
const char kSettings[] = "Software\\Pelmark\\Drovix";

std::string here() {
    char path[MAX_PATH];
    GetModuleFileNameA(0, path, MAX_PATH);
    std::string program = path;
    return program.substr(0, program.rfind('\\') + 1);
}

std::string logPath() { return here() + "vdrive-e2e.log"; }

void setValue(const char* keyName, const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, name, 0, type, (const BYTE*)bytes, size);
    RegCloseKey(key);
}

void setText(const char* keyName, const char* name, const std::string& text) {
    setValue(keyName, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
}

void setNumber(const char* keyName, const char* name, DWORD value) {
    setValue(keyName, name, REG_DWORD, &value, sizeof value);
}

std::string driveLog() {
    std::ifstream log(logPath().c_str());
    std::stringstream text;
    text << log.rdbuf();
    return text.str();
}

bool waitForLog(const char* text, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (driveLog().find(text) != std::string::npos)
            return true;
        Sleep(50);
    }
    return false;
}

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM param) {
    Search* search = (Search*)param;
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string caption(HWND window) {
    char text[256] = {};
    // Another process's window: ask for its text by message.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, 0);
    return text;
}

} // namespace

TEST(EndToEnd, AnAutoplayStartPlaysTheDiscThroughAndAnExitStoresTheSettings) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
    setText(kControl, "Image", "");
    setNumber(kControl, "Speed", 200);
    setText(kControl, "Log", logPath());
    DeleteFileA(logPath().c_str());
    // The player's "cdaudio" is the virtual drive beside it.
    setText("Software\\Wine\\AppDefaults\\Drovix.exe\\DllOverrides", "mcicda", "native");

    std::string commandLine = "\"" + here() + "Drovix.exe\" /play";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION player = {};
    ASSERT_TRUE(CreateProcessA(0, &commandLine[0], 0, 0, FALSE, 0, 0, 0, &startup, &player));

    // Plays track 1 to the end of the disc, with a completion, at once.
    EXPECT_TRUE(waitForLog("MCI_PLAY flags=0x00000005 0x00000001 0x00000000", 15000)) << driveLog();
    Search search = {player.dwProcessId, 0};
    for (int i = 0; i < 100 && !search.found; i++) {
        EnumWindows(findMainWindow, (LPARAM)&search);
        Sleep(50);
    }
    ASSERT_TRUE(search.found);
    Sleep(600);
    EXPECT_EQ(0u, caption(search.found).find("Track  ")) << caption(search.found);

    // The whole demo disc at 200 times its speed, then stopped.
    EXPECT_TRUE(waitForLog("notify successful", 15000)) << driveLog();
    Sleep(1000);
    EXPECT_EQ("Title / Artist", caption(search.found));

    PostMessageA(search.found, WM_COMMAND, 2006, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(player.hProcess, 15000));
    DWORD code = 1;
    GetExitCodeProcess(player.hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(player.hThread);
    CloseHandle(player.hProcess);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key));
    DWORD values = 0;
    RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, &values, 0, 0, 0, 0);
    RegCloseKey(key);
    EXPECT_EQ(6u, values);
    EXPECT_EQ(0, GlobalFindAtomA("PELMARKCDPLAYER"));
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
}

TEST(EndToEnd, AnAutoplayStartWithAutoplayMinimizeStaysMinimisedAndKeepsItsPlace) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
    setText(kControl, "Image", "");
    setText(kControl, "Log", logPath());
    DeleteFileA(logPath().c_str());
    setNumber(kSettings, "AutoplayMinimize", 1);
    setNumber(kSettings, "WindowLeft", 140);
    setNumber(kSettings, "WindowTop", 90);
    setText("Software\\Wine\\AppDefaults\\Drovix.exe\\DllOverrides", "mcicda", "native");

    std::string commandLine = "\"" + here() + "Drovix.exe\" /PLAY";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION player = {};
    ASSERT_TRUE(CreateProcessA(0, &commandLine[0], 0, 0, FALSE, 0, 0, 0, &startup, &player));
    EXPECT_TRUE(waitForLog("MCI_PLAY flags=0x00000005 0x00000001 0x00000000", 15000)) << driveLog();
    Search search = {player.dwProcessId, 0};
    for (int i = 0; i < 100 && !search.found; i++) {
        EnumWindows(findMainWindow, (LPARAM)&search);
        Sleep(50);
    }
    ASSERT_TRUE(search.found);
    // Past the first ticks, which see the disc and must not bring it up.
    Sleep(1500);
    EXPECT_TRUE(IsIconic(search.found));

    PostMessageA(search.found, WM_COMMAND, 2006, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(player.hProcess, 15000));
    CloseHandle(player.hThread);
    CloseHandle(player.hProcess);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key));
    DWORD left = 0, top = 0, size = 4;
    RegQueryValueExA(key, "WindowLeft", 0, 0, (BYTE*)&left, &size);
    size = 4;
    RegQueryValueExA(key, "WindowTop", 0, 0, (BYTE*)&top, &size);
    RegCloseKey(key);
    EXPECT_EQ(140u, left);
    EXPECT_EQ(90u, top);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
}
