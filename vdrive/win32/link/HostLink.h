// The drive is one for each user of a session: a host process (rundll32 running
// this DLL's DriveHost) owns the drive, its thread and its sound, and each
// open of "cdaudio" in any program is a connection of its own to the host's
// pipe. What goes through the pipe has one layout for 32- and 64-bit code,
// so a 32-bit and a 64-bit program share one drive whichever started the
// host.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "CommandFields.h"

// What the client asks: an MCI command of its open, the open itself, its
// close, or (unlogged) whether the drive plays, for a client's MCI_WAIT;
// vdrivectl asks the host to leave.
const uint32_t kHostOpen = 1, kHostCommand = 2, kHostClose = 3, kHostPlaying = 4, kHostLeave = 5;

struct HostRequest {
    uint32_t kind;
    uint32_t message;  // the MCI command
    uint32_t flags;
    uint32_t hasBlock; // the command came with its parameter block
    uint32_t callback; // a window handle: 32 significant bits on every Windows
    uint32_t values[kMaxFields]; // the parameter block's fields that the command uses (CommandFields)
    uint32_t program;  // the client's process id (open)
    uint32_t deviceId; // the client's MCI device id (open)
    // A time format the program set since its last request, plus 1 (0:
    // none): the host sets it first. A program that sets the format before
    // each query (as the player does) then needs one round trip, not two.
    uint32_t formatFirst;
    // GetTickCount as the program's limit for it began (an open's, when it
    // began to connect): a request the host finds older than the limit has
    // been reported failed, and is not run (a hung host that goes on does
    // not do late what a program was told had failed).
    uint32_t sentAt;
};

struct HostReply {
    uint32_t result;   // the driver's answer
    uint32_t returned; // dwReturn of a query
    uint16_t text[kReplyTextSize]; // MCI_INFO's text
    // The window (its 32 bits) whose notification the drive holds for the
    // open (a play under way), or 0: a program whose host dies tells that
    // window it was aborted.
    uint32_t notifyPending;
};

static_assert(sizeof(HostRequest) == 48 && sizeof(HostReply) == 140, "one layout for 32 and 64 bits");

// How long a program waits for the host's answer to one request: past it
// the command fails, and so does every request of the program until the
// host has answered again, so that a host that hangs holds a program's
// window thread once, never at every tick. The player's window may be shown
// while its first open waits: the open, the host's start and connection
// included, stays within this limit, under the 5 s after which Windows
// calls a window not responding.
const DWORD kHostAnswerMs = 4000;

// A window handle as the 32 bits that travel, and back.
inline uint32_t windowBits(DWORD_PTR window) { return (uint32_t)window; }
inline HWND windowOf(uint32_t bits) { return (HWND)(LONG_PTR)(int32_t)bits; }
