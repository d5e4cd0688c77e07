// The engine follows the shared drive: what another program did to it, and
// a drive that went away and came back, become the engine's state, and the
// next command acts on that state.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include "SimDrive.h"

using Commands = std::vector<std::string>;

namespace {

const std::vector<uint32_t> kTenTracks = {100, 200, 150, 120, 90, 180, 60, 240, 200, 130};

// What the player did last, as the drive then stands.
void playing(int32_t track) { discEngine.playTrack(track), sim.placeAt(track, 20); }
void paused(int32_t track) { playing(track), discEngine.playPause(); }
void stopped(int32_t track) { discEngine.currentTrack = track, sim.placeAt(track, 0); }
// Its own cue while paused: the drive stands stopped at the track's start.
void pausedThenNext(int32_t track) { paused(track), discEngine.next(); }

// What another program does, as the drive then stands; a seek leaves the
// drive stopped, also a paused one.
void driveIs(int playing, int paused) { sim.playing = playing, sim.paused = paused; }
void pausedElsewhere() { driveIs(0, 1); }
void stoppedElsewhere() { driveIs(0, 0); }
void resumedElsewhere() { driveIs(1, 0); }
void playedElsewhereFrom7() { sim.placeAt(7, 0), driveIs(1, 0); }
void seekedElsewhereTo7() { sim.placeAt(7, 0), driveIs(0, 0); }
void nothingElsewhere() {}

std::string joined(const Commands& sent) {
    std::string all;
    for (const std::string& command : sent)
        all += (all.empty() ? "" : ", ") + command;
    return all;
}

int32_t playPause() { return (int32_t)discEngine.playPause(); }
int32_t next() { return discEngine.next(); }
int32_t previous() { return discEngine.previous(); }

} // namespace

// The player long had its last play when another program acted; the
// follow asks the drive, and the next command acts on the state it found.
TEST(FollowDrive, WhatAnotherProgramDidIsTheEnginesStateAndTheNextCommandActsOnIt) {
    const struct {
        const char* what;
        void (*before)(int32_t track);
        int32_t track;
        void (*outside)();
        const char* followSent;
        int32_t stateAfter, trackAfter;
        int32_t (*command)();
        const char* sentLast;
        int32_t stateAtEnd;
    } rows[] = {
        {"nothing elsewhere: only the mode is asked, and Play pauses", playing, 5, nothingElsewhere, "STATUS MODE",
         kPlaying, 5, playPause, "PAUSE", kPaused},
        {"paused elsewhere: one Play resumes", playing, 2, pausedElsewhere, "STATUS MODE, SET TMSF, STATUS POSITION",
         kPaused, 2, playPause, "PLAY NOTIFY", kPlaying},
        {"stopped elsewhere: one Play plays the track", playing, 2, stoppedElsewhere,
         "STATUS MODE, SET TMSF, STATUS POSITION", kStopped, 2, playPause, "PLAY FROM 2", kPlaying},
        {"resumed elsewhere: Play pauses", paused, 4, resumedElsewhere, "STATUS MODE, SET TMSF, STATUS POSITION",
         kPlaying, 4, playPause, "PAUSE", kPaused},
        {"played elsewhere from 7: Next plays 8", stopped, 3, playedElsewhereFrom7,
         "STATUS MODE, SET TMSF, STATUS POSITION", kPlaying, 3, next, "PLAY FROM 8", kPlaying},
        {"seeked elsewhere while stopped: Next cues 8", stopped, 3, seekedElsewhereTo7,
         "STATUS MODE, SET TMSF, STATUS POSITION", kStopped, 7, next, "SEEK TO 8", kStopped},
        {"seeked elsewhere while paused: Previous cues 6", paused, 3, seekedElsewhereTo7,
         "STATUS MODE, SET TMSF, STATUS POSITION", kStopped, 7, previous, "SEEK TO 6", kStopped},
        {"cued while paused: still paused, and Next cues again", pausedThenNext, 3, nothingElsewhere,
         "STATUS MODE, SET TMSF, STATUS POSITION", kPaused, 4, next, "SEEK TO 5", kPaused},
        {"stopped elsewhere mid-track while paused: stopped", paused, 3, stoppedElsewhere,
         "STATUS MODE, SET TMSF, STATUS POSITION", kStopped, 3, playPause, "PLAY FROM 3", kPlaying},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        openEngineWith(kTenTracks);
        row.before(row.track);
        sim.tickCount += 2000; // the drive has long had the player's last play
        row.outside();
        sim.take();
        EXPECT_EQ(kDriveFollowed, discEngine.followDrive());
        EXPECT_EQ(row.followSent, joined(sim.take()));
        EXPECT_EQ(row.stateAfter, discEngine.state);
        if (row.stateAfter != kPlaying)
            EXPECT_EQ(row.trackAfter, discEngine.currentTrack);
        row.command();
        EXPECT_EQ(row.sentLast, sim.take().back());
        EXPECT_EQ(row.stateAtEnd, discEngine.state);
    }
}

