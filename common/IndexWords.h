// What every program says of a title index it will not use as it is: the
// file's full path and what was found in it, in the same words whether the
// player refuses a save, the settings tool asks before it takes the file,
// or vdrivectl refuses to write names into it; and the one test of the
// index's name that asks the file system, made alike by the player and the
// settings tool.
#pragma once

#include "../titles/TitleIndex.h"

// Room for any of these texts with a path of 512 bytes.
const int kIndexWordsSize = 1024;

// "<path> は曲名ファイルではありません" and what was found (the line, or the
// encoding it was saved in and how to mend that).
void describeRefusedIndex(const char* path, const IndexCheck& check, char* text, int size);
// Another save held the index for longer than a save waits.
void describeBusyIndex(const char* path, char* text, int size);
// The index bears the name of a save's own file ("drovix.lck", the lock, or
// "drovix.tmp", the temporary file), which no index may have.
void describeSaveFileIndex(const char* path, char* text, int size);
// 1 where the index is a save's own file: spelled as its lock or its
// temporary file, or on the NT family the same file as either under
// another name (a short name, a link). A save would take it for its lock
// and remove it, or write it through itself.
int32_t indexIsSaveFile(const char* indexPath, const char* tempPath);
// A save left out the program folder's index, which it could not take.
void describeSkippedSeed(const char* seed, const char* index, char* text, int size);
