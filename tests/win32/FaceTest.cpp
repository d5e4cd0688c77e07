// What the main window shows: the caption and text areas at each play
// state, redrawing only what changed, the mouse gestures, and screenshots
// of the face checked at chosen pixels.
#include <algorithm>
#include <vector>

#include "../../engine/DiscEngine.h"
#include "PlayerTest.h"
#include "Shot.h"

namespace {

std::string caption(HWND window) { return windowText(window); }

// Counts what reaches the dialog from outside its own procedure.
struct MessageCounter {
    WNDPROC dialogProc;
    int setTexts;
    int dragStarts;
};
MessageCounter counter;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT)
        counter.setTexts++;
    if (message == WM_SYSCOMMAND && wParam == (SC_MOVE | HTCAPTION)) {
        // Counted, not run: the move loop would wait for the mouse.
        counter.dragStarts++;
        return 0;
    }
    return CallWindowProcA(counter.dialogProc, window, message, wParam, lParam);
}

void countMessages(HWND window) {
    counter = MessageCounter();
    counter.dialogProc = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)countingProc);
}

LPARAM point(int x, int y) { return MAKELPARAM(x, y); }

const uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kDark = 0x808080, kFace = 0xC0C0C0;
const uint32_t kLight = 0xE0E0E0, kLampGreen = 0x00FF00, kLampGrey = 0xA0A0A0, kMarker = 0xFF00FF;

} // namespace

class Face : public Player {
  protected:
    void SetUp() override {
        Player::SetUp();
        // Ticks come from the tests alone.
        storeDword("Interval", 5000);
    }

    void playToPaused(uint32_t ms) {
        pressButton(IDC_PLAYPAUSE);
        sim.advance(ms);
        pressButton(IDC_PLAYPAUSE);
        ASSERT_EQ(kPaused, discEngine.playState());
    }
};

TEST_F(Face, WithoutADiscAsksForOne) {
    sim.mediaPresent = 0;
    start();
    timerTick();
    EXPECT_EQ("ＣＤプレイヤー", caption(window));
    EXPECT_STREQ("音楽ＣＤをセットしてください", playerWindow.shownTitleLine);
    EXPECT_STREQ("", playerWindow.shownTrackLine);
    EXPECT_STREQ("", playerWindow.shownClock);
    EXPECT_EQ(0u, playerWindow.discLoaded);
}

TEST_F(Face, StoppedShowsTheTitleLineAsCaption) {
    start();
    timerTick();
    EXPECT_EQ("Title / Artist", caption(window));
    EXPECT_STREQ("Title / Artist", playerWindow.shownTitleLine);
    EXPECT_STREQ(" 1. Track  1", playerWindow.shownTrackLine);
    EXPECT_STREQ(" 0：00", playerWindow.shownClock);
}

TEST_F(Face, PlayingShowsTrackNameAndClockAsCaption) {
    start();
    timerTick();
    pressButton(IDC_PLAYPAUSE);
    sim.advance(65 * 1000 + 500);
    timerTick();
    EXPECT_EQ("Track  1 ( 1：05)", caption(window));
    EXPECT_STREQ(" 1：05", playerWindow.shownClock);
    sim.advance(185 * 1000);
    timerTick();
    EXPECT_STREQ(" 2. Track  2", playerWindow.shownTrackLine);
    EXPECT_EQ("Track  2 ( 1：05)", caption(window));
}

TEST_F(Face, PausedBlinksTheClockButNotTheCaption) {
    start();
    timerTick();
    playToPaused(5000);
    std::string clocks, captions;
    for (int i = 0; i < 10; i++) {
        timerTick();
        clocks += playerWindow.shownClock[0] ? 'x' : '.';
        captions += caption(window) == "Track  1 ( 0：05)" ? 'x' : '.';
    }
    EXPECT_EQ("xxx..xxx..", clocks);
    EXPECT_EQ("xxxxxxxxxx", captions);
}

TEST_F(Face, StoredTitlesOfTheDiscAreLoadedWhenItIsFirstSeen) {
    std::string path = programDirectory() + "face-titles.idx";
    // 3 tracks, 486 s in all, track 1 of 185 s.
    ASSERT_TRUE(writeBytes(path, "@0301e600b9\r\n+Morning\r\n-Pelmark Trio\r\n#One\r\n#Two\r\n#Three\r\n\r\n"));
    storeText("IndexFile", path);
    start();
    timerTick();
    EXPECT_STREQ("Morning / Pelmark Trio", playerWindow.shownTitleLine);
    EXPECT_STREQ(" 1. One", playerWindow.shownTrackLine);
    deleteNamed(path);
}

