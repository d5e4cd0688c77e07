// The drive's test build, called as the platform calls a driver, with its
// reads held or slowed: what the drive answers while a disk is slow, and a
// driver freed while a client thread is still inside it. The rows that slow
// the sound's reads need a sound device (the sound step has one).
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Programs.h"

namespace {

typedef LRESULT(CALLBACK* DriverEntry)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM);
typedef void(WINAPI* ReadSeamEntry)(DWORD, HANDLE, HANDLE);
typedef void(WINAPI* ThreadSeamEntry)(HANDLE);

struct SeamDrive {
    HMODULE module = 0;
    DriverEntry proc = 0;
    ReadSeamEntry seam = 0;
    ThreadSeamEntry threadSeam = 0;
    DWORD_PTR id = 0;

    void load() {
        module = LoadLibraryA((programFolder() + "drovixcd_seams.dll").c_str());
        ASSERT_NE((HMODULE)0, module);
        proc = (DriverEntry)GetProcAddress(module, "DriverProc");
        seam = (ReadSeamEntry)GetProcAddress(module, "DriveReadSeam");
        threadSeam = (ThreadSeamEntry)GetProcAddress(module, "DriveThreadSeam");
        ASSERT_TRUE(proc && seam && threadSeam);
        ASSERT_EQ(1, proc(0, 0, DRV_LOAD, 0, 0));
        MCI_OPEN_DRIVER_PARMS open = {};
        id = proc(0, 0, DRV_OPEN, 0, (LPARAM)&open);
        ASSERT_NE(0u, id);
    }
    DWORD command(UINT message, DWORD flags, void* block) { return (DWORD)proc(id, 0, message, flags, (LPARAM)block); }
    DWORD status(DWORD item) {
        MCI_STATUS_PARMS status = {};
        status.dwItem = item;
        return LOWORD(command(MCI_STATUS, MCI_STATUS_ITEM, &status)) ? (DWORD)-1 : (DWORD)status.dwReturn;
    }
    // The last close frees the driver, and the platform lets the module go.
    void free() {
        proc(id, 0, DRV_CLOSE, 0, 0);
        proc(0, 0, DRV_FREE, 0, 0);
        FreeLibrary(module);
        id = 0;
    }
};

void controlImage(const char* image) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive", 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, "Image", 0, REG_SZ, (const BYTE*)image, (DWORD)strlen(image) + 1);
    RegCloseKey(key);
}

double now() {
    LARGE_INTEGER ticks, rate;
    QueryPerformanceCounter(&ticks);
    QueryPerformanceFrequency(&rate);
    return ticks.QuadPart * 1000.0 / rate.QuadPart;
}

// The slowest of twenty status round-trips, in milliseconds.
double slowestStatus(SeamDrive* drive) {
    double slowest = 0;
    for (int i = 0; i < 20; i++) {
        double began = now();
        drive->status(MCI_STATUS_POSITION);
        slowest = std::max(slowest, now() - began);
    }
    return slowest;
}

struct Work {
    SeamDrive* drive;
    UINT message;
    DWORD flags;
};

DWORD WINAPI sendCommand(void* parameter) {
    Work* work = (Work*)parameter;
    MCI_SET_PARMS set = {};
    return work->drive->command(work->message, work->flags, &set);
}

bool haveSound() { return waveOutGetNumDevs() > 0; }

} // namespace

// While a read takes half a second, a status from another thread is
// answered as fast as when the drive is idle: no read holds the drive's
// lock. (Twice the idle time, or 50 ms for a busy machine's scheduling; a
// read under the lock makes one wait about 500 ms.)
TEST(DriveSeams, StatusIsAnsweredAtOnceWhileAReadIsSlow) {
    struct Row {
        const char* read;
        bool needsSound;
        UINT message;
        DWORD flags;
    };
    const Row rows[] = {
        {"the image, as the door closes", false, MCI_SET, MCI_SET_DOOR_CLOSED},
        {"a buffer of sound, as the play sounds", true, MCI_PLAY, 0},
    };
    controlImage("");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.read);
        if (row.needsSound && !haveSound())
            GTEST_SKIP() << "slow read of " << row.read << ": no sound device here";
        SeamDrive drive;
        drive.load();
        MCI_SET_PARMS set = {};
        if (row.message == MCI_SET)
            drive.command(MCI_SET, MCI_SET_DOOR_OPEN, &set);
        double idle = slowestStatus(&drive);
        HANDLE entered = CreateEventA(0, TRUE, FALSE, 0);
        drive.seam(500, entered, 0);
        Work work = {&drive, row.message, row.flags};
        HANDLE sender = CreateThread(0, 0, sendCommand, &work, 0, 0);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered, 5000));
        double slow = slowestStatus(&drive);
        printf("slow read of %s: status %.3f ms at most (idle %.3f ms)\n", row.read, slow, idle);
        EXPECT_LE(slow, std::max(2 * idle, 50.0));
        WaitForSingleObject(sender, 5000);
        CloseHandle(sender);
        drive.seam(0, 0, 0);
        drive.free();
        CloseHandle(entered);
    }
}

