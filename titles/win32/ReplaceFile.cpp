#include <windows.h>

#include "../FileLayer.h"

// Unlike a delete followed by a rename, there is no moment at which neither
// file holds the records; write-through makes the new name durable.
// The Windows 95 family has the call but not the step: it answers that it is
// not implemented, and the title index then replaces the file in steps.
int replaceFile(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? kReplaceUnsupported : 0;
}

int renameFile(const char* from, const char* to) { return MoveFileA(from, to) != 0; }
