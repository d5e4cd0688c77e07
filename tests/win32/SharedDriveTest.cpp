// The installed virtual drive seen from two programs at once, as from two
// small MCI players: one tray, one disc, one play; what one does, the other
// then reads; a program killed while it plays lets the drive go.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "../../vdrive/DriveSnapshot.h"
#include "../../vdrive/win32/link/HostTrust.h"

#include "MciClient.h"

// Each command of one program, then a query of the other: every row in both
// orders, the first program commanding and the second, then the other way.
TEST(SharedDrive, WhatOneProgramDoesTheOtherReads) {
    struct Row {
        bool first; // the first program commands, the other reads
        const char* command;
        const char* query;
        const char* answer;
    };
    const Row rows[] = {
        {true, "play cdaudio from 2 notify", "status cdaudio mode", "0 playing|notify"},
        {false, "status cdaudio current track", "status cdaudio current track", "0 2|notify"},
        // The pause ends the first play, which asked to be told: aborted.
        {false, "pause cdaudio", "status cdaudio mode", "0 paused|notify 4"},
        {true, "play cdaudio", "status cdaudio mode", "0 playing|notify"},
        {false, "seek cdaudio to 4", "status cdaudio current track", "0 4|notify"},
        {true, "status cdaudio position", "status cdaudio position", "0 04:00:00:00|notify"},
        {true, "set cdaudio door open", "status cdaudio mode", "0 open|notify"},
        {false, "set cdaudio door closed", "status cdaudio mode", "0 stopped|notify"},
        {false, "play cdaudio from 3 notify", "status cdaudio mode", "0 playing|notify"},
        // A newer play ends the older one's as aborted, whoever asked.
        {true, "play cdaudio from 5 notify", "notes", "0 |notify 4"},
        {false, "stop cdaudio", "notes", "0 |notify 4"},
        {true, "status cdaudio mode", "status cdaudio mode", "0 stopped|notify"},
    };
    demoDiscInDrive();
    for (int swapped = 0; swapped < 2; swapped++) {
        SCOPED_TRACE(swapped ? "the second program commands first" : "the first program commands first");
        Client one, two;
        one.start();
        two.start();
        for (Client* client : {&one, &two}) {
            ASSERT_EQ("0 1|notify", client->say("open cdaudio shareable"));
            ASSERT_EQ("0 |notify", client->say("set cdaudio time format tmsf"));
        }
        for (const Row& row : rows) {
            SCOPED_TRACE(row.command);
            Client* commands = row.first != (swapped != 0) ? &one : &two;
            Client* reads = commands == &one ? &two : &one;
            std::string said = commands->say(row.command);
            EXPECT_EQ('0', said[0]) << said;
            EXPECT_EQ(row.answer, reads->say(row.query));
        }
        one.say("close cdaudio");
        two.say("close cdaudio");
    }
}

// A program killed while its play sounds lets the drive go: the other finds
// it stopped where the play stood, and plays on it.
TEST(SharedDrive, AProgramKilledWhilePlayingLeavesTheDriveUsable) {
    demoDiscInDrive();
    Client player, other;
    player.start();
    other.start();
    ASSERT_EQ("0 1|notify", player.say("open cdaudio shareable"));
    ASSERT_EQ("0 1|notify", other.say("open cdaudio shareable"));
    ASSERT_EQ("0 |notify", player.say("play cdaudio notify"));
    ASSERT_EQ("0 playing|notify", other.say("status cdaudio mode"));
    player.kill();
    EXPECT_EQ("0 stopped|notify", readsWithin(&other, "status cdaudio mode", "0 stopped|notify", 3000));
    EXPECT_EQ("0 |notify", other.say("play cdaudio"));
    EXPECT_EQ("0 playing|notify", other.say("status cdaudio mode"));
    EXPECT_EQ("0 |notify", other.say("stop cdaudio"));
    // The host itself killed: the command that finds it gone fails, and
    // the next finds a new one, with the open's time format made again.
    EXPECT_EQ("0 |notify", other.say("set cdaudio time format tmsf"));
    ASSERT_TRUE(killHost());
    EXPECT_EQ("262 |notify", other.say("status cdaudio position"));
    EXPECT_EQ("0 01:00:00:00|notify", other.say("status cdaudio position"));
    EXPECT_EQ("0 |notify", other.say("play cdaudio from 2"));
    EXPECT_EQ("0 playing|notify", other.say("status cdaudio mode"));
    other.say("close cdaudio");
}

