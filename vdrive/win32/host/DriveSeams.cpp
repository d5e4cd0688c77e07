// The test build's seam: DriveReadSeam(delay, entered, gate) makes every
// reading of a disc signal `entered`, wait for `gate` and then take `delay`
// milliseconds longer (each when given); DriveThreadSeam(left) makes each
// thread of the drive signal `left` as it ends.
#include <windows.h>

#include "DriveState.h"
#include "ReadSeam.h"

namespace {

volatile DWORD readDelay;
HANDLE volatile readEntered;
HANDLE volatile readGate;
HANDLE volatile threadLeft;

} // namespace

extern "C" __declspec(dllexport) void WINAPI DriveReadSeam(DWORD delay, HANDLE entered, HANDLE gate) {
    readDelay = delay;
    readEntered = entered;
    readGate = gate;
}

extern "C" __declspec(dllexport) void WINAPI DriveThreadSeam(HANDLE left) { threadLeft = left; }

// The test build is the drive itself in the process that loads it.
extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM parameter1,
                                      LPARAM parameter2) {
    return coreDriverProc(driverId, driver, message, parameter1, parameter2);
}

void readSeam() {
    if (readEntered)
        SetEvent(readEntered);
    if (readGate)
        WaitForSingleObject(readGate, INFINITE);
    if (readDelay)
        Sleep(readDelay);
}

void threadLeftSeam() {
    if (threadLeft)
        SetEvent(threadLeft);
}
