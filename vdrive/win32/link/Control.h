// How the virtual drive is told which disc it holds, and where it logs:
// the registry key HKEY_CURRENT_USER\Software\Drovix\VirtualDrive.
//   Image  REG_SZ    a CUE sheet's path, any characters (read as Unicode);
//                    empty or absent: the demo disc; longer than 259
//                    characters or not text: no disc
//   Media  REG_DWORD 0: the drive is empty; absent or 1: it holds the image
//   Speed  REG_DWORD time runs this many times faster (1 to 1000; default 1,
//                    the only speed with sound)
//   Log    REG_SZ    a file in the user's temporary folder that receives
//                    every command and every reason a disc was refused;
//                    absent, or a file elsewhere: no log
//   State  REG_SZ    written by the drive: the disc it read last, or why it
//                    holds none
//   Door   REG_DWORD written by the drive: 1 while a program holds its door
//                    open, 0 once it is closed or the drive is let go
#pragma once

#include <windows.h>

#include <stdint.h>
#include <wchar.h>

#include "DriveKeys.h"

struct DriveControl {
    uint32_t media;
    uint32_t speed;
    wchar_t image[260];
    // Image holds no path the drive can take (too long, not text): no disc,
    // never the demo disc in its place.
    uint32_t imageUnreadable;
    char logPath[260];
    char state[400];
    uint32_t doorOpen;
    // The key's last write as Windows keeps it, read before its values: a
    // later write shows as another time.
    FILETIME written;
};

// Every value of the key is read and written here, and nowhere else.
void readControl(DriveControl* control);
// Media alone, for each command of a client.
uint32_t readControlMedia();
int setControlText(const char* name, const char* text);
int setControlImage(const wchar_t* path);
int setControlNumber(const char* name, uint32_t value);
// A text value of any key (0 when it is there but no text, or too long);
// absent, it reads as empty.
int readTextValue(HKEY key, const char* name, char* text, DWORD size);
// Whether the drive may log to the file: one in the user's temporary folder.
int isLogPlace(const char* path);
void controlLog(const DriveControl* control, const char* format, ...) __attribute__((format(printf, 2, 3)));
// One line into the log at that path (none when it is empty).
void appendLog(const char* path, const char* format, ...) __attribute__((format(printf, 2, 3)));
// What the drive read: logged, and kept in the key for vdrivectl show.
void controlState(const DriveControl* control, const char* state);
