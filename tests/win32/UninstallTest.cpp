// Drovixcfg.exe /uninstall and the standard player's choice on the Windows
// 95 family and NT 4, in the test process through the Windows-version seam:
// there AutoPlay's command is the machine's (HKEY_CLASSES_ROOT), and only a
// command that names this Drovix is taken away, with the keys it leaves
// empty; another program's, and another folder's Drovix, stay.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "../../common/WindowsVersion.h"
#include "../../config/SettingsTool.h"
#include "../../config/res/resource.h"
#include "../native/FileBytes.h"
#include "Modal.h"
#include "Programs.h"
#include "StoredValues.h"

namespace {

const DWORD kWindowsNt4 = 0x00000004, kWindows98 = 0x80000A04;
DWORD testedWindows = kWindows98;

const char kClassKey[] = "AudioCD";
const char kCommandKey[] = "AudioCD\\shell\\play\\command";
const char kNothingToRemove[] = "Drovix の設定や登録は残っていません。取り除くものはありません。";

// Where each Windows keeps the standard CD player.
std::string systemPlayer(DWORD windows) {
    char path[MAX_PATH] = {};
    if (windows & 0x80000000) {
        GetWindowsDirectoryA(path, MAX_PATH);
        return std::string(path) + "\\cdplayer.exe";
    }
    ExpandEnvironmentStringsA("%SystemRoot%\\system32\\cdplayer.exe", path, MAX_PATH);
    return path;
}

// What a message says before the title indexes it names, which depend on
// what other tests left in the user's folder.
std::string withoutIndexes(const std::string& told) {
    return told.substr(0, told.find("\n\n曲名ファイルは残してあります。"));
}

void pump(HWND dialog) {
    DWORD until = GetTickCount() + 50;
    do {
        MSG message;
        while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT && !IsDialogMessageA(dialog, &message))
                DispatchMessageA(&message);
        Sleep(5);
    } while ((LONG)(until - GetTickCount()) > 0);
}

} // namespace

TEST(Uninstall, OnWindows95AndNt4TakesAwayOnlyTheMachinesCommandThatNamesThisDrovix) {
    const std::string ours = "\"" + testFolder() + "Drovix.exe\" /play";
    std::string shouted = ours;
    CharUpperA(&shouted[0]);
    const std::string otherDrovix = "\"C:\\Program Files\\Other Drovix\\Drovix.exe\" /play";
    const std::string other = "\"C:\\Other\\player.exe\" /play";
    const std::string removed = "Drovix のオートプレイの登録を取り除きました。";
    const std::string toSystemPlayer = "音楽ＣＤのオートプレイは Windows標準のＣＤプレイヤーに戻しました。";
    struct Row {
        DWORD windows;
        bool byChoice;       // the standard player's choice, else /uninstall
        std::string command; // the machine's command before
        bool systemPlayer;   // cdplayer.exe where these Windows keep it
        bool className;      // the class holds a name of Windows's own
        std::string after;   // the command after, or "none"
        std::string told;    // what the tool said
    } rows[] = {
        {kWindows98, false, ours, false, false, "none", removed},
        // As copies before quoted it wrote it.
        {kWindows98, false, testFolder() + "Drovix.exe /play", true, true,
         storedText(systemPlayer(kWindows98) + " /play %1"), removed + toSystemPlayer},
        {kWindowsNt4, false, shouted, false, true, "none", removed},
        {kWindowsNt4, false, ours, true, true, storedText("%SystemRoot%\\system32\\cdplayer.exe /play %1"),
         removed + toSystemPlayer},
        {kWindows98, false, otherDrovix, false, true, storedText(otherDrovix), kNothingToRemove},
        {kWindows98, true, ours, false, false, "none",
         "Windows標準のＣＤプレイヤーがないため、プレイヤーのオートプレイの登録を削除しました。"
         "音楽ＣＤを入れたときは Windows のオートプレイの設定に従います。"},
        // Nothing of Drovix's to take away: the choice is refused as before.
        {kWindowsNt4, true, other, false, true, storedText(other),
         "Windows標準のＣＤプレイヤー (cdplayer.exe) が見つかりません。(オートプレイの設定は変更されません)"},
    };
    const std::string index = testFolder() + "drovix.idx";
    windowsVersion = [] { return testedWindows; };
    HWND owner = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command + (row.byChoice ? " by the choice" : " by /uninstall") + " on " +
                     std::to_string(row.windows));
        testedWindows = row.windows;
        settingsTool = SettingsTool();
        modalSteps().clear();
        // No settings of either program: the drive's control key, which
        // the drive's tests leave behind, counts among them too.
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Drovix\\VirtualDrive");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
        storeText(HKEY_CLASSES_ROOT, kCommandKey, 0, row.command);
        if (row.className)
            storeText(HKEY_CLASSES_ROOT, kClassKey, 0, "オーディオ CD");
        if (row.systemPlayer)
            ASSERT_TRUE(writeBytes(systemPlayer(row.windows), "MZ"));
        MessageBoxSeen asked, told;
        HWND dialog = 0;
        if (row.byChoice) {
            ASSERT_TRUE(writeBytes(index, ""));
            InitCommonControls();
            dialog = createDialogAsShown(IDD_SETTINGS, 0, settingsDialogProc);
            ASSERT_TRUE(dialog);
            ShowWindow(dialog, SW_SHOW);
            SetForegroundWindow(dialog);
            pump(dialog);
            confirmMessageBox(&told);
            SendDlgItemMessageA(dialog, IDC_AUTOPLAY_SYSTEM, BM_CLICK, 0, 0);
            SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
            pump(dialog);
            EXPECT_EQ(row.after == "none", !IsWindowVisible(dialog));
        } else {
            if (row.told != kNothingToRemove)
                answerMessageBox(&asked, IDYES);
            confirmMessageBox(&told);
            EXPECT_EQ(0, settingsTool.uninstall(owner));
        }
        EXPECT_EQ(1, told.shown);
        // The 95 family shows its texts through the ANSI calls: they read as
        // on its Japanese edition only where this code page is Shift-JIS.
        if (!(row.windows & 0x80000000) || GetACP() == 932) {
            EXPECT_EQ(row.told, withoutIndexes(told.text));
            if (!row.byChoice && row.told != kNothingToRemove)
                EXPECT_EQ("Drovix のオートプレイの登録を取り除きます。曲名ファイルは削除しません。\n\nよろしいですか？",
                          asked.text);
        }
        EXPECT_EQ(row.after, stored(HKEY_CLASSES_ROOT, kCommandKey, 0));
        if (row.after == "none") {
            // The keys the command leaves empty go; the class's name stays.
            EXPECT_EQ("none", keyClass(HKEY_CLASSES_ROOT, "AudioCD\\shell"));
            EXPECT_EQ(row.className ? storedText("オーディオ CD") : "none", stored(HKEY_CLASSES_ROOT, kClassKey, 0));
            EXPECT_EQ(row.className ? "" : "none", keyClass(HKEY_CLASSES_ROOT, kClassKey));
        }
        if (dialog)
            DestroyWindow(dialog);
        if (row.systemPlayer)
            deleteNamed(systemPlayer(row.windows));
    }
    DestroyWindow(owner);
    windowsVersion = [] { return GetVersion(); };
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pelmark\\Drovix");
    deleteNamed(index);
}
