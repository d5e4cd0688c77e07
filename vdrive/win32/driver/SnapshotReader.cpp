#include "SnapshotReader.h"

#include <mmsystem.h>

#include "../../DriveSnapshot.h"
#include "../link/Control.h"
#include "../link/HostTrust.h"
#include "../link/StatusReply.h"

namespace {

// A host that has not published for this long while its sound plays is
// asked instead: it may hang.
const int64_t kFreshMs = 500;

struct Reader {
    DWORD host;
    HANDLE mapping;
    const DriveSnapshot* snapshot;
    HKEY control;     // the control key, as opened for the last query
    FILETIME written; // its write time as queried for command `queriedFor`
    LONG queriedFor;
    // Signalled by a write of the key, as watched on `control` from before
    // its write time was queried: while it is not, no write has come since
    // that query.
    HANDLE changed;
    int armed;         // the watch was set up for the last query
    LONG unchangedFor; // the latest command whose look found it unsignalled
    FILETIME hostReading; // the host's reading of the key at the last query
    DriveModel model;
};
Reader reader;
CRITICAL_SECTION readerLock;
volatile DWORD endedHost;
// Counts the commands begun (0: none yet, so that no query is taken as made).
volatile LONG commandsBegun;

void unmap() {
    if (reader.snapshot)
        UnmapViewOfFile(reader.snapshot);
    if (reader.mapping)
        CloseHandle(reader.mapping);
    reader.snapshot = 0;
    reader.mapping = 0;
    reader.host = 0;
}

// The snapshot of that host, mapped once; 0 when it has none of its own
// (looked for once a host).
const DriveSnapshot* snapshotOf(DWORD host) {
    if (host == reader.host)
        return reader.snapshot;
    unmap();
    reader.host = host;
    wchar_t name[kPipeNameSize];
    if (!snapshotName(host, name))
        return 0;
    reader.mapping = OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, name);
    if (reader.mapping && ownedByOwnUser(reader.mapping))
        reader.snapshot = (const DriveSnapshot*)MapViewOfFile(reader.mapping, FILE_MAP_READ, 0, 0, sizeof(DriveSnapshot));
    if (!reader.snapshot && reader.mapping) {
        CloseHandle(reader.mapping);
        reader.mapping = 0;
    }
    return reader.snapshot;
}

// The control key and its watch let go, under the reader's lock.
void closeWatch() {
    if (reader.control)
        RegCloseKey(reader.control);
    if (reader.changed)
        CloseHandle(reader.changed);
    reader.control = 0;
    reader.changed = 0;
    reader.armed = 0;
}

// The key's write time queried afresh, from the key opened anew: one deleted
// and made again (by reg or a test) is another key, whose writes the old
// handle never hears. A watch of its own is set up on it first, with an
// event of its own, so that nothing of the old watch reaches the new. The
// watch is not bound to the thread that sets it up where the system can
// do that (Windows 8 on): a bound one ends with its thread, and the driver
// serves every thread of the program (an ended watch only costs a query).
int queryControl(const SnapshotState& state) {
    closeWatch();
    reader.hostReading.dwLowDateTime = state.controlWritten[0];
    reader.hostReading.dwHighDateTime = state.controlWritten[1];
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kControlKey, 0, KEY_QUERY_VALUE | KEY_NOTIFY, &reader.control)) {
        reader.control = 0;
        return 0;
    }
    reader.changed = CreateEventA(0, TRUE, FALSE, 0);
    const DWORD kWrites = REG_NOTIFY_CHANGE_LAST_SET;
    reader.armed = reader.changed &&
                   (RegNotifyChangeKeyValue(reader.control, FALSE, kWrites | REG_NOTIFY_THREAD_AGNOSTIC, reader.changed,
                                            TRUE) == ERROR_SUCCESS ||
                    RegNotifyChangeKeyValue(reader.control, FALSE, kWrites, reader.changed, TRUE) == ERROR_SUCCESS);
    return RegQueryInfoKeyA(reader.control, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &reader.written) == ERROR_SUCCESS;
}

// Whether a write time is the one the host read the key at.
int asHostRead(const FILETIME& time, const SnapshotState& state) {
    return time.dwLowDateTime == state.controlWritten[0] && time.dwHighDateTime == state.controlWritten[1];
}

