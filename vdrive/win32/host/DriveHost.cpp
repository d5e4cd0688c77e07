// The host of the session's one drive: `rundll32 drovixcd.dll,DriveHost`,
// started by the first open of any program. It serves each open on a pipe
// connection of its own, on a thread of its own, with the drive of this
// DLL; a connection that breaks (its program ended, or was killed) is that
// open's close. It leaves a few seconds after its last connection, once the
// drive has let its sound device go.
#include "DriveState.h"
#include "../link/HostLink.h"

#include <sddl.h>

#include <initializer_list>

namespace {

const DWORD kLingerMs = 3000;

volatile LONG connections;
volatile DWORD lastLeft; // GetTickCount as the last connection ended

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
    wchar_t text[64] = L"";
    switch (request.message) {
    case MCI_PLAY:
        block.play.dwFrom = request.values[0];
        block.play.dwTo = request.values[1];
        break;
    case MCI_SEEK:
        block.seek.dwTo = request.values[0];
        break;
    case MCI_SET:
        block.set.dwTimeFormat = request.values[0];
        break;
    case MCI_STATUS:
        block.status.dwItem = request.values[0];
        block.status.dwTrack = request.values[1];
        break;
    case MCI_GETDEVCAPS:
        block.caps.dwItem = request.values[0];
        break;
    case MCI_INFO:
        block.info.dwRetSize = request.values[0] < 64 ? request.values[0] : 64;
        block.info.lpstrReturn = request.values[1] ? text : 0;
        break;
    }
    uint32_t result = (uint32_t)driveCommand(driverId, request.message, request.flags,
                                             request.hasBlock ? (DWORD_PTR)&block : 0, 0);
    if (request.message == MCI_STATUS)
        reply->returned = (uint32_t)block.status.dwReturn;
    else if (request.message == MCI_GETDEVCAPS)
        reply->returned = block.caps.dwReturn;
    for (int i = 0; i < 64; i++)
        reply->text[i] = text[i];
    return result;
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
        if (request.kind == kHostOpen && !driverId) {
            MCI_OPEN_DRIVER_PARMS open = {};
            open.wDeviceID = (MCIDEVICEID)request.deviceId;
            reply.result = (uint32_t)(driverId = openDriver(&open, request.program));
        } else if (request.kind == kHostCommand) {
            reply.result = driverId ? command(driverId, request, &reply) : MCIERR_INVALID_DEVICE_ID;
        } else if (request.kind == kHostPlaying) {
            reply.result = drivePlaying();
        } else if (request.kind == kHostClose && driverId) {
            closeDriver(driverId);
            driverId = 0;
        }
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
    lastLeft = GetTickCount();
    InterlockedDecrement(&connections);
    return 0;
}

// Whether the host may leave: no connection for a while.
int quiet() { return connections == 0 && GetTickCount() - lastLeft >= kLingerMs; }

// Waits for the next connection: 1 when one came, 0 when the host leaves.
int awaitConnection(HANDLE pipe) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(0, TRUE, FALSE, 0);
    if (!overlapped.hEvent)
        return 0;
    int connected = ConnectNamedPipe(pipe, &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED;
    if (!connected && GetLastError() == ERROR_IO_PENDING) {
        DWORD done;
        while (!connected && !quiet())
            connected = WaitForSingleObject(overlapped.hEvent, 250) == WAIT_OBJECT_0 &&
                        GetOverlappedResult(pipe, &overlapped, &done, FALSE);
        if (!connected) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &overlapped, &done, TRUE);
        }
    }
    CloseHandle(overlapped.hEvent);
    return connected;
}

// The pipe is for every program of the user, elevated or not, whichever
// started the host: the user and the system may connect, and from Vista on
// a low mandatory label lets a program of lower integrity than an elevated
// host talk to it. 0 (the default security) when it cannot be made.
PSECURITY_DESCRIPTOR pipeSecurity() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } owner;
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenUser, &owner, sizeof owner, &size);
    CloseHandle(token);
    LPWSTR sid = 0;
    if (!known || !ConvertSidToStringSidW(owner.user.User.Sid, &sid))
        return 0;
    PSECURITY_DESCRIPTOR descriptor = 0;
    wchar_t text[256];
    for (const wchar_t* label : {L"S:(ML;;NW;;;LW)", L""}) {
        _snwprintf(text, 256, L"D:P(A;;GA;;;%ls)(A;;GA;;;SY)%ls", sid, label);
        text[255] = 0;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, 0))
            break;
        descriptor = 0;
    }
    LocalFree(sid);
    return descriptor;
}

} // namespace

// rundll32's entry: serves the session's drive until no program has it open.
// A second host finds the pipe taken and leaves at once.
extern "C" __declspec(dllexport) void CALLBACK DriveHost(HWND, HINSTANCE, LPSTR, int) {
    wchar_t name[64];
    hostPipeName(name, 64);
    if (!coreDriverProc(0, 0, DRV_LOAD, 0, 0))
        return;
    lastLeft = GetTickCount();
    SECURITY_ATTRIBUTES security = {sizeof security, pipeSecurity(), FALSE};
    DWORD first = FILE_FLAG_FIRST_PIPE_INSTANCE;
    for (;;) {
        HANDLE pipe = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                       sizeof(HostReply), sizeof(HostRequest), 0,
                                       security.lpSecurityDescriptor ? &security : 0);
        if (pipe == INVALID_HANDLE_VALUE)
            break;
        first = 0;
        if (!awaitConnection(pipe)) {
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
    // Wait for the connections still served (a host that could not listen
    // again), then let the drive go.
    while (connections)
        Sleep(50);
    if (security.lpSecurityDescriptor)
        LocalFree(security.lpSecurityDescriptor);
    coreDriverProc(0, 0, DRV_FREE, 0, 0);
}
