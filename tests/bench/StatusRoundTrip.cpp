// Figures only: how long a status takes to come back from the virtual drive
// while it is idle, and while it plays and its thread reads the image and
// streams it: a status must not wait behind the drive's reading.
//   status_round_trip.exe
#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

MCIDEVICEID device;

// Where the play stands, in the open's time format (in milliseconds from
// the start of the disc, lead-in included); the MCI error, 0 when answered.
MCIERROR positionMs(DWORD* at) {
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_STATUS_POSITION;
    MCIERROR refused = mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    *at = (DWORD)status.dwReturn;
    return refused;
}

double statusMs() {
    LARGE_INTEGER rate, before, after;
    QueryPerformanceFrequency(&rate);
    DWORD position;
    QueryPerformanceCounter(&before);
    positionMs(&position);
    QueryPerformanceCounter(&after);
    return (after.QuadPart - before.QuadPart) * 1000.0 / rate.QuadPart;
}

// Statuses every 50 ms for the time given, as a player's tick asks.
void measure(const char* what, DWORD ms) {
    std::vector<double> taken;
    for (DWORD waited = 0; waited < ms; waited += 50) {
        taken.push_back(statusMs());
        Sleep(50);
    }
    std::sort(taken.begin(), taken.end());
    printf("status round-trip %s: median %.2f ms, longest %.2f ms of %u\n", what, taken[taken.size() / 2],
           taken.back(), (unsigned)taken.size());
    fflush(stdout);
}

} // namespace

// The time an open takes: the first may start the drive's host.
double openMs() {
    LARGE_INTEGER rate, before, after;
    QueryPerformanceFrequency(&rate);
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "cdaudio";
    QueryPerformanceCounter(&before);
    device = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE, (DWORD_PTR)&open) ? 0 : open.wDeviceID;
    QueryPerformanceCounter(&after);
    return (after.QuadPart - before.QuadPart) * 1000.0 / rate.QuadPart;
}

int main() {
    double first = openMs();
    if (!device) {
        printf("status round-trip: no cdaudio device\n");
        return 1;
    }
    mciSendCommandA(device, MCI_CLOSE, 0, 0);
    double again = openMs();
    printf("open of cdaudio: %.1f ms the first (with the host's start where none ran), %.1f ms the next\n", first,
           again);
    MCI_SET_PARMS milliseconds = {};
    milliseconds.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&milliseconds);
    measure("of an idle drive", 2000);
    DWORD start = 0, reached = 0;
    MCI_PLAY_PARMS play = {};
    MCIERROR refused = positionMs(&start);
    if (!refused)
        refused = mciSendCommandA(device, MCI_PLAY, 0, (DWORD_PTR)&play);
    if (!refused) {
        measure("while the drive reads and streams", 3000);
        refused = positionMs(&reached);
    }
    mciSendCommandA(device, MCI_CLOSE, 0, 0);
    if (refused) {
        printf("status round-trip: the drive refused to play or to say where (MCI error %u)\n", (unsigned)refused);
        return 1;
    }
    printf("status round-trip: the play went from %u to %u ms of its disc in 3 s\n", (unsigned)start,
           (unsigned)reached);
    // A play that moved less than a second in three measured a drive that
    // was not streaming under the streaming drive's name.
    return reached < start + 1000;
}