// The black columns a text area shows: from its first to its last.
int inkWidth(HWND window, int top, int bottom) {
    Shot shot(window);
    int first = -1, last = -1;
    for (int x = 11; x < 285; x++)
        if (shot.anyIn(x, top, x + 1, bottom, kBlack)) {
            if (first < 0)
                first = x;
            last = x;
        }
    return first < 0 ? 0 : last - first + 1;
}

// An "&" in a name is drawn, not taken as the mark of a mnemonic, which
// would draw "&x" as an underlined "x".
TEST_F(Face, AnAmpersandInANameIsDrawnAsTyped) {
    std::string path = programDirectory() + "face-titles.idx";
    ASSERT_TRUE(writeBytes(path, "@0301e600b9\r\n+&x\r\n-\r\n#&x\r\n\r\n"));
    storeText("IndexFile", path);
    start();
    timerTick();
    pumpMessages(50);
    EXPECT_STREQ("&x", playerWindow.shownTitleLine);
    EXPECT_STREQ(" 1. &x", playerWindow.shownTrackLine);
    int titleWidth = inkWidth(window, 31, 43), trackWidth = inkWidth(window, 49, 61);
    playerWindow.drawText(kAreaTitleLine, "x");
    playerWindow.drawText(kAreaTrackLine, " 1. x");
    EXPECT_GT(titleWidth, inkWidth(window, 31, 43) + 3);
    EXPECT_GT(trackWidth, inkWidth(window, 49, 61) + 3);
    deleteNamed(path);
}

TEST_F(Face, ADiscTakenOutWhilePlayingLeavesTheNextDiscStopped) {
    start();
    timerTick();
    pressButton(IDC_PLAYPAUSE);
    sim.advance(5000);
    timerTick();
    // The disc goes, and with it the drive's play.
    sim.mediaPresent = 0;
    sim.playing = 0;
    timerTick();
    EXPECT_EQ(kStopped, discEngine.playState());
    sim.setDisc({100, 100});
    sim.mediaPresent = 1;
    sim.take();
    timerTick();
    EXPECT_EQ("Title / Artist", caption(window));
    pressButton(IDC_PLAYPAUSE);
    EXPECT_EQ(kPlaying, discEngine.playState());
    std::vector<std::string> sent = sim.take();
    EXPECT_NE(sent.end(), std::find(sent.begin(), sent.end(), "PLAY FROM 1"));
}

TEST_F(Face, ATickWithNothingChangedDrawsNothing) {
    start();
    timerTick();
    pumpMessages(50);
    countMessages(window);
    {
        HDC context = GetDC(window);
        HBRUSH marker = CreateSolidBrush(RGB(255, 0, 255));
        RECT areas[] = {{11, 31, 285, 43}, {11, 49, 285, 61}, {251, 72, 287, 84}};
        for (RECT& area : areas)
            FillRect(context, &area, marker);
        DeleteObject(marker);
        ReleaseDC(window, context);
    }
    timerTick();
    Shot shot(window);
    EXPECT_EQ(kMarker, shot.at(12, 32));
    EXPECT_EQ(kMarker, shot.at(284, 60));
    EXPECT_EQ(kMarker, shot.at(252, 73));
    EXPECT_EQ(0, counter.setTexts);

    sim.mediaPresent = 0;
    timerTick();
    Shot changed(window);
    EXPECT_NE(kMarker, changed.at(12, 32));
    EXPECT_EQ(1, counter.setTexts);
}

TEST_F(Face, APressOnTheTitleStripAloneStartsADrag) {
    start();
    countMessages(window);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(19, 8));
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(257, 18));
    EXPECT_EQ(2, counter.dragStarts);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(18, 8));
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(100, 40));
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(250, 80));
    EXPECT_EQ(2, counter.dragStarts);
}

TEST_F(Face, ADoubleClickOnTheClockCyclesTheDisplayModeAndItsGlyphs) {
    start();
    std::string modes;
    for (int i = 0; i < 4; i++) {
        SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, point(230, 75));
        modes += (char)('0' + discEngine.displayMode());
        Shot shot(window);
        bool remain = shot.at(224, 80) == kBlack;
        bool total = shot.at(224, 73) == kFace;  // T's left arm has no stem
        modes += remain ? (total ? 'R' : 'r') : (total ? 'T' : 'E');
    }
    EXPECT_EQ("1r2T3R0E", modes);
    SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, point(100, 40));
    EXPECT_EQ(0u, discEngine.displayMode());
}

TEST_F(Face, ADoubleClickOnTheTitleStripMinimises) {
    start();
    SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, point(100, 12));
    pumpMessages(50);
    EXPECT_TRUE(IsIconic(window));
}

