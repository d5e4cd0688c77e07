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

#include "../../DriveActivity.h"
#include "../../DriveModel.h"
#include "../../SegmentClock.h"
#include "AudioOut.h"
#include "../link/Control.h"

extern "C" BOOL WINAPI mciDriverNotify(HWND callback, MCIDEVICEID deviceId, UINT status);

// What one thread of the drive owns, from the open that starts it to its
// own end, in a record of its own: the drive may be freed and opened again
// while a thread that was started before is still busy (a read or a sound
// device that takes its time), and the two never share a handle.
//   wake, bufferDone, controlChanged: created by the open that starts the
//     thread; closed by the thread alone, as it leaves.
//   controlKey: opened, watched and closed by the thread.
//   leftDevice: the drive's sound device when the drive was freed (opened
//     on this thread's bufferDone); closed by the thread as it leaves.
//   reader: read by the thread alone.
//   thread: the thread's own handle, taken by the open that starts it and
//     closed by the free that ends it, once it has waited (a while) for
//     the thread to leave.
// Anyone else reaches them only through drive.running, under the lock,
// while this thread is the drive's; the free that ends the thread clears
// drive.running first.
struct DriveThread {
    volatile LONG taken; // from the open that starts it until it has left
    HANDLE thread;
    HANDLE wake;         // auto reset: a command changed the play
    HANDLE bufferDone;   // auto reset: the sound device gave back a buffer
    HANDLE controlChanged; // manual reset: set while a change of the key is unread
    HKEY controlKey;
    HWAVEOUT leftDevice;
    DiscReader reader;
};

struct Drive {
    CRITICAL_SECTION lock;
    int lockReady;
    DriveThread* running; // the drive's thread, or none
    uint32_t looks;       // every reading of the disc
    uint32_t doorWrites;  // the drive's own writes of the control's Door
    int loaded;
    DriveModel model;
    MCIDEVICEID deviceIds[DriveModel::kMaxOpens];
    // Which open holds each slot: a command that left the lock finds its
    // open gone, or another in its place, by it.
    uint32_t slotSerials[DriveModel::kMaxOpens];
    uint32_t serials;
    DriveControl control;
    // The tray, the device heard out, the control key read (GetTickCount).
    DriveActivity activity;
    // The sound: it keeps the segment's time while it sounds. A play waits
    // for the device at its start (spinning up), and a device that fails
    // hands the time back to the clock. The device is opened by the
    // drive's thread on its own bufferDone.
    AudioOut audio;
    SegmentClock segment;
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
void wakeThread();
// Both return 0 when the thread is no longer the drive's.
int spinUpLeavingLock(DriveThread* thread);
int feedLeavingLock(DriveThread* thread);
DWORD sleepTime();

// The disc, the control key and the tray (DiscLoading.cpp).
extern CRITICAL_SECTION stagingLock;
void loadDiscLeavingLock();
void followControlLeavingLock();
// Where the door stands, for vdrivectl show; vdrivectl moves the door by
// writing the same value.
void writeDoor(int open);
void watchControl(DriveThread* thread);

// The driver's lifetime (DriveLifetime.cpp).
int32_t slotOf(DWORD_PTR driverId);
// The open in the slot is still the one that held it with that serial.
int stillOpen(int32_t slot, uint32_t serial);
// An open for a program (its process id): the driver id, or 0.
LRESULT openDriver(MCI_OPEN_DRIVER_PARMS* parameters, uint32_t program);
void closeDriver(DWORD_PTR driverId);
LRESULT loadDriver();
LRESULT freeDriver();

// The drive's snapshot for the programs of the user (SnapshotWriter.cpp):
// published under the lock, in the host only (none is open elsewhere).
void openSnapshot();
void closeSnapshot();
void publishSnapshot();

// The drive's calls as the platform makes them to a driver (DriverProc.cpp):
// in the host of the shared drive, and in the drive's test build.
extern "C" LRESULT CALLBACK coreDriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM parameter1,
                                          LPARAM parameter2);
// An MCI command of an open; with waitHere, a play or resume with MCI_WAIT
// returns when it has ended (the host leaves that wait to the client).
LRESULT driveCommand(DWORD_PTR driverId, UINT message, DWORD flags, DWORD_PTR block, int waitHere);
// Whether the drive plays (a client's MCI_WAIT asks it, unlogged).
int drivePlaying();
