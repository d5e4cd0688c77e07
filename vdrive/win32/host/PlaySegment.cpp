// The play segment under way: its sound through the device, or its clock,
// from its start to its end; the device opened for it and let go once it
// has been heard out.
#include "DriveState.h"

namespace {

int32_t deviceOpen() { return drive.audio.device != 0; }
uint64_t beginSound(uint32_t from, uint32_t to) { return drive.audio.begin(from, to); }
int32_t samplesPlayed(uint64_t* samples) { return drive.audio.samplesPlayed(samples); }
void silenceSound() { drive.audio.silence(); }
void restartSound() { drive.audio.restart(); }

int64_t clockTicks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t clockRate() {
    LARGE_INTEGER rate;
    QueryPerformanceFrequency(&rate);
    return rate.QuadPart;
}

// The segment, at the speed the control key sets now.
SegmentClock& segment() {
    drive.segment.speed = drive.control.speed;
    return drive.segment;
}

} // namespace

const SoundSeam waveOutSeam = {deviceOpen,   beginSound, samplesPlayed, silenceSound,
                               restartSound, clockTicks, clockRate};

void soundFailed(const char* what) {
    controlLog(&drive.control, "sound: %s; the drive keeps time by its clock", what);
    segment().soundFailed();
}

uint64_t played() {
    SegmentClock& clock = segment();
    int32_t sounding = clock.keeper == kKeptBySound;
    uint64_t frames = clock.played(drive.model.mode == kDrivePlaying);
    if (sounding && clock.keeper != kKeptBySound)
        controlLog(&drive.control, "sound: the device no longer tells its position; the drive keeps time by its clock");
    return frames;
}

void startSegment() {
    segment().start(drive.model.frame, drive.model.playTo);
    wakeThread();
}

// The drive stopped sounding: the thread closes the device once what it
// still holds has been heard.
void fallSilent() {
    drive.segment.keeper = kKeptByClock;
    drive.activity.fallSilent(GetTickCount());
}

DWORD lingerLeft() { return drive.activity.lingerLeft(GetTickCount()); }

void endSegment() {
    segment().end();
    fallSilent();
    wakeThread();
}

void resumeSegment() {
    segment().resume();
    wakeThread();
}

void wakeThread() {
    if (drive.running)
        SetEvent(drive.running->wake);
}

// Opens the sound device for a play that waits for it, on the thread's own
// event, leaving the lock while it opens. A thread that is no longer the
// drive's when the device has opened closes it again.
int spinUpLeavingLock(DriveThread* me) {
    LeaveCriticalSection(&drive.lock);
    char reason[160] = "";
    HWAVEOUT device = openSoundDevice(me->bufferDone, reason, sizeof reason);
    EnterCriticalSection(&drive.lock);
    if (device && drive.running == me && !drive.audio.device) {
        drive.audio.adopt(device);
        device = 0;
    }
    if (device) {
        LeaveCriticalSection(&drive.lock);
        closeSoundDevice(device);
        EnterCriticalSection(&drive.lock);
    }
    if (drive.running != me)
        return 0;
    if (!drive.audio.device && drive.segment.keeper == kSpinningUp)
        controlLog(&drive.control, "sound: %s", reason);
    segment().deviceOpened(drive.model.mode == kDrivePlaying, drive.model.frame, drive.model.playTo);
    return 1;
}

// Fills the device's free buffers, reading each outside the lock, while
// the play sounds; a device that refuses one hands the time to the clock.
int feedLeavingLock(DriveThread* me) {
    FeedJob job;
    DiscReader& reader = me->reader;
    while (drive.model.mode == kDrivePlaying && drive.segment.keeper == kKeptBySound && drive.audio.claim(&job)) {
        reader.follow(drive.model.disc, job);
        LeaveCriticalSection(&drive.lock);
        reader.read(job);
        EnterCriticalSection(&drive.lock);
        if (drive.running != me)
            return 0;
        if (!drive.audio.queue(job, reader.samples)) {
            // The segment goes on from what was heard, on the clock.
            drive.model.rebase(played());
            drive.segment.soundFrames = 0;
            soundFailed("the device refused a buffer");
        }
    }
    return 1;
}

// How long the thread may sleep: until a play on the clock ends, or until
// something happens (a command, a buffer done).
DWORD sleepTime() {
    DriveModel& model = drive.model;
    if (model.mode == kDriveStopped && drive.audio.device)
        return lingerLeft();
    if (model.mode != kDrivePlaying || drive.segment.keeper != kKeptByClock)
        return INFINITE;
    uint64_t left = model.playTo - model.position(played());
    return (DWORD)(left * 1000 / (kFramesPerSecond * drive.control.speed)) + 1;
}
