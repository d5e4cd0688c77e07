// Naming a disc in the real Drovix.exe as a user does: the track title
// dialog filled field by field with Enter, OK; the title index holds the
// record, and the next start shows the names again.
#include "EndToEnd.h"

namespace {

// Types over the focused field's selected text and presses Enter, in the
// player's own message loop.
void typeAndEnter(HWND dialog, const char* text) {
    HWND field = focusOf(dialog);
    ASSERT_TRUE(field);
    SendMessageTimeoutW(field, WM_SETTEXT, 0, (LPARAM)wide(text).c_str(), SMTO_ABORTIFHUNG, 2000, 0);
    PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(field, WM_KEYUP, VK_RETURN, 0xC01C0001);
    Sleep(300);
}

// Where the index of these tests lies. The run may give the programs in a
// folder this user cannot write, holding an index already
// (DROVIX_PROGRAMS_READ_ONLY): the index is then the user's own, started
// from that one; or an IndexFile on another volume (DROVIX_E2E_INDEX_FILE),
// with the save's temporary file beside it. A run that made that folder
// writable again afterwards (DROVIX_PROGRAMS_NOW_WRITABLE) finds the names
// in the user's index still: it stays the user's.
const char kRecord[] = "\r\n@050337007d\r\n+Morning\r\n-Pelmark Trio\r\n#One\r\n#Two\r\n#Three\r\n#Four\r\n#Five\r\n\r\n";

struct IndexUnderTest {
    std::string path;
    // What the index holds before the first save, and after it.
    std::string before, after;
    // The player's caption before the disc is named.
    std::string firstCaption = "Title / Artist";
    // The index stays for the next run of the sequence.
    bool kept = false;

    IndexUnderTest() {
        std::string named = environmentText(L"DROVIX_E2E_INDEX_FILE");
        if (!named.empty()) {
            path = named;
            setText(kSettings, "IndexFile", path);
            writeBytes(path, "");
        } else if (!environmentText(L"DROVIX_PROGRAMS_READ_ONLY").empty()) {
            std::string userFolder = environmentText(L"APPDATA") + "\\Drovix";
            path = userFolder + "\\drovix.idx";
            before = readBytes(programFolder() + "drovix.idx");
            EXPECT_EQ(0u, before.find("\r\n@")) << "the read-only folder holds an index";
            EXPECT_FALSE(writeBytes(programFolder() + "probe.tmp", "")) << "the folder is writable";
            deleteNamed(path);
            RemoveDirectoryA(userFolder.c_str());
            kept = true;
        } else if (!environmentText(L"DROVIX_PROGRAMS_NOW_WRITABLE").empty()) {
            path = environmentText(L"APPDATA") + "\\Drovix\\drovix.idx";
            before = after = readBytes(path);
            EXPECT_NE(std::string::npos, before.find(kRecord)) << "the user's index of the read-only run";
            EXPECT_TRUE(writeBytes(programFolder() + "probe.tmp", "")) << "the folder is read-only";
            deleteNamed(programFolder() + "probe.tmp");
            firstCaption = "Morning / Pelmark Trio";
            return;
        } else {
            path = programFolder() + "drovix.idx";
            deleteNamed(path);
        }
        after = before + kRecord;
    }
};

} // namespace

TEST(EndToEnd, ADiscNamedInTheTitleDialogKeepsItsNamesAcrossARestart) {
    prepareDrive(1);
    IndexUnderTest underTest;
    const std::string& index = underTest.path;
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    ASSERT_TRUE(player.hProcess);
    HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitForCaption(window, underTest.firstCaption, 5000)) << caption(window);

    PostMessageA(window, WM_COMMAND, IDC_SET_TITLES, 0);
    HWND dialog = waitForOwnedDialog(window, 5000);
    ASSERT_TRUE(dialog);
    EXPECT_EQ("ＣＤプレイヤー", caption(dialog));
    for (const char* text : {"Morning", "Pelmark Trio", "One", "Two", "Three", "Four", "Five"})
        typeAndEnter(dialog, text);
    PostMessageA(GetDlgItem(dialog, IDC_OK), BM_CLICK, 0, 0);
    // The dialog closes once the names are stored (the caption may show
    // them already: the user's index had them).
    for (int waited = 0; waited < 100 && IsWindowVisible(dialog); waited++)
        Sleep(50);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(waitForCaption(window, "Morning / Pelmark Trio", 5000)) << caption(window);
    EXPECT_EQ(0u, closePlayer(window, &player));
    EXPECT_EQ(underTest.after, readBytes(index));

    player = startProgram("Drovix.exe", "");
    window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(window);
    EXPECT_TRUE(waitForCaption(window, "Morning / Pelmark Trio", 5000)) << caption(window);
    EXPECT_EQ(0u, closePlayer(window, &player));
    if (!underTest.kept)
        deleteNamed(index);
    forgetSettingsAndDrive();
}

// The tray: the drive is empty for a while, then holds the other disc, whose
// titles show; a minimised player comes back to the front unless AutoPlay
// starts are to stay minimised.
TEST(EndToEnd, AnotherDiscPutInShowsItsOwnTitlesAndBringsThePlayerBack) {
    std::string index = programFolder() + "drovix.idx";
    std::string sheet = testFolder() + "other-disc.cue", bin = testFolder() + "other-disc.bin";
    ASSERT_TRUE(writeBytes(bin, std::string(300 * 2352, '\0')));
    ASSERT_TRUE(writeBytes(sheet, "FILE other-disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));
    for (DWORD autoplayMinimize : {0u, 1u}) {
        SCOPED_TRACE(autoplayMinimize ? "AutoplayMinimize set" : "AutoplayMinimize not set");
        prepareDrive(1);
        setNumber(kSettings, "AutoplayMinimize", autoplayMinimize);
        ASSERT_TRUE(writeBytes(index, "\r\n@050337007d\r\n+Morning\r\n-Pelmark Trio\r\n#One\r\n\r\n"));
        PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
        HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
        ASSERT_TRUE(window);
        ASSERT_TRUE(waitForCaption(window, "Morning / Pelmark Trio", 5000)) << caption(window);
        ASSERT_TRUE(minimisePlayer(window, player));

        setText(kControl, "Image", sheet);
        EXPECT_TRUE(waitForCaption(window, "ＣＤプレイヤー", 3000)) << caption(window);
        EXPECT_TRUE(waitForCaption(window, "Title / Artist", 5000)) << caption(window);
        Sleep(500);
        EXPECT_EQ(autoplayMinimize != 0, IsIconic(window) != 0);
        EXPECT_EQ(0u, closePlayer(window, &player));
        deleteNamed(index);
        forgetSettingsAndDrive();
    }
    deleteNamed(sheet);
    deleteNamed(bin);
}
