// The player's MCI commands against the virtual drive, loaded by Wine's MCI
// as the "cdaudio" driver: what arrives, with which flags and values, what
// the drive answers, and the completions a window receives.
#include <windows.h>
#include <mmsystem.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../../engine/DiscEngine.h"
#include "../../vdrive/VirtualDisc.h"
#include "FileBytes.h"
#include "Messages.h"
#include "ControlTool.h"
#include "Programs.h"

namespace {

const char kControl[] = "Software\\Drovix\\VirtualDrive";

std::string logPath() { return tempFolder() + "vdrive-test.log"; }

void control(const char* name, const std::string& text) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kControl, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    setRegistryText(key, name, text);
    RegCloseKey(key);
}

void control(const char* name, DWORD value) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kControl, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0);
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
}

// The drive's log since the test began, without the lines about the disc.
std::string wholeLog() { return readBytes(logPath()); }

std::vector<std::string> received() {
    std::stringstream log(wholeLog());
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(log, line))
        if (line.compare(0, 4, "MCI_") == 0)
            lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

std::string hex(const char* prefix, std::initializer_list<uint32_t> values) {
    std::string line = prefix;
    char number[16];
    for (uint32_t value : values) {
        snprintf(number, sizeof number, " 0x%08x", value);
        line += number;
    }
    return line;
}

std::vector<WPARAM> completions;

LRESULT CALLBACK callbackProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY)
        completions.push_back(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND callbackWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = callbackProc;
    windowClass.hInstance = GetModuleHandleA(0);
    windowClass.lpszClassName = "CompletionsForTests";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "CompletionsForTests", "", WS_POPUP, 0, 0, 1, 1, 0, 0, GetModuleHandleA(0), 0);
}

class VirtualDrive : public ::testing::Test {
  protected:
    uint32_t device = 0;
    HWND window = 0;

    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
        control("Image", "");
        control("Log", logPath());
        EXPECT_TRUE(clearLog(logPath()));
        completions.clear();
        window = callbackWindow();
    }

    void TearDown() override {
        if (device)
            driveClose(device);
        DestroyWindow(window);
        RegDeleteTreeA(HKEY_CURRENT_USER, kControl);
    }

    void open() {
        ASSERT_EQ(0u, driveOpen(&device));
        ASSERT_NE(0u, device);
    }
};

} // namespace

TEST_F(VirtualDrive, EveryCommandArrivesWithItsFlagsAndValues) {
    open();
    driveSetTimeFormat(device, kTimeFormatTmsf);
    driveStatus(device, kStatusMediaPresent, 0);
    driveStatus(device, kStatusNumberOfTracks, 0);
    driveStatus(device, kStatusMode, 0);
    driveStatus(device, kStatusPosition, 0);
    driveSetTimeFormat(device, kTimeFormatMsf);
    driveStatus(device, kStatusLength, 2);
    driveSetTimeFormat(device, kTimeFormatTmsf);
    drivePlayFrom(device, window, 3);
    drivePause(device);
    driveResume(device, window);
    driveSeekTo(device, 4);
    driveSeekToStart(device);
    driveStop(device);
    driveSetDoor(device, 1);
    driveSetDoor(device, 0);
    driveClose(device);
    device = 0;

    uint32_t callback = (uint32_t)(uintptr_t)window;
    std::vector<std::string> expected = {
        hex("MCI_OPEN flags=0x00002100", {}),
        hex("MCI_SET flags=0x00000400", {10}),
        hex("MCI_STATUS flags=0x00000100", {MCI_STATUS_MEDIA_PRESENT}),
        hex("MCI_STATUS flags=0x00000100", {MCI_STATUS_NUMBER_OF_TRACKS}),
        hex("MCI_STATUS flags=0x00000100", {MCI_STATUS_MODE}),
        hex("MCI_STATUS flags=0x00000100", {MCI_STATUS_POSITION}),
        hex("MCI_SET flags=0x00000400", {2}),
        hex("MCI_STATUS flags=0x00000110", {MCI_STATUS_LENGTH, 2}),
        hex("MCI_SET flags=0x00000400", {10}),
        hex("MCI_PLAY flags=0x00000005", {3, 0, callback}),
        hex("MCI_PAUSE flags=0x00000000", {}),
        hex("MCI_PLAY flags=0x00000001", {0, 0, callback}),
        hex("MCI_SEEK flags=0x00000008", {4}),
        hex("MCI_SEEK flags=0x00000100", {}),
        hex("MCI_STOP flags=0x00000000", {}),
        hex("MCI_SET flags=0x00000100", {}),
        hex("MCI_SET flags=0x00000200", {}),
        hex("MCI_CLOSE flags=0x00000000", {}),
    };
    EXPECT_EQ(expected, received());
}

TEST_F(VirtualDrive, AnswersLikeADriveWithTheDemoDisc) {
    open();
    VirtualDisc demo;
    makeDemoDisc(&demo);
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    EXPECT_EQ((uint32_t)demo.trackCount, driveStatus(device, kStatusNumberOfTracks, 0));
    driveSetTimeFormat(device, kTimeFormatMsf);
    for (int32_t track = 1; track <= demo.trackCount; track++)
        EXPECT_EQ(packMsf(demo.reportedLength(track)), driveStatus(device, kStatusLength, (uint32_t)track)) << track;
    EXPECT_EQ(0u, driveStatus(device, kStatusLength, (uint32_t)demo.trackCount + 1)); // refused
    driveSetTimeFormat(device, kTimeFormatTmsf);
    EXPECT_EQ((uint32_t)MCI_MODE_STOP, driveStatus(device, kStatusMode, 0));
    EXPECT_EQ(1u, driveStatus(device, kStatusPosition, 0));
    ASSERT_EQ(0u, drivePlayFrom(device, window, 2));
    EXPECT_EQ((uint32_t)MCI_MODE_PLAY, driveStatus(device, kStatusMode, 0));
    // The clock runs on into track 2, however slowly a loaded machine starts
    // the sound device: a second in, within ten.
    uint32_t position = driveStatus(device, kStatusPosition, 0);
    for (DWORD waited = 0; ((position >> 16) & 0xFF) < 1 && waited < 10000; waited += 50) {
        Sleep(50);
        position = driveStatus(device, kStatusPosition, 0);
    }
    EXPECT_EQ(2u, position & 0xFF);
    EXPECT_GE((position >> 16) & 0xFF, 1u);
    EXPECT_LE((position >> 16) & 0xFF, 5u);
    drivePause(device);
    EXPECT_EQ((uint32_t)MCI_MODE_PAUSE, driveStatus(device, kStatusMode, 0));
    driveSetDoor(device, 1);
    EXPECT_EQ(kModeOpen, driveStatus(device, kStatusMode, 0));
    EXPECT_EQ(0u, driveStatus(device, kStatusMediaPresent, 0));
    // vdrivectl show tells where the door stands.
    std::string said;
    controlToolSays("show", &said);
    EXPECT_NE(std::string::npos, said.find("ドア:       開いています")) << said;
    driveSetDoor(device, 0);
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    controlToolSays("show", &said);
    EXPECT_NE(std::string::npos, said.find("ドア:       閉じています")) << said;
}

