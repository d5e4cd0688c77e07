// The host publishes the drive's state after every change and at each turn
// of the drive's thread, so that a program's status needs no round trip
// (driver/SnapshotReader.cpp). The snapshot is made by this host under a
// name that carries its process, owned by the user, and only readable by
// others: only the host writes it. A name someone else made first is not
// used: the programs then ask the host, as before.
#include "DriveState.h"
#include "../../DriveSnapshot.h"
#include "../link/HostTrust.h"

namespace {

HANDLE mapping;
DriveSnapshot* snapshot;

int64_t ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

void openSnapshot() {
    wchar_t name[kPipeNameSize];
    if (!snapshotName(GetCurrentProcessId(), name))
        return;
    SECURITY_ATTRIBUTES security = {sizeof security, snapshotSecurity(), FALSE};
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.lpSecurityDescriptor ? &security : 0, PAGE_READWRITE,
                                 0, sizeof(DriveSnapshot), name);
    if (mapping && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mapping);
        mapping = 0;
    }
    snapshot = mapping ? (DriveSnapshot*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(DriveSnapshot)) : 0;
    if (security.lpSecurityDescriptor)
        LocalFree(security.lpSecurityDescriptor);
}

void closeSnapshot() {
    if (snapshot)
        UnmapViewOfFile(snapshot);
    if (mapping)
        CloseHandle(mapping);
    snapshot = 0;
    mapping = 0;
}

void publishSnapshot() {
    if (!snapshot)
        return;
    SnapshotState state;
    stateOf(drive.model, drive.segment, played(), ticks(), &state);
    state.host = GetCurrentProcessId();
    state.controlSettled = drive.activity.control == kControlRead && drive.activity.tray == kTrayClosed;
    state.controlWritten[0] = drive.control.written.dwLowDateTime;
    state.controlWritten[1] = drive.control.written.dwHighDateTime;
    state.logging = drive.control.logPath[0] != 0;
    snapshot->publish(state);
}
