#include "Text.h"

#include <commctrl.h>
#include <stdarg.h>
#include <string.h>

namespace {

// Anything the programs show or keep: names of 50 bytes, paths of 511,
// messages of a few hundred.
const int kWideSize = 1024;
const int kFitSlots = 8;
const int kFitSize = 520;

int32_t fits(int written, int size) { return written > 0 && written <= size; }

// The typed text each byte-limited edit last held while it fitted.
struct FitSlot {
    HWND edit;
    int bytes;
    wchar_t text[kFitSize];
};
FitSlot fitSlots[kFitSlots];
int nextFitSlot;

FitSlot* fitSlotOf(HWND edit) {
    for (FitSlot& slot : fitSlots)
        if (slot.edit == edit)
            return &slot;
    FitSlot* slot = &fitSlots[nextFitSlot];
    nextFitSlot = (nextFitSlot + 1) % kFitSlots;
    *slot = FitSlot{};
    slot->edit = edit;
    return slot;
}

int isEdit(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

void rememberFit(HWND edit, const wchar_t* text, int bytes) {
    FitSlot* slot = fitSlotOf(edit);
    slot->bytes = bytes;
    lstrcpynW(slot->text, text, kFitSize);
}

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
int32_t typedToShiftJis(wchar_t* wide, char* text, int size) {
    takeJisForms(wide);
    return toShiftJis(wide, text, size);
}

// Shift-JIS bytes of a typed text; -1 when it has a character Shift-JIS lacks.
int shiftJisLength(const wchar_t* text) {
    wchar_t typed[kWideSize];
    char bytes[kWideSize * 2];
    lstrcpynW(typed, text, kWideSize);
    return typedToShiftJis(typed, bytes, sizeof bytes) ? (int)strlen(bytes) : -1;
}

} // namespace

int32_t wideText() { return !(GetVersion() & 0x80000000); }

int32_t toWide(const char* text, wchar_t* wide, int size) {
    if (fits(MultiByteToWideChar(kShiftJis, 0, text, -1, wide, size), size))
        return 1;
    if (size > 0)
        wide[0] = 0;
    return 0;
}

int32_t toShiftJis(const wchar_t* wide, char* text, int size) {
    BOOL lost = FALSE;
    if (fits(WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, -1, text, size, 0, &lost), size) && !lost)
        return 1;
    if (size > 0)
        text[0] = 0;
    return 0;
}

int32_t sameIgnoringCase(const char* one, const char* other) {
    if (!wideText())
        return lstrcmpiA(one, other) == 0;
    wchar_t wideOne[kWideSize], wideOther[kWideSize];
    if (!toWide(one, wideOne, kWideSize) || !toWide(other, wideOther, kWideSize))
        return strcmp(one, other) == 0;
    return lstrcmpiW(wideOne, wideOther) == 0;
}

INT_PTR dialogBox(HINSTANCE instance, int resource, HWND owner, DLGPROC procedure) {
    if (wideText())
        return DialogBoxParamW(instance, MAKEINTRESOURCEW(resource), owner, procedure, 0);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(resource), owner, procedure, 0);
}

void setWindowText(HWND window, const char* text) {
    if (!wideText()) {
        SetWindowTextA(window, text);
        return;
    }
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    // What the program sets stands, however long: only typing is limited.
    if (isEdit(window))
        rememberFit(window, wide, (int)strlen(text));
    SetWindowTextW(window, wide);
}

void setItemText(HWND dialog, int id, const char* text) { setWindowText(GetDlgItem(dialog, id), text); }

int32_t windowText(HWND window, char* text, int size) {
    if (!wideText()) {
        text[0] = 0;
        GetWindowTextA(window, text, size);
        return 1;
    }
    wchar_t wide[kWideSize] = {};
    GetWindowTextW(window, wide, kWideSize);
    return typedToShiftJis(wide, text, size);
}

int32_t itemText(HWND dialog, int id, char* text, int size) {
    if (!wideText()) {
        text[0] = 0;
        GetDlgItemTextA(dialog, id, text, size);
        return 1;
    }
    wchar_t wide[kWideSize] = {};
    GetDlgItemTextW(dialog, id, wide, kWideSize);
    return typedToShiftJis(wide, text, size);
}

int showMessage(HWND owner, const char* text, const char* caption, UINT type) {
    if (!wideText())
        return MessageBoxA(owner, text, caption, type);
    wchar_t wideMessage[kWideSize], wideCaption[kWideSize];
    toWide(text, wideMessage, kWideSize);
    toWide(caption, wideCaption, kWideSize);
    return MessageBoxW(owner, wideMessage, wideCaption, type);
}

void appendMenuText(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    if (!wideText()) {
        AppendMenuA(menu, flags, id, text);
        return;
    }
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    AppendMenuW(menu, flags, id, wide);
}