// Whether the control key is as the host last read it. A query made since
// the latest command began serves every command begun before it, and so
// does a look since then that found no write since the last query; unless
// the host's reading has changed since that query and differs from it (the
// key may have been made again), which is queried anew.
int controlAsRead(const SnapshotState& state) {
    LONG command = commandsBegun;
    if (!command || reader.queriedFor != command) {
        int unwritten = command && reader.queriedFor && reader.unchangedFor == command &&
                        (asHostRead(reader.written, state) || asHostRead(reader.hostReading, state));
        reader.queriedFor = 0;
        if (!unwritten && !queryControl(state))
            return 0;
        reader.queriedFor = command;
    }
    return asHostRead(reader.written, state);
}

int64_t ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int answerable(const SnapshotState& state, DWORD host, DWORD item, int64_t now) {
    if (state.host != host || state.logging)
        return 0;
    if (state.mode == kDrivePlaying && state.keeper != kKeptByClock &&
        (now - state.stamp) * 1000 / state.ticksPerSecond > kFreshMs)
        return 0;
    if (item == MCI_STATUS_MODE || item == MCI_STATUS_MEDIA_PRESENT || item == MCI_STATUS_READY)
        return state.controlSettled && controlAsRead(state);
    return 1;
}

} // namespace

void readySnapshotReader() { InitializeCriticalSection(&readerLock); }

void hostEndedForSnapshot(DWORD host) { endedHost = host; }

void commandBeginsForSnapshot() {
    if (!InterlockedIncrement(&commandsBegun))
        InterlockedIncrement(&commandsBegun);
}

int lookBeforeReading(HANDLE hostProcess) {
    EnterCriticalSection(&readerLock);
    LONG command = commandsBegun;
    HANDLE handles[2];
    DWORD count = 0;
    if (hostProcess)
        handles[count++] = hostProcess;
    if (reader.armed)
        handles[count++] = reader.changed;
    // The first signalled is the one told: a host that has ended answers
    // nothing from its snapshot, whatever the key.
    DWORD woke = count ? WaitForMultipleObjects(count, handles, FALSE, 0) : WAIT_TIMEOUT;
    int ended = hostProcess && (woke == WAIT_OBJECT_0 ||
                                (woke == WAIT_FAILED && WaitForSingleObject(hostProcess, 0) == WAIT_OBJECT_0));
    if (reader.armed && woke == WAIT_TIMEOUT)
        reader.unchangedFor = command;
    LeaveCriticalSection(&readerLock);
    return ended;
}

int statusFromSnapshot(DWORD host, DWORD timeFormat, DWORD flags, DWORD_PTR block, LRESULT* result,
                       uint32_t* notifying) {
    if (!host || host == endedHost || !block || (flags & (MCI_NOTIFY | MCI_WAIT)) || !(flags & MCI_STATUS_ITEM))
        return 0;
    MCI_STATUS_PARMS* parameters = (MCI_STATUS_PARMS*)block;
    EnterCriticalSection(&readerLock);
    const DriveSnapshot* snapshot = snapshotOf(host);
    SnapshotState state;
    int64_t now = ticks();
    int answered = snapshot && snapshot->read(&state) && answerable(state, host, parameters->dwItem, now);
    if (answered) {
        modelOf(state, timeFormat, &reader.model);
        StatusAnswer answer;
        DWORD error =
            reader.model.status(0, flags, parameters->dwItem, parameters->dwTrack, playedAt(state, now), &answer);
        *result = error ? error : statusReply(parameters->dwItem, answer, &parameters->dwReturn);
        *notifying = state.notifyWindow;
    }
    LeaveCriticalSection(&readerLock);
    return answered;
}

int snapshotHoldsImage(DWORD host) {
    if (!host || host == endedHost)
        return 0;
    EnterCriticalSection(&readerLock);
    const DriveSnapshot* snapshot = snapshotOf(host);
    SnapshotState state;
    int held = snapshot && snapshot->read(&state) && state.host == host && state.mediaPresent && controlAsRead(state);
    LeaveCriticalSection(&readerLock);
    return held;
}

void dropSnapshot() {
    EnterCriticalSection(&readerLock);
    unmap();
    closeWatch();
    LeaveCriticalSection(&readerLock);
}
