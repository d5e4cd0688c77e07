#include "SimDrive.h"

#include <stdio.h>

#include "Drive.h"

SimDrive sim;

namespace {

void logCommand(const char* text) { sim.commands.push_back(text); }

void logCommand(const char* text, uint32_t value) {
    char line[64];
    snprintf(line, sizeof line, "%s %u", text, value);
    sim.commands.push_back(line);
}

void cancelNotify(uint32_t code) {
    if (sim.notifyPending)
        sim.completions.push_back(code);
    sim.notifyPending = 0;
}

void startPlay(WindowHandle callbackWindow) {
    cancelNotify(kNotifySuperseded);
    sim.playing = 1;
    sim.paused = 0;
    sim.notifyPending = 1;
    sim.callback = callbackWindow;
}

uint32_t msfOf(uint32_t frames) {
    uint32_t seconds = frames / kFramesPerSecond;
    return (seconds / 60) | (seconds % 60) << 8 | (frames % kFramesPerSecond) << 16;
}

uint32_t tmsfOf(uint32_t absoluteFrame) {
    int32_t track = sim.trackAt(absoluteFrame);
    return (uint32_t)track | msfOf(absoluteFrame - sim.trackStart(track)) << 8;
}

} // namespace

void SimDrive::reset() { *this = SimDrive(); nextDeviceId = 1; mediaPresent = 1; }

void SimDrive::setDisc(const std::vector<uint32_t>& secondsPerTrack) {
    tracks = (int32_t)secondsPerTrack.size();
    for (int32_t i = 0; i < tracks; i++)
        trackFrames[i + 1] = secondsPerTrack[i] * kFramesPerSecond;
}

void SimDrive::setTrackFrames(int32_t track, uint32_t frames) { trackFrames[track] = frames; }

uint32_t SimDrive::trackStart(int32_t track) const {
    uint32_t start = 0;
    for (int32_t i = 1; i < track && i <= tracks; i++)
        start += trackFrames[i];
    return start;
}

uint32_t SimDrive::discFrames() const { return trackStart(tracks + 1); }

int32_t SimDrive::trackAt(uint32_t absoluteFrame) const {
    for (int32_t i = 1; i <= tracks; i++)
        if (absoluteFrame < trackStart(i + 1))
            return i;
    return tracks;
}

int32_t SimDrive::driveTrack() const { return trackAt(frame); }

uint32_t SimDrive::driveSeconds() const { return (frame - trackStart(driveTrack())) / kFramesPerSecond; }

void SimDrive::advance(uint32_t ms) {
    tickCount += ms;
    if (!playing)
        return;
    uint32_t total = leftoverMs + ms;
    frame += total * kFramesPerSecond / 1000;
    leftoverMs = total - (total * kFramesPerSecond / 1000) * 1000 / kFramesPerSecond;
    if (frame >= discFrames()) {
        frame = discFrames() > 0 ? discFrames() - 1 : 0;
        playing = 0;
        endPlay(kNotifySuccessful);
    }
}

void SimDrive::placeAt(int32_t track, uint32_t seconds) { frame = trackStart(track) + seconds * kFramesPerSecond; }

void SimDrive::endPlay(uint32_t code) { cancelNotify(code); }

std::vector<std::string> SimDrive::take() {
    std::vector<std::string> taken;
    taken.swap(commands);
    return taken;
}

void deliverCompletions() {
    while (!sim.completions.empty()) {
        uint32_t code = sim.completions.front();
        sim.completions.erase(sim.completions.begin());
        discEngine.handleCompletion(code);
    }
}

void tick() { discEngine.handleTick(kEngineTimerId, 0); }

void openEngineWith(const std::vector<uint32_t>& secondsPerTrack) {
    sim.reset();
    sim.setDisc(secondsPerTrack);
    discEngine = DiscEngine();
    DiscEngine::seedRandom(1);
    discEngine.open((InstanceHandle)0x400000, (WindowHandle)0x0123, 333);
    // As the player's first refresh that sees the disc does.
    discEngine.totalLength();
    sim.take();
}

// ---- The drive seam -----------------------------------------------------------

