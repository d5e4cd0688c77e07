// The PC's own CD drives: the "cdaudio" driver that vdrivectl install
// replaced answers for them. The drive's client passes it every command
// while the virtual drive holds no image, and always for an open that names
// the letter of a real CD drive.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "../link/DriveKeys.h"

// The driver for the real drives: the one install replaced where Windows
// reads it, else where Wine reads it, else the system's own.
void replacedDriver(char name[MAX_PATH]);
// Whether the virtual drive holds an image (the control's Media).
int virtualDriveHoldsImage();
// Whether an open's element ("D:", "D:\") names a real CD drive.
int namesRealCdDrive(const wchar_t* element);
