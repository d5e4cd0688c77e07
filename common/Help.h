// The programs' help. Windows since Vista (NT 6.0) ships no WinHelp viewer
// (10 and 11 show only a notice), so there the guide page beside the
// program opens in the user's browser; where it is missing, and on earlier
// Windows, the WinHelp file as before.
#pragma once

#include <windows.h>

#include <stdint.h>

// Opens the help for the owner (HELP_CONTENTS) or closes it (HELP_QUIT:
// WinHelp is asked only where it may have been used). A page that cannot be
// opened is told with notOpened, formed with its path. 0 on failure.
int32_t openHelp(HWND owner, const char* programDir, UINT command, const char* notOpened, const char* caption);
