// Making the virtual drive the "cdaudio" driver, and putting back the one it
// replaced: where Windows reads it (the MCI32 key) and, under Wine, where
// Wine reads it (system.ini's [mci] section).
#pragma once

#include "../link/DriveKeys.h"

// 0 on success; otherwise 1, with the reason on the error stream. Both say
// what they did.
int installDrive();
int uninstallDrive();
// The drive is the "cdaudio" driver now.
int driveInstalled();
