// What vdrivectl says and asks of the user's drive host.
#pragma once

#include <windows.h>

// How long install, uninstall and leave wait for the host to end.
const DWORD kLeaveWaitMs = 3000;

// Who holds the name of the host, for show.
void showHost();
// The host stays for the session; asked, it leaves once no program has the
// drive open. 0, or 1 when the name is someone else's.
int hostLeaves();