// The notification rules of the platform's own cdaudio driver: a new play
// aborts the pending one, any other command that asks to be told
// supersedes it and is told at once.
TEST_F(VirtualDrive, APlayToTheEndNotifiesSuccessOnceAndALaterPlayAbortsIt) {
    control("Speed", 1000);
    open();
    driveSetTimeFormat(device, kTimeFormatTmsf);
    ASSERT_EQ(0u, drivePlayFrom(device, window, 1));
    ASSERT_EQ(0u, drivePlayFrom(device, window, 5));
    pumpMessages(5000, [] { return completions.size() >= 2; });
    pumpMessages(300);
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_ABORTED, MCI_NOTIFY_SUCCESSFUL}), completions);

    completions.clear();
    ASSERT_EQ(0u, drivePlayFrom(device, window, 1));
    MCI_STATUS_PARMS status = {};
    status.dwCallback = (DWORD_PTR)window;
    status.dwItem = MCI_STATUS_MODE;
    EXPECT_EQ(0u, LOWORD(mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_NOTIFY, (DWORD_PTR)&status)));
    pumpMessages(2000, [] { return completions.size() >= 2; });
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL}), completions);
    driveStop(device);
    EXPECT_EQ((uint32_t)MCI_MODE_STOP, driveStatus(device, kStatusMode, 0));

    completions.clear();
    ASSERT_EQ(0u, drivePlayFrom(device, window, 4));
    driveStop(device);
    pumpMessages(300);
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_ABORTED}), completions);
}

TEST_F(VirtualDrive, AReopenedDeviceStillCompletesItsPlays) {
    control("Speed", 1000);
    for (int round = 0; round < 3; round++) {
        open();
        driveClose(device);
        device = 0;
    }
    open();
    driveSetTimeFormat(device, kTimeFormatTmsf);
    ASSERT_EQ(0u, drivePlayFrom(device, window, 5));
    pumpMessages(5000, [] { return !completions.empty(); });
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}), completions);
}

TEST_F(VirtualDrive, TheEngineHearsTheEndOfTheDiscThroughItsWindow) {
    control("Speed", 1000);
    discEngine = DiscEngine();
    ASSERT_EQ(1, discEngine.open(GetModuleHandleA(0), window, 5000));
    ASSERT_EQ(1, discEngine.playTrack(5));
    EXPECT_EQ(kPlaying, discEngine.playState());
    pumpMessages(5000, [] { return discEngine.playState() == kStopped; });
    EXPECT_EQ(kStopped, discEngine.playState());
    std::string log = wholeLog();
    EXPECT_NE(std::string::npos, log.find("notify successful"));
    discEngine.close();
}