// The last close frees the driver while another thread's command is still
// reading the disc: the driver answers that thread when its read ends
// (its open is gone), and loads and answers again afterwards. A driver
// unloaded under that thread would end this process.
TEST(DriveSeams, ADriverFreedWhileACommandReadsStaysUntilItHasLeft) {
    controlImage("");
    SeamDrive drive;
    drive.load();
    MCI_SET_PARMS set = {};
    drive.command(MCI_SET, MCI_SET_DOOR_OPEN, &set);
    HANDLE entered = CreateEventA(0, TRUE, FALSE, 0);
    HANDLE gate = CreateEventA(0, TRUE, FALSE, 0);
    drive.seam(0, entered, gate);
    Work work = {&drive, MCI_SET, MCI_SET_DOOR_CLOSED};
    HANDLE sender = CreateThread(0, 0, sendCommand, &work, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered, 5000));
    double began = now();
    SeamDrive gone = drive;
    gone.free();
    EXPECT_LT(now() - began, 1000.0) << "the free waited for the read";
    SetEvent(gate);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sender, 5000));
    DWORD answer = 0;
    GetExitCodeThread(sender, &answer);
    EXPECT_EQ((DWORD)MCIERR_INVALID_DEVICE_ID, answer);
    CloseHandle(sender);
    drive.seam(0, 0, 0);

    SeamDrive again;
    again.load();
    EXPECT_EQ(TRUE, LOWORD(again.status(MCI_STATUS_MEDIA_PRESENT)));
    EXPECT_EQ(5, LOWORD(again.status(MCI_STATUS_NUMBER_OF_TRACKS)));
    again.free();
    CloseHandle(entered);
    CloseHandle(gate);
}

// A drive freed while its thread reads (a disk that sleeps) and opened again
// has a thread of its own: the new play sounds to its end on a device of
// its own, and the old thread, let go, touches nothing of it.
TEST(DriveSeams, AThreadLeftReadingTouchesNothingOfTheNextDrive) {
    if (!haveSound())
        GTEST_SKIP() << "no sound device here";
    controlImage("");
    HANDLE entered = CreateEventA(0, TRUE, FALSE, 0);
    HANDLE gate = CreateEventA(0, TRUE, FALSE, 0);
    SeamDrive drive;
    drive.load();
    drive.seam(0, entered, gate);
    ASSERT_EQ(0u, drive.command(MCI_PLAY, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered, 5000));
    drive.free();
    drive.seam(0, 0, 0);

    SeamDrive again;
    again.load();
    MCI_SET_PARMS format = {};
    format.dwTimeFormat = MCI_FORMAT_TMSF;
    again.command(MCI_SET, MCI_SET_TIME_FORMAT, &format);
    MCI_PLAY_PARMS play = {};
    play.dwFrom = MCI_MAKE_TMSF(1, 0, 0, 0);
    play.dwTo = MCI_MAKE_TMSF(1, 0, 1, 0);
    ASSERT_EQ(0u, again.command(MCI_PLAY, MCI_FROM | MCI_TO, &play));
    Sleep(300);
    SetEvent(gate);
    DWORD mode = 0;
    for (int waited = 0; waited < 100 && LOWORD(mode = again.status(MCI_STATUS_MODE)) == MCI_MODE_PLAY; waited++)
        Sleep(50);
    EXPECT_EQ(MCI_MODE_STOP, LOWORD(mode)) << "the play did not end";
    EXPECT_EQ((DWORD)MCI_MAKE_TMSF(1, 0, 1, 0), again.status(MCI_STATUS_POSITION));
    again.free();
    CloseHandle(entered);
    CloseHandle(gate);
}

// The events of a freed drive's thread go with that thread: the next open
// of the drive signals none of the handles its client has made since, which
// may be the same numbers.
TEST(DriveSeams, AFreedDriveSignalsNoHandleOfItsClient) {
    controlImage("");
    SeamDrive drive;
    drive.load();
    HANDLE left = CreateEventA(0, TRUE, FALSE, 0);
    drive.threadSeam(left);
    ASSERT_EQ(0u, drive.command(MCI_PLAY, 0, 0));
    drive.free();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(left, 5000)) << "the drive's thread did not leave";
    drive.threadSeam(0);
    CloseHandle(left);
    HANDLE events[64];
    for (HANDLE& event : events)
        event = CreateEventA(0, TRUE, FALSE, 0);
    drive.load();
    ASSERT_EQ(0u, drive.command(MCI_PLAY, 0, 0));
    drive.command(MCI_STOP, 0, 0);
    drive.free();
    int signalled = 0;
    for (HANDLE event : events) {
        signalled += WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        CloseHandle(event);
    }
    EXPECT_EQ(0, signalled);
}
