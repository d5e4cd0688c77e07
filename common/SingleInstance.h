// One running copy of a program. A global atom marks a running copy; a named
// mutex, held for the program's whole life, tells a live marker from one
// that a copy which did not end normally left behind.
#pragma once

#include <windows.h>

// The mutexes that the player and the settings tool hold for their lives.
const char kPlayerRunning[] = "PELMARKCDPLAYER.running";
const char kToolRunning[] = "PELMARKCDPLAYERCONFIG.running";

// Whether a copy of the program that holds the mutex runs now.
inline int copyRuns(const char* mutexName) {
    HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, mutexName);
    if (!running)
        return 0;
    CloseHandle(running);
    return 1;
}

struct SingleInstance {
    HANDLE running;

    // 1 when this start may go on. A marker without a running copy is
    // removed and the start goes on; the marker is then added.
    int claim(const char* atom, const char* mutexName) {
        running = CreateMutexA(0, FALSE, mutexName);
        int anotherRuns = GetLastError() == ERROR_ALREADY_EXISTS;
        if (GlobalFindAtomA(atom)) {
            if (anotherRuns)
                return 0;
            deleteStaleMarker(atom);
        }
        GlobalAddAtomA(atom);
        return 1;
    }

    ~SingleInstance() {
        if (running)
            CloseHandle(running);
    }

  private:
    // An atom added several times needs as many deletions.
    static void deleteStaleMarker(const char* atom) {
        for (int guard = 0; guard < 0x10000; guard++) {
            ATOM marker = GlobalFindAtomA(atom);
            if (!marker)
                return;
            GlobalDeleteAtom(marker);
        }
    }
};
