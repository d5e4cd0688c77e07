// The driver's lifetime: its load and free, the opens and closes of the
// device, and the drive's own thread, which keeps a play going and finishes
// it. Once loaded, the driver stays in the process until it ends: a client
// thread may still be inside its code when the last close frees it (a
// status reading a slow disc), and a thread of the drive may still be
// leaving, so its code and its locks are never freed under them.
#include "DriveState.h"
#include "ReadSeam.h"

#include <initializer_list>

Drive drive;

namespace {

// Up to four threads: the drive's, and those of drives freed before whose
// reads or sound device still keep them. Taken and given back with
// interlocked operations: a thread gives its record back outside the lock.
DriveThread threads[4];

// Set-up: the control key, watched from this thread, which lives as long as
// its drive (a watch ends with the thread that asked for it).
void beginThread(DriveThread* me) {
    me->controlKey = 0;
    me->reader.playGeneration = 0;
    EnterCriticalSection(&drive.lock);
    if (drive.running == me)
        watchControl(me);
    LeaveCriticalSection(&drive.lock);
}

// One turn, under the lock: what woke the thread is done. 0 once the
// thread is no longer the drive's.
int turn(DriveThread* me, DWORD woken, Outbox* outbox) {
    if (woken == WAIT_OBJECT_0 + 2)
        watchControl(me);
    DriveModel& model = drive.model;
    if (model.mode == kDrivePlaying && drive.segment.keeper == kSpinningUp && !spinUpLeavingLock(me))
        return 0;
    if (!feedLeavingLock(me))
        return 0;
    if (model.mode == kDrivePlaying &&
        (drive.segment.keeper == kKeptBySound ? drive.audio.drained() : model.playEnded(played()))) {
        model.finish();
        fallSilent();
        outbox->collect();
    }
    // Stopped and heard out: the device goes (a pause keeps it).
    publishSnapshot();
    HWAVEOUT idle = model.mode == kDriveStopped && !lingerLeft() ? drive.audio.release() : 0;
    if (idle)
        me->reader.closeFiles();
    LeaveCriticalSection(&drive.lock);
    outbox->send();
    closeSoundDevice(idle);
    EnterCriticalSection(&drive.lock);
    return drive.running == me;
}

// Tear-down: whatever the thread owns goes with it, and its record is free
// for another.
void endThread(DriveThread* me) {
    closeSoundDevice(me->leftDevice);
    if (me->controlKey)
        RegCloseKey(me->controlKey);
    me->reader.closeFiles();
    for (HANDLE event : {me->wake, me->bufferDone, me->controlChanged})
        if (event)
            CloseHandle(event);
    me->leftDevice = 0;
    me->controlKey = 0;
    me->wake = me->bufferDone = me->controlChanged = 0;
    InterlockedExchange(&me->taken, 0);
}

DWORD WINAPI driveThread(void* parameter) {
    DriveThread* me = (DriveThread*)parameter;
    Outbox outbox = {};
    beginThread(me);
    HANDLE events[3] = {me->wake, me->bufferDone, me->controlChanged};
    EnterCriticalSection(&drive.lock);
    while (drive.running == me) {
        DWORD sleep = sleepTime();
        LeaveCriticalSection(&drive.lock);
        DWORD woken = WaitForMultipleObjects(3, events, FALSE, sleep);
        EnterCriticalSection(&drive.lock);
        if (drive.running != me || !turn(me, woken, &outbox))
            break;
    }
    LeaveCriticalSection(&drive.lock);
    endThread(me);
    threadLeftSeam();
    return 0;
}

// A record for the next thread: those of freed drives leave as soon as what
// holds them (a read, a sound device opening) ends; an open waits a while
// for one of them, outside the lock, rather than fail at once. (A running
// drive needs none; read without the lock, the worst is a needless wait.)
void waitForAFreeRecord() {
    for (int waited = 0; waited < 500 && !drive.running; waited++) {
        for (DriveThread& record : threads)
            if (!record.taken)
                return;
        Sleep(10);
    }
}

// Starts the drive's thread, under the lock: 0 when it cannot (four threads
// of freed drives still busy, or no handles left).
int startThread() {
    DriveThread* me = 0;
    for (DriveThread& record : threads)
        if (!me && InterlockedCompareExchange(&record.taken, 1, 0) == 0)
            me = &record;
    if (!me)
        return 0;
    me->wake = CreateEventA(0, FALSE, FALSE, 0);
    me->bufferDone = CreateEventA(0, FALSE, FALSE, 0);
    me->controlChanged = CreateEventA(0, TRUE, TRUE, 0);
    me->thread = me->wake && me->bufferDone && me->controlChanged ? CreateThread(0, 0, driveThread, me, 0, 0) : 0;
    if (!me->thread) {
        endThread(me);
        return 0;
    }
    drive.running = me;
    drive.activity.control = kControlUnread;
    return 1;
}

} // namespace

