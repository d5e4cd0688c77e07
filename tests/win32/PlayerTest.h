// The player's main dialog, created for real in the test process on the
// simulated drive, with the real notification window, registry and drawing.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../player/PlayerWindow.h"
#include "../../player/res/resource.h"
#include "FileBytes.h"
#include "Messages.h"
#include "Programs.h"
#include "SimDrive.h"

const char kSettingsKey[] = "Software\\Pelmark\\Drovix";

void deleteSettings();
// The main window as the program makes it: a wide dialog where the system's
// code page is not Shift-JIS.
HWND createMainWindow();
void storeDword(const char* name, DWORD value);
void storeText(const char* name, const std::string& text);
void storeBytes(const char* name, DWORD type, const void* bytes, DWORD size);
// The value's type and size too, so a test sees exactly what is stored.
bool storedDword(const char* name, DWORD* value);
DWORD storedValueCount();

// What the program directory of the player would be: this program's.
inline std::string programDirectory() { return testFolder(); }

class Player : public ::testing::Test {
  protected:
    char commandLine[64] = {};
    HWND window = 0;

    void SetUp() override;
    void TearDown() override;

    // Creates the main dialog as the program entry would, but modeless.
    void start(const char* arguments = "", DWORD settleMs = 100);
    // Ends it; the window's destruction writes the settings.
    void finish();
    // One tick of timer 3226, through the notification window.
    void timerTick();
    void pressButton(int id);
};
