#include "Text.h"

#include <string.h>

#include "WindowsVersion.h"

namespace {

int32_t fits(int written, int size) { return written > 0 && written <= size; }

// The JIS forms that web pages, other systems and IMEs give have no exact
// code page 932 mapping: typed or pasted, they become the characters a
// Japanese Windows shows for the same Shift-JIS bytes.
const wchar_t kJisForms[][2] = {
    {0x301C, 0xFF5E}, {0x2016, 0x2225}, {0x2212, 0xFF0D}, {0x00A2, 0xFFE0},
    {0x00A3, 0xFFE1}, {0x00AC, 0xFFE2}, {0x2014, 0x2015},
};

void takeJisForms(wchar_t* text) {
    for (; *text; text++)
        for (const wchar_t* form : kJisForms)
            if (*text == form[0])
                *text = form[1];
}

// What the user typed, as Shift-JIS; 0 when it holds a character that
// Shift-JIS lacks.

} // namespace

int32_t wideCallsInUse() { return !isWindows95Family(windowsVersion()); }

int32_t toWide(const char* text, wchar_t* wide, int size) {
    if (fits(MultiByteToWideChar(kShiftJis, 0, text, -1, wide, size), size))
        return 1;
    if (size > 0)
        wide[0] = 0;
    return 0;
}

namespace {

// Windows before 2000 (NT 4, the 95 family) refuse WC_NO_BEST_FIT_CHARS as
// an unknown flag. There the text is converted without it and converted
// back: a character that became its nearest look-alike ("e" for "ë") does
// not come back as itself, and the text is refused as on 2000 and later.
// (Compared here: lstrcmpW is a stub on the 95 family.)
int32_t convertsBackAlike(const wchar_t* wide, const char* text) {
    wchar_t back[kWideTextSize];
    if (!fits(MultiByteToWideChar(kShiftJis, 0, text, -1, back, kWideTextSize), kWideTextSize))
        return 0;
    int at = 0;
    while (back[at] && back[at] == wide[at])
        at++;
    return back[at] == wide[at];
}

int32_t toShiftJisPlain(const wchar_t* wide, char* text, int size) {
    BOOL lost = FALSE;
    return fits(WideCharToMultiByte(kShiftJis, 0, wide, -1, text, size, 0, &lost), size) && !lost &&
           convertsBackAlike(wide, text);
}

int32_t toShiftJisExact(const wchar_t* wide, char* text, int size) {
    if (ntVersion(windowsVersion()) < 0x0500)
        return toShiftJisPlain(wide, text, size);
    BOOL lost = FALSE;
    int written = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, -1, text, size, 0, &lost);
    if (!written && GetLastError() == ERROR_INVALID_FLAGS)
        return toShiftJisPlain(wide, text, size);
    return fits(written, size) && !lost;
}

} // namespace

int32_t toShiftJis(const wchar_t* wide, char* text, int size) {
    if (toShiftJisExact(wide, text, size))
        return 1;
    if (size > 0)
        text[0] = 0;
    return 0;
}

int32_t typedToShiftJis(wchar_t* wide, char* text, int size) {
    takeJisForms(wide);
    return toShiftJis(wide, text, size);
}

int32_t shiftJisPath(const wchar_t* wide, char* path, int size) {
    wchar_t shortWide[kWideTextSize] = {};
    if (toShiftJis(wide, path, size))
        return 1;
    DWORD length = GetShortPathNameW(wide, shortWide, kWideTextSize);
    return length && length < (DWORD)kWideTextSize && toShiftJis(shortWide, path, size);
}

int32_t utf8ToWide(const char* text, wchar_t* wide, int size) {
    if (fits(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, size), size))
        return 1;
    if (size > 0)
        wide[0] = 0;
    return 0;
}

int32_t wideToUtf8(const wchar_t* wide, char* text, int size) {
    if (fits(WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, size, 0, 0), size))
        return 1;
    if (size > 0)
        text[0] = 0;
    return 0;
}

int32_t toWideList(const char* list, int bytes, wchar_t* wide, int size) {
    return fits(MultiByteToWideChar(kShiftJis, 0, list, bytes, wide, size), size);
}
