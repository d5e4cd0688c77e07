// Repeat and random play through a sped-up disc, as the drive saw them: the
// order of the tracks the player started proves each mode.
#include "EndToEnd.h"

#include <stdlib.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

const int kTracks = 5; // the demo disc's

// The tracks the player started, in order: its plays from a track.
std::vector<int> startedTracks() {
    const std::string play = "MCI_PLAY flags=0x00000005 ";
    std::vector<int> tracks;
    std::istringstream lines(driveLog());
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(0, play.size(), play) == 0)
            tracks.push_back((int)(strtoul(line.c_str() + play.size(), 0, 16) & 0xFF));
    return tracks;
}

std::vector<int> waitForStarts(size_t count, DWORD ms) {
    for (DWORD waited = 0; startedTracks().size() < count && waited < ms; waited += 100)
        Sleep(100);
    return startedTracks();
}

// Every track of the disc once, from the given start on.
bool isRound(const std::vector<int>& tracks, size_t from) {
    if (tracks.size() < from + kTracks)
        return false;
    std::vector<int> round(tracks.begin() + from, tracks.begin() + from + kTracks);
    std::sort(round.begin(), round.end());
    for (int track = 1; track <= kTracks; track++)
        if (round[track - 1] != track)
            return false;
    return true;
}

std::string listed(const std::vector<int>& tracks) {
    std::string text;
    for (int track : tracks)
        text += std::to_string(track) + " ";
    return text;
}

// The player started by AutoPlay with the modes restored from its settings,
// ten ticks a second, on the demo disc at 80 times its speed (a track lasts
// 1.3 to 3 seconds).
HWND startWithModes(PROCESS_INFORMATION* player, DWORD repeat, DWORD random) {
    prepareDrive(80);
    setNumber(kSettings, "SaveBeforePlayMode", 1);
    setNumber(kSettings, "RepeatMode", repeat);
    setNumber(kSettings, "RandomMode", random);
    setNumber(kSettings, "Interval", 100);
    return startPlaying(player, "/play");
}

void endPlayer(HWND window, PROCESS_INFORMATION* player) {
    EXPECT_EQ(0u, closePlayer(window, player));
    forgetSettingsAndDrive();
}

} // namespace

TEST(EndToEnd, RepeatAloneStartsTrackOneAgainAtTheEndOfTheDisc) {
    PROCESS_INFORMATION player;
    HWND window = startWithModes(&player, 1, 0);
    ASSERT_TRUE(window);
    std::vector<int> tracks = waitForStarts(2, 20000);
    EXPECT_EQ((std::vector<int>{1, 1}), tracks) << driveLog();
    EXPECT_EQ(std::string::npos, driveLog().find("MCI_STOP")) << driveLog();
    endPlayer(window, &player);
}

// The first play is from the track the player stood at; random play takes
// over from the next tick.
TEST(EndToEnd, RandomPlaysEveryTrackOnceAndThenStops) {
    PROCESS_INFORMATION player;
    HWND window = startWithModes(&player, 0, 1);
    ASSERT_TRUE(window);
    EXPECT_TRUE(waitForLog("MCI_STOP", 30000)) << driveLog();
    Sleep(1000);
    std::vector<int> tracks = startedTracks();
    EXPECT_EQ(1 + kTracks, (int)tracks.size()) << listed(tracks);
    EXPECT_TRUE(isRound(tracks, 1)) << listed(tracks);
    EXPECT_TRUE(waitForCaption(window, "Title / Artist", 3000)) << caption(window);
    endPlayer(window, &player);
}

TEST(EndToEnd, RandomWithRepeatStartsANewRoundAfterEveryTrackWasPlayed) {
    PROCESS_INFORMATION player;
    HWND window = startWithModes(&player, 1, 1);
    ASSERT_TRUE(window);
    std::vector<int> tracks = waitForStarts(1 + 2 * kTracks, 45000);
    EXPECT_TRUE(isRound(tracks, 1)) << listed(tracks);
    EXPECT_TRUE(isRound(tracks, 1 + kTracks)) << listed(tracks);
    EXPECT_EQ(std::string::npos, driveLog().find("MCI_STOP")) << driveLog();
    endPlayer(window, &player);
}

// Random play, repeat off: every track of the demo disc started, then a disc of
// two tracks put in through the tray. The first Play plays it (a round of
// its own), and nothing stops it at the next tick.
TEST(EndToEnd, ANewDiscInTheMiddleOfARandomRoundPlaysAtTheFirstPlay) {
    std::string sheet = testFolder() + "two-tracks.cue", bin = testFolder() + "two-tracks.bin";
    ASSERT_TRUE(writeBytes(bin, std::string(2 * 600 * 2352, '\0')));
    ASSERT_TRUE(writeBytes(sheet, "FILE two-tracks.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                  "TRACK 02 AUDIO\nINDEX 01 00:08:00\n"));
    prepareDrive(1);
    setNumber(kSettings, "SaveBeforePlayMode", 1);
    setNumber(kSettings, "RandomMode", 1);
    setNumber(kSettings, "Interval", 100);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);
    // Random play takes over from the first play at its first tick; each
    // Next after that starts one more track of the round.
    waitForStarts(2, 5000);
    Sleep(300);
    for (int skip = 0; skip < 4; skip++) {
        size_t before = startedTracks().size();
        PostMessageA(window, WM_COMMAND, IDC_NEXT, 0);
        waitForStarts(before + 1, 5000);
        Sleep(300);
    }
    // Every track of the demo disc was started in this round.
    ASSERT_TRUE(isRound(startedTracks(), 1)) << listed(startedTracks());

    setText(kControl, "Image", sheet);
    EXPECT_TRUE(waitForCaption(window, "ＣＤプレイヤー", 3000)) << caption(window);
    EXPECT_TRUE(waitForCaption(window, "Title / Artist", 5000)) << caption(window);
    size_t logged = driveLog().size();
    PostMessageA(window, WM_COMMAND, IDC_PLAYPAUSE, 0);
    Sleep(2000);
    std::string afterPlay = driveLog().substr(logged);
    // The play from where the player stood, then at the next tick random
    // play's own first pick of the new round: a round of the old disc
    // would have stopped there, or played on without a pick.
    size_t plays = 0;
    for (size_t at = afterPlay.find("MCI_PLAY flags=0x00000005"); at != std::string::npos;
         at = afterPlay.find("MCI_PLAY flags=0x00000005", at + 1))
        plays++;
    EXPECT_EQ(2u, plays) << afterPlay;
    EXPECT_EQ(std::string::npos, afterPlay.find("MCI_STOP")) << afterPlay;
    EXPECT_NE("Title / Artist", caption(window)) << "the player is not playing";
    endPlayer(window, &player);
    deleteNamed(sheet);
    deleteNamed(bin);
}
