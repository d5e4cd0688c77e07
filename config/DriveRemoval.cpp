// The calls the removal needs came with the NT family or with Vista; the
// tool also loads on Windows 95, so each is looked up when it runs (the
// drive is only ever installed on the NT family).
#include "DriveRemoval.h"

#include <shellapi.h>

#include <stdio.h>
#include <string.h>

#include "../common/Text.h"
#include "../common/WindowsVersion.h"
#include "../vdrive/win32/link/DriveKeys.h"
#include "Texts.h"

namespace {

typedef BOOL(WINAPI* CreateProcessCall)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                        LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
typedef BOOL(WINAPI* ShellExecuteExCall)(SHELLEXECUTEINFOW*);
typedef BOOL(WINAPI* OpenProcessTokenCall)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* TokenInformationCall)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

const int kWideLineSize = 1024;
// TOKEN_INFORMATION_CLASS's TokenElevation, from Vista on.
const int kTokenElevation = 20;

FARPROC systemCall(const char* module, const char* name) {
    HMODULE loaded = GetModuleHandleA(module);
    return loaded ? GetProcAddress(loaded, name) : 0;
}

// An elevated token, or an administrator's where UAC is off. Where the
// answer cannot be had the rights are asked for: asking an elevated process
// costs nothing.
int32_t processElevated() {
    OpenProcessTokenCall openToken = (OpenProcessTokenCall)(void*)systemCall("advapi32.dll", "OpenProcessToken");
    TokenInformationCall tokenInformation =
        (TokenInformationCall)(void*)systemCall("advapi32.dll", "GetTokenInformation");
    HANDLE token;
    if (!openToken || !tokenInformation || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    DWORD elevated = 0, size = 0;
    BOOL answered =
        tokenInformation(token, (TOKEN_INFORMATION_CLASS)kTokenElevation, &elevated, sizeof elevated, &size);
    CloseHandle(token);
    return answered && elevated;
}

// What vdrivectl wrote, once it has ended: every end that writes into the
// pipe is then closed, so the reads end.
void readWords(HANDLE reading, char* said, int size) {
    DWORD got = 0, total = 0;
    while (total + 1 < (DWORD)size && ReadFile(reading, said + total, size - 1 - total, &got, 0) && got)
        total += got;
    while (total && (said[total - 1] == '\n' || said[total - 1] == '\r'))
        total--;
    said[total] = 0;
}

} // namespace

int32_t DriveRemoval::needsRights() { return ntVersion(windowsVersion()) >= 0x0600 && !processElevated(); }

void DriveRemoval::run(HWND owner, const char* directory) {
    char program[kProgramPathSize + 16];
    snprintf(program, sizeof program, "%svdrivectl.exe", directory);
    snprintf(command, sizeof command, "\"%s\" uninstall", program);
    wchar_t wideProgram[kWideLineSize];
    if (!toWide(program, wideProgram, kWideLineSize))
        notStarted = ERROR_FILENAME_EXCED_RANGE;
    else if (needsRights())
        runAskingForRights(owner, wideProgram);
    else
        runWithOwnRights(wideProgram);
    removed = ended && exitCode == 0 && !driveInstalledIn(0);
}

// With no console: its words come through the pipe.
void DriveRemoval::runWithOwnRights(const wchar_t* program) {
    CreateProcessCall createProcess = (CreateProcessCall)(void*)systemCall("kernel32.dll", "CreateProcessW");
    wchar_t line[kWideLineSize];
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE reading = 0, writing = 0;
    if (!createProcess || !toWide(command, line, kWideLineSize)) {
        notStarted = createProcess ? ERROR_FILENAME_EXCED_RANGE : ERROR_CALL_NOT_IMPLEMENTED;
        return;
    }
    if (!CreatePipe(&reading, &writing, &inherit, 4096)) {
        notStarted = GetLastError();
        return;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writing;
    PROCESS_INFORMATION tool = {};
    if (createProcess(program, line, 0, 0, TRUE, DETACHED_PROCESS, 0, 0, &startup, &tool)) {
        CloseHandle(writing);
        CloseHandle(tool.hThread);
        awaitEnd(tool.hProcess);
        CloseHandle(tool.hProcess);
        if (ended)
            readWords(reading, said, sizeof said);
    } else {
        notStarted = GetLastError();
        CloseHandle(writing);
    }
    CloseHandle(reading);
}

// The shell shows the request for the rights (UAC) and starts vdrivectl
// elevated; its words stay in its own hidden console, its exit code comes
// back. shell32 stays loaded: the shell may go on on its own threads.
void DriveRemoval::runAskingForRights(HWND owner, const wchar_t* program) {
    HMODULE shell = LoadLibraryA("shell32.dll");
    ShellExecuteExCall shellExecute = shell ? (ShellExecuteExCall)(void*)GetProcAddress(shell, "ShellExecuteExW") : 0;
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.hwnd = owner;
    request.lpVerb = L"runas";
    request.lpFile = program;
    request.lpParameters = L"uninstall";
    request.nShow = SW_HIDE;
    rightsAsked = 1;
    if (!shellExecute || !shellExecute(&request)) {
        notStarted = shellExecute ? GetLastError() : ERROR_CALL_NOT_IMPLEMENTED;
        return;
    }
    if (!request.hProcess) {
        notStarted = ERROR_INVALID_HANDLE;
        return;
    }
    awaitEnd(request.hProcess);
    CloseHandle(request.hProcess);
}

void DriveRemoval::awaitEnd(HANDLE process) {
    ended = WaitForSingleObject(process, kDriveRemovalLimit) == WAIT_OBJECT_0;
    if (ended && !GetExitCodeProcess(process, &exitCode))
        exitCode = GetLastError();
}

void DriveRemoval::tellWhyNotRemoved(char* text, int size) {
    if (rightsAsked && notStarted == ERROR_CANCELLED)
        snprintf(text, size, "%s", kTextDriveRightsRefused);
    else if (notStarted)
        snprintf(text, size, kTextDriveNotStarted, command, notStarted);
    else if (!ended)
        snprintf(text, size, kTextDriveNotEnded, (unsigned long)(kDriveRemovalLimit / 1000));
    else if (exitCode && said[0])
        snprintf(text, size, kTextDriveRefused, said);
    else if (exitCode)
        snprintf(text, size, kTextDriveFailed, exitCode);
    else
        snprintf(text, size, "%s", kTextDriveStillInstalled);
}
