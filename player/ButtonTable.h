// Where the skin buttons sit in the window and where their faces are in the
// skin bitmap. The first ten rows are the buttons; the last two are the lit
// faces of the repeat and random lamps, drawn in place of rows 8 and 9.
#pragma once

#include <stdint.h>

struct ButtonRow {
    int32_t id;
    int32_t x, y;
    int32_t srcX, srcY;
    int32_t width, height;
    int32_t pressedSrcY;
};

const int kButtonCount = 10;
const int kRepeatLitRow = 10;
const int kRandomLitRow = 11;

const ButtonRow kButtonTable[12] = {
    {2000, 8, 73, 0, 0, 26, 15, 15},     // eject
    {2001, 39, 73, 25, 0, 26, 15, 15},   // stop
    {2002, 64, 73, 50, 0, 26, 15, 15},   // previous track
    {2003, 89, 73, 75, 0, 44, 15, 15},   // play/pause
    {2004, 132, 73, 118, 0, 26, 15, 15}, // next track
    {2005, 264, 7, 144, 0, 13, 14, 14},  // minimise
    {2006, 276, 7, 156, 0, 13, 14, 14},  // close
    {2007, 8, 8, 270, 17, 11, 10, 17},   // menu: never looks pressed
    {2008, 162, 75, 169, 0, 23, 13, 13}, // repeat lamp, unlit
    {2009, 187, 75, 191, 0, 29, 13, 13}, // random lamp, unlit
    {2008, 162, 75, 219, 0, 23, 13, 13}, // repeat lamp, lit
    {2009, 187, 75, 241, 0, 29, 13, 13}, // random lamp, lit
};
