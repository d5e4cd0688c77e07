// The drive's host as programs find it when it fails: hanging, killed with a
// play under way, its name held by a process of someone else, not startable,
// leaving as a program comes. Each ends in bounded time and says so.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "../../vdrive/win32/link/HostLink.h"
#include "../../vdrive/win32/link/HostTrust.h"
#include "ControlTool.h"
#include "MciClient.h"

namespace {

const DWORD kLimitMs = 4000; // the drive's limit for one answer of its host, or one open

// Every thread of the host held or let go, as SIGSTOP and SIGCONT do.
int holdHost(bool hold) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof process;
    DWORD host = 0;
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process))
        if (_stricmp(process.szExeFile, "rundll32.exe") == 0)
            host = process.th32ProcessID;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    int held = 0;
    for (BOOL more = Thread32First(snapshot, &thread); host && more; more = Thread32Next(snapshot, &thread)) {
        HANDLE handle = thread.th32OwnerProcessID == host ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread.th32ThreadID) : 0;
        if (handle) {
            held += (hold ? SuspendThread(handle) : ResumeThread(handle)) != (DWORD)-1;
            CloseHandle(handle);
        }
    }
    CloseHandle(snapshot);
    return held;
}

DWORD since(DWORD began) { return GetTickCount() - began; }

} // namespace

// A host that hangs holds the program once, for the limit; every command
// after that fails at once, and once the host goes on, so does the drive.
TEST(HostFaults, AHangingHostHoldsAProgramOnceThenItsCommandsFailAtOnce) {
    demoDiscInDrive();
    Client program;
    program.start();
    ASSERT_EQ("0 1|notify", program.say("open cdaudio shareable"));
    ASSERT_EQ("0 |notify", program.say("play cdaudio from 2"));
    ASSERT_EQ("0 playing|notify", program.say("status cdaudio mode"));
    ASSERT_LT(0, holdHost(true));
    DWORD began = GetTickCount();
    // The control key written since the hanging host read it (the tray
    // closed, as it is): the drive's snapshot may be from before, so only
    // the host answers a mode.
    HKEY control;
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive", 0, KEY_SET_VALUE, &control));
    DWORD closed = 0;
    LONG written = RegSetValueExA(control, "Door", 0, REG_DWORD, (const BYTE*)&closed, sizeof closed);
    RegCloseKey(control);
    EXPECT_EQ(ERROR_SUCCESS, written);
    EXPECT_EQ("262 |notify", program.say("status cdaudio mode"));
    DWORD first = since(began);
    began = GetTickCount();
    for (int tick = 0; tick < 5; tick++)
        EXPECT_EQ("262 |notify", program.say("status cdaudio position"));
    DWORD next = since(began);
    printf("hanging host: first answer after %lu ms, five more after %lu ms\n", (unsigned long)first,
           (unsigned long)next);
    EXPECT_LE(first, kLimitMs + 2000);
    EXPECT_LT(next, 1500u);
    holdHost(false);
    EXPECT_EQ("0 playing|notify", readsWithin(&program, "status cdaudio mode", "0 playing|notify", 3000));
    program.say("close cdaudio");
}

// A host killed with a notification pending: the program's window is told it
// was aborted; a play that waits returns an error, not a finished play.
TEST(HostFaults, AKilledHostAbortsThePendingNotificationAndFailsTheWait) {
    demoDiscInDrive();
    Client notified, waiting;
    notified.start();
    waiting.start();
    ASSERT_EQ("0 1|notify", notified.say("open cdaudio shareable"));
    ASSERT_EQ("0 1|notify", waiting.say("open cdaudio shareable alias other"));
    // The play that waits first; the play that asks to be told then takes
    // the drive over, and the wait goes on while the drive plays.
    std::string waited;
    std::thread wait([&] { waited = waiting.say("play other from 2 wait"); });
    Sleep(500);
    ASSERT_EQ("0 |notify", notified.say("play cdaudio from 3 notify"));
    ASSERT_EQ("0 |notify", notified.say("notes"));
    ASSERT_TRUE(killHost());
    wait.join();
    EXPECT_EQ("262 |notify", waited);
    // Told without asking: the program's own side saw the host end.
    EXPECT_EQ("0 |notify 4", notified.say("notes"));
    EXPECT_EQ("262 |notify", notified.say("status cdaudio mode"));
    // The next command finds a new host, and the drive plays again.
    EXPECT_EQ("0 |notify", notified.say("play cdaudio from 3"));
    EXPECT_EQ("0 playing|notify", notified.say("status cdaudio mode"));
    notified.say("close cdaudio");
    waiting.say("close other");
}