// How the drive went away (its host ended), found by whichever query of a
// tick came first: the follow, a position, or a device identifier that no
// longer answers, which the follow opens again at once. Back, stopped at
// its start: with the same disc the engine stands stopped at the track it
// was on and one Play plays it; with another disc, the disc is found again.
enum Gone { kFollowFindsIt, kPositionFindsIt, kDeviceLost };

const char kReopened[] = "STATUS MODE, CLOSE, OPEN, STATUS MODE, STATUS MEDIA";

TEST(FollowDrive, ADriveGoneAndBackStandsStoppedAtTheTrackItWasOn) {
    const struct {
        const char* what;
        void (*before)(int32_t track);
        int32_t track;
        Gone gone;
        int anotherDisc;
        int32_t followed;
        const char* followStarts; // up to its look at the disc
        int32_t trackAfter;
    } rows[] = {
        {"the follow found it gone", playing, 4, kFollowFindsIt, 0, kDriveFollowed, kReopened, 4},
        {"a position found it gone", playing, 4, kPositionFindsIt, 0, kDriveFollowed, "STATUS MODE, STATUS MEDIA", 4},
        {"its device no longer answers", paused, 6, kDeviceLost, 0, kDriveFollowed, kReopened, 6},
        {"back with another disc", playing, 4, kFollowFindsIt, 1, kDriveHasAnotherDisc, kReopened, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        openEngineWith(kTenTracks);
        row.before(row.track);
        discEngine.position();
        uint32_t device = discEngine.deviceId;
        sim.silent = row.gone != kDeviceLost;
        if (row.gone == kFollowFindsIt) {
            EXPECT_EQ(kDriveSilent, discEngine.followDrive());
            EXPECT_EQ(row.before == playing ? kPlaying : kPaused, discEngine.state);
        }
        if (row.gone == kPositionFindsIt)
            discEngine.position();
        if (row.gone == kDeviceLost)
            discEngine.deviceId = 0;
        sim.silent = 0;
        if (row.anotherDisc)
            sim.setDisc({300, 200});
        stoppedElsewhere();
        sim.frame = 0; // a new host's drive stands at its start
        discEngine.position(); // the rest of the tick, answered by the new drive
        sim.take();
        EXPECT_EQ(row.followed, discEngine.followDrive());
        std::string sent = joined(sim.take());
        EXPECT_EQ(row.followStarts, sent.substr(0, strlen(row.followStarts)));
        EXPECT_EQ(kStopped, discEngine.state);
        EXPECT_EQ(row.trackAfter, discEngine.currentTrack);
        if (row.gone == kDeviceLost)
            EXPECT_NE(device, discEngine.deviceId);
        if (row.anotherDisc) {
            EXPECT_EQ(-1, discEngine.cachedTrackCount);
            continue;
        }
        EXPECT_EQ("SEEK TO " + std::to_string(row.track), sent.substr(sent.rfind(", ") + 2));
        discEngine.playPause();
        EXPECT_EQ("PLAY FROM " + std::to_string(row.track), sim.take().back());
        EXPECT_EQ(kPlaying, discEngine.state);
    }
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

// A disc taken out (or another on its way in) while random play plays: the
// play is over without a word to the drive, and no random pick or stop
// follows at that tick.
TEST(FollowDrive, ADiscGoneDuringRandomPlayEndsThePlayQuietly) {
    openEngineWith(kTenTracks);
    discEngine.setRandomMode(1);
    discEngine.playTrack(5);
    tick();
    tick();
    sim.mediaPresent = 0; // also right after a start of random play's own
    sim.take();
    tick();
    EXPECT_EQ(Commands({"STATUS MODE"}), sim.take());
    EXPECT_EQ(kStopped, discEngine.state);
}

// Random play beside the drive's other programs: a play another program
// started is not replaced at the next tick; a stop or seek made elsewhere
// after a completion started a track is not supervised; and a drive that
// comes back without its disc yet is not taken for the round's end.
TEST(FollowDrive, RandomPlayLeavesWhatOthersDidToTheDriveAlone) {
    struct Row {
        const char* what;
        void (*before)();
        void (*outside)();
    };
    const Row rows[] = {
        {"another program plays from 7 while stopped", [] {}, playedElsewhereFrom7},
        {"another program seeks after a completion started a track",
         [] {
             discEngine.playTrack(10);
             tick();
             tick();
             sim.advance(131 * 1000);
             deliverCompletions();
         },
         seekedElsewhereTo7},
        {"the drive comes back without its disc",
         [] {
             discEngine.playTrack(4);
             tick();
             tick();
             sim.silent = 1;
             tick();
         },
         [] {
             sim.silent = 0;
             sim.mediaPresent = 0;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        openEngineWith(kTenTracks);
        discEngine.setRandomMode(1);
        row.before();
        sim.tickCount += 6000; // past the wait before the device is opened again
        row.outside();
        sim.take();
        tick();
        tick();
        for (const std::string& sent : sim.take())
            EXPECT_TRUE(sent.find("PLAY") == std::string::npos && sent != "STOP") << sent;
    }
}
