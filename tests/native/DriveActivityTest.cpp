// The drive's tray and its device heard out, on a tick counter that wraps.
#include <gtest/gtest.h>

#include "../../vdrive/DriveActivity.h"

TEST(DriveActivity, TheTrayClosesAndTheDeviceIsHeardOutOnTimeAcrossTheCountersWrap) {
    struct Row {
        uint32_t since, now;
        int trayCloses;      // opened at `since`
        uint32_t lingerLeft; // silent since `since`
    };
    const Row rows[] = {
        {1000, 1000, 0, 1000},
        {1000, 1999, 0, 1},
        {1000, 2000, 0, 0},
        {1000, 2999, 0, 0},
        {1000, 3000, 1, 0},
        {0xFFFFFF00u, 0x00000100u, 0, 488},
        {0xFFFFFF00u, 0x000006D0u, 1, 0},
        // Read before the tray opened (another thread's tick): not yet due.
        {1000, 990, 0, 0},
    };
    for (const Row& row : rows) {
        DriveActivity activity = {};
        activity.trayOpens(row.since);
        activity.fallSilent(row.since);
        EXPECT_EQ(row.lingerLeft, activity.lingerLeft(row.now)) << row.since << " " << row.now;
        EXPECT_EQ(row.trayCloses, activity.trayCloses(row.now)) << row.since << " " << row.now;
        EXPECT_EQ(row.trayCloses ? kTrayClosed : kTrayMoving, activity.tray);
        if (row.trayCloses)
            EXPECT_EQ(0, activity.trayCloses(row.now + 5000)) << "closes once";
    }
}
