// The disc engine: the player's one contact with the CD drive. It caches the
// table of contents, runs the play-state machine, random and repeat play, and
// owns the hidden notification window whose timer drives the display.
#pragma once

#include <stdint.h>

#include "Drive.h"

enum PlayState : int32_t {
    kPlaying = 0,
    kPaused = 1,
    kStopped = 2,
    kPlayRequested = 3,
};

enum DisplayMode : uint32_t {
    kDisplayEach = 0,
    kDisplayEachRemain = 1,
    kDisplayTotal = 2,
    kDisplayTotalRemain = 3,
};

const uint32_t kEngineTimerId = 3226;
const int32_t kDefaultInterval = 333;
// startedTrack value that asks random supervision to skip to another track.
const int32_t kSkipRequest = -256;
// Every per-track table has one slot per track number 0..99.
const int32_t kTrackSlots = 100;
const int32_t kMaxTrack = 99;

// What following the drive found.
enum DriveFollowed : int32_t {
    // The drive does not answer, even on a device opened again: what the
    // engine holds of the disc waits for it.
    kDriveSilent = 0,
    // The drive answered: the engine's state is the drive's.
    kDriveFollowed = 1,
    // The drive answered again after it went away, and holds another disc
    // or none: the disc is to be found again.
    kDriveHasAnotherDisc = 2,
    // Another program's play reached the end of the disc, and the engine
    // carried on as at a completion of its own.
    kDrivePlayCarriedOn = 3,
};

struct DiscEngine {
    InstanceHandle instance;
    WindowHandle ownerWindow;
    WindowHandle notifyWindow;
    uint32_t deviceId;
    int32_t cachedTrackCount;
    int32_t cachedTotalLength;
    int32_t cachedTrackLength[kTrackSlots];
    int32_t currentTrack;
    int32_t startedTrack;
    int32_t pendingTrack;
    uint32_t doorOpened;
    uint32_t played[kTrackSlots];
    uint32_t repeatFlag;
    uint32_t randomFlag;
    uint32_t advanceBusy;
    uint32_t notifyAdvance;
    uint32_t currentDisplayMode;
    int32_t state;
    // The track of the last position the drive reported.
    int32_t seenTrack;
    // Set while the drive does not answer, and by a query it failed.
    uint32_t driveSilent;
    // Whether the last query of the tick failed.
    uint32_t queryFailed;
    // What the tick's look at the drive found, for the refresh.
    int32_t lastFollowed;
    // When the device was last opened again, and when the engine last
    // started or resumed a play (hostTickCount).
    uint32_t reopenedAt;
    uint32_t playSentAt;
    // The play sounding was started by another program, whose completion
    // the engine never hears.
    uint32_t playOfOthers;

    // The random generator's state: 1 at program start, seeded by open.
    static uint32_t randomState;

    // Device and disc queries.
    int32_t open(InstanceHandle instance, WindowHandle ownerWindow, int32_t interval);
    int32_t close();
    uint32_t mediaPresent();
    int32_t trackCount();
    int32_t trackLength(int32_t track);
    int32_t totalLength();
    uint32_t position();
    int32_t playState();
    void invalidateCache();
    WindowHandle createNotifyWindow(InstanceHandle instance);

    // Transport and play modes.
    uint32_t playPause();
    void stop();
    int32_t previous();
    int32_t next();
    int32_t playTrack(int32_t n);
    int32_t eject();
    // The disc has gone: whatever was playing or paused is over, without a
    // word to the drive, so that the next disc starts stopped.
    void forgetPlay();
    // Another disc is in the drive: a new random round, and no track of the
    // old disc is waited for.
    void discChanged();
    // The drive is shared: another program may have paused, resumed,
    // stopped or moved it, or it may have gone away and come back. Its
    // mode and track become the engine's state.
    int32_t followDrive();
    int32_t stepTrack(int32_t delta);
    int32_t pickRandomTrack();
    void clearPlayed();
    uint32_t repeatMode();
    uint32_t setRepeatMode(uint32_t flag);
    uint32_t randomMode();
    uint32_t setRandomMode(uint32_t flag);
    uint32_t displayMode();
    void setDisplayMode(uint32_t mode);
    int32_t timeToShow();

    // What the notification window does with its two messages.
    void handleTick(uint32_t timerId, intptr_t tickParam);
    void handleCompletion(uint32_t code);

    static void seedRandom(uint32_t seed);
    static int32_t drawRandom();

  private:
    uint32_t askDrive(DriveStatusItem item);
    void startedPlaying();
    int32_t askMode(uint32_t* mode);
    int32_t driveReturned(uint32_t mode);
    int32_t sameDiscInDrive();
    int32_t takeDriveMode(uint32_t mode);
    int32_t takeDriveStop();
    int32_t driveTrackNow(int32_t* atTrackStart);
    int32_t lastTrack();
    int32_t lengthBefore(int32_t track);
    void markPlayed(int32_t track);
    void seekToTrack(int32_t track);
    void startTrack(int32_t track);
    void superviseRandom();
};

// The player's one engine, reached by the notification window procedure.
extern DiscEngine discEngine;
