// The driver as a program loads it: each open of "cdaudio" is a connection
// to the user's drive host (host/DriveHost.cpp), started when none runs
// (HostConnection), and an open on the PC's own driver (PassThrough). Every
// command goes to the host with the fields of its parameter block
// (CommandFields), and the answers come back into the block; a play that
// waits, waits here, so that the platform's break key ends it. A host that
// went away (ended or killed) fails the request that finds it gone, the
// open's pending notification is told it was aborted, and the open is made
// again on a new host.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include "../../DriveModel.h"
#include "../link/PlayWait.h"
#include "HostConnection.h"
#include "PassThrough.h"
#include "SnapshotReader.h"

extern "C" BOOL WINAPI mciDriverNotify(HWND callback, MCIDEVICEID deviceId, UINT status);

namespace {

struct ClientOpen {
    int used;
    // Closed by the program while the host owed it an answer: the slot
    // keeps the connection until the host answers or goes.
    int closedOwed;
    int hostless; // the open found no host: the PC's own drive answers
    // The driver's session instance, which the platform opens without
    // MCI's parameters before the first device: no drive is behind it.
    int session;
    HostConnection host;
    MCIDEVICEID deviceId;
    DWORD timeFormat;       // set by the program, made again on a new host
    DWORD formatToSend;     // set since the last request, plus 1; 0: none
    uint32_t pendingNotify; // the window whose notification the host holds
    DWORD generation;       // counts the opens made in the slot
    RealOpen real;
};

ClientOpen opens[DriveModel::kMaxOpens];
CRITICAL_SECTION openLocks[DriveModel::kMaxOpens];
volatile LONG locksReady;

// The host's process, watched so that the notifications it held are told
// aborted the moment it ends, also to a program that asks nothing more, and
// so that no status is answered from its snapshot once it has ended.
struct HostWatch {
    DWORD server;
    HANDLE process;
    HANDLE wait;
};
HostWatch watch;
CRITICAL_SECTION watchLock;

// A notification the host held for the open will never come from it.
void tellAborted(ClientOpen* open) {
    if (open->pendingNotify)
        mciDriverNotify(windowOf(open->pendingNotify), open->deviceId, MCI_NOTIFY_ABORTED);
    open->pendingNotify = 0;
}

VOID CALLBACK hostEnded(void* server, BOOLEAN) {
    hostEndedForSnapshot((DWORD)(DWORD_PTR)server);
    for (int32_t slot = 0; slot < DriveModel::kMaxOpens; slot++) {
        EnterCriticalSection(&openLocks[slot]);
        if (opens[slot].used && opens[slot].host.server == (DWORD)(DWORD_PTR)server)
            tellAborted(&opens[slot]);
        LeaveCriticalSection(&openLocks[slot]);
    }
}

// `untilDone`: waits for a telling under way (as the driver is freed: no
// open's lock is held then). A new host's watch never waits, since the
// telling may wait for the lock of the open that found the new host.
void stopWatching(int untilDone) {
    if (watch.wait)
        UnregisterWaitEx(watch.wait, untilDone ? INVALID_HANDLE_VALUE : 0);
    if (watch.process)
        CloseHandle(watch.process);
    memset(&watch, 0, sizeof watch);
}

// Where the platform names the host's process (Vista on).
void watchHost(DWORD server) {
    EnterCriticalSection(&watchLock);
    if (server && server != watch.server) {
        stopWatching(0);
        watch.process = OpenProcess(SYNCHRONIZE, FALSE, server);
        if (watch.process &&
            RegisterWaitForSingleObject(&watch.wait, watch.process, hostEnded, (void*)(DWORD_PTR)server, INFINITE,
                                        WT_EXECUTEONLYONCE))
            watch.server = server;
        else
            stopWatching(0);
    }
    LeaveCriticalSection(&watchLock);
}

// One look before a command that may read the snapshot or the control key:
// whether the watched host has ended, though its wait may not have told yet
// (it runs on a thread of its own), so that no status is answered from the
// snapshot of a host that has died, and whether the key was written since
// the program last read it.
void lookAtHostAndControl(ClientOpen* open) {
    DWORD server = open->host.pipe && !open->host.owed ? open->host.server : 0;
    EnterCriticalSection(&watchLock);
    int ended = lookBeforeReading(server && watch.server == server ? watch.process : 0);
    LeaveCriticalSection(&watchLock);
    if (ended)
        hostEndedForSnapshot(server);
}

// The open made on the host; 0 when it cannot be.
int openOnHost(ClientOpen* open) {
    HostRequest request = {};
    request.kind = kHostOpen;
    request.program = GetCurrentProcessId();
    request.deviceId = open->deviceId;
    HostReply reply;
    Exchanged got = open->host.connectAndAsk(&request, &reply);
    if (got == kAnswered && reply.result) {
        watchHost(open->host.server);
        return 1;
    }
    if (got == kHostSilent)
        open->closedOwed = 1;
    else
        open->host.close();
    return 0;
}

// A request of an open. A host that went away took the drive's play with
// it: the request that finds it gone fails, so that the program learns it,
// and the open and its time format are made again for the next request.
Exchanged ask(ClientOpen* open, HostRequest* request, HostReply* reply) {
    request->formatFirst = open->formatToSend;
    open->formatToSend = 0;
    Exchanged got = open->host.exchange(request, reply);
    if (got == kAnswered) {
        open->pendingNotify = reply->notifyPending;
        return got;
    }
    open->formatToSend = request->formatFirst;
    if (got == kHostGone && !open->closedOwed) {
        tellAborted(open);
        open->host.close();
        if (openOnHost(open) && open->timeFormat != MCI_FORMAT_MSF)
            open->formatToSend = open->timeFormat + 1;
    }
    return got;
}

// Whether a set gives a time format the drive takes (`format`).
int setsTimeFormat(UINT message, DWORD flags, DWORD_PTR block, DWORD* format) {
    *format = block && message == MCI_SET ? ((MCI_SET_PARMS*)block)->dwTimeFormat : 0;
    return message == MCI_SET && (flags & MCI_SET_TIME_FORMAT) && block &&
           (*format == MCI_FORMAT_TMSF || *format == MCI_FORMAT_MSF || *format == MCI_FORMAT_MILLISECONDS);
}

// The open keeps the format, and it goes with the next request.
void keepTimeFormat(ClientOpen* open, DWORD format) {
    open->timeFormat = format;
    open->formatToSend = format + 1;
}

LRESULT command(ClientOpen* open, UINT message, DWORD flags, DWORD_PTR block) {
    // A time format alone the drive answers with 0 and tells nobody.
    DWORD format;
    if (setsTimeFormat(message, flags, block, &format) && flags == MCI_SET_TIME_FORMAT) {
        keepTimeFormat(open, format);
        return 0;
    }
    // A status of the drive as it stands needs no round trip.
    LRESULT answered;
    uint32_t notifying = 0;
    if (message == MCI_STATUS && open->host.pipe && !open->host.owed &&
        statusFromSnapshot(open->host.server, open->timeFormat, flags, block, &answered, &notifying)) {
        // A notification the drive no longer holds for this window has
        // been sent (or ended).
        if (notifying != open->pendingNotify)
            open->pendingNotify = 0;
        return answered;
    }
    HostRequest request = {};
    request.kind = kHostCommand;
    request.message = message;
    request.flags = flags;
    request.hasBlock = block != 0;
    if (block) {
        request.callback = windowBits(((MCI_GENERIC_PARMS*)block)->dwCallback);
        readFields(message, block, request.values);
        if (flags & MCI_NOTIFY)
            letNotificationsIn(((MCI_GENERIC_PARMS*)block)->dwCallback);
    }
    HostReply reply;
    if (ask(open, &request, &reply) != kAnswered)
        return MCIERR_HARDWARE;
    writeAnswer(message, flags, block, reply.returned, reply.text);
    if (message == MCI_SET && LOWORD(reply.result) == 0 && (flags & MCI_SET_TIME_FORMAT))
        open->timeFormat = format;
    return reply.result;
}

// The first load keeps the driver in the program until it ends: a
// connection closed while its host owed an answer still has the answer's
// read under way into this driver's records.
int readyLocks() {
    HMODULE self;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN, (LPCSTR)&opens,
                            &self))
        return 0;
    if (InterlockedCompareExchange(&locksReady, 1, 0) == 0) {
        for (CRITICAL_SECTION& lock : openLocks)
            InitializeCriticalSection(&lock);
        InitializeCriticalSection(&watchLock);
        readySnapshotReader();
        readyRealDriver();
    }
    return 1;
}

