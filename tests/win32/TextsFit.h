// Whether a dialog shows each label's and button's whole text: measured in
// the font the control draws with, against the room the control has.
#pragma once

#include <windows.h>

#include <string>

#include "../../common/FontFit.h"
#include "WideText.h"

inline int textWidthIn(HFONT font, const std::string& text) {
    HDC context = GetDC(0);
    HGDIOBJ previous = SelectObject(context, font);
    std::wstring wideText = wide(text);
    SIZE size = {};
    GetTextExtentPoint32W(context, wideText.c_str(), (int)wideText.size(), &size);
    SelectObject(context, previous);
    ReleaseDC(0, context);
    return size.cx;
}

// "" when every text fits; else each cut one, "id text: width > room". The
// room is the one the programs' own fitting gives the control.
inline std::string cutTexts(HWND dialog) {
    std::string cut;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        char text[256];
        int32_t room = 0;
        if (!controlTextAndRoom(control, text, sizeof text, &room))
            continue;
        int width = textWidthIn((HFONT)SendMessageA(control, WM_GETFONT, 0, 0), text);
        if (width > room)
            cut += std::to_string(GetDlgCtrlID(control)) + " " + text + ": " + std::to_string(width) + " > " +
                   std::to_string(room) + "\n";
    }
    return cut;
}
