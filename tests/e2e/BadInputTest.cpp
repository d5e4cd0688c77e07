// Bad input a user can cause: a damaged or misplaced title index, settings
// of the wrong type or out of range, an image file that goes away while it
// plays. The player starts, plays, steps and ends as usual, and leaves what
// is stored as it was.
#include "EndToEnd.h"

namespace {

std::string randomIndex() {
    std::string bytes(4 << 20, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 214013 + 2531011;
        byte = (char)(state >> 16);
    }
    return bytes;
}

std::string indexPath() { return programFolder() + "drovix.idx"; }
std::string folderIndex() { return testFolder() + "index-folder"; }

void setBytes(const char* name, DWORD type, const std::string& bytes) {
    setValue(kSettings, name, type, bytes.data(), (DWORD)bytes.size());
}

struct BadInput {
    const char* what;
    void (*prepare)();
    bool (*keptAsItWas)();
};

const BadInput kBadInputs[] = {
    {"a title index of 4 MB of random bytes", [] { writeBytes(indexPath(), randomIndex()); },
     [] { return readBytes(indexPath()) == randomIndex(); }},
    {"a title index that is a folder",
     [] {
         makeFolder(folderIndex());
         setText(kSettings, "IndexFile", folderIndex());
     },
     [] { return GetFileAttributesA(folderIndex().c_str()) == FILE_ATTRIBUTE_DIRECTORY; }},
    {"settings of the wrong types",
     [] {
         setBytes("Interval", REG_SZ, std::string("ab", 3));
         setBytes("WindowLeft", REG_BINARY, std::string("\x01\x02", 2));
         setBytes("DisplayState", REG_SZ, "a text far longer than any number");
         setBytes("RepeatMode", REG_MULTI_SZ, std::string("1\0\0", 3));
         setNumber(kSettings, "IndexFile", 7);
     },
     // The player never writes the settings tool's values.
     [] { return storedValue("IndexFile") == 7; }},
    {"settings out of range",
     [] {
         setNumber(kSettings, "Interval", 0x7FFFFFFF);
         setNumber(kSettings, "DisplayState", 77);
         setNumber(kSettings, "WindowLeft", 0x7FFFFFFF);
         setNumber(kSettings, "WindowTop", (DWORD)-32000);
         setNumber(kSettings, "TopMost", 9);
     },
     [] { return storedValue("Interval") == 0x7FFFFFFF; }},
};

} // namespace

TEST(EndToEnd, BadInputNeitherStopsThePlayerNorIsChangedByIt) {
    for (const BadInput& bad : kBadInputs) {
        SCOPED_TRACE(bad.what);
        prepareDrive(1);
        bad.prepare();
        PROCESS_INFORMATION player;
        HWND window = startPlaying(&player, "/play");
        ASSERT_TRUE(window);
        EXPECT_TRUE(waitForTrackPlaying(window, 1, 5000)) << caption(window);
        PostMessageA(window, WM_COMMAND, IDC_NEXT, 0);
        EXPECT_TRUE(waitForTrackPlaying(window, 2, 5000)) << caption(window);
        EXPECT_EQ(0u, closePlayer(window, &player));
        EXPECT_TRUE(bad.keptAsItWas());
        deleteNamed(indexPath());
        removeFolder(folderIndex());
        forgetSettingsAndDrive();
    }
}

// As when the medium that holds the image goes away: the data is gone while
// the drive plays it. The drive plays on to the end, and the player then
// finds no disc.
TEST(EndToEnd, AnImageThatLosesItsDataWhilePlayingPlaysOnToTheEnd) {
    prepareDrive(4);
    std::string sheet = testFolder() + "vanishing.cue", bin = testFolder() + "vanishing.bin";
    ASSERT_TRUE(writeBytes(bin, std::string(2 * 10 * 75 * 2352, '\x11')));
    ASSERT_TRUE(writeBytes(sheet, "FILE vanishing.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                  "TRACK 02 AUDIO\nINDEX 01 00:10:00\n"));
    setText(kControl, "Image", sheet);
    PROCESS_INFORMATION player;
    HWND window = startPlaying(&player, "/play");
    ASSERT_TRUE(window);

    HANDLE file = CreateFileA(bin.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_TRUE(waitForLog("notify successful", 15000)) << driveLog();
    // Stopped, the player opens the drive again, which finds the image short
    // now: no disc, and the drive says why.
    EXPECT_TRUE(waitForCaption(window, "ＣＤプレイヤー", 3000)) << caption(window);
    EXPECT_TRUE(waitForLog("a file of the image is shorter than the sheet says", 1000)) << driveLog();
    EXPECT_EQ(0u, closePlayer(window, &player));
    deleteNamed(sheet);
    deleteNamed(bin);
    forgetSettingsAndDrive();
}