// A slot closed while its host owed an answer is free once the host has
// answered or gone; a slot another thread holds is looked at next time.
void freeSettledSlots() {
    for (int32_t slot = 0; slot < DriveModel::kMaxOpens; slot++) {
        if (!opens[slot].closedOwed || !TryEnterCriticalSection(&openLocks[slot]))
            continue;
        if (opens[slot].closedOwed && opens[slot].host.settled()) {
            opens[slot].host.close();
            opens[slot].closedOwed = 0;
        }
        LeaveCriticalSection(&openLocks[slot]);
    }
}

// As the driver is freed: connections still owed an answer go.
void dropOwedConnections() {
    for (int32_t slot = 0; slot < DriveModel::kMaxOpens; slot++) {
        EnterCriticalSection(&openLocks[slot]);
        if (opens[slot].closedOwed)
            opens[slot].host.close();
        opens[slot].closedOwed = 0;
        LeaveCriticalSection(&openLocks[slot]);
    }
}

LRESULT openDevice(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters) {
    freeSettledSlots();
    for (int32_t slot = 0; slot < DriveModel::kMaxOpens; slot++) {
        ClientOpen* open = &opens[slot];
        EnterCriticalSection(&openLocks[slot]);
        if (open->used || open->closedOwed) {
            LeaveCriticalSection(&openLocks[slot]);
            continue;
        }
        open->deviceId = parameters ? parameters->wDeviceID : (MCIDEVICEID)0;
        open->generation++;
        open->timeFormat = MCI_FORMAT_MSF;
        open->formatToSend = 0;
        open->pendingNotify = 0;
        open->session = parameters == 0;
        open->hostless = !open->session && !openOnHost(open);
        if (!open->session)
            open->real.open(parameter1, parameters, open->hostless);
        open->used = open->session || !open->hostless || open->real.id;
        if (!open->used)
            open->real.close();
        int used = open->used;
        LeaveCriticalSection(&openLocks[slot]);
        if (!used)
            return 0;
        if (parameters) {
            parameters->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
            parameters->wType = MCI_DEVTYPE_CD_AUDIO;
        }
        return slot + 1;
    }
    return 0;
}

