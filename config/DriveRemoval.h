// The virtual drive's removal for Drovixcfg.exe /uninstall: vdrivectl
// uninstall beside the tool, which needs an administrator. Where this
// process lacks the rights (Vista on, not elevated) the shell asks the user
// for them; the outcome told is what the registry holds afterwards.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "../common/ProgramDirectory.h"

// How long vdrivectl uninstall may take, once started.
const DWORD kDriveRemovalLimit = 30000;

struct DriveRemoval {
    // 1 once the drive is no longer the "cdaudio" driver.
    int32_t removed;
    // Started through the shell with a request for the rights ("runas").
    int32_t rightsAsked;
    // The system's error where vdrivectl did not start, else 0.
    DWORD notStarted;
    int32_t ended;
    DWORD exitCode;
    char command[kProgramPathSize + 32];
    // What vdrivectl said, where it could be read (not through the shell).
    char said[1024];

    // 1 where removing the drive needs rights this process lacks.
    static int32_t needsRights();
    void run(HWND owner, const char* directory);
    // Why the drive stayed, as the message says it.
    void tellWhyNotRemoved(char* text, int size);

  private:
    void runWithOwnRights(const wchar_t* program);
    void runAskingForRights(HWND owner, const wchar_t* program);
    void awaitEnd(HANDLE process);
};
