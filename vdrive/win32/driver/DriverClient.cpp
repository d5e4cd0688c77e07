// The driver as a program loads it: each open of "cdaudio" is a connection
// to the session's drive host (DriveHost.cpp), started here when none runs.
// Every command goes through it with the fields of its parameter block, and
// the answers come back into the block; a play that waits, waits here, so
// that the platform's break key ends it. A host that went away (ended or
// killed) is started again and the open made again on it. The PC's own CD
// drives stay usable beside it: the driver that install replaced has each
// open made on it too, and answers while the virtual drive holds no image,
// and always for an open that names a real CD drive's letter.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <string.h>

#include "../host/DriveState.h"
#include "../link/HostLink.h"
#include "../control/Install.h"
#include "RealDrive.h"

namespace {

const DWORD kConnectMs = 10000;

struct ClientOpen {
    HANDLE pipe;
    MCIDEVICEID deviceId;
    DWORD timeFormat; // set by the program, made again on a new host
    DWORD formatToSend; // set since the last request, plus 1; 0: none
    DWORD_PTR realId; // the open on the PC's own driver, or 0
    int realOpened;   // that driver took the open (it found a drive)
    int realAlways;   // the open names a real CD drive
};

ClientOpen opens[DriveModel::kMaxOpens];
CRITICAL_SECTION openLocks[DriveModel::kMaxOpens];
volatile LONG locksReady;

typedef LRESULT(CALLBACK* DriverEntry)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM);

// The driver of the PC's own drives, loaded by the first open and let go
// with this driver.
struct RealDriver {
    HMODULE module;
    DriverEntry proc;
    int tried;
};
RealDriver real;
CRITICAL_SECTION realLock;

// Under realLock. Never this driver itself, whatever was recorded.
void loadRealDriver() {
    if (real.tried)
        return;
    real.tried = 1;
    char name[MAX_PATH], path[MAX_PATH];
    replacedDriver(name);
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (_stricmp(name, kDriverFile) == 0 || !length || length + strlen(name) + 2 > MAX_PATH)
        return;
    if (strchr(name, '\\'))
        lstrcpynA(path, name, MAX_PATH);
    else
        lstrcatA(lstrcatA(path, "\\"), name);
    real.module = LoadLibraryA(path);
    real.proc = real.module ? (DriverEntry)(void*)GetProcAddress(real.module, "DriverProc") : 0;
    if (real.proc && real.proc(0, 0, DRV_LOAD, 0, 0)) {
        real.proc(0, 0, DRV_ENABLE, 0, 0);
        return;
    }
    if (real.module)
        FreeLibrary(real.module);
    real.module = 0;
    real.proc = 0;
}

void freeRealDriver() {
    EnterCriticalSection(&realLock);
    if (real.proc) {
        real.proc(0, 0, DRV_DISABLE, 0, 0);
        real.proc(0, 0, DRV_FREE, 0, 0);
        FreeLibrary(real.module);
    }
    memset(&real, 0, sizeof real);
    LeaveCriticalSection(&realLock);
}

// The open made on the PC's own driver too: its id there, or 0.
DWORD_PTR openOnReal(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters) {
    EnterCriticalSection(&realLock);
    loadRealDriver();
    MCI_OPEN_DRIVER_PARMS copy = {};
    if (parameters)
        copy = *parameters;
    DWORD_PTR id = real.proc ? (DWORD_PTR)real.proc(0, 0, DRV_OPEN, parameter1, (LPARAM)(parameters ? &copy : 0)) : 0;
    LeaveCriticalSection(&realLock);
    return id;
}

// MCI_OPEN_DRIVER reaches both drivers; the PC's own tells nobody (the
// virtual drive answers the open).
void openDriverOnReal(ClientOpen* open, DWORD flags, DWORD_PTR block) {
    if (!open->realId || !real.proc)
        return;
    open->realOpened = real.proc(open->realId, 0, MCI_OPEN_DRIVER, flags & ~MCI_NOTIFY, block) == 0;
    MCI_OPEN_PARMSW* parameters = (MCI_OPEN_PARMSW*)block;
    open->realAlways = open->realOpened && parameters && (flags & MCI_OPEN_ELEMENT) &&
                       !(flags & MCI_OPEN_ELEMENT_ID) && namesRealCdDrive(parameters->lpstrElementName);
}

// Whether the PC's own drive answers this command of the open.
int realAnswers(ClientOpen* open, UINT message) {
    return open->realOpened && message != MCI_OPEN_DRIVER && message != MCI_CLOSE_DRIVER &&
           (open->realAlways || !virtualDriveHoldsImage());
}

HMODULE self() {
    HMODULE module = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)&opens, &module);
    return module;
}

