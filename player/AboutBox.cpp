// The About box: the product name and copyright line of the program's own
// version information, in the language its first translation names. What
// the information lacks keeps the dialog's own text.
#include "PlayerWindow.h"

#include <stdio.h>

#include "../common/FontFit.h"
#include "../common/Text.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

// The program's version information is about a kilobyte; anything larger is
// not read.
const DWORD kVersionStore = 8192;
BYTE versionInfo[kVersionStore];

// The strings are UTF-16 in the file: the ANSI query gives them in the
// system's code page, right only on a Japanese Windows; elsewhere the wide
// query keeps them whole.
void showVersionString(HWND dialog, int id, DWORD translation, const char* name) {
    char query[64];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", (unsigned)(translation & 0xFFFF),
             (unsigned)(translation >> 16), name);
    UINT length = 0;
    if (!wideCallsInUse()) {
        char* value = 0;
        if (VerQueryValueA(versionInfo, query, (void**)&value, &length) && value && length > 0)
            SetDlgItemTextA(dialog, id, value);
        return;
    }
    wchar_t wideQuery[64];
    wchar_t* value = 0;
    if (toWide(query, wideQuery, 64) && VerQueryValueW(versionInfo, wideQuery, (void**)&value, &length) && value &&
        length > 0)
        SetDlgItemTextW(dialog, id, value);
}

// The program's own file, by its wide name where the system's code page
// could not name it.
int readVersionInfo() {
    DWORD unused, size;
    if (!wideCallsInUse()) {
        char program[kPathSize] = {};
        GetModuleFileNameA(0, program, kPathSize - 1);
        size = GetFileVersionInfoSizeA(program, &unused);
        return size && size <= kVersionStore && GetFileVersionInfoA(program, 0, size, versionInfo);
    }
    wchar_t program[kPathSize] = {};
    GetModuleFileNameW(0, program, kPathSize - 1);
    size = GetFileVersionInfoSizeW(program, &unused);
    return size && size <= kVersionStore && GetFileVersionInfoW(program, 0, size, versionInfo);
}

void showVersionStrings(HWND dialog) {
    if (!readVersionInfo())
        return;
    DWORD* translations = 0;
    UINT length = 0;
    if (!VerQueryValueA(versionInfo, "\\VarFileInfo\\Translation", (void**)&translations, &length) || !translations ||
        length < sizeof(DWORD))
        return;
    showVersionString(dialog, IDC_PRODUCT_NAME, translations[0], "ProductName");
    showVersionString(dialog, IDC_COPYRIGHT, translations[0], "LegalCopyright");
}

} // namespace

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        showVersionStrings(dialog);
        fitDialogTexts(dialog, kDialogFont, 0, 0);
        return TRUE;
    case WM_DESTROY:
        releaseDialogFont(dialog);
        return FALSE;
    case WM_COMMAND:
        // Escape and Alt+F4 arrive as IDCANCEL: the box closes as with OK.
        if (LOWORD(wParam) == IDC_OK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}