void insertMenuText(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text) {
    if (!wideText() || !text) {
        InsertMenuA(menu, position, flags, id, text);
        return;
    }
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    InsertMenuW(menu, position, flags, id, wide);
}

void drawText(HDC context, const char* text, RECT* place, UINT format) {
    if (!wideText()) {
        DrawTextExA(context, (char*)text, -1, place, format, 0);
        return;
    }
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    DrawTextExW(context, wide, -1, place, format, 0);
}

LRESULT addListItem(HWND list, int32_t index, const char* text) {
    UINT message = index < 0 ? LB_ADDSTRING : LB_INSERTSTRING;
    if (!wideText())
        return SendMessageA(list, message, index, (LPARAM)text);
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    return SendMessageW(list, message, index, (LPARAM)wide);
}

LRESULT listItem(HWND list, int32_t index, char* text, int size) {
    text[0] = 0;
    if (!wideText()) {
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
        if (length < 0 || length >= size)
            return LB_ERR;
        return SendMessageA(list, LB_GETTEXT, index, (LPARAM)text);
    }
    wchar_t wide[kWideSize] = {};
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0 || length >= kWideSize)
        return LB_ERR;
    SendMessageW(list, LB_GETTEXT, index, (LPARAM)wide);
    return toShiftJis(wide, text, size) ? (LRESULT)strlen(text) : LB_ERR;
}

void addTab(HWND tabs, const char* text) {
    if (!wideText()) {
        TCITEMA tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = (char*)text;
        SendMessageA(tabs, TCM_INSERTITEMA, 0, (LPARAM)&tab);
        return;
    }
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = wide;
    SendMessageW(tabs, TCM_INSERTITEMW, 0, (LPARAM)&tab);
}

// The size of the first tooltip record, which every version of the common
// controls takes.
template <typename Info, typename Char> void fillToolInfo(Info* info, HWND owner, HWND tool, Char* text) {
    info->cbSize = (UINT)((char*)&info->lParam - (char*)info);
    info->uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info->hwnd = owner;
    info->uId = (UINT_PTR)tool;
    info->lpszText = text;
}

void addToolTip(HWND tips, HWND owner, HWND tool, const char* text) {
    if (!wideText()) {
        TOOLINFOA info = {};
        fillToolInfo(&info, owner, tool, (char*)text);
        SendMessageA(tips, TTM_ADDTOOLA, 0, (LPARAM)&info);
        return;
    }
    wchar_t wide[kWideSize];
    toWide(text, wide, kWideSize);
    TOOLINFOW info = {};
    fillToolInfo(&info, owner, tool, wide);
    SendMessageW(tips, TTM_ADDTOOLW, 0, (LPARAM)&info);
}

void keepShiftJisFit(HWND edit, int maxBytes) {
    if (!wideText())
        return;
    wchar_t now[kWideSize] = {};
    GetWindowTextW(edit, now, kWideSize);
    FitSlot* slot = fitSlotOf(edit);
    int bytes = shiftJisLength(now);
    if (bytes >= 0 && (bytes <= maxBytes || bytes <= slot->bytes) && lstrlenW(now) < kFitSize) {
        rememberFit(edit, now, bytes);
        return;
    }
    // Taken back: the caret goes where the refused text began.
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, 0, (LPARAM)&end);
    int added = lstrlenW(now) - lstrlenW(slot->text);
    int caret = (int)end - (added > 0 ? added : 0);
    SetWindowTextW(edit, slot->text);
    SendMessageW(edit, EM_SETSEL, caret < 0 ? 0 : caret, caret < 0 ? 0 : caret);
    MessageBeep(MB_OK);
}

// ---- Files, the registry and the help ----

namespace {

struct WidePath {
    wchar_t text[kWideSize];
    int32_t ok;
    explicit WidePath(const char* path) : text(), ok(0) { ok = toWide(path, text, kWideSize); }
};

} // namespace

DWORD fileAttributes(const char* path) {
    if (!wideText())
        return GetFileAttributesA(path);
    WidePath wide(path);
    return wide.ok ? GetFileAttributesW(wide.text) : INVALID_FILE_ATTRIBUTES;
}

HANDLE openFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
    if (!wideText())
        return CreateFileA(path, access, share, 0, disposition, FILE_ATTRIBUTE_NORMAL, 0);
    WidePath wide(path);
    if (!wide.ok)
        return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.text, access, share, 0, disposition, FILE_ATTRIBUTE_NORMAL, 0);
}

FILE* openStream(const char* path, const char* mode) {
    if (!wideText())
        return fopen(path, mode);
    WidePath wide(path), wideMode(mode);
    return wide.ok && wideMode.ok ? _wfopen(wide.text, wideMode.text) : 0;
}

