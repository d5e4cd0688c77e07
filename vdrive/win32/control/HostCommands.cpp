#include "HostCommands.h"

#include <stdio.h>

#include "../../../common/Text.h"
#include "../link/HostTrust.h"

// Who holds the name of this user's drive host: the host, or a process of
// someone else that the drive refuses to speak to.
void showHost() {
    DWORD process = 0;
    int ownUser = 0;
    if (!hostHolder(&process, &ownUser))
        printText(stdout, "ホスト:     動いていません (プログラムが開くと始まります)\n");
    else if (ownUser)
        printText(stdout, "ホスト:     プロセス %lu\n", (unsigned long)process);
    else if (!process)
        printText(stdout, "ホスト:     名前は使われていますが、持つプロセスに届きません\n");
    else
        printText(stdout, "ホスト:     ほかのユーザーのプロセス %lu がホストの名前を使っています。"
                          "ドライブはこのプロセスとは話しません\n",
                  (unsigned long)process);
}

int hostLeaves() {
    int stays = askHostToLeave(kLeaveWaitMs);
    if (stays == 2)
        printText(stderr, "vdrivectl leave: ホストの名前はほかのユーザーのプロセスのものです\n");
    else
        printText(stdout, stays == 1   ? "vdrivectl: ホストはドライブを開いているプログラムがなくなったら終わります\n"
                          : stays == 3 ? "vdrivectl: ホストは終わりました\n"
                                       : "vdrivectl: ホストは動いていません\n");
    return stays == 2;
}

// What the drive holds, read again here as the drive reads it, with the
// reason in Japanese when it cannot be played, and the disc's files.
