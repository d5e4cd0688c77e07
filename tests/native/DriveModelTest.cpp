// The virtual drive's behaviour without the platform: the demo disc in a
// drive model, commands in, notifications out, positions from the frames
// played.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "DriveModel.h"

inline bool operator==(const DriveEvent& x, const DriveEvent& y) {
    return x.open == y.open && x.callback == y.callback && x.code == y.code;
}

inline void PrintTo(const DriveEvent& event, std::ostream* out) {
    *out << "{open " << event.open << ", window " << event.callback << ", code " << event.code << "}";
}

namespace {

const uintptr_t kWindowA = 0xA, kWindowB = 0xB;
const uint32_t kPlayNotify = mci::kNotify | mci::kFrom;

struct Drive {
    DriveModel model;
    int32_t a, b; // two opens
    Drive() {
        model.reset();
        makeDemoDisc(&model.disc);
        model.insert(1);
        a = model.open();
        b = model.open();
    }
    uint32_t track(int32_t n) const { return model.positionIn(mci::kMsf, model.disc.trackStart[n]); }
    std::vector<DriveEvent> events() {
        DriveEvent out[DriveModel::kMaxEvents];
        int32_t count = model.takeEvents(out);
        return std::vector<DriveEvent>(out, out + count);
    }
    StatusAnswer status(int32_t slot, uint32_t item, uint64_t played, uint32_t flags = 0, uint32_t track = 0) {
        StatusAnswer answer = {0xDEAD, kAnswerNumber};
        EXPECT_EQ(0u, model.status(slot, mci::kStatusItem | flags, item, track, played, &answer));
        return answer;
    }
};

struct NotificationCase {
    const char* what;
    std::function<void(Drive&)> commands;
    std::vector<DriveEvent> expected; // open 0 is A with window A, open 1 B with window B
};

const NotificationCase kNotificationCases[] = {
    {"a notifying play that reaches its end succeeds, once",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(5), 0, kWindowA, 0);
         d.model.finish();
         d.model.finish();
     },
     {{0, kWindowA, mci::kSuccessful}}},
    {"a play without notify tells nothing at its end",
     [](Drive& d) {
         d.model.play(d.a, mci::kFrom, d.track(5), 0, kWindowA, 0);
         d.model.finish();
     },
     {}},
    {"a new play aborts the pending one, also of another open",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.play(d.b, kPlayNotify, d.track(2), 0, kWindowB, 10);
         d.model.finish();
     },
     {{0, kWindowA, mci::kAborted}, {1, kWindowB, mci::kSuccessful}}},
    {"any other command that asks to be told supersedes the pending play",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.answered(d.b, mci::kNotify, kWindowB);
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.set(d.b, mci::kSetTimeFormat | mci::kNotify, mci::kTmsf, kWindowB, 0);
         d.model.finish();
     },
     {{0, kWindowA, mci::kSuperseded},
      {1, kWindowB, mci::kSuccessful},
      {0, kWindowA, mci::kSuperseded},
      {1, kWindowB, mci::kSuccessful}}},
    {"stop aborts, and a notifying stop succeeds at once",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.stop(d.b, mci::kNotify, kWindowB, 5);
         d.model.finish();
     },
     {{0, kWindowA, mci::kAborted}, {1, kWindowB, mci::kSuccessful}}},
    {"pause aborts; a notifying resume is told at once, and the end tells nothing",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.pause(d.a, 0, 0, 5);
         d.model.resume(d.a, mci::kNotify, kWindowA, 0);
         d.model.finish();
     },
     {{0, kWindowA, mci::kAborted}, {0, kWindowA, mci::kSuccessful}}},
    {"a notifying resume when not paused succeeds at once",
     [](Drive& d) { d.model.resume(d.a, mci::kNotify, kWindowA, 0); },
     {{0, kWindowA, mci::kSuccessful}}},
    {"seek and a door that opens abort",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.seek(d.a, mci::kSeekToStart, 0, 0, 3);
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.set(d.a, mci::kSetDoorOpen, 0, 0, 3);
     },
     {{0, kWindowA, mci::kAborted}, {0, kWindowA, mci::kAborted}}},
    {"another disc aborts",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.insert(1);
     },
     {{0, kWindowA, mci::kAborted}}},
    {"closing the open that waits aborts its notification; the next open hears nothing of it",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.close(d.a);
         d.model.open();
         d.model.finish();
     },
     {{0, kWindowA, mci::kAborted}}},
    {"closing another open leaves the play and its notification",
     [](Drive& d) {
         d.model.play(d.a, kPlayNotify, d.track(1), 0, kWindowA, 0);
         d.model.close(d.b);
         d.model.finish();
     },
     {{0, kWindowA, mci::kSuccessful}}},
    {"a refused command tells nothing",
     [](Drive& d) { d.model.seek(d.a, mci::kTo | mci::kNotify, 0x00FF0000, kWindowA, 0); },
     {}},
    {"every other command that asks is told it is done",
     [](Drive& d) {
         d.model.seek(d.a, mci::kSeekToEnd | mci::kNotify, 0, kWindowA, 0);
         d.model.set(d.b, mci::kSetTimeFormat | mci::kNotify, mci::kTmsf, kWindowB, 0);
         d.model.pause(d.a, mci::kNotify, kWindowA, 0);
     },
     {{0, kWindowA, mci::kSuccessful}, {1, kWindowB, mci::kSuccessful}, {0, kWindowA, mci::kSuccessful}}},
};

} // namespace