BOOL moveFile(const char* from, const char* to, DWORD flags) {
    if (!wideText())
        return flags ? MoveFileExA(from, to, flags) : MoveFileA(from, to);
    WidePath wideFrom(from), wideTo(to);
    if (!wideFrom.ok || !wideTo.ok)
        return FALSE;
    return flags ? MoveFileExW(wideFrom.text, wideTo.text, flags) : MoveFileW(wideFrom.text, wideTo.text);
}

BOOL deleteFile(const char* path) {
    if (!wideText())
        return DeleteFileA(path);
    WidePath wide(path);
    return wide.ok && DeleteFileW(wide.text);
}

BOOL copyFile(const char* from, const char* to) {
    if (!wideText())
        return CopyFileA(from, to, FALSE);
    WidePath wideFrom(from), wideTo(to);
    return wideFrom.ok && wideTo.ok && CopyFileW(wideFrom.text, wideTo.text, FALSE);
}

DWORD fullPathName(const char* path, char* full, DWORD size) {
    if (!wideText())
        return GetFullPathNameA(path, size, full, 0);
    WidePath wide(path);
    wchar_t wideFull[kWideSize];
    DWORD length = wide.ok ? GetFullPathNameW(wide.text, kWideSize, wideFull, 0) : 0;
    if (!length || length >= (DWORD)kWideSize)
        return 0;
    return toShiftJis(wideFull, full, (int)size) ? (DWORD)strlen(full) : size;
}

int32_t shiftJisPath(const wchar_t* wide, char* path, int size) {
    wchar_t shortWide[kWideSize] = {};
    if (toShiftJis(wide, path, size))
        return 1;
    DWORD length = GetShortPathNameW(wide, shortWide, kWideSize);
    return length && length < (DWORD)kWideSize && toShiftJis(shortWide, path, size);
}

DWORD moduleFileName(HMODULE module, char* path, DWORD size) {
    path[0] = 0;
    if (!wideText())
        return GetModuleFileNameA(module, path, size);
    wchar_t wide[kWideSize] = {};
    DWORD length = GetModuleFileNameW(module, wide, kWideSize);
    if (!length || length >= (DWORD)kWideSize)
        return 0;
    return shiftJisPath(wide, path, (int)size) ? (DWORD)strlen(path) : 0;
}

LONG queryValue(HKEY key, const char* name, DWORD* type, BYTE* bytes, DWORD* size) {
    DWORD kind = 0;
    if (!wideText()) {
        LONG result = RegQueryValueExA(key, name, 0, &kind, bytes, size);
        if (type)
            *type = kind;
        return result;
    }
    WidePath wideName(name ? name : "");
    wchar_t value[kWideSize + 1] = {};
    DWORD valueSize = kWideSize * sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, wideName.text, 0, &kind, (BYTE*)value, &valueSize);
    if (type)
        *type = kind;
    if (result != ERROR_SUCCESS)
        return result;
    if (kind != REG_SZ && kind != REG_EXPAND_SZ && kind != REG_MULTI_SZ) {
        if (valueSize > *size)
            return ERROR_MORE_DATA;
        memcpy(bytes, value, valueSize);
        *size = valueSize;
        return ERROR_SUCCESS;
    }
    char text[kWideSize * 2];
    if (!toShiftJis(value, text, sizeof text))
        return ERROR_INVALID_DATA;
    DWORD length = (DWORD)strlen(text) + 1;
    if (length > *size)
        return ERROR_MORE_DATA;
    memcpy(bytes, text, length);
    *size = length;
    return ERROR_SUCCESS;
}

LONG setTextValue(HKEY key, const char* name, const char* text) {
    if (!wideText())
        return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    WidePath wideName(name ? name : ""), wideValue(text);
    if (!wideName.ok || !wideValue.ok)
        return ERROR_INVALID_DATA;
    DWORD size = (DWORD)(lstrlenW(wideValue.text) + 1) * sizeof(wchar_t);
    return RegSetValueExW(key, wideName.text, 0, REG_SZ, (const BYTE*)wideValue.text, size);
}

void printText(FILE* stream, const char* format, ...) {
    char text[kWideSize * 2];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode, written;
    wchar_t wide[kWideSize * 2];
    if (wideText() && GetConsoleMode(console, &mode) && toWide(text, wide, kWideSize * 2)) {
        fflush(stream);
        WriteConsoleW(console, wide, (DWORD)lstrlenW(wide), &written, 0);
        return;
    }
    fputs(text, stream);
}

BOOL showHelp(HWND owner, const char* path, UINT command) {
    if (!wideText())
        return WinHelpA(owner, path, command, 0);
    WidePath wide(path);
    return WinHelpW(owner, wide.text, command, 0);
}
