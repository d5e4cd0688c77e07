// The notification host of the native tests: no window, a recorded timer,
// and a count of the ticks handed on to the player window.
#include "NotifyHost.h"
#include "SimDrive.h"

namespace {

WindowHandle const kNotifyWindow = (WindowHandle)0x4e57;

} // namespace

// ---- The host seam ------------------------------------------------------------

WindowHandle hostCreateNotifyWindow(InstanceHandle) {
    sim.windowsCreated++;
    return kNotifyWindow;
}

void hostDestroyWindow(WindowHandle window) {
    if (window)
        sim.windowsDestroyed++;
}

void hostSetTimer(WindowHandle window, uint32_t timerId, uint32_t intervalMs) {
    if (timerId != kEngineTimerId)
        return;
    sim.timerWindow = window;
    sim.timerInterval = intervalMs;
    sim.timerRunning = 1;
}

void hostKillTimer(WindowHandle window, uint32_t timerId) {
    if (window && window == sim.timerWindow && timerId == kEngineTimerId)
        sim.timerRunning = 0;
}

void hostForwardTick(WindowHandle, intptr_t) {
    sim.ticksForwarded++;
    sim.stateAtForward = discEngine.state;
}

uint32_t hostTickCount() { return sim.tickCount; }
