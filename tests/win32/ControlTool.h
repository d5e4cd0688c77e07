// vdrivectl run as a user runs it, and what it said.
#pragma once

#include <windows.h>

#include <string>

#include "FileBytes.h"
#include "Programs.h"

// What vdrivectl writes to its output and error streams, in a file.
inline DWORD controlToolSays(const std::wstring& arguments, std::string* said) {
    std::string file = testFolder() + "vdrivectl-said.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE out = CreateFileW(wide(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION tool = {};
    std::wstring line = wide("\"" + programFolder() + "vdrivectl.exe\" ") + arguments;
    DWORD code = 999;
    if (CreateProcessW(0, &line[0], 0, 0, TRUE, 0, 0, 0, &startup, &tool)) {
        code = waitForExit(&tool, 20000);
        release(&tool);
    }
    CloseHandle(out);
    *said = readBytes(file);
    deleteNamed(file);
    return code;
}

inline DWORD controlToolSays(const std::string& arguments, std::string* said) {
    return controlToolSays(wide(arguments), said);
}

// Makes a driver "cdaudio" where Windows and Wine read it, as a machine had
// it before the virtual drive was installed.
inline void makeCdaudio(const char* driver) {
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32", 0, 0, 0,
                    KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, "cdaudio", 0, REG_SZ, (const BYTE*)driver, (DWORD)strlen(driver) + 1);
    RegCloseKey(key);
    WritePrivateProfileStringA("mci", "cdaudio", driver, "system.ini");
}
