// Running the test thread's messages for a while, as a program's message
// loop would.
#pragma once

#include <windows.h>

// Dispatches messages for ms milliseconds, or until done answers true; a
// posted quit is dropped, since the tests' windows post it when they end.
inline void pumpMessages(DWORD ms, bool (*done)() = 0) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT)
                DispatchMessageA(&message);
        if (done && done())
            return;
        Sleep(5);
    } while ((LONG)(end - GetTickCount()) > 0);
}

// F1 as the system hands it on from the keyboard: WM_KEYF1 to the window
// with the focus, which the default window procedure turns into WM_HELP.
// (Posted, not typed: a key typed through the system's input would reach
// whichever test's window is in front when tests run side by side.)
const UINT kKeyF1Message = 0x004D;

inline void pressF1In(HWND window) {
    HWND focus = GetFocus();
    PostMessageA(focus && (focus == window || IsChild(window, focus)) ? focus : window, kKeyF1Message, 0, 0);
}
