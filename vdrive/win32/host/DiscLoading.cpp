// The disc the drive holds: read from the image the control key names, the
// key followed as it changes, another disc put in as through a tray.
#include "DriveState.h"

#include <stdio.h>

#include "ImageFiles.h"
#include "ReadSeam.h"

// Reads which disc the control says is in the drive. The slow parts (the
// key, the image's files, the state written back) run outside the drive's
// lock, which the caller holds once; meanwhile the drive holds no disc, as a
// drive does while it reads one. When another look began meanwhile, its
// disc stands.
VirtualDisc staging;
CRITICAL_SECTION stagingLock; // one image read at a time

void loadDiscLeavingLock() {
    uint32_t look = ++drive.looks;
    drive.loaded = 1;
    drive.model.insert(0);
    endSegment();
    LeaveCriticalSection(&drive.lock);

    DriveControl control;
    readControl(&control);
    char reason[300] = "", state[400];
    static ImageRefusal refusal; // under the staging lock
    EnterCriticalSection(&stagingLock);
    readSeam();
    int loaded = 0;
    char image[sizeof control.image];
    shownPath(control.image, image, sizeof image);
    if (!control.media)
        snprintf(state, sizeof state, "no media: the drive is empty");
    else if (control.imageUnreadable)
        snprintf(state, sizeof state,
                 "no media: the Image value is not a path the drive can take (too long, or not text)");
    else if ((loaded = loadImage(control.image, &staging, &refusal)))
        snprintf(state, sizeof state, "disc: %s, %d tracks, %u frames", control.image[0] ? image : "demo",
                 (int)staging.trackCount, (unsigned)staging.endFrame);
    else {
        refusalText(refusal, reason, sizeof reason);
        snprintf(state, sizeof state, "no media: %s: %s", image, reason);
    }
    controlState(&control, state);

    EnterCriticalSection(&drive.lock);
    if (look == drive.looks) {
        drive.control = control;
        if (loaded)
            drive.model.disc = staging;
        drive.model.insert(loaded);
    }
    LeaveCriticalSection(&stagingLock);
}

// A test or a user may change the disc at any time; the drive looks when
// asked whether it holds one. One disc put in place of another goes as
// through a real tray: out at once, then the new disc in.
void closeTrayWhenDueLeavingLock() {
    if (drive.activity.trayCloses(GetTickCount()))
        loadDiscLeavingLock();
}

int controlUnread() {
    return drive.activity.control == kControlUnread || !drive.running ||
           WaitForSingleObject(drive.running->controlChanged, 0) == WAIT_OBJECT_0;
}

void writeDoor(int open) {
    setControlNumber(kControlDoor, open ? 1 : 0);
    drive.doorWrites++;
}

namespace {

// The door moved from outside (vdrivectl eject, or a disc put in, which
// closes it), as a program's set door would move it.
void moveDoorLeavingLock(int open) {
    DriveMode before = drive.model.mode;
    uint32_t frameBefore = drive.model.frame;
    drive.model.set(0, open ? mci::kSetDoorOpen : mci::kSetDoorClosed, 0, 0, played());
    if (drive.model.mode != before || drive.model.frame != frameBefore)
        endSegment();
    controlLog(&drive.control, open ? "door: opened from outside" : "door: closed from outside");
    if (!open)
        loadDiscLeavingLock();
}

} // namespace

void followControlLeavingLock() {
    if (!controlUnread()) {
        closeTrayWhenDueLeavingLock();
        return;
    }
    drive.activity.control = kControlRead;
    DriveControl now;
    uint32_t doorWrites = drive.doorWrites;
    LeaveCriticalSection(&drive.lock);
    readControl(&now);
    EnterCriticalSection(&drive.lock);
    // A Door the drive wrote itself meanwhile is where its door stands, not
    // a request to move it; the key is read again at the next look, in case
    // a request came as well.
    if (drive.doorWrites != doorWrites)
        drive.activity.control = kControlUnread;
    else if ((now.doorOpen != 0) != (drive.model.doorOpen != 0))
        moveDoorLeavingLock(now.doorOpen != 0);
    if (now.media != drive.control.media || wcscmp(now.image, drive.control.image) != 0 ||
        now.imageUnreadable != drive.control.imageUnreadable) {
        if (drive.model.mediaPresent && now.media) {
            drive.model.insert(0);
            endSegment();
            drive.activity.trayOpens(GetTickCount());
            drive.control.media = now.media;
            drive.control.imageUnreadable = now.imageUnreadable;
            memcpy(drive.control.image, now.image, sizeof now.image);
            controlLog(&drive.control, "tray: another disc goes in");
        } else {
            drive.activity.tray = kTrayClosed;
            loadDiscLeavingLock();
        }
    } else {
        closeTrayWhenDueLeavingLock();
    }
    drive.control.written = now.written;
    if (now.speed != drive.control.speed) {
        // The position so far stands; the play goes on at the new speed.
        int playing = drive.model.mode == kDrivePlaying;
        drive.model.rebase(played());
        drive.control.speed = now.speed;
        if (playing)
            startSegment();
    }
    memcpy(drive.control.logPath, now.logPath, sizeof now.logPath);
}

// Asks to be told of the next change of the control key. A change made
// before this asks is read all the same: the key counts as unread.
// The key is opened again each time: one deleted and made again (by reg or
// a test) is another key, whose changes the old handle never hears.
void watchControl(DriveThread* me) {
    ResetEvent(me->controlChanged);
    if (me->controlKey)
        RegCloseKey(me->controlKey);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kControlKey, 0, 0, 0, KEY_NOTIFY | KEY_READ, 0, &me->controlKey, 0) !=
        ERROR_SUCCESS)
        me->controlKey = 0;
    if (me->controlKey)
        RegNotifyChangeKeyValue(me->controlKey, FALSE, REG_NOTIFY_CHANGE_LAST_SET, me->controlChanged, TRUE);
    drive.activity.control = kControlUnread;
}