TEST_F(VirtualDrive, AnEmptyDriveOrABadImageHasNoMediaAndSaysWhy) {
    std::string folder = testFolder();
    std::string bin(kBytesPerFrame * 75 * 3, '\0');
    writeBytes(folder + "good.bin", bin);
    writeBytes(folder + "short.bin", bin.substr(0, bin.size() - 1000));
    writeBytes(
        folder + "mono.wav",
        std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xAC\0\0\x88\x58\x01\0\x02\0\x10\0data\0\0\0\0",
                    44));
    struct Case {
        const char* name;
        std::string sheet;
        const char* reason;
    };
    const Case cases[] = {
        {"good.cue", "FILE good.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 0},
        {"missing.cue", "FILE gone.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "missing"},
        {"short.cue", "FILE short.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "shorter"},
        {"syntax.cue", "FILE good.bin BINARY\nTRACK 01 AUDIO\nINDEX ONE\n", "cannot be read"},
        {"data.cue", "FILE good.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "no audio track"},
        {"mono.cue", "FILE mono.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "WAV"},
    };
    for (const Case& c : cases) {
        writeBytes(folder + c.name, c.sheet);
        control("Image", folder + c.name);
        EXPECT_TRUE(clearLog(logPath()));
        open();
        EXPECT_EQ(c.reason ? 0u : 1u, driveStatus(device, kStatusMediaPresent, 0)) << c.name;
        if (c.reason)
            EXPECT_NE(std::string::npos, wholeLog().find(c.reason)) << c.name << ": " << wholeLog();
        // What vdrivectl show tells: the last disc read, or why there is none.
        char state[400] = {};
        DWORD size = sizeof state - 1;
        RegGetValueA(HKEY_CURRENT_USER, kControl, "State", RRF_RT_REG_SZ, 0, state, &size);
        EXPECT_EQ(0u, std::string(state).find(c.reason ? "no media: " : "disc: ")) << state;
        if (c.reason)
            EXPECT_NE(std::string::npos, std::string(state).find(c.reason)) << state;
        driveClose(device);
        device = 0;
        deleteNamed(folder + c.name);
    }
    // An Image value the drive cannot take is no disc, never the demo disc.
    for (int asNumber = 0; asNumber < 2; asNumber++) {
        if (asNumber)
            control("Image", 7u);
        else
            control("Image", folder + std::string(300, 'x') + ".cue");
        EXPECT_TRUE(clearLog(logPath()));
        open();
        EXPECT_EQ(0u, driveStatus(device, kStatusMediaPresent, 0)) << asNumber;
        EXPECT_NE(std::string::npos, wholeLog().find("not a path the drive can take")) << wholeLog();
        driveClose(device);
        device = 0;
    }
    // The drive follows its control while open: the disc is taken out.
    control("Image", "");
    open();
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    control("Media", 0u);
    EXPECT_EQ(0u, driveStatus(device, kStatusMediaPresent, 0));
    EXPECT_EQ(0u, driveStatus(device, kStatusNumberOfTracks, 0));
    control("Media", 1u);
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    for (const char* name : {"good.bin", "short.bin", "mono.wav"})
        deleteNamed(folder + name);
}

TEST_F(VirtualDrive, APlaysToIsExclusiveAndEveryFormatIsExactToTheFrame) {
    control("Speed", 1000);
    open();
    VirtualDisc demo;
    makeDemoDisc(&demo);
    MCI_SET_PARMS format = {};
    format.dwTimeFormat = MCI_FORMAT_TMSF;
    ASSERT_EQ(0u, mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&format));
    MCI_PLAY_PARMS play = {};
    play.dwCallback = (DWORD_PTR)window;
    play.dwFrom = 2;
    play.dwTo = 3;
    ASSERT_EQ(0u, mciSendCommandA(device, MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO, (DWORD_PTR)&play));
    pumpMessages(5000, [] { return !completions.empty(); });
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}), completions);
    // The head stands at the "to" position: the start of track 3.
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_STATUS_POSITION;
    ASSERT_EQ(0u, mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status));
    EXPECT_EQ(3u, (uint32_t)status.dwReturn);
    status.dwItem = MCI_STATUS_CURRENT_TRACK;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    EXPECT_EQ(3u, (uint32_t)status.dwReturn);

    format.dwTimeFormat = MCI_FORMAT_MSF;
    mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&format);
    status.dwItem = MCI_STATUS_POSITION;
    status.dwTrack = 2;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, (DWORD_PTR)&status);
    EXPECT_EQ(packMsf(demo.trackStart[2] + kLeadInFrames), (uint32_t)status.dwReturn);
    status.dwItem = MCI_STATUS_LENGTH;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    EXPECT_EQ(packMsf(demo.reportedLength(0)), (uint32_t)status.dwReturn);

    format.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&format);
    status.dwTrack = 1;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, (DWORD_PTR)&status);
    EXPECT_EQ(demo.trackLength(1) * 1000ull / 75, status.dwReturn);
    MCI_SEEK_PARMS seek = {};
    ASSERT_EQ(0u, mciSendCommandA(device, MCI_SEEK, MCI_SEEK_TO_END, (DWORD_PTR)&seek));
    status.dwItem = MCI_STATUS_POSITION;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    EXPECT_EQ((demo.endFrame + kLeadInFrames) * 1000ull / 75, status.dwReturn);
    format.dwTimeFormat = MCI_FORMAT_BYTES;
    EXPECT_EQ((MCIERROR)MCIERR_BAD_TIME_FORMAT,
              mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&format));

    status.dwItem = MCI_STATUS_READY;
    mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    EXPECT_EQ(1u, (uint32_t)status.dwReturn);
    MCI_GETDEVCAPS_PARMS caps = {};
    caps.dwItem = MCI_GETDEVCAPS_DEVICE_TYPE;
    ASSERT_EQ(0u, mciSendCommandA(device, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, (DWORD_PTR)&caps));
    EXPECT_EQ((DWORD)MCI_DEVTYPE_CD_AUDIO, caps.dwReturn);
    caps.dwItem = MCI_GETDEVCAPS_CAN_EJECT;
    mciSendCommandA(device, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, (DWORD_PTR)&caps);
    EXPECT_EQ((DWORD)TRUE, caps.dwReturn);
    char product[64] = {};
    MCI_INFO_PARMSA info = {};
    info.lpstrReturn = product;
    info.dwRetSize = sizeof product;
    ASSERT_EQ(0u, mciSendCommandA(device, MCI_INFO, MCI_INFO_PRODUCT, (DWORD_PTR)&info));
    EXPECT_STREQ("Drovix virtual CD drive", product);

    // Past the last track, or with no disc, the drive says no.
    format.dwTimeFormat = MCI_FORMAT_TMSF;
    mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&format);
    play.dwFrom = (DWORD)demo.trackCount + 1;
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE, mciSendCommandA(device, MCI_PLAY, MCI_FROM, (DWORD_PTR)&play));
    control("Media", 0u);
    driveStatus(device, kStatusMediaPresent, 0);
    play.dwFrom = 1;
    EXPECT_NE(0u, mciSendCommandA(device, MCI_PLAY, MCI_FROM, (DWORD_PTR)&play));
}

TEST_F(VirtualDrive, AQueryThatMeetsTheEndOfThePlayFirstStillLetsItComplete) {
    control("Speed", 1000);
    open();
    driveSetTimeFormat(device, kTimeFormatTmsf);
    ASSERT_EQ(0u, drivePlayFrom(device, window, 5));
    DWORD end = GetTickCount() + 5000;
    while (completions.empty() && (LONG)(end - GetTickCount()) > 0) {
        driveStatus(device, kStatusMode, 0);
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    pumpMessages(200);
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}), completions);
    EXPECT_EQ((uint32_t)MCI_MODE_STOP, driveStatus(device, kStatusMode, 0));
}

namespace {

// vdrivectl beside the test, or the whole command line given.
DWORD runControlTool(const std::string& arguments, bool wholeCommand = false) {
    PROCESS_INFORMATION tool = wholeCommand ? startCommand(arguments) : startProgram("vdrivectl.exe", arguments);
    if (!tool.hProcess)
        return 999;
    DWORD code = waitForExit(&tool, 20000);
    release(&tool);
    return code;
}

} // namespace

