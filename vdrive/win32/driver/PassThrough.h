// The PC's own CD drives beside the virtual one: the driver that install
// replaced has each open made on it too. It answers while the virtual drive
// holds no image, always for an open that names a real CD drive's letter,
// and for an open that found no host of the virtual drive (the PC's drive
// never depends on the host). Loading that driver and its open, which looks
// for a drive, cost a program's start more than the virtual drive's own
// open; so an open the PC's drive does not answer yet is made on it only
// once it does, as the program made it.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

const int kKeptTextSize = 128;

// What a program's open gave (DRV_OPEN, then MCI_OPEN_DRIVER), kept to make
// the same open on the PC's own driver later. The numbers the flags give in
// place of texts are kept as they came.
struct KeptOpen {
    int hasName, hasDriverParameters, hasParams, hasOpen;
    wchar_t name[MAX_PATH]; // DRV_OPEN's first parameter: the driver's name
    MCI_OPEN_DRIVER_PARMS driverParameters;
    wchar_t params[kKeptTextSize];
    DWORD flags;
    MCI_OPEN_PARMSW open;
    wchar_t type[kKeptTextSize];
    wchar_t element[MAX_PATH];
    wchar_t alias[kKeptTextSize];
};

struct RealOpen {
    DWORD_PTR id; // the open on the PC's own driver, or 0
    int opened;   // that driver took the open (it found a drive)
    int always;   // the open names a real CD drive
    int deferred; // not made yet: `kept` holds it
    KeptOpen kept;

    // `now`: the PC's drive answers the open from the start.
    void open(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters, int now);
    // MCI_OPEN_DRIVER reaches both drivers; the PC's own tells nobody.
    void openDriver(DWORD flags, DWORD_PTR block);
    // Makes a deferred open once the virtual drive holds no image;
    // `imageHeld`: the drive's snapshot says it does. The PC's drive gets
    // the program's time format, as it would have had it from the start.
    void openOnceNeeded(int imageHeld, DWORD timeFormat);
    // A time format the program set while the virtual drive answered, kept
    // for when the PC's drive answers.
    void setTimeFormat(DWORD format);
    void closeDriver(DWORD flags, DWORD_PTR block);
    // Whether the PC's own drive answers this command; `hostless`: the
    // open has no host of the virtual drive.
    int answers(UINT message, int hostless) const;
    static LRESULT command(DWORD_PTR id, UINT message, DWORD flags, DWORD_PTR block);
    void close();

  private:
    void openNow(LPARAM parameter1, MCI_OPEN_DRIVER_PARMS* parameters);
    void openDriverNow(DWORD flags, DWORD_PTR block);
    int keepDriverOpen(LPARAM parameter1, const MCI_OPEN_DRIVER_PARMS* parameters);
    int keepOpen(DWORD flags, const MCI_OPEN_PARMSW* parameters);
    void makeKept();
};

void readyRealDriver();
void freeRealDriver();
