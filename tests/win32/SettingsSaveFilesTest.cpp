// The settings tool refuses a title index named as a save's own files, the
// lock or the temporary file beside every index: a save would take such an
// index for its lock and remove it, or write it through itself.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "../../config/SettingsTool.h"
#include "../../config/res/resource.h"
#include "../native/FileBytes.h"
#include "Messages.h"
#include "Modal.h"
#include "Programs.h"
#include "SaveFileWords.h"

namespace {

const char kSettingsKey[] = "Software\\Pelmark\\Drovix";

class SettingsSaveFiles : public ::testing::Test {
  protected:
    HWND dialog = 0;

    void SetUp() override {
        modalSteps().clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
        settingsTool = SettingsTool();
    }

    void TearDown() override {
        if (dialog)
            DestroyWindow(dialog);
        RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    }

    void open() {
        InitCommonControls();
        dialog = createDialogAsShown(IDD_SETTINGS, 0, settingsDialogProc);
        ASSERT_TRUE(dialog);
        ShowWindow(dialog, SW_SHOW);
        SetForegroundWindow(dialog);
        pump();
    }

    void pump() {
        MSG message;
        DWORD until = GetTickCount() + 50;
        do {
            while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT || IsDialogMessageA(dialog, &message))
                    continue;
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(5);
        } while ((LONG)(until - GetTickCount()) > 0);
    }
};

// Whether the file exists or not, the name is refused with the reason, the
// dialog stays open on the name, and the file is neither made, nor changed,
// nor removed.
TEST_F(SettingsSaveFiles, AnIndexNamedAsTheLockOrTheTemporaryFileIsRefused) {
    const char* kept = "@0c0b8600f5\r\n+kept\r\n\r\n";
    const struct {
        const char* typed;
        const char* existing; // 0: no such file
    } rows[] = {{"drovix.lck", 0}, {"drovix.lck", kept}, {"DROVIX.LCK", kept}, {"drovix.tmp", 0}, {"drovix.tmp", kept}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.typed) + (row.existing ? ", existing" : ", missing"));
        SetUp();
        std::string path = testFolder() + row.typed;
        deleteNamed(path);
        if (row.existing)
            writeBytes(path, row.existing);
        open();
        putText(GetDlgItem(dialog, IDC_INDEX_FILE), row.typed);
        MessageBoxSeen seen;
        confirmMessageBox(&seen);
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
        pump();
        pump(); // after the message box's own loop
        EXPECT_EQ(1, seen.shown);
        EXPECT_EQ(saveFileWords(path), seen.text);
        EXPECT_TRUE(seen.exclamation);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(IDC_INDEX_FILE, GetDlgCtrlID(GetFocus()));
        EXPECT_EQ(row.existing ? row.existing : "<missing>", readBytes(path));
        deleteNamed(path);
        TearDown();
        dialog = 0;
    }
}

} // namespace