// rundll32 of the system folder runs this DLL's DriveHost, detached from the
// program and in the system folder, so that it holds none of the program's
// handles or its folder.
void startHost() {
    wchar_t folder[MAX_PATH], dll[MAX_PATH], line[3 * MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (!length || length >= MAX_PATH || !GetModuleFileNameW(self(), dll, MAX_PATH))
        return;
    _snwprintf(line, 3 * MAX_PATH, L"\"%ls\\rundll32.exe\" \"%ls\",DriveHost", folder, dll);
    line[3 * MAX_PATH - 1] = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host = {};
    if (CreateProcessW(0, line, 0, 0, FALSE, DETACHED_PROCESS, 0, folder, &startup, &host)) {
        CloseHandle(host.hThread);
        CloseHandle(host.hProcess);
    }
}

// A connection to the host, starting it when there is none; 0 when none
// answers within ten seconds.
HANDLE connectToHost() {
    wchar_t name[64];
    hostPipeName(name, 64);
    DWORD began = GetTickCount(), started = 0;
    int tries = 0;
    while (GetTickCount() - began < kConnectMs) {
        HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, 0, 0);
        if (pipe != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            SetNamedPipeHandleState(pipe, &mode, 0, 0);
            return pipe;
        }
        if (GetLastError() == ERROR_PIPE_BUSY) {
            WaitNamedPipeW(name, 500);
            continue;
        }
        // No host: one is started, and again if it has not answered after
        // a few seconds (it found another that was just leaving).
        if (!tries++ || GetTickCount() - started > 3000) {
            startHost();
            started = GetTickCount();
        }
        Sleep(20);
    }
    return 0;
}

int exchange(HANDLE pipe, HostRequest* request, HostReply* reply) {
    DWORD read = 0;
    return pipe && TransactNamedPipe(pipe, request, sizeof *request, reply, sizeof *reply, &read, 0) &&
           read == sizeof *reply;
}

// The open made on the host: its connection, or 0.
HANDLE openOnHost(MCIDEVICEID deviceId) {
    HANDLE pipe = connectToHost();
    HostRequest request = {};
    request.kind = kHostOpen;
    request.program = GetCurrentProcessId();
    request.deviceId = deviceId;
    HostReply reply;
    if (exchange(pipe, &request, &reply) && reply.result)
        return pipe;
    if (pipe)
        CloseHandle(pipe);
    return 0;
}

// A request of an open. A host that went away took the drive's play with
// it: the request that finds it gone fails, so that the program learns it,
// and the open and its time format are made again for the next request.
int ask(ClientOpen* open, HostRequest* request, HostReply* reply) {
    request->formatFirst = open->formatToSend;
    open->formatToSend = 0;
    if (exchange(open->pipe, request, reply))
        return 1;
    if (open->pipe)
        CloseHandle(open->pipe);
    open->pipe = openOnHost(open->deviceId);
    if (open->timeFormat != MCI_FORMAT_MSF)
        open->formatToSend = open->timeFormat + 1;
    return 0;
}

// The fields of the parameter block that the command reads.
void describe(UINT message, DWORD_PTR block, HostRequest* request) {
    request->hasBlock = block != 0;
    if (!block)
        return;
    request->callback = windowBits(((MCI_GENERIC_PARMS*)block)->dwCallback);
    switch (message) {
    case MCI_PLAY:
        request->values[0] = ((MCI_PLAY_PARMS*)block)->dwFrom;
        request->values[1] = ((MCI_PLAY_PARMS*)block)->dwTo;
        break;
    case MCI_SEEK:
        request->values[0] = ((MCI_SEEK_PARMS*)block)->dwTo;
        break;
    case MCI_SET:
        request->values[0] = ((MCI_SET_PARMS*)block)->dwTimeFormat;
        break;
    case MCI_STATUS:
        request->values[0] = ((MCI_STATUS_PARMS*)block)->dwItem;
        request->values[1] = ((MCI_STATUS_PARMS*)block)->dwTrack;
        break;
    case MCI_GETDEVCAPS:
        request->values[0] = ((MCI_GETDEVCAPS_PARMS*)block)->dwItem;
        break;
    case MCI_INFO:
        request->values[0] = ((MCI_INFO_PARMSW*)block)->dwRetSize;
        request->values[1] = ((MCI_INFO_PARMSW*)block)->lpstrReturn != 0;
        break;
    }
}

// The answer into the program's parameter block.
void answer(UINT message, DWORD flags, DWORD_PTR block, const HostReply& reply) {
    if (!block)
        return;
    if (message == MCI_STATUS)
        ((MCI_STATUS_PARMS*)block)->dwReturn = reply.returned;
    else if (message == MCI_GETDEVCAPS)
        ((MCI_GETDEVCAPS_PARMS*)block)->dwReturn = reply.returned;
    else if (message == MCI_INFO && (flags & (MCI_INFO_PRODUCT | MCI_INFO_MEDIA_IDENTITY))) {
        MCI_INFO_PARMSW* info = (MCI_INFO_PARMSW*)block;
        for (DWORD i = 0; info->lpstrReturn && i < info->dwRetSize && i < 64; i++)
            info->lpstrReturn[i] = reply.text[i];
        if (info->lpstrReturn && info->dwRetSize)
            info->lpstrReturn[info->dwRetSize < 64 ? info->dwRetSize - 1 : 63] = 0;
    }
}

