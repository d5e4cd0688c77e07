#include "HostConnection.h"

#include "../link/HostTrust.h"

#include <stdio.h>
#include <string.h>

namespace {

const int kOwedNothing = 0, kOwedWrite = 1, kOwedRead = 2;
// A host that leaves closes a connection it took at once: an open that
// found the host gone this soon is made again.
const DWORD kGoneAtOnceMs = 1000;

// Connections owed an answer, in any open of the program or kept.
volatile LONG owedConnections;
// When the program last waited for a hanging host to answer a new
// connection: it waits again only after twice the limit.
volatile DWORD silentTriedAt;
// rundll32 could not be started (a policy, a job without child
// processes): the program no longer tries, and only takes a host that
// another program started, until one answers it.
volatile LONG hostUnstartable;

HMODULE self() {
    HMODULE module = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)&owedConnections, &module);
    return module;
}

// rundll32 of the system folder runs this DLL's DriveHost, detached from the
// program and in the system folder, so that it holds none of the program's
// handles or its folder. Its process, or 0 when it cannot be started.
HANDLE startHost() {
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
    return host.hProcess;
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

int HostConnection::connect(DWORD deadline) {
    wchar_t name[kPipeNameSize];
    if (!mayConnect() || !hostPipeName(name))
        return 0;
    event = CreateEventA(0, TRUE, FALSE, 0);
    HANDLE started = 0;
    int tried = hostUnstartable != 0;
    while (event && (int32_t)(deadline - GetTickCount()) > 0) {
        pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, 0);
        if (pipe != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            SetNamedPipeHandleState(pipe, &mode, 0, 0);
            // Not a word to a process of anyone else.
            server = pipeServer(pipe);
            if (!servedByOwnUser(pipe))
                break;
            InterlockedExchange(&hostUnstartable, 0);
            if (started)
                CloseHandle(started);
            return 1;
        }
        pipe = 0;
        DWORD error = GetLastError();
        if (error == ERROR_PIPE_BUSY) {
            WaitNamedPipeW(name, 100);
            continue;
        }
        // The name is someone else's, who keeps us out.
        if (error == ERROR_ACCESS_DENIED)
            break;
        // No host: one is started, once; one that cannot be costs no wait.
        // One that ended without its pipe found the name held, by a host
        // another program started at the same moment: the name is looked at
        // once more.
        if (!tried) {
            tried = 1;
            started = startHost();
            if (!started) {
                InterlockedExchange(&hostUnstartable, 1);
                break;
            }
        } else if (!started) {
            break;
        }
        if (WaitForSingleObject(started, 20) == WAIT_OBJECT_0) {
            CloseHandle(started);
            started = 0;
        }
    }
    if (started)
        CloseHandle(started);
    close();
    return 0;
}

Exchanged HostConnection::connectAndAsk(HostRequest* request, HostReply* reply) {
    DWORD deadline = GetTickCount() + kHostAnswerMs;
    for (int attempt = 0; attempt < 2 && connect(deadline); attempt++) {
        DWORD asked = GetTickCount();
        Exchanged got = exchangeBy(request, reply, deadline);
        if (got != kHostGone || GetTickCount() - asked > kGoneAtOnceMs)
            return got;
        close();
    }
    return kHostGone;
}

Exchanged HostConnection::exchange(HostRequest* request, HostReply* reply) {
    return exchangeBy(request, reply, GetTickCount() + kHostAnswerMs);
}

Exchanged HostConnection::exchangeBy(HostRequest* request, HostReply* reply, DWORD deadline) {
    if (pipe && !settled())
        return kHostSilent;
    if (!pipe)
        return kHostGone;
    sent = *request;
    sent.sentAt = deadline - kHostAnswerMs;
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
        CloseHandle(pipe);
        // Closing the pipe ends the operation under way, whichever thread
        // began it: the record is free once the end is written into it.
        if (owed)
            WaitForSingleObject(event, 1000);
    }
    owe(this, kOwedNothing);
    if (event)
        CloseHandle(event);
    pipe = event = 0;
    server = 0;
}

// The host posts its notifications from a process of its own: an elevated
// program lets them through to its window (Windows' filter between
// integrity levels drops them otherwise).
void letNotificationsIn(DWORD_PTR window) {
    static int elevated = -1;
    if (elevated < 0) {
        HANDLE token = 0;
        DWORD value = 0, size = 0;
        elevated =
            OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
            GetTokenInformation(token, (TOKEN_INFORMATION_CLASS)20 /* TokenElevation */, &value, sizeof value, &size) &&
            value;
        if (token)
            CloseHandle(token);
    }
    if (!elevated || !window)
        return;
    // The window's own filter from Windows 7 on; the program's on Vista.
    typedef BOOL(WINAPI * WindowFilter)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * ProgramFilter)(UINT, DWORD);
    HMODULE user = GetModuleHandleA("user32.dll");
    WindowFilter windowFilter = (WindowFilter)(void*)GetProcAddress(user, "ChangeWindowMessageFilterEx");
    ProgramFilter programFilter = (ProgramFilter)(void*)GetProcAddress(user, "ChangeWindowMessageFilter");
    if (windowFilter)
        windowFilter((HWND)window, MM_MCINOTIFY, 1 /* MSGFLT_ALLOW */, 0);
    else if (programFilter)
        programFilter(MM_MCINOTIFY, 1 /* MSGFLT_ADD */);
}