TEST_F(VirtualDrive, TheControlToolInsertsAndRemovesDiscsAndSetsTheSpeed) {
    open();
    EXPECT_EQ(0u, runControlTool("remove"));
    EXPECT_EQ(0u, driveStatus(device, kStatusMediaPresent, 0));
    EXPECT_EQ(0u, runControlTool("insert"));
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    // Another disc in place of the one in the drive goes in as through a
    // tray: the drive is empty at once, and holds the new disc two seconds on.
    std::string sheet = testFolder() + "tool.cue", bin = testFolder() + "tool.bin";
    writeBytes(bin, std::string(150 * 2352, '\0'));
    writeBytes(sheet, "FILE tool.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_EQ(0u, runControlTool("insert \"" + sheet + "\""));
    DWORD changed = GetTickCount();
    EXPECT_EQ(0u, driveStatus(device, kStatusMediaPresent, 0));
    while (!driveStatus(device, kStatusMediaPresent, 0) && GetTickCount() - changed < 10000)
        Sleep(50);
    // Empty for the tray's two seconds, give or take the check's own delay;
    // a loaded machine may take longer, but not for ever.
    DWORD empty = GetTickCount() - changed;
    printf("the drive was empty for %lu ms\n", (unsigned long)empty);
    EXPECT_GE(empty, 1500u);
    EXPECT_LT(empty, 10000u);
    EXPECT_EQ(1u, driveStatus(device, kStatusNumberOfTracks, 0));
    EXPECT_NE(std::string::npos, wholeLog().find("tray: another disc goes in")) << wholeLog();
    EXPECT_EQ(0u, runControlTool("speed 250"));
    HKEY key;
    DWORD speed = 0, size = sizeof speed;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kControl, 0, KEY_READ, &key));
    RegQueryValueExA(key, "Speed", 0, 0, (BYTE*)&speed, &size);
    RegCloseKey(key);
    EXPECT_EQ(250u, speed);
    EXPECT_EQ(1u, runControlTool("speed 0"));
    EXPECT_EQ(2u, runControlTool("spin"));
    // What it cannot do it refuses, and the drive keeps its disc: never the
    // demo disc in place of a file that is not there, never a name cut at
    // its first blank.
    EXPECT_EQ(0u, runControlTool("insert \"" + sheet + "\""));
    for (const std::string& refused :
         {"insert \"" + testFolder() + "no such.cue\"", "insert " + testFolder() + "two words.cue",
          "insert C:\\" + std::string(300, 'x') + ".cue"})
        EXPECT_EQ(1u, runControlTool(refused)) << refused;
    std::string image;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kControl, 0, KEY_READ, &key));
    queryRegistry(key, "Image", &type, &image);
    RegCloseKey(key);
    EXPECT_EQ(sheet, image.c_str());
    // The drive logs only into a file right in the user's temporary folder:
    // a file named elsewhere, or in a folder within it (which may be a
    // junction to anywhere), gets nothing, and vdrivectl refuses it.
    std::string within = tempFolder() + "drovix-log-folder";
    makeFolder(within);
    for (const std::string& outside : {testFolder() + "outside.log", within + "\\inside.log"}) {
        deleteNamed(outside);
        control("Log", outside);
        driveStatus(device, kStatusMediaPresent, 0);
        driveStatus(device, kStatusMode, 0);
        EXPECT_EQ("<missing>", readBytes(outside)) << outside;
        EXPECT_EQ(1u, runControlTool("log \"" + outside + "\"")) << outside;
    }
    removeFolder(within);
    EXPECT_EQ(0u, runControlTool("log vdrive-test.log"));
    driveStatus(device, kStatusMediaPresent, 0);
    EXPECT_NE(std::string::npos, wholeLog().find("MCI_STATUS")) << wholeLog();
    deleteNamed(sheet);
    deleteNamed(bin);
}


// vdrivectl puts in only an image the drive can play, says why not in
// Japanese, and keeps the drive's disc; it reads its commands in any case,
// explains itself when asked, and refuses words and options it does not
// take, each with its own reason.
TEST_F(VirtualDrive, TheControlToolTellsTheTruthInJapanese) {
    std::string folder = testFolder();
    std::string frames(kBytesPerFrame * 75, '\0');
    auto wave = [&](const char* format) { return std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0", 20) + std::string(format, 16) + std::string("data\0\0\0\0", 8); };
    writeBytes(folder + "tool48k.wav", wave("\x01\0\x02\0\x80\xBB\0\0\0\xEE\x02\0\x04\0\x10\0"));
    writeBytes(folder + "tool.bin", frames);
    const char* track = "\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    writeBytes(folder + "gone.cue", std::string("FILE gone.wav WAVE") + track);
    writeBytes(folder + "empty.cue", "");
    writeBytes(folder + "garbage.cue", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    writeBytes(folder + "48k.cue", std::string("FILE tool48k.wav WAVE") + track);
    writeBytes(folder + "good.cue", std::string("FILE tool.bin BINARY") + track);
    ASSERT_EQ(0u, runControlTool("insert \"" + folder + "good.cue\""));
    struct Row {
        std::string arguments;
        DWORD exit;
        const char* says;
    };
    const Row rows[] = {
        {"insert \"" + folder + "gone.cue\"", 1, "イメージのファイルがありません"},
        {"insert \"" + folder + "empty.cue\"", 1, "トラックがありません"},
        {"insert \"" + folder + "garbage.cue\"", 1, "再生できません"},
        {"insert \"" + folder + "48k.cue\"", 1, "44.1 kHz 16 ビット ステレオ"},
        {"insert --fast", 1, "知らないオプションです: --fast"},
        {"titles --fast", 1, "知らないオプションです: --fast"},
        {"remove now", 1, "余分な語があります: now"},
        {"speed 2 3", 1, "余分な語があります: 3"},
        // A number is read whole, and names are never cut or given "?".
        {"speed 5x", 1, "1 から 1000 までの数を指定してください: 5x"},
        {"speed 1001", 1, "1 から 1000 までの数を指定してください: 1001"},
        {"speed 0", 1, "1 から 1000 までの数を指定してください: 0"},
        {"titles \"" + folder + "good.cue\" \"" + folder + std::string(300, 'n') + ".idx\"", 1, "長すぎる名前です"},
        {"insert \"" + folder + std::string(300, 'n') + ".cue\"", 1, "長すぎる名前です"},
        {"spin", 2, "知らないコマンドです: spin"},
        {"", 2, "使い方: vdrivectl"},
        {"/?", 0, "使い方: vdrivectl"},
        {"HELP", 0, "insert [シート.cue]"},
        {"SHOW", 0, "1 トラック、再生できます"},
        // The disc in the drive, which names no songs, not the demo disc.
        {"titles", 0, "シートに曲名がありません"},
    };
    for (const Row& row : rows) {
        std::string said;
        EXPECT_EQ(row.exit, controlToolSays(row.arguments, &said)) << row.arguments << ": " << said;
        EXPECT_NE(std::string::npos, said.find(row.says)) << row.arguments << ": " << said;
    }
    // A log or an index whose name Shift-JIS cannot hold is refused.
    std::string said;
    for (const std::wstring& arguments :
         {std::wstring(L"log Zo\u00eb.log"), L"titles \"" + wide(folder) + L"good.cue\" \"" + wide(folder) + L"Zo\u00eb.idx\""}) {
        EXPECT_EQ(1u, controlToolSays(arguments, &said)) << said;
        EXPECT_NE(std::string::npos, said.find("Shift-JIS で表せない文字がある名前は使えません")) << said;
    }
    // The drive kept the disc it held through every refusal.
    controlToolSays("show", &said);
    EXPECT_NE(std::string::npos, said.find(folder + "good.cue")) << said;
    // A path that Shift-JIS cannot hold goes in as Windows names it, and the
    // drive plays it.
    std::wstring zoe = wide(folder) + L"Zo\u00eb";
    CreateDirectoryW(zoe.c_str(), 0);
    for (const char* name : {"good.cue", "tool.bin"})
        CopyFileW(wide(folder + name).c_str(), (zoe + L"\\" + wide(name)).c_str(), FALSE);
    EXPECT_EQ(0u, controlToolSays(L"insert \"" + zoe + L"\\good.cue\"", &said)) << said;
    open();
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    EXPECT_EQ(1u, driveStatus(device, kStatusNumberOfTracks, 0));
    for (const wchar_t* name : {L"good.cue", L"tool.bin"})
        DeleteFileW((zoe + L"\\" + name).c_str());
    RemoveDirectoryW(zoe.c_str());
    for (const char* name : {"tool48k.wav", "tool.bin", "gone.cue", "empty.cue", "garbage.cue",
                             "48k.cue", "good.cue"})
        deleteNamed(folder + name);
}

namespace {

// The "cdaudio" driver where Windows reads it and where Wine reads it.
// "cdaudio" where Windows reads it (in the registry view given) and where
// Wine reads it.
std::string cdaudioDriver(REGSAM view = 0) {
    char text[MAX_PATH] = {};
    DWORD size = sizeof text - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32", 0,
                      KEY_READ | view, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, "cdaudio", 0, 0, (BYTE*)text, &size);
        RegCloseKey(key);
    }
    char ini[MAX_PATH] = {};
    GetPrivateProfileStringA("mci", "cdaudio", "", ini, MAX_PATH, "system.ini");
    return std::string(text) + " " + ini;
}

} // namespace