uint32_t driveOpen(uint32_t* deviceId) {
    logCommand("OPEN");
    if (sim.openFails || sim.silent)
        return 0x113;
    *deviceId = sim.nextDeviceId++;
    sim.openDevices++;
    return 0;
}

uint32_t driveClose(uint32_t deviceId) {
    logCommand("CLOSE");
    if (deviceId == 0)
        return 0x101;
    cancelNotify(kNotifyAborted);
    sim.openDevices--;
    return 0;
}

uint32_t driveSetTimeFormat(uint32_t, DriveTimeFormat format) {
    logCommand(format == kTimeFormatTmsf ? "SET TMSF" : "SET MSF");
    sim.timeFormat = format;
    return 0;
}

uint32_t driveSetDoor(uint32_t, int open) {
    logCommand(open ? "DOOR OPEN" : "DOOR CLOSED");
    sim.doorOpen = open;
    if (open) {
        cancelNotify(kNotifyAborted);
        sim.playing = 0;
        sim.paused = 0;
    }
    return 0;
}

uint32_t driveQuery(uint32_t deviceId, DriveStatusItem item, uint32_t* reply) {
    *reply = driveStatus(deviceId, item, 0);
    if (!sim.silent && deviceId != 0)
        return 0;
    *reply = 0;
    return 0x101;
}

uint32_t driveStatus(uint32_t, DriveStatusItem item, uint32_t track) {
    switch (item) {
    case kStatusLength: logCommand("STATUS LENGTH", track); break;
    case kStatusPosition: logCommand("STATUS POSITION"); break;
    case kStatusNumberOfTracks: logCommand("STATUS TRACKS"); break;
    case kStatusMode: logCommand("STATUS MODE"); break;
    case kStatusMediaPresent: logCommand("STATUS MEDIA"); break;
    }
    if (item == kStatusMode)
        return sim.doorOpen        ? kModeOpen
               : !sim.mediaPresent ? kModeNotReady
               : sim.playing       ? kModePlay
               : sim.paused        ? kModePause
                                   : kModeStop;
    if (item == kStatusMediaPresent)
        return sim.mediaPresent && !sim.doorOpen;
    if (sim.refuseQueries || !sim.mediaPresent)
        return 0;
    switch (item) {
    case kStatusNumberOfTracks: return sim.useRawTrackCount ? sim.rawTrackCount : (uint32_t)sim.tracks;
    case kStatusLength: return track < 128 ? msfOf(sim.trackFrames[track]) : 0;
    case kStatusPosition: return sim.useRawPosition ? sim.rawPosition : tmsfOf(sim.frame);
    default: return 0;
    }
}

uint32_t drivePlayFrom(uint32_t, WindowHandle callbackWindow, uint32_t fromTmsf) {
    logCommand("PLAY FROM", fromTmsf);
    int32_t track = (int32_t)(fromTmsf & 0xFF);
    if (track < 1 || track > sim.tracks)
        return 0x10F;
    sim.frame = sim.trackStart(track);
    startPlay(callbackWindow);
    return 0;
}

uint32_t driveResume(uint32_t, WindowHandle callbackWindow) {
    logCommand("PLAY NOTIFY");
    startPlay(callbackWindow);
    return 0;
}

// A drive that is not playing has nothing to pause.
uint32_t drivePause(uint32_t) {
    logCommand("PAUSE");
    if (!sim.playing)
        return 0;
    cancelNotify(kNotifyAborted);
    sim.playing = 0;
    sim.paused = 1;
    return 0;
}

uint32_t driveSeekTo(uint32_t, uint32_t toTmsf) {
    logCommand("SEEK TO", toTmsf);
    cancelNotify(kNotifyAborted);
    sim.frame = sim.trackStart((int32_t)(toTmsf & 0xFF));
    // A seek leaves the drive stopped, also one that was paused.
    sim.playing = 0;
    sim.paused = 0;
    return 0;
}

uint32_t driveSeekToStart(uint32_t) {
    logCommand("SEEK START");
    cancelNotify(kNotifyAborted);
    sim.frame = 0;
    sim.playing = 0;
    return 0;
}

uint32_t driveStop(uint32_t) {
    logCommand("STOP");
    cancelNotify(kNotifyAborted);
    sim.playing = 0;
    sim.paused = 0;
    return 0;
}