// A process that took the host's name first is never spoken to: the drive's
// wary build expects its host to run as another user (under Wine everyone is
// the one user), so this test's own pipe stands for someone else's.
TEST(HostFaults, ANameHeldByAnotherUserIsRefusedAndShown) {
    killHost();
    wchar_t name[kPipeNameSize];
    ASSERT_TRUE(hostPipeName(name));
    HANDLE squatter = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 256, 256, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, squatter);
    OVERLAPPED connected = {};
    connected.hEvent = CreateEventA(0, TRUE, FALSE, 0);
    ConnectNamedPipe(squatter, &connected);

    std::string wary = programFolder() + "drovixcd_wary.dll";
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32", 0, 0, 0,
                    KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, "cdwary", 0, REG_SZ, (const BYTE*)wary.c_str(), (DWORD)wary.size() + 1);
    WritePrivateProfileStringA("mci", "cdwary", wary.c_str(), "system.ini");
    Client program;
    program.start();
    DWORD began = GetTickCount();
    std::string opened = program.say("open cdwary shareable");
    EXPECT_NE('0', opened[0]) << opened;
    EXPECT_LE(since(began), kLimitMs + 2000);
    // Whatever connected, not a byte reached the squatter.
    char heard[256];
    DWORD read = 0;
    OVERLAPPED reading = {};
    reading.hEvent = CreateEventA(0, TRUE, FALSE, 0);
    if (WaitForSingleObject(connected.hEvent, 0) == WAIT_OBJECT_0) {
        BOOL got = ReadFile(squatter, heard, sizeof heard, 0, &reading);
        if (got || GetLastError() == ERROR_IO_PENDING) {
            if (WaitForSingleObject(reading.hEvent, 500) != WAIT_OBJECT_0)
                CancelIo(squatter);
            GetOverlappedResult(squatter, &reading, &read, TRUE);
        }
    }
    EXPECT_EQ(0u, read);
    program.say("close all");
    // The squatter listens again, and vdrivectl names it.
    DisconnectNamedPipe(squatter);
    ResetEvent(connected.hEvent);
    ConnectNamedPipe(squatter, &connected);

    std::string said;
    controlToolSays("show", &said);
    EXPECT_NE(std::string::npos, said.find("ホスト:     プロセス " + std::to_string(GetCurrentProcessId()))) << said;
    RegDeleteValueA(key, "cdwary");
    RegCloseKey(key);
    WritePrivateProfileStringA("mci", "cdwary", 0, "system.ini");
    CloseHandle(reading.hEvent);
    CloseHandle(connected.hEvent);
    CloseHandle(squatter);
}

// A host that leaves as a program opens: each open finds a host, the leaving
// one or the next, whatever the moment.
TEST(HostFaults, AnOpenAsTheHostLeavesIsNeverLost) {
    demoDiscInDrive();
    Client program;
    program.start();
    for (DWORD round = 0; round < 40; round++) {
        SCOPED_TRACE(round);
        ASSERT_EQ("0 1|notify", program.say("open cdaudio shareable"));
        ASSERT_EQ("0 |notify", program.say("close cdaudio"));
        PROCESS_INFORMATION leave = startProgram("vdrivectl.exe", "leave");
        Sleep(round % 10 * 10);
        DWORD began = GetTickCount();
        EXPECT_EQ("0 1|notify", program.say("open cdaudio shareable"));
        EXPECT_EQ("0 5|notify", program.say("status cdaudio number of tracks"));
        EXPECT_LE(since(began), 2 * kLimitMs);
        program.say("close cdaudio");
        waitForExit(&leave, 10000);
        release(&leave);
    }
}

namespace {

// The host's pipe name, taken by this test's own single instance, which
// stands for a host; INVALID_HANDLE_VALUE when it cannot be.
HANDLE hostNameTaken(wchar_t* name) {
    if (!hostPipeName(name))
        return INVALID_HANDLE_VALUE;
    return CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, sizeof(HostReply), sizeof(HostRequest), 0, 0);
}

// Stands for a host that leaves as a connection comes: it takes the
// connection, reads the request and closes it unanswered, or holds it so
// for holdMs first. What it heard.
DWORD standInForALeavingHost(HANDLE pipe, DWORD holdMs = 0) {
    OVERLAPPED io = {};
    io.hEvent = CreateEventA(0, TRUE, FALSE, 0);
    BOOL connected = ConnectNamedPipe(pipe, &io) || GetLastError() == ERROR_PIPE_CONNECTED ||
                     (GetLastError() == ERROR_IO_PENDING && WaitForSingleObject(io.hEvent, 10000) == WAIT_OBJECT_0);
    HostRequest request;
    DWORD heard = 0;
    ResetEvent(io.hEvent);
    if (connected && (ReadFile(pipe, &request, sizeof request, 0, &io) || GetLastError() == ERROR_IO_PENDING) &&
        WaitForSingleObject(io.hEvent, 10000) == WAIT_OBJECT_0)
        GetOverlappedResult(pipe, &io, &heard, FALSE);
    Sleep(holdMs);
    CancelIo(pipe);
    CloseHandle(pipe);
    CloseHandle(io.hEvent);
    return heard;
}

} // namespace