// Installed from a folder with blanks, as under "Program Files": the driver
// Windows and Wine read names a copy in the system folder, and that loads in
// every program; uninstall puts back the system's own driver.
TEST_F(VirtualDrive, InstallMakesTheDriveCdaudioAndUninstallPutsBackTheDriverItReplaced) {
    std::string folder = testFolder() + "Program Files x\\";
    makeFolder(folder);
    for (const char* file : {"vdrivectl.exe", "drovixcd.dll"})
        ASSERT_TRUE(copyNamed(testFolder() + file, folder + file)) << file;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string copy = std::string(system) + "\\drovixcd.dll";
    const std::string tool = "\"" + folder + "vdrivectl.exe\" ";
    // On 64-bit Windows the driver of the other kind goes into its own
    // folder and registry view too: the 32-bit programs' beside a 64-bit
    // vdrivectl (x86\), the 64-bit programs' beside a 32-bit one (x64\).
    // Its bytes stand in here for the other kind's build.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    char otherSystem[MAX_PATH] = {};
    const bool windows64 = GetSystemWow64DirectoryA(otherSystem, MAX_PATH) != 0;
    const char* otherKind = wow64 ? "x64\\" : "x86\\";
    const REGSAM ownView = !windows64 ? 0 : wow64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const REGSAM otherView = wow64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    std::string otherCopy = wow64 ? std::string(system) + "\\..\\Sysnative\\drovixcd.dll"
                                  : std::string(otherSystem) + "\\drovixcd.dll";
    if (windows64) {
        makeFolder(folder + otherKind);
        ASSERT_TRUE(copyNamed(testFolder() + "drovixcd.dll", folder + otherKind + "drovixcd.dll"));
    }

    // From the system's own driver, as a machine has it before the first
    // install (this run installed the drive at its start).
    ASSERT_EQ(0u, runControlTool(tool + "uninstall", true));
    EXPECT_EQ("mcicda.dll mcicda.dll", cdaudioDriver());
    EXPECT_EQ("<missing>", readBytes(copy));
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(0u, runControlTool(tool + "install", true));
        EXPECT_EQ("drovixcd.dll drovixcd.dll", cdaudioDriver(ownView));
        EXPECT_EQ(readBytes(folder + "drovixcd.dll"), readBytes(copy));
        if (windows64) {
            EXPECT_EQ("drovixcd.dll drovixcd.dll", cdaudioDriver(otherView));
            EXPECT_EQ(readBytes(folder + otherKind + "drovixcd.dll"), readBytes(otherCopy));
        }
    }
    // Every program's "cdaudio" is now the virtual drive, with no setting of
    // its own.
    MCI_OPEN_PARMSA parameters = {};
    parameters.lpstrDeviceType = "cdaudio";
    ASSERT_EQ(0u, mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE, (DWORD_PTR)&parameters));
    MCI_INFO_PARMSA info = {};
    char product[64] = {};
    info.lpstrReturn = product;
    info.dwRetSize = sizeof product;
    EXPECT_EQ(0u, mciSendCommandA(parameters.wDeviceID, MCI_INFO, MCI_INFO_PRODUCT, (DWORD_PTR)&info));
    EXPECT_STREQ("Drovix virtual CD drive", product);
    mciSendCommandA(parameters.wDeviceID, MCI_CLOSE, 0, 0);

    // Twice installed, once uninstalled: the driver before the first, in
    // every view.
    ASSERT_EQ(0u, runControlTool(tool + "uninstall", true));
    EXPECT_EQ("mcicda.dll mcicda.dll", cdaudioDriver(ownView));
    EXPECT_EQ("<missing>", readBytes(copy));
    if (windows64) {
        EXPECT_EQ("mcicda.dll mcicda.dll", cdaudioDriver(otherView));
        EXPECT_EQ("<missing>", readBytes(otherCopy));
        deleteNamed(folder + otherKind + "drovixcd.dll");
        RemoveDirectoryA((folder + otherKind).c_str());
    }
    // Once more: nothing to put back, and show says the drive is not in.
    std::string said;
    EXPECT_EQ(0u, controlToolSays("uninstall", &said));
    EXPECT_NE(std::string::npos, said.find("戻すものはありません")) << said;
    controlToolSays("show", &said);
    EXPECT_NE(std::string::npos, said.find("\"cdaudio\" ドライバではありません")) << said;
    // The drive stays installed for the tests after this one.
    EXPECT_EQ(0u, runControlTool(tool + "install", true));
    for (const char* file : {"vdrivectl.exe", "drovixcd.dll"})
        deleteNamed(folder + file);
    removeFolder(folder);
}

