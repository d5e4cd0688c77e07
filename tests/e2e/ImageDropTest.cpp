// A CD image put in without a console: dropped on the real player's window
// as the shell hands a drop over (WM_DROPFILES), and Explorer's command
// 「Drovix で再生」 run as Windows runs it, with a player running and
// without. A sheet and a FLAC file with its own sheet from a folder with a
// Japanese name play; what the drive cannot play, or a drive that is not
// installed, is told in Japanese and changes nothing.
#include <shlobj.h>

#include <vector>

#include "EndToEnd.h"

namespace {

const char kMci32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32";

std::string images() { return testFolder() + "flac-images\\"; }

// The album as a ripper leaves it: a sheet and one FLAC for the disc, in a
// folder with a Japanese name (0x5C trail bytes) and blanks.
std::string album() {
    std::string folder = testFolder() + "ソ表 アルバム\\";
    makeFolder(folder);
    copyNamed(images() + "disc.flac", folder + "CDImage.flac");
    copyNamed(images() + "own.flac", folder + "表 ソ.flac");
    std::string sheet = readBytes(images() + "disc.cue");
    sheet.replace(sheet.find("disc.flac"), 9, "CDImage.flac");
    writeBytes(folder + "ソ表 アルバム.cue", sheet);
    return folder;
}

// The drop as the shell hands it over: DROPFILES with the wide name, in the
// receiving process, whose handle WM_DROPFILES carries.
void dropOn(HWND window, const PROCESS_INFORMATION& player, const std::string& file) {
    std::wstring name = wide(file);
    std::vector<char> block(sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t), 0);
    DROPFILES* drop = (DROPFILES*)block.data();
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(block.data() + sizeof(DROPFILES), name.c_str(), name.size() * sizeof(wchar_t));
    void* there = VirtualAllocEx(player.hProcess, 0, block.size(), MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(nullptr, there);
    ASSERT_TRUE(WriteProcessMemory(player.hProcess, there, block.data(), block.size(), 0));
    PostMessageW(window, WM_DROPFILES, (WPARAM)there, 0);
}

std::string image() {
    HKEY key;
    wchar_t path[MAX_PATH] = L"";
    DWORD size = sizeof path - sizeof *path;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kControl, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"Image", 0, 0, (BYTE*)path, &size);
        RegCloseKey(key);
    }
    return shiftJis(path);
}

// The message box a program shows (owned by `owner`, or any of the
// process's), its text; closed with OK.
std::string messageShown(HWND owner, DWORD process) {
    HWND box = owner ? waitForOwnedDialog(owner, 15000) : waitForWindowOf(process, "#32770", 15000);
    if (!box)
        return "<no message>";
    std::string text = windowText(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (DWORD waited = 0; IsWindow(box) && waited < 5000; waited += 50)
        Sleep(50);
    return text;
}

void setDriver(const char* driver) {
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMci32, 0, KEY_ALL_ACCESS, &key);
    setRegistryText(key, "cdaudio", driver);
    RegCloseKey(key);
}

// A play of the new disc since the log was last cleared.
bool playsAfter(const std::string& path) {
    bool played = waitForLog("MCI_PLAY", 15000);
    EXPECT_EQ(path, image()) << driveLog();
    EXPECT_TRUE(clearLog(logPath()));
    return played;
}

struct Refusal {
    std::string file;
    const char* says;
};

std::vector<Refusal> refusals() {
    return {{images() + "refuse-48k.cue", "(48000 Hz 16 ビット 2 チャンネル): "},
            {images() + "refuse-cut.cue", "FLAC ファイルが壊れているか、途中で切れています: "},
            {images() + "disc.flac", "トラックがありません: "}};
}

} // namespace

TEST(ImageDrop, ASheetOrAFlacDroppedOnThePlayerPlaysAndARefusalIsTold) {
    prepareDrive(1000);
    std::string folder = album();
    PROCESS_INFORMATION player = startProgram("Drovix.exe", "");
    HWND window = waitForWindowOf(player.dwProcessId, "#32770", 10000);
    ASSERT_NE(nullptr, window);
    WaitForInputIdle(player.hProcess, 5000);
    for (const std::string& file : {folder + "ソ表 アルバム.cue", folder + "表 ソ.flac"}) {
        EXPECT_TRUE(clearLog(logPath()));
        dropOn(window, player, file);
        EXPECT_TRUE(playsAfter(file)) << file << driveLog();
    }
    for (const Refusal& refusal : refusals()) {
        dropOn(window, player, refusal.file);
        std::string said = messageShown(window, 0);
        EXPECT_NE(std::string::npos, said.find("このイメージは再生できません。ドライブのディスクはそのままです")) << said;
        EXPECT_NE(std::string::npos, said.find(refusal.says)) << said;
        EXPECT_EQ(folder + "表 ソ.flac", image());
    }
    // A drive that is not the "cdaudio" driver takes nothing.
    setDriver("mcicda.dll");
    dropOn(window, player, folder + "ソ表 アルバム.cue");
    std::string said = messageShown(window, 0);
    setDriver("drovixcd.dll");
    EXPECT_NE(std::string::npos, said.find("仮想ＣＤドライブが入っていません")) << said;
    EXPECT_EQ(folder + "表 ソ.flac", image());
    EXPECT_EQ(0u, closePlayer(window, &player));
}

// The command as the settings tool stores it, with Explorer's %1 put in:
// Windows starts it as it stands.
TEST(ImageDrop, ExplorersCommandPlaysTheSheetWithOrWithoutAPlayerRunning) {
    prepareDrive(1000);
    std::string folder = album();
    std::string sheet = folder + "ソ表 アルバム.cue";
    auto command = [](const std::string& file) {
        return "\"" + programFolder() + "Drovix.exe\" /image \"" + file + "\"";
    };
    // No player: this one starts and plays.
    PROCESS_INFORMATION started = startCommand(command(sheet));
    ASSERT_TRUE(started.hProcess);
    EXPECT_TRUE(playsAfter(sheet)) << driveLog();
    HWND window = waitForWindowOf(started.dwProcessId, "#32770", 10000);
    ASSERT_NE(nullptr, window);
    // A player runs: the command hands the disc over and ends.
    PROCESS_INFORMATION second = startCommand(command(folder + "表 ソ.flac"));
    EXPECT_EQ(0u, waitForExit(&second, 20000));
    release(&second);
    EXPECT_TRUE(playsAfter(folder + "表 ソ.flac")) << driveLog();
    // Refused: said by the command's own start, the player and the drive
    // left as they were.
    for (const Refusal& refusal : refusals()) {
        PROCESS_INFORMATION refused = startCommand(command(refusal.file));
        std::string said = messageShown(0, refused.dwProcessId);
        EXPECT_NE(std::string::npos, said.find(refusal.says)) << said;
        EXPECT_EQ(0u, waitForExit(&refused, 20000));
        release(&refused);
        EXPECT_EQ(folder + "表 ソ.flac", image());
    }
    EXPECT_EQ(0u, closePlayer(window, &started));
}
