// The drive operations as MCI commands to the "cdaudio" device. No command
// carries MCI_WAIT: the player's thread must never block on the drive.
#include <windows.h>
#include <mmsystem.h>

#include "../Drive.h"

namespace {

typedef MCIERROR(WINAPI* SendCommandCall)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);

// The multimedia library loads at the drive's first command, not with the
// program: the window shows before it. Kept for the process's life.
SendCommandCall mciSendCommandCall() {
    static SendCommandCall call;
    if (!call) {
        HMODULE multimedia = LoadLibraryA("winmm.dll");
        call = multimedia ? (SendCommandCall)(void*)GetProcAddress(multimedia, "mciSendCommandA") : 0;
    }
    return call;
}

uint32_t sendCommand(uint32_t deviceId, UINT command, DWORD flags, void* parameters) {
    SendCommandCall send = mciSendCommandCall();
    if (!send)
        return MCIERR_CANNOT_LOAD_DRIVER;
    return (uint32_t)send(deviceId, command, flags, (DWORD_PTR)parameters);
}

} // namespace

uint32_t driveOpen(uint32_t* deviceId) {
    MCI_OPEN_PARMSA parameters = {};
    parameters.lpstrDeviceType = "cdaudio";
    uint32_t result = sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE, &parameters);
    if (result == 0)
        *deviceId = parameters.wDeviceID;
    return result;
}

uint32_t driveClose(uint32_t deviceId) { return sendCommand(deviceId, MCI_CLOSE, 0, 0); }

uint32_t driveSetTimeFormat(uint32_t deviceId, DriveTimeFormat format) {
    MCI_SET_PARMS parameters = {};
    parameters.dwTimeFormat = format;
    return sendCommand(deviceId, MCI_SET, MCI_SET_TIME_FORMAT, &parameters);
}

uint32_t driveSetDoor(uint32_t deviceId, int open) {
    return sendCommand(deviceId, MCI_SET, open ? MCI_SET_DOOR_OPEN : MCI_SET_DOOR_CLOSED, 0);
}

uint32_t driveStatus(uint32_t deviceId, DriveStatusItem item, uint32_t track) {
    MCI_STATUS_PARMS parameters = {};
    parameters.dwItem = item;
    DWORD flags = MCI_STATUS_ITEM;
    if (item == kStatusLength) {
        flags |= MCI_TRACK;
        parameters.dwTrack = track;
    }
    // A refused query leaves the reply unfilled; report 0 rather than guess.
    if (sendCommand(deviceId, MCI_STATUS, flags, &parameters) != 0)
        return 0;
    return (uint32_t)parameters.dwReturn;
}

uint32_t driveQuery(uint32_t deviceId, DriveStatusItem item, uint32_t* reply) {
    MCI_STATUS_PARMS parameters = {};
    parameters.dwItem = item;
    uint32_t result = sendCommand(deviceId, MCI_STATUS, MCI_STATUS_ITEM, &parameters);
    *reply = result == 0 ? (uint32_t)parameters.dwReturn : 0;
    return result;
}

uint32_t drivePlayFrom(uint32_t deviceId, WindowHandle callbackWindow, uint32_t fromTmsf) {
    MCI_PLAY_PARMS parameters = {};
    parameters.dwCallback = (DWORD_PTR)callbackWindow;
    parameters.dwFrom = fromTmsf;
    return sendCommand(deviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, &parameters);
}

uint32_t driveResume(uint32_t deviceId, WindowHandle callbackWindow) {
    MCI_PLAY_PARMS parameters = {};
    parameters.dwCallback = (DWORD_PTR)callbackWindow;
    return sendCommand(deviceId, MCI_PLAY, MCI_NOTIFY, &parameters);
}

uint32_t drivePause(uint32_t deviceId) { return sendCommand(deviceId, MCI_PAUSE, 0, 0); }

uint32_t driveSeekTo(uint32_t deviceId, uint32_t toTmsf) {
    MCI_SEEK_PARMS parameters = {};
    parameters.dwTo = toTmsf;
    return sendCommand(deviceId, MCI_SEEK, MCI_TO, &parameters);
}

uint32_t driveSeekToStart(uint32_t deviceId) { return sendCommand(deviceId, MCI_SEEK, MCI_SEEK_TO_START, 0); }

uint32_t driveStop(uint32_t deviceId) { return sendCommand(deviceId, MCI_STOP, 0, 0); }
