// The window and timer that the disc engine owns: the hidden notification
// window, its timer, and the hand-over of each tick to the player window.
// engine/win32/ implements them with real windows and timers.
#pragma once

#include "Drive.h"

// Registers "CDAUDIOCLASS" and creates the hidden window of that class.
WindowHandle hostCreateNotifyWindow(InstanceHandle instance);
void hostDestroyWindow(WindowHandle window);
void hostSetTimer(WindowHandle window, uint32_t timerId, uint32_t intervalMs);
void hostKillTimer(WindowHandle window, uint32_t timerId);
// Sends the tick to the owner and returns when the owner has handled it.
void hostForwardTick(WindowHandle owner, intptr_t tickParam);
uint32_t hostTickCount();
