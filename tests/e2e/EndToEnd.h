// The real programs on the virtual drive, seen from outside: the drive's
// key, its log, the player's settings and windows.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "../../config/res/resource.h"
#include "../../player/res/resource.h"
#include "../native/FileBytes.h"
#include "../win32/Programs.h"

const char kControl[] = "Software\\Drovix\\VirtualDrive";
const char kSettings[] = "Software\\Pelmark\\Drovix";

inline std::string logPath() { return tempFolder() + "vdrive-e2e.log"; }

inline void setValue(const char* keyName, const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, name, 0, type, (const BYTE*)bytes, size);
    RegCloseKey(key);
}

inline void setText(const char* keyName, const char* name, const std::string& text) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    setRegistryText(key, name, text);
    RegCloseKey(key);
}

inline void setNumber(const char* keyName, const char* name, DWORD value) {
    setValue(keyName, name, REG_DWORD, &value, sizeof value);
}

// The programs run as Wine's Windows of that version while it lives; then as
// before (a pass of the tests as Windows 98 sets the version for them all).
struct AsWindows {
    std::string before[2];

    explicit AsWindows(const char* version) {
        for (int i = 0; i < 2; i++) {
            before[i] = versionOf(kPrograms[i]);
            setText(appDefaults(kPrograms[i]).c_str(), "Version", version);
        }
    }
    ~AsWindows() {
        for (int i = 0; i < 2; i++) {
            if (before[i].empty())
                RegDeleteTreeA(HKEY_CURRENT_USER, appDefaults(kPrograms[i]).c_str());
            else
                setText(appDefaults(kPrograms[i]).c_str(), "Version", before[i]);
        }
    }
    static std::string appDefaults(const char* program) {
        return std::string("Software\\Wine\\AppDefaults\\") + program;
    }
    // The version set for the program, or "".
    static std::string versionOf(const char* program) {
        char version[32] = {};
        DWORD size = sizeof version - 1;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, appDefaults(program).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "";
        if (RegQueryValueExA(key, "Version", 0, 0, (BYTE*)version, &size) != ERROR_SUCCESS)
            version[0] = 0;
        RegCloseKey(key);
        return version;
    }
    static constexpr const char* kPrograms[] = {"Drovix.exe", "Drovixcfg.exe"};
};

inline std::string driveLog() { return readBytes(logPath()); }

inline bool waitForLog(const char* text, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (driveLog().find(text) != std::string::npos)
            return true;
        Sleep(50);
    }
    return false;
}

// What a test leaves of the player's settings and of the drive's control.
inline void forgetSettingsAndDrive() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
}

// The virtual drive made "cdaudio" by the vdrivectl of the programs' folder,
// as a user installs it, once for this test program.
inline void installDrive() {
    static bool installed = false;
    if (installed)
        return;
    PROCESS_INFORMATION tool = startProgram("vdrivectl.exe", "install");
    ASSERT_TRUE(tool.hProcess);
    ASSERT_EQ(0u, waitForExit(&tool, 20000));
    release(&tool);
    installed = true;
}

// The disc in the virtual drive, its log, and the player's "cdaudio": the
// virtual drive, installed.
inline void prepareDrive(DWORD speed) {
    forgetSettingsAndDrive();
    setText(kControl, "Image", "");
    setNumber(kControl, "Speed", speed);
    setText(kControl, "Log", logPath());
    EXPECT_TRUE(clearLog(logPath()));
    installDrive();
}

// Starts the player and waits for it to play track 1 to the end of the disc
// with a completion; its main window.
inline HWND startPlaying(PROCESS_INFORMATION* player, const char* arguments) {
    *player = startProgram("Drovix.exe", arguments);
    if (!player->hProcess)
        return 0;
    EXPECT_TRUE(waitForLog("MCI_PLAY flags=0x00000005 0x00000001 0x00000000", 15000)) << driveLog();
    return waitForWindowOf(player->dwProcessId, "#32770", 5000);
}

// Minimises the player as its button does, once its dialog's loop has shown
// the window: the face shows the disc from the start, and a minimise before
// that loop first runs idle is undone by it. True once it is minimised.
inline bool minimisePlayer(HWND window, const PROCESS_INFORMATION& player) {
    WaitForInputIdle(player.hProcess, 5000);
    PostMessageA(window, WM_COMMAND, IDC_MINIMISE, 0);
    for (int waited = 0; waited < 60 && !IsIconic(window); waited++)
        Sleep(50);
    return IsIconic(window) != 0;
}

inline DWORD closePlayer(HWND window, PROCESS_INFORMATION* player) {
    PostMessageA(window, WM_COMMAND, IDC_CLOSE, 0);
    DWORD code = waitForExit(player, 15000);
    release(player);
    return code;
}

inline DWORD storedValue(const char* name) {
    HKEY key;
    DWORD value = 0xDEADBEEF, size = sizeof value;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, name, 0, 0, (BYTE*)&value, &size);
        RegCloseKey(key);
    }
    return value;
}

inline std::string caption(HWND window) {
    wchar_t text[256] = {};
    // Another process's window: ask for its text by message.
    SendMessageTimeoutW(window, WM_GETTEXT, 256, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, 0);
    return shiftJis(text);
}

// The text to wait for: true once the window's caption is that.
inline bool waitForCaption(HWND window, const std::string& text, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (caption(window) == text)
            return true;
        Sleep(50);
    }
    return false;
}

// True once the caption shows the track (with its default name) playing:
// "Track  N ( M：SS)" with the clock past 0：00. No exact second is asked
// for: a loaded machine may skip one between two looks.
inline bool waitForTrackPlaying(HWND window, int track, DWORD ms) {
    char start[32];
    snprintf(start, sizeof start, "Track %2d (", track);
    for (DWORD waited = 0; waited < ms; waited += 50) {
        std::string text = caption(window);
        if (text.rfind(start, 0) == 0 && text.find(" 0：00)") == std::string::npos)
            return true;
        Sleep(50);
    }
    return false;
}

struct OwnedSearch {
    HWND owner, found;
};

inline BOOL CALLBACK matchOwnedWindow(HWND window, LPARAM param) {
    OwnedSearch* search = (OwnedSearch*)param;
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog that the window owns: the one its program runs modally.
inline HWND waitForOwnedDialog(HWND owner, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        OwnedSearch search = {owner, 0};
        EnumWindows(matchOwnedWindow, (LPARAM)&search);
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return 0;
}

// The control that has the keyboard focus in the window's program.
inline HWND focusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, 0), &info);
    return info.hwndFocus;
}
