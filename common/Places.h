// The file system's answers that decide where the title index lies and
// whether two paths name one file, by Shift-JIS paths. Calls that the
// Windows 95 family or NT 4 lack are looked up when they are needed, so the
// programs still load there.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "IndexPlace.h"

// The user's application-data folder with its trailing backslash; "" on
// the Windows 95 family, where the index never moves, and where the shell
// has none.
void userAppDataFolder(char folder[kPlacePathSize]);

// Whether this user can create a file in the folder: one is made and
// removed again.
int32_t canCreateFileIn(const char* folder);

// The title index in use: `IndexFile` and the program's folder, with the
// user's folder where this user cannot write the program's.
int32_t indexPlaceInUse(const char* setting, const char* programDir, IndexPlace* place);

// Makes the folder a first save in the user's folder needs (IndexPlace's
// folderToMake; "" for none); 1 when it is there.
int32_t makeIndexFolder(const char* folder);

// Whether two paths name one file: on the NT family, where both exist, by
// the file's identity (its volume and its index there), so that a short
// name, a link or another spelling is still the same file; otherwise by
// their full long paths, spelled alike but for ASCII letter case.
int32_t sameFile(const char* one, const char* other);
