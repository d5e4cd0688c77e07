// The virtual drive with FLAC discs, as programs and users reach it: every
// layout put in by vdrivectl answers the player's MCI commands as the WAV
// image it was encoded from, vdrivectl show names each file's kind, and
// what the drive cannot play is refused in Japanese, the disc kept.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../engine/Drive.h"
#include "ControlTool.h"

namespace {

std::string images() { return testFolder() + "flac-images\\"; }

HWND window;
std::vector<WPARAM> flacCompletions;

LRESULT CALLBACK completionProc(HWND to, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY)
        flacCompletions.push_back(wParam);
    return DefWindowProcA(to, message, wParam, lParam);
}

// What the drive answers of the disc in it: the tracks' lengths and
// starts, and where a play of track 2 into track 3 ends.
// The disc put in, once the tray has gone out and in again (two seconds
// without a disc), within ten seconds.
void waitForTheDisc() {
    Sleep(2000);
    for (DWORD waited = 0; waited < 10000; waited += 100) {
        uint32_t device = 0;
        if (driveOpen(&device) == 0) {
            uint32_t present = driveStatus(device, kStatusMediaPresent, 0);
            driveClose(device);
            if (present)
                return;
        }
        Sleep(100);
    }
}

std::vector<uint32_t> answers() {
    std::vector<uint32_t> said;
    uint32_t device = 0;
    EXPECT_EQ(0u, driveOpen(&device));
    uint32_t tracks = driveStatus(device, kStatusNumberOfTracks, 0);
    said.push_back(tracks);
    driveSetTimeFormat(device, kTimeFormatMsf);
    for (uint32_t track = 0; track <= tracks; track++)
        said.push_back(driveStatus(device, kStatusLength, track));
    driveSetTimeFormat(device, kTimeFormatTmsf);
    flacCompletions.clear();
    EXPECT_EQ(0u, drivePlayFrom(device, window, 2));
    MSG message;
    for (DWORD waited = 0; flacCompletions.empty() && waited < 20000; waited += 10) {
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    }
    EXPECT_EQ(std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}, flacCompletions);
    said.push_back(driveStatus(device, kStatusPosition, 0));
    driveSeekTo(device, 3);
    said.push_back(driveStatus(device, kStatusPosition, 0));
    driveClose(device);
    return said;
}

class FlacDrive : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive");
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = completionProc;
        windowClass.hInstance = GetModuleHandleA(0);
        windowClass.lpszClassName = "FlacCompletions";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "FlacCompletions", "", WS_POPUP, 0, 0, 1, 1, 0, 0, GetModuleHandleA(0), 0);
        std::string said;
        ASSERT_EQ(0u, controlToolSays("speed 1000", &said)) << said;
    }
    void TearDown() override {
        DestroyWindow(window);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive");
    }
};

} // namespace

TEST_F(FlacDrive, EveryLayoutAnswersAsTheWaveItCameFrom) {
    struct Row {
        const char* image;
        const char* twin;
        const char* kinds;
    } rows[] = {
        {"disc.cue", "disc-wav.cue", "FLAC " "disc.flac"},
        {"tracks.cue", "tracks-wav.cue", "FLAC " "track3.flac"},
        {"mixed.cue", "mixed-wav.cue", "BIN  " "track1.bin"},
        {"own.flac", "disc-wav.cue", "FLAC " "own.flac"},
        {"tagged.cue", "disc-wav.cue", "FLAC " "tagged-disc.flac"},
        {"tagged-own.flac", "disc-wav.cue", "FLAC " "tagged-own.flac"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.image);
        std::string said;
        // Another disc goes in as through a tray: two seconds without one.
        ASSERT_EQ(0u, controlToolSays("insert \"" + images() + row.twin + "\"", &said)) << said;
        waitForTheDisc();
        std::vector<uint32_t> wave = answers();
        ASSERT_EQ(0u, controlToolSays("insert \"" + images() + row.image + "\"", &said)) << said;
        waitForTheDisc();
        EXPECT_EQ(wave, answers());
        EXPECT_EQ(0u, controlToolSays("show", &said));
        EXPECT_NE(std::string::npos, said.find("3 トラック、再生できます")) << said;
        std::string kinds = row.kinds;
        EXPECT_NE(std::string::npos, said.find("ファイル:   " + kinds.substr(0, 5) + images() + kinds.substr(5)))
            << said;
    }
}

TEST_F(FlacDrive, InsertRefusesWhatTheDriveCannotPlayInJapanese) {
    std::string said;
    ASSERT_EQ(0u, controlToolSays("insert \"" + images() + "disc.cue\"", &said)) << said;
    struct Row {
        const char* sheet;
        const char* says;
    } rows[] = {
        {"refuse-48k.cue", "(48000 Hz 16 ビット 2 チャンネル): "},
        {"refuse-24bit.cue", "(44100 Hz 24 ビット 2 チャンネル): "},
        {"refuse-mono.cue", "(44100 Hz 16 ビット 1 チャンネル): "},
        {"refuse-cut.cue", "FLAC ファイルが壊れているか、途中で切れています: "},
        {"refuse-notflac.cue", "WAV でも FLAC でもないファイルです: "},
    };
    for (const Row& row : rows) {
        std::string sheet = row.sheet;
        std::string file = sheet.substr(7, sheet.size() - 11) + ".flac";
        EXPECT_EQ(1u, controlToolSays("insert \"" + images() + row.sheet + "\"", &said)) << said;
        EXPECT_NE(std::string::npos, said.find("このイメージは再生できません。ドライブのディスクはそのままです: "))
            << said;
        EXPECT_NE(std::string::npos, said.find(std::string(row.says) + images() + file)) << said;
    }
    controlToolSays("show", &said);
    EXPECT_NE(std::string::npos, said.find(images() + "disc.cue")) << said;
}
