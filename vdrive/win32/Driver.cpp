// The virtual CD drive as an MCI "cdaudio" driver. One drive, shared by
// every open of the device; each open has its own time format. The drive's
// own thread keeps the play going (audio through waveOut, or the clock
// alone) and sends the completion through mciDriverNotify; it never calls
// an MCI function.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <stdio.h>
#include <string.h>

#include "../CueSheet.h"
#include "Control.h"
#include "ImageFiles.h"

extern "C" BOOL WINAPI mciDriverNotify(HWND callback, MCIDEVICEID deviceId, UINT status);

namespace {

const int kMaxOpens = 16;

struct Open {
    int used;
    MCIDEVICEID deviceId;
    DWORD timeFormat;
};

enum DriveMode { kDriveStopped, kDrivePlaying, kDrivePaused };

struct Drive {
    CRITICAL_SECTION lock;
    HANDLE thread;
    HANDLE wake;
    int quit;
    int loaded;
    VirtualDisc disc;
    DriveControl control;
    int doorOpen;
    int mediaPresent;
    // While another disc goes in: when the drive holds it (GetTickCount).
    int trayMoving;
    DWORD trayClosesAt;
    DriveMode mode;
    uint32_t frame;      // position when not playing; start of the play when playing
    uint32_t playTo;     // exclusive
    LONGLONG playStartedAt;
    // The pending completion of a notifying play.
    HWND notifyWindow;
    MCIDEVICEID notifyDevice;
    int notifyPending;
    // A new play for the audio thread to start streaming.
    uint32_t playGeneration;
    Open opens[kMaxOpens];
};

Drive drive;

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

// Where the play stands now, in frames, on the drive's clock.
uint32_t playingFrame() {
    LONGLONG elapsed = clockTicks() - drive.playStartedAt;
    LONGLONG frames = elapsed * kFramesPerSecond * drive.control.speed / clockRate();
    LONGLONG frame = drive.frame + frames;
    return frame >= drive.playTo ? drive.playTo : (uint32_t)frame;
}

uint32_t currentFrame() { return drive.mode == kDrivePlaying ? playingFrame() : drive.frame; }

void notify(HWND window, MCIDEVICEID device, UINT status) {
    if (window)
        mciDriverNotify(window, device, status);
}

// A pending completion ends: superseded by a new play, or aborted.
void endPendingNotify(UINT status) {
    if (drive.notifyPending) {
        drive.notifyPending = 0;
        controlLog(&drive.control, "notify %s", status == MCI_NOTIFY_SUPERSEDED ? "superseded" : "aborted");
        notify(drive.notifyWindow, drive.notifyDevice, status);
    }
}

void haltPlay() {
    if (drive.mode == kDrivePlaying)
        drive.frame = playingFrame();
    drive.mode = kDriveStopped;
    drive.playGeneration++;
}

// The play has reached its "to" position: the head stands there, and a
// notifying play completes, once, whoever notices the end first.
void finishPlay() {
    drive.frame = drive.playTo;
    drive.mode = kDriveStopped;
    drive.playGeneration++;
    if (drive.notifyPending) {
        drive.notifyPending = 0;
        controlLog(&drive.control, "notify successful");
        notify(drive.notifyWindow, drive.notifyDevice, MCI_NOTIFY_SUCCESSFUL);
    }
}

// Reads which disc the control says is in the drive.
void loadDisc() {
    readControl(&drive.control);
    drive.loaded = 1;
    drive.mediaPresent = 0;
    drive.frame = 0;
    if (!drive.control.media) {
        controlState(&drive.control, "no media: the drive is empty");
        return;
    }
    char reason[300], state[400];
    if (loadImage(drive.control.image, &drive.disc, reason, sizeof reason)) {
        drive.mediaPresent = 1;
        snprintf(state, sizeof state, "disc: %s, %d tracks, %u frames",
                 drive.control.image[0] ? drive.control.image : "demo", (int)drive.disc.trackCount,
                 (unsigned)drive.disc.endFrame);
    } else {
        snprintf(state, sizeof state, "no media: %s: %s", drive.control.image, reason);
    }
    controlState(&drive.control, state);
}

// A test or a user may change the disc at any time; the drive looks when
// asked whether it holds one. One disc put in place of another goes as
// through a real tray: out at once, the drive empty for two seconds of real
// time whatever its speed, so that a player sees the change, then the new
// disc in.
const DWORD kTrayMs = 2000;

void followControl() {
    DriveControl now;
    readControl(&now);
    if (now.media != drive.control.media || strcmp(now.image, drive.control.image) != 0) {
        haltPlay();
        endPendingNotify(MCI_NOTIFY_ABORTED);
        if (drive.mediaPresent && now.media) {
            drive.mediaPresent = 0;
            drive.trayMoving = 1;
            drive.trayClosesAt = GetTickCount() + kTrayMs;
            drive.control.media = now.media;
            memcpy(drive.control.image, now.image, sizeof now.image);
            controlLog(&drive.control, "tray: another disc goes in");
        } else {
            drive.trayMoving = 0;
            loadDisc();
        }
    } else if (drive.trayMoving && (LONG)(GetTickCount() - drive.trayClosesAt) >= 0) {
        drive.trayMoving = 0;
        loadDisc();
    }
    drive.control.speed = now.speed;
    memcpy(drive.control.logPath, now.logPath, sizeof now.logPath);
}

int ready() { return drive.mediaPresent && !drive.doorOpen; }

// ---- Time formats ---------------------------------------------------------------

DWORD positionIn(DWORD format, uint32_t frame) {
    switch (format) {
    case MCI_FORMAT_MSF: return packMsf(frame + kLeadInFrames);
    case MCI_FORMAT_MILLISECONDS: return (DWORD)((frame + kLeadInFrames) * 1000ull / kFramesPerSecond);
    default: return packTmsf(drive.disc, frame);
    }
}

DWORD lengthIn(DWORD format, uint32_t frames) {
    if (format == MCI_FORMAT_MILLISECONDS)
        return (DWORD)(frames * 1000ull / kFramesPerSecond);
    return packMsf(frames);
}

// A position given in the open's format; 0 when it is not on the disc.
int frameOf(DWORD format, DWORD value, uint32_t* frame) {
    int valid = 1;
    uint32_t absolute;
    switch (format) {
    case MCI_FORMAT_MSF:
        absolute = unpackMsf(value);
        valid = absolute >= kLeadInFrames;
        *frame = absolute - kLeadInFrames;
        break;
    case MCI_FORMAT_MILLISECONDS:
        absolute = (uint32_t)((uint64_t)value * kFramesPerSecond / 1000);
        valid = absolute >= kLeadInFrames;
        *frame = absolute - kLeadInFrames;
        break;
    default:
        *frame = unpackTmsf(drive.disc, value, &valid);
        break;
    }
    return valid && *frame <= drive.disc.endFrame;
}

// ---- Answers ----------------------------------------------------------------------

// A reply in the form a real cdaudio driver gives: the value that command
// clients read stays in the low word, and the flags tell the platform's MCI
// parser how to put it into words for string clients.
// (MCI_STATUS answers in a DWORD_PTR, MCI_GETDEVCAPS in a DWORD.)
template <typename Reply> DWORD word(Reply* reply, WORD value, WORD text) {
    *reply = MAKEMCIRESOURCE(value, text);
    return MCI_RESOURCE_RETURNED;
}

template <typename Reply> DWORD truth(Reply* reply, int value) { return word(reply, value ? TRUE : FALSE, value ? MCI_TRUE : MCI_FALSE); }

// A word of the driver's own string table ("audio", "other").
DWORD driverWord(DWORD_PTR* reply, WORD value) { return word(reply, value, value) | MCI_RESOURCE_DRIVER; }

// Minutes, seconds and frames as "mm:ss:ff"; with the track, "tt:mm:ss:ff".
DWORD timeValue(DWORD_PTR* reply, DWORD format, DWORD value, int withTrack) {
    *reply = value;
    if (format == MCI_FORMAT_MILLISECONDS)
        return 0;
    return withTrack && format == MCI_FORMAT_TMSF ? MCI_COLONIZED4_RETURN : MCI_COLONIZED3_RETURN;
}

// ---- The commands ---------------------------------------------------------------

DWORD status(Open* open, DWORD flags, MCI_STATUS_PARMS* parameters) {
    if (!(flags & MCI_STATUS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    DWORD format = open->timeFormat;
    int withTrack = (flags & MCI_TRACK) != 0;
    int32_t track = (int32_t)parameters->dwTrack;
    DWORD_PTR* reply = &parameters->dwReturn;
    switch (parameters->dwItem) {
    case MCI_STATUS_MEDIA_PRESENT:
        followControl();
        return truth(reply, ready());
    case MCI_STATUS_READY:
        return truth(reply, ready());
    case MCI_STATUS_MODE: {
        followControl();
        if (drive.mode == kDrivePlaying && playingFrame() >= drive.playTo)
            finishPlay();
        WORD mode = drive.doorOpen                   ? MCI_MODE_OPEN
                    : !drive.mediaPresent            ? MCI_MODE_NOT_READY
                    : drive.mode == kDrivePlaying    ? MCI_MODE_PLAY
                    : drive.mode == kDrivePaused     ? MCI_MODE_PAUSE
                                                     : MCI_MODE_STOP;
        return word(reply, mode, mode);
    }
    case MCI_STATUS_TIME_FORMAT:
        return word(reply, (WORD)format, (WORD)(MCI_FORMAT_RETURN_BASE + format));
    }
    if (!ready())
        return MCIERR_HARDWARE;
    if (withTrack && (track < 1 || track > drive.disc.trackCount))
        return MCIERR_OUTOFRANGE;
    switch (parameters->dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
        *reply = (DWORD)drive.disc.trackCount;
        return 0;
    case MCI_STATUS_LENGTH:
        // A length is minutes, seconds and frames in TMSF too.
        return timeValue(reply, format, lengthIn(format, drive.disc.reportedLength(withTrack ? track : 0)), 0);
    case MCI_STATUS_POSITION:
        if (flags & MCI_STATUS_START)
            return timeValue(reply, format, positionIn(format, 0), 1);
        if (withTrack)
            return timeValue(reply, format, positionIn(format, drive.disc.trackStart[track]), 1);
        return timeValue(reply, format, positionIn(format, currentFrame()), 1);
    case MCI_STATUS_CURRENT_TRACK:
        *reply = (DWORD)drive.disc.trackAt(currentFrame());
        return 0;
    case MCI_CDA_STATUS_TYPE_TRACK:
        if (!withTrack)
            return MCIERR_MISSING_PARAMETER;
        return driverWord(reply, drive.disc.audioTrack[track] ? MCI_CDA_TRACK_AUDIO : MCI_CDA_TRACK_OTHER);
    }
    return MCIERR_UNSUPPORTED_FUNCTION;
}

DWORD startPlay(Open* open, DWORD flags, MCI_PLAY_PARMS* parameters, int resume) {
    if (!ready())
        return MCIERR_HARDWARE;
    uint32_t from = currentFrame(), to = drive.disc.endFrame;
    if (resume)
        to = drive.mode == kDrivePaused ? drive.playTo : to;
    if ((flags & MCI_FROM) && !frameOf(open->timeFormat, parameters->dwFrom, &from))
        return MCIERR_OUTOFRANGE;
    if ((flags & MCI_TO) && !frameOf(open->timeFormat, parameters->dwTo, &to))
        return MCIERR_OUTOFRANGE;
    if (from > to)
        return MCIERR_OUTOFRANGE;
    endPendingNotify(MCI_NOTIFY_SUPERSEDED);
    drive.frame = from;
    drive.playTo = to;
    drive.mode = kDrivePlaying;
    drive.playStartedAt = clockTicks();
    drive.playGeneration++;
    if (flags & MCI_NOTIFY) {
        drive.notifyPending = 1;
        drive.notifyWindow = (HWND)parameters->dwCallback;
        drive.notifyDevice = open->deviceId;
    }
    SetEvent(drive.wake);
    return 0;
}

DWORD seek(Open* open, DWORD flags, MCI_SEEK_PARMS* parameters) {
    if (!ready())
        return MCIERR_HARDWARE;
    uint32_t to;
    if (flags & MCI_SEEK_TO_START)
        to = 0;
    else if (flags & MCI_SEEK_TO_END)
        to = drive.disc.endFrame;
    else if (!(flags & MCI_TO))
        return MCIERR_MISSING_PARAMETER;
    else if (!frameOf(open->timeFormat, parameters->dwTo, &to))
        return MCIERR_OUTOFRANGE;
    haltPlay();
    endPendingNotify(MCI_NOTIFY_ABORTED);
    drive.frame = to;
    return 0;
}

DWORD set(Open* open, DWORD flags, MCI_SET_PARMS* parameters) {
    if (flags & MCI_SET_TIME_FORMAT) {
        DWORD format = parameters->dwTimeFormat;
        if (format != MCI_FORMAT_TMSF && format != MCI_FORMAT_MSF && format != MCI_FORMAT_MILLISECONDS)
            return MCIERR_BAD_TIME_FORMAT;
        open->timeFormat = format;
    }
    if (flags & (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED)) {
        haltPlay();
        endPendingNotify(MCI_NOTIFY_ABORTED);
        drive.doorOpen = (flags & MCI_SET_DOOR_OPEN) != 0;
        if (!drive.doorOpen)
            loadDisc();
        drive.frame = 0;
    }
    return 0;
}

DWORD deviceCaps(DWORD flags, MCI_GETDEVCAPS_PARMS* parameters) {
    if (!(flags & MCI_GETDEVCAPS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    DWORD* reply = &parameters->dwReturn;
    switch (parameters->dwItem) {
    case MCI_GETDEVCAPS_DEVICE_TYPE: return word(reply, MCI_DEVTYPE_CD_AUDIO, MCI_DEVTYPE_CD_AUDIO);
    case MCI_GETDEVCAPS_HAS_AUDIO:
    case MCI_GETDEVCAPS_CAN_EJECT:
    case MCI_GETDEVCAPS_CAN_PLAY: return truth(reply, TRUE);
    case MCI_GETDEVCAPS_CAN_RECORD:
    case MCI_GETDEVCAPS_HAS_VIDEO:
    case MCI_GETDEVCAPS_USES_FILES:
    case MCI_GETDEVCAPS_COMPOUND_DEVICE:
    case MCI_GETDEVCAPS_CAN_SAVE: return truth(reply, FALSE);
    }
    return MCIERR_UNSUPPORTED_FUNCTION;
}

DWORD info(DWORD flags, MCI_INFO_PARMSW* parameters) {
    wchar_t text[64];
    if (flags & MCI_INFO_PRODUCT) {
        lstrcpyW(text, L"Drovix virtual CD drive");
    } else if (flags & MCI_INFO_MEDIA_IDENTITY) {
        if (!ready())
            return MCIERR_HARDWARE;
        swprintf(text, 64, L"%lu", (unsigned long)(drive.disc.endFrame + drive.disc.trackCount * 1000000ul));
    } else {
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
    if (!parameters->lpstrReturn || parameters->dwRetSize == 0)
        return MCIERR_PARAM_OVERFLOW;
    lstrcpynW(parameters->lpstrReturn, text, (int)parameters->dwRetSize);
    return (DWORD)lstrlenW(text) >= parameters->dwRetSize ? MCIERR_PARAM_OVERFLOW : 0;
}

void logCommand(const char* name, DWORD flags, const DWORD* values, int count) {
    char line[160];
    int length = snprintf(line, sizeof line, "%s flags=0x%08lx", name, (unsigned long)flags);
    for (int i = 0; i < count && length < (int)sizeof line; i++)
        length += snprintf(line + length, sizeof line - length, " 0x%08lx", (unsigned long)values[i]);
    controlLog(&drive.control, "%s", line);
}

// Logs a command with the fields of its parameter block that its flags use.
void logReceived(UINT message, DWORD flags, DWORD_PTR block) {
    DWORD values[4];
    switch (message) {
    case MCI_OPEN_DRIVER: logCommand("MCI_OPEN", flags, values, 0); break;
    case MCI_CLOSE_DRIVER: logCommand("MCI_CLOSE", flags, values, 0); break;
    case MCI_SET:
        values[0] = block ? ((MCI_SET_PARMS*)block)->dwTimeFormat : 0;
        logCommand("MCI_SET", flags, values, flags & MCI_SET_TIME_FORMAT ? 1 : 0);
        break;
    case MCI_STATUS:
        values[0] = block ? ((MCI_STATUS_PARMS*)block)->dwItem : 0;
        values[1] = block ? ((MCI_STATUS_PARMS*)block)->dwTrack : 0;
        logCommand("MCI_STATUS", flags, values, flags & MCI_TRACK ? 2 : 1);
        break;
    case MCI_PLAY: {
        MCI_PLAY_PARMS* play = (MCI_PLAY_PARMS*)block;
        values[0] = play ? play->dwFrom : 0;
        values[1] = play ? play->dwTo : 0;
        values[2] = play ? (DWORD)play->dwCallback : 0;
        logCommand("MCI_PLAY", flags, values, 3);
        break;
    }
    case MCI_SEEK:
        values[0] = block ? ((MCI_SEEK_PARMS*)block)->dwTo : 0;
        logCommand("MCI_SEEK", flags, values, flags & MCI_TO ? 1 : 0);
        break;
    case MCI_PAUSE: logCommand("MCI_PAUSE", flags, values, 0); break;
    case MCI_RESUME: logCommand("MCI_RESUME", flags, values, 0); break;
    case MCI_STOP: logCommand("MCI_STOP", flags, values, 0); break;
    default:
        values[0] = message;
        logCommand("MCI_OTHER", flags, values, 1);
        break;
    }
}

DWORD command(Open* open, UINT message, DWORD flags, DWORD_PTR block) {
    logReceived(message, flags, block);
    DWORD result;
    switch (message) {
    case MCI_OPEN_DRIVER:
    case MCI_CLOSE_DRIVER: result = 0; break;
    case MCI_STATUS: result = block ? status(open, flags, (MCI_STATUS_PARMS*)block) : MCIERR_NULL_PARAMETER_BLOCK; break;
    case MCI_PLAY: {
        MCI_PLAY_PARMS none = {};
        result = startPlay(open, flags, block ? (MCI_PLAY_PARMS*)block : &none, 0);
        return result;
    }
    case MCI_RESUME: {
        MCI_PLAY_PARMS parameters = {};
        if (block)
            parameters.dwCallback = ((MCI_GENERIC_PARMS*)block)->dwCallback;
        result = drive.mode == kDrivePaused ? startPlay(open, flags & MCI_NOTIFY, &parameters, 1) : 0;
        return result;
    }
    case MCI_PAUSE:
        if (drive.mode == kDrivePlaying) {
            drive.frame = playingFrame();
            drive.mode = kDrivePaused;
            drive.playGeneration++;
        }
        endPendingNotify(MCI_NOTIFY_ABORTED);
        result = 0;
        break;
    case MCI_STOP:
        haltPlay();
        endPendingNotify(MCI_NOTIFY_ABORTED);
        result = 0;
        break;
    case MCI_SEEK: result = seek(open, flags, (MCI_SEEK_PARMS*)block); break;
    case MCI_SET: result = set(open, flags, (MCI_SET_PARMS*)block); break;
    case MCI_GETDEVCAPS: result = block ? deviceCaps(flags, (MCI_GETDEVCAPS_PARMS*)block) : MCIERR_NULL_PARAMETER_BLOCK; break;
    case MCI_INFO: result = block ? info(flags, (MCI_INFO_PARMSW*)block) : MCIERR_NULL_PARAMETER_BLOCK; break;
    default: result = MCIERR_UNRECOGNIZED_COMMAND; break;
    }
    // Any other command that asks for a notification has finished now; the
    // high word only says how its answer reads.
    if (LOWORD(result) == 0 && (flags & MCI_NOTIFY) && block)
        notify((HWND)((MCI_GENERIC_PARMS*)block)->dwCallback, open->deviceId, MCI_NOTIFY_SUCCESSFUL);
    return result;
}

// ---- The drive's thread -----------------------------------------------------------

DWORD WINAPI driveThread(void*) {
    AudioOut audio = AudioOut();
    uint32_t streaming = 0xFFFFFFFF;
    for (;;) {
        WaitForSingleObject(drive.wake, audio.open ? 10 : 20);
        EnterCriticalSection(&drive.lock);
        if (drive.quit) {
            LeaveCriticalSection(&drive.lock);
            break;
        }
        if (drive.mode == kDrivePlaying) {
            uint32_t now = playingFrame();
            if (streaming != drive.playGeneration) {
                streaming = drive.playGeneration;
                audio.start(&drive.disc, drive.frame, drive.playTo, drive.control.speed == 1);
            }
            audio.feed();
            if (now >= drive.playTo)
                finishPlay();
        } else if (streaming != drive.playGeneration) {
            streaming = drive.playGeneration;
            audio.stop();
        }
        LeaveCriticalSection(&drive.lock);
    }
    audio.stop();
    return 0;
}

LRESULT openDriver(MCI_OPEN_DRIVER_PARMS* parameters) {
    EnterCriticalSection(&drive.lock);
    int slot = 0;
    while (slot < kMaxOpens && drive.opens[slot].used)
        slot++;
    if (slot == kMaxOpens) {
        LeaveCriticalSection(&drive.lock);
        return 0;
    }
    if (!drive.loaded)
        loadDisc();
    drive.opens[slot] = Open{1, parameters ? parameters->wDeviceID : (MCIDEVICEID)0, MCI_FORMAT_MSF};
    if (parameters) {
        parameters->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
        parameters->wType = MCI_DEVTYPE_CD_AUDIO;
    }
    if (!drive.thread) {
        // A drive freed and loaded again without leaving memory starts anew.
        drive.quit = 0;
        drive.wake = CreateEventA(0, FALSE, FALSE, 0);
        drive.thread = CreateThread(0, 0, driveThread, 0, 0, 0);
    }
    LeaveCriticalSection(&drive.lock);
    return slot + 1;
}

} // namespace

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM parameter1, LPARAM parameter2) {
    switch (message) {
    case DRV_LOAD:
        InitializeCriticalSection(&drive.lock);
        return 1;
    case DRV_FREE:
        if (drive.thread) {
            EnterCriticalSection(&drive.lock);
            drive.quit = 1;
            LeaveCriticalSection(&drive.lock);
            SetEvent(drive.wake);
            WaitForSingleObject(drive.thread, 5000);
            CloseHandle(drive.thread);
            CloseHandle(drive.wake);
            drive.thread = 0;
        }
        DeleteCriticalSection(&drive.lock);
        return 1;
    case DRV_OPEN:
        return openDriver((MCI_OPEN_DRIVER_PARMS*)parameter2);
    case DRV_CLOSE:
        EnterCriticalSection(&drive.lock);
        if (driverId >= 1 && driverId <= kMaxOpens)
            drive.opens[driverId - 1].used = 0;
        LeaveCriticalSection(&drive.lock);
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
    if (driverId < 1 || driverId > kMaxOpens || !drive.opens[driverId - 1].used)
        return MCIERR_INVALID_DEVICE_ID;
    EnterCriticalSection(&drive.lock);
    DWORD result = command(&drive.opens[driverId - 1], message, (DWORD)parameter1, (DWORD_PTR)parameter2);
    LeaveCriticalSection(&drive.lock);
    return result;
}
