#include "HostTrust.h"

#include "HostLink.h"

#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>

#include <initializer_list>

namespace {

// Room for any SID.
union UserSid {
    SID sid;
    BYTE bytes[SECURITY_MAX_SID_SIZE];
};

int tokenUser(HANDLE token, UserSid* user) {
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } read;
    DWORD size = 0;
    return GetTokenInformation(token, TokenUser, &read, sizeof read, &size) &&
           CopySid(sizeof user->bytes, user, read.user.User.Sid);
}

int processUser(HANDLE process, UserSid* user) {
    HANDLE token;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return 0;
    int known = tokenUser(token, user);
    CloseHandle(token);
    return known;
}

// The user a host must run as: this process's own. The drive's wary test
// build expects another, so that a host of the same user stands for one of
// another user (every process under Wine runs as the one user).
int expectedUser(UserSid* user) {
#ifdef DROVIX_WARY_TEST
    PSID other = 0;
    int made = ConvertStringSidToSidW(L"S-1-5-21-1-2-3-1001", &other) && CopySid(sizeof user->bytes, user, other);
    if (other)
        LocalFree(other);
    return made;
#else
    return processUser(GetCurrentProcess(), user);
#endif
}

int userText(wchar_t* text, int size) {
    UserSid user;
    LPWSTR sid = 0;
    if (!processUser(GetCurrentProcess(), &user) || !ConvertSidToStringSidW(&user, &sid))
        return 0;
    int fits = lstrlenW(sid) < size;
    if (fits)
        lstrcpyW(text, sid);
    LocalFree(sid);
    return fits;
}

typedef BOOL(WINAPI* ServerProcessId)(HANDLE, PULONG);

} // namespace

int hostPipeName(wchar_t name[kPipeNameSize]) {
    DWORD session = 0;
    wchar_t user[96];
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    if (!userText(user, 96))
        return 0;
    _snwprintf(name, kPipeNameSize, L"\\\\.\\pipe\\DrovixVirtualDrive.%lu.%ls", (unsigned long)session, user);
    name[kPipeNameSize - 1] = 0;
    return 1;
}

DWORD pipeServer(HANDLE pipe) {
    // Vista's; looked up so that the drive still loads on XP.
    ServerProcessId server =
        (ServerProcessId)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNamedPipeServerProcessId");
    ULONG process = 0;
    return server && server(pipe, &process) ? process : 0;
}

int servedByOwnUser(HANDLE pipe) {
    UserSid expected, server;
    if (!expectedUser(&expected))
        return 0;
    DWORD id = pipeServer(pipe);
    if (id) {
        HANDLE process = 0;
        for (DWORD access : {(DWORD)0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */, (DWORD)PROCESS_QUERY_INFORMATION})
            if (!process)
                process = OpenProcess(access, FALSE, id);
        int known = process && processUser(process, &server);
        if (process)
            CloseHandle(process);
        return known && EqualSid(&expected, &server);
    }
    return ownedByOwnUser(pipe);
}

int ownedByOwnUser(HANDLE object) {
    UserSid expected;
    PSID owner = 0;
    PSECURITY_DESCRIPTOR descriptor = 0;
    int ours = expectedUser(&expected) &&
               GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, 0, 0, 0, &descriptor) ==
                   ERROR_SUCCESS &&
               owner && EqualSid(&expected, owner);
    if (descriptor)
        LocalFree(descriptor);
    return ours;
}

int snapshotName(DWORD host, wchar_t name[kPipeNameSize]) {
    DWORD session = 0;
    wchar_t user[96];
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    if (!userText(user, 96))
        return 0;
    _snwprintf(name, kPipeNameSize, L"Local\\DrovixVirtualDrive.%lu.%ls.%lu", (unsigned long)session, user,
               (unsigned long)host);
    name[kPipeNameSize - 1] = 0;
    return 1;
}

PSECURITY_DESCRIPTOR securityFor(const wchar_t* rights) {
    wchar_t user[96], text[384];
    if (!userText(user, 96))
        return 0;
    PSECURITY_DESCRIPTOR descriptor = 0;
    // Windows before Vista knows no integrity label.
    for (const wchar_t* label : {L"S:(ML;;NW;;;ME)", L""}) {
        _snwprintf(text, 384, L"O:%lsD:P(A;;%ls;;;%ls)(A;;%ls;;;SY)%ls", user, rights, user, rights, label);
        text[383] = 0;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, 0))
            return descriptor;
    }
    return 0;
}

PSECURITY_DESCRIPTOR hostPipeSecurity() { return securityFor(L"GA"); }

PSECURITY_DESCRIPTOR snapshotSecurity() { return securityFor(L"GR"); }

int hostHolder(DWORD* process, int* ownUser) {
    wchar_t name[kPipeNameSize];
    *process = 0;
    *ownUser = 0;
    if (!hostPipeName(name))
        return 0;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (int tries = 0; pipe == INVALID_HANDLE_VALUE && tries < 2; tries++) {
        pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING,
                           SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, 0);
        if (pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY)
            WaitNamedPipeW(name, 1000);
        else if (pipe == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_ACCESS_DENIED;
    }
    if (pipe == INVALID_HANDLE_VALUE)
        return 1;
    *process = pipeServer(pipe);
    *ownUser = servedByOwnUser(pipe);
    CloseHandle(pipe);
    return 1;
}

int askHostToLeave(DWORD waitMs) {
    wchar_t name[kPipeNameSize];
    if (!hostPipeName(name))
        return 0;
    HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, 0);
    if (pipe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_PIPE_BUSY ? 1 : 0;
    if (!servedByOwnUser(pipe)) {
        CloseHandle(pipe);
        return 2;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, 0, 0);
    HANDLE host = OpenProcess(SYNCHRONIZE, FALSE, pipeServer(pipe));
    HostRequest request = {};
    request.kind = kHostLeave;
    request.sentAt = GetTickCount();
    HostReply reply;
    OVERLAPPED io = {};
    io.hEvent = CreateEventA(0, TRUE, FALSE, 0);
    DWORD done = 0;
    if (io.hEvent && !TransactNamedPipe(pipe, &request, sizeof request, &reply, sizeof reply, &done, &io) &&
        GetLastError() == ERROR_IO_PENDING && WaitForSingleObject(io.hEvent, kHostAnswerMs) != WAIT_OBJECT_0)
        CancelIo(pipe);
    if (io.hEvent) {
        GetOverlappedResult(pipe, &io, &done, TRUE);
        CloseHandle(io.hEvent);
    }
    CloseHandle(pipe);
    int stays = host && WaitForSingleObject(host, waitMs) != WAIT_OBJECT_0;
    if (host)
        CloseHandle(host);
    return stays ? 1 : 3;
}
