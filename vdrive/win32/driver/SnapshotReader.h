// A status answered from the drive's snapshot (DriveSnapshot.h), without a
// round trip to the host: only a query that asks nothing of the drive (no
// notification, no wait), from the snapshot of the host the open talks to,
// while that host lives and keeps its snapshot fresh. A mode or media
// status goes to the host while the tray moves or once the control key has
// been written since the host read it, so that what vdrivectl or another
// program just did is never answered from before.
#pragma once

#include <windows.h>

#include <stdint.h>

// 1 with the status's result when the snapshot answered, and the window
// (its 32 bits) whose notification the drive holds; 0: ask the host.
int statusFromSnapshot(DWORD host, DWORD timeFormat, DWORD flags, DWORD_PTR block, LRESULT* result,
                       uint32_t* notifying);
// 1 when the host's snapshot has a disc in its drive, with the control key
// as the host read it: the virtual drive holds an image. 0 where it cannot
// tell (no disc, the tray open, the key written since).
int snapshotHoldsImage(DWORD host);
// A program's command begins: its checks of the control key share one query
// of the key, made after this.
void commandBeginsForSnapshot();
// Before a command reads the snapshot or the control key: one wait of no
// time, the system server's only call for a status the snapshot answers,
// tells whether `hostProcess` (0: not looked at) has ended, and if not,
// whether the key was written since it was last queried (if not, it need
// not be queried again). 1 when the host has ended.
int lookBeforeReading(HANDLE hostProcess);
// The host's process has ended: its snapshot answers no more.
void hostEndedForSnapshot(DWORD host);
void readySnapshotReader();
void dropSnapshot();
