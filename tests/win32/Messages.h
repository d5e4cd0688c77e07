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

// A key pressed as on the keyboard (through the system's input, as the
// X server's keys arrive under Wine) into the window in front, which gets
// it in its focused control.
inline void pressKeyIn(HWND front, WORD key) {
    SetForegroundWindow(front);
    INPUT strokes[2] = {};
    strokes[0].type = strokes[1].type = INPUT_KEYBOARD;
    strokes[0].ki.wVk = strokes[1].ki.wVk = key;
    strokes[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, strokes, sizeof(INPUT));
}
