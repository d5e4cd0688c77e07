// The help: on Windows up to XP the help file in the platform's own viewer
// (the player's Help command, the track title dialog's Help button and the
// settings tool's Help button each open it at the guide, in Japanese, and
// the viewer goes when what opened it ends); on Windows 10 the guide page in
// the user's browser.
#include "EndToEnd.h"

#include <string.h>

namespace {

const char kGuideTitle[] = "Pelmark ＣＤプレイヤー の使い方";
// The guide's sections, as the viewer shows their headings.
const char* const kHeadings[] = {"ボタン",       "メニュー",
                                 "時間表示",     "リピート再生とランダム再生",
                                 "曲名の付け方", "設定ツール (Drovixcfg.exe)",
                                 "オートプレイ", "仮想ＣＤドライブ"};

BOOL CALLBACK matchViewer(HWND window, LPARAM param) {
    if (IsWindowVisible(window) && caption(window).rfind(kGuideTitle, 0) == 0) {
        *(HWND*)param = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window whose caption begins with the guide's title.
HWND viewerWindow() {
    HWND found = 0;
    EnumWindows(matchViewer, (LPARAM)&found);
    return found;
}

HWND waitForViewer(bool shown, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 100) {
        HWND viewer = viewerWindow();
        if ((viewer != 0) == shown)
            return viewer;
        Sleep(100);
    }
    return viewerWindow();
}

BOOL CALLBACK matchRichEdit(HWND child, LPARAM param) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (_strnicmp(className, "RichEdit", 8) == 0) {
        *(HWND*)param = child;
        return FALSE;
    }
    return TRUE;
}

// The text the viewer shows: its rich edit control's.
std::string shownText(HWND viewer) {
    HWND text = 0;
    EnumChildWindows(viewer, matchRichEdit, (LPARAM)&text);
    static wchar_t shown[65536];
    shown[0] = 0;
    if (text)
        SendMessageTimeoutW(text, WM_GETTEXT, 65536, (LPARAM)shown, SMTO_ABORTIFHUNG, 5000, 0);
    char converted[131072] = {};
    WideCharToMultiByte(932, 0, shown, -1, converted, sizeof converted, 0, 0);
    return converted;
}

BOOL CALLBACK addCaption(HWND window, LPARAM captions) {
    if (IsWindowVisible(window))
        *(std::string*)captions += "[" + caption(window) + "] ";
    return TRUE;
}

// What shows instead, when the guide does not.
std::string visibleCaptions() {
    std::string captions;
    EnumWindows(addCaption, (LPARAM)&captions);
    return captions;
}

void expectTheGuide(HWND viewer) {
    ASSERT_TRUE(viewer) << "no help viewer showing the guide; shown: " << visibleCaptions();
    std::string text = shownText(viewer);
    EXPECT_EQ(0u, text.find(kGuideTitle)) << text;
    for (const char* heading : kHeadings)
        EXPECT_NE(std::string::npos, text.find(heading)) << heading;
}

// A stand-in browser for web pages: each page it is asked to open is a line
// of a file.
struct StandInBrowser {
    std::string log = tempFolder() + "opened-pages.txt";
    char previousClass[64] = {};

    StandInBrowser() {
        DeleteFileA(log.c_str());
        HKEY key;
        LONG size = sizeof previousClass;
        RegQueryValueA(HKEY_CLASSES_ROOT, ".html", previousClass, &size);
        RegCreateKeyA(HKEY_CLASSES_ROOT, ".html", &key);
        RegSetValueA(key, 0, REG_SZ, "DrovixStandInPage", 0);
        RegCloseKey(key);
        std::string command = "C:\\windows\\system32\\cmd.exe /c echo %1>> \"" + log + "\"";
        RegCreateKeyA(HKEY_CLASSES_ROOT, "DrovixStandInPage\\shell\\open\\command", &key);
        RegSetValueA(key, 0, REG_SZ, command.c_str(), 0);
        RegCloseKey(key);
    }
    ~StandInBrowser() {
        HKEY key;
        RegCreateKeyA(HKEY_CLASSES_ROOT, ".html", &key);
        RegSetValueA(key, 0, REG_SZ, previousClass, 0);
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "DrovixStandInPage");
        DeleteFileA(log.c_str());
    }
    // The pages opened so far, once as many as expected were, or after 15 s.
    std::string opened(size_t count) {
        for (int waited = 0; waited < 150; waited++) {
            std::string pages = readBytes(log);
            size_t lines = 0;
            for (char c : pages)
                lines += c == '\n';
            if (pages != "<missing>" && lines >= count)
                return pages;
            Sleep(100);
        }
        return readBytes(log);
    }
};

} // namespace

