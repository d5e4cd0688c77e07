// The sound device's 32-bit count of samples, carried past its wrap: a
// repeat play of days keeps its clock, and an answer in another unit is no
// position.
#include <gtest/gtest.h>

#include <vector>

#include "../../vdrive/SampleCount.h"

namespace {

struct Reading {
    uint32_t raw, unit;
    int taken;
    uint64_t samples;
};

TEST(SampleCount, CarriesTheDevicesCountPastItsWrap) {
    const uint64_t k32 = 1ull << 32;
    const struct {
        const char* what;
        std::vector<Reading> readings;
    } cases[] = {
        {"samples", {{0, 1, 1, 0}, {44100, 1, 1, 44100}, {2000000000u, 1, 1, 2000000000u}}},
        {"samples across the wrap after 27 hours",
         {{4294960000u, 1, 1, 4294960000u}, {100, 1, 1, k32 + 100}, {7000, 1, 1, k32 + 7000}}},
        {"a count that went back is no move, also across the wrap",
         {{1000, 1, 1, 1000},
          {990, 1, 1, 1000},
          {1010, 1, 1, 1010},
          {4294967000u, 1, 1, 1010},
          {2147484657u, 1, 1, 2147484657u}}},
        {"bytes, four a sample, across their wrap after 6.8 hours",
         {{4294967292u, 4, 1, 1073741823}, {4, 4, 1, k32 / 4 + 1}}},
        {"milliseconds are no position", {{1000, 0, 0, 0}}},
        {"a change of unit is no position", {{400, 1, 1, 400}, {1600, 4, 0, 0}}},
    };
    for (const auto& c : cases) {
        SampleCount count;
        count.reset();
        for (const Reading& reading : c.readings) {
            uint64_t samples = 0;
            EXPECT_EQ(reading.taken, count.take(reading.raw, reading.unit, &samples)) << c.what << " " << reading.raw;
            if (reading.taken)
                EXPECT_EQ(reading.samples, samples) << c.what << " " << reading.raw;
        }
    }
}

TEST(SampleCount, ADeviceEmptiedCountsFromZeroAgain) {
    SampleCount count;
    count.reset();
    uint64_t samples = 0;
    count.take(4294967000u, 1, &samples);
    count.reset();
    ASSERT_EQ(1, count.take(300, 1, &samples));
    EXPECT_EQ(300u, samples);
}

} // namespace
