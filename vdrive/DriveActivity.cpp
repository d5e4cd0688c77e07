#include "DriveActivity.h"

void DriveActivity::trayOpens(uint32_t now) {
    tray = kTrayMoving;
    trayClosesAt = now + kTrayMs;
}

int DriveActivity::trayCloses(uint32_t now) {
    if (tray != kTrayMoving || (int32_t)(now - trayClosesAt) < 0)
        return 0;
    tray = kTrayClosed;
    return 1;
}

uint32_t DriveActivity::lingerLeft(uint32_t now) const {
    uint32_t silent = now - silentSince;
    return silent >= kLingerMs ? 0 : kLingerMs - silent;
}
