// A program that speaks MCI command strings, as small players do: each line
// of its input is sent with mciSendStringA and answered on a line of its
// output as "error answer", the notifications its window received since
// the last line as "notify N". A line "notes" only waits a little for
// notifications. Tests run two of these to see one drive from two programs.
#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>
#include <string.h>

namespace {

char notes[256];

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY)
        snprintf(notes + strlen(notes), sizeof notes - strlen(notes), " %u", (unsigned)wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

void pump(DWORD ms) {
    DWORD began = GetTickCount();
    MSG message;
    do {
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    } while (GetTickCount() - began < ms);
}

} // namespace

int main() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(0);
    windowClass.lpszClassName = "MciClientNotes";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "MciClientNotes", "", WS_POPUP, 0, 0, 1, 1, 0, 0, GetModuleHandleA(0), 0);
    char line[512];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        char answer[256] = "";
        MCIERROR error = 0;
        if (strcmp(line, "notes") == 0)
            pump(300);
        else
            error = mciSendStringA(line, answer, sizeof answer, window);
        pump(20);
        printf("%lu %s|notify%s\n", (unsigned long)error, answer, notes);
        fflush(stdout);
        notes[0] = 0;
    }
    mciSendStringA("close all", 0, 0, 0);
    DestroyWindow(window);
    return 0;
}
