// The CD drive as the disc engine sees it: one operation per MCI command that
// the engine sends to the "cdaudio" device. engine/win32/ implements them with
// mciSendCommandA; the native tests link a simulated drive instead.
#pragma once

#include <stdint.h>

typedef void* WindowHandle;
typedef void* InstanceHandle;

// MCI time formats the engine sets.
enum DriveTimeFormat : uint32_t {
    kTimeFormatMsf = 2,
    kTimeFormatTmsf = 10,
};

// MCI status items the engine asks for.
enum DriveStatusItem : uint32_t {
    kStatusLength = 1,
    kStatusPosition = 2,
    kStatusNumberOfTracks = 3,
    kStatusMode = 4,
    kStatusMediaPresent = 5,
};

// The drive's modes (MCI_MODE_*) that the engine tells apart.
const uint32_t kModeNotReady = 524;
const uint32_t kModeStop = 525;
const uint32_t kModePlay = 526;
const uint32_t kModePause = 529;
// MCI_MODE_OPEN: the drive reports its door open.
const uint32_t kModeOpen = 530;

// Completion code of a play that reached its end (MCI_NOTIFY_SUCCESSFUL).
const uint32_t kNotifySuccessful = 1;

// Opens "cdaudio" shareable. Returns the MCI result (0 = success) and
// stores the new device identifier in *deviceId on success.
uint32_t driveOpen(uint32_t* deviceId);
uint32_t driveClose(uint32_t deviceId);
uint32_t driveSetTimeFormat(uint32_t deviceId, DriveTimeFormat format);
uint32_t driveSetDoor(uint32_t deviceId, int open);
// The reply of a status query; 0 when the drive refuses the query.
// track is sent only with kStatusLength.
uint32_t driveStatus(uint32_t deviceId, DriveStatusItem item, uint32_t track);
// A status query whose failure counts: the MCI result (0 = answered), the
// reply in *reply.
uint32_t driveQuery(uint32_t deviceId, DriveStatusItem item, uint32_t* reply);
// Plays from the start of a track (TMSF, track byte only) to the end of the
// disc and posts the completion to callbackWindow.
uint32_t drivePlayFrom(uint32_t deviceId, WindowHandle callbackWindow, uint32_t fromTmsf);
// Plays on from a paused position to the end of the disc, with completion.
uint32_t driveResume(uint32_t deviceId, WindowHandle callbackWindow);
uint32_t drivePause(uint32_t deviceId);
uint32_t driveSeekTo(uint32_t deviceId, uint32_t toTmsf);
uint32_t driveSeekToStart(uint32_t deviceId);
uint32_t driveStop(uint32_t deviceId);
