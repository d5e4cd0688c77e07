#include "VirtualDisc.h"

#include <math.h>
#include <string.h>

namespace {

// The demo disc: lengths in frames, and each track's chord.
struct DemoTrack {
    uint32_t frames;
    double tones[3];
};

const DemoTrack kDemoTracks[] = {
    {(2 * 60 + 5) * 75 + 30, {261.63, 329.63, 392.00}},  // C major
    {(3 * 60 + 12) * 75 + 7, {220.00, 261.63, 329.63}},  // A minor
    {(1 * 60 + 47) * 75 + 61, {174.61, 220.00, 261.63}}, // F major
    {(2 * 60 + 38) * 75 + 12, {196.00, 246.94, 293.66}}, // G major
    {(4 * 60 + 1) * 75 + 44, {261.63, 392.00, 523.25}},  // C, open fifth
};
const int32_t kDemoTrackCount = sizeof kDemoTracks / sizeof kDemoTracks[0];
const double kPi = 3.14159265358979323846;

} // namespace

uint32_t VirtualDisc::trackLength(int32_t track) const {
    if (track < 1 || track > trackCount)
        return 0;
    return trackStart[track + 1] - trackStart[track];
}

uint32_t VirtualDisc::reportedLength(int32_t track) const {
    uint32_t exact = track == 0 ? endFrame : trackLength(track);
    int last = track == 0 || track == trackCount;
    return last && exact > 0 ? exact - 1 : exact;
}

int32_t VirtualDisc::trackAt(uint32_t frame) const {
    int32_t track = 1;
    while (track < trackCount && frame >= trackStart[track + 1])
        track++;
    return track;
}

int32_t VirtualDisc::extentAt(uint32_t frame) const {
    for (int32_t i = 0; i < extentCount; i++)
        if (frame >= extents[i].firstFrame && frame - extents[i].firstFrame < extents[i].frames)
            return i;
    return -1;
}

void makeDemoDisc(VirtualDisc* disc) {
    memset(disc, 0, sizeof *disc);
    disc->trackCount = kDemoTrackCount;
    uint32_t start = 0;
    for (int32_t track = 1; track <= kDemoTrackCount; track++) {
        disc->trackStart[track] = start;
        disc->audioTrack[track] = 1;
        start += kDemoTracks[track - 1].frames;
    }
    disc->trackStart[kDemoTrackCount + 1] = start;
    disc->endFrame = start;
    disc->extentCount = 1;
    disc->extents[0] = DiscExtent{0, start, kDemoTones, 0};
}

// A soft chord that swells once a second, quieter in the first and last
// second of each track, so track changes can be heard.
void demoFrame(const VirtualDisc& disc, uint32_t frame, int16_t samples[kSamplesPerFrame * 2]) {
    int32_t track = disc.trackAt(frame);
    const DemoTrack& demo = kDemoTracks[(track - 1) % kDemoTrackCount];
    uint32_t inTrack = frame - disc.trackStart[track];
    uint32_t length = disc.trackLength(track);
    for (uint32_t i = 0; i < kSamplesPerFrame; i++) {
        double t = (inTrack * (double)kSamplesPerFrame + i) / 44100.0;
        double edge = fmin(t, (length * (double)kSamplesPerFrame - (inTrack * (double)kSamplesPerFrame + i)) / 44100.0);
        double fade = edge < 1.0 ? (edge < 0 ? 0 : edge) : 1.0;
        double swell = 0.75 + 0.25 * sin(2 * kPi * t);
        double left = 0, right = 0;
        for (int k = 0; k < 3; k++) {
            double wave = sin(2 * kPi * demo.tones[k] * t);
            left += wave * (k == 2 ? 0.6 : 1.0);
            right += wave * (k == 0 ? 0.6 : 1.0);
        }
        samples[2 * i] = (int16_t)(left * swell * fade * 2500);
        samples[2 * i + 1] = (int16_t)(right * swell * fade * 2500);
    }
}

uint32_t packMsf(uint32_t frames) {
    uint32_t seconds = frames / kFramesPerSecond;
    uint32_t minutes = seconds / 60;
    if (minutes > 255)
        minutes = 255;
    return minutes | (seconds % 60) << 8 | (frames % kFramesPerSecond) << 16;
}

uint32_t unpackMsf(uint32_t msf) {
    return ((msf & 0xFF) * 60 + ((msf >> 8) & 0xFF)) * kFramesPerSecond + ((msf >> 16) & 0xFF);
}

uint32_t packTmsf(const VirtualDisc& disc, uint32_t frame) {
    int32_t track = disc.trackAt(frame);
    return (uint32_t)track | packMsf(frame - disc.trackStart[track]) << 8;
}

uint32_t unpackTmsf(const VirtualDisc& disc, uint32_t tmsf, int* valid) {
    int32_t track = (int32_t)(tmsf & 0xFF);
    *valid = track >= 1 && track <= disc.trackCount;
    if (!*valid)
        return 0;
    return disc.trackStart[track] + unpackMsf(tmsf >> 8);
}
