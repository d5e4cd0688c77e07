// A stand-in for the PC's own "cdaudio" driver, with a disc of seven tracks
// in a drive: it answers as such a driver does and writes each command it
// receives, with the id it was given, to standin-cd.log in the temporary
// folder, so that a test sees what the virtual drive passed on.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <stdio.h>

namespace {

const DWORD_PTR kOpenId = 0x5151;
int playing;

void record(const char* what, DWORD_PTR id, DWORD value) {
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    lstrcatA(path, "standin-cd.log");
    FILE* log = fopen(path, "ab");
    if (!log)
        return;
    fprintf(log, "%s%s %lu\n", what, id == kOpenId ? "" : " (another id)", (unsigned long)value);
    fclose(log);
}

// The open's flags, and its type and alias where they are texts: an open
// made later from copies shows here as the program made it.
void recordOpen(DWORD_PTR id, DWORD flags, const MCI_OPEN_PARMSW* parameters) {
    char texts[MAX_PATH] = "";
    if (parameters && (flags & MCI_OPEN_TYPE) && !(flags & MCI_OPEN_TYPE_ID) && parameters->lpstrDeviceType)
        WideCharToMultiByte(CP_ACP, 0, parameters->lpstrDeviceType, -1, texts, 64, 0, 0);
    if (parameters && (flags & MCI_OPEN_ALIAS) && parameters->lpstrAlias) {
        lstrcatA(texts, " ");
        WideCharToMultiByte(CP_ACP, 0, parameters->lpstrAlias, -1, texts + lstrlenA(texts), 64, 0, 0);
    }
    char what[MAX_PATH + 16];
    wsprintfA(what, "MCI_OPEN %s", texts);
    record(what, id, flags);
}

DWORD word(DWORD_PTR* reply, WORD value) {
    *reply = MAKEMCIRESOURCE(value, value);
    return MCI_RESOURCE_RETURNED;
}

DWORD status(DWORD_PTR id, DWORD flags, MCI_STATUS_PARMS* parameters) {
    record("MCI_STATUS", id, parameters->dwItem);
    switch (parameters->dwItem) {
    case MCI_STATUS_MODE:
        return word(&parameters->dwReturn, playing ? MCI_MODE_PLAY : MCI_MODE_STOP);
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY:
        parameters->dwReturn = MAKEMCIRESOURCE(TRUE, MCI_TRUE);
        return MCI_RESOURCE_RETURNED;
    case MCI_STATUS_NUMBER_OF_TRACKS:
        parameters->dwReturn = 7;
        return 0;
    case MCI_STATUS_CURRENT_TRACK:
        parameters->dwReturn = 1;
        return 0;
    // Seven tracks of three minutes, in the TMSF and MSF forms the player
    // reads (whatever time format was set: a stand-in keeps it simple).
    case MCI_STATUS_POSITION:
        parameters->dwReturn = flags & MCI_TRACK ? MCI_MAKE_TMSF(parameters->dwTrack, 0, 0, 0) : MCI_MAKE_TMSF(1, 0, 0, 0);
        return MCI_COLONIZED4_RETURN;
    case MCI_STATUS_LENGTH:
        parameters->dwReturn = flags & MCI_TRACK ? MCI_MAKE_MSF(3, 0, 0) : MCI_MAKE_MSF(21, 2, 0);
        return MCI_COLONIZED3_RETURN;
    }
    parameters->dwReturn = 0;
    return 0;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR, UINT message, LPARAM flags,
                                                            LPARAM block) {
    switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case DRV_OPEN:
        // 0: the session instance; 1: a device, with MCI's parameters.
        record("DRV_OPEN", kOpenId, block != 0);
        return kOpenId;
    case DRV_CLOSE:
        record("DRV_CLOSE", id, 0);
        return 1;
    case MCI_OPEN_DRIVER:
        recordOpen(id, (DWORD)flags, (const MCI_OPEN_PARMSW*)block);
        return 0;
    case MCI_CLOSE_DRIVER:
        record("MCI_CLOSE", id, 0);
        return 0;
    case MCI_STATUS:
        return block ? status(id, (DWORD)flags, (MCI_STATUS_PARMS*)block) : MCIERR_NULL_PARAMETER_BLOCK;
    case MCI_SET:
        // A time format set as the format; any other set as its flags.
        record("MCI_SET", id,
               block && flags == MCI_SET_TIME_FORMAT ? ((MCI_SET_PARMS*)block)->dwTimeFormat : (DWORD)flags);
        return 0;
    case MCI_PLAY:
        record("MCI_PLAY", id, (DWORD)flags);
        playing = 1;
        return 0;
    case MCI_STOP:
        record("MCI_STOP", id, (DWORD)flags);
        playing = 0;
        return 0;
    }
    if (message >= DRV_MCI_FIRST && message <= DRV_MCI_LAST) {
        record("MCI_OTHER", id, message);
        return 0;
    }
    return DefDriverProc(id, 0, message, flags, block);
}
