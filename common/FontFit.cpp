#include "FontFit.h"

#include <stdio.h>
#include <string.h>

#include "Text.h"

namespace {

// Japanese UI fonts in the order they are taken: Windows's own from 95 on,
// then those that other systems and Wine users have.
// Shift-JIS bytes: this file is not compiled to code page 932.
const char* const kJapaneseUiFaces[] = {
    "MS UI Gothic",     "Meiryo UI",
    "Yu Gothic UI",     "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E" /* ＭＳ Ｐゴシック */,
    "MS PGothic",       "IPAPGothic",
    "VL PGothic",       "TakaoPGothic",
    "Noto Sans CJK JP", "IPAGothic",
};
const int32_t kSmallestHeight = 8;
const int kMaxTexts = 48;
const int kTextStore = 256;
const char kFontProperty[] = "DrovixDialogFont";

int CALLBACK faceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *(int*)found = 1;
    return 0;
}

int CALLBACK faceFoundAnsi(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *(int*)found = 1;
    return 0;
}

int32_t isInstalled(HDC context, const char* face) {
    int found = 0;
    if (!wideCallsInUse()) {
        LOGFONTA wanted = {};
        wanted.lfCharSet = SHIFTJIS_CHARSET;
        lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
        EnumFontFamiliesExA(context, &wanted, faceFoundAnsi, (LPARAM)&found, 0);
        return found;
    }
    LOGFONTW wanted = {};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    if (toWide(face, wanted.lfFaceName, LF_FACESIZE))
        EnumFontFamiliesExW(context, &wanted, faceFound, (LPARAM)&found, 0);
    return found;
}

int32_t textWidth(HDC context, const char* text) {
    SIZE size = {};
    if (!wideCallsInUse()) {
        GetTextExtentPoint32A(context, text, lstrlenA(text), &size);
        return size.cx;
    }
    wchar_t wide[kTextStore];
    if (toWide(text, wide, kTextStore))
        GetTextExtentPoint32W(context, wide, lstrlenW(wide), &size);
    return size.cx;
}

int32_t allFitIn(HDC context, HFONT font, const FitText* texts, int32_t count) {
    HGDIOBJ previous = SelectObject(context, font);
    int32_t fit = 1;
    for (int32_t i = 0; i < count && fit; i++)
        fit = textWidth(context, texts[i].text) <= texts[i].room;
    SelectObject(context, previous);
    return fit;
}

int32_t allFit(HDC context, const char* face, int32_t height, const FitText* texts, int32_t count) {
    HFONT font = createJapaneseFont(face, height);
    int32_t fit = font && allFitIn(context, font, texts, count);
    if (font)
        DeleteObject(font);
    return fit;
}

// The largest height up to the one asked for (a negative LOGFONT height is
// the characters' own) at which every text fits; 0 when none does.
int32_t fittingHeight(HDC context, const char* face, int32_t height, const FitText* texts, int32_t count) {
    int32_t sign = height < 0 ? -1 : 1;
    for (int32_t size = height * sign; size >= kSmallestHeight; size--)
        if (allFit(context, face, size * sign, texts, count))
            return size * sign;
    return 0;
}

struct DialogTexts {
    FitText texts[kMaxTexts];
    char store[kMaxTexts][kTextStore];
    int32_t count;

    void add(const char* text, int32_t room) {
        if (count == kMaxTexts)
            return;
        lstrcpynA(store[count], text, kTextStore);
        texts[count].text = store[count];
        texts[count].room = room;
        count++;
    }
};

DialogTexts dialogTexts;

} // namespace

int32_t controlTextAndRoom(HWND control, char* text, int32_t textSize, int32_t* room) {
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    int32_t margin;
    if (lstrcmpiA(className, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP)
            return 0;
        margin = 0;
    } else if (lstrcmpiA(className, "Button") == 0) {
        LONG kind = style & BS_TYPEMASK;
        margin = kind == BS_GROUPBOX ? 16 : (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) ? 6 : 18;
    } else {
        return 0;
    }
    if (!windowText(control, text, textSize) || !text[0])
        return 0;
    *room = client.right - client.left - margin;
    return 1;
}

HFONT createJapaneseFont(const char* face, int32_t height) {
    if (!wideCallsInUse())
        return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, face);
    wchar_t wide[LF_FACESIZE];
    if (!toWide(face, wide, LF_FACESIZE))
        return 0;
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       PROOF_QUALITY, 0, wide);
}

void chooseFittingFont(const char* face, int32_t height, const FitText* texts, int32_t count,
                       char chosen[kFaceNameSize], int32_t* chosenHeight) {
    HDC context = GetDC(0);
    lstrcpynA(chosen, face, kFaceNameSize);
    *chosenHeight = height;
    int32_t fitting = 0;
    if (!isInstalled(context, face) || !allFit(context, face, height, texts, count)) {
        for (const char* candidate : kJapaneseUiFaces) {
            if (!isInstalled(context, candidate))
                continue;
            fitting = fittingHeight(context, candidate, height, texts, count);
            if (fitting) {
                lstrcpynA(chosen, candidate, kFaceNameSize);
                *chosenHeight = fitting;
                break;
            }
        }
    }
    ReleaseDC(0, context);
}

void fitDialogTexts(HWND dialog, const char* face, const FitText* extras, int32_t extraCount) {
    dialogTexts.count = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        char text[kTextStore];
        int32_t room = 0;
        if (controlTextAndRoom(control, text, kTextStore, &room))
            dialogTexts.add(text, room);
    }
    for (int32_t i = 0; i < extraCount; i++)
        dialogTexts.add(extras[i].text, extras[i].room);

    HFONT current = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    LOGFONTA shown = {};
    if (!current || !GetObjectA(current, sizeof shown, &shown))
        return;
    HDC context = GetDC(dialog);
    int32_t stays = isInstalled(context, face) && allFitIn(context, current, dialogTexts.texts, dialogTexts.count);
    ReleaseDC(dialog, context);
    if (stays)
        return;
    char chosen[kFaceNameSize];
    int32_t height;
    chooseFittingFont(face, shown.lfHeight, dialogTexts.texts, dialogTexts.count, chosen, &height);
    HFONT font = createJapaneseFont(chosen, height);
    if (!font)
        return;
    SetPropA(dialog, kFontProperty, font);
    SendMessageA(dialog, WM_SETFONT, (WPARAM)font, FALSE);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        SendMessageA(control, WM_SETFONT, (WPARAM)font, TRUE);
}

void releaseDialogFont(HWND dialog) {
    HFONT font = (HFONT)RemovePropA(dialog, kFontProperty);
    if (font)
        DeleteObject(font);
}
