// Where the title index lies, decided once for the player, the settings tool
// and vdrivectl, from facts the caller gathers: the `IndexFile` setting, the
// program's folder, the user's application-data folder and whether this user
// can create a file in the program's folder. No system calls: the rule is
// tested as a table.
#pragma once

#include <stdint.h>

const int kPlacePathSize = 512;
const char kDefaultIndexName[] = "drovix.idx";
const char kTempName[] = "drovix.tmp";
// The program's own folder inside the user's application-data folder.
const char kUserFolderName[] = "Drovix";

struct IndexFacts {
    const char* setting;
    // With its trailing backslash.
    const char* programDir;
    // With its trailing backslash; "" where the system has none, or where
    // the index never moves (the Windows 95 family).
    const char* appDataDir;
    int32_t programDirWritable;
    int32_t (*exists)(const char* path);
};

struct IndexPlace {
    // The index: read, and replaced by each save.
    char path[kPlacePathSize];
    // Read while the index does not exist yet, so that the first save
    // carries its records over: the program folder's index where the index
    // itself lies in the user's folder; else "".
    char seed[kPlacePathSize];
    // The temporary file of a save: beside the index, on its volume.
    char temp[kPlacePathSize];
    // The folder a first save may have to make; else "".
    char folderToMake[kPlacePathSize];
};

// A full path names its file where it exists; a bare name, a full path to
// no file, an empty setting or one too long mean a file in the program's
// folder (the default name for all but a bare name). Where the user has an
// application-data folder, the file of that name in its Drovix folder is the
// index whenever it exists, and also where the program's folder cannot be
// written. 0 when no path fits.
int32_t placeIndex(const IndexFacts& facts, IndexPlace* place);

// The index's own folder followed by "drovix.tmp". 0 when it does not fit.
int32_t tempPathBeside(const char* indexPath, char temp[kPlacePathSize]);

// Two full paths spelled alike but for the letter case of ASCII letters:
// every other byte ordinal, a double-byte character as a whole.
int32_t samePathSpelling(const char* one, const char* other);
