// The driver's lifetime: its load and free, the opens and closes of the
// device, and the drive's own thread, which keeps a play going and finishes
// it, and holds the module until it has left its code.
#include "DriveState.h"

Drive drive;

namespace {

// What a thread is given when it is made: a drive freed before its thread
// even ran, or while it was still busy, and opened again, has a thread of
// its own by then.
struct ThreadStart {
    HMODULE module; // held until the thread has left this module's code
    uint32_t generation;
    HANDLE events[3]; // wake, buffer done, control changed
};
ThreadStart threadStarts[4];
DiscReader readers[4];

DWORD WINAPI driveThread(void* parameter) {
    ThreadStart start = *(ThreadStart*)parameter;
    HMODULE module = start.module;
    uint32_t generation = start.generation;
    HANDLE* events = start.events;
    Outbox outbox = {};
    // The thread's own: another thread of the drive may still be reading.
    DiscReader& reader = readers[generation % 4];
    reader.playGeneration = 0;
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
        if (model.mode == kDrivePlaying && drive.segment.keeper == kSpinningUp)
            spinUpLeavingLock(events[1], generation);
        feedLeavingLock(&reader);
        if (model.mode == kDrivePlaying &&
            (drive.segment.keeper == kKeptBySound ? drive.audio.drained() : model.playEnded(played()))) {
            model.finish();
            fallSilent();
            outbox.collect();
        }
        // Stopped and heard out: the device goes (a pause keeps it).
        HWAVEOUT idle = model.mode == kDriveStopped && !lingerLeft() ? drive.audio.release() : 0;
        if (idle)
            reader.closeFiles();
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
    reader.closeFiles();
    for (HANDLE handle : start.events)
        CloseHandle(handle);
    if (module)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}

// Client threads inside the driver's code: a play that waits for its end,
// a status that reads a disc. The driver is freed only once they have left
// (within a bound), so its code is never unloaded under one of them.
volatile LONG callsInside;
const DWORD kFreeWaitMs = 5000;

void waitForCallsToLeave() {
    for (DWORD waited = 0; callsInside > 0 && waited < kFreeWaitMs; waited += 10)
        Sleep(10);
}

} // namespace

CallInside::CallInside() { InterlockedIncrement(&callsInside); }
CallInside::~CallInside() { InterlockedDecrement(&callsInside); }

LRESULT openDriver(MCI_OPEN_DRIVER_PARMS* parameters) {
    EnterCriticalSection(&drive.lock);
    int32_t slot = drive.model.open();
    if (slot < 0) {
        LeaveCriticalSection(&drive.lock);
        return 0;
    }
    if (!drive.loaded)
        loadDiscLeavingLock();
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

// The lock lives as long as the module: a thread that is still leaving may
// take it.
LRESULT loadDriver() {
    if (!drive.lockReady) {
        InitializeCriticalSection(&drive.lock);
        InitializeCriticalSection(&stagingLock);
        drive.lockReady = 1;
    }
    EnterCriticalSection(&drive.lock);
    drive.model.reset();
    drive.segment.seam = &waveOutSeam;
    drive.loaded = 0;
    LeaveCriticalSection(&drive.lock);
    return 1;
}

LRESULT freeDriver() {
    waitForCallsToLeave();
    if (drive.thread) {
        HANDLE thread = drive.thread;
        EnterCriticalSection(&drive.lock);
        drive.threadGeneration++;
        SetEvent(drive.wake);
        drive.thread = 0;
        LeaveCriticalSection(&drive.lock);
        // It ends by itself and holds the module until then; waiting for it
        // here may not be possible (under the loader's lock).
        WaitForSingleObject(thread, 1000);
        CloseHandle(thread);
    }
    return 1;
}

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
