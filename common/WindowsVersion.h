// Which Windows the programs run on, read in one place: the text layer, the
// help and AutoPlay each choose their way by it, and a test puts another
// Windows in its place.
#pragma once

#include <windows.h>

#include <stdint.h>

// The system's version as GetVersion gives it.
extern DWORD (*windowsVersion)();

// 1 on Windows 95, 98 and Me.
inline int32_t isWindows95Family(DWORD version) { return (version & 0x80000000) != 0; }

// 0x0500 for Windows 2000, 0x0501 for XP, 0x0600 for Vista, and so on; 0 on
// the 95 family.
inline int32_t ntVersion(DWORD version) {
    return isWindows95Family(version) ? 0 : LOBYTE(LOWORD(version)) << 8 | HIBYTE(LOWORD(version));
}
