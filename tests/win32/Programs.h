// Running the real programs from a test: they stand beside the test program,
// or in the folder that DROVIX_PROGRAMS names (the unpacked release).
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <string.h>

#include <string>

#include "WideText.h"

// This test program's folder, with its trailing backslash.
inline std::string testFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(0, path, MAX_PATH);
    std::string program = path;
    return program.substr(0, program.rfind('\\') + 1);
}

// The user's temporary folder, with its trailing backslash: the only place
// the virtual drive logs to.
inline std::string tempFolder() {
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

// Empties the drive's log: the drive appends a line at every command while
// it logs, and a delete in the moment its line is written fails (the file
// is open), which would leave the last lines to be read as new. True once
// the file is gone.
inline bool clearLog(const std::string& path) {
    for (int tries = 0; tries < 100; tries++) {
        if (DeleteFileW(wide(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        Sleep(10);
    }
    return false;
}

// A variable of the run's environment as Shift-JIS; "" when it is not set.
// Read wide: Wine's GetEnvironmentVariableA cuts a value with double-byte
// characters to as many bytes as it has characters.
inline std::string environmentText(const wchar_t* name) {
    wchar_t value[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? "" : shiftJis(value);
}

// The programs' folder, with its trailing backslash.
inline std::string programFolder() {
    std::string named = environmentText(L"DROVIX_PROGRAMS");
    if (named.empty())
        return testFolder();
    return named.back() == '\\' ? named : named + "\\";
}

// The job that holds every program a test starts, and the programs those
// start: it ends them when the test ends, also when the test is ended for
// running out of time, so that a program left behind (and its marker) never
// fails the tests after it.
inline HANDLE testJob() {
    static HANDLE job = [] {
        HANDLE made = CreateJobObjectA(0, 0);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made)
            SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

// Starts a command line, Shift-JIS as every name of the tests; hProcess is 0
// when it could not start. The program joins the test's job before it runs.
inline PROCESS_INFORMATION startCommand(const std::string& commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::wstring wideLine = wide(commandLine);
    if (!CreateProcessW(0, &wideLine[0], 0, 0, FALSE, CREATE_SUSPENDED, 0, 0, &startup, &started))
        return PROCESS_INFORMATION();
    if (testJob())
        AssignProcessToJobObject(testJob(), started.hProcess);
    ResumeThread(started.hThread);
    return started;
}

// Starts a program of the programs' folder; hProcess is 0 when it could not
// start.
inline PROCESS_INFORMATION startProgram(const char* program, const std::string& arguments) {
    return startCommand("\"" + programFolder() + program + "\"" + (arguments.empty() ? "" : " " + arguments));
}

// Waits for the program to end; its exit code, or 999 when it did not end.
inline DWORD waitForExit(PROCESS_INFORMATION* started, DWORD ms) {
    DWORD code = 999;
    if (WaitForSingleObject(started->hProcess, ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(started->hProcess, &code);
    return code;
}

inline void release(PROCESS_INFORMATION* started) {
    CloseHandle(started->hThread);
    CloseHandle(started->hProcess);
    *started = PROCESS_INFORMATION();
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    WindowSearch* search = (WindowSearch*)param;
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && IsWindowVisible(window) &&
        (!search->className || strcmp(className, search->className) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process (of the class, when given).
inline HWND visibleWindowOf(DWORD processId, const char* className = 0) {
    WindowSearch search = {processId, className, 0};
    EnumWindows(matchWindow, (LPARAM)&search);
    return search.found;
}

inline HWND waitForWindowOf(DWORD processId, const char* className, DWORD ms) {
    HWND window = 0;
    for (DWORD waited = 0; !window && waited < ms; waited += 50) {
        window = visibleWindowOf(processId, className);
        if (!window)
            Sleep(50);
    }
    return window;
}

// Ends the drive's host (rundll32) as a crash would: 1 when there was one.
inline int killHost() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int killed = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (_stricmp(entry.szExeFile, "rundll32.exe") == 0) {
            HANDLE host = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
            killed |= host && TerminateProcess(host, 9) && WaitForSingleObject(host, 5000) == WAIT_OBJECT_0;
            if (host)
                CloseHandle(host);
        }
    CloseHandle(snapshot);
    return killed;
}
