// A play or resume with MCI_WAIT returns when the drive no longer plays, or
// when the user breaks the wait (the platform's break key). `playing`
// answers 1 or 0, or -1 when the drive can no longer tell (its host has
// gone): the wait then fails, since the play's end was never seen.
#pragma once

#include <windows.h>
#include <mmsystem.h>

extern "C" UINT WINAPI mciDriverYield(MCIDEVICEID deviceId);

template <typename Playing> DWORD waitForPlayEnd(MCIDEVICEID deviceId, Playing playing) {
    for (;;) {
        int now = playing();
        if (now < 0)
            return MCIERR_HARDWARE;
        if (!now || mciDriverYield(deviceId))
            return 0;
        Sleep(20);
    }
}
