#include <windows.h>

#include "../FileLayer.h"

// Unlike a delete followed by a rename, there is no moment at which neither
// file holds the records; write-through makes the new name durable.
int replaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
