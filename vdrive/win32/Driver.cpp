// The virtual CD drive as an MCI "cdaudio" driver: DriverProc calls decoded
// into the drive model's commands. One drive, shared by every open of the
// device. The drive's own thread keeps the play going (audio through
// waveOut, or the clock alone) and finishes it; notifications go out
// through mciDriverNotify after the drive's lock is left. It never calls an
// MCI function.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <stdio.h>
#include <string.h>

#include "../CueSheet.h"
#include "../DriveModel.h"
#include "AudioOut.h"
#include "Control.h"
#include "ImageFiles.h"

extern "C" BOOL WINAPI mciDriverNotify(HWND callback, MCIDEVICEID deviceId, UINT status);
extern "C" UINT WINAPI mciDriverYield(MCIDEVICEID deviceId);

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

struct Drive {
    CRITICAL_SECTION lock;
    int lockReady;
    HANDLE thread;
    HANDLE wake;
    uint32_t threadGeneration; // a thread runs while it is the one it began with
    uint32_t looks;            // every reading of the disc
    int loaded;
    DriveModel model;
    MCIDEVICEID deviceIds[DriveModel::kMaxOpens];
    DriveControl control;
    // While another disc goes in: when the drive holds it (GetTickCount).
    int trayMoving;
    DWORD trayClosesAt;
    // The clock of the play segment under way, when no sound keeps time.
    LONGLONG playStartedAt;
    // Counts every start and every halt of a play, for the thread.
    uint32_t playGeneration;
    // The sound: it keeps time while it sounds. A play waits for the device
    // at its start (spinning up), and a device that fails hands the time
    // back to the clock.
    AudioOut audio;
    HANDLE bufferDone;
    int sounding;
    int spinningUp;
    uint64_t soundBase; // samples played when the segment began
    uint64_t soundFrames; // frames of the segment the sound had played, last read
    DWORD silentSince;  // GetTickCount when the drive last stopped sounding
    // The control key is read again only when it has changed: the thread
    // watches it and marks it so.
    HKEY controlKey;
    HANDLE controlChanged; // manual reset: set while a change is unread
    int controlDirty;
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

uint64_t clockFrames() {
    LONGLONG elapsed = clockTicks() - drive.playStartedAt;
    return (uint64_t)(elapsed * kFramesPerSecond * drive.control.speed / clockRate());
}

// The sound fails: the clock takes over where the sound stood, so the
// position goes on from what was heard and the play ends on time.
void soundFailed(const char* what) {
    controlLog(&drive.control, "sound: %s; the drive keeps time by its clock", what);
    drive.sounding = 0;
    drive.audio.silence();
    drive.playStartedAt =
        clockTicks() - (LONGLONG)(drive.soundFrames * clockRate() / (kFramesPerSecond * drive.control.speed));
}

// The frames the play segment under way has played: the samples the device
// has played while it sounds, nothing while it spins up, else the clock.
uint64_t played() {
    if (drive.model.mode != kDrivePlaying || drive.spinningUp)
        return 0;
    if (!drive.sounding)
        return clockFrames();
    uint64_t samples;
    if (drive.audio.samplesPlayed(&samples)) {
        drive.soundFrames = samples > drive.soundBase ? (samples - drive.soundBase) / kSamplesPerFrame : 0;
        return drive.soundFrames;
    }
    soundFailed("the device no longer tells its position");
    return clockFrames();
}

// The sound of the play from the head on, on an open device.
void soundFromHead() {
    drive.soundBase = drive.audio.begin(&drive.model.disc, drive.model.frame, drive.model.playTo);
    drive.soundFrames = 0;
    drive.sounding = 1;
}

// A play begins: with sound at normal speed, at once on an open device or
// after the thread has opened one; else on the clock.
void startSegment() {
    int wasSounding = drive.sounding;
    drive.playStartedAt = clockTicks();
    drive.playGeneration++;
    drive.sounding = drive.spinningUp = 0;
    if (drive.control.speed == 1) {
        if (drive.audio.device)
            soundFromHead();
        else
            drive.spinningUp = 1;
    } else if (wasSounding) {
        drive.audio.silence();
    }
    SetEvent(drive.wake);
}

// The drive stopped sounding: the thread closes the device once what it
// still holds has been heard.
const DWORD kLingerMs = 1000;

void fallSilent() {
    drive.sounding = drive.spinningUp = 0;
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
    if (drive.sounding)
        drive.audio.silence();
    fallSilent();
    SetEvent(drive.wake);
}

// The notifications the model queued, sent once the lock is left.
struct Outbox {
    DriveEvent events[DriveModel::kMaxEvents];
    MCIDEVICEID devices[DriveModel::kMaxEvents];
    int32_t count;
    char logPath[sizeof drive.control.logPath];

