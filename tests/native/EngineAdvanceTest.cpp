// The notification window's two jobs: random supervision on every tick, with
// the tick handed on to the player window, and the end of a play.
#include <gtest/gtest.h>

#include "SimDrive.h"

using Commands = std::vector<std::string>;

namespace {

const std::vector<uint32_t> kTenTracks = {100, 200, 150, 120, 90, 180, 60, 240, 200, 130};

bool startedPlay(const Commands& commands) {
    for (const std::string& command : commands)
        if (command.rfind("PLAY FROM", 0) == 0)
            return true;
    return false;
}

int playedCount() {
    int count = 0;
    for (int32_t i = 0; i < kTrackSlots; i++)
        count += discEngine.played[i] ? 1 : 0;
    return count;
}

// Random play on, started by supervision and confirmed by the next tick.
int32_t randomPlayStarted() {
    discEngine.setRandomMode(1);
    discEngine.playPause();
    tick(); // the drive's track 1 is not the started track: a random one starts
    tick(); // the drive is there: confirmed
    sim.take();
    return discEngine.startedTrack;
}

void markAllPlayed() {
    for (int32_t i = 1; i <= discEngine.trackCount(); i++)
        discEngine.played[i] = 1;
}

TEST(Tick, EveryTickReachesTheOwnerAfterSupervision) {
    openEngineWith(kTenTracks);
    tick();
    EXPECT_EQ(1, sim.ticksForwarded);
    // Stopped: the drive is looked at, but nothing is supervised.
    EXPECT_EQ(Commands({"STATUS MODE", "SET TMSF", "STATUS POSITION"}), sim.take());

    discEngine.setRandomMode(1);
    discEngine.playPause();
    tick();
    EXPECT_EQ(2, sim.ticksForwarded);
    EXPECT_EQ(kPlaying, sim.stateAtForward);
    EXPECT_EQ(1u, discEngine.advanceBusy); // supervision ran before the forward
}

TEST(Tick, OtherTimersReachNothing) {
    openEngineWith(kTenTracks);
    discEngine.playPause();
    sim.take();
    discEngine.handleTick(1, 0);
    discEngine.handleTick(kEngineTimerId + 1, 0);
    EXPECT_EQ(0, sim.ticksForwarded);
    EXPECT_TRUE(sim.take().empty());
}

TEST(Tick, RandomOffFollowsTheDrive) {
    openEngineWith(kTenTracks);
    discEngine.playTrack(4);
    sim.advance(121 * 1000);
    sim.take();
    tick();
    EXPECT_EQ(5, discEngine.startedTrack);
    EXPECT_EQ(0, discEngine.pendingTrack);
    EXPECT_EQ(Commands({"STATUS MODE", "SET TMSF", "STATUS POSITION"}), sim.take());
}

TEST(Tick, PausedEngineDoesNotSupervise) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    discEngine.playPause();
    discEngine.playPause();
    sim.take();
    tick();
    // Only the drive's mode and track, as every paused tick asks them.
    EXPECT_EQ(Commands({"STATUS MODE", "SET TMSF", "STATUS POSITION"}), sim.take());
    EXPECT_EQ(kPaused, discEngine.state);
}

TEST(Supervision, ConfirmsThenAdvancesWhenTheTrackRunsOn) {
    openEngineWith(kTenTracks);
    int32_t first = randomPlayStarted();
    EXPECT_EQ(0u, discEngine.advanceBusy);
    EXPECT_EQ(first, sim.driveTrack());
    EXPECT_EQ(1u, discEngine.played[first]);
    if (first == 10)
        GTEST_SKIP() << "the first track has no successor on the disc";

    sim.placeAt(first + 1, 0);
    tick();
    int32_t second = discEngine.startedTrack;
    EXPECT_NE(first, second);
    EXPECT_EQ(second, sim.driveTrack());
    EXPECT_EQ(1u, discEngine.played[second]);
    EXPECT_EQ(1u, discEngine.advanceBusy);
    EXPECT_EQ((uint32_t)second << 16, discEngine.position());
}

TEST(Supervision, RoundOverWithoutRepeatStopsAtTrackOne) {
    openEngineWith(kTenTracks);
    int32_t first = randomPlayStarted();
    markAllPlayed();
    sim.placeAt(first == 10 ? 9 : first + 1, 0);
    tick();
    EXPECT_EQ(Commands({"STATUS MODE", "SET TMSF", "STATUS POSITION", "CLOSE", "OPEN", "SEEK START", "STOP"}), sim.take());
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(0, playedCount());
}

