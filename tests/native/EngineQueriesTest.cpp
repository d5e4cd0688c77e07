// Opening and closing the drive, and the disc queries with their caches.
#include <gtest/gtest.h>

#include "SimDrive.h"

using Commands = std::vector<std::string>;

namespace {

struct IntervalCase {
    int32_t asked;
    uint32_t used;
};

class OpenInterval : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(OpenInterval, TimerRunsAtSettledInterval) {
    sim.reset();
    discEngine = DiscEngine();
    ASSERT_EQ(1, discEngine.open(0, (WindowHandle)1, GetParam().asked));
    EXPECT_TRUE(sim.timerRunning);
    EXPECT_EQ(GetParam().used, sim.timerInterval);
}

INSTANTIATE_TEST_SUITE_P(Bounds, OpenInterval,
                         ::testing::Values(IntervalCase{-1, 333}, IntervalCase{5001, 333}, IntervalCase{0, 0},
                                           IntervalCase{5000, 5000}, IntervalCase{1000, 1000},
                                           IntervalCase{INT32_MIN, 333}));

TEST(Open, SetsStartingStateAndKeepsDisplayMode) {
    sim.reset();
    sim.tickCount = 98765;
    discEngine = DiscEngine();
    discEngine.setDisplayMode(kDisplayTotalRemain);
    ASSERT_EQ(1, discEngine.open((InstanceHandle)0x400000, (WindowHandle)0x77, 333));
    EXPECT_EQ(Commands({"OPEN"}), sim.take());
    EXPECT_EQ(1, sim.windowsCreated);
    EXPECT_EQ(sim.timerWindow, discEngine.notifyWindow);
    EXPECT_EQ((WindowHandle)0x77, discEngine.ownerWindow);
    EXPECT_EQ(1u, discEngine.deviceId);
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(-1, discEngine.startedTrack);
    EXPECT_EQ(kStopped, discEngine.playState());
    EXPECT_EQ(0u, discEngine.repeatMode());
    EXPECT_EQ(0u, discEngine.randomMode());
    EXPECT_EQ((uint32_t)kDisplayTotalRemain, discEngine.displayMode());
    EXPECT_EQ(-1, discEngine.cachedTrackCount);
    EXPECT_EQ(-1, discEngine.cachedTotalLength);
    EXPECT_EQ(-1, discEngine.cachedTrackLength[0]);
    EXPECT_EQ(-1, discEngine.cachedTrackLength[99]);
    EXPECT_EQ(98765u, DiscEngine::randomState);
}

TEST(Open, FailureCreatesNothingAndShutdownStillRuns) {
    sim.reset();
    sim.openFails = 1;
    discEngine = DiscEngine();
    discEngine.setDisplayMode(kDisplayTotal);
    EXPECT_EQ(0, discEngine.open(0, (WindowHandle)0x77, 333));
    EXPECT_EQ(0, sim.windowsCreated);
    EXPECT_FALSE(sim.timerRunning);
    EXPECT_EQ(0u, discEngine.deviceId);
    EXPECT_EQ(0, discEngine.currentTrack);
    EXPECT_EQ(0, discEngine.state);
    EXPECT_EQ(0, discEngine.cachedTrackCount);
    EXPECT_EQ((uint32_t)kDisplayTotal, discEngine.displayMode());

    // The drive answers the shutdown's reopen: close must close it again.
    sim.openFails = 0;
    discEngine.stop();
    EXPECT_EQ(1u, sim.openDevices);
    EXPECT_EQ(1, discEngine.close());
    EXPECT_EQ(0u, sim.openDevices);
    EXPECT_EQ(0, sim.windowsDestroyed);
}

TEST(Close, EndsDeviceTimerAndWindow) {
    openEngineWith({100});
    EXPECT_EQ(1, discEngine.close());
    EXPECT_EQ(Commands({"CLOSE"}), sim.take());
    EXPECT_EQ(0u, sim.openDevices);
    EXPECT_FALSE(sim.timerRunning);
    EXPECT_EQ(1, sim.windowsDestroyed);
}

TEST(TrackLength, DropsFramesAndAsksOnce) {
    openEngineWith({100, 100, 100});
    sim.setTrackFrames(2, (4 * 60 + 59) * 75 + 74);
    discEngine.invalidateCache();
    EXPECT_EQ(299, discEngine.trackLength(2));
    EXPECT_EQ(Commands({"SET MSF", "STATUS LENGTH 2"}), sim.take());
    EXPECT_EQ(299, discEngine.trackLength(2));
    EXPECT_TRUE(sim.take().empty());
}

TEST(TrackLength, TrackNumbersOutsideTheTablesAreNeverAsked) {
    openEngineWith({100});
    for (int32_t track : {0, -1, 100, 255, INT32_MAX, INT32_MIN})
        EXPECT_EQ(0, discEngine.trackLength(track)) << track;
    EXPECT_TRUE(sim.take().empty());
}

TEST(TotalLength, SumsWholeSecondsAndCaches) {
    openEngineWith({180, 200, 59});
    sim.setTrackFrames(1, 180 * 75 + 74);
    discEngine.invalidateCache();
    EXPECT_EQ(439, discEngine.totalLength());
    EXPECT_EQ(Commands({"SET TMSF", "STATUS TRACKS", "SET MSF", "STATUS LENGTH 1", "SET MSF", "STATUS LENGTH 2",
                        "SET MSF", "STATUS LENGTH 3"}),
              sim.take());
    EXPECT_EQ(439, discEngine.totalLength());
    EXPECT_EQ(3, discEngine.trackCount());
    EXPECT_TRUE(sim.take().empty());
}

TEST(TotalLength, DiscWithoutTracksIsZero) {
    openEngineWith({});
    EXPECT_EQ(0, discEngine.totalLength());
    EXPECT_EQ(0, discEngine.cachedTotalLength);
}

TEST(TotalLength, DriveReportingMoreThan99TracksSumsOnly99) {
    openEngineWith({});
    sim.useRawTrackCount = 1;
    sim.rawTrackCount = 150;
    for (int32_t i = 1; i < 128; i++)
        sim.setTrackFrames(i, 75 * 10);
    discEngine.invalidateCache();
    EXPECT_EQ(990, discEngine.totalLength());
    EXPECT_EQ(150, discEngine.trackCount());
}

TEST(InvalidateCache, NextQueriesAskAgainAndPlayBookkeepingStays) {
    openEngineWith({10, 20});
    discEngine.played[2] = 1;
    discEngine.currentTrack = 2;
    sim.take();
    discEngine.invalidateCache();
    EXPECT_EQ(2, discEngine.trackCount());
    EXPECT_EQ(20, discEngine.trackLength(2));
    EXPECT_EQ(30, discEngine.totalLength());
    EXPECT_EQ(Commands({"SET TMSF", "STATUS TRACKS", "SET MSF", "STATUS LENGTH 2", "SET MSF", "STATUS LENGTH 1"}),
              sim.take());
    EXPECT_EQ(1u, discEngine.played[2]);
    EXPECT_EQ(2, discEngine.currentTrack);
}

TEST(Queries, RefusedQueryYieldsZero) {
    openEngineWith({10, 20});
    sim.refuseQueries = 1;
    discEngine.invalidateCache();
    EXPECT_EQ(0, discEngine.trackCount());
    EXPECT_EQ(0, discEngine.trackLength(1));
    EXPECT_EQ(0u, discEngine.position());
    EXPECT_EQ(0, discEngine.timeToShow());
}

struct PositionCase {
    uint32_t tmsf;
    uint32_t packed;
};

class PositionDecode : public ::testing::TestWithParam<PositionCase> {};

TEST_P(PositionDecode, TrackAndWholeSeconds) {
    openEngineWith({100});
    sim.useRawPosition = 1;
    sim.rawPosition = GetParam().tmsf;
    EXPECT_EQ(GetParam().packed, discEngine.position());
    // Never cached: every call asks again.
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION"}), sim.take());
}

INSTANTIATE_TEST_SUITE_P(Tmsf, PositionDecode,
                         ::testing::Values(PositionCase{12 | 0 << 8 | 2 << 16 | 40u << 24, 12u << 16 | 2},
                                           PositionCase{1 | 65 << 8 | 0 << 16, 1u << 16 | 3900},
                                           PositionCase{5 | 3 << 8 | 7 << 16 | 74u << 24, 5u << 16 | 187},
                                           PositionCase{99 | 255 << 8 | 255 << 16, 99u << 16 | (255 * 60 + 255)},
                                           PositionCase{200 | 1 << 8, 200u << 16 | 60}));

TEST(Position, WhileAdvanceBusyReportsCurrentTrackAtZero) {
    openEngineWith({100});
    sim.useRawPosition = 1;
    sim.rawPosition = 3 | 1 << 8 | 30 << 16;
    discEngine.advanceBusy = 1;
    discEngine.currentTrack = 7;
    EXPECT_EQ(7u << 16, discEngine.position());
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION"}), sim.take());
}

TEST(MediaPresent, ReplyWithoutTimeFormat) {
    openEngineWith({100});
    EXPECT_EQ(1u, discEngine.mediaPresent());
    sim.mediaPresent = 0;
    EXPECT_EQ(0u, discEngine.mediaPresent());
    EXPECT_EQ(Commands({"STATUS MEDIA", "STATUS MEDIA"}), sim.take());
}

} // namespace
