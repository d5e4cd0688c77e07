#include "PassThrough.h"

#include <mmddk.h>

#include <string.h>

#include "../link/DriveKeys.h"
#include "RealDrive.h"

namespace {

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

} // namespace

void readyRealDriver() { InitializeCriticalSection(&realLock); }

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

void RealOpen::open(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters) {
    EnterCriticalSection(&realLock);
    loadRealDriver();
    MCI_OPEN_DRIVER_PARMS copy = {};
    if (parameters)
        copy = *parameters;
    id = real.proc ? (DWORD_PTR)real.proc(0, 0, DRV_OPEN, parameter1, (LPARAM)(parameters ? &copy : 0)) : 0;
    LeaveCriticalSection(&realLock);
    opened = always = 0;
}

void RealOpen::openDriver(DWORD flags, DWORD_PTR block) {
    if (!id || !real.proc)
        return;
    opened = real.proc(id, 0, MCI_OPEN_DRIVER, flags & ~MCI_NOTIFY, block) == 0;
    MCI_OPEN_PARMSW* parameters = (MCI_OPEN_PARMSW*)block;
    always = opened && parameters && (flags & MCI_OPEN_ELEMENT) && !(flags & MCI_OPEN_ELEMENT_ID) &&
             namesRealCdDrive(parameters->lpstrElementName);
}

void RealOpen::closeDriver(DWORD flags, DWORD_PTR block) {
    if (opened)
        real.proc(id, 0, MCI_CLOSE_DRIVER, flags & ~MCI_NOTIFY, block);
}

int RealOpen::answers(UINT message, int hostless) const {
    return opened && message != MCI_OPEN_DRIVER && message != MCI_CLOSE_DRIVER &&
           (always || hostless || !virtualDriveHoldsImage());
}

LRESULT RealOpen::command(UINT message, DWORD flags, DWORD_PTR block) const {
    return real.proc(id, 0, message, flags, block);
}

void RealOpen::close() {
    if (id && real.proc)
        real.proc(id, 0, DRV_CLOSE, 0, 0);
    id = 0;
    opened = always = 0;
}
