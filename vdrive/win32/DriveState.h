// The virtual CD drive's one state, shared by the files of its Windows half,
// each with one job: DriverProc (decoding the calls and forming the
// answers), DriveLifetime (the driver's load, opens and closes, and its
// thread), DiscLoading (the disc, the control key and the tray) and
// PlaySegment (the play under way: its sound and its clock). Everything
// here is guarded by drive.lock; a function that leaves the lock on its way
// says so in its name.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <string.h>

#include "../DriveModel.h"
#include "../SegmentClock.h"
#include "AudioOut.h"
#include "Control.h"

extern "C" BOOL WINAPI mciDriverNotify(HWND callback, MCIDEVICEID deviceId, UINT status);
extern "C" UINT WINAPI mciDriverYield(MCIDEVICEID deviceId);

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
    // The sound: it keeps the segment's time while it sounds. A play waits
    // for the device at its start (spinning up), and a device that fails
    // hands the time back to the clock.
    AudioOut audio;
    HANDLE bufferDone;
    SegmentClock segment;
    DWORD silentSince;    // GetTickCount when the drive last stopped sounding
    // The control key is read again only when it has changed: the thread
    // watches it and marks it so.
    HKEY controlKey;
    HANDLE controlChanged; // manual reset: set while a change is unread
    int controlDirty;
};

extern Drive drive;

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

// The play segment (PlaySegment.cpp): its clock over waveOut.
extern const SoundSeam waveOutSeam;
uint64_t played();
void soundFailed(const char* what);
void startSegment();
void endSegment();
void resumeSegment();
void fallSilent();
DWORD lingerLeft();
void spinUpLeavingLock(HANDLE bufferDone, uint32_t threadGeneration);
void feedLeavingLock(DiscReader* reader);
DWORD sleepTime();

// The disc, the control key and the tray (DiscLoading.cpp).
extern CRITICAL_SECTION stagingLock;
void loadDiscLeavingLock();
void followControlLeavingLock();
void watchControl();

// The driver's lifetime (DriveLifetime.cpp).
int32_t slotOf(DWORD_PTR driverId);
LRESULT openDriver(MCI_OPEN_DRIVER_PARMS* parameters);
void closeDriver(DWORD_PTR driverId);
LRESULT loadDriver();
LRESULT freeDriver();
// Counts a client thread inside the driver's code while it lives.
struct CallInside {
    CallInside();
    ~CallInside();
};