LRESULT openDriver(MCI_OPEN_DRIVER_PARMS* parameters, uint32_t program) {
    waitForAFreeRecord();
    EnterCriticalSection(&drive.lock);
    int32_t slot = drive.running || startThread() ? drive.model.open(program) : -1;
    if (slot < 0) {
        LeaveCriticalSection(&drive.lock);
        return 0;
    }
    uint32_t serial = drive.slotSerials[slot] = ++drive.serials;
    // The first open reads the disc, as a drive that has just been loaded
    // does (the host keeps the drive between programs).
    int others = 0;
    for (int32_t other = 0; other < DriveModel::kMaxOpens; other++)
        others |= other != slot && drive.model.openUsed[other];
    if (!drive.loaded || !others) {
        // and watches its control key anew.
        SetEvent(drive.running->controlChanged);
        loadDiscLeavingLock();
    }
    // The driver may have been freed meanwhile: the open is gone with it.
    if (!stillOpen(slot, serial)) {
        LeaveCriticalSection(&drive.lock);
        return 0;
    }
    drive.deviceIds[slot] = parameters ? parameters->wDeviceID : (MCIDEVICEID)0;
    publishSnapshot();
    if (parameters) {
        parameters->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
        parameters->wType = MCI_DEVTYPE_CD_AUDIO;
    }
    LeaveCriticalSection(&drive.lock);
    return slot + 1;
}

int stillOpen(int32_t slot, uint32_t serial) {
    return drive.model.openUsed[slot] && drive.slotSerials[slot] == serial;
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
        int doorWasOpen = drive.model.doorOpen;
        drive.model.close(slot, played());
        drive.slotSerials[slot] = 0;
        if (doorWasOpen && !drive.model.doorOpen) {
            writeDoor(0);
            drive.activity.tray = kTrayClosed;
        }
        outbox.collect();
        if (drive.model.mode != before)
            endSegment();
        publishSnapshot();
    }
    LeaveCriticalSection(&drive.lock);
    outbox.send();
}

// The first load keeps the driver in the process, and makes its locks.
LRESULT loadDriver() {
    if (!drive.lockReady) {
        HMODULE self;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                (LPCSTR)&drive, &self))
            return 0;
        InitializeCriticalSection(&drive.lock);
        InitializeCriticalSection(&stagingLock);
        drive.lockReady = 1;
    }
    EnterCriticalSection(&drive.lock);
    drive.model.reset();
    memset(drive.slotSerials, 0, sizeof drive.slotSerials);
    drive.segment = SegmentClock{};
    drive.segment.seam = &waveOutSeam;
    drive.loaded = 0;
    drive.activity.tray = kTrayClosed;
    drive.looks++; // a reading begun before stands for no disc now
    LeaveCriticalSection(&drive.lock);
    return 1;
}

// The drive's thread is told to leave, with the sound device opened on its
// event. It is given a second to do so, so that a process that ends after
// its last close does not end under it; one that a slow read or device
// keeps leaves by itself later, touching nothing of another drive.
LRESULT freeDriver() {
    EnterCriticalSection(&drive.lock);
    DriveThread* running = drive.running;
    HANDLE thread = 0;
    // A drive let go holds no door open: the next load starts closed.
    if (drive.model.doorOpen)
        writeDoor(0);
    if (running) {
        drive.running = 0;
        running->leftDevice = drive.audio.release();
        thread = running->thread;
        running->thread = 0;
        SetEvent(running->wake);
    }
    LeaveCriticalSection(&drive.lock);
    if (thread) {
        WaitForSingleObject(thread, 1000);
        CloseHandle(thread);
    }
    return 1;
}