LRESULT command(ClientOpen* open, UINT message, DWORD flags, DWORD_PTR block) {
    // A time format alone, and one the drive takes, goes with the next
    // request (the drive answers it with 0 and tells nobody).
    DWORD format = block && message == MCI_SET ? ((MCI_SET_PARMS*)block)->dwTimeFormat : 0;
    if (message == MCI_SET && flags == MCI_SET_TIME_FORMAT && block &&
        (format == MCI_FORMAT_TMSF || format == MCI_FORMAT_MSF || format == MCI_FORMAT_MILLISECONDS)) {
        open->timeFormat = format;
        open->formatToSend = format + 1;
        return 0;
    }
    HostRequest request = {};
    request.kind = kHostCommand;
    request.message = message;
    request.flags = flags;
    describe(message, block, &request);
    HostReply reply;
    if (!ask(open, &request, &reply))
        return MCIERR_HARDWARE;
    answer(message, flags, block, reply);
    if (message == MCI_SET && LOWORD(reply.result) == 0 && (flags & MCI_SET_TIME_FORMAT))
        open->timeFormat = request.values[0];
    return reply.result;
}

void readyLocks() {
    if (InterlockedCompareExchange(&locksReady, 1, 0) == 0) {
        for (CRITICAL_SECTION& lock : openLocks)
            InitializeCriticalSection(&lock);
        InitializeCriticalSection(&realLock);
    }
}

LRESULT openDevice(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters) {
    MCIDEVICEID deviceId = parameters ? parameters->wDeviceID : (MCIDEVICEID)0;
    for (int32_t slot = 0; slot < DriveModel::kMaxOpens; slot++) {
        EnterCriticalSection(&openLocks[slot]);
        if (!opens[slot].pipe) {
            opens[slot].pipe = openOnHost(deviceId);
            opens[slot].deviceId = deviceId;
            opens[slot].timeFormat = MCI_FORMAT_MSF;
            opens[slot].formatToSend = 0;
            opens[slot].realId = opens[slot].pipe ? openOnReal(parameter1, parameters) : 0;
            opens[slot].realOpened = opens[slot].realAlways = 0;
            HANDLE pipe = opens[slot].pipe;
            LeaveCriticalSection(&openLocks[slot]);
            if (!pipe)
                return 0;
            if (parameters) {
                parameters->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
                parameters->wType = MCI_DEVTYPE_CD_AUDIO;
            }
            return slot + 1;
        }
        LeaveCriticalSection(&openLocks[slot]);
    }
    return 0;
}

void closeDevice(DWORD_PTR driverId) {
    if (driverId < 1 || driverId > (DWORD_PTR)DriveModel::kMaxOpens)
        return;
    ClientOpen* open = &opens[driverId - 1];
    EnterCriticalSection(&openLocks[driverId - 1]);
    if (open->pipe) {
        HostRequest request = {};
        request.kind = kHostClose;
        request.formatFirst = open->formatToSend;
        HostReply reply;
        exchange(open->pipe, &request, &reply);
        CloseHandle(open->pipe);
        open->pipe = 0;
    }
    if (open->realId && real.proc)
        real.proc(open->realId, 0, DRV_CLOSE, 0, 0);
    open->realId = 0;
    LeaveCriticalSection(&openLocks[driverId - 1]);
}

// Whether the drive plays; 0 when the host cannot tell.
int playing(ClientOpen* open, CRITICAL_SECTION* lock) {
    HostRequest request = {};
    request.kind = kHostPlaying;
    HostReply reply;
    EnterCriticalSection(lock);
    int answered = open->pipe && ask(open, &request, &reply);
    LeaveCriticalSection(lock);
    return answered && reply.result;
}

LRESULT deviceCommand(DWORD_PTR driverId, UINT message, DWORD flags, DWORD_PTR block) {
    if (driverId < 1 || driverId > (DWORD_PTR)DriveModel::kMaxOpens)
        return MCIERR_INVALID_DEVICE_ID;
    ClientOpen* open = &opens[driverId - 1];
    CRITICAL_SECTION* lock = &openLocks[driverId - 1];
    EnterCriticalSection(lock);
    if (realAnswers(open, message)) {
        DWORD_PTR realId = open->realId;
        LeaveCriticalSection(lock);
        return real.proc(realId, 0, message, flags, block);
    }
    if (message == MCI_OPEN_DRIVER)
        openDriverOnReal(open, flags, block);
    else if (message == MCI_CLOSE_DRIVER && open->realOpened)
        real.proc(open->realId, 0, message, flags & ~MCI_NOTIFY, block);
    LRESULT result = open->pipe ? command(open, message, flags, block) : MCIERR_INVALID_DEVICE_ID;
    MCIDEVICEID deviceId = open->deviceId;
    LeaveCriticalSection(lock);
    // A play that waits returns when the drive no longer plays, or when the
    // user breaks the wait; the open's other commands go on meanwhile.
    if (LOWORD(result) == 0 && (flags & MCI_WAIT) && (message == MCI_PLAY || message == MCI_RESUME))
        while (playing(open, lock) && !mciDriverYield(deviceId))
            Sleep(20);
    return result;
}

} // namespace

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM parameter1, LPARAM parameter2) {
    switch (message) {
    case DRV_LOAD:
        readyLocks();
        return 1;
    case DRV_FREE:
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
