// The virtual drive's image files: reading a CD image from disk.
#pragma once

#include <windows.h>

#include "../../VirtualDisc.h"

#include "../../CueSheet.h"

// Why an image cannot be played: what is wrong, and where (the sheet's line,
// or the file, as the user reads its name).
struct ImageRefusal {
    ImageError error;
    int32_t line;            // 0: none
    int32_t sheetTooLong;
    char file[kFileNameSize]; // empty: none
    uint32_t rate, bits, channels; // what a FLAC file of another format holds
};

// The demo disc for an empty path; else the CUE sheet and its files. 0, and
// why, when the image cannot be played.
int loadImage(const wchar_t* cuePath, VirtualDisc* disc, ImageRefusal* refusal);
// A path as the log and the user read it: Shift-JIS, "?" for a character
// it does not hold.
void shownPath(const wchar_t* path, char* text, int size);
// The reason in words: in English for the drive's log and state, in
// Japanese for the user.
void refusalText(const ImageRefusal& refusal, char* text, int size);
void refusalTextJapanese(const ImageRefusal& refusal, char* text, int size);
