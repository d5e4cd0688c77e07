// The test build's seam: DriveReadSeam(delay, entered, gate) makes every
// reading of a disc signal `entered`, wait for `gate` and then take `delay`
// milliseconds longer (each when given).
#include <windows.h>

#include "ReadSeam.h"

namespace {

volatile DWORD readDelay;
HANDLE volatile readEntered;
HANDLE volatile readGate;

} // namespace

extern "C" __declspec(dllexport) void WINAPI DriveReadSeam(DWORD delay, HANDLE entered, HANDLE gate) {
    readDelay = delay;
    readEntered = entered;
    readGate = gate;
}

void readSeam() {
    if (readEntered)
        SetEvent(readEntered);
    if (readGate)
        WaitForSingleObject(readGate, INFINITE);
    if (readDelay)
        Sleep(readDelay);
}
