// The real Drovixcfg.exe /uninstall as Windows 10, from a copy of the tool
// with a vdrivectl beside it that refuses, as it does without administrator
// rights: the messages say what was removed and what was not, and the
// registry after it holds no empty key of Drovix's.
#include "EndToEnd.h"

#include "../win32/StoredValues.h"
#include "../win32/Shot.h"

namespace {

const char kMci32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32";
const char kInstall[] = "SOFTWARE\\Drovix\\VirtualDrive";
const char kUserClass[] = "Software\\Classes\\AudioCD";
const char kUserCommand[] = "Software\\Classes\\AudioCD\\shell\\play\\command";
const char kProgId[] = "Software\\Classes\\Pelmark.Drovix.AudioCD";
const char kHandlers[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const char kHandler[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\PelmarkDrovixPlayCDAudio";
const char kEvent[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\EventHandlers\\PlayCDAudioOnArrival";

// Starts the command with the token Windows gives a program that is not
// elevated: the limited one linked to the test's own. (Under Wine every user
// is an administrator; the linked token is not elevated, and Wine's "runas"
// starts a program with the token of the one that asks.)
PROCESS_INFORMATION startNotElevated(const std::string& commandLine) {
    HANDLE own = 0, primary = 0;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    PROCESS_INFORMATION started = {};
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own))
        return started;
    if (GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size) &&
        DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, 0, SecurityImpersonation, TokenPrimary, &primary)) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring line = wide(commandLine);
        if (CreateProcessAsUserW(primary, 0, &line[0], 0, 0, FALSE, CREATE_SUSPENDED, 0, 0, &startup, &started)) {
            AssignProcessToJobObject(testJob(), started.hProcess);
            ResumeThread(started.hThread);
        }
    }
    for (HANDLE handle : {own, linked.LinkedToken, primary})
        if (handle)
            CloseHandle(handle);
    return started;
}

// The tool's next message box, other than the one given: its text.
HWND waitForMessageBox(DWORD processId, HWND notThis) {
    for (DWORD waited = 0; waited < 20000; waited += 50) {
        HWND box = visibleWindowOf(processId, "#32770");
        if (box && box != notThis && IsWindow(box))
            return box;
        Sleep(50);
    }
    return 0;
}

std::string messageText(HWND box) {
    wchar_t text[2048] = {};
    SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, 0);
    return shiftJis(text);
}

// Everything Drovix keeps for a user who chose the player for AutoPlay, with
// the drive installed for the machine.
void installEverything(const std::string& folder) {
    setNumber(kSettings, "Interval", 333);
    setText(kControl, "Image", "");
    storeText(HKEY_CURRENT_USER, kUserCommand, 0, "\"" + folder + "Drovix.exe\" /play");
    storeText(HKEY_CURRENT_USER, (std::string(kProgId) + "\\shell\\play\\command").c_str(), 0,
              "\"" + folder + "Drovix.exe\" /play");
    storeText(HKEY_CURRENT_USER, kHandler, "InvokeProgID", "Pelmark.Drovix.AudioCD");
    storeText(HKEY_CURRENT_USER, kEvent, "PelmarkDrovixPlayCDAudio", "");
    storeText(HKEY_LOCAL_MACHINE, kMci32, "cdaudio", "drovixcd.dll");
    storeText(HKEY_LOCAL_MACHINE, kInstall, "ReplacedMci32", "mcicda.dll");
}

// A machine's text value as stored() read it before.
void restore(const char* keyName, const char* name, const std::string& before) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (before == "none")
        RegDeleteValueA(key, name);
    else
        setRegistryText(key, name, before.substr(3, before.find('\0') - 3));
    RegCloseKey(key);
}

} // namespace