TEST_F(Face, TheLampsLightWithRepeatAndRandom) {
    start();
    pumpMessages(50);
    Shot unlit(window);
    EXPECT_EQ(kLampGrey, unlit.at(167, 80));
    EXPECT_EQ(kLampGrey, unlit.at(192, 80));
    pressButton(IDC_REPEAT);
    Shot repeat(window);
    EXPECT_EQ(kLampGreen, repeat.at(167, 80));
    EXPECT_EQ(kLampGrey, repeat.at(192, 80));
    pressButton(IDC_RANDOM);
    InvalidateRect(window, 0, TRUE);
    pumpMessages(100);
    Shot both(window);
    EXPECT_EQ(kLampGreen, both.at(167, 80));
    EXPECT_EQ(kLampGreen, both.at(192, 80));
}

// Modes kept from the last run light their lamps from the start, though the
// window shows before the drive's open sets them.
TEST_F(Face, KeptModesLightTheirLampsAtStart) {
    storeDword("RepeatMode", 1);
    storeDword("RandomMode", 1);
    start();
    Shot shot(window);
    EXPECT_EQ(kLampGreen, shot.at(167, 80));
    EXPECT_EQ(kLampGreen, shot.at(192, 80));
}

// The frame's colours at the places the layout gives them.
void expectFrame(const Shot& shot) {
    EXPECT_EQ(kBlack, shot.at(0, 0));
    EXPECT_EQ(kBlack, shot.at(295, 93));
    EXPECT_EQ(kBlack, shot.at(150, 93));
    EXPECT_EQ(kWhite, shot.at(1, 1));
    EXPECT_EQ(kWhite, shot.at(1, 50));
    EXPECT_EQ(kWhite, shot.at(150, 1));
    EXPECT_EQ(kDark, shot.at(294, 50));
    EXPECT_EQ(kDark, shot.at(150, 92));
    EXPECT_EQ(kDark, shot.at(100, 7));   // title strip, top
    EXPECT_EQ(kWhite, shot.at(100, 19)); // title strip, bottom
    EXPECT_EQ(kDark, shot.at(100, 24));  // panel, top
    EXPECT_EQ(kDark, shot.at(288, 50));  // panel, right
    EXPECT_EQ(kWhite, shot.at(7, 50));   // panel, left
    EXPECT_EQ(kWhite, shot.at(100, 68)); // panel, bottom left of the step
    EXPECT_EQ(kWhite, shot.at(220, 80)); // the step down to the clock box
    EXPECT_EQ(kWhite, shot.at(250, 87)); // clock box, bottom
    EXPECT_EQ(kFace, shot.at(150, 28));
    // A raised button: black outline, light top and left, dark bottom.
    EXPECT_EQ(kBlack, shot.at(8, 73));
    EXPECT_EQ(kLight, shot.at(12, 74));
    EXPECT_EQ(kDark, shot.at(12, 85));
    EXPECT_EQ(kLight, shot.at(12, 87));
    // The menu button's note.
    EXPECT_TRUE(shot.anyIn(8, 8, 19, 18, kBlack));
}

TEST_F(Face, ScreenshotWithoutADisc) {
    sim.mediaPresent = 0;
    start();
    timerTick();
    pumpMessages(100);
    Shot shot(window);
    shot.save("player-no-disc.bmp");
    expectFrame(shot);
    EXPECT_TRUE(shot.anyIn(11, 31, 285, 43, kBlack));  // the prompt
    EXPECT_FALSE(shot.anyIn(11, 49, 285, 61, kBlack)); // no track line
    EXPECT_FALSE(shot.anyIn(251, 72, 287, 84, kBlack)); // no clock
    EXPECT_EQ(kBlack, shot.at(224, 72));                // EACH
    EXPECT_EQ(kFace, shot.at(224, 80));                 // no REMAIN
    EXPECT_EQ(kLampGrey, shot.at(167, 80));
}

TEST_F(Face, ScreenshotWithAPausedDisc) {
    storeDword("DisplayState", 3);
    storeDword("RepeatMode", 1);
    start();
    timerTick();
    playToPaused(65000);
    timerTick();
    pumpMessages(100);
    Shot shot(window);
    shot.save("player-paused.bmp");
    expectFrame(shot);
    EXPECT_TRUE(shot.anyIn(11, 31, 285, 43, kBlack));
    EXPECT_TRUE(shot.anyIn(11, 49, 285, 61, kBlack));
    EXPECT_TRUE(shot.anyIn(251, 72, 287, 84, kBlack));
    EXPECT_EQ(kBlack, shot.at(224, 72)); // TOTAL
    EXPECT_EQ(kFace, shot.at(224, 73));
    EXPECT_EQ(kBlack, shot.at(224, 80)); // REMAIN
    EXPECT_EQ(kLampGreen, shot.at(167, 80));
    EXPECT_EQ(kLampGrey, shot.at(192, 80));
}
