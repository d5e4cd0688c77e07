// The virtual drive's behaviour, portable: MCI commands in, with each open's
// time format; the notifications to send out; position and mode answered
// from the frames the sound has played, which the caller supplies. The
// driver (win32/) decodes DriverProc calls into these operations, runs the
// sound and the thread, and sends the notifications. No windows.h, no heap.
#pragma once

#include <stdint.h>

#include "VirtualDisc.h"

// MCI's numbers, as the platform has them (the driver checks each against
// its header).
namespace mci {
// Flags.
const uint32_t kNotify = 0x1, kWait = 0x2, kFrom = 0x4, kTo = 0x8, kTrack = 0x10;
const uint32_t kSeekToStart = 0x100, kSeekToEnd = 0x200;
const uint32_t kStatusItem = 0x100, kStatusStart = 0x200;
const uint32_t kSetDoorOpen = 0x100, kSetDoorClosed = 0x200, kSetTimeFormat = 0x400;
// Time formats.
const uint32_t kMilliseconds = 0, kMsf = 2, kTmsf = 10;
// Answers and refusals.
const uint32_t kErrHardware = 262, kErrMissingParameter = 273, kErrUnsupportedFunction = 274,
               kErrOutOfRange = 282, kErrFlagsNotCompatible = 284, kErrBadTimeFormat = 293,
               kErrNullParameterBlock = 297;
// Notification codes.
const uint32_t kSuccessful = 1, kSuperseded = 2, kAborted = 4;
// Status items.
const uint32_t kLength = 1, kPosition = 2, kNumberOfTracks = 3, kMode = 4, kMediaPresent = 5, kTimeFormat = 6,
               kReady = 7, kCurrentTrack = 8, kTrackType = 0x4001;
// Modes.
const uint32_t kModeNotReady = 524, kModeStop = 525, kModePlay = 526, kModePause = 529, kModeOpen = 530;
// Track types, words of the driver's own.
const uint32_t kTrackAudio = 1088, kTrackOther = 1089;
} // namespace mci

enum DriveMode { kDriveStopped, kDrivePlaying, kDrivePaused };

// How a status answer reads: a number, a word of the platform's (a mode, a
// time format), true or false, a word of the driver's own ("audio",
// "other"), or a time as "mm:ss:ff" or "tt:mm:ss:ff".
enum AnswerKind { kAnswerNumber, kAnswerWord, kAnswerTruth, kAnswerDriverWord, kAnswerTime, kAnswerTrackTime };

struct StatusAnswer {
    uint32_t value;
    AnswerKind kind;
};

// A notification to send: to which open, through which callback window.
struct DriveEvent {
    int32_t open;
    uintptr_t callback;
    uint32_t code;
};

struct DriveModel {
    static const int32_t kMaxOpens = 16;
    static const int32_t kMaxEvents = 8;

    VirtualDisc disc;
    int32_t mediaPresent;
    int32_t doorOpen;
    DriveMode mode;
    uint32_t frame;  // the head when not playing; where the play began when playing
    uint32_t playTo; // exclusive
    int32_t notifyOpen; // the open whose play will notify; -1 none
    uintptr_t notifyCallback;
    int32_t openUsed[kMaxOpens];
    uint32_t timeFormat[kMaxOpens];
    // The program (its process) that holds each open, and the one whose play
    // or resume set the drive going: every program shares the one drive.
    uint32_t openProgram[kMaxOpens];
    uint32_t playProgram;
    DriveEvent events[kMaxEvents];
    int32_t eventCount;

    // An empty drive with nothing open.
    void reset();
    // A new open of a program: its slot (MSF to begin with), or -1 when all
    // are taken.
    int32_t open(uint32_t program = 0);
    // Ends an open: its pending notification is aborted; the last close
    // halts the drive, forgets its play and holds no door open (the drive
    // is let go as a driver that is freed). The program whose play sounds
    // closing its last open halts the play where it stands, after `played`
    // frames, as a single program's last close does.
    void close(int32_t slot, uint64_t played = 0);
    // The drive holds another disc (in `disc`) or, with 0, none: any play
    // ends, aborted.
    void insert(int32_t present);
    int32_t ready() const { return mediaPresent && !doorOpen; }

    // Where the head is, after `played` frames of the current play.
    uint32_t position(uint64_t played) const;
    // The play goes on from where `played` frames took it, counted from 0
    // again (a new clock, another speed).
    void rebase(uint64_t played);
    // Whether the current play has played to its end.
    int32_t playEnded(uint64_t played) const { return mode == kDrivePlaying && position(played) >= playTo; }

    // The commands: 0 or an MCI error. Flags as MCI has them; positions in
    // the open's time format.
    uint32_t play(int32_t slot, uint32_t flags, uint32_t from, uint32_t to, uintptr_t callback, uint64_t played);
    uint32_t pause(int32_t slot, uint32_t flags, uintptr_t callback, uint64_t played);
    uint32_t resume(int32_t slot, uint32_t flags, uintptr_t callback, uint64_t played);
    uint32_t stop(int32_t slot, uint32_t flags, uintptr_t callback, uint64_t played);
    uint32_t seek(int32_t slot, uint32_t flags, uint32_t to, uintptr_t callback, uint64_t played);
    uint32_t set(int32_t slot, uint32_t flags, uint32_t timeFormat, uintptr_t callback, uint64_t played);
    // Answers a query; it changes nothing.
    uint32_t status(int32_t slot, uint32_t flags, uint32_t item, uint32_t track, uint64_t played,
                    StatusAnswer* answer) const;
    // The play has reached its end: the head stands there, a notifying play
    // completes.
    void finish();
    // A query (status, information, capabilities) that asked to be told has
    // been answered.
    void answered(int32_t slot, uint32_t flags, uintptr_t callback) { completed(slot, flags, callback); }

    // The notifications queued since the last call, in order; the caller
    // sends them.
    int32_t takeEvents(DriveEvent out[kMaxEvents]);

    // A position in the open's format as a frame of the disc; 0 when it is
    // no position on the disc.
    int32_t frameOf(uint32_t format, uint32_t value, uint32_t* result) const;
    uint32_t positionIn(uint32_t format, uint32_t at) const;

  private:
    void halt(uint64_t played);
    void endPending(uint32_t code);
    void queue(int32_t slot, uintptr_t callback, uint32_t code);
    void notifyAtEnd(int32_t slot, uint32_t flags, uintptr_t callback);
    void completed(int32_t slot, uint32_t flags, uintptr_t callback);
};