TEST(Supervision, RoundOverWithRepeatStartsANewRound) {
    openEngineWith(kTenTracks);
    discEngine.setRepeatMode(1);
    int32_t first = randomPlayStarted();
    markAllPlayed();
    sim.placeAt(first == 10 ? 9 : first + 1, 0);
    tick();
    EXPECT_EQ(1, playedCount());
    EXPECT_EQ(1u, discEngine.played[discEngine.startedTrack]);
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_EQ(discEngine.startedTrack, sim.driveTrack());
}

TEST(Supervision, SkipRequestStartsAnUnplayedTrack) {
    openEngineWith(kTenTracks);
    int32_t first = randomPlayStarted();
    discEngine.next();
    tick();
    EXPECT_NE(first, discEngine.startedTrack);
    EXPECT_EQ(discEngine.startedTrack, sim.driveTrack());
    EXPECT_EQ(2, playedCount());
}

TEST(Supervision, SkipRequestWithRoundOverPlaysOn) {
    openEngineWith(kTenTracks);
    int32_t first = randomPlayStarted();
    markAllPlayed();
    discEngine.next();
    tick();
    EXPECT_EQ(first, discEngine.startedTrack);
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_FALSE(startedPlay(sim.take()));
}

TEST(Supervision, DirectChoiceIsTakenOverAndStartedAgain) {
    openEngineWith(kTenTracks);
    randomPlayStarted();
    discEngine.playTrack(7);
    EXPECT_EQ(Commands({"SET TMSF", "PLAY FROM 7"}), sim.take());
    tick();
    EXPECT_EQ(Commands({"STATUS MODE", "SET TMSF", "STATUS POSITION", "SET TMSF", "PLAY FROM 7"}), sim.take());
    EXPECT_EQ(7, discEngine.startedTrack);
    EXPECT_EQ(1u, discEngine.played[7]);
    EXPECT_EQ(0, discEngine.pendingTrack);
}

TEST(Supervision, PlayFromStoppedIsReplacedByARandomTrack) {
    openEngineWith({100, 100, 100});
    DiscEngine::seedRandom(7);
    discEngine.setRandomMode(1);
    discEngine.playPause();
    discEngine.startedTrack = 2; // the last round's track, not the drive's
    tick();
    EXPECT_EQ(1u, discEngine.advanceBusy);
    EXPECT_EQ(1, playedCount());
}

// A round that ended at a tick is over as one that ended at a completion:
// Play starts a new round that plays on.
TEST(Supervision, PlayAfterATickEndedRoundStartsANewRound) {
    openEngineWith(kTenTracks);
    randomPlayStarted();
    markAllPlayed();
    sim.placeAt(discEngine.startedTrack == 10 ? 9 : discEngine.startedTrack + 1, 0);
    tick();
    ASSERT_EQ(kStopped, discEngine.state);
    discEngine.playPause();
    tick();
    sim.placeAt(discEngine.startedTrack, 30);
    tick();
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_EQ(1, playedCount());
    EXPECT_EQ(discEngine.startedTrack, sim.driveTrack());
}

// A command within one interval after a random start must not leave the
// engine waiting for a confirmation that can never come.
TEST(Supervision, CommandsRightAfterARandomStartClearTheWait) {
    struct Case {
        const char* name;
        void (*command)();
    };
    const Case cases[] = {
        {"next", [] { discEngine.next(); }},
        {"playTrack", [] { discEngine.playTrack(9); }},
        {"stop", [] { discEngine.stop(); }},
        {"eject", [] { discEngine.eject(); }},
        {"random off", [] { discEngine.setRandomMode(0); }},
    };
    for (const Case& c : cases) {
        openEngineWith(kTenTracks);
        discEngine.setRandomMode(1);
        discEngine.playPause();
        tick();
        ASSERT_EQ(1u, discEngine.advanceBusy) << c.name;
        c.command();
        EXPECT_EQ(0u, discEngine.advanceBusy) << c.name;
        sim.placeAt(sim.driveTrack(), 12);
        EXPECT_EQ(12u, discEngine.position() & 0xFFFF) << c.name;
    }
}

