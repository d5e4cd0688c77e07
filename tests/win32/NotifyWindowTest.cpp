// The notification window for real: its class and window, timer 3226 and
// the synchronous hand-over of every tick to the player window, and the MCI
// completion messages, with the engine on the simulated drive.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include "SimDrive.h"

using Commands = std::vector<std::string>;

namespace {

BOOL CALLBACK matchNotifyClass(HWND window, LPARAM found) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "CDAUDIOCLASS") != 0)
        return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

// This thread's notification window: tests run side by side, each with its
// own.
HWND ownNotifyWindow() {
    HWND found = 0;
    EnumThreadWindows(GetCurrentThreadId(), matchNotifyClass, (LPARAM)&found);
    return found;
}

struct OwnerLog {
    int ticks;
    int otherTimers;
    int ticksOutsideDispatch;
    WPARAM lastTimerId;
    LPARAM lastParam;
};

OwnerLog owner;
bool dispatchingToNotifyWindow;

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        if (wParam == kEngineTimerId)
            owner.ticks++;
        else
            owner.otherTimers++;
        if (!dispatchingToNotifyWindow)
            owner.ticksOutsideDispatch++;
        owner.lastTimerId = wParam;
        owner.lastParam = lParam;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createOwner() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ownerProc;
    windowClass.hInstance = GetModuleHandleA(0);
    windowClass.lpszClassName = "OwnerForTests";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "OwnerForTests", "owner", WS_OVERLAPPED, 0, 0, 100, 100, 0, 0, GetModuleHandleA(0), 0);
}

// Runs the message loop as the player's modal loop would: until `done`
// (at most ms), or, without it, until every message posted so far has been
// dispatched.
void pumpMessages(DWORD ms, bool (*done)() = 0) {
    DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
            dispatchingToNotifyWindow = message.hwnd == (HWND)discEngine.notifyWindow;
            DispatchMessageA(&message);
            dispatchingToNotifyWindow = false;
        }
        if (!done || done() || (LONG)(end - GetTickCount()) <= 0)
            return;
        Sleep(5);
    }
}

class NotifyWindow : public ::testing::Test {
  protected:
    HWND ownerWindow = 0;

    void SetUp() override {
        owner = OwnerLog();
        sim.reset();
        sim.setDisc({60, 60, 60});
        discEngine = DiscEngine();
        ownerWindow = createOwner();
        ASSERT_TRUE(ownerWindow);
    }

    void TearDown() override { DestroyWindow(ownerWindow); }

    void openEngine(int32_t interval) {
        ASSERT_EQ(1, discEngine.open(GetModuleHandleA(0), ownerWindow, interval));
        sim.take();
    }
};

TEST_F(NotifyWindow, IsAHiddenPopupOfItsOwnClass) {
    openEngine(333);
    HWND window = ownNotifyWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ((HWND)discEngine.notifyWindow, window);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ((LONG)WS_POPUP, style & ~WS_CLIPSIBLINGS);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0, GetParent(window));
    WNDCLASSA windowClass = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(0), "CDAUDIOCLASS", &windowClass));
    EXPECT_EQ(0u, windowClass.style);
    EXPECT_EQ(0, windowClass.cbWndExtra);
    EXPECT_EQ(0, windowClass.hbrBackground);
}

TEST_F(NotifyWindow, TimerTicksReachTheOwnerSynchronously) {
    openEngine(50);
    pumpMessages(10000, [] { return owner.ticks >= 4; });
    EXPECT_GE(owner.ticks, 4);
    EXPECT_EQ(0, owner.otherTimers);
    EXPECT_EQ(0, owner.ticksOutsideDispatch);
    EXPECT_EQ((WPARAM)kEngineTimerId, owner.lastTimerId);
}

