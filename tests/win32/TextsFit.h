// Whether a dialog shows each label's and button's whole text: measured in
// the font the control draws with, against the room the control has.
#pragma once

#include <windows.h>

#include <string>

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

// "" when every text fits; else each cut one, "id text: width > room".
inline std::string cutTexts(HWND dialog) {
    std::string cut;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        char kind[16] = {};
        GetClassNameA(control, kind, sizeof kind);
        LONG style = GetWindowLongA(control, GWL_STYLE);
        int frame;
        if (lstrcmpiA(kind, "Static") == 0 && (style & SS_TYPEMASK) != SS_ICON)
            frame = 0;
        else if (lstrcmpiA(kind, "Button") == 0)
            frame = (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON ? 4 : (style & BS_TYPEMASK) == BS_GROUPBOX ? 12 : 16;
        else
            continue;
        std::string text = windowText(control);
        RECT client;
        GetClientRect(control, &client);
        int width = textWidthIn((HFONT)SendMessageA(control, WM_GETFONT, 0, 0), text);
        if (width > client.right - frame)
            cut += std::to_string(GetDlgCtrlID(control)) + " " + text + ": " + std::to_string(width) + " > " +
                   std::to_string(client.right - frame) + "\n";
    }
    return cut;
}
