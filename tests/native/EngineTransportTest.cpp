// Transport, random choice and the time to show.
#include <gtest/gtest.h>

#include "SimDrive.h"

using Commands = std::vector<std::string>;

namespace {

const std::vector<uint32_t> kTenTracks = {100, 200, 150, 120, 90, 180, 60, 240, 200, 130};

// The engine and the drive both playing at a place on the disc.
void playAt(int32_t track, uint32_t seconds) {
    if (discEngine.state == kPaused)
        discEngine.stop();
    discEngine.playTrack(track);
    sim.placeAt(track, seconds);
    sim.take();
}

void pauseAt(int32_t track, uint32_t seconds) {
    playAt(track, seconds);
    discEngine.playPause();
    sim.take();
}

void stoppedOn(int32_t track) {
    discEngine.currentTrack = track;
    sim.placeAt(track, 0);
}

TEST(PlayPause, CyclesStoppedPlayingPausedPlaying) {
    openEngineWith(kTenTracks);
    discEngine.currentTrack = 4;
    discEngine.playPause();
    EXPECT_EQ(Commands({"SET TMSF", "PLAY FROM 4"}), sim.take());
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_EQ(discEngine.notifyWindow, sim.callback);

    sim.advance(130 * 1000);  // into track 5
    discEngine.playPause();
    EXPECT_EQ(Commands({"SET TMSF", "SET TMSF", "STATUS POSITION", "PAUSE"}), sim.take());
    EXPECT_EQ(kPaused, discEngine.state);
    EXPECT_EQ(5, discEngine.currentTrack);

    discEngine.playPause();
    EXPECT_EQ(Commands({"SET TMSF", "PLAY NOTIFY"}), sim.take());
    EXPECT_EQ(kPlaying, discEngine.state);
}

TEST(Stop, ReopensDeviceAndStandsAtTrackOne) {
    openEngineWith(kTenTracks);
    playAt(6, 20);
    discEngine.played[3] = 1;
    discEngine.startedTrack = 6;
    discEngine.repeatFlag = 1;
    uint32_t oldDevice = discEngine.deviceId;
    discEngine.stop();
    EXPECT_EQ(Commands({"CLOSE", "OPEN", "SEEK START", "STOP"}), sim.take());
    EXPECT_NE(oldDevice, discEngine.deviceId);
    EXPECT_EQ(1u, sim.openDevices);
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(1u, discEngine.played[3]);
    EXPECT_EQ(6, discEngine.startedTrack);
    EXPECT_EQ(6, discEngine.pendingTrack);
    EXPECT_EQ(1u, discEngine.repeatFlag);
    EXPECT_EQ(100, discEngine.cachedTrackLength[1]);
}

TEST(Next, PlayingLastTrackOnlyWrapsWithRepeat) {
    openEngineWith(kTenTracks);
    playAt(10, 5);
    discEngine.next();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION"}), sim.take());
    EXPECT_EQ(kPlaying, discEngine.state);

    discEngine.setRepeatMode(1);
    discEngine.next();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "PLAY FROM 1"}), sim.take());
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(kPlaying, discEngine.state);
}

TEST(Next, PlayingStepsFromTheDrivesTrack) {
    openEngineWith(kTenTracks);
    playAt(2, 0);
    sim.advance(201 * 1000);  // the drive has run on into track 3
    discEngine.next();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "PLAY FROM 4"}), sim.take());
    EXPECT_EQ(4, sim.driveTrack());
}

TEST(Next, StoppedSeeksAndStaysStopped) {
    openEngineWith(kTenTracks);
    stoppedOn(3);
    discEngine.next();
    EXPECT_EQ(Commands({"SET TMSF", "SEEK TO 4"}), sim.take());
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(4, discEngine.currentTrack);
    discEngine.playPause();
    EXPECT_EQ(Commands({"SET TMSF", "PLAY FROM 4"}), sim.take());
}

