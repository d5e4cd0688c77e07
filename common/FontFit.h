// The font the programs show their texts in. They ask for a Japanese UI font
// that a system may lack, and a system maps a missing one to another,
// often wider, in which the clock or a label no longer fits its room. Where
// the font asked for is installed and every text fits, it stays, pixel for
// pixel; otherwise the first installed of a short list of Japanese UI fonts
// takes its place, at the largest height up to the one asked for at which
// every text fits.
#pragma once

#include <windows.h>

#include <stdint.h>

const int kFaceNameSize = 64;

// A text (Shift-JIS) and the width in pixels it may take.
struct FitText {
    const char* text;
    int32_t room;
};

// The face and height (a LOGFONT height) to use for the texts; face is
// Shift-JIS. Where nothing fits, the face asked for at its height.
void chooseFittingFont(const char* face, int32_t height, const FitText* texts, int32_t count,
                       char chosen[kFaceNameSize], int32_t* chosenHeight);

// A font of that face and height with the Japanese character set, so that a
// system of another code page finds it as a Japanese Windows does.
HFONT createJapaneseFont(const char* face, int32_t height);

// What a control of a dialog shows and the room it has for it: statics and
// buttons, a button's room less its frame, a check box's less its box. 0 for
// a control that shows no text of its own (an edit, an icon).
int32_t controlTextAndRoom(HWND control, char* text, int32_t textSize, int32_t* room);

// Called at the end of WM_INITDIALOG, once the controls hold their texts:
// each static's and button's text (and the extra texts a control will show
// later, such as "トラック 99 :") against its control's room, in the dialog's
// font. Where the face asked for is missing or a text does not fit, a
// fitting font goes to the dialog and every control; releaseDialogFont, at
// WM_DESTROY, deletes it.
void fitDialogTexts(HWND dialog, const char* face, const FitText* extras, int32_t extraCount);
void releaseDialogFont(HWND dialog);
