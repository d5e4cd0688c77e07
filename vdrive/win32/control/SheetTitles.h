// The names a CUE sheet gives (or the demo disc's own), written into the
// player's title index as the record of the image's disc, so that a ripped
// disc shows its names without typing.
#pragma once

#include <wchar.h>

// sheetPath 0: the demo disc. indexPath 0: the index that the player beside
// this program reads (its settings' IndexFile).
// onlyNew: leave an index that already holds a record of the disc alone.
// 0 on success or when there was nothing to write, with what happened in
// message; 1 when the image or the index failed.
int writeSheetTitles(const wchar_t* sheetPath, const char* indexPath, int onlyNew, char* message, int messageSize);
