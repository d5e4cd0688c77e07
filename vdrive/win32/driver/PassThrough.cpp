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
    // The session instance that the platform opens on an installable
    // driver before its first device, as it would have on this one.
    DWORD_PTR session;
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
        real.session = (DWORD_PTR)real.proc(0, 0, DRV_OPEN, 0, 0);
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
        if (real.session)
            real.proc(real.session, 0, DRV_CLOSE, 0, 0);
        real.proc(0, 0, DRV_DISABLE, 0, 0);
        real.proc(0, 0, DRV_FREE, 0, 0);
        FreeLibrary(real.module);
    }
    memset(&real, 0, sizeof real);
    LeaveCriticalSection(&realLock);
}

namespace {

// A text of the open, copied whole or not at all.
int keepText(const wchar_t* text, wchar_t* kept, int size) {
    if (!text)
        return 0;
    int length = lstrlenW(text);
    if (length >= size)
        return 0;
    memcpy(kept, text, (length + 1) * sizeof(wchar_t));
    return 1;
}

// A field that is a text unless `number` (a flag saying it is a number) is
// set: the number is kept as it came.
int keepField(DWORD flags, DWORD text, DWORD number, LPCWSTR given, LPCWSTR* field, wchar_t* kept, int size) {
    *field = given;
    if (!(flags & text) || (flags & number))
        return 1;
    if (!keepText(given, kept, size))
        return 0;
    *field = kept;
    return 1;
}

// Whether the open's element names a real CD drive ("D:").
int opensRealDrive(DWORD flags, const MCI_OPEN_PARMSW* parameters) {
    return parameters && (flags & MCI_OPEN_ELEMENT) && !(flags & MCI_OPEN_ELEMENT_ID) &&
           namesRealCdDrive(parameters->lpstrElementName);
}

} // namespace

void RealOpen::open(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters, int now) {
    opened = always = deferred = 0;
    id = 0;
    if (!now && keepDriverOpen(parameter1, parameters)) {
        deferred = 1;
        return;
    }
    openNow(parameter1, parameters);
}

void RealOpen::openNow(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters) {
    EnterCriticalSection(&realLock);
    loadRealDriver();
    MCI_OPEN_DRIVER_PARMS copy = {};
    if (parameters)
        copy = *parameters;
    id = real.proc ? (DWORD_PTR)real.proc(0, 0, DRV_OPEN, parameter1, (LPARAM)(parameters ? &copy : 0)) : 0;
    LeaveCriticalSection(&realLock);
}

int RealOpen::keepDriverOpen(LPARAM parameter1, const MCI_OPEN_DRIVER_PARMS* parameters) {
    kept = KeptOpen{};
    kept.hasName = parameter1 != 0;
    if (parameter1 && !keepText((const wchar_t*)parameter1, kept.name, MAX_PATH))
        return 0;
    kept.hasDriverParameters = parameters != 0;
    if (!parameters)
        return 1;
    kept.driverParameters = *parameters;
    kept.hasParams = parameters->lpstrParams != 0;
    return !kept.hasParams || keepText(parameters->lpstrParams, kept.params, kKeptTextSize);
}

int RealOpen::keepOpen(DWORD flags, const MCI_OPEN_PARMSW* parameters) {
    if (!parameters)
        return 0;
    kept.hasOpen = 1;
    kept.flags = flags;
    kept.open = *parameters;
    return keepField(flags, MCI_OPEN_TYPE, MCI_OPEN_TYPE_ID, parameters->lpstrDeviceType, &kept.open.lpstrDeviceType,
                     kept.type, kKeptTextSize) &&
           keepField(flags, MCI_OPEN_ELEMENT, MCI_OPEN_ELEMENT_ID, parameters->lpstrElementName,
                     &kept.open.lpstrElementName, kept.element, MAX_PATH) &&
           keepField(flags, MCI_OPEN_ALIAS, 0, parameters->lpstrAlias, &kept.open.lpstrAlias, kept.alias,
                     kKeptTextSize);
}

// The PC's own driver gets the open as the program made it, from copies.
void RealOpen::makeKept() {
    deferred = 0;
    if (kept.hasDriverParameters && kept.hasParams)
        kept.driverParameters.lpstrParams = kept.params;
    openNow(kept.hasName ? (LPARAM)kept.name : 0, kept.hasDriverParameters ? &kept.driverParameters : 0);
    if (!kept.hasOpen)
        return;
    MCI_OPEN_PARMSW parameters = kept.open;
    openDriverNow(kept.flags, (DWORD_PTR)&parameters);
}

void RealOpen::openDriver(DWORD flags, DWORD_PTR block) {
    MCI_OPEN_PARMSW* parameters = (MCI_OPEN_PARMSW*)block;
    if (deferred) {
        if (!opensRealDrive(flags, parameters) && virtualDriveHoldsImage() && keepOpen(flags & ~MCI_NOTIFY, parameters))
            return;
        kept.hasOpen = 0;
        makeKept();
    }
    openDriverNow(flags & ~MCI_NOTIFY, block);
}

void RealOpen::openDriverNow(DWORD flags, DWORD_PTR block) {
    if (!id || !real.proc)
        return;
    opened = real.proc(id, 0, MCI_OPEN_DRIVER, flags, block) == 0;
    always = opened && opensRealDrive(flags, (const MCI_OPEN_PARMSW*)block);
}

void RealOpen::openOnceNeeded(int imageHeld, DWORD timeFormat) {
    if (!deferred || imageHeld || virtualDriveHoldsImage())
        return;
    makeKept();
    if (opened && timeFormat != MCI_FORMAT_MSF)
        setTimeFormat(timeFormat);
}

void RealOpen::setTimeFormat(DWORD format) {
    MCI_SET_PARMS parameters = {};
    parameters.dwTimeFormat = format;
    real.proc(id, 0, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&parameters);
}

void RealOpen::closeDriver(DWORD flags, DWORD_PTR block) {
    if (opened)
        real.proc(id, 0, MCI_CLOSE_DRIVER, flags & ~MCI_NOTIFY, block);
}

int RealOpen::answers(UINT message, int hostless) const {
    return opened && message != MCI_OPEN_DRIVER && message != MCI_CLOSE_DRIVER &&
           (always || hostless || !virtualDriveHoldsImage());
}

LRESULT RealOpen::command(DWORD_PTR id, UINT message, DWORD flags, DWORD_PTR block) {
    return real.proc(id, 0, message, flags, block);
}

void RealOpen::close() {
    if (id && real.proc)
        real.proc(id, 0, DRV_CLOSE, 0, 0);
    id = 0;
    opened = always = deferred = 0;
}
