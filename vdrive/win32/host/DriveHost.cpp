// The host of the drive of one user in one session: `rundll32 drovixcd.dll,DriveHost`,
// started by the first open of any program. It serves each open on a pipe
// connection of its own, on a thread of its own, with the drive of this
// DLL; a connection that breaks (its program ended, or was killed) is that
// open's close. Once started it stays for the session, so that no program
// after the first waits for a process to start (an idle host waits on its
// pipe and holds no sound device); vdrivectl asks it to leave (install and
// uninstall do, before they touch the DLL), and it leaves once no program
// has the drive open.
#include "DriveState.h"
#include "../link/HostLink.h"
#include "../link/HostTrust.h"

#include <initializer_list>

namespace {

volatile LONG connections;
// Set (manual reset) once vdrivectl has asked the host to leave; the host
// leaves as its last connection ends.
HANDLE leaveAsked;

// The system's sound is made ready while the host waits for its first
// request: the first sound device a process asks for connects it to the
// sound server (under Wine, 60 to 100 ms), which a play would wait for.
// Asking how many devices there are opens none.
DWORD WINAPI readySound(void*) {
    waveOutGetNumDevs();
    return 0;
}

// One read or write on the pipe, waited for on the connection's event: the
// pipe is overlapped so that the host can stop listening.
int pipeIo(HANDLE pipe, HANDLE event, int write, void* buffer, DWORD size) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    DWORD done = 0;
    BOOL ok = write ? WriteFile(pipe, buffer, size, 0, &overlapped) : ReadFile(pipe, buffer, size, 0, &overlapped);
    if (ok || GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(pipe, &overlapped, &done, TRUE);
    return ok && done == size;
}

union Block {
    MCI_GENERIC_PARMS generic;
    MCI_PLAY_PARMS play;
    MCI_SEEK_PARMS seek;
    MCI_SET_PARMS set;
    MCI_STATUS_PARMS status;
    MCI_GETDEVCAPS_PARMS caps;
    MCI_INFO_PARMSW info;
};

// The client's command, with a parameter block of its fields, to the drive.
uint32_t command(DWORD_PTR driverId, const HostRequest& request, HostReply* reply) {
    Block block;
    memset(&block, 0, sizeof block);
    block.generic.dwCallback = (DWORD_PTR)windowOf(request.callback);
    wchar_t text[kReplyTextSize] = L"";
    writeFields(request.message, request.values, (DWORD_PTR)&block, text);
    uint32_t result = (uint32_t)driveCommand(driverId, request.message, request.flags,
                                             request.hasBlock ? (DWORD_PTR)&block : 0, 0);
    reply->returned = readAnswer(request.message, (DWORD_PTR)&block);
    for (int i = 0; i < kReplyTextSize; i++)
        reply->text[i] = text[i];
    return result;
}

// The window whose notification the drive holds for the open; 0: none.
uint32_t notifyPending(DWORD_PTR driverId) {
    EnterCriticalSection(&drive.lock);
    int32_t slot = slotOf(driverId);
    uint32_t pending = slot >= 0 && drive.model.notifyOpen == slot ? windowBits(drive.model.notifyCallback) : 0;
    LeaveCriticalSection(&drive.lock);
    return pending;
}

// One open of one program, from its open to its close or its end.
DWORD WINAPI serveOpen(void* parameter) {
    HANDLE pipe = (HANDLE)parameter;
    HANDLE event = CreateEventA(0, TRUE, FALSE, 0);
    DWORD_PTR driverId = 0;
    HostRequest request;
    while (event && pipeIo(pipe, event, 0, &request, sizeof request)) {
        HostReply reply;
        memset(&reply, 0, sizeof reply);
        if (request.formatFirst && driverId) {
            MCI_SET_PARMS set = {};
            set.dwTimeFormat = request.formatFirst - 1;
            driveCommand(driverId, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set, 0);
        }
        // The program has given up on a request this old, and told its
        // caller it failed: it is not run now.
        int late = GetTickCount() - request.sentAt > kHostAnswerMs;
        if (late && (request.kind == kHostOpen || request.kind == kHostCommand)) {
            reply.result = request.kind == kHostOpen ? 0 : MCIERR_HARDWARE;
        } else if (request.kind == kHostOpen && !driverId) {
            MCI_OPEN_DRIVER_PARMS open = {};
            open.wDeviceID = (MCIDEVICEID)request.deviceId;
            reply.result = (uint32_t)(driverId = openDriver(&open, request.program));
        } else if (request.kind == kHostCommand) {
            reply.result = driverId ? command(driverId, request, &reply) : MCIERR_INVALID_DEVICE_ID;
        } else if (request.kind == kHostPlaying) {
            reply.result = drivePlaying();
        } else if (request.kind == kHostLeave) {
            SetEvent(leaveAsked);
            reply.result = 1;
        } else if (request.kind == kHostClose && driverId) {
            closeDriver(driverId);
            driverId = 0;
        }
        reply.notifyPending = driverId ? notifyPending(driverId) : 0;
        if (!pipeIo(pipe, event, 1, &reply, sizeof reply) || request.kind == kHostClose)
            break;
    }
    if (event)
        CloseHandle(event);
    // A program that ended without closing lets go of its open here.
    if (driverId)
        closeDriver(driverId);
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    InterlockedDecrement(&connections);
    return 0;
}

// Whether the host may leave: asked to, and no program has the drive open.
int quiet() { return connections == 0 && WaitForSingleObject(leaveAsked, 0) == WAIT_OBJECT_0; }

// Waits for the next connection on the listening instance: 1 when one
// came, 0 when the host may leave, -1 when the instance listens again (a
// program connected and left at once). A connection that completes as the
// host decides to leave is served all the same; one that comes between the
// cancel and the close is closed unanswered, and its program makes its open
// again on the next host. The instance is never closed while the host
// stays, so that the name is never free for a second host meanwhile.
int awaitConnection(HANDLE pipe) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(0, TRUE, FALSE, 0);
    if (!overlapped.hEvent)
        return 0;
    int connected = ConnectNamedPipe(pipe, &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED;
    if (!connected && GetLastError() == ERROR_IO_PENDING) {
        DWORD done;
        HANDLE events[2] = {overlapped.hEvent, leaveAsked};
        // Until asked to leave, nothing but a connection wakes the host;
        // then it looks every little while for its last connection's end.
        int ended = 0;
        while (!connected && !ended && !quiet()) {
            int asked = WaitForSingleObject(leaveAsked, 0) == WAIT_OBJECT_0;
            ended = WaitForMultipleObjects(asked ? 1 : 2, events, FALSE, asked ? 50 : INFINITE) == WAIT_OBJECT_0;
            connected = ended && GetOverlappedResult(pipe, &overlapped, &done, FALSE);
        }
        if (!connected && !ended) {
            CancelIo(pipe);
            connected = GetOverlappedResult(pipe, &overlapped, &done, TRUE);
        }
        // A connection that failed as it came: the instance listens again.
        if (!connected && ended) {
            DisconnectNamedPipe(pipe);
            connected = quiet() ? 0 : -1;
        }
    } else if (!connected) {
        DisconnectNamedPipe(pipe);
        connected = quiet() ? 0 : -1;
    }
    CloseHandle(overlapped.hEvent);
    return connected;
}

// A new instance of the pipe; the first is the name's first, so that a
// host that finds the name held leaves. Remote clients are refused where
// the platform knows how (Vista on).
HANDLE listeningInstance(const wchar_t* name, SECURITY_ATTRIBUTES* security, int first) {
    DWORD access = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    for (DWORD remote : {(DWORD)PIPE_REJECT_REMOTE_CLIENTS, (DWORD)0}) {
        HANDLE pipe = CreateNamedPipeW(name, access, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | remote,
                                       PIPE_UNLIMITED_INSTANCES, sizeof(HostReply), sizeof(HostRequest), 0,
                                       security->lpSecurityDescriptor ? security : 0);
        if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_INVALID_PARAMETER)
            return pipe;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

// rundll32's entry: serves the user's drive until no program has it open.
// A second host finds the pipe taken and leaves at once. A listening
// instance that fails is made again: the name stays this host's while it
// lives, so no program is left without a host to reach.
extern "C" __declspec(dllexport) void CALLBACK DriveHost(HWND, HINSTANCE, LPSTR, int) {
    wchar_t name[kPipeNameSize];
    leaveAsked = CreateEventA(0, TRUE, FALSE, 0);
    if (!leaveAsked || !hostPipeName(name) || !coreDriverProc(0, 0, DRV_LOAD, 0, 0))
        return;
    openSnapshot();
    HANDLE soundReadied = CreateThread(0, 0, readySound, 0, 0, 0);
    if (soundReadied)
        CloseHandle(soundReadied);
    SECURITY_ATTRIBUTES security = {sizeof security, hostPipeSecurity(), FALSE};
    int first = 1;
    for (;;) {
        // Without a connection the name is the host's only through its
        // first instance: another host that took it meanwhile keeps it.
        HANDLE pipe = listeningInstance(name, &security, first || connections == 0);
        if (pipe == INVALID_HANDLE_VALUE) {
            if (first || connections == 0 || quiet())
                break;
            Sleep(100);
            continue;
        }
        first = 0;
        int connected;
        while ((connected = awaitConnection(pipe)) < 0)
            Sleep(50);
        if (!connected) {
            CloseHandle(pipe);
            break;
        }
        InterlockedIncrement(&connections);
        HANDLE thread = CreateThread(0, 0, serveOpen, pipe, 0, 0);
        if (thread) {
            CloseHandle(thread);
        } else {
            CloseHandle(pipe);
            InterlockedDecrement(&connections);
        }
    }
    // Wait for the connections still served, then let the drive go.
    while (connections)
        Sleep(50);
    if (security.lpSecurityDescriptor)
        LocalFree(security.lpSecurityDescriptor);
    coreDriverProc(0, 0, DRV_FREE, 0, 0);
    closeSnapshot();
    CloseHandle(leaveAsked);
}