TEST(DriveModel, NotificationsFollowEveryRule) {
    for (const NotificationCase& rule : kNotificationCases) {
        SCOPED_TRACE(rule.what);
        Drive drive;
        rule.commands(drive);
        EXPECT_EQ(rule.expected, drive.events());
    }
}

// Where the head is and what mode the drive reports, after each command in
// each mode; positions in MSF of open A.
TEST(DriveModel, PositionAndModeFollowThePlayedFrames) {
    Drive d;
    uint32_t start = d.model.disc.trackStart[2];
    auto at = [&](uint64_t played) { return unpackMsf(d.status(d.a, mci::kPosition, played).value) - kLeadInFrames; };
    auto mode = [&](uint64_t played) { return d.status(d.a, mci::kMode, played).value; };

    EXPECT_EQ(mci::kModeStop, mode(0));
    ASSERT_EQ(0u, d.model.play(d.a, mci::kFrom | mci::kTo, d.track(2), d.track(3), 0, 0));
    EXPECT_EQ(start + 100, at(100));
    EXPECT_EQ(mci::kModePlay, mode(100));
    // "to" is exclusive: the play ends at the start of track 3.
    EXPECT_EQ(d.model.disc.trackStart[3], at(1u << 30));
    EXPECT_EQ(mci::kModeStop, mode(1u << 30));
    EXPECT_TRUE(d.model.playEnded(1u << 30));

    d.model.pause(d.a, 0, 0, 100);
    EXPECT_EQ(start + 100, at(5000));
    EXPECT_EQ(mci::kModePause, mode(5000));
    // Paused twice stays where it paused.
    d.model.pause(d.a, 0, 0, 5000);
    EXPECT_EQ(start + 100, at(0));
    d.model.resume(d.a, 0, 0, 0);
    EXPECT_EQ(start + 150, at(50));
    d.model.stop(d.a, 0, 0, 50);
    EXPECT_EQ(start + 150, at(999));
    EXPECT_EQ(mci::kModeStop, mode(999));
    // A play without "from" goes on from the head; resume when stopped is nothing.
    d.model.resume(d.a, 0, 0, 0);
    EXPECT_EQ(mci::kModeStop, mode(0));
    d.model.play(d.a, 0, 0, 0, 0, 0);
    EXPECT_EQ(start + 160, at(10));
    d.model.seek(d.a, mci::kSeekToEnd, 0, 0, 10);
    EXPECT_EQ(d.model.disc.endFrame, at(10));
    EXPECT_EQ(mci::kModeStop, mode(10));
    d.model.finish(); // nothing plays: nothing moves
    EXPECT_EQ(d.model.disc.endFrame, at(0));

    d.model.set(d.a, mci::kSetDoorOpen, 0, 0, 0);
    EXPECT_EQ(mci::kModeOpen, mode(0));
    d.model.set(d.a, mci::kSetDoorClosed, 0, 0, 0);
    d.model.insert(0);
    EXPECT_EQ(mci::kModeNotReady, mode(0));
}

