// A second MCI program beside the one under test: mci_client.exe, which
// sends each line as an MCI command string and answers with the error, the
// answer and the notifications its window received.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "LineProgram.h"
#include "Programs.h"

// A running mci_client.exe.
struct Client : LineProgram {
    void start() { ASSERT_TRUE(LineProgram::start("\"" + testFolder() + "mci_client.exe\"", testJob())); }
    void kill() {
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 5000);
    }
};

// What a query reads after `wait` ms at most: the first answer that is
// `expected`, or the last one.
inline std::string readsWithin(Client* client, const std::string& query, const std::string& expected, DWORD wait) {
    DWORD began = GetTickCount();
    std::string answer = client->say(query);
    while (answer != expected && GetTickCount() - began < wait) {
        Sleep(50);
        answer = client->say(query);
    }
    return answer;
}

// The demo disc in the drive, and nothing else set.
inline void demoDiscInDrive() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive");
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive", 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, "Image", 0, REG_SZ, (const BYTE*)"", 1);
    RegCloseKey(key);
}