TEST(Supervision, NextRightAfterARandomStartStillSkips) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    discEngine.playPause();
    tick();
    int32_t started = discEngine.startedTrack;
    discEngine.next();
    tick();
    EXPECT_NE(started, discEngine.startedTrack);
    EXPECT_EQ(discEngine.startedTrack, sim.driveTrack());
}

TEST(Completion, RandomLastTrackOnDiscStartsTheNextUnplayed) {
    openEngineWith(kTenTracks);
    randomPlayStarted();
    discEngine.playTrack(10);
    tick();
    tick();
    sim.take();
    sim.completions.clear();
    sim.advance(131 * 1000);
    deliverCompletions();
    EXPECT_EQ(1u, discEngine.notifyAdvance);
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_EQ(discEngine.startedTrack, sim.driveTrack());
    EXPECT_EQ(0u, discEngine.played[discEngine.startedTrack] - 1);

    // While notifyAdvance is set supervision runs even when paused.
    discEngine.state = kPaused;
    sim.playing = 0;
    sim.paused = 1;
    sim.take();
    tick();
    EXPECT_EQ(Commands({"STATUS MODE", "SET TMSF", "STATUS POSITION", "SET TMSF", "STATUS POSITION"}), sim.take());
    EXPECT_EQ(0u, discEngine.advanceBusy);
}

struct EndCase {
    uint32_t random;
    uint32_t repeat;
    int roundLeft;
    int32_t state;
    int playedAfter; // -1: not looked at
};

class EndOfDisc : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndOfDisc, ContinuesOrStops) {
    const EndCase& c = GetParam();
    openEngineWith({60, 60, 60});
    discEngine.setRepeatMode(c.repeat);
    if (c.random) {
        discEngine.setRandomMode(1);
        discEngine.played[3] = 1;
        if (!c.roundLeft)
            markAllPlayed();
    }
    discEngine.playTrack(3);
    sim.completions.clear();
    sim.advance(61 * 1000);
    ASSERT_EQ(1u, sim.completions.size());
    deliverCompletions();
    EXPECT_EQ(c.state, discEngine.state);
    if (c.state == kStopped)
        EXPECT_EQ(1, discEngine.currentTrack);
    if (c.playedAfter >= 0)
        EXPECT_EQ(c.playedAfter, playedCount());
    if (!c.random && c.repeat)
        EXPECT_EQ(1, sim.driveTrack());
}

INSTANTIATE_TEST_SUITE_P(Combinations, EndOfDisc,
                         ::testing::Values(EndCase{0, 0, 0, kStopped, -1}, EndCase{0, 1, 0, kPlaying, -1},
                                           EndCase{1, 0, 1, kPlaying, 2}, EndCase{1, 1, 1, kPlaying, 2},
                                           // A round ended by the disc leaves every flag clear.
                                           EndCase{1, 0, 0, kStopped, 0}, EndCase{1, 1, 0, kPlaying, 1}));

TEST(Completion, OtherCodesOnlyClearNotifyAdvance) {
    openEngineWith(kTenTracks);
    discEngine.playPause();
    sim.take();
    for (uint32_t code : {2u, 4u, 8u}) {
        discEngine.notifyAdvance = 1;
        discEngine.handleCompletion(code);
        EXPECT_EQ(0u, discEngine.notifyAdvance);
        EXPECT_EQ(kPlaying, discEngine.state);
    }
    EXPECT_TRUE(sim.take().empty());
}

TEST(Completion, SupersededPlayIsIgnored) {
    openEngineWith(kTenTracks);
    discEngine.playPause();
    discEngine.next(); // the first play is superseded by the second
    ASSERT_EQ(std::vector<uint32_t>({kNotifySuperseded}), sim.completions);
    deliverCompletions();
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_EQ(2, discEngine.currentTrack);
}

TEST(PlayThrough, WholeDiscOnTheClockWithRepeatThenWithout) {
    openEngineWith({3, 4, 5});
    discEngine.setRepeatMode(1);
    discEngine.playPause();
    for (int i = 0; i < 40; i++) { // 13.3 s: past the end once
        sim.advance(333);
        deliverCompletions();
        tick();
    }
    EXPECT_EQ(kPlaying, discEngine.state);
    EXPECT_EQ(1, sim.driveTrack());

    discEngine.setRepeatMode(0);
    for (int i = 0; i < 40; i++) {
        sim.advance(333);
        deliverCompletions();
        tick();
    }
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_FALSE(sim.playing);
}

} // namespace
