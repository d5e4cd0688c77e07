// The real player beside a second MCI program on the one virtual drive: the
// player shows what the drive does, whoever did it, and its next click acts
// on that; a drive whose host died comes back stopped at the track it was
// on, and one Play plays it.
#include "EndToEnd.h"

#include "../win32/MciClient.h"

namespace {

void click(HWND window, UINT command) { PostMessageA(window, WM_COMMAND, command, 0); }

DWORD runControlTool(const char* arguments) {
    PROCESS_INFORMATION tool = startProgram("vdrivectl.exe", arguments);
    if (!tool.hProcess)
        return 999;
    DWORD code = waitForExit(&tool, 20000);
    release(&tool);
    return code;
}

bool waitForCaptionStart(HWND window, const char* start, DWORD ms) {
    DWORD began = GetTickCount();
    while (caption(window).rfind(start, 0) != 0 && GetTickCount() - began < ms)
        Sleep(50);
    return caption(window).rfind(start, 0) == 0;
}

} // namespace

TEST(EndToEnd, ThePlayerFollowsWhatAnotherProgramDoesAndItsNextClickActsOnIt) {
    prepareDrive(1);
    std::string index = programFolder() + "drovix.idx";
    deleteNamed(index);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);
    Client other;
    other.start();
    ASSERT_EQ("0 1|notify", other.say("open cdaudio shareable"));
    ASSERT_EQ("0 |notify", other.say("set cdaudio time format tmsf"));
    struct Row {
        const char* outside;
        // What the player shows before it is clicked ("" where its caption
        // cannot tell: a pause shows as a play does, but for the blink).
        const char* shown;
        UINT click;
        const char* query;
        const char* answer;
    };
    const Row rows[] = {
        {"pause cdaudio", "", IDC_PLAYPAUSE, "status cdaudio mode", "0 playing|notify"},
        {"stop cdaudio", "Title / Artist", IDC_PLAYPAUSE, "status cdaudio mode", "0 playing|notify"},
        {"play cdaudio from 3", "Track  3 (", IDC_NEXT, "status cdaudio current track", "0 4|notify"},
        {"seek cdaudio to 2", "Title / Artist", IDC_NEXT, "status cdaudio current track", "0 3|notify"},
        {"set cdaudio door open", "ＣＤプレイヤー", IDC_EJECT, "status cdaudio mode", "0 stopped|notify"},
        {"play cdaudio from 2", "Track  2 (", IDC_PLAYPAUSE, "status cdaudio mode", "0 paused|notify"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.outside);
        ASSERT_EQ('0', other.say(row.outside)[0]);
        if (row.shown[0])
            EXPECT_TRUE(waitForCaptionStart(window, row.shown, 3000)) << caption(window);
        click(window, row.click);
        EXPECT_EQ(row.answer, readsWithin(&other, row.query, row.answer, 3000));
    }

    // The host dies while the player plays track 2: stopped at track 2, and
    // one Play plays it.
    click(window, IDC_PLAYPAUSE);
    ASSERT_EQ("0 playing|notify", readsWithin(&other, "status cdaudio mode", "0 playing|notify", 3000));
    ASSERT_TRUE(killHost());
    EXPECT_TRUE(waitForCaption(window, "Title / Artist", 15000)) << caption(window);
    click(window, IDC_PLAYPAUSE);
    EXPECT_TRUE(waitForTrackPlaying(window, 2, 5000)) << caption(window);
    // The other program's open was on the host that died: it is told once.
    EXPECT_EQ("262 |notify", other.say("status cdaudio current track"));
    EXPECT_EQ("0 2|notify", other.say("status cdaudio current track"));

    // The disc named by another writer while it plays: its names show.
    ASSERT_EQ(0u, runControlTool("titles"));
    EXPECT_TRUE(waitForCaptionStart(window, "Tone 2 (", 3000)) << caption(window);

    // A door opened elsewhere closes when a disc is put in.
    ASSERT_EQ("0 |notify", other.say("set cdaudio door open"));
    EXPECT_TRUE(waitForCaption(window, "ＣＤプレイヤー", 3000)) << caption(window);
    EXPECT_EQ(0u, runControlTool("insert"));
    EXPECT_TRUE(waitForCaption(window, "デモディスク / Drovix", 5000)) << caption(window);
    other.say("close cdaudio");
    EXPECT_EQ(0u, closePlayer(window, &player));
    deleteNamed(index);
    forgetSettingsAndDrive();
}