void closeDevice(DWORD_PTR driverId) {
    if (driverId < 1 || driverId > (DWORD_PTR)DriveModel::kMaxOpens)
        return;
    ClientOpen* open = &opens[driverId - 1];
    EnterCriticalSection(&openLocks[driverId - 1]);
    if (open->used && open->host.pipe) {
        HostRequest request = {};
        request.kind = kHostClose;
        request.formatFirst = open->formatToSend;
        HostReply reply;
        if (open->host.exchange(&request, &reply) == kHostSilent)
            open->closedOwed = 1;
        else
            open->host.close();
    }
    open->real.close();
    open->used = 0;
    LeaveCriticalSection(&openLocks[driverId - 1]);
}

// Whether the drive plays: 1 or 0, or -1 when its host has gone or hangs.
int playing(ClientOpen* open, CRITICAL_SECTION* lock) {
    HostRequest request = {};
    request.kind = kHostPlaying;
    HostReply reply;
    EnterCriticalSection(lock);
    Exchanged got = open->host.pipe ? ask(open, &request, &reply) : kHostGone;
    LeaveCriticalSection(lock);
    return got != kAnswered ? -1 : reply.result != 0;
}

// The PC's own drive answers, outside the open's lock (it may take its
// time); a time format it took the open keeps for the virtual drive, unless
// the program closed the open meanwhile. Entered with the lock held.
LRESULT answerOnPcsDrive(ClientOpen* open, CRITICAL_SECTION* lock, UINT message, DWORD flags, DWORD_PTR block) {
    DWORD format;
    int keeps = setsTimeFormat(message, flags, block, &format) && !open->hostless;
    DWORD_PTR realId = open->real.id;
    DWORD generation = open->generation;
    LeaveCriticalSection(lock);
    LRESULT result = RealOpen::command(realId, message, flags, block);
    if (keeps && LOWORD(result) == 0) {
        EnterCriticalSection(lock);
        if (open->used && open->generation == generation)
            keepTimeFormat(open, format);
        LeaveCriticalSection(lock);
    }
    return result;
}