TEST(Next, PausedOnLastTrackWrapsOnlyWithRepeat) {
    openEngineWith(kTenTracks);
    pauseAt(10, 5);
    discEngine.next();
    EXPECT_EQ(10, discEngine.currentTrack);
    EXPECT_EQ(Commands({"SET TMSF", "SEEK TO 10"}), sim.take());
    discEngine.setRepeatMode(1);
    discEngine.next();
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(kPaused, discEngine.state);
}

TEST(NextPrevious, StoppedWithRandomDoNothing) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    stoppedOn(3);
    sim.take();
    discEngine.next();
    discEngine.previous();
    EXPECT_TRUE(sim.take().empty());
    EXPECT_EQ(3, discEngine.currentTrack);
    EXPECT_EQ(kStopped, discEngine.state);
}

TEST(Next, PlayingWithRandomOnlyAsksForSkip) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    playAt(3, 10);
    discEngine.next();
    EXPECT_TRUE(sim.take().empty());
    EXPECT_EQ(kSkipRequest, discEngine.startedTrack);
}

TEST(Next, PausedWithRandomAndRoundOver) {
    openEngineWith({100, 100, 100});
    discEngine.setRandomMode(1);
    pauseAt(2, 10);
    for (int32_t i = 1; i <= 3; i++)
        discEngine.played[i] = 1;
    discEngine.next();
    EXPECT_TRUE(sim.take().empty());
    EXPECT_EQ(kPaused, discEngine.state);
    EXPECT_EQ(2, discEngine.currentTrack);

    discEngine.setRepeatMode(1);
    sim.take();
    discEngine.next();
    int32_t cued = discEngine.currentTrack;
    EXPECT_GE(cued, 1);
    EXPECT_LE(cued, 3);
    EXPECT_EQ(kPaused, discEngine.state);
    EXPECT_EQ(cued, sim.driveTrack());
    EXPECT_EQ(0u, sim.driveSeconds());
    EXPECT_FALSE(sim.playing);
    // A fresh round: only the cued track is played.
    int flagged = 0;
    for (int32_t i = 1; i <= 3; i++)
        flagged += discEngine.played[i] ? 1 : 0;
    EXPECT_EQ(1, flagged);
    EXPECT_EQ(1u, discEngine.played[cued]);
}

TEST(Previous, PlayingTrackOneWrapsToLastOnlyAtTheStart) {
    openEngineWith(kTenTracks);
    discEngine.setRepeatMode(1);
    playAt(1, 2);
    sim.frame += 74;  // 2 seconds 74 frames is still "at the start"
    discEngine.previous();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "STATUS POSITION", "SET TMSF",
                        "PLAY FROM 10"}),
              sim.take());
    EXPECT_EQ(10, discEngine.currentTrack);

    playAt(1, 3);
    discEngine.previous();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "STATUS POSITION", "SET TMSF", "SEEK TO 1",
                        "SET TMSF", "PLAY FROM 1"}),
              sim.take());
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(kPlaying, discEngine.state);
}

TEST(Previous, PlayingTrackOneWithoutRepeatRestartsIt) {
    openEngineWith(kTenTracks);
    playAt(1, 1);
    discEngine.previous();
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(1, sim.driveTrack());
    EXPECT_TRUE(sim.playing);
}

TEST(Previous, PlayingWithRandomNearStartDoesNothing) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    playAt(5, 1);
    discEngine.previous();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION"}), sim.take());
}

TEST(Previous, PausedSeeksWithinOrBackAndStaysPaused) {
    openEngineWith(kTenTracks);
    pauseAt(4, 10);
    discEngine.previous();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "SEEK TO 4"}), sim.take());
    EXPECT_EQ(kPaused, discEngine.state);
    EXPECT_EQ(4, discEngine.currentTrack);

    pauseAt(4, 1);
    discEngine.previous();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "SEEK TO 3"}), sim.take());
    EXPECT_EQ(kPaused, discEngine.state);
    EXPECT_EQ(3, discEngine.currentTrack);
}