TEST(EndToEnd, UninstallWithoutTheRightsForTheDriveSaysWhatItRemovedAndWhatNot) {
    const std::string parent = programFolder() + "as a user\\", folder = parent + "設定 ツール\\";
    makeFolder(parent);
    makeFolder(folder);
    ASSERT_TRUE(copyNamed(programFolder() + "Drovixcfg.exe", folder + "Drovixcfg.exe"));
    const std::string mci32Before = stored(HKEY_LOCAL_MACHINE, kMci32, "cdaudio");
    const std::string installBefore = stored(HKEY_LOCAL_MACHINE, kInstall, "ReplacedMci32");
    const std::string refusal =
        "vdrivectl: uninstall: 管理者の権限が必要です。管理者として開いたコマンド プロンプトで実行してください";
    const char* rightsAsked = "仮想ＣＤドライブを取り除くときは管理者の権限を求めます。";
    struct Row {
        bool elevated;
        const char* asked;   // the confirmation's middle, where the rights are asked for
        const char* call;    // how vdrivectl was started: with a reader of its words or not
        std::string whyLeft; // why the drive stayed
    } rows[] = {
        {false, rightsAsked, "uninstall console\r\n",
         "仮想ＣＤドライブを取り除けませんでした (vdrivectl uninstall がエラー 1 で終わりました)。"},
        {true, "", "uninstall pipe\r\n", "仮想ＣＤドライブを取り除けませんでした:\n" + refusal},
        // No vdrivectl beside the tool.
        {false, rightsAsked, "<missing>",
         "仮想ＣＤドライブを取り除けませんでした (\"" + folder +
             "vdrivectl.exe\" uninstall を実行できません: エラー 2)。"},
    };
    AsWindows windows10("win10");
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.elevated ? "elevated, " : "not elevated, ") + row.call);
        installEverything(folder);
        deleteNamed(folder + "vdrivectl-calls.txt");
        deleteNamed(folder + "vdrivectl.exe");
        if (strcmp(row.call, "<missing>") != 0)
            ASSERT_TRUE(copyNamed(testFolder() + "refusing_vdrivectl.exe", folder + "vdrivectl.exe"));
        std::string command = "\"" + folder + "Drovixcfg.exe\" /uninstall";
        PROCESS_INFORMATION tool = row.elevated ? startCommand(command) : startNotElevated(command);
        ASSERT_TRUE(tool.hProcess);
        HWND asked = waitForMessageBox(tool.dwProcessId, 0);
        ASSERT_TRUE(asked);
        EXPECT_EQ(std::string("Drovix の設定、オートプレイの登録、仮想ＣＤドライブを取り除きます。") + row.asked +
                      "曲名ファイルは削除しません。\n\nよろしいですか？",
                  messageText(asked));
        PostMessageA(asked, WM_COMMAND, IDYES, 0);
        HWND told = waitForMessageBox(tool.dwProcessId, asked);
        ASSERT_TRUE(told);
        EXPECT_EQ("Drovix の設定、オートプレイの登録を取り除きました。\n\n" + row.whyLeft, messageText(told));
        if (&row == rows)
            Shot(told, true).save("uninstall-not-administrator.bmp");
        PostMessageA(told, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(1u, waitForExit(&tool, 10000));
        release(&tool);
        EXPECT_EQ(row.call, readBytes(folder + "vdrivectl-calls.txt"));

        // The drive stays as it was; nothing of Drovix's stays for the user,
        // not even an empty key.
        EXPECT_EQ(storedText("drovixcd.dll"), stored(HKEY_LOCAL_MACHINE, kMci32, "cdaudio"));
        EXPECT_EQ(storedText("mcicda.dll"), stored(HKEY_LOCAL_MACHINE, kInstall, "ReplacedMci32"));
        for (const char* keyName : {"Software\\Pelmark", "Software\\Drovix", kUserClass, kProgId, kHandlers})
            EXPECT_EQ("none", keyClass(HKEY_CURRENT_USER, keyName)) << keyName;
    }
    // What the drive's other tests installed stays theirs.
    restore(kMci32, "cdaudio", mci32Before);
    restore(kInstall, "ReplacedMci32", installBefore);
    if (installBefore == "none")
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Drovix");
    for (const char* file : {"Drovixcfg.exe", "vdrivectl.exe", "vdrivectl-calls.txt"})
        deleteNamed(folder + file);
    removeFolder(folder);
    removeFolder(parent);
    forgetSettingsAndDrive();
}
