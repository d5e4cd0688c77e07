// The reference for the player's CPU figure: a dialog that does nothing but
// run a timer at the player's default interval, 333 ms.
#include <windows.h>

namespace {

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: SetTimer(dialog, 1, 333, 0); return TRUE;
    case WM_TIMER: return TRUE;
    case WM_CLOSE:
        KillTimer(dialog, 1);
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A template of one dialog of the player's size, without controls.
    // Its caption lets the start figure find it.
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass;
        wchar_t title[8];
    } dialog = {{WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0, 0, 0, 169, 58}, 0, 0, L"Minimal"};
    return (int)DialogBoxIndirectA(instance, &dialog.header, 0, dialogProc);
}