LRESULT deviceCommand(DWORD_PTR driverId, UINT message, DWORD flags, DWORD_PTR block) {
    if (driverId < 1 || driverId > (DWORD_PTR)DriveModel::kMaxOpens)
        return MCIERR_INVALID_DEVICE_ID;
    ClientOpen* open = &opens[driverId - 1];
    CRITICAL_SECTION* lock = &openLocks[driverId - 1];
    commandBeginsForSnapshot();
    EnterCriticalSection(lock);
    // Both drives keep the program's time format, whichever answers now; a
    // set of it alone decides nothing, so it costs no look at the drive.
    DWORD format;
    int setsFormat = setsTimeFormat(message, flags, block, &format);
    int formatOnly = setsFormat && flags == MCI_SET_TIME_FORMAT;
    int decidesDrive = open->real.deferred && !formatOnly && message != MCI_OPEN_DRIVER && message != MCI_CLOSE_DRIVER;
    if (decidesDrive || message == MCI_STATUS)
        lookAtHostAndControl(open);
    if (decidesDrive)
        open->real.openOnceNeeded(snapshotHoldsImage(open->host.server), open->timeFormat);
    if (open->real.answers(message, open->hostless))
        return answerOnPcsDrive(open, lock, message, flags, block);
    if (message == MCI_OPEN_DRIVER)
        open->real.openDriver(flags, block);
    else if (message == MCI_CLOSE_DRIVER)
        open->real.closeDriver(flags, block);
    LRESULT result;
    if (!open->used)
        result = MCIERR_INVALID_DEVICE_ID;
    else if (open->session)
        result = MCIERR_UNSUPPORTED_FUNCTION;
    else if (open->hostless)
        // Without a host only the PC's own drive answers: an open it
        // refused fails.
        result = message == MCI_CLOSE_DRIVER || (message == MCI_OPEN_DRIVER && open->real.opened) ? 0 : MCIERR_HARDWARE;
    else {
        result = command(open, message, flags, block);
        if (setsFormat && LOWORD(result) == 0 && open->real.opened)
            open->real.setTimeFormat(format);
    }
    MCIDEVICEID deviceId = open->deviceId;
    LeaveCriticalSection(lock);
    // The open's other commands go on meanwhile.
    if (LOWORD(result) == 0 && (flags & MCI_WAIT) && (message == MCI_PLAY || message == MCI_RESUME))
        result = waitForPlayEnd(deviceId, [open, lock] { return playing(open, lock); });
    return result;
}

} // namespace

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM parameter1, LPARAM parameter2) {
    switch (message) {
    case DRV_LOAD:
        return readyLocks();
    case DRV_FREE:
        EnterCriticalSection(&watchLock);
        stopWatching(1);
        LeaveCriticalSection(&watchLock);
        dropSnapshot();
        dropOwedConnections();
        freeRealDriver();
        return 1;
    case DRV_OPEN:
        return openDevice(parameter1, (MCI_OPEN_DRIVER_PARMS*)parameter2);
    case DRV_CLOSE:
        closeDevice(driverId);
        return 1;
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case DRV_QUERYCONFIGURE:
        return 0;
    case DRV_CONFIGURE:
    case DRV_INSTALL:
    case DRV_REMOVE:
        return DRVCNF_OK;
    }
    if (message < DRV_MCI_FIRST || message > DRV_MCI_LAST)
        return DefDriverProc(driverId, 0, message, parameter1, parameter2);
    return deviceCommand(driverId, message, (DWORD)parameter1, (DWORD_PTR)parameter2);
}
