// Acting inside the modal loops that a call under test runs (a popup menu,
// a modal dialog, a message box): each action waits for its window to show
// and then runs in that loop, on this thread, in the order given.
#pragma once

#include <windows.h>

#include <string.h>

#include <deque>
#include <functional>
#include <string>

#include "WideText.h"

struct ModalStep {
    std::string className;
    std::function<void(HWND)> action;
};

inline std::deque<ModalStep>& modalSteps() {
    static std::deque<ModalStep> steps;
    return steps;
}

struct ModalSearch {
    const std::string* className;
    HWND found;
};

inline BOOL CALLBACK matchModalWindow(HWND window, LPARAM param) {
    ModalSearch* search = (ModalSearch*)param;
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    bool owned = GetWindow(window, GW_OWNER) != 0 || *search->className == "#32768";
    if (*search->className == name && owned && IsWindowVisible(window) && IsWindowEnabled(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible, enabled window of the class on this thread that is not the
// player's own main window: the one a modal loop runs for now.
inline HWND activeModalWindow(const std::string& className) {
    ModalSearch search = {&className, 0};
    EnumThreadWindows(GetCurrentThreadId(), matchModalWindow, (LPARAM)&search);
    return search.found;
}

inline void CALLBACK runModalStep(HWND, UINT, UINT_PTR timer, DWORD) {
    std::deque<ModalStep>& steps = modalSteps();
    if (steps.empty()) {
        KillTimer(0, timer);
        return;
    }
    HWND window = activeModalWindow(steps.front().className);
    if (!window)
        return;
    // Taken off first: the action may run a modal loop of its own.
    ModalStep step = steps.front();
    steps.pop_front();
    step.action(window);
}

// Queues an action for the next window of the class; the thread's timer
// looks for it while any loop runs.
inline void whenShown(const char* className, std::function<void(HWND)> action) {
    if (modalSteps().empty())
        SetTimer(0, 0, 20, runModalStep);
    modalSteps().push_back(ModalStep{className, action});
}

const char kDialogClass[] = "#32770";
const char kMenuClass[] = "#32768";


// What a live dialog shows: its caption and font, then each control in
// stacking order (which is the tab order) with its id and text.
inline std::string shownControls(HWND dialog) {
    LOGFONTW font = {};
    GetObjectW((HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0), sizeof font, &font);
    std::string shown = windowText(dialog) + " / " + shiftJis(font.lfFaceName) + "\n";
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string text = windowText(child);
        // An icon's text names its resource, not what shows.
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        if (_stricmp(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            text = "(icon)";
        shown += std::to_string((short)GetDlgCtrlID(child)) + " " + text + "\n";
    }
    return shown;
}


// A message box: its text, caption, icon and buttons, then the answer.
struct MessageBoxSeen {
    std::string text, caption;
    // "yes no", "ok": the buttons it offers.
    std::string buttons;
    bool exclamation = false;
    int shown = 0;
};

inline void answerMessageBox(MessageBoxSeen* seen, int answer = IDOK) {
    whenShown(kDialogClass, [seen, answer](HWND box) {
        seen->text = controlText(box, 0xFFFF);
        seen->caption = windowText(box);
        seen->buttons.clear();
        const struct {
            int id;
            const char* name;
        } buttons[] = {{IDOK, "ok"}, {IDYES, "yes"}, {IDNO, "no"}, {IDCANCEL, "cancel"}};
        for (const auto& button : buttons)
            if (GetDlgItem(box, button.id))
                seen->buttons += std::string(seen->buttons.empty() ? "" : " ") + button.name;
        // The platform's icons are shared: the box shows the very one.
        HICON icon = (HICON)SendDlgItemMessageA(box, 0x440, STM_GETICON, 0, 0);
        seen->exclamation = icon && icon == LoadIconA(0, IDI_EXCLAMATION);
        seen->shown++;
        PostMessageA(box, WM_COMMAND, answer, 0);
    });
}

inline void confirmMessageBox(MessageBoxSeen* seen) { answerMessageBox(seen, IDOK); }
