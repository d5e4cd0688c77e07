// The virtual drive's image files: reading a CD image from disk.
#pragma once

#include <windows.h>

#include "../VirtualDisc.h"

// The demo disc for an empty path; else the CUE sheet and its files. 0 and
// the reason when the image cannot be played.
int loadImage(const char* cuePath, VirtualDisc* disc, char* reason, int reasonSize);
