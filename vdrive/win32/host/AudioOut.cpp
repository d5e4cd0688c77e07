#include "AudioOut.h"

#include <string.h>

#include "../../../common/Text.h"
#include "FlacReading.h"
#include "ReadSeam.h"

namespace {

FILE* openUtf8(const char* path) {
    wchar_t wide[kFileNameSize];
    if (!utf8ToWide(path, wide, kFileNameSize))
        return 0;
    return _wfopen(wide, L"rb");
}

int16_t bufferSamples[kAudioBuffers][kFramesPerBuffer * kSamplesPerFrame * 2];

} // namespace

HWAVEOUT openSoundDevice(HANDLE bufferDone, char* reason, int reasonSize) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    HWAVEOUT device = 0;
    MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &format, (DWORD_PTR)bufferDone, 0, CALLBACK_EVENT);
    if (result == MMSYSERR_NOERROR)
        return device;
    snprintf(reason, reasonSize, "no sound device (waveOutOpen: %u); the drive keeps time by its clock",
             (unsigned)result);
    return 0;
}

void closeSoundDevice(HWAVEOUT device) {
    if (device)
        waveOutClose(device);
}

void AudioOut::adopt(HWAVEOUT opened) {
    device = opened;
    written = 0;
    count.reset();
    paused = 0;
    for (int i = 0; i < kAudioBuffers; i++) {
        memset(&headers[i], 0, sizeof headers[i]);
        headers[i].lpData = (LPSTR)bufferSamples[i];
        headers[i].dwFlags = WHDR_DONE;
    }
}

uint64_t AudioOut::begin(uint32_t from, uint32_t to) {
    // What a play still queued or paused holds goes; what an ended play
    // still holds is its last sound, which is played out first.
    if (paused || !drained())
        silence();
    // A device that ran dry stands at the last sample written to it.
    uint64_t first = written;
    playGeneration++;
    cursor = from;
    end = to;
    tail = kTailFrames;
    restart();
    return first;
}

void AudioOut::pause() {
    if (device)
        waveOutPause(device);
    paused = 1;
}

void AudioOut::restart() {
    if (device)
        waveOutRestart(device);
    paused = 0;
}

int AudioOut::carryOn(uint32_t to) {
    // Frames after the silence that ended the play would sound late.
    if (!device || !paused || to < cursor || (!tail && to > end))
        return 0;
    end = to;
    return 1;
}

int AudioOut::claim(FeedJob* job) {
    if (!device || (cursor >= end && !tail))
        return 0;
    for (int i = 0; i < kAudioBuffers; i++) {
        WAVEHDR& header = headers[i];
        if (!(header.dwFlags & WHDR_DONE))
            continue;
        if (header.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(device, &header, sizeof header);
        // Neither done nor queued while it is read: it counts as sounding.
        header.dwFlags = 0;
        *job = FeedJob{i, cursor, 0, 0, fillGeneration, playGeneration};
        if (cursor < end) {
            job->frames = end - cursor < kFramesPerBuffer ? end - cursor : kFramesPerBuffer;
            cursor += job->frames;
        } else {
            job->silentFrames = tail;
            tail = 0;
        }
        return 1;
    }
    return 0;
}

int AudioOut::queue(const FeedJob& job, const int16_t* samples) {
    // Emptied meanwhile: the buffer was given back with the others.
    if (!device || job.fillGeneration != fillGeneration)
        return 1;
    WAVEHDR& header = headers[job.buffer];
    uint32_t frames = job.frames + job.silentFrames;
    memcpy(bufferSamples[job.buffer], samples, frames * kBytesPerFrame);
    written += frames * kSamplesPerFrame;
    header.dwBufferLength = frames * kBytesPerFrame;
    header.dwFlags = 0;
    if (waveOutPrepareHeader(device, &header, sizeof header) != MMSYSERR_NOERROR ||
        waveOutWrite(device, &header, sizeof header) != MMSYSERR_NOERROR) {
        header.dwFlags = WHDR_DONE;
        return 0;
    }
    return 1;
}

int AudioOut::samplesPlayed(uint64_t* samples) {
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (!device || waveOutGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR)
        return 0;
    if (time.wType == TIME_SAMPLES)
        return count.take(time.u.sample, 1, samples);
    if (time.wType == TIME_BYTES)
        return count.take(time.u.cb, 4, samples);
    return count.take(0, 0, samples);
}

int AudioOut::drained() const {
    if (cursor < end || tail)
        return 0;
    for (const WAVEHDR& header : headers)
        if (!(header.dwFlags & WHDR_DONE))
            return 0;
    return 1;
}

void AudioOut::silence() {
    if (!device)
        return;
    // A reset returns every buffer and sets the position to 0; paused, the
    // device stays paused until the next begin.
    waveOutReset(device);
    pause();
    for (WAVEHDR& header : headers) {
        if (header.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(device, &header, sizeof header);
        header.dwFlags = WHDR_DONE;
    }
    cursor = end = tail = 0;
    written = 0;
    count.reset();
    fillGeneration++;
}

HWAVEOUT AudioOut::release() {
    HWAVEOUT released = device;
    if (device) {
        silence();
        device = 0;
    }
    return released;
}

void DiscReader::follow(const VirtualDisc& playing, const FeedJob& job) {
    if (job.playGeneration == playGeneration)
        return;
    // The files are opened anew for every play: the disc may be another.
    closeFiles();
    disc = playing;
    playGeneration = job.playGeneration;
}

void DiscReader::read(const FeedJob& job) {
    readSeam();
    // Frames of one extent are read together: one seek and one read a run.
    for (uint32_t f = 0; f < job.frames;)
        f += fill(samples + f * kSamplesPerFrame * 2, job.first + f, job.frames - f);
    memset(samples + job.frames * kSamplesPerFrame * 2, 0, job.silentFrames * kBytesPerFrame);
}

void DiscReader::closeFiles() {
    for (FILE*& file : files)
        if (file) {
            fclose(file);
            file = 0;
        }
    closeFlacStreams(flacs, kMaxFiles);
}

uint32_t DiscReader::fill(int16_t* frames, uint32_t at, uint32_t wanted) {
    int32_t index = disc.extentAt(at);
    if (index < 0 || disc.extents[index].file == kSilence) {
        memset(frames, 0, kBytesPerFrame);
        return 1;
    }
    const DiscExtent& extent = disc.extents[index];
    if (extent.file == kDemoTones) {
        demoFrame(disc, at, frames);
        return 1;
    }
    uint32_t inExtent = extent.frames - (at - extent.firstFrame);
    uint32_t run = wanted < inExtent ? wanted : inExtent;
    uint64_t offset = extent.fileOffset + (uint64_t)(at - extent.firstFrame) * kBytesPerFrame;
    uint64_t dataEnd = disc.fileDataEnd[extent.file];
    size_t bytes = (size_t)run * kBytesPerFrame;
    if (disc.fileKind[extent.file] == kKindFlac) {
        readFlacBytes(&flacs[extent.file], disc.files[extent.file], offset, bytes, dataEnd, frames);
        return run;
    }
    FILE*& file = files[extent.file];
    if (!file)
        file = openUtf8(disc.files[extent.file]);
    size_t readable = offset >= dataEnd ? 0 : dataEnd - offset < bytes ? (size_t)(dataEnd - offset) : bytes;
    size_t got = 0;
    if (file && readable && _fseeki64(file, (long long)offset, SEEK_SET) == 0)
        got = fread(frames, 1, readable, file);
    memset((char*)frames + got, 0, bytes - got);
    return run;
}
