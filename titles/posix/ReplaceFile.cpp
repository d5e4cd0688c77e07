#include <stdio.h>

#include "../FileLayer.h"

// rename replaces an existing file atomically on POSIX.
int replaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

int renameFile(const char* from, const char* to) { return rename(from, to) == 0; }
