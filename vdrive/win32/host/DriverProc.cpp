// The virtual CD drive as an MCI "cdaudio" driver: DriverProc calls decoded
// into the drive model's commands, and the answers formed as a real cdaudio
// driver gives them. One drive, shared by every open of the device; the
// notifications go out through mciDriverNotify after the drive's lock is
// left. It never calls an MCI function.
#include "DriveState.h"
#include "../link/CommandFields.h"
#include "../link/StatusReply.h"
#include "../link/PlayWait.h"

#include <stdio.h>

// The model speaks MCI's numbers.
static_assert(mci::kNotify == MCI_NOTIFY && mci::kWait == MCI_WAIT && mci::kFrom == MCI_FROM && mci::kTo == MCI_TO &&
                  mci::kTrack == MCI_TRACK,
              "flags");
static_assert(mci::kSeekToStart == MCI_SEEK_TO_START && mci::kSeekToEnd == MCI_SEEK_TO_END &&
                  mci::kStatusItem == MCI_STATUS_ITEM && mci::kStatusStart == MCI_STATUS_START &&
                  mci::kSetDoorOpen == MCI_SET_DOOR_OPEN && mci::kSetDoorClosed == MCI_SET_DOOR_CLOSED &&
                  mci::kSetTimeFormat == MCI_SET_TIME_FORMAT,
              "command flags");
static_assert(mci::kMilliseconds == MCI_FORMAT_MILLISECONDS && mci::kMsf == MCI_FORMAT_MSF &&
                  mci::kTmsf == MCI_FORMAT_TMSF,
              "time formats");
static_assert(mci::kErrHardware == MCIERR_HARDWARE && mci::kErrMissingParameter == MCIERR_MISSING_PARAMETER &&
                  mci::kErrUnsupportedFunction == MCIERR_UNSUPPORTED_FUNCTION &&
                  mci::kErrOutOfRange == MCIERR_OUTOFRANGE &&
                  mci::kErrFlagsNotCompatible == MCIERR_FLAGS_NOT_COMPATIBLE &&
                  mci::kErrBadTimeFormat == MCIERR_BAD_TIME_FORMAT &&
                  mci::kErrNullParameterBlock == MCIERR_NULL_PARAMETER_BLOCK,
              "errors");
static_assert(mci::kSuccessful == MCI_NOTIFY_SUCCESSFUL && mci::kSuperseded == MCI_NOTIFY_SUPERSEDED &&
                  mci::kAborted == MCI_NOTIFY_ABORTED,
              "notifications");
static_assert(mci::kLength == MCI_STATUS_LENGTH && mci::kPosition == MCI_STATUS_POSITION &&
                  mci::kNumberOfTracks == MCI_STATUS_NUMBER_OF_TRACKS && mci::kMode == MCI_STATUS_MODE &&
                  mci::kMediaPresent == MCI_STATUS_MEDIA_PRESENT && mci::kTimeFormat == MCI_STATUS_TIME_FORMAT &&
                  mci::kReady == MCI_STATUS_READY && mci::kCurrentTrack == MCI_STATUS_CURRENT_TRACK &&
                  mci::kTrackType == MCI_CDA_STATUS_TYPE_TRACK,
              "status items");
static_assert(mci::kModeNotReady == MCI_MODE_NOT_READY && mci::kModeStop == MCI_MODE_STOP &&
                  mci::kModePlay == MCI_MODE_PLAY && mci::kModePause == MCI_MODE_PAUSE &&
                  mci::kModeOpen == MCI_MODE_OPEN && mci::kTrackAudio == MCI_CDA_TRACK_AUDIO &&
                  mci::kTrackOther == MCI_CDA_TRACK_OTHER,
              "answers");