// vdrivectl moves the door as a program would, and a program sees it at
// its next look: eject opens it and ends the play, a disc put in closes it.
TEST(SharedDrive, TheControlToolsEjectOpensTheDoorAndAnInsertClosesIt) {
    demoDiscInDrive();
    Client program;
    program.start();
    auto tool = [](const char* arguments) {
        PROCESS_INFORMATION started = startProgram("vdrivectl.exe", arguments);
        DWORD code = started.hProcess ? waitForExit(&started, 20000) : 999;
        release(&started);
        return code;
    };
    ASSERT_EQ("0 1|notify", program.say("open cdaudio shareable"));
    ASSERT_EQ("0 |notify", program.say("play cdaudio from 2 notify"));
    ASSERT_EQ(0u, tool("eject"));
    // The play that asked to be told ends as aborted.
    EXPECT_EQ("0 open|notify 4", readsWithin(&program, "status cdaudio mode", "0 open|notify 4", 3000));
    EXPECT_EQ("0 false|notify", program.say("status cdaudio media present"));
    ASSERT_EQ(0u, tool("insert"));
    EXPECT_EQ("0 stopped|notify", readsWithin(&program, "status cdaudio mode", "0 stopped|notify", 3000));
    EXPECT_EQ("0 true|notify", program.say("status cdaudio media present"));
    // A door a program opened closes at an insert too.
    ASSERT_EQ("0 |notify", program.say("set cdaudio door open"));
    ASSERT_EQ(0u, tool("insert"));
    EXPECT_EQ("0 stopped|notify", readsWithin(&program, "status cdaudio mode", "0 stopped|notify", 3000));
    program.say("close cdaudio");
}

// The drive's snapshot read from another process while the host publishes
// it at every command of a busy program: every record read is whole (the
// demo disc's table, a head on the disc, published in order).
TEST(SharedDrive, TheSnapshotReadWhileTheHostPublishesIsAlwaysWhole) {
    demoDiscInDrive();
    Client busy;
    busy.start();
    ASSERT_EQ("0 1|notify", busy.say("open cdaudio shareable"));
    DWORD host = 0;
    int ownUser = 0;
    ASSERT_TRUE(hostHolder(&host, &ownUser));
    wchar_t name[kPipeNameSize];
    ASSERT_TRUE(snapshotName(host, name));
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    ASSERT_TRUE(mapping);
    const DriveSnapshot* snapshot = (const DriveSnapshot*)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(DriveSnapshot));
    ASSERT_TRUE(snapshot);
    volatile LONG done = 0;
    std::thread commands([&] {
        for (int round = 0; round < 40; round++)
            for (const char* command : {"play cdaudio from 2", "seek cdaudio to 4", "play cdaudio from 1 to 3", "stop cdaudio"})
                busy.say(command);
        InterlockedExchange(&done, 1);
    });
    SnapshotState state;
    int64_t lastStamp = 0;
    int whole = 0, odd = 0;
    DWORD began = GetTickCount();
    while (GetTickCount() - began < 20000) {
        if (!snapshot->read(&state))
            continue;
        whole++;
        odd += state.host != host || state.trackCount != 5 || state.endFrame != 61879 || state.trackStart[1] != 0 ||
               state.frame > state.endFrame || state.playTo > state.endFrame || state.mode < 0 || state.mode > 2 ||
               state.stamp < lastStamp;
        lastStamp = state.stamp;
        if (done)
            break;
    }
    commands.join();
    printf("snapshot across processes: %d records read, %d not whole\n", whole, odd);
    EXPECT_LT(0, whole);
    EXPECT_EQ(0, odd);
    UnmapViewOfFile(snapshot);
    CloseHandle(mapping);
    busy.say("close cdaudio");
}