    void collect() {
        int32_t more = drive.model.takeEvents(events + count);
        for (int32_t i = count; i < count + more; i++)
            devices[i] = drive.deviceIds[events[i].open];
        count += more;
        memcpy(logPath, drive.control.logPath, sizeof logPath);
    }
    void send() {
        for (int32_t i = 0; i < count; i++) {
            appendLog(logPath, "notify %s",
                      events[i].code == MCI_NOTIFY_SUCCESSFUL   ? "successful"
                      : events[i].code == MCI_NOTIFY_SUPERSEDED ? "superseded"
                                                                : "aborted");
            if (events[i].callback)
                mciDriverNotify((HWND)events[i].callback, devices[i], events[i].code);
        }
        count = 0;
    }
};

// Reads which disc the control says is in the drive. The slow parts (the
// key, the image's files, the state written back) run outside the drive's
// lock, which the caller holds once; meanwhile the drive holds no disc, as a
// drive does while it reads one. When another look began meanwhile, its
// disc stands.
VirtualDisc staging;
CRITICAL_SECTION stagingLock; // one image read at a time

void loadDisc() {
    uint32_t look = ++drive.looks;
    drive.loaded = 1;
    drive.model.insert(0);
    endSegment();
    LeaveCriticalSection(&drive.lock);

    DriveControl control;
    readControl(&control);
    char reason[300] = "", state[400];
    EnterCriticalSection(&stagingLock);
    int loaded = 0;
    if (!control.media)
        snprintf(state, sizeof state, "no media: the drive is empty");
    else if (control.imageUnreadable)
        snprintf(state, sizeof state, "no media: the Image value is not a path the drive can take (too long, or not text)");
    else if ((loaded = loadImage(control.image, &staging, reason, sizeof reason)))
        snprintf(state, sizeof state, "disc: %s, %d tracks, %u frames", control.image[0] ? control.image : "demo",
                 (int)staging.trackCount, (unsigned)staging.endFrame);
    else
        snprintf(state, sizeof state, "no media: %s: %s", control.image, reason);
    controlState(&control, state);

    EnterCriticalSection(&drive.lock);
    if (look == drive.looks) {
        drive.control = control;
        if (loaded)
            drive.model.disc = staging;
        drive.model.insert(loaded);
    }
    LeaveCriticalSection(&stagingLock);
}

// A test or a user may change the disc at any time; the drive looks when
// asked whether it holds one. One disc put in place of another goes as
// through a real tray: out at once, the drive empty for two seconds of real
// time whatever its speed, so that a player sees the change, then the new
// disc in.
const DWORD kTrayMs = 2000;

// The tray closes on the new disc once its time is up.
void closeTrayWhenDue() {
    if (drive.trayMoving && (LONG)(GetTickCount() - drive.trayClosesAt) >= 0) {
        drive.trayMoving = 0;
        loadDisc();
    }
}

int controlUnread() {
    return drive.controlDirty || !drive.controlChanged || WaitForSingleObject(drive.controlChanged, 0) == WAIT_OBJECT_0;
}

void followControl() {
    if (!controlUnread()) {
        closeTrayWhenDue();
        return;
    }
    drive.controlDirty = 0;
    DriveControl now;
    LeaveCriticalSection(&drive.lock);
    readControl(&now);
    EnterCriticalSection(&drive.lock);
    if (now.media != drive.control.media || strcmp(now.image, drive.control.image) != 0 ||
        now.imageUnreadable != drive.control.imageUnreadable) {
        if (drive.model.mediaPresent && now.media) {
            drive.model.insert(0);
            endSegment();
            drive.trayMoving = 1;
            drive.trayClosesAt = GetTickCount() + kTrayMs;
            drive.control.media = now.media;
            drive.control.imageUnreadable = now.imageUnreadable;
            memcpy(drive.control.image, now.image, sizeof now.image);
            controlLog(&drive.control, "tray: another disc goes in");
        } else {
            drive.trayMoving = 0;
            loadDisc();
        }
    } else {
        closeTrayWhenDue();
    }
    if (now.speed != drive.control.speed) {
        // The position so far stands; the play goes on at the new speed.
        int playing = drive.model.mode == kDrivePlaying;
        drive.model.rebase(played());
        drive.control.speed = now.speed;
        if (playing)
            startSegment();
    }
    memcpy(drive.control.logPath, now.logPath, sizeof now.logPath);
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

// A status answer in the reply's words.
DWORD reply(DWORD_PTR* out, const StatusAnswer& answer) {
    switch (answer.kind) {
    case kAnswerWord: return word(out, (WORD)answer.value, (WORD)answer.value);
    case kAnswerTruth: return truth(out, answer.value);
    case kAnswerDriverWord: return driverWord(out, (WORD)answer.value);
    case kAnswerTime: *out = answer.value; return MCI_COLONIZED3_RETURN;
    case kAnswerTrackTime: *out = answer.value; return MCI_COLONIZED4_RETURN;
    default: *out = answer.value; return 0;
    }
}

// A paused play goes on: the device where it held, or the clock.
void resumeSegment() {
    drive.playStartedAt = clockTicks();
    if (drive.sounding) {
        uint64_t samples = 0;
        drive.audio.samplesPlayed(&samples);
        drive.soundBase = samples;
        drive.soundFrames = 0;
        drive.audio.restart();
    }
    SetEvent(drive.wake);
}

// ---- The commands ---------------------------------------------------------------

DWORD status(int32_t slot, DWORD flags, MCI_STATUS_PARMS* parameters) {
    DWORD item = (flags & MCI_STATUS_ITEM) ? parameters->dwItem : 0;
    if (item == MCI_STATUS_MEDIA_PRESENT || item == MCI_STATUS_MODE)
        followControl();
    StatusAnswer answer;
    DWORD result = drive.model.status(slot, flags, item, parameters->dwTrack, played(), &answer);
    if (result)
        return result;
    // The time format reads as its name.
    if (item == MCI_STATUS_TIME_FORMAT)
        return word(&parameters->dwReturn, (WORD)answer.value, (WORD)(MCI_FORMAT_RETURN_BASE + answer.value));
    return reply(&parameters->dwReturn, answer);
}

// Which flags of a command need its parameter block.
// Whether the command reads its parameter block with these flags: a query
// always does, also without a flag.
int needsBlock(UINT message, DWORD flags) {
    switch (message) {
    case MCI_PLAY: return (flags & (MCI_NOTIFY | MCI_FROM | MCI_TO)) != 0;
    case MCI_SEEK: return (flags & (MCI_NOTIFY | MCI_TO)) != 0;
    case MCI_SET: return (flags & (MCI_NOTIFY | MCI_SET_TIME_FORMAT)) != 0;
    case MCI_PAUSE:
    case MCI_RESUME:
    case MCI_STOP: return (flags & MCI_NOTIFY) != 0;
    case MCI_OPEN_DRIVER:
    case MCI_CLOSE_DRIVER: return 0;
    default: return 1;
    }
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
        if (!drive.model.ready())
            return MCIERR_HARDWARE;
        swprintf(text, 64, L"%lu", (unsigned long)(drive.model.disc.endFrame + drive.model.disc.trackCount * 1000000ul));
    } else {
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
    if (!parameters->lpstrReturn || parameters->dwRetSize == 0)
        return MCIERR_PARAM_OVERFLOW;
    lstrcpynW(parameters->lpstrReturn, text, (int)parameters->dwRetSize);
    return (DWORD)lstrlenW(text) >= parameters->dwRetSize ? MCIERR_PARAM_OVERFLOW : 0;
}

void logCommand(const char* path, const char* name, DWORD flags, const DWORD* values, int count) {
    char line[160];
    int length = snprintf(line, sizeof line, "%s flags=0x%08lx", name, (unsigned long)flags);
    for (int i = 0; i < count && length < (int)sizeof line; i++)
        length += snprintf(line + length, sizeof line - length, " 0x%08lx", (unsigned long)values[i]);
    appendLog(path, "%s", line);
}

// Logs a command with the fields of its parameter block that its flags use.
void logReceived(const char* path, UINT message, DWORD flags, DWORD_PTR block) {
    DWORD values[4];
    switch (message) {
    case MCI_OPEN_DRIVER: logCommand(path, "MCI_OPEN", flags, values, 0); break;
    case MCI_CLOSE_DRIVER: logCommand(path, "MCI_CLOSE", flags, values, 0); break;
    case MCI_SET:
        values[0] = block ? ((MCI_SET_PARMS*)block)->dwTimeFormat : 0;
        logCommand(path, "MCI_SET", flags, values, flags & MCI_SET_TIME_FORMAT ? 1 : 0);
        break;
    case MCI_STATUS:
        values[0] = block ? ((MCI_STATUS_PARMS*)block)->dwItem : 0;
        values[1] = block ? ((MCI_STATUS_PARMS*)block)->dwTrack : 0;
        logCommand(path, "MCI_STATUS", flags, values, flags & MCI_TRACK ? 2 : 1);
        break;
    case MCI_PLAY: {
        MCI_PLAY_PARMS* play = (MCI_PLAY_PARMS*)block;
        values[0] = play ? play->dwFrom : 0;
        values[1] = play ? play->dwTo : 0;
        values[2] = play ? (DWORD)play->dwCallback : 0;
        logCommand(path, "MCI_PLAY", flags, values, 3);
        break;
    }
    case MCI_SEEK:
        values[0] = block ? ((MCI_SEEK_PARMS*)block)->dwTo : 0;
        logCommand(path, "MCI_SEEK", flags, values, flags & MCI_TO ? 1 : 0);
        break;
    case MCI_PAUSE: logCommand(path, "MCI_PAUSE", flags, values, 0); break;
    case MCI_RESUME: logCommand(path, "MCI_RESUME", flags, values, 0); break;
    case MCI_STOP: logCommand(path, "MCI_STOP", flags, values, 0); break;
    default:
        values[0] = message;
        logCommand(path, "MCI_OTHER", flags, values, 1);
        break;
    }
}

DWORD command(int32_t slot, UINT message, DWORD flags, DWORD_PTR block) {
    if (!block && needsBlock(message, flags))
        return MCIERR_NULL_PARAMETER_BLOCK;
    uintptr_t callback = block && (flags & MCI_NOTIFY) ? (uintptr_t)((MCI_GENERIC_PARMS*)block)->dwCallback : 0;
    DriveModel& model = drive.model;
    DriveMode modeBefore = model.mode;
    uint32_t frameBefore = model.frame;
    DWORD result;
    switch (message) {
    case MCI_OPEN_DRIVER:
    case MCI_CLOSE_DRIVER: return 0;
    case MCI_STATUS: return status(slot, flags, (MCI_STATUS_PARMS*)block);
    case MCI_GETDEVCAPS: return deviceCaps(flags, (MCI_GETDEVCAPS_PARMS*)block);
    case MCI_INFO: return info(flags, (MCI_INFO_PARMSW*)block);
    case MCI_PLAY: {
        MCI_PLAY_PARMS* play = (MCI_PLAY_PARMS*)block;
        result = model.play(slot, flags, play ? play->dwFrom : 0, play ? play->dwTo : 0, callback, played());
        if (result)
            return result;
        // A play from where a pause holds the sound goes on with what the
        // device holds, as a resume does: nothing lost, nothing twice.
        if (modeBefore == kDrivePaused && model.frame == frameBefore && drive.sounding &&
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
        if (drive.sounding)
            drive.audio.pause();
        result = model.pause(slot, flags, callback, played());
        if (model.mode == kDrivePaused)
            return result;
        break;
    case MCI_STOP: result = model.stop(slot, flags, callback, played()); break;
    case MCI_SEEK: result = model.seek(slot, flags, block ? ((MCI_SEEK_PARMS*)block)->dwTo : 0, callback, played()); break;
    case MCI_SET: {
        int doorWasOpen = model.doorOpen;
        result = model.set(slot, flags, block ? ((MCI_SET_PARMS*)block)->dwTimeFormat : 0, callback, played());
        // A closed door: the drive reads whatever disc is in it now.
        if (result == 0 && doorWasOpen && !model.doorOpen)
            loadDisc();
        break;
    }
    default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
    // The sound follows a play that halted or moved.
    if (model.mode != modeBefore || model.frame != frameBefore)
        endSegment();
    return result;
}

// A play or resume with MCI_WAIT returns when the play has ended, or when
// the user breaks the wait (the platform's break key).
void waitForPlayEnd(MCIDEVICEID deviceId) {
    for (;;) {
        EnterCriticalSection(&drive.lock);
        int playing = drive.model.mode == kDrivePlaying;
        LeaveCriticalSection(&drive.lock);
        if (!playing || mciDriverYield(deviceId))
            return;
        Sleep(20);
    }
}

// ---- The drive's thread -----------------------------------------------------------

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
    if (generation != drive.playGeneration || !drive.spinningUp)
        return; // the play changed meanwhile
    drive.spinningUp = 0;
    drive.playStartedAt = clockTicks();
    if (!drive.audio.device) {
        controlLog(&drive.control, "sound: %s", reason);
        return;
    }
    soundFromHead();
}

// How long the thread may sleep: until a play on the clock ends, or until
// something happens (a command, a buffer done).
DWORD sleepTime() {
    DriveModel& model = drive.model;
    if (model.mode == kDriveStopped && drive.audio.device)
        return lingerLeft();
    if (model.mode != kDrivePlaying || drive.sounding || drive.spinningUp)
        return INFINITE;
    uint64_t left = model.playTo - model.position(played());
    return (DWORD)(left * 1000 / (kFramesPerSecond * drive.control.speed)) + 1;
}

// Asks to be told of the next change of the control key. A change made
// before this asks is read all the same: the key counts as unread.
void watchControl() {
    ResetEvent(drive.controlChanged);
    if (drive.controlKey)
        RegNotifyChangeKeyValue(drive.controlKey, FALSE, REG_NOTIFY_CHANGE_LAST_SET, drive.controlChanged, TRUE);
    drive.controlDirty = 1;
}

// What a thread is given when it is made: a drive freed before its thread
// even ran, or while it was still busy, and opened again, has a thread of
// its own by then.
struct ThreadStart {
    HMODULE module; // held until the thread has left this module's code
    uint32_t generation;
    HANDLE events[3]; // wake, buffer done, control changed
};
ThreadStart threadStarts[4];

DWORD WINAPI driveThread(void* parameter) {
    ThreadStart start = *(ThreadStart*)parameter;
    HMODULE module = start.module;
    uint32_t generation = start.generation;
    HANDLE* events = start.events;
    Outbox outbox = {};
    EnterCriticalSection(&drive.lock);
    // Watched from this thread, which lives as long as the drive: a watch
    // ends with the thread that asked for it.
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kControlKey, 0, 0, 0, KEY_NOTIFY | KEY_READ, 0, &drive.controlKey, 0) !=
        ERROR_SUCCESS)
        drive.controlKey = 0;
    watchControl();
    for (;;) {
        DWORD sleep = sleepTime();
        LeaveCriticalSection(&drive.lock);
        DWORD woken = WaitForMultipleObjects(3, events, FALSE, sleep);
        EnterCriticalSection(&drive.lock);
        if (generation != drive.threadGeneration)
            break;
        if (woken == WAIT_OBJECT_0 + 2)
            watchControl();
        DriveModel& model = drive.model;
        if (model.mode == kDrivePlaying && drive.spinningUp)
            spinUpLeavingLock(events[1], generation);
        if (model.mode == kDrivePlaying && drive.sounding && !drive.audio.feed()) {
            // The segment goes on from what was heard, on the clock.
            model.rebase(played());
            drive.soundFrames = 0;
            soundFailed("the device refused a buffer");
        }
        if (model.mode == kDrivePlaying && (drive.sounding ? drive.audio.drained() : model.playEnded(played()))) {
            model.finish();
            fallSilent();
            outbox.collect();
        }
        // Stopped and heard out: the device goes (a pause keeps it).
        HWAVEOUT idle = model.mode == kDriveStopped && !lingerLeft() ? drive.audio.release() : 0;
        LeaveCriticalSection(&drive.lock);
        outbox.send();
        closeSoundDevice(idle);
        EnterCriticalSection(&drive.lock);
    }
    HWAVEOUT device = drive.thread ? 0 : drive.audio.release();
    HKEY key = 0;
    if (!drive.thread) {
        key = drive.controlKey;
        drive.controlKey = 0;
    }
    LeaveCriticalSection(&drive.lock);
    // The thread's own handles go with it: whoever freed the drive may have
    // stopped waiting for it.
    closeSoundDevice(device);
    if (key)
        RegCloseKey(key);
    for (HANDLE handle : start.events)
        CloseHandle(handle);
    if (module)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}

LRESULT openDriver(MCI_OPEN_DRIVER_PARMS* parameters) {
    EnterCriticalSection(&drive.lock);
    int32_t slot = drive.model.open();
    if (slot < 0) {
        LeaveCriticalSection(&drive.lock);
        return 0;
    }
    if (!drive.loaded)
        loadDisc();
    drive.deviceIds[slot] = parameters ? parameters->wDeviceID : (MCIDEVICEID)0;
    if (parameters) {
        parameters->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
        parameters->wType = MCI_DEVTYPE_CD_AUDIO;
    }
    if (!drive.thread) {
        // A drive freed and loaded again without leaving memory starts anew.
        // The thread keeps this module loaded until it has left its code.
        HMODULE self = 0;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&driveThread, &self);
        drive.wake = CreateEventA(0, FALSE, FALSE, 0);
        drive.bufferDone = CreateEventA(0, FALSE, FALSE, 0);
        drive.controlChanged = CreateEventA(0, TRUE, TRUE, 0);
        ThreadStart& start = threadStarts[drive.threadGeneration % 4];
        start = ThreadStart{self, drive.threadGeneration, {drive.wake, drive.bufferDone, drive.controlChanged}};
        drive.thread = CreateThread(0, 0, driveThread, &start, 0, 0);
        if (!drive.thread) {
            // No thread: what was taken for it goes back at once.
            for (HANDLE handle : start.events)
                CloseHandle(handle);
            drive.wake = drive.bufferDone = drive.controlChanged = 0;
            if (self)
                FreeLibrary(self);
        }
    }
    LeaveCriticalSection(&drive.lock);
    return slot + 1;
}

int32_t slotOf(DWORD_PTR driverId) {
    return driverId >= 1 && driverId <= (DWORD_PTR)DriveModel::kMaxOpens && drive.model.openUsed[driverId - 1]
               ? (int32_t)(driverId - 1)
               : -1;
}

// An open ends: its pending notification is aborted, and the last close
// halts the drive.
void closeDriver(DWORD_PTR driverId) {
    Outbox outbox = {};
    EnterCriticalSection(&drive.lock);
    int32_t slot = slotOf(driverId);
    if (slot >= 0) {
        DriveMode before = drive.model.mode;
        drive.model.close(slot);
        outbox.collect();
        if (drive.model.mode != before)
            endSegment();
    }
    LeaveCriticalSection(&drive.lock);
    outbox.send();
}

LRESULT mciCommand(DWORD_PTR driverId, UINT message, DWORD flags, DWORD_PTR block) {
    Outbox outbox = {};
    char logPath[sizeof drive.control.logPath];
    EnterCriticalSection(&drive.lock);
    memcpy(logPath, drive.control.logPath, sizeof logPath);
    LeaveCriticalSection(&drive.lock);
    if (logPath[0])
        logReceived(logPath, message, flags, block);
    EnterCriticalSection(&drive.lock);
    int32_t slot = slotOf(driverId);
    if (slot < 0) {
        LeaveCriticalSection(&drive.lock);
        return MCIERR_INVALID_DEVICE_ID;
    }
    DWORD result = command(slot, message, flags, block);
    outbox.collect();
    MCIDEVICEID deviceId = drive.deviceIds[slot];
    LeaveCriticalSection(&drive.lock);
    outbox.send();
    if (LOWORD(result) == 0 && (flags & MCI_WAIT) && (message == MCI_PLAY || message == MCI_RESUME))
        waitForPlayEnd(deviceId);
    return result;
}

// Client threads inside the driver's code: a play that waits for its end,
// a status that reads a disc. The driver is freed only once they have left
// (within a bound), so its code is never unloaded under one of them.
volatile LONG callsInside;
const DWORD kFreeWaitMs = 5000;

struct CallInside {
    CallInside() { InterlockedIncrement(&callsInside); }
    ~CallInside() { InterlockedDecrement(&callsInside); }
};

void waitForCallsToLeave() {
    for (DWORD waited = 0; callsInside > 0 && waited < kFreeWaitMs; waited += 10)
        Sleep(10);
}

} // namespace

