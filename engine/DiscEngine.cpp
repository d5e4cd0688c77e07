// The engine's device and its disc: opening and closing "cdaudio", the
// table of contents it caches, and where the drive stands.
#include "DiscEngine.h"

#include "NotifyHost.h"
#include "Packed.h"

DiscEngine discEngine;
uint32_t DiscEngine::randomState = 1;

int32_t DiscEngine::open(InstanceHandle instanceHandle, WindowHandle owner, int32_t interval) {
    instance = instanceHandle;
    ownerWindow = owner;
    uint32_t newId = 0;
    if (driveOpen(&newId) != 0)
        return 0;
    deviceId = newId;
    notifyWindow = createNotifyWindow(instanceHandle);
    if (interval < 0 || interval > 5000)
        interval = kDefaultInterval;
    hostSetTimer(notifyWindow, kEngineTimerId, (uint32_t)interval);
    currentTrack = 1;
    startedTrack = -1;
    state = kStopped;
    repeatFlag = 0;
    randomFlag = 0;
    invalidateCache();
    seedRandom(hostTickCount());
    return 1;
}

WindowHandle DiscEngine::createNotifyWindow(InstanceHandle instanceHandle) {
    return hostCreateNotifyWindow(instanceHandle);
}

int32_t DiscEngine::close() {
    driveClose(deviceId);
    hostKillTimer(notifyWindow, kEngineTimerId);
    hostDestroyWindow(notifyWindow);
    notifyWindow = 0;
    return 1;
}

void DiscEngine::invalidateCache() {
    cachedTotalLength = -1;
    cachedTrackCount = -1;
    for (int32_t i = 0; i < kTrackSlots; i++)
        cachedTrackLength[i] = -1;
}

int32_t DiscEngine::trackCount() {
    if (cachedTrackCount != -1)
        return cachedTrackCount;
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    cachedTrackCount = (int32_t)driveStatus(deviceId, kStatusNumberOfTracks, 0);
    return cachedTrackCount;
}

int32_t DiscEngine::trackLength(int32_t track) {
    // A track number no disc can have owns no slot and has no length.
    if (!isTrackNumber(track))
        return 0;
    if (cachedTrackLength[track] != -1)
        return cachedTrackLength[track];
    driveSetTimeFormat(deviceId, kTimeFormatMsf);
    uint32_t msf = driveStatus(deviceId, kStatusLength, (uint32_t)track);
    cachedTrackLength[track] = (int32_t)((msf & 0xFF) * 60 + ((msf >> 8) & 0xFF));
    return cachedTrackLength[track];
}

int32_t DiscEngine::totalLength() {
    if (cachedTotalLength != -1)
        return cachedTotalLength;
    int32_t sum = 0;
    for (int32_t i = 1; i <= trackCount() && i <= kMaxTrack; i++)
        sum += trackLength(i);
    cachedTotalLength = sum;
    return sum;
}

uint32_t DiscEngine::position() {
    driveSetTimeFormat(deviceId, kTimeFormatTmsf);
    uint32_t tmsf = askDrive(kStatusPosition);
    // Until the next tick confirms a track that random play has just started,
    // show that track at its beginning whatever the drive says.
    if (advanceBusy == 1)
        return ((uint32_t)currentTrack & 0xFFFF) << 16;
    uint32_t track = tmsf & 0xFF;
    // Where a play stood, should the drive go away under it; not what a
    // drive that took its place answers before the next look at it.
    if (isTrackNumber((int32_t)track) && !driveSilent)
        seenTrack = (int32_t)track;
    uint32_t seconds = ((tmsf >> 8) & 0xFF) * 60 + ((tmsf >> 16) & 0xFF);
    return (track << 16) | (seconds & 0xFFFF);
}

uint32_t DiscEngine::mediaPresent() { return askDrive(kStatusMediaPresent); }

// A query of every tick. One that fails may be the first to find that the
// drive went away (its host ended): the next follow looks at what it lost.
uint32_t DiscEngine::askDrive(DriveStatusItem item) {
    uint32_t reply = 0;
    queryFailed = driveQuery(deviceId, item, &reply) != 0;
    if (queryFailed)
        driveSilent = 1;
    return reply;
}

int32_t DiscEngine::playState() { return state; }

// The highest track that may be played or index a table: a drive that reports
// more than 99 tracks still offers only 1..99.
int32_t DiscEngine::lastTrack() {
    int32_t count = trackCount();
    if (count < 0)
        return 0;
    return count > kMaxTrack ? kMaxTrack : count;
}
