// A simulated CD drive and notification host for the engine's native tests:
// a table of contents, the door, media presence, a play position that moves
// on a clock the test advances, completions queued as MCI would post them,
// and a log of every command the engine sent.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "DiscEngine.h"

const uint32_t kNotifySuperseded = 2;
const uint32_t kNotifyAborted = 4;
const uint32_t kFramesPerSecond = 75;

struct SimDrive {
    // The disc: track lengths in frames, slot 0 unused.
    int32_t tracks;
    uint32_t trackFrames[128];
    int mediaPresent;
    int doorOpen;
    int openFails;
    int refuseQueries;
    // Answers nothing at all: a drive gone away.
    int silent;
    // When set, the position query answers rawPosition instead of the clock.
    int useRawPosition;
    uint32_t rawPosition;
    // When set, the track count query answers this instead of tracks.
    int useRawTrackCount;
    uint32_t rawTrackCount;

    uint32_t nextDeviceId;
    uint32_t openDevices;
    uint32_t timeFormat;
    int playing;
    int paused;
    uint32_t frame;     // absolute position from the start of track 1
    uint32_t leftoverMs;
    int notifyPending;
    WindowHandle callback;
    std::vector<uint32_t> completions;

    std::vector<std::string> commands;

    // The host side.
    int windowsCreated;
    int windowsDestroyed;
    WindowHandle timerWindow;
    uint32_t timerInterval;
    int timerRunning;
    int ticksForwarded;
    int32_t stateAtForward;
    uint32_t tickCount;

    void reset();
    void setDisc(const std::vector<uint32_t>& secondsPerTrack);
    void setTrackFrames(int32_t track, uint32_t frames);
    uint32_t trackStart(int32_t track) const;
    uint32_t discFrames() const;
    int32_t trackAt(uint32_t absoluteFrame) const;
    // The position as the drive reports it: track number and seconds in it.
    int32_t driveTrack() const;
    uint32_t driveSeconds() const;
    // Moves the drive's clock; reaching the end of the disc queues a completion.
    void advance(uint32_t ms);
    void placeAt(int32_t track, uint32_t seconds);
    void endPlay(uint32_t code);

    // Commands logged since the last call, then forgotten.
    std::vector<std::string> take();
};

extern SimDrive sim;

// Delivers queued completions to the engine as its window would receive them.
void deliverCompletions();
// One tick of timer 3226.
void tick();
// A fresh engine, opened on a fresh simulated drive with the given disc,
// whose table of contents it has read.
void openEngineWith(const std::vector<uint32_t>& secondsPerTrack);