// While the virtual drive holds no image, the driver that install replaced
// answers every command, as the PC's own drive did before: here a stand-in
// with seven tracks, which writes down what reaches it.
TEST_F(VirtualDrive, WithoutAnImageThePcsOwnDriveAnswers) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string standIn = std::string(system) + "\\standin_cd.dll", heard = tempFolder() + "standin-cd.log";
    ASSERT_TRUE(copyNamed(testFolder() + "standin_cd.dll", standIn));
    deleteNamed(heard);
    ASSERT_EQ(0u, runControlTool("uninstall"));
    makeCdaudio("standin_cd.dll");
    ASSERT_EQ(0u, runControlTool("install"));

    struct Step {
        const char* what;
        DWORD media;
        uint32_t tracks;
        const char* answering; // as vdrivectl show says it
    };
    const Step steps[] = {
        {"the demo disc in the virtual drive", 1, 5, "仮想ＣＤドライブ"},
        {"no image: the PC's own drive", 0, 7, "PC のＣＤドライブ (standin_cd.dll)"},
        {"an image again", 1, 5, "仮想ＣＤドライブ"},
    };
    // An open that the PC's drive never answers is never made on it.
    open();
    EXPECT_EQ(5u, driveStatus(device, kStatusNumberOfTracks, 0));
    driveClose(device);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(heard.c_str()));
    // One made there later has the type and alias the program gave, though
    // the program's own texts are long gone.
    wchar_t type[] = L"cdaudio", alias[] = L"drive";
    MCI_OPEN_PARMSW opening = {};
    opening.lpstrDeviceType = type;
    opening.lpstrAlias = alias;
    ASSERT_EQ(0u,
              mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ALIAS | MCI_OPEN_SHAREABLE, (DWORD_PTR)&opening));
    device = opening.wDeviceID;
    wcscpy(type, L"xxxxxxx");
    wcscpy(alias, L"xxxxx");
    // Time formats the program set while the virtual drive answered reach
    // the PC's drive too: the first with its open, the second (one that
    // waits) at once.
    EXPECT_EQ(0u, driveSetTimeFormat(device, kTimeFormatTmsf));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        control("Media", step.media);
        EXPECT_EQ(step.tracks, driveStatus(device, kStatusNumberOfTracks, 0));
        std::string said;
        controlToolSays("show", &said);
        EXPECT_NE(std::string::npos, said.find(std::string("応答:       ") + step.answering)) << said;
    }
    MCI_SET_PARMS waited = {};
    waited.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    EXPECT_EQ(0u, mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, (DWORD_PTR)&waited));
    // One the PC's drive answered (as the program sent it, here with a
    // wait) is the virtual drive's too, once an image is in again: the head
    // at track 1's start, in TMSF.
    control("Media", 0u);
    waited.dwTimeFormat = MCI_FORMAT_TMSF;
    EXPECT_EQ(0u, mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, (DWORD_PTR)&waited));
    control("Media", 1u);
    EXPECT_EQ((uint32_t)MCI_MAKE_TMSF(1, 0, 0, 0), driveStatus(device, kStatusPosition, 0));
    // A play with no image is the PC's drive's; the virtual drive hears none
    // of it.
    control("Media", 0u);
    EXPECT_TRUE(clearLog(logPath()));
    EXPECT_EQ(0u, drivePlayFrom(device, window, 3));
    EXPECT_EQ((uint32_t)MCI_MODE_PLAY, driveStatus(device, kStatusMode, 0));
    driveStop(device);
    EXPECT_EQ(std::vector<std::string>(), received());
    driveClose(device);
    device = 0;
    // Once the image has gone, the driver is opened as the platform opens
    // one (a session instance, then the device) and the open reaches it as
    // the program made it; the commands only while no image is in, all
    // with its own id; both instances closed.
    EXPECT_EQ("DRV_OPEN 0\nDRV_OPEN 1\nMCI_OPEN cdaudio drive 9472\nMCI_SET 10\nMCI_STATUS 3\nMCI_SET 0\nMCI_SET 1026\n"
              "MCI_PLAY 5\nMCI_STATUS 4\nMCI_STOP 0\nMCI_CLOSE 0\nDRV_CLOSE 0\nDRV_CLOSE 0\n",
              readBytes(heard));

    ASSERT_EQ(0u, runControlTool("uninstall"));
    EXPECT_EQ("standin_cd.dll standin_cd.dll", cdaudioDriver());
    makeCdaudio("mcicda.dll");
    EXPECT_EQ(0u, runControlTool("install"));
    deleteNamed(heard);
    deleteNamed(standIn);
}