TEST(DriveModel, EachOpenHasItsTimeFormatAndMillisecondsNameTheirFrame) {
    Drive d;
    d.model.set(d.b, mci::kSetTimeFormat, mci::kTmsf, 0, 0);
    d.model.seek(d.a, mci::kTo, d.track(3), 0, 0);
    EXPECT_EQ(d.track(3), d.status(d.a, mci::kPosition, 0).value);
    EXPECT_EQ(3u, d.status(d.b, mci::kPosition, 0).value);
    EXPECT_EQ(kAnswerTime, d.status(d.a, mci::kPosition, 0).kind);
    EXPECT_EQ(kAnswerTrackTime, d.status(d.b, mci::kPosition, 0).kind);
    EXPECT_EQ(mci::kTmsf, d.status(d.b, mci::kTimeFormat, 0).value);

    d.model.set(d.a, mci::kSetTimeFormat, mci::kMilliseconds, 0, 0);
    EXPECT_EQ(kAnswerNumber, d.status(d.a, mci::kPosition, 0).kind);
    for (uint32_t frame = 0; frame <= d.model.disc.endFrame; frame++) {
        uint32_t back = 0;
        ASSERT_TRUE(d.model.frameOf(mci::kMilliseconds, d.model.positionIn(mci::kMilliseconds, frame), &back));
        ASSERT_EQ(frame, back);
    }
}

namespace {

struct Refusal {
    const char* what;
    std::function<uint32_t(Drive&)> command;
    uint32_t error;
};

StatusAnswer scratch;

const Refusal kRefusals[] = {
    {"play without a disc",
     [](Drive& d) {
         d.model.insert(0);
         return d.model.play(d.a, 0, 0, 0, 0, 0);
     },
     mci::kErrHardware},
    {"a position without a disc",
     [](Drive& d) {
         d.model.insert(0);
         return d.model.status(d.a, mci::kStatusItem, mci::kPosition, 0, 0, &scratch);
     },
     mci::kErrHardware},
    {"play with the door open",
     [](Drive& d) {
         d.model.set(d.a, mci::kSetDoorOpen, 0, 0, 0);
         return d.model.play(d.a, 0, 0, 0, 0, 0);
     },
     mci::kErrHardware},
    {"from after to", [](Drive& d) { return d.model.play(d.a, mci::kFrom | mci::kTo, d.track(3), d.track(2), 0, 0); },
     mci::kErrOutOfRange},
    {"MSF seconds of 60", [](Drive& d) { return d.model.play(d.a, mci::kFrom, 0x00003C02, 0, 0, 0); },
     mci::kErrOutOfRange},
    {"MSF frames of 75", [](Drive& d) { return d.model.seek(d.a, mci::kTo, 0x004B0002, 0, 0); }, mci::kErrOutOfRange},
    {"a position in the lead-in", [](Drive& d) { return d.model.seek(d.a, mci::kTo, 0x00000100, 0, 0); },
     mci::kErrOutOfRange},
    {"past the end of the disc", [](Drive& d) { return d.model.seek(d.a, mci::kTo, 0x00003B63, 0, 0); },
     mci::kErrOutOfRange},
    {"TMSF of a track the disc lacks",
     [](Drive& d) {
         d.model.set(d.a, mci::kSetTimeFormat, mci::kTmsf, 0, 0);
         return d.model.play(d.a, mci::kFrom, 6, 0, 0, 0);
     },
     mci::kErrOutOfRange},
    {"TMSF frames of 75",
     [](Drive& d) {
         d.model.set(d.a, mci::kSetTimeFormat, mci::kTmsf, 0, 0);
         return d.model.play(d.a, mci::kFrom, 0x4B000001, 0, 0, 0);
     },
     mci::kErrOutOfRange},
    {"a status of track 6", [](Drive& d) { return d.model.status(d.a, mci::kStatusItem | mci::kTrack, mci::kLength, 6, 0, &scratch); },
     mci::kErrOutOfRange},
    {"an unknown time format", [](Drive& d) { return d.model.set(d.a, mci::kSetTimeFormat, 7, 0, 0); },
     mci::kErrBadTimeFormat},
    {"a set item the drive lacks (audio)", [](Drive& d) { return d.model.set(d.a, 0x800, 0, 0, 0); },
     mci::kErrUnsupportedFunction},
    {"the door both open and closed",
     [](Drive& d) { return d.model.set(d.a, mci::kSetDoorOpen | mci::kSetDoorClosed, 0, 0, 0); },
     mci::kErrFlagsNotCompatible},
    {"seek to nowhere", [](Drive& d) { return d.model.seek(d.a, 0, 0, 0, 0); }, mci::kErrMissingParameter},
    {"seek to the start and the end", [](Drive& d) { return d.model.seek(d.a, mci::kSeekToStart | mci::kSeekToEnd, 0, 0, 0); },
     mci::kErrFlagsNotCompatible},
    {"status without an item", [](Drive& d) { return d.model.status(d.a, 0, mci::kMode, 0, 0, &scratch); },
     mci::kErrMissingParameter},
    {"a track type without a track", [](Drive& d) { return d.model.status(d.a, mci::kStatusItem, mci::kTrackType, 0, 0, &scratch); },
     mci::kErrMissingParameter},
    {"an unknown status item", [](Drive& d) { return d.model.status(d.a, mci::kStatusItem, 99, 0, 0, &scratch); },
     mci::kErrUnsupportedFunction},
};

} // namespace

