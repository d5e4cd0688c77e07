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