// The locks go with the module. A process that ends does not run its
// threads' code again, so they go only when the module is freed.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID processEnding) {
    if (reason == DLL_PROCESS_DETACH && !processEnding && drive.lockReady) {
        DeleteCriticalSection(&stagingLock);
        DeleteCriticalSection(&drive.lock);
        drive.lockReady = 0;
    }
    return TRUE;
}

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM parameter1, LPARAM parameter2) {
    switch (message) {
    case DRV_LOAD:
        // The lock lives as long as the module: a thread that is still
        // leaving may take it.
        if (!drive.lockReady) {
            InitializeCriticalSection(&drive.lock);
            InitializeCriticalSection(&stagingLock);
            drive.lockReady = 1;
        }
        EnterCriticalSection(&drive.lock);
        drive.model.reset();
        drive.loaded = 0;
        LeaveCriticalSection(&drive.lock);
        return 1;
    case DRV_FREE:
        waitForCallsToLeave();
        if (drive.thread) {
            HANDLE thread = drive.thread;
            EnterCriticalSection(&drive.lock);
            drive.threadGeneration++;
            SetEvent(drive.wake);
            drive.thread = 0;
            LeaveCriticalSection(&drive.lock);
            // It ends by itself and holds the module until then; waiting
            // for it here may not be possible (under the loader's lock).
            WaitForSingleObject(thread, 1000);
            CloseHandle(thread);
        }
        return 1;
    case DRV_OPEN:
        return openDriver((MCI_OPEN_DRIVER_PARMS*)parameter2);
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
    CallInside inside;
    return mciCommand(driverId, message, (DWORD)parameter1, (DWORD_PTR)parameter2);
}