TEST(Previous, PausedWithRandomNearStartStaysOnTrack) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    pauseAt(4, 1);
    discEngine.previous();
    EXPECT_EQ(Commands({"SET TMSF", "STATUS POSITION", "SET TMSF", "SEEK TO 4"}), sim.take());
}

TEST(Previous, StoppedOnTrackOneWrapsOnlyWithRepeat) {
    openEngineWith(kTenTracks);
    stoppedOn(1);
    discEngine.previous();
    EXPECT_EQ(1, discEngine.currentTrack);
    discEngine.setRepeatMode(1);
    discEngine.previous();
    EXPECT_EQ(10, discEngine.currentTrack);
    EXPECT_EQ(kStopped, discEngine.state);
}

TEST(PlayTrack, RefusesTracksNotOnTheDisc) {
    openEngineWith(kTenTracks);
    for (int32_t n : {0, -3, 11, 100, 5099}) {
        EXPECT_EQ(0, discEngine.playTrack(n)) << n;
        EXPECT_EQ(1, discEngine.currentTrack);
        EXPECT_EQ(0, discEngine.pendingTrack);
        EXPECT_EQ(kStopped, discEngine.state);
    }
    EXPECT_TRUE(sim.take().empty());
}

TEST(PlayTrack, WhilePausedCuesTheTrack) {
    openEngineWith(kTenTracks);
    pauseAt(2, 30);
    EXPECT_EQ(1, discEngine.playTrack(5));
    EXPECT_EQ(Commands({"SET TMSF", "SEEK TO 5", "SET TMSF", "SET TMSF", "STATUS POSITION", "PAUSE"}), sim.take());
    EXPECT_EQ(kPaused, discEngine.state);
    EXPECT_EQ(5, discEngine.currentTrack);
    EXPECT_EQ(5, discEngine.pendingTrack);
    discEngine.playPause();
    EXPECT_EQ(Commands({"SET TMSF", "PLAY NOTIFY"}), sim.take());
    EXPECT_EQ(5, sim.driveTrack());
    EXPECT_EQ(0u, sim.driveSeconds());
}

TEST(PlayTrack, WhilePlayingOrStoppedPlaysFromTheTrack) {
    openEngineWith(kTenTracks);
    EXPECT_EQ(1, discEngine.playTrack(7));
    EXPECT_EQ(Commands({"SET TMSF", "PLAY FROM 7"}), sim.take());
    EXPECT_EQ(1, discEngine.playTrack(3));
    EXPECT_EQ(Commands({"SET TMSF", "PLAY FROM 3"}), sim.take());
    EXPECT_EQ(kPlaying, discEngine.state);
}

TEST(PlayTrack, DriveReportingTooManyTracksStillEndsAt99) {
    openEngineWith({});
    sim.useRawTrackCount = 1;
    sim.rawTrackCount = 0xFFFF;
    discEngine.invalidateCache();
    EXPECT_EQ(0, discEngine.playTrack(100));
    EXPECT_EQ(1, discEngine.playTrack(99));
}

TEST(Eject, OpensThenClosesTheDoorItOpened) {
    openEngineWith(kTenTracks);
    playAt(3, 10);
    discEngine.eject();
    EXPECT_EQ(Commands({"STATUS MODE", "CLOSE", "OPEN", "SEEK START", "STOP", "DOOR OPEN"}), sim.take());
    EXPECT_EQ(1u, discEngine.doorOpened);
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(1, discEngine.currentTrack);

    discEngine.eject();
    EXPECT_EQ(Commands({"STATUS MODE", "DOOR CLOSED"}), sim.take());
    EXPECT_EQ(0u, discEngine.doorOpened);
}

