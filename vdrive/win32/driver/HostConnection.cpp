#include "HostConnection.h"

#include "../link/HostTrust.h"

#include <stdio.h>
#include <string.h>

namespace {

const int kOwedNothing = 0, kOwedWrite = 1, kOwedRead = 2;

// Connections owed an answer, in any open of the program or kept.
volatile LONG owedConnections;
// When the program last waited for a hanging host to answer a new
// connection: it waits again only after twice the limit.
volatile DWORD silentTriedAt;
// The host could not be started: the program no longer starts one, and
// only takes one that another program started.
volatile LONG hostUnstartable;

HMODULE self() {
    HMODULE module = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)&owedConnections, &module);
    return module;
}

// rundll32 of the system folder runs this DLL's DriveHost, detached from the
// program and in the system folder, so that it holds none of the program's
// handles or its folder. 0 when it cannot be started.
int startHost() {
    wchar_t folder[MAX_PATH], dll[MAX_PATH], line[3 * MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (!length || length >= MAX_PATH || !GetModuleFileNameW(self(), dll, MAX_PATH))
        return 0;
    _snwprintf(line, 3 * MAX_PATH, L"\"%ls\\rundll32.exe\" \"%ls\",DriveHost", folder, dll);
    line[3 * MAX_PATH - 1] = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host = {};
    if (!CreateProcessW(0, line, 0, 0, FALSE, DETACHED_PROCESS, 0, folder, &startup, &host))
        return 0;
    CloseHandle(host.hThread);
    CloseHandle(host.hProcess);
    return 1;
}

// Whether the program may try a new connection: no connection waits for
// an answer the host owes, or it has been long enough since the last try.
int mayConnect() {
    if (!owedConnections)
        return 1;
    if (GetTickCount() - silentTriedAt < 2 * kHostAnswerMs)
        return 0;
    silentTriedAt = GetTickCount();
    return 1;
}

// One overlapped operation, waited for until the deadline: 1 done, 0
// failed (the host has gone), -1 still under way.
int finish(HostConnection* connection, BOOL started, DWORD size, DWORD deadline) {
    DWORD done = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return 0;
    DWORD now = GetTickCount();
    DWORD wait = (int32_t)(deadline - now) > 0 ? deadline - now : 0;
    if (WaitForSingleObject(connection->event, wait) != WAIT_OBJECT_0)
        return -1;
    return GetOverlappedResult(connection->pipe, &connection->io, &done, FALSE) && done == size;
}

BOOL startWrite(HostConnection* connection) {
    ResetEvent(connection->event);
    memset(&connection->io, 0, sizeof connection->io);
    connection->io.hEvent = connection->event;
    return WriteFile(connection->pipe, &connection->sent, sizeof connection->sent, 0, &connection->io);
}

BOOL startRead(HostConnection* connection) {
    ResetEvent(connection->event);
    memset(&connection->io, 0, sizeof connection->io);
    connection->io.hEvent = connection->event;
    return ReadFile(connection->pipe, &connection->late, sizeof connection->late, 0, &connection->io);
}

void owe(HostConnection* connection, int what) {
    if (!connection->owed && what)
        InterlockedIncrement(&owedConnections);
    if (connection->owed && !what)
        InterlockedDecrement(&owedConnections);
    connection->owed = what;
}

} // namespace

int HostConnection::connect() {
    wchar_t name[kPipeNameSize];
    if (!mayConnect() || !hostPipeName(name))
        return 0;
    event = CreateEventA(0, TRUE, FALSE, 0);
    DWORD began = GetTickCount();
    int started = hostUnstartable != 0;
    while (event && GetTickCount() - began < kHostAnswerMs) {
        pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, 0);
        if (pipe != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            SetNamedPipeHandleState(pipe, &mode, 0, 0);
            // Not a word to a process of anyone else.
            server = pipeServer(pipe);
            if (servedByOwnUser(pipe))
                return 1;
            break;
        }
        pipe = 0;
        if (GetLastError() == ERROR_PIPE_BUSY) {
            WaitNamedPipeW(name, 100);
            continue;
        }
        // No host: one is started, once; one that cannot be costs no wait.
        if (!started && !startHost())
            break;
        started = 1;
        if (hostUnstartable)
            break;
        Sleep(20);
    }
    if (event && GetTickCount() - began >= kHostAnswerMs && !hostUnstartable)
        InterlockedExchange(&hostUnstartable, 1);
    close();
    return 0;
}

Exchanged HostConnection::exchange(HostRequest* request, HostReply* reply) {
    if (pipe && !settled())
        return kHostSilent;
    if (!pipe)
        return kHostGone;
    DWORD deadline = GetTickCount() + kHostAnswerMs;
    sent = *request;
    sent.sentAt = GetTickCount();
    int written = finish(this, startWrite(this), sizeof sent, deadline);
    if (written < 0) {
        owe(this, kOwedWrite);
        return kHostSilent;
    }
    int read = written ? finish(this, startRead(this), sizeof late, deadline) : 0;
    if (read < 0) {
        owe(this, kOwedRead);
        return kHostSilent;
    }
    if (!read)
        return kHostGone;
    *reply = late;
    return kAnswered;
}

int HostConnection::settled() {
    while (owed) {
        if (WaitForSingleObject(event, 0) != WAIT_OBJECT_0)
            return 0;
        DWORD done = 0;
        int ok = GetOverlappedResult(pipe, &io, &done, FALSE);
        int was = owed;
        owe(this, kOwedNothing);
        if (!ok) {
            close();
            return 1;
        }
        // The host took the request: its answer, owed too, is read and
        // dropped (the program has had its error).
        if (was == kOwedWrite) {
            BOOL started = startRead(this);
            if (!started && GetLastError() != ERROR_IO_PENDING) {
                close();
                return 1;
            }
            owe(this, kOwedRead);
        }
    }
    return 1;
}

void HostConnection::close() {
    if (pipe) {
        if (owed) {
            CancelIo(pipe);
            DWORD done;
            GetOverlappedResult(pipe, &io, &done, TRUE);
        }
        CloseHandle(pipe);
    }
    owe(this, kOwedNothing);
    if (event)
        CloseHandle(event);
    pipe = event = 0;
    server = 0;
}

