// The PC's own CD drives beside the virtual one: the driver that install
// replaced has each open made on it too. It answers while the virtual drive
// holds no image, always for an open that names a real CD drive's letter,
// and for an open that found no host of the virtual drive (the PC's drive
// never depends on the host).
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

struct RealOpen {
    DWORD_PTR id; // the open on the PC's own driver, or 0
    int opened;   // that driver took the open (it found a drive)
    int always;   // the open names a real CD drive

    void open(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters);
    // MCI_OPEN_DRIVER reaches both drivers; the PC's own tells nobody.
    void openDriver(DWORD flags, DWORD_PTR block);
    void closeDriver(DWORD flags, DWORD_PTR block);
    // Whether the PC's own drive answers this command; `hostless`: the
    // open has no host of the virtual drive.
    int answers(UINT message, int hostless) const;
    LRESULT command(UINT message, DWORD flags, DWORD_PTR block) const;
    void close();
};

void readyRealDriver();
void freeRealDriver();