// Each refusal has its error; nothing plays and nobody is told.
TEST(DriveModel, EveryRefusalHasItsErrorAndStartsNothing) {
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.what);
        Drive d;
        EXPECT_EQ(refusal.error, refusal.command(d));
        EXPECT_NE(kDrivePlaying, d.model.mode);
        EXPECT_TRUE(d.events().empty());
    }
}

TEST(DriveModel, TheLastCloseHaltsTheDriveAndForgetsItsPlay) {
    Drive d;
    d.model.play(d.a, kPlayNotify, d.track(2), 0, kWindowA, 0);
    d.model.close(d.a);
    EXPECT_EQ(kDrivePlaying, d.model.mode); // B is still open
    d.model.set(d.b, mci::kSetDoorOpen, 0, 0, 0);
    d.model.close(d.b);
    EXPECT_EQ(0, d.model.doorOpen) << "a drive let go holds no door open";
    EXPECT_EQ(kDriveStopped, d.model.mode);
    EXPECT_EQ(0u, d.model.position(0));
    EXPECT_EQ(0, d.model.open());
}

// Programs share the drive: the play stops when the program that set it
// going lets go of its last open, wherever the others stand.
TEST(DriveModel, ThePlayEndsWithTheProgramWhosePlayItIs) {
    const uint32_t kProgramA = 100, kProgramB = 200;
    struct Case {
        const char* what;
        std::function<void(DriveModel&, int32_t a1, int32_t a2, int32_t b)> before;
        bool aClosesBoth;
        DriveMode after;
    };
    const Case cases[] = {
        {"A plays, A lets go", [](DriveModel& m, int32_t a1, int32_t, int32_t) {
             m.play(a1, mci::kNotify, 0, 0, kWindowA, 0);
         }, true, kDriveStopped},
        {"A plays, B lets go", [](DriveModel& m, int32_t a1, int32_t, int32_t b) {
             m.play(a1, 0, 0, 0, 0, 0);
             m.close(b, 30);
         }, false, kDrivePlaying},
        {"A plays and closes one of its two opens", [](DriveModel& m, int32_t a1, int32_t a2, int32_t) {
             m.play(a1, 0, 0, 0, 0, 0);
             m.close(a2, 30);
         }, false, kDrivePlaying},
        {"A pauses, B resumes, A lets go", [](DriveModel& m, int32_t a1, int32_t, int32_t b) {
             m.play(a1, 0, 0, 0, 0, 0);
             m.pause(a1, 0, 0, 10);
             m.resume(b, 0, 0, 0);
         }, true, kDrivePlaying},
        {"A pauses and lets go: the pause ends too", [](DriveModel& m, int32_t a1, int32_t, int32_t) {
             m.play(a1, 0, 0, 0, 0, 0);
             m.pause(a1, 0, 0, 10);
         }, true, kDriveStopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DriveModel m;
        m.reset();
        makeDemoDisc(&m.disc);
        m.insert(1);
        int32_t a1 = m.open(kProgramA), a2 = m.open(kProgramA), b = m.open(kProgramB);
        c.before(m, a1, a2, b);
        uint32_t at = m.position(30);
        if (c.aClosesBoth) {
            m.close(a1, 30);
            m.close(a2, 30);
        }
        EXPECT_EQ(c.after, m.mode);
        if (c.after == kDriveStopped)
            EXPECT_EQ(at, m.position(0)) << "the head stays where the sound stood";
    }
    // The pending play of A is told it was aborted.
    DriveModel m;
    m.reset();
    makeDemoDisc(&m.disc);
    m.insert(1);
    int32_t a = m.open(kProgramA), b = m.open(kProgramB);
    m.play(b, mci::kNotify, 0, 0, kWindowB, 0);
    m.play(a, mci::kNotify, 0, 0, kWindowA, 0);
    m.close(a, 5);
    DriveEvent events[DriveModel::kMaxEvents];
    ASSERT_EQ(2, m.takeEvents(events));
    EXPECT_EQ(mci::kAborted, events[0].code);
    EXPECT_EQ(kWindowB, events[0].callback);
    EXPECT_EQ(mci::kAborted, events[1].code);
    EXPECT_EQ(kWindowA, events[1].callback);
}
