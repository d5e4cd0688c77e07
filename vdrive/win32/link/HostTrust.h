// Whose the drive's host is. The host serves one user of one session: its
// pipe's name carries the session and the user, only that user and the
// system may reach it, and a program talks to a host only once it has seen
// that the process serving the name runs as its own user. A name held by
// anyone else is refused, never spoken to.
#pragma once

#include <windows.h>

const int kPipeNameSize = 192;

// The pipe of this user's host in this session; 0 when the user cannot be
// read.
int hostPipeName(wchar_t name[kPipeNameSize]);
// The process that serves the pipe; 0 where the platform cannot tell
// (before Vista).
DWORD pipeServer(HANDLE pipe);
// Whether the pipe is served by this process's own user: by the serving
// process's token where the platform names that process, else by the
// pipe's owner, which the host sets to its user.
int servedByOwnUser(HANDLE pipe);
// The security of the host's pipe: the user and the system only, owned by
// the user, and (from Vista on) no lower integrity than an ordinary
// program's, so that neither a low-integrity process nor another user can
// connect or make an instance of the name. LocalFree it; 0 when it cannot
// be made.
PSECURITY_DESCRIPTOR hostPipeSecurity();
// The name of the drive's snapshot that the host of that process publishes
// (DriveSnapshot.h).
int snapshotName(DWORD host, wchar_t name[kPipeNameSize]);
// The security of the snapshot: the user and the system may read it; only
// the host, which made it, writes. LocalFree it; 0 when it cannot be made.
PSECURITY_DESCRIPTOR snapshotSecurity();
// Whether a kernel object (a snapshot) is owned by this process's own user.
int ownedByOwnUser(HANDLE object);
// Who holds the name now, for vdrivectl show: 0 when nobody; otherwise 1,
// with the process (0: unknown, the name is held but not reached) and
// whether it runs as this user.
int hostHolder(DWORD* process, int* ownUser);
// Asks this user's host to leave once no program has the drive open, and
// waits for it a while: 0 when no host runs, 1 when it stays (a program
// has the drive open), 2 when the name is not its own, 3 when it has left.
int askHostToLeave(DWORD waitMs);
