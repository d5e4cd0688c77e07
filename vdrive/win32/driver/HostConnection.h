// One open's connection to the user's drive host: started when none runs,
// checked to be the user's own before a word is sent, and every exchange
// bounded in time (kHostAnswerMs). A request the host leaves unanswered
// within the limit stays owed: until the host has answered it, every
// request of the program fails at once, so that a host that hangs holds a
// program once, never at every tick.
#pragma once

#include <windows.h>

#include "../link/HostLink.h"

enum Exchanged { kAnswered, kHostSilent, kHostGone };

struct HostConnection {
    HANDLE pipe;
    HANDLE event; // the pipe's one overlapped operation at a time
    OVERLAPPED io;
    int owed;     // kOwedNothing, kOwedWrite or kOwedRead
    DWORD server; // the host's process, where the platform tells
    HostRequest sent;
    HostReply late; // where an owed answer arrives

    // A connection to the host, starting it when none runs: 0 when none
    // answers by the deadline (GetTickCount), when the name is held by
    // another user's process, or while the host owes an answer to a
    // connection of the program (the program tries again, bounded, after
    // twice the limit).
    int connect(DWORD deadline);
    // A new connection's first request (the open): kHostGone also when no
    // host could be reached. A host asked to leave may take the connection
    // as it goes and close it unanswered: the request is then sent once
    // more, on the host started next. The connection and the answer share
    // one limit, under the 5 s after which Windows calls a window whose
    // thread opens the drive not responding.
    Exchanged connectAndAsk(HostRequest* request, HostReply* reply);
    // One request, answered within the limit, or by the deadline.
    Exchanged exchange(HostRequest* request, HostReply* reply);
    Exchanged exchangeBy(HostRequest* request, HostReply* reply, DWORD deadline);
    // Whether nothing is owed now: an owed answer that has come is read and
    // dropped; a host gone meanwhile closes the connection.
    int settled();
    void close();
};

// Lets the host's notifications through to `window` (HostConnection.cpp).
void letNotificationsIn(DWORD_PTR window);