namespace {

// ---- The commands ---------------------------------------------------------------

DWORD statusLeavingLock(int32_t slot, uint32_t serial, DWORD flags, MCI_STATUS_PARMS* parameters) {
    DWORD item = (flags & MCI_STATUS_ITEM) ? parameters->dwItem : 0;
    if (item == MCI_STATUS_MEDIA_PRESENT || item == MCI_STATUS_MODE)
        followControlLeavingLock();
    if (!stillOpen(slot, serial))
        return MCIERR_INVALID_DEVICE_ID;
    StatusAnswer answer;
    DWORD result = drive.model.status(slot, flags, item, parameters->dwTrack, played(), &answer);
    return result ? result : statusReply(item, answer, &parameters->dwReturn);
}

// Which flags of a command need its parameter block.
// Whether the command reads its parameter block with these flags: a query
// always does, also without a flag.
int needsBlock(UINT message, DWORD flags) {
    switch (message) {
    case MCI_PLAY:
        return (flags & (MCI_NOTIFY | MCI_FROM | MCI_TO)) != 0;
    case MCI_SEEK:
        return (flags & (MCI_NOTIFY | MCI_TO)) != 0;
    case MCI_SET:
        return (flags & (MCI_NOTIFY | MCI_SET_TIME_FORMAT)) != 0;
    case MCI_PAUSE:
    case MCI_RESUME:
    case MCI_STOP:
        return (flags & MCI_NOTIFY) != 0;
    case MCI_OPEN_DRIVER:
    case MCI_CLOSE_DRIVER:
        return 0;
    default:
        return 1;
    }
}

DWORD deviceCaps(DWORD flags, MCI_GETDEVCAPS_PARMS* parameters) {
    if (!(flags & MCI_GETDEVCAPS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    DWORD* reply = &parameters->dwReturn;
    switch (parameters->dwItem) {
    case MCI_GETDEVCAPS_DEVICE_TYPE:
        return word(reply, MCI_DEVTYPE_CD_AUDIO, MCI_DEVTYPE_CD_AUDIO);
    case MCI_GETDEVCAPS_HAS_AUDIO:
    case MCI_GETDEVCAPS_CAN_EJECT:
    case MCI_GETDEVCAPS_CAN_PLAY:
        return truth(reply, TRUE);
    case MCI_GETDEVCAPS_CAN_RECORD:
    case MCI_GETDEVCAPS_HAS_VIDEO:
    case MCI_GETDEVCAPS_USES_FILES:
    case MCI_GETDEVCAPS_COMPOUND_DEVICE:
    case MCI_GETDEVCAPS_CAN_SAVE:
        return truth(reply, FALSE);
    }
    return MCIERR_UNSUPPORTED_FUNCTION;
}

DWORD info(DWORD flags, MCI_INFO_PARMSW* parameters) {
    wchar_t text[64];
    if (flags & MCI_INFO_PRODUCT) {
        lstrcpyW(text, L"Drovix virtual CD drive");
    } else if (flags & MCI_INFO_MEDIA_IDENTITY) {
        if (!drive.model.ready())
            return MCIERR_HARDWARE;
        swprintf(text, 64, L"%lu",
                 (unsigned long)(drive.model.disc.endFrame + drive.model.disc.trackCount * 1000000ul));
    } else {
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
    if (!parameters->lpstrReturn || parameters->dwRetSize == 0)
        return MCIERR_PARAM_OVERFLOW;
    lstrcpynW(parameters->lpstrReturn, text, (int)parameters->dwRetSize);
    return (DWORD)lstrlenW(text) >= parameters->dwRetSize ? MCIERR_PARAM_OVERFLOW : 0;
}

// A query that asked to be told is, once it has its answer (the low word
// of the result is the error).
DWORD toldWhenAnswered(int32_t slot, DWORD flags, uintptr_t callback, DWORD result) {
    if (LOWORD(result) == 0)
        drive.model.answered(slot, flags, callback);
    return result;
}

DWORD commandLeavingLock(int32_t slot, uint32_t serial, UINT message, DWORD flags, DWORD_PTR block) {
    if (!block && needsBlock(message, flags))
        return MCIERR_NULL_PARAMETER_BLOCK;
    uintptr_t callback = block && (flags & MCI_NOTIFY) ? (uintptr_t)((MCI_GENERIC_PARMS*)block)->dwCallback : 0;
    DriveModel& model = drive.model;
    DriveMode modeBefore = model.mode;
    uint32_t frameBefore = model.frame;
    DWORD result;
    switch (message) {
    case MCI_OPEN_DRIVER:
    case MCI_CLOSE_DRIVER:
        return 0;
    case MCI_STATUS:
        return toldWhenAnswered(slot, flags, callback, statusLeavingLock(slot, serial, flags, (MCI_STATUS_PARMS*)block));
    case MCI_GETDEVCAPS:
        return toldWhenAnswered(slot, flags, callback, deviceCaps(flags, (MCI_GETDEVCAPS_PARMS*)block));
    case MCI_INFO:
        return toldWhenAnswered(slot, flags, callback, info(flags, (MCI_INFO_PARMSW*)block));
    case MCI_PLAY: {
        MCI_PLAY_PARMS* play = (MCI_PLAY_PARMS*)block;
        result = model.play(slot, flags, play ? play->dwFrom : 0, play ? play->dwTo : 0, callback, played());
        if (result)
            return result;
        // A play from where a pause holds the sound goes on with what the
        // device holds, as a resume does: nothing lost, nothing twice.
        if (modeBefore == kDrivePaused && model.frame == frameBefore && drive.segment.keeper == kKeptBySound &&
            drive.audio.carryOn(model.playTo))
            resumeSegment();
        else
            startSegment();
        return 0;
    }
    case MCI_RESUME: {
        int paused = model.mode == kDrivePaused;
        result = model.resume(slot, flags, callback, 0);
        if (result == 0 && paused)
            resumeSegment();
        return result;
    }
    case MCI_PAUSE:
        // The device stops first: the position is then the last sample heard.
        if (drive.segment.keeper == kKeptBySound)
            drive.audio.pause();
        result = model.pause(slot, flags, callback, played());
        if (model.mode == kDrivePaused)
            return result;
        break;
    case MCI_STOP:
        result = model.stop(slot, flags, callback, played());
        break;
    case MCI_SEEK:
        result = model.seek(slot, flags, block ? ((MCI_SEEK_PARMS*)block)->dwTo : 0, callback, played());
        break;
    case MCI_SET: {
        int doorWasOpen = model.doorOpen;
        result = model.set(slot, flags, block ? ((MCI_SET_PARMS*)block)->dwTimeFormat : 0, callback, played());
        // vdrivectl show tells where the door stands.
        if (doorWasOpen != model.doorOpen)
            writeDoor(model.doorOpen);
        // A closed door: the drive reads whatever disc is in it now.
        if (result == 0 && doorWasOpen && !model.doorOpen)
            loadDiscLeavingLock();
        break;
    }
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    // The sound follows a play that halted or moved.
    if (model.mode != modeBefore || model.frame != frameBefore)
        endSegment();
    return result;
}

} // namespace

int drivePlaying() {
    EnterCriticalSection(&drive.lock);
    int playing = drive.model.mode == kDrivePlaying;
    LeaveCriticalSection(&drive.lock);
    return playing;
}

LRESULT driveCommand(DWORD_PTR driverId, UINT message, DWORD flags, DWORD_PTR block, int waitHere) {
    Outbox outbox = {};
    char logPath[sizeof drive.control.logPath];
    EnterCriticalSection(&drive.lock);
    memcpy(logPath, drive.control.logPath, sizeof logPath);
    LeaveCriticalSection(&drive.lock);
    if (logPath[0]) {
        char line[160];
        logLine(message, flags, block, line, sizeof line);
        appendLog(logPath, "%s", line);
    }
    EnterCriticalSection(&drive.lock);
    int32_t slot = slotOf(driverId);
    if (slot < 0) {
        LeaveCriticalSection(&drive.lock);
        return MCIERR_INVALID_DEVICE_ID;
    }
    uint32_t serial = drive.slotSerials[slot];
    DWORD result = commandLeavingLock(slot, serial, message, flags, block);
    // A command that left the lock may find its open closed meanwhile.
    if (!stillOpen(slot, serial))
        result = MCIERR_INVALID_DEVICE_ID;
    outbox.collect();
    publishSnapshot();
    MCIDEVICEID deviceId = drive.deviceIds[slot];
    LeaveCriticalSection(&drive.lock);
    outbox.send();
    if (waitHere && LOWORD(result) == 0 && (flags & MCI_WAIT) && (message == MCI_PLAY || message == MCI_RESUME))
        result = waitForPlayEnd(deviceId, drivePlaying);
    return result;
}

extern "C" LRESULT CALLBACK coreDriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM parameter1,
                                          LPARAM parameter2) {
    switch (message) {
    case DRV_LOAD:
        return loadDriver();
    case DRV_FREE:
        return freeDriver();
    case DRV_OPEN:
        return openDriver((MCI_OPEN_DRIVER_PARMS*)parameter2, GetCurrentProcessId());
    case DRV_CLOSE:
        closeDriver(driverId);
        return 1;
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_QUERYCONFIGURE:
        return message == DRV_QUERYCONFIGURE ? 0 : 1;
    case DRV_CONFIGURE:
    case DRV_INSTALL:
    case DRV_REMOVE:
        return DRVCNF_OK;
    }
    if (message < DRV_MCI_FIRST || message > DRV_MCI_LAST)
        return DefDriverProc(driverId, 0, message, parameter1, parameter2);
    return driveCommand(driverId, message, (DWORD)parameter1, (DWORD_PTR)parameter2, 1);
}
