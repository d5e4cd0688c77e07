// The engine follows the shared drive: what another program did to it, and
// a drive that went away and came back, become the engine's state, and the
// next command acts on that state.
#include <gtest/gtest.h>

#include <algorithm>

#include "SimDrive.h"

using Commands = std::vector<std::string>;

namespace {

const std::vector<uint32_t> kTenTracks = {100, 200, 150, 120, 90, 180, 60, 240, 200, 130};

void playing(int32_t track) {
    discEngine.playTrack(track);
    sim.placeAt(track, 20);
}

void paused(int32_t track) {
    playing(track);
    discEngine.playPause();
}

void stopped(int32_t track) {
    discEngine.currentTrack = track;
    sim.placeAt(track, 0);
}

// What another program does, as the drive then stands.
void pausedElsewhere() {
    sim.playing = 0;
    sim.paused = 1;
}
void stoppedElsewhere() { sim.playing = sim.paused = 0; }
void resumedElsewhere() {
    sim.playing = 1;
    sim.paused = 0;
}
void playedElsewhereFrom7() {
    sim.placeAt(7, 0);
    resumedElsewhere();
}
// A seek leaves the drive stopped, also a paused one.
void seekedElsewhereTo7() {
    sim.placeAt(7, 0);
    stoppedElsewhere();
}
void nothingElsewhere() {}

// The player's own cue while paused: the drive stands stopped at the start
// of the track.
void pausedThenNext(int32_t track) {
    paused(track);
    discEngine.next();
}

struct Row {
    const char* what;
    void (*before)(int32_t track);
    int32_t track;
    void (*outside)();
    int32_t stateAfter;
    int32_t trackAfter;
    int32_t (*command)();
    const char* sentLast;
    int32_t stateAtEnd;
};

int32_t playPause() { return (int32_t)discEngine.playPause(); }
int32_t next() { return discEngine.next(); }
int32_t previous() { return discEngine.previous(); }

} // namespace

TEST(FollowDrive, WhatAnotherProgramDidIsTheEnginesStateAndTheNextCommandActsOnIt) {
    const Row rows[] = {
        {"paused elsewhere: one Play resumes", playing, 2, pausedElsewhere, kPaused, 2, playPause, "PLAY NOTIFY",
         kPlaying},
        {"stopped elsewhere: one Play plays the track", playing, 2, stoppedElsewhere, kStopped, 2, playPause,
         "PLAY FROM 2", kPlaying},
        {"resumed elsewhere: Play pauses", paused, 4, resumedElsewhere, kPlaying, 4, playPause, "PAUSE", kPaused},
        {"played elsewhere from 7: Next plays 8", stopped, 3, playedElsewhereFrom7, kPlaying, 3, next, "PLAY FROM 8",
         kPlaying},
        {"seeked elsewhere while stopped: Next cues 8", stopped, 3, seekedElsewhereTo7, kStopped, 7, next, "SEEK TO 8",
         kStopped},
        {"seeked elsewhere while paused: Previous cues 6", paused, 3, seekedElsewhereTo7, kStopped, 7, previous,
         "SEEK TO 6", kStopped},
        {"cued while paused: still paused, and Next cues again", pausedThenNext, 3, nothingElsewhere, kPaused, 4,
         next, "SEEK TO 5", kPaused},
        {"stopped elsewhere mid-track while paused: stopped", paused, 3, stoppedElsewhere, kStopped, 3, playPause,
         "PLAY FROM 3", kPlaying},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        openEngineWith(kTenTracks);
        row.before(row.track);
        sim.tickCount += 2000; // the drive has long had the player's last play
        row.outside();
        sim.take();
        EXPECT_EQ(kDriveFollowed, discEngine.followDrive());
        EXPECT_EQ(row.stateAfter, discEngine.state);
        if (row.stateAfter != kPlaying)
            EXPECT_EQ(row.trackAfter, discEngine.currentTrack);
        sim.take();
        row.command();
        EXPECT_EQ(row.sentLast, sim.take().back());
        EXPECT_EQ(row.stateAtEnd, discEngine.state);
    }
}

TEST(FollowDrive, ADriveThatAnswersAsExpectedIsOnlyAskedItsMode) {
    openEngineWith(kTenTracks);
    playing(5);
    sim.take();
    EXPECT_EQ(kDriveFollowed, discEngine.followDrive());
    EXPECT_EQ(Commands({"STATUS MODE"}), sim.take());
    EXPECT_EQ(kPlaying, discEngine.state);
}

// A drive that went away while it played (its host ended) answers again on
// a device opened again, without the play: stopped at the track it was on,
// with the disc kept, and the first Play plays that track.
TEST(FollowDrive, ADriveBackWithoutItsPlayStandsStoppedAtTheTrackItWasOn) {
    openEngineWith(kTenTracks);
    playing(4);
    discEngine.position();
    sim.silent = 1;
    EXPECT_EQ(kDriveSilent, discEngine.followDrive());
    EXPECT_EQ(kPlaying, discEngine.state);

    sim.silent = 0;
    stoppedElsewhere();
    sim.frame = 0; // a new host's drive stands at its start
    sim.take();
    EXPECT_EQ(kDriveFollowed, discEngine.followDrive());
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(4, discEngine.currentTrack);
    EXPECT_EQ("SEEK TO 4", sim.take().back());
    discEngine.playPause();
    EXPECT_EQ("PLAY FROM 4", sim.take().back());
    EXPECT_EQ(kPlaying, discEngine.state);
}

