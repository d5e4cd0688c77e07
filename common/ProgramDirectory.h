// The directory of a program's own file, with its trailing backslash: where
// the player looks for its title index and both programs for their help.
#pragma once

#include <windows.h>

#include <stdio.h>

#include "ShiftJis.h"
#include "Text.h"

const int kProgramPathSize = 512;

// "" when the program's path holds no directory.
inline void programDirectory(HINSTANCE module, char directory[kProgramPathSize]) {
    char program[kProgramPathSize] = {};
    moduleFileName(module, program, kProgramPathSize - 1);
    char* separator = (char*)lastSeparator(program);
    if (separator)
        separator[1] = 0;
    snprintf(directory, kProgramPathSize, "%s", separator ? program : "");
}
