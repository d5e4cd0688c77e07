// The real Drovix.exe on the virtual drive: an AutoPlay start plays the
// demo disc from track 1 at once, plays it through to the end, and an exit
// writes the player's settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../native/FileBytes.h"
#include "../win32/Programs.h"

namespace {

const char kControl[] = "Software\\Drovix\\VirtualDrive";
const char kSettings[] = "Software\\Pelmark\\Drovix";

std::string logPath() { return testFolder() + "vdrive-e2e.log"; }

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

std::string driveLog() { return readBytes(logPath()); }

bool waitForLog(const char* text, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (driveLog().find(text) != std::string::npos)
            return true;
        Sleep(50);
    }
    return false;
}

// The disc in the virtual drive, its log, and the player's "cdaudio": the
// virtual drive beside it.
void prepareDrive(DWORD speed) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
    setText(kControl, "Image", "");
    setNumber(kControl, "Speed", speed);
    setText(kControl, "Log", logPath());
    DeleteFileA(logPath().c_str());
    setText("Software\\Wine\\AppDefaults\\Drovix.exe\\DllOverrides", "mcicda", "native");
}

// Starts the player and waits for it to play track 1 to the end of the disc
// with a completion; its main window.
HWND startPlaying(PROCESS_INFORMATION* player, const char* arguments) {
    *player = startProgram("Drovix.exe", arguments);
    if (!player->hProcess)
        return 0;
    EXPECT_TRUE(waitForLog("MCI_PLAY flags=0x00000005 0x00000001 0x00000000", 15000)) << driveLog();
    return waitForWindowOf(player->dwProcessId, "#32770", 5000);
}

DWORD closePlayer(HWND window, PROCESS_INFORMATION* player) {
    PostMessageA(window, WM_COMMAND, 2006, 0);
    DWORD code = waitForExit(player, 15000);
    release(player);
    return code;
}

DWORD storedValue(const char* name) {
    HKEY key;
    DWORD value = 0xDEADBEEF, size = sizeof value;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, name, 0, 0, (BYTE*)&value, &size);
        RegCloseKey(key);
    }
    return value;
}

std::string caption(HWND window) {
    char text[256] = {};
    // Another process's window: ask for its text by message.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, 0);
    return text;
}

} // namespace

TEST(EndToEnd, AnAutoplayStartPlaysTheDiscThroughAndAnExitStoresTheSettings) {
    prepareDrive(200);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    Sleep(600);
    EXPECT_EQ(0u, caption(window).find("Track  ")) << caption(window);

    // The whole demo disc at 200 times its speed, then stopped.
    EXPECT_TRUE(waitForLog("notify successful", 15000)) << driveLog();
    Sleep(1000);
    EXPECT_EQ("Title / Artist", caption(window));

    EXPECT_EQ(0u, closePlayer(window, &player));
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
    prepareDrive(1);
    setNumber(kSettings, "AutoplayMinimize", 1);
    setNumber(kSettings, "WindowLeft", 140);
    setNumber(kSettings, "WindowTop", 90);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/PLAY");
    ASSERT_TRUE(window);
    // Past the first ticks, which see the disc and must not bring it up.
    Sleep(1500);
    EXPECT_TRUE(IsIconic(window));

    EXPECT_EQ(0u, closePlayer(window, &player));
    EXPECT_EQ(140u, storedValue("WindowLeft"));
    EXPECT_EQ(90u, storedValue("WindowTop"));
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
}