// The first query after the drive went away fails; the device is opened
// again within the same follow and answers.
TEST(FollowDrive, AFailedQueryOpensTheDeviceAgainAtOnce) {
    openEngineWith(kTenTracks);
    paused(6);
    uint32_t before = discEngine.deviceId;
    discEngine.deviceId = 0; // a device identifier that no longer answers
    sim.take();
    sim.frame = 0;
    stoppedElsewhere();
    EXPECT_EQ(kDriveFollowed, discEngine.followDrive());
    Commands sent = sim.take();
    EXPECT_EQ(Commands({"STATUS MODE", "CLOSE", "OPEN", "STATUS MODE"}), Commands(sent.begin(), sent.begin() + 4));
    EXPECT_NE(before, discEngine.deviceId);
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(6, discEngine.currentTrack);
}

TEST(FollowDrive, ADriveBackWithAnotherDiscHasTheDiscFoundAgain) {
    openEngineWith(kTenTracks);
    playing(4);
    sim.silent = 1;
    discEngine.followDrive();
    sim.silent = 0;
    sim.setDisc({300, 200});
    stoppedElsewhere();
    EXPECT_EQ(kDriveHasAnotherDisc, discEngine.followDrive());
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(1, discEngine.currentTrack);
    EXPECT_EQ(-1, discEngine.cachedTrackCount);
}

// The host may end between two ticks or in the middle of one: whichever
// query of the tick finds it gone, the next follow stands the engine
// stopped at the track it was on.
TEST(FollowDrive, AFailedPositionIsTheFirstToFindTheDriveGone) {
    openEngineWith(kTenTracks);
    playing(4);
    discEngine.position();
    sim.silent = 1;
    discEngine.position();
    sim.silent = 0;
    stoppedElsewhere();
    sim.frame = 0;
    EXPECT_EQ(kDriveFollowed, discEngine.followDrive());
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(4, discEngine.currentTrack);
}

// A drive may report the stop before a play it was just told of.
TEST(FollowDrive, AStopReportedRightAfterTheEnginesOwnPlayIsNotTaken) {
    openEngineWith(kTenTracks);
    playing(3);
    stoppedElsewhere();
    discEngine.followDrive();
    EXPECT_EQ(kPlaying, discEngine.state);
    sim.tickCount += 2000;
    discEngine.followDrive();
    EXPECT_EQ(kStopped, discEngine.state);
}

// Another program's play reaches the end of the disc: its completion goes
// to that program, and the player carries on as at its own (repeat).
TEST(FollowDrive, APlayOfAnotherProgramThatEndsRepeatsWithRepeatOn) {
    openEngineWith(kTenTracks);
    paused(10);
    discEngine.setRepeatMode(1);
    sim.tickCount += 2000;
    resumedElsewhere();
    sim.completions.clear(); // the player's own pause aborted its play
    discEngine.followDrive();
    EXPECT_EQ(kPlaying, discEngine.state);
    sim.advance(200 * 1000);
    ASSERT_FALSE(sim.playing);
    ASSERT_TRUE(sim.completions.empty());
    sim.take();
    discEngine.followDrive();
    EXPECT_EQ("PLAY FROM 1", sim.take().back());
    EXPECT_EQ(kPlaying, discEngine.state);
}

// Random play goes on only while the drive plays: another program's seek
// stops it, and supervision then starts nothing of its own.
TEST(FollowDrive, ASeekElsewhereDuringRandomPlayIsNotOverriddenByTheNextTick) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    discEngine.playTrack(5);
    tick();
    tick();
    sim.tickCount += 2000;
    seekedElsewhereTo7();
    sim.take();
    tick();
    for (const std::string& sent : sim.take())
        EXPECT_EQ(std::string::npos, sent.find("PLAY")) << sent;
    EXPECT_EQ(kStopped, discEngine.state);
    EXPECT_EQ(7, discEngine.currentTrack);
}

// A drive that is not there is not opened again at every tick: an open
// may wait seconds for it.
TEST(FollowDrive, ASilentDriveIsOpenedAgainAtMostEveryFewSeconds) {
    openEngineWith(kTenTracks);
    sim.tickCount = 10000;
    sim.silent = 1;
    sim.take();
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(kDriveSilent, discEngine.followDrive());
        sim.tickCount += 333;
    }
    Commands sent = sim.take();
    EXPECT_EQ(1, std::count(sent.begin(), sent.end(), "OPEN"));
    sim.tickCount += 5000;
    discEngine.followDrive();
    sent = sim.take();
    EXPECT_EQ(1, std::count(sent.begin(), sent.end(), "OPEN"));
}