TEST_F(NotifyWindow, TickParameterIsHandedOnUnchanged) {
    openEngine(5000);
    dispatchingToNotifyWindow = true;
    SendMessageA((HWND)discEngine.notifyWindow, WM_TIMER, kEngineTimerId, 0x1234);
    dispatchingToNotifyWindow = false;
    EXPECT_EQ(1, owner.ticks);
    EXPECT_EQ((LPARAM)0x1234, owner.lastParam);
}

TEST_F(NotifyWindow, OtherTimersGoNowhere) {
    openEngine(5000);
    discEngine.playPause();
    sim.take();
    PostMessageA((HWND)discEngine.notifyWindow, WM_TIMER, 77, 0);
    PostMessageA((HWND)discEngine.notifyWindow, WM_TIMER, kEngineTimerId + 1, 0);
    pumpMessages(200);
    EXPECT_EQ(0, owner.ticks + owner.otherTimers);
    EXPECT_TRUE(sim.take().empty());
}

TEST_F(NotifyWindow, SuccessfulCompletionEndsThePlay) {
    openEngine(5000);
    discEngine.playPause();
    sim.take();
    PostMessageA((HWND)discEngine.notifyWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, discEngine.deviceId);
    pumpMessages(200);
    EXPECT_EQ(Commands({"CLOSE", "OPEN", "SEEK START", "STOP"}), sim.take());
    EXPECT_EQ(kStopped, discEngine.state);
}

TEST_F(NotifyWindow, OtherCompletionCodesOnlyClearNotifyAdvance) {
    openEngine(5000);
    discEngine.playPause();
    sim.take();
    for (WPARAM code : {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_ABORTED, MCI_NOTIFY_FAILURE}) {
        discEngine.notifyAdvance = 1;
        PostMessageA((HWND)discEngine.notifyWindow, MM_MCINOTIFY, code, discEngine.deviceId);
        pumpMessages(100);
        EXPECT_EQ(0u, discEngine.notifyAdvance) << code;
        EXPECT_EQ(kPlaying, discEngine.state) << code;
    }
    EXPECT_TRUE(sim.take().empty());
}

TEST_F(NotifyWindow, RepeatRestartsTheDiscOnCompletion) {
    openEngine(5000);
    discEngine.setRepeatMode(1);
    discEngine.currentTrack = 3;
    discEngine.playPause();
    sim.take();
    PostMessageA((HWND)discEngine.notifyWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, discEngine.deviceId);
    pumpMessages(200);
    EXPECT_EQ(Commands({"SET TMSF", "PLAY FROM 1"}), sim.take());
}

TEST_F(NotifyWindow, AnsweredByDefWindowProc) {
    openEngine(5000);
    HWND window = (HWND)discEngine.notifyWindow;
    EXPECT_EQ(DefWindowProcA(window, WM_GETTEXTLENGTH, 0, 0), SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0, SendMessageA(window, WM_TIMER, kEngineTimerId, 0));
}

TEST_F(NotifyWindow, CloseEndsWindowAndTimer) {
    openEngine(30);
    HWND window = (HWND)discEngine.notifyWindow;
    discEngine.close();
    EXPECT_FALSE(IsWindow(window));
    // A timer of 30 ms left behind would tick meanwhile.
    pumpMessages(200, [] { return false; });
    EXPECT_EQ(0, owner.ticks);
}

TEST_F(NotifyWindow, FailedOpenCreatesNeitherWindowNorTimer) {
    sim.openFails = 1;
    EXPECT_EQ(0, discEngine.open(GetModuleHandleA(0), ownerWindow, 30));
    EXPECT_EQ(0, ownNotifyWindow());
    WNDCLASSA windowClass = {};
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(0), "CDAUDIOCLASS", &windowClass));
    // A timer of 30 ms left behind would tick meanwhile.
    pumpMessages(200, [] { return false; });
    EXPECT_EQ(0, owner.ticks);
    // The shutdown after a failed start addresses no window and no timer.
    discEngine.stop();
    EXPECT_EQ(1, discEngine.close());
}

} // namespace
