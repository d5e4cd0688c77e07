// The play segment under way: its sound through the device, or its clock,
// from its start to its end; the device opened for it and let go once it
// has been heard out.
#include "DriveState.h"

namespace {

LONGLONG clockTicks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LONGLONG clockRate() {
    LARGE_INTEGER rate;
    QueryPerformanceFrequency(&rate);
    return rate.QuadPart;
}

uint64_t clockFrames() {
    LONGLONG elapsed = clockTicks() - drive.playStartedAt;
    return (uint64_t)(elapsed * kFramesPerSecond * drive.control.speed / clockRate());
}

// The sound of the play from the head on, on an open device.
void soundFromHead() {
    drive.soundBase = drive.audio.begin(drive.model.frame, drive.model.playTo);
    drive.soundFrames = 0;
    drive.keeper = kKeptBySound;
}

} // namespace

// The sound fails: the clock takes over where the sound stood, so the
// position goes on from what was heard and the play ends on time.
void soundFailed(const char* what) {
    controlLog(&drive.control, "sound: %s; the drive keeps time by its clock", what);
    drive.keeper = kKeptByClock;
    drive.audio.silence();
    drive.playStartedAt =
        clockTicks() - (LONGLONG)(drive.soundFrames * clockRate() / (kFramesPerSecond * drive.control.speed));
}

// The frames the play segment under way has played: the samples the device
// has played while it sounds, nothing while it spins up, else the clock.
uint64_t played() {
    if (drive.model.mode != kDrivePlaying || drive.keeper == kSpinningUp)
        return 0;
    if (drive.keeper != kKeptBySound)
        return clockFrames();
    uint64_t samples;
    if (drive.audio.samplesPlayed(&samples)) {
        drive.soundFrames = samples > drive.soundBase ? (samples - drive.soundBase) / kSamplesPerFrame : 0;
        return drive.soundFrames;
    }
    soundFailed("the device no longer tells its position");
    return clockFrames();
}

// A play begins: with sound at normal speed, at once on an open device or
// after the thread has opened one; else on the clock.
void startSegment() {
    int wasSounding = drive.keeper == kKeptBySound;
    drive.playStartedAt = clockTicks();
    drive.playGeneration++;
    drive.keeper = kKeptByClock;
    if (drive.control.speed == 1) {
        if (drive.audio.device)
            soundFromHead();
        else
            drive.keeper = kSpinningUp;
    } else if (wasSounding) {
        drive.audio.silence();
    }
    SetEvent(drive.wake);
}

// The drive stopped sounding: the thread closes the device once what it
// still holds has been heard.
const DWORD kLingerMs = 1000;

void fallSilent() {
    drive.keeper = kKeptByClock;
    drive.silentSince = GetTickCount();
}

// Milliseconds until the device may close; 0 once it has been heard out.
DWORD lingerLeft() {
    DWORD silent = GetTickCount() - drive.silentSince;
    return silent >= kLingerMs ? 0 : kLingerMs - silent;
}

// A play stops or moves: a sound under way empties at once.
void endSegment() {
    drive.playGeneration++;
    if (drive.keeper == kKeptBySound)
        drive.audio.silence();
    fallSilent();
    SetEvent(drive.wake);
}

// A paused play goes on: the device where it held, or the clock.
void resumeSegment() {
    drive.playStartedAt = clockTicks();
    if (drive.keeper == kKeptBySound) {
        uint64_t samples = 0;
        drive.audio.samplesPlayed(&samples);
        drive.soundBase = samples;
        drive.soundFrames = 0;
        drive.audio.restart();
    }
    SetEvent(drive.wake);
}

// Opens the sound device for a play that waits for it, leaving the lock
// while it opens. The drive keeps one device: one that another thread of
// the drive opened meanwhile (a driver freed and loaded again starts a new
// thread while this one still waits for the device) stays, and this one is
// closed.
void spinUpLeavingLock(HANDLE bufferDone, uint32_t threadGeneration) {
    uint32_t generation = drive.playGeneration;
    LeaveCriticalSection(&drive.lock);
    char reason[160] = "";
    HWAVEOUT device = openSoundDevice(bufferDone, reason, sizeof reason);
    EnterCriticalSection(&drive.lock);
    if (device && (drive.audio.device || threadGeneration != drive.threadGeneration)) {
        LeaveCriticalSection(&drive.lock);
        closeSoundDevice(device);
        EnterCriticalSection(&drive.lock);
        return;
    }
    if (device)
        drive.audio.adopt(device);
    if (generation != drive.playGeneration || drive.keeper != kSpinningUp)
        return; // the play changed meanwhile
    drive.keeper = kKeptByClock;
    drive.playStartedAt = clockTicks();
    if (!drive.audio.device) {
        controlLog(&drive.control, "sound: %s", reason);
        return;
    }
    soundFromHead();
}

// Fills the device's free buffers, reading each outside the lock, while
// the play sounds; a device that refuses one hands the time to the clock.
void feedLeavingLock(DiscReader* reader) {
    FeedJob job;
    while (drive.model.mode == kDrivePlaying && drive.keeper == kKeptBySound && drive.audio.claim(&job)) {
        reader->follow(drive.model.disc, job);
        LeaveCriticalSection(&drive.lock);
        reader->read(job);
        EnterCriticalSection(&drive.lock);
        if (!drive.audio.queue(job, reader->samples)) {
            // The segment goes on from what was heard, on the clock.
            drive.model.rebase(played());
            drive.soundFrames = 0;
            soundFailed("the device refused a buffer");
        }
    }
}

// How long the thread may sleep: until a play on the clock ends, or until
// something happens (a command, a buffer done).
DWORD sleepTime() {
    DriveModel& model = drive.model;
    if (model.mode == kDriveStopped && drive.audio.device)
        return lingerLeft();
    if (model.mode != kDrivePlaying || drive.keeper != kKeptByClock)
        return INFINITE;
    uint64_t left = model.playTo - model.position(played());
    return (DWORD)(left * 1000 / (kFramesPerSecond * drive.control.speed)) + 1;
}