// The drive is shared: a door another program (or a hand) opened closes at
// the first press.
TEST(Eject, DoorOpenedElsewhereClosesAtOnePress) {
    openEngineWith(kTenTracks);
    sim.doorOpen = 1;
    discEngine.eject();
    EXPECT_EQ(Commands({"STATUS MODE", "DOOR CLOSED"}), sim.take());
    EXPECT_FALSE(sim.doorOpen);
}

TEST(Eject, DoorClosedByHandOpensAgain) {
    openEngineWith(kTenTracks);
    discEngine.eject();
    sim.doorOpen = 0;
    sim.take();
    discEngine.eject();
    EXPECT_EQ(Commands({"STATUS MODE", "CLOSE", "OPEN", "SEEK START", "STOP", "DOOR OPEN"}), sim.take());
    EXPECT_EQ(1u, discEngine.doorOpened);
}

TEST(Modes, DisplayModeAboveThreeIsEach) {
    for (uint32_t mode : {4u, 0xFFFFFFFFu, 0x80000000u}) {
        discEngine.setDisplayMode(kDisplayTotal);
        discEngine.setDisplayMode(mode);
        EXPECT_EQ(0u, discEngine.displayMode()) << mode;
    }
    discEngine.setDisplayMode(3);
    EXPECT_EQ(3u, discEngine.displayMode());
}

TEST(Modes, RepeatStoresTheFlagUnchanged) {
    openEngineWith({100});
    EXPECT_EQ(7u, discEngine.setRepeatMode(7));
    EXPECT_EQ(7u, discEngine.repeatMode());
    EXPECT_TRUE(sim.take().empty());
}

TEST(Modes, RandomOnStartsARoundWithTheTrackInTheDrive) {
    openEngineWith(kTenTracks);
    pauseAt(6, 10);
    discEngine.played[2] = 1;
    EXPECT_EQ(1u, discEngine.setRandomMode(5));
    EXPECT_EQ(1u, discEngine.randomMode());
    for (int32_t i = 0; i < kTrackSlots; i++)
        EXPECT_EQ(i == 6 ? 1u : 0u, discEngine.played[i]) << i;

    EXPECT_EQ(0u, discEngine.setRandomMode(0));
    EXPECT_EQ(1u, discEngine.played[6]);

    discEngine.stop();
    discEngine.played[6] = 0;
    discEngine.setRandomMode(1);
    for (int32_t i = 0; i < kTrackSlots; i++)
        EXPECT_EQ(0u, discEngine.played[i]) << i;
}

TEST(Modes, RandomOnWithDriveReportingTrack200MarksNothing) {
    openEngineWith(kTenTracks);
    playAt(3, 0);
    sim.useRawPosition = 1;
    sim.rawPosition = 200;
    discEngine.setRandomMode(1);
    for (int32_t i = 0; i < kTrackSlots; i++)
        EXPECT_EQ(0u, discEngine.played[i]) << i;
}

TEST(Random, GeneratorIsTheClassicLinearCongruence) {
    // The first draws of the well-known C library generator seeded with 1.
    DiscEngine::seedRandom(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t value : expected)
        EXPECT_EQ(value, DiscEngine::drawRandom());
}

TEST(Random, SeededChoiceIsReproducible) {
    std::vector<uint32_t> twenty(20, 60);
    openEngineWith(twenty);
    DiscEngine::seedRandom(1);
    // Draws 42, 36, 63 lie above 20; 5 is taken; then 98, 109, 87, 47, 83, 17.
    EXPECT_EQ(5, discEngine.pickRandomTrack());
    EXPECT_EQ(17, discEngine.pickRandomTrack());
}

TEST(Random, PicksOnlyUnplayedTracksAndEndsTheRound) {
    openEngineWith({100, 100, 100});
    discEngine.played[1] = 1;
    discEngine.played[3] = 1;
    EXPECT_EQ(2, discEngine.pickRandomTrack());
    EXPECT_EQ(1u, discEngine.played[2]);
    EXPECT_EQ(0, discEngine.pickRandomTrack());
}