// Japanese folder and file names, in a sheet written in UTF-8 (as rippers
// write them today) or in Shift-JIS, with blanks and with the backslash
// byte that ends "ソ" and "表".
TEST_F(VirtualDrive, ImagesWithJapaneseNamesPlayInEitherEncoding) {
    std::string folder = testFolder() + "テスト ディスク\\";
    makeFolder(folder);
    std::string header("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data", 40);
    uint32_t bytes = 75 * 2352;
    std::string wave = header + std::string((const char*)&bytes, 4) + std::string(bytes, '\0');
    writeBytes(folder + "01 はじまり.wav", wave);
    writeBytes(folder + "ソ 表.bin", std::string(150 * 2352, '\0'));
    // A name the code page cannot hold, made by its wide name.
    std::wstring beyond = wide(folder) + L"\uD55C \u00E9t\u00E9.bin";
    FILE* file = _wfopen(beyond.c_str(), L"wb");
    ASSERT_TRUE(file);
    std::string frames(75 * 2352, '\0');
    fwrite(frames.data(), 1, frames.size(), file);
    fclose(file);
    struct Row {
        const char* encoding;
        std::string sheet;
        int32_t tracks;
        // The sheet's own name may end characters in the byte 0x5C too.
        const char* sheetName = "disc.cue";
    } rows[] = {
        {"UTF-8",
         std::string((const char*)u8"FILE \"01 はじまり.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n") +
             (const char*)u8"FILE \"ソ 表.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n",
         2},
        {"Shift-JIS", "FILE \"ソ 表.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 1},
        {"Shift-JIS, the sheet named with ソ and 表",
         "FILE \"ソ 表.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 1, "ソナタ 表.cue"},
        {"UTF-8 beyond the code page",
         (const char*)u8"FILE \"\uD55C \u00E9t\u00E9.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 1},
    };
    for (const Row& row : rows) {
        writeBytes(folder + row.sheetName, row.sheet);
        control("Image", folder + row.sheetName);
        open();
        EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0)) << row.encoding << wholeLog();
        EXPECT_EQ((uint32_t)row.tracks, driveStatus(device, kStatusNumberOfTracks, 0)) << row.encoding;
        driveClose(device);
        device = 0;
    }
    for (const char* file : {"disc.cue", "ソナタ 表.cue", "01 はじまり.wav", "ソ 表.bin"})
        deleteNamed(folder + file);
    DeleteFileW(beyond.c_str());
    removeFolder(folder);
}

// The names a CUE sheet gives, in UTF-8 or in Shift-JIS, become the record
// of the image's disc in the player's title index, in Shift-JIS.
TEST_F(VirtualDrive, TheSheetsNamesGoIntoThePlayersTitleIndex) {
    std::string folder = testFolder(), index = folder + "sheet-titles.idx", sheet = folder + "named.cue";
    // Track 1 of 3 s, track 2 of 3 s 10 frames, reported one frame short.
    writeBytes(folder + "named.bin", std::string(470 * 2352, '\0'));
    const std::string layout = "FILE \"named.bin\" BINARY\n  TRACK 01 AUDIO\n    TITLE \"%1\"\n    INDEX 01 00:00:00\n"
                               "  TRACK 02 AUDIO\n    TITLE \"%2\"\n    INDEX 01 00:03:00\n";
    auto named = [&](const std::string& title, const std::string& performer, const std::string& one,
                     const std::string& two) {
        std::string text = "TITLE \"" + title + "\"\nPERFORMER \"" + performer + "\"\n" + layout;
        text.replace(text.find("%1"), 2, one);
        text.replace(text.find("%2"), 2, two);
        return text;
    };
    const std::string record = "\r\n@0200060003\r\n+朝のうた\r\n-ペルマーク・トリオ\r\n#はじまり\r\n#ソナタ 表\r\n\r\n";
    struct Row {
        const char* encoding;
        std::string sheetText;
    } rows[] = {
        {"UTF-8", named((const char*)u8"朝のうた", (const char*)u8"ペルマーク・トリオ", (const char*)u8"はじまり",
                        (const char*)u8"ソナタ 表")},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + named((const char*)u8"朝のうた", (const char*)u8"ペルマーク・トリオ",
                                                       (const char*)u8"はじまり", (const char*)u8"ソナタ 表")},
        {"Shift-JIS", named("朝のうた", "ペルマーク・トリオ", "はじまり", "ソナタ 表")},
    };
    for (const Row& row : rows) {
        deleteNamed(index);
        writeBytes(sheet, row.sheetText);
        EXPECT_EQ(0u, runControlTool("titles \"" + sheet + "\" \"" + index + "\"")) << row.encoding;
        EXPECT_EQ(record, readBytes(index)) << row.encoding;
    }
    // Names the index has for the disc (typed in the player, perhaps) stay;
    // --replace replaces them.
    writeBytes(sheet, named("Other", "Band", "A", "B"));
    EXPECT_EQ(0u, runControlTool("titles \"" + sheet + "\" \"" + index + "\""));
    EXPECT_EQ(record, readBytes(index));
    EXPECT_EQ(0u, runControlTool("titles --replace \"" + sheet + "\" \"" + index + "\""));
    // The save keeps the blank line that opened the new file, as the player's does.
    EXPECT_EQ("\r\n@0200060003\r\n+Other\r\n-Band\r\n#A\r\n#B\r\n\r\n", readBytes(index));
    // A name that Shift-JIS cannot hold exactly, a path too long and a memo
    // named as the index are refused: nothing is stored with "?", cut or
    // rewritten.
    writeBytes(sheet, named((const char*)u8"한국어", "Band", "A", "B"));
    EXPECT_EQ(1u, runControlTool("titles --replace \"" + sheet + "\" \"" + index + "\""));
    writeBytes(sheet, named("Other", "Band", "A", "B"));
    EXPECT_EQ(1u, runControlTool("titles \"" + sheet + "\" \"" + folder + std::string(520, 'p') + ".idx\""));
    EXPECT_EQ("\r\n@0200060003\r\n+Other\r\n-Band\r\n#A\r\n#B\r\n\r\n", readBytes(index));
    writeBytes(folder + "memo.txt", "To do\r\n");
    EXPECT_EQ(1u, runControlTool("titles \"" + sheet + "\" \"" + folder + "memo.txt\""));
    EXPECT_EQ("To do\r\n", readBytes(folder + "memo.txt"));
    deleteNamed(folder + "memo.txt");
    // A sheet without names writes nothing; the demo disc has names of its own.
    deleteNamed(index);
    writeBytes(sheet, "FILE \"named.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_EQ(0u, runControlTool("titles \"" + sheet + "\" \"" + index + "\""));
    EXPECT_EQ("<missing>", readBytes(index));
    // Without an index named, the one the player beside it reads; never the
    // temporary file of its own save, however the setting spells it.
    HKEY settings;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix", 0, 0, 0, KEY_ALL_ACCESS, 0,
                                             &settings, 0));
    auto indexFile = [&](const std::string& text) { setRegistryText(settings, "IndexFile", text); };
    indexFile("sheet-titles.idx");
    EXPECT_EQ(0u, runControlTool("titles"));
    EXPECT_EQ(
        "\r\n@050337007d\r\n+デモディスク\r\n-Drovix\r\n#Tone 1\r\n#Tone 2\r\n#Tone 3\r\n#Tone 4\r\n#Tone 5\r\n\r\n",
        readBytes(index));
    writeBytes(folder + "drovix.tmp", "kept");
    indexFile(folder + ".\\drovix.tmp");
    EXPECT_EQ(1u, runControlTool("titles"));
    EXPECT_EQ("kept", readBytes(folder + "drovix.tmp"));
    RegCloseKey(settings);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix");
    deleteNamed(folder + "drovix.tmp");
    deleteNamed(index);
    deleteNamed(sheet);
    deleteNamed(folder + "named.bin");
}

