// Plays an image whose samples count up through the virtual drive, as
// clients do: play, pause and resume both ways, seek, play to a point and
// play again as soon as told. Prints the positions the drive reported and
// the notifications, for tests/sound/heard.py to hold against what the
// sound server recorded. A second program (mci_client.exe beside it) has
// the drive open too and gives the resume and the second pause: the drive
// is one, whoever commands it.
//   sound_script.exe folder
#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "../win32/LineProgram.h"

namespace {

const DWORD kFrames = 900; // two tracks of 6 s
const DWORD kSamplesPerFrame = 588;

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
int notified, notifications;

LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY && wParam == MCI_NOTIFY_SUCCESSFUL)
        notified = 1;
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
    notified = 0;
    DWORD result = mciSendCommandA(device, MCI_PLAY, flags, (DWORD_PTR)&parameters);
    printf("play result %lu\n", (unsigned long)result);
}

void pause() {
    mciSendCommandA(device, MCI_PAUSE, 0, 0);
    printf("pause position %lu\n", (unsigned long)position());
}

// The second program: a command string in, its answer line out.
LineProgram other;

void otherPause() {
    other.say("pause cdaudio");
    printf("pause position %lu\n", (unsigned long)position());
}

void waitForNotification() {
    for (DWORD waited = 0; !notified && waited < 10000; waited += 50)
        pumpFor(50);
    notifications += notified;
    printf("notified %d position %lu\n", notified, (unsigned long)position());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::string folder = argv[1];
    if (!writeImage(folder))
        return 3;
    // The same samples as another image (a FLAC the test encoded from them).
    std::string sheet = folder + (argc > 2 ? argv[2] : "counter.cue");
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
    char self[MAX_PATH];
    GetModuleFileNameA(0, self, MAX_PATH);
    std::string beside = self;
    if (!other.start("\"" + beside.substr(0, beside.rfind('\\') + 1) + "mci_client.exe\""))
        return 5;
    other.say("open cdaudio shareable");
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
    // Paused, then resumed as MCI clients do: by MCI_RESUME, and by a play
    // from where the pause holds, as the player does.
    pause();
    pumpFor(700);
    other.say("resume cdaudio");
    pumpFor(1000);
    otherPause();
    pumpFor(500);
    play(MCI_NOTIFY, 0, 0);
    pumpFor(800);
    MCI_SEEK_PARMS seek = {};
    seek.dwTo = msf(450);
    mciSendCommandA(device, MCI_SEEK, MCI_TO, (DWORD_PTR)&seek);
    // A play to a point, and the next play as soon as it is told: none of
    // the first may be cut.
    play(MCI_TO | MCI_NOTIFY, 0, 750);
    waitForNotification();
    play(MCI_FROM | MCI_TO | MCI_NOTIFY, 0, 75);
    // Read once the play has begun, however late a loaded machine starts its
    // sound: it must stand inside the play, not at either end.
    pumpFor(150);
    for (int waited = 0; position() < 1 && waited < 1000; waited += 10)
        pumpFor(10);
    printf("during position %lu\n", (unsigned long)position());
    waitForNotification();
    pumpFor(1500);
    mciSendCommandA(device, MCI_CLOSE, 0, 0);
    DestroyWindow(window);
    return notifications == 2 ? 0 : 1;
}