// A host asked to leave may take an open's connection as it goes (here this
// test's own pipe stands for it): the open is made on the host started next,
// also when the connection itself came late, the pipe busy for a while.
TEST(HostFaults, AnOpenTakenByAHostThatGoesIsMadeOnTheNext) {
    for (DWORD busyMs : {0, 1500}) {
        SCOPED_TRACE(busyMs);
        killHost();
        demoDiscInDrive();
        wchar_t name[kPipeNameSize];
        HANDLE leaving = hostNameTaken(name);
        ASSERT_NE(INVALID_HANDLE_VALUE, leaving);
        HANDLE occupier = busyMs ? CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, 0, 0) : 0;
        if (occupier == INVALID_HANDLE_VALUE) {
            CloseHandle(leaving);
            FAIL() << "the stand-in's pipe could not be made busy";
        }
        DWORD heard = 0;
        std::thread goes([&] {
            if (occupier) {
                Sleep(busyMs);
                CloseHandle(occupier);
                DisconnectNamedPipe(leaving);
            }
            heard = standInForALeavingHost(leaving);
        });
        Client program;
        program.start();
        DWORD began = GetTickCount();
        EXPECT_EQ("0 1|notify", program.say("open cdaudio shareable"));
        printf("an open after a host that went, its pipe busy %lu ms first: %lu ms\n", (unsigned long)busyMs,
               (unsigned long)since(began));
        EXPECT_LE(since(began), kLimitMs + 2000);
        goes.join();
        EXPECT_EQ(sizeof(HostRequest), heard);
        EXPECT_EQ("0 5|notify", program.say("status cdaudio number of tracks"));
        program.say("close cdaudio");
    }
}

// A host whose pipe is busy until just before the limit, and which then
// takes the open and never answers (this test's own pipe stands for it):
// the connection and the answer share one limit, so that a player whose
// window shows while it opens is never held past it.
TEST(HostFaults, AnOpenWaitsAtMostTheLimitConnectionAndAnswerTogether) {
    killHost();
    Client program;
    program.start();
    wchar_t name[kPipeNameSize];
    HANDLE busy = hostNameTaken(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, busy);
    HANDLE occupier = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, 0, 0);
    if (occupier == INVALID_HANDLE_VALUE) {
        CloseHandle(busy);
        FAIL() << "the stand-in's pipe could not be made busy";
    }
    DWORD heard = 0;
    std::thread freedLate([&] {
        Sleep(kLimitMs - 1000);
        CloseHandle(occupier);
        DisconnectNamedPipe(busy);
        heard = standInForALeavingHost(busy, kLimitMs);
    });
    DWORD began = GetTickCount();
    std::string answer = program.say("open cdaudio shareable");
    DWORD took = since(began);
    printf("an open on a host busy, then silent: \"%s\" after %lu ms\n", answer.c_str(), (unsigned long)took);
    EXPECT_EQ(0u, answer.find("262 "));
    EXPECT_LE(took, kLimitMs + 1500);
    freedLate.join();
    EXPECT_EQ(sizeof(HostRequest), heard);
}

// A host that cannot be started (here rundll32 is gone) costs a program no
// wait, and the PC's own drive (a stand-in with seven tracks) answers it.
TEST(HostFaults, WithoutAHostThePcsOwnDriveAnswersAtOnce) {
    killHost();
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string folder = std::string(system) + "\\", standIn = folder + "standin_cd.dll";
    ASSERT_TRUE(copyNamed(testFolder() + "standin_cd.dll", standIn));
    std::string said;
    ASSERT_EQ(0u, controlToolSays("uninstall", &said)) << said;
    makeCdaudio("standin_cd.dll");
    ASSERT_EQ(0u, controlToolSays("install", &said)) << said;
    ASSERT_TRUE(MoveFileA((folder + "rundll32.exe").c_str(), (folder + "rundll32.away").c_str()));
    demoDiscInDrive();
    for (int program = 0; program < 2; program++) {
        SCOPED_TRACE(program);
        Client client;
        client.start();
        DWORD began = GetTickCount();
        EXPECT_EQ("0 1|notify", client.say("open cdaudio shareable"));
        EXPECT_EQ("0 7|notify", client.say("status cdaudio number of tracks"));
        printf("no host: open and status in %lu ms\n", (unsigned long)since(began));
        EXPECT_LT(since(began), kLimitMs);
        client.say("close cdaudio");
    }
    MoveFileA((folder + "rundll32.away").c_str(), (folder + "rundll32.exe").c_str());
    EXPECT_EQ(0u, controlToolSays("uninstall", &said)) << said;
    makeCdaudio("mcicda.dll");
    EXPECT_EQ(0u, controlToolSays("install", &said)) << said;
    deleteNamed(standIn);
}
