// The reference for the sound test: a client of the platform's sound alone,
// no drive, writing six seconds of the same counting samples through waveOut
// as the drive does (four buffers, refilled when the device says one is
// done). What the recording loses of it, the chain loses, not the drive.
// Given a number, it plays that many seconds: the CPU figures' reference.
#include <windows.h>
#include <mmsystem.h>

#include <stdlib.h>

namespace {

const DWORD kBufferSamples = 5880; // ten frames
short samples[4][kBufferSamples * 2];

void fill(short* buffer, DWORD first) {
    for (DWORD k = 0; k < kBufferSamples; k++) {
        DWORD value = first + k + 1;
        buffer[2 * k] = (short)(value & 0xFFFF);
        buffer[2 * k + 1] = (short)((value >> 16) + 1);
    }
}

bool allDone(const WAVEHDR* headers) {
    for (int i = 0; i < 4; i++)
        if (!(headers[i].dwFlags & WHDR_DONE))
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const DWORD kSamples = (argc > 1 ? (DWORD)atoi(argv[1]) : 6) * 44100;
    HANDLE done = CreateEventA(0, FALSE, FALSE, 0);
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    HWAVEOUT device;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, (DWORD_PTR)done, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR)
        return 1;
    WAVEHDR headers[4] = {};
    for (int i = 0; i < 4; i++) {
        headers[i].lpData = (LPSTR)samples[i];
        headers[i].dwFlags = WHDR_DONE;
    }
    for (DWORD next = 0; next < kSamples; WaitForSingleObject(done, 1000)) {
        for (int i = 0; i < 4 && next < kSamples; i++) {
            if (!(headers[i].dwFlags & WHDR_DONE))
                continue;
            if (headers[i].dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(device, &headers[i], sizeof headers[i]);
            fill(samples[i], next);
            next += kBufferSamples;
            headers[i].dwBufferLength = kBufferSamples * 4;
            headers[i].dwFlags = 0;
            waveOutPrepareHeader(device, &headers[i], sizeof headers[i]);
            waveOutWrite(device, &headers[i], sizeof headers[i]);
        }
    }
    while (!allDone(headers))
        WaitForSingleObject(done, 100);
    for (int i = 0; i < 4; i++)
        waveOutUnprepareHeader(device, &headers[i], sizeof headers[i]);
    waveOutClose(device);
    CloseHandle(done);
    return 0;
}
