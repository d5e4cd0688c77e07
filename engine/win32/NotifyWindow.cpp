// The hidden notification window: owner of timer 3226 and callback window of
// every play. Its procedure hands both messages to the engine, then lets
// DefWindowProcA answer as for any other message.
#include <windows.h>
#include <mmsystem.h>

#include "../DiscEngine.h"
#include "../NotifyHost.h"

namespace {

const char kNotifyClass[] = "CDAUDIOCLASS";

LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        discEngine.handleTick((uint32_t)wParam, lParam);
        break;
    case MM_MCINOTIFY:
        discEngine.handleCompletion((uint32_t)wParam);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

WindowHandle hostCreateNotifyWindow(InstanceHandle instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = notifyWindowProc;
    windowClass.hInstance = (HINSTANCE)instance;
    windowClass.lpszClassName = kNotifyClass;
    // Registered once per process; a second open finds the class in place.
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, kNotifyClass, 0, WS_POPUP, 0, 0, 0, 0, 0, 0, (HINSTANCE)instance, 0);
}

void hostDestroyWindow(WindowHandle window) { DestroyWindow((HWND)window); }

void hostSetTimer(WindowHandle window, uint32_t timerId, uint32_t intervalMs) {
    SetTimer((HWND)window, timerId, intervalMs, 0);
}

void hostKillTimer(WindowHandle window, uint32_t timerId) { KillTimer((HWND)window, timerId); }

void hostForwardTick(WindowHandle owner, intptr_t tickParam) {
    SendMessageA((HWND)owner, WM_TIMER, kEngineTimerId, tickParam);
}

uint32_t hostTickCount() { return GetTickCount(); }
