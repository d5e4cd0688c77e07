// Dialog templates read from the program's resources, and compared with a
// table of the controls they must hold.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

struct ControlRow {
    int id;
    const char* className;
    const char* text;
    RECT units; // left, top, width, height
    DWORD style;
};

// A dialog template as the resource holds it: the dialog's own style, size,
// caption and font, then every control in order.
struct TemplateItem {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::string className, text;
};

struct DialogTemplate {
    DWORD style;
    short cx, cy;
    std::string caption, font;
    WORD pointSize;
    std::vector<TemplateItem> items;
};

// A name or an ordinal; the predefined classes by their ordinals.
inline std::string nameOrOrdinal(const WORD*& at) {
    static const char* const classes[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (*at == 0xFFFF) {
        WORD ordinal = at[1];
        at += 2;
        return ordinal >= 0x80 && ordinal <= 0x85 ? classes[ordinal - 0x80] : "#" + std::to_string(ordinal);
    }
    std::string text;
    for (; *at; at++)
        text += (char)*at; // the classes and ASCII names; texts are compared as Unicode below
    at++;
    return text;
}

// Reads a UTF-16 string and gives it in the ANSI code page, as the tests' texts are.
inline std::string unicodeText(const WORD*& at) {
    if (*at == 0xFFFF) {
        std::string ordinal = "#" + std::to_string(at[1]);
        at += 2;
        return ordinal;
    }
    const wchar_t* start = (const wchar_t*)at;
    while (*at)
        at++;
    at++;
    char text[256] = {};
    WideCharToMultiByte(CP_ACP, 0, start, -1, text, sizeof text, 0, 0);
    return text;
}

inline DialogTemplate readTemplate(int resource) {
    DialogTemplate dialog = {};
    HRSRC found = FindResourceA(GetModuleHandleA(0), MAKEINTRESOURCEA(resource), (LPCSTR)RT_DIALOG);
    const DLGTEMPLATE* header = (const DLGTEMPLATE*)LockResource(LoadResource(GetModuleHandleA(0), found));
    if (!header)
        return dialog;
    dialog.style = header->style;
    dialog.cx = header->cx;
    dialog.cy = header->cy;
    const WORD* at = (const WORD*)(header + 1);
    nameOrOrdinal(at); // menu
    nameOrOrdinal(at); // class
    dialog.caption = unicodeText(at);
    if (header->style & DS_SETFONT) {
        dialog.pointSize = *at++;
        dialog.font = unicodeText(at);
    }
    for (int i = 0; i < header->cdit; i++) {
        at = (const WORD*)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3);
        const DLGITEMTEMPLATE* item = (const DLGITEMTEMPLATE*)at;
        TemplateItem read = {item->style, item->x, item->y, item->cx, item->cy, (int)(short)item->id, "", ""};
        at = (const WORD*)(item + 1);
        read.className = nameOrOrdinal(at);
        read.text = unicodeText(at);
        WORD extra = *at++;
        at = (const WORD*)((const BYTE*)at + extra);
        dialog.items.push_back(read);
    }
    return dialog;
}

template <size_t N>
void expectTemplate(int resource, const ControlRow (&rows)[N], const char* font = "MS UI Gothic") {
    DialogTemplate dialog = readTemplate(resource);
    ASSERT_EQ(N, dialog.items.size());
    EXPECT_EQ(font, dialog.font);
    EXPECT_EQ(9, dialog.pointSize);
    for (size_t i = 0; i < N; i++) {
        const ControlRow& row = rows[i];
        const TemplateItem& item = dialog.items[i];
        EXPECT_EQ(row.id, item.id);
        EXPECT_EQ(0, _stricmp(row.className, item.className.c_str())) << row.id << " " << item.className;
        EXPECT_EQ(row.text, item.text) << row.id;
        EXPECT_EQ(row.style | WS_CHILD | WS_VISIBLE, item.style) << row.id;
        EXPECT_EQ(row.units.left, item.x) << row.id;
        EXPECT_EQ(row.units.top, item.y) << row.id;
        EXPECT_EQ(row.units.right, item.cx) << row.id;
        EXPECT_EQ(row.units.bottom, item.cy) << row.id;
    }
}
