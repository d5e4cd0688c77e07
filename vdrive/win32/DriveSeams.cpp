// The test build's seam: DriveReadSeam(delay, entered, gate) makes every
// reading of a disc signal `entered`, wait for `gate` and then take `delay`
// milliseconds longer (each when given); DriveThreadSeam(left) makes each
// thread of the drive signal `left` as it ends.
#include <windows.h>

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