// What a program that speaks MCI command strings reads: the platform's
// parser puts the drive's answers into words and colon-separated times, as
// it does for a real drive. The demo disc: 2:05, 3:12, 1:47, 2:38, 4:01.
TEST_F(VirtualDrive, StringClientsReadTheAnswersOfARealDrive) {
    struct Row {
        const char* command;
        const char* answer;
        MCIERROR error;
    } rows[] = {
        {"open cdaudio alias cd", 0, 0},
        {"status cd mode", "stopped", 0},
        {"status cd ready", "true", 0},
        {"status cd media present", "true", 0},
        {"status cd time format", "msf", 0},
        {"status cd number of tracks", "5", 0},
        {"status cd type track 1", "audio", 0},
        {"status cd position", "00:02:00", 0},
        {"status cd position track 3", "05:19:37", 0},
        {"status cd length", "13:45:03", 0},
        {"status cd length track 2", "03:12:07", 0},
        {"set cd time format tmsf", "", 0},
        {"status cd time format", "tmsf", 0},
        {"status cd start position", "01:00:00:00", 0},
        {"status cd position track 3", "03:00:00:00", 0},
        {"status cd length track 2", "03:12:07", 0},
        {"seek cd to 3", "", 0},
        {"status cd current track", "3", 0},
        {"seek cd to end", "", 0},
        {"status cd position", "05:04:01:44", 0},
        {"seek cd to start", "", 0},
        {"set cd time format milliseconds", "", 0},
        {"status cd time format", "milliseconds", 0},
        {"status cd position", "2000", 0},
        {"status cd length track 2", "192093", 0},
        {"play cd from 2000 to 4000 notify", "", 0},
        {"status cd mode", "playing", 0},
        {"pause cd", "", 0},
        {"status cd mode", "paused", 0},
        {"resume cd", "", 0},
        {"status cd mode", "playing", 0},
        {"stop cd", "", 0},
        {"status cd mode", "stopped", 0},
        {"info cd product", "Drovix virtual CD drive", 0},
        {"capability cd device type", "cdaudio", 0},
        {"capability cd can eject", "true", 0},
        {"capability cd can play", "true", 0},
        {"capability cd has audio", "true", 0},
        {"capability cd can record", "false", 0},
        {"status cd length track 9", "", MCIERR_OUTOFRANGE},
        {"set cd door open", "", 0},
        {"status cd mode", "open", 0},
        {"status cd media present", "false", 0},
        {"status cd length", "", MCIERR_HARDWARE},
        {"set cd door closed", "", 0},
        {"status cd mode", "stopped", 0},
        {"close cd", "", 0},
        // Without an alias the device type names it.
        {"open cdaudio", 0, 0},
        {"status cdaudio media present", "true", 0},
        {"info cdaudio identity", "5061879", 0},
        {"close cdaudio", "", 0},
    };
    for (const Row& row : rows) {
        char answer[128] = {};
        EXPECT_EQ(row.error, mciSendStringA(row.command, answer, sizeof answer, 0)) << row.command;
        if (row.answer)
            EXPECT_STREQ(row.answer, answer) << row.command;
    }
}

// What every MCI client may ask: parameter blocks that are missing, a play
// that waits for its end, a resume that asks to be told, a close while a
// play would notify.
TEST_F(VirtualDrive, CommandsWithoutTheirParameterBlockAreRefused) {
    open();
    const struct {
        UINT message;
        DWORD flags;
    } kWithoutBlock[] = {
        {MCI_SEEK, MCI_TO},
        {MCI_SET, MCI_SET_TIME_FORMAT},
        {MCI_PLAY, MCI_FROM},
        {MCI_PLAY, MCI_NOTIFY},
        {MCI_STATUS, MCI_STATUS_ITEM},
        {MCI_PAUSE, MCI_NOTIFY},
        {MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM},
        {MCI_STATUS, 0},
        {MCI_GETDEVCAPS, 0},
    };
    for (const auto& command : kWithoutBlock) {
        SCOPED_TRACE(testing::Message() << "message " << command.message << " flags " << command.flags);
        EXPECT_EQ((MCIERROR)MCIERR_NULL_PARAMETER_BLOCK, mciSendCommandA(device, command.message, command.flags, 0));
    }
    // Without a flag that needs it, a command goes without a block.
    EXPECT_EQ(0u, mciSendCommandA(device, MCI_SEEK, MCI_SEEK_TO_START, 0));
}

TEST_F(VirtualDrive, APlayThatWaitsReturnsWhenItHasEnded) {
    control("Speed", 50);
    ASSERT_EQ(0u, mciSendStringA("open cdaudio alias waiting shareable", 0, 0, 0));
    mciSendStringA("set waiting time format tmsf", 0, 0, 0);
    DWORD started = GetTickCount();
    // Track 1 is 2:05, two and a half seconds at fifty times its speed.
    EXPECT_EQ(0u, mciSendStringA("play waiting from 1 to 2 wait", 0, 0, 0));
    EXPECT_GE(GetTickCount() - started, 2300u);
    char mode[32] = {};
    mciSendStringA("status waiting mode", mode, sizeof mode, 0);
    EXPECT_STREQ("stopped", mode);
    char position[32] = {};
    mciSendStringA("status waiting position", position, sizeof position, 0);
    EXPECT_STREQ("02:00:00:00", position);
    mciSendStringA("close waiting", 0, 0, 0);
}

TEST_F(VirtualDrive, AResumeThatAsksIsToldAlsoWhenNothingWasPaused) {
    open();
    MCI_GENERIC_PARMS parameters = {};
    parameters.dwCallback = (DWORD_PTR)window;
    EXPECT_EQ(0u, mciSendCommandA(device, MCI_RESUME, MCI_NOTIFY, (DWORD_PTR)&parameters));
    pumpMessages(2000, [] { return !completions.empty(); });
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}), completions);
}

TEST_F(VirtualDrive, ClosingAbortsTheOpensNotificationAndTheLastCloseHaltsTheDrive) {
    open();
    driveSetTimeFormat(device, kTimeFormatTmsf);
    ASSERT_EQ(0u, drivePlayFrom(device, window, 5));
    driveClose(device);
    device = 0;
    pumpMessages(1000, [] { return !completions.empty(); });
    EXPECT_EQ((std::vector<WPARAM>{MCI_NOTIFY_ABORTED}), completions);

    // The next open, with the same device id, hears nothing of the old play.
    control("Speed", 1000);
    open();
    EXPECT_EQ((uint32_t)MCI_MODE_STOP, driveStatus(device, kStatusMode, 0));
    pumpMessages(1500);
    EXPECT_EQ(1u, completions.size());
}

namespace {

DWORD threadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

} // namespace

// Every last close frees the driver while its thread may be busy with a play:
// the thread leaves by itself, and the next open has a drive of its own.
TEST_F(VirtualDrive, ADriveFreedWhilePlayingLeavesNoThreadBehind) {
    // The platform's own threads start with the first use of a device.
    open();
    driveClose(device);
    device = 0;
    pumpMessages(500);
    DWORD before = threadsOfThisProcess();
    for (int round = 0; round < 20; round++) {
        open();
        driveSetTimeFormat(device, kTimeFormatTmsf);
        ASSERT_EQ(0u, drivePlayFrom(device, window, 1 + round % 5));
        driveClose(device);
        device = 0;
    }
    pumpMessages(1500);
    // A thread left behind by every round would be twenty; the platform's own
    // helpers (its sound drivers' among them) come and go by a few.
    EXPECT_LE(threadsOfThisProcess(), before + 4);
    open();
    EXPECT_EQ(1u, driveStatus(device, kStatusMediaPresent, 0));
    EXPECT_EQ(5u, driveStatus(device, kStatusNumberOfTracks, 0));
}

int main(int argc, char** argv) {
    // Every program's "cdaudio" is the virtual drive beside this program,
    // installed as a user installs it.
    if (runControlTool("install") != 0) {
        fprintf(stderr, "vdrivectl install failed: the virtual drive is not \"cdaudio\"\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
