// Who keeps the play segment's time, and the frames it has played by the
// sound or the clock, against a sound device of the test's own: the device
// spun up or never opened, a second play or a stop while it opens, another
// speed, a device that stops telling its position mid-play, a pause and a
// resume.
#include <gtest/gtest.h>

#include <vector>

#include "../../vdrive/SegmentClock.h"

namespace {

struct FakeDevice {
    int32_t open, tells;
    uint64_t samples;
    int64_t ms;
} device;

const SoundSeam fakeSeam = {
    [] { return device.open; },
    [](uint32_t, uint32_t) { return device.samples; },
    [](uint64_t* samples) {
        *samples = device.samples;
        return device.tells;
    },
    [] {},
    [] {},
    [] { return device.ms; },
    []() -> int64_t { return 1000; },
};

enum Act { kStart, kSpunUp, kRead, kResume, kEnd };

struct Step {
    Act act;
    int64_t afterMs;  // the clock moves on first
    uint64_t samples; // what the device has played by then
    int32_t open, tells;
    uint64_t played;
    SegmentKeeper keeper;
};

const uint64_t kSecond = 75 * kSamplesPerFrame;

TEST(SegmentClock, KeepsTimeByTheSoundOrTheClockAndHandsOverWhereTheSoundStood) {
    const struct {
        const char* what;
        uint32_t speed;
        std::vector<Step> steps;
    } cases[] = {
        {"the sound keeps time from where the device stood",
         1,
         {{kStart, 0, 1000, 1, 1, 0, kKeptBySound}, {kRead, 2000, 1000 + kSecond, 1, 1, 75, kKeptBySound}}},
        {"nothing plays while the device spins up",
         1,
         {{kStart, 0, 0, 0, 1, 0, kSpinningUp},
          {kRead, 900, 0, 0, 1, 0, kSpinningUp},
          {kSpunUp, 0, 0, 1, 1, 0, kKeptBySound},
          {kRead, 1000, kSecond, 1, 1, 75, kKeptBySound}}},
        {"a second play while the device opens sounds on the device the first asked for",
         1,
         {{kStart, 0, 0, 0, 1, 0, kSpinningUp},
          {kStart, 30, 0, 0, 1, 0, kSpinningUp},
          {kSpunUp, 30, 0, 1, 1, 0, kKeptBySound},
          {kRead, 1000, kSecond, 1, 1, 75, kKeptBySound}}},
        {"a stop while the device opens starts nothing",
         1,
         {{kStart, 0, 0, 0, 1, 0, kSpinningUp},
          {kEnd, 30, 0, 0, 1, 0, kKeptByClock},
          {kSpunUp, 30, 0, 1, 1, 0, kKeptByClock}}},
        {"no device opens: the clock from the moment it failed",
         1,
         {{kStart, 0, 0, 0, 1, 0, kSpinningUp},
          {kSpunUp, 3000, 0, 0, 1, 0, kKeptByClock},
          {kRead, 1000, 0, 0, 1, 75, kKeptByClock}}},
        {"another speed keeps the clock, four times as fast",
         4,
         {{kStart, 0, 0, 1, 1, 0, kKeptByClock}, {kRead, 1000, kSecond, 1, 1, 300, kKeptByClock}}},
        {"a device that stops telling hands the clock the frames heard",
         1,
         {{kStart, 0, 0, 1, 1, 0, kKeptBySound},
          {kRead, 2000, 2 * kSecond, 1, 1, 150, kKeptBySound},
          {kRead, 0, 0, 1, 0, 150, kKeptByClock},
          {kRead, 1000, 0, 1, 0, 225, kKeptByClock}}},
        {"a resume counts from where the pause held",
         1,
         {{kStart, 0, 0, 1, 1, 0, kKeptBySound},
          {kRead, 1000, kSecond, 1, 1, 75, kKeptBySound},
          {kResume, 5000, kSecond, 1, 1, 0, kKeptBySound},
          {kRead, 1000, 2 * kSecond, 1, 1, 75, kKeptBySound}}},
        {"an end gives the time back to the clock",
         1,
         {{kStart, 0, 0, 1, 1, 0, kKeptBySound}, {kEnd, 0, 0, 1, 1, 0, kKeptByClock}}},
    };
    for (const auto& c : cases) {
        device = FakeDevice{};
        SegmentClock clock = {};
        clock.seam = &fakeSeam;
        clock.speed = c.speed;
        int n = 0, playing = 0;
        for (const Step& step : c.steps) {
            device.ms += step.afterMs;
            device.samples = step.samples;
            device.open = step.open;
            device.tells = step.tells;
            switch (step.act) {
            case kStart:
                clock.start(0, 1000);
                playing = 1;
                break;
            case kSpunUp:
                clock.deviceOpened(playing, 0, 1000);
                break;
            case kResume:
                clock.resume();
                break;
            case kEnd:
                clock.end();
                playing = 0;
                break;
            case kRead:
                break;
            }
            EXPECT_EQ(step.played, clock.played(playing)) << c.what << ", step " << n;
            EXPECT_EQ(step.keeper, clock.keeper) << c.what << ", step " << n;
            n++;
        }
    }
}

} // namespace
