// What the drive does beside the play: its tray, its sound device heard out
// once the play has fallen silent, and its control key read or changed
// unread. Portable: time is handed in as a tick counter of milliseconds
// that wraps (GetTickCount).
#pragma once

#include <stdint.h>

enum TrayState : int32_t {
    kTrayClosed = 0,
    // Another disc goes in: the drive is empty until trayClosesAt.
    kTrayMoving = 1,
};

enum ControlState : int32_t {
    kControlRead = 0,
    // Changed, or not yet read since the drive's thread began to watch it.
    kControlUnread = 1,
};

struct DriveActivity {
    // One disc put in place of another goes as through a real tray: the
    // drive empty for two seconds of real time whatever its speed, so that
    // a player sees the change. The sound device is closed a second after
    // the drive fell silent, once what it held has been heard.
    static const uint32_t kTrayMs = 2000;
    static const uint32_t kLingerMs = 1000;

    TrayState tray;
    uint32_t trayClosesAt;
    uint32_t silentSince;
    ControlState control;

    void trayOpens(uint32_t now);
    // The tray closes on the new disc once its time is up: 1 then.
    int trayCloses(uint32_t now);
    void fallSilent(uint32_t now) { silentSince = now; }
    // Milliseconds until the device may close; 0 once it has been heard out.
    uint32_t lingerLeft(uint32_t now) const;
};