TEST(EndToEnd, OnWindows10EveryHelpOpensTheGuidePageInTheBrowser) {
    AsWindows windows10("win10");
    StandInBrowser browser;
    prepareDrive(1);
    std::string page = programFolder() + "guide.html\r\n";
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(window);
    PostMessageA(window, WM_COMMAND, IDC_OPEN_HELP, 0);
    EXPECT_EQ(page, browser.opened(1));
    PostMessageA(window, WM_COMMAND, IDC_SET_TITLES, 0);
    HWND dialog = waitForOwnedDialog(window, 5000);
    ASSERT_TRUE(dialog);
    PostMessageA(GetDlgItem(dialog, IDC_HELP_BUTTON), BM_CLICK, 0, 0);
    EXPECT_EQ(page + page, browser.opened(2));
    PostMessageA(GetDlgItem(dialog, IDC_CANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, closePlayer(window, &player));

    PROCESS_INFORMATION tool = startProgram("Drovixcfg.exe", "");
    HWND settings = waitForWindowOf(tool.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(settings);
    PostMessageA(GetDlgItem(settings, IDC_SETTINGS_HELP), BM_CLICK, 0, 0);
    EXPECT_EQ(page + page + page, browser.opened(3));
    PostMessageA(GetDlgItem(settings, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, waitForExit(&tool, 5000));
    release(&tool);
    EXPECT_FALSE(viewerWindow()) << "no WinHelp viewer where Windows has none";
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}

TEST(EndToEnd, ThePlayersHelpCommandShowsTheGuideUntilThePlayerEnds) {
    AsWindows windowsXp("winxp");
    prepareDrive(1);
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(window);
    ASSERT_FALSE(viewerWindow());

    PostMessageA(window, WM_COMMAND, IDC_OPEN_HELP, 0);
    expectTheGuide(waitForViewer(true, 15000));
    EXPECT_EQ(0u, closePlayer(window, &player));
    EXPECT_FALSE(waitForViewer(false, 5000)) << "the viewer outlived the player";
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}

TEST(EndToEnd, TheTitleDialogsHelpButtonShowsTheGuideUntilTheDialogEnds) {
    AsWindows windowsXp("winxp");
    prepareDrive(1);
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(window);
    PostMessageA(window, WM_COMMAND, IDC_SET_TITLES, 0);
    HWND dialog = waitForOwnedDialog(window, 5000);
    ASSERT_TRUE(dialog);

    PostMessageA(GetDlgItem(dialog, IDC_HELP_BUTTON), BM_CLICK, 0, 0);
    expectTheGuide(waitForViewer(true, 15000));
    PostMessageA(GetDlgItem(dialog, IDC_CANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(waitForViewer(false, 5000)) << "the viewer outlived the dialog";
    EXPECT_EQ(0u, closePlayer(window, &player));
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}

TEST(EndToEnd, TheSettingsToolsHelpButtonShowsTheGuideUntilTheToolEnds) {
    AsWindows windowsXp("winxp");
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    PROCESS_INFORMATION tool = startProgram("Drovixcfg.exe", "");
    HWND dialog = waitForWindowOf(tool.dwProcessId, "#32770", 5000);
    ASSERT_TRUE(dialog);

    PostMessageA(GetDlgItem(dialog, IDC_SETTINGS_HELP), BM_CLICK, 0, 0);
    expectTheGuide(waitForViewer(true, 15000));
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, waitForExit(&tool, 5000));
    release(&tool);
    EXPECT_FALSE(waitForViewer(false, 5000)) << "the viewer outlived the tool";
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
}
