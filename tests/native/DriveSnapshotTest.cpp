// The drive's snapshot as programs read it: every status answered from it is
// the host's own answer, in every time format and state of the drive; and a
// reader racing the writer never takes a record half written.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../../vdrive/DriveSnapshot.h"

namespace {

int64_t clockMs;
const SoundSeam clockSeam = {
    [] { return 0; }, [](uint32_t, uint32_t) -> uint64_t { return 0; }, [](uint64_t*) { return 0; }, [] {}, [] {},
    [] { return clockMs; }, []() -> int64_t { return 1000; },
};

} // namespace

// The host's model after a few commands, and the same statuses answered by
// it and through a snapshot taken at one moment, read at another.
TEST(DriveSnapshot, EveryStatusIsTheHostsOwnAnswer) {
    struct Row {
        const char* what;
        uint32_t command; // 0 stop, 1 play from track 2 and go on 1.5 s, 2 then pause, 3 door open, 4 no media
        uint32_t speed;
        int64_t readLaterMs; // the reader's moment after the snapshot
    };
    const Row rows[] = {
        {"stopped at the start", 0, 1, 0},     {"playing, read at once", 1, 1, 0},
        {"playing, read 0.7 s on", 1, 1, 700}, {"playing ten times as fast", 1, 10, 300},
        {"paused", 2, 1, 500},                 {"the door open", 3, 1, 0},
        {"no disc", 4, 1, 0},
    };
    const uint32_t items[] = {mci::kMode,      mci::kPosition,  mci::kCurrentTrack, mci::kLength, mci::kNumberOfTracks,
                              mci::kMediaPresent, mci::kReady, mci::kTimeFormat};
    static DriveModel host, read;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host.reset();
        makeDemoDisc(&host.disc);
        host.insert(row.command != 4);
        int32_t slot = host.open();
        SegmentClock clock = {};
        clock.seam = &clockSeam;
        clock.speed = row.speed;
        clockMs = 1000;
        if (row.command == 1 || row.command == 2) {
            host.set(slot, mci::kSetTimeFormat, mci::kTmsf, 0, 0);
            host.play(slot, mci::kFrom, 2, 0, 0, 0);
            clock.start(host.frame, host.playTo);
            // No sound device here: the clock keeps the time.
            clock.deviceOpened(1, host.frame, host.playTo);
            clockMs += 1500;
        }
        if (row.command == 2)
            host.pause(slot, 0, 0, clock.played(1));
        if (row.command == 3)
            host.set(slot, mci::kSetDoorOpen, 0, 0, 0);
        ASSERT_EQ(row.command == 1 ? kKeptByClock : clock.keeper, clock.keeper);
        SnapshotState state;
        stateOf(host, clock, clock.played(host.mode == kDrivePlaying), clockMs, &state);
        clockMs += row.readLaterMs;
        for (uint32_t format : {mci::kMsf, mci::kTmsf, mci::kMilliseconds}) {
            host.timeFormat[slot] = format;
            modelOf(state, format, &read);
            for (uint32_t item : items) {
                for (uint32_t flags : {mci::kStatusItem, mci::kStatusItem | mci::kTrack}) {
                    SCOPED_TRACE(testing::Message() << "format " << format << ", item " << item << ", flags " << flags);
                    StatusAnswer expected = {}, answered = {};
                    uint32_t hostError = host.status(slot, flags, item, 3, clock.played(host.mode == kDrivePlaying), &expected);
                    uint32_t readError = read.status(0, flags, item, 3, playedAt(state, clockMs), &answered);
                    EXPECT_EQ(hostError, readError);
                    EXPECT_EQ(expected.value, answered.value);
                    EXPECT_EQ(expected.kind, answered.kind);
                }
            }
        }
    }
}

// The sound keeps the play's time: a reader goes on from what it had played
// at the disc's pace, and no further than a few buffers past it.
TEST(DriveSnapshot, ASoundsTimeGoesOnAtTheDiscsPaceAndStandsWhenTheHostDoes) {
    SnapshotState state = {};
    state.mode = kDrivePlaying;
    state.keeper = kKeptBySound;
    state.ticksPerSecond = 1000;
    state.stamp = 5000;
    state.soundFrames = 300;
    EXPECT_EQ(300u, playedAt(state, 5000));
    EXPECT_EQ(307u, playedAt(state, 5100));
    EXPECT_EQ(320u, playedAt(state, 5400));
    EXPECT_EQ(320u, playedAt(state, 60000));
    state.keeper = kSpinningUp;
    EXPECT_EQ(0u, playedAt(state, 5100));
}

// The host writes as fast as it can while a reader copies: every record
// read whole is one the host wrote (all its fields from one count).
TEST(DriveSnapshot, AReaderRacingTheWriterNeverSeesATornRecord) {
    static DriveSnapshot snapshot;
    std::atomic<int> writing(1);
    std::thread host([&] {
        SnapshotState next = {};
        for (uint32_t count = 1; count < 200000; count++) {
            next.frame = next.playTo = next.endFrame = count;
            for (uint32_t& start : next.trackStart)
                start = count;
            next.stamp = count;
            snapshot.publish(next);
        }
        writing = 0;
    });
    int whole = 0, torn = 0;
    SnapshotState read;
    while (writing) {
        if (!snapshot.read(&read))
            continue;
        whole++;
        int same = read.playTo == read.frame && read.endFrame == read.frame && read.stamp == (int64_t)read.frame;
        for (uint32_t start : read.trackStart)
            same = same && start == read.frame;
        torn += !same;
    }
    host.join();
    EXPECT_EQ(0, torn);
    EXPECT_LT(0, whole);
    printf("snapshot race: %d whole records read, %d torn\n", whole, torn);
}
