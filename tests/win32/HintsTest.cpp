// What the skin's buttons are called (their window texts and tooltips), and
// the media keys, on the player's own window and through the shell.
#include "Modal.h"
#include "PlayerTest.h"

#include <commctrl.h>

#include <functional>

namespace {

class Hints : public Player {
  protected:
    // The player playing track 1 at 5 s; what one action then sends.
    std::vector<std::string> sentBy(const std::function<void()>& action) {
        start();
        timerTick();
        pressButton(IDC_PLAYPAUSE);
        sim.advance(5000);
        timerTick();
        sim.take();
        action();
        std::vector<std::string> sent = sim.take();
        finish();
        return sent;
    }

    // Opens the full menu, looks while it is open and closes it: then every
    // button has its tooltip.
    void lookWhileTheMenuIsOpen(const std::function<void()>& look) {
        whenShown(kMenuClass, [&](HWND) {
            look();
            EndMenu();
        });
        SendMessageA(window, WM_COMMAND, IDC_MENU, 0);
        modalSteps().clear();
        HWND tips = playerWindow.hintWindow();
        ASSERT_TRUE(tips);
        EXPECT_EQ(10, SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0));
    }
};

TEST_F(Hints, EveryButtonIsNamedAndShowsItsNameOnHover) {
    start();
    const char* names[] = {"取り出し", "停止", "前のトラック", "再生 / 一時停止", "次のトラック",
                           "最小化",   "終了", "メニュー",     "リピート再生",    "ランダム再生"};
    HWND tips = playerWindow.hintWindow();
    ASSERT_TRUE(tips);
    EXPECT_EQ(10, SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < 10; i++) {
        HWND button = GetDlgItem(window, IDC_EJECT + i);
        EXPECT_EQ(names[i], windowText(button)) << i;
        wchar_t text[80] = {};
        TOOLINFOW info = {};
        info.cbSize = (UINT)((char*)&info.lParam - (char*)&info);
        info.hwnd = window;
        info.uId = (UINT_PTR)button;
        info.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, 80, (LPARAM)&info);
        EXPECT_EQ(names[i], shiftJis(text)) << i;
    }
    // It goes with the player.
    finish();
    EXPECT_FALSE(IsWindow(tips));
}

namespace {

BOOL CALLBACK findShownTooltip(HWND window, LPARAM found) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && IsWindowVisible(window))
        *(HWND*)found = window;
    return TRUE;
}

} // namespace

// The pointer comes to the menu button and clicks at once: the tooltip
// whose time had begun never shows over the open menu, and works again
// once the menu has closed.
TEST_F(Hints, NoTooltipShowsOverAnOpenMenuHoweverFastTheClick) {
    start();
    HWND button = GetDlgItem(window, IDC_MENU);
    RECT place;
    GetWindowRect(button, &place);
    SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    POINT inside = {(place.right - place.left) / 2, (place.bottom - place.top) / 2};
    SendMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
    HWND shownOverMenu = 0;
    lookWhileTheMenuIsOpen([&] {
        // Longer than the tooltip's wait before it shows.
        pumpMessages(1500);
        EnumThreadWindows(GetCurrentThreadId(), findShownTooltip, (LPARAM)&shownOverMenu);
    });
    EXPECT_FALSE(shownOverMenu) << "a tooltip showed over the open menu";
}

// The tooltips come just after the window shows; a menu opened before that
// has none over it, and they come once it has closed.
TEST_F(Hints, AMenuOpenedBeforeTheTooltipsCameHasNoneOverIt) {
    playerWindow.commandLine = commandLine;
    window = createMainWindow();
    ASSERT_TRUE(window);
    HWND duringMenu = (HWND)1;
    lookWhileTheMenuIsOpen([&] {
        pumpMessages(500);
        duringMenu = playerWindow.hintWindow();
    });
    EXPECT_FALSE(duringMenu) << "tooltips were made while the menu was open";
}

TEST_F(Hints, MediaKeysDoWhatTheButtonsDoAndOthersAreLeftAlone) {
    const UINT shellHook = RegisterWindowMessageA("SHELLHOOK");
    const struct {
        int appCommand;
        int button;
    } rows[] = {
        {APPCOMMAND_MEDIA_PLAY_PAUSE, IDC_PLAYPAUSE},
        {APPCOMMAND_MEDIA_STOP, IDC_STOP},
        {APPCOMMAND_MEDIA_NEXTTRACK, IDC_NEXT},
        {APPCOMMAND_MEDIA_PREVIOUSTRACK, IDC_PREVIOUS},
    };
    for (const auto& row : rows) {
        LPARAM key = MAKELPARAM(0, row.appCommand | FAPPCOMMAND_KEY);
        std::vector<std::string> byButton = sentBy([&] { pressButton(row.button); });
        EXPECT_FALSE(byButton.empty()) << row.appCommand;
        LRESULT answered = 0;
        EXPECT_EQ(byButton, sentBy([&] { answered = SendMessageW(window, WM_APPCOMMAND, (WPARAM)window, key); }))
            << row.appCommand;
        EXPECT_EQ(TRUE, answered) << "a key carried out is not handed on";
        EXPECT_EQ(byButton, sentBy([&] { SendMessageW(window, shellHook, HSHELL_APPCOMMAND, key); })) << row.appCommand;
    }
    // The volume keys and other shell news are not the player's.
    LRESULT answered = 1;
    EXPECT_TRUE(sentBy([&] {
                    answered = SendMessageW(window, WM_APPCOMMAND, (WPARAM)window,
                                            MAKELPARAM(0, APPCOMMAND_VOLUME_UP | FAPPCOMMAND_KEY));
                    SendMessageW(window, shellHook, HSHELL_WINDOWACTIVATED, MAKELPARAM(0, APPCOMMAND_MEDIA_STOP));
                }).empty());
    EXPECT_EQ(0, answered);
}

} // namespace
