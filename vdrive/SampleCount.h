// The count of samples a sound device has played, carried past the 32 bits
// the device answers in: in samples it wraps after 27 hours, in bytes (four
// a sample) after 6.8. Each reading adds how far the count moved since the
// one before, so a long repeat play keeps its clock. Readings come seconds
// apart: a count that went back (a device that answers a little behind now
// and then) is no move, not a wrap of hours.
#pragma once

#include <stdint.h>

struct SampleCount {
    // A step forward of half the count's range or more is one backward.
    static const uint32_t kBackward = 0x80000000u;

    uint64_t counted;
    uint32_t lastRaw;
    uint32_t unit; // bytes a reading counts per sample; 0: no reading yet

    // The device starts counting from 0 again (opened or emptied).
    void reset() {
        counted = 0;
        lastRaw = 0;
        unit = 0;
    }

    // A reading of the device: its 32-bit count and the bytes it counts a
    // sample (1: samples, 4: bytes, 0: anything else). 0 when the reading
    // is no position: another unit, or a change of unit.
    int take(uint32_t raw, uint32_t readingUnit, uint64_t* samples) {
        if (readingUnit == 0 || (unit != 0 && readingUnit != unit))
            return 0;
        uint32_t step = raw - lastRaw;
        if (unit == 0 || step < kBackward) {
            counted += step;
            lastRaw = raw;
        }
        unit = readingUnit;
        *samples = counted / unit;
        return 1;
    }
};
