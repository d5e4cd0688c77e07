#include "Text.h"

#include <commctrl.h>
#include <string.h>

// What the user sees and types, through the wide calls on the NT family.

namespace {

const int kFitSlots = 8;
const int kFitSize = 520;

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

// Shift-JIS bytes of a typed text; -1 when it has a character Shift-JIS lacks.
int shiftJisLength(const wchar_t* text) {
    wchar_t typed[kWideTextSize];
    char bytes[kWideTextSize * 2];
    lstrcpynW(typed, text, kWideTextSize);
    return typedToShiftJis(typed, bytes, sizeof bytes) ? (int)strlen(bytes) : -1;
}

// A text inserted that makes the edit's text too long is cut to what fits
// the limit, never inside a character, as a Japanese Windows's edit cuts a
// paste: what stood before it and after it stays. The caret goes after the
// part kept. 0 when the change inserted nothing, or nothing of it fits.
int32_t cutInsertionToFit(const wchar_t* before, const wchar_t* now, int maxBytes, wchar_t* kept, int* caret) {
    int beforeLength = lstrlenW(before), nowLength = lstrlenW(now);
    int head = 0;
    while (head < beforeLength && head < nowLength && before[head] == now[head])
        head++;
    int tail = 0;
    while (tail < beforeLength - head && tail < nowLength - head &&
           before[beforeLength - 1 - tail] == now[nowLength - 1 - tail])
        tail++;
    int inserted = nowLength - head - tail;
    if (inserted <= 0 || nowLength >= kWideTextSize)
        return 0;
    // The longest start of the insertion with which the whole text fits.
    wchar_t trial[kWideTextSize];
    int fitting = 0;
    for (int take = 1; take <= inserted; take++) {
        lstrcpynW(trial, now, head + take + 1);
        lstrcpynW(trial + head + take, now + nowLength - tail, tail + 1);
        int bytes = shiftJisLength(trial);
        if (bytes >= 0 && bytes <= maxBytes && head + take + tail < kFitSize)
            fitting = take;
        else if (bytes > maxBytes)
            break;
    }
    if (!fitting)
        return 0;
    lstrcpynW(kept, now, head + fitting + 1);
    lstrcpynW(kept + head + fitting, now + nowLength - tail, tail + 1);
    *caret = head + fitting;
    return 1;
}

} // namespace

INT_PTR dialogBox(HINSTANCE instance, int resource, HWND owner, DLGPROC procedure) {
    if (wideCallsInUse())
        return DialogBoxParamW(instance, MAKEINTRESOURCEW(resource), owner, procedure, 0);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(resource), owner, procedure, 0);
}

void setWindowText(HWND window, const char* text) {
    if (!wideCallsInUse()) {
        SetWindowTextA(window, text);
        return;
    }
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
    // What the program sets stands, however long: only typing is limited.
    if (isEdit(window))
        rememberFit(window, wide, (int)strlen(text));
    SetWindowTextW(window, wide);
}

void setItemText(HWND dialog, int id, const char* text) { setWindowText(GetDlgItem(dialog, id), text); }

int32_t windowText(HWND window, char* text, int size) {
    if (!wideCallsInUse()) {
        text[0] = 0;
        GetWindowTextA(window, text, size);
        return 1;
    }
    wchar_t wide[kWideTextSize] = {};
    GetWindowTextW(window, wide, kWideTextSize);
    return typedToShiftJis(wide, text, size);
}

int32_t itemText(HWND dialog, int id, char* text, int size) {
    if (!wideCallsInUse()) {
        text[0] = 0;
        GetDlgItemTextA(dialog, id, text, size);
        return 1;
    }
    wchar_t wide[kWideTextSize] = {};
    GetDlgItemTextW(dialog, id, wide, kWideTextSize);
    return typedToShiftJis(wide, text, size);
}

int showMessage(HWND owner, const char* text, const char* caption, UINT type) {
    if (!wideCallsInUse())
        return MessageBoxA(owner, text, caption, type);
    wchar_t wideMessage[kWideTextSize], wideCaption[kWideTextSize];
    toWide(text, wideMessage, kWideTextSize);
    toWide(caption, wideCaption, kWideTextSize);
    return MessageBoxW(owner, wideMessage, wideCaption, type);
}

void appendMenuText(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    if (!wideCallsInUse()) {
        AppendMenuA(menu, flags, id, text);
        return;
    }
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
    AppendMenuW(menu, flags, id, wide);
}

void insertMenuText(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text) {
    if (!wideCallsInUse() || !text) {
        InsertMenuA(menu, position, flags, id, text);
        return;
    }
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
    InsertMenuW(menu, position, flags, id, wide);
}

void drawText(HDC context, const char* text, RECT* place, UINT format) {
    if (!wideCallsInUse()) {
        DrawTextExA(context, (char*)text, -1, place, format, 0);
        return;
    }
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
    DrawTextExW(context, wide, -1, place, format, 0);
}

LRESULT addListItem(HWND list, int32_t index, const char* text) {
    UINT message = index < 0 ? LB_ADDSTRING : LB_INSERTSTRING;
    if (!wideCallsInUse())
        return SendMessageA(list, message, index, (LPARAM)text);
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
    return SendMessageW(list, message, index, (LPARAM)wide);
}

LRESULT listItem(HWND list, int32_t index, char* text, int size) {
    text[0] = 0;
    if (!wideCallsInUse()) {
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
        if (length < 0 || length >= size)
            return LB_ERR;
        return SendMessageA(list, LB_GETTEXT, index, (LPARAM)text);
    }
    wchar_t wide[kWideTextSize] = {};
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0 || length >= kWideTextSize)
        return LB_ERR;
    SendMessageW(list, LB_GETTEXT, index, (LPARAM)wide);
    return toShiftJis(wide, text, size) ? (LRESULT)strlen(text) : LB_ERR;
}

void addTab(HWND tabs, const char* text) {
    if (!wideCallsInUse()) {
        TCITEMA tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = (char*)text;
        SendMessageA(tabs, TCM_INSERTITEMA, 0, (LPARAM)&tab);
        return;
    }
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
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
    if (!wideCallsInUse()) {
        TOOLINFOA info = {};
        fillToolInfo(&info, owner, tool, (char*)text);
        SendMessageA(tips, TTM_ADDTOOLA, 0, (LPARAM)&info);
        return;
    }
    wchar_t wide[kWideTextSize];
    toWide(text, wide, kWideTextSize);
    TOOLINFOW info = {};
    fillToolInfo(&info, owner, tool, wide);
    SendMessageW(tips, TTM_ADDTOOLW, 0, (LPARAM)&info);
}

void keepShiftJisFit(HWND edit, int maxBytes) {
    if (!wideCallsInUse())
        return;
    wchar_t now[kWideTextSize] = {};
    GetWindowTextW(edit, now, kWideTextSize);
    FitSlot* slot = fitSlotOf(edit);
    int bytes = shiftJisLength(now);
    if (bytes >= 0 && (bytes <= maxBytes || bytes <= slot->bytes) && lstrlenW(now) < kFitSize) {
        rememberFit(edit, now, bytes);
        return;
    }
    wchar_t kept[kWideTextSize];
    int keptCaret = 0;
    if (bytes >= 0 && cutInsertionToFit(slot->text, now, maxBytes, kept, &keptCaret)) {
        rememberFit(edit, kept, shiftJisLength(kept));
        SetWindowTextW(edit, kept);
        SendMessageW(edit, EM_SETSEL, keptCaret, keptCaret);
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
