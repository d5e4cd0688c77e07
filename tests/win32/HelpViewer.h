// A stand-in for the help viewer, whose window the platform finds by its
// class: it records what each WinHelpA call asked of it.
#pragma once

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

// The request's layout: size, command, data, reserved, then the offsets of
// the file name and of the data.
struct HelpRequest {
    UINT command;
    std::string file;
    HWND from;
};
inline std::vector<HelpRequest> helpRequests;

inline LRESULT CALLBACK helpViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA)
        return DefWindowProcA(window, message, wParam, lParam);
    const COPYDATASTRUCT* copy = (const COPYDATASTRUCT*)lParam;
    const BYTE* request = (const BYTE*)copy->lpData;
    WORD command, fileOffset;
    memcpy(&command, request + 2, 2);
    memcpy(&fileOffset, request + 12, 2);
    helpRequests.push_back({command, (const char*)request + fileOffset, (HWND)wParam});
    return TRUE;
}

struct HelpViewer {
    HWND window;
    HelpViewer() {
        WNDCLASSA viewerClass = {};
        viewerClass.lpfnWndProc = helpViewerProc;
        viewerClass.hInstance = GetModuleHandleA(0);
        viewerClass.lpszClassName = "MS_WINHELP";
        RegisterClassA(&viewerClass);
        window = CreateWindowA("MS_WINHELP", "", 0, 0, 0, 0, 0, 0, 0, GetModuleHandleA(0), 0);
        helpRequests.clear();
    }
    ~HelpViewer() { DestroyWindow(window); }
};