TEST(Random, FullRoundVisitsEveryTrackOnce) {
    openEngineWith(std::vector<uint32_t>(99, 30));
    std::vector<int> seen(100, 0);
    for (int i = 0; i < 99; i++) {
        int32_t track = discEngine.pickRandomTrack();
        ASSERT_GE(track, 1);
        ASSERT_LE(track, 99);
        seen[track]++;
    }
    for (int32_t i = 1; i <= 99; i++)
        EXPECT_EQ(1, seen[i]) << i;
    EXPECT_EQ(0, discEngine.pickRandomTrack());
}

TEST(Random, EmptyDiscAndHugeTrackCountStayInTheTable) {
    openEngineWith({});
    EXPECT_EQ(0, discEngine.pickRandomTrack());
    EXPECT_TRUE(sim.take().empty());
    sim.useRawTrackCount = 1;
    sim.rawTrackCount = 200;
    discEngine.invalidateCache();
    for (int i = 0; i < 99; i++) {
        int32_t track = discEngine.pickRandomTrack();
        ASSERT_GE(track, 1);
        ASSERT_LE(track, 99);
    }
    EXPECT_EQ(0, discEngine.pickRandomTrack());
}

struct TimeCase {
    uint32_t mode;
    int32_t track;
    uint32_t seconds;
    int32_t shown;
};

class TimeToShowInOrder : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeToShowInOrder, FromTheDisc) {
    openEngineWith({100, 200, 300, 50});
    discEngine.setDisplayMode(GetParam().mode);
    playAt(GetParam().track, GetParam().seconds);
    EXPECT_EQ(GetParam().shown, discEngine.timeToShow());
}

INSTANTIATE_TEST_SUITE_P(Modes, TimeToShowInOrder,
                         ::testing::Values(TimeCase{kDisplayEach, 3, 30, 30}, TimeCase{kDisplayEachRemain, 3, 30, 270},
                                           TimeCase{kDisplayTotal, 3, 30, 330},
                                           TimeCase{kDisplayTotalRemain, 3, 30, 650 - 330},
                                           TimeCase{kDisplayTotal, 1, 0, 0}, TimeCase{kDisplayTotalRemain, 1, 0, 650},
                                           TimeCase{kDisplayEachRemain, 4, 49, 1}));

TEST(TimeToShow, NeverNegative) {
    openEngineWith({100, 200});
    sim.useRawPosition = 1;
    sim.rawPosition = 2 | 10 << 8;  // 600 s into a 200 s track
    for (uint32_t mode : {kDisplayEachRemain, kDisplayTotalRemain}) {
        discEngine.setDisplayMode(mode);
        EXPECT_EQ(0, discEngine.timeToShow()) << mode;
    }
    sim.rawPosition = 200 | 1 << 8;  // a track no disc has
    discEngine.setDisplayMode(kDisplayEachRemain);
    EXPECT_EQ(0, discEngine.timeToShow());
    discEngine.setDisplayMode(kDisplayTotal);
    EXPECT_EQ(360, discEngine.timeToShow());
}

TEST(TimeToShow, RandomCountsThePlayedTracksOfTheRound) {
    openEngineWith({100, 200, 300, 50});
    discEngine.setRandomMode(1);
    playAt(2, 30);
    discEngine.played[4] = 1;
    discEngine.played[2] = 1;
    discEngine.setDisplayMode(kDisplayTotal);
    EXPECT_EQ(30 + 50, discEngine.timeToShow());
    discEngine.setDisplayMode(kDisplayTotalRemain);
    EXPECT_EQ(650 - 80, discEngine.timeToShow());
    discEngine.setDisplayMode(kDisplayEachRemain);
    EXPECT_EQ(170, discEngine.timeToShow());
}

} // namespace
