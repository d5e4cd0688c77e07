// Plays an image whose samples count up through the virtual drive, as a
// client does: play, pause, resume, seek, play to a point with a
// notification. Prints each command with the wall-clock time it was given
// (milliseconds since 1970) and the positions the drive reported, for
// tests/sound/heard.py to hold against what the sound server recorded.
//   sound_script.exe folder
#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const DWORD kFrames = 900; // two tracks of 6 s
const DWORD kSamplesPerFrame = 588;

unsigned long long wallMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    unsigned long long ticks = (unsigned long long)now.dwHighDateTime << 32 | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000ull;
}

// Sample i of the image: left the low 16 bits of i + 1, right the high bits
// plus 1, so that no sample of it is silence.
bool writeImage(const std::string& folder) {
    FILE* bin = fopen((folder + "counter.bin").c_str(), "wb");
    if (!bin)
        return false;
    for (DWORD i = 0; i < kFrames * kSamplesPerFrame; i++) {
        unsigned short pair[2] = {(unsigned short)((i + 1) & 0xFFFF), (unsigned short)(((i + 1) >> 16) + 1)};
        fwrite(pair, sizeof pair, 1, bin);
    }
    fclose(bin);
    FILE* cue = fopen((folder + "counter.cue").c_str(), "wb");
    if (!cue)
        return false;
    fputs("FILE counter.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:06:00\n", cue);
    fclose(cue);
    return true;
}

DWORD msf(DWORD frame) {
    frame += 150;
    return (frame / 75 / 60) | (frame / 75 % 60) << 8 | (frame % 75) << 16;
}

MCIDEVICEID device;

DWORD position() {
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_STATUS_POSITION;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    DWORD value = (DWORD)status.dwReturn;
    return ((value & 0xFF) * 60 + (value >> 8 & 0xFF)) * 75 + (value >> 16 & 0xFF) - 150;
}

HWND window;
unsigned long long notifiedAt;
WPARAM notifiedWith;

LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY && wParam == MCI_NOTIFY_SUCCESSFUL) {
        notifiedAt = wallMs();
        notifiedWith = wParam;
    }
    return DefWindowProcA(handle, message, wParam, lParam);
}

void pumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
}

void play(DWORD flags, DWORD from, DWORD to) {
    MCI_PLAY_PARMS parameters = {};
    parameters.dwCallback = (DWORD_PTR)window;
    parameters.dwFrom = msf(from);
    parameters.dwTo = msf(to);
    unsigned long long at = wallMs();
    DWORD result = mciSendCommandA(device, MCI_PLAY, flags, (DWORD_PTR)&parameters);
    printf("play %llu from %lu to %lu result %lu\n", at, (unsigned long)((flags & MCI_FROM) ? from : 999999),
           (unsigned long)to, (unsigned long)result);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::string folder = argv[1];
    if (!writeImage(folder))
        return 3;
    std::string sheet = folder + "counter.cue";
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive", 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, "Image", 0, REG_SZ, (const BYTE*)sheet.c_str(), (DWORD)sheet.size() + 1);
    DWORD one = 1;
    RegSetValueExA(key, "Speed", 0, REG_DWORD, (const BYTE*)&one, sizeof one);
    RegCloseKey(key);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(0);
    windowClass.lpszClassName = "SoundScript";
    RegisterClassA(&windowClass);
    window = CreateWindowA("SoundScript", "", WS_POPUP, 0, 0, 1, 1, 0, 0, GetModuleHandleA(0), 0);

    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "cdaudio";
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE, (DWORD_PTR)&open))
        return 4;
    device = open.wDeviceID;
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MSF;
    mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set);
    pumpFor(500);

    play(MCI_FROM | MCI_TO | MCI_NOTIFY, 0, 600);
    // The drive's clock is the samples the device has played: the first
    // frame done tells when the sound began.
    LARGE_INTEGER rate, begun, now;
    QueryPerformanceFrequency(&rate);
    QueryPerformanceCounter(&begun);
    do
        QueryPerformanceCounter(&now);
    while (position() < 1 && now.QuadPart - begun.QuadPart < rate.QuadPart);
    printf("firstframe %.0f\n", (now.QuadPart - begun.QuadPart) * 1000.0 / rate.QuadPart);
    pumpFor(1500);
    unsigned long long at = wallMs();
    mciSendCommandA(device, MCI_PAUSE, 0, 0);
    printf("pause %llu position %lu\n", at, (unsigned long)position());
    pumpFor(700);
    at = wallMs();
    mciSendCommandA(device, MCI_RESUME, 0, 0);
    printf("resume %llu\n", at);
    pumpFor(1000);
    MCI_SEEK_PARMS seek = {};
    seek.dwTo = msf(450);
    at = wallMs();
    mciSendCommandA(device, MCI_SEEK, MCI_TO, (DWORD_PTR)&seek);
    printf("seek %llu to 450\n", at);
    notifiedAt = 0;
    play(MCI_TO | MCI_NOTIFY, 0, 750);
    DWORD waited = 0;
    while (!notifiedAt && waited < 10000) {
        pumpFor(50);
        waited += 50;
    }
    printf("notified %llu position %lu\n", notifiedAt, (unsigned long)position());
    pumpFor(300);
    mciSendCommandA(device, MCI_CLOSE, 0, 0);
    DestroyWindow(window);
    return notifiedAt ? 0 : 1;
}
