#include "Install.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "../../../common/ProgramDirectory.h"
#include "../link/Control.h"
#include "../driver/RealDrive.h"

namespace {

const int kNameSize = MAX_PATH;

int refuse(const char* format, const char* detail) {
    char reason[kNameSize * 2];
    snprintf(reason, sizeof reason, format, detail);
    printText(stderr, "vdrivectl: %s\n", reason);
    return 1;
}

// The system folder and the machine's driver list take changes only from an
// administrator: said first, plainly, rather than half an install.
int isAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = 0;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return 0;
    BOOL member = FALSE;
    if (!CheckTokenMembership(0, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

int underWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != 0; }

// Where a driver of one kind (32- or 64-bit) is installed: the file beside
// vdrivectl, its system folder and its registry view. On 64-bit Windows both
// views are named explicitly, whichever kind vdrivectl is, so that WOW64
// redirects neither the folder nor the keys behind its back.
struct View {
    const char* file;
    REGSAM registry;
    char systemFolder[kNameSize];
    const char* kind; // as the messages say it
};

// The views of this Windows: one on 32-bit Windows; on 64-bit Windows the
// one of vdrivectl's own kind, with drovixcd.dll beside it, and the other,
// with its driver in x64\ (or x86\) beside it.
int viewsOfThisWindows(View views[2]) {
    SYSTEM_INFO native;
    GetNativeSystemInfo(&native);
    int windows64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                    native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    // IsWow64Process came with XP SP2: without it, no WOW64.
    typedef BOOL(WINAPI * Wow64Query)(HANDLE, PBOOL);
    Wow64Query isWow64 =
        (Wow64Query)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL underWow64 = FALSE;
    if (isWow64)
        isWow64(GetCurrentProcess(), &underWow64);
    char windows[kNameSize];
    UINT length = GetSystemDirectoryA(views[0].systemFolder, kNameSize);
    if (!length || length >= (UINT)kNameSize || !GetWindowsDirectoryA(windows, kNameSize))
        return 0;
    views[0].file = kDriverFile;
    views[0].registry = 0;
    views[0].kind = "";
    if (!windows64)
        return 1;
    // 32-bit code's system folder is SysWOW64; 64-bit code's is System32,
    // which a 32-bit program reaches as Sysnative.
    View& own = views[0];
    View& other = views[1];
    char wow64[kNameSize];
    if (!GetSystemWow64DirectoryA(wow64, kNameSize))
        return 1;
    if (underWow64) {
        snprintf(own.systemFolder, kNameSize, "%s", wow64);
        snprintf(other.systemFolder, kNameSize, "%s\\Sysnative", windows);
        own.registry = KEY_WOW64_32KEY;
        other.registry = KEY_WOW64_64KEY;
        other.file = "x64\\drovixcd.dll";
        own.kind = "32 ビットの";
        other.kind = "64 ビットの";
    } else {
        snprintf(other.systemFolder, kNameSize, "%s", wow64);
        own.registry = KEY_WOW64_64KEY;
        other.registry = KEY_WOW64_32KEY;
        other.file = "x86\\drovixcd.dll";
        own.kind = "64 ビットの";
        other.kind = "32 ビットの";
    }
    return 2;
}

int readText(const View& view, const char* keyName, const char* name, char text[kNameSize]) {
    HKEY key;
    memset(text, 0, kNameSize);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ | view.registry, &key) != ERROR_SUCCESS)
        return 0;
    int read = readTextValue(key, name, text, kNameSize);
    RegCloseKey(key);
    return read && text[0];
}

int writeText(const View& view, const char* keyName, const char* name, const char* text) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, 0, 0, KEY_ALL_ACCESS | view.registry, 0, &key, 0) !=
        ERROR_SUCCESS)
        return 0;
    LONG result = text ? RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1)
                       : RegDeleteValueA(key, name);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (!text && result == ERROR_FILE_NOT_FOUND);
}

// The platform reads the "cdaudio" value as a driver's name, cut at the first
// blank, and loads it from the system folder: the drive goes there under its
// own short name. The copy's path; 0 when it would not fit.
int systemCopy(const View& view, char path[kNameSize]) {
    int written = snprintf(path, kNameSize, "%s\\%s", view.systemFolder, kDriverFile);
    return written > 0 && written < kNameSize;
}

int installedIn(const View& view) { return driveInstalledIn(view.registry); }

// The driver in force is remembered unless it is the drive itself (a second
// install), so that uninstall puts back what was there before the first.
void remember(const View& view, const char* name, const char* inForce) {
    if (inForce[0] && _stricmp(inForce, kDriverFile) != 0)
        writeText(view, kInstallKey, name, inForce);
}

// One kind's driver into its folder and its view.
int installIn(const View& view, const char* source) {
    char target[kNameSize], inForce[kNameSize];
    if (!systemCopy(view, target) || !copyFile(source, target))
        return refuse("install: %s をシステム フォルダにコピーできません", source);
    readText(view, kMci32Key, kCdAudioValue, inForce);
    remember(view, kReplacedMci32, inForce);
    if (!writeText(view, kMci32Key, kCdAudioValue, kDriverFile))
        return refuse("install: \"cdaudio\" ドライバを登録できません (%s)", kMci32Key);
    printText(stdout, "vdrivectl: %s仮想ＣＤドライブ (%s) を \"cdaudio\" ドライバにしました\n", view.kind, target);
    return 0;
}

// Puts back what one kind's install replaced: 1 when it did, 0 when the
// drive was not installed there, -1 when it could not.
int uninstallIn(const View& view, char previous[kNameSize]) {
    char copy[kNameSize];
    if (!installedIn(view))
        return 0;
    if (!readText(view, kInstallKey, kReplacedMci32, previous))
        snprintf(previous, kNameSize, "%s", kSystemDriver);
    if (!writeText(view, kMci32Key, kCdAudioValue, previous)) {
        refuse("uninstall: \"cdaudio\" ドライバを戻せません (%s)", kMci32Key);
        return -1;
    }
    writeText(view, kInstallKey, kReplacedMci32, 0);
    // A program that still has the drive open keeps the copy until it ends.
    if (systemCopy(view, copy) && !DeleteFileA(copy))
        MoveFileExA(copy, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
    printText(stdout, "vdrivectl: %s%s\"cdaudio\" ドライバを %s に戻しました\n", view.kind, view.kind[0] ? " " : "",
              previous);
    return 1;
}

// What install kept for the machine goes with its last value: no empty key
// of Drovix's stays in either view.
void forgetInstall(const View views[2], int count) {
    for (int i = 0; i < count; i++)
        deleteEmptyDriveKeys(HKEY_LOCAL_MACHINE, views[i].registry);
}

} // namespace

int installDrive() {
    if (!isAdministrator())
        return refuse("install: 管理者の権限が必要です。管理者として開いたコマンド プロンプトで実行してください%s", "");
    View views[2];
    int count = viewsOfThisWindows(views);
    for (int i = 0; i < count; i++) {
        char source[kNameSize];
        programDirectory(0, source);
        strncat(source, views[i].file, sizeof source - strlen(source) - 1);
        if (fileAttributes(source) == INVALID_FILE_ATTRIBUTES) {
            if (i == 0)
                return refuse("install: %s がありません (vdrivectl.exe と同じフォルダに置いてください)", source);
            printText(stdout, "vdrivectl: %s がないので、%sプログラムには仮想ＣＤドライブが見えません\n", source,
                      views[i].kind);
            continue;
        }
        if (installIn(views[i], source))
            return 1;
    }
    if (underWine()) {
        char inForce[kNameSize];
        GetPrivateProfileStringA("mci", "cdaudio", "", inForce, kNameSize, "system.ini");
        remember(views[0], kReplacedSystemIni, inForce);
        if (!WritePrivateProfileStringA("mci", "cdaudio", kDriverFile, "system.ini"))
            return refuse("install: %s の [mci] に書き込めません", "system.ini");
    }
    return 0;
}

int driveInstalled() {
    View views[2];
    return viewsOfThisWindows(views) && installedIn(views[0]);
}

int uninstallDrive() {
    if (!isAdministrator())
        return refuse("uninstall: 管理者の権限が必要です。管理者として開いたコマンド プロンプトで実行してください%s",
                      "");
    View views[2];
    int count = viewsOfThisWindows(views), undone = 0;
    char previous[kNameSize];
    for (int i = 0; i < count; i++) {
        int result = uninstallIn(views[i], previous);
        if (result < 0)
            return 1;
        undone += result;
    }
    if (!undone) {
        forgetInstall(views, count);
        printText(stdout, "vdrivectl: 仮想ＣＤドライブは \"cdaudio\" ドライバではありません。戻すものはありません\n");
        return 0;
    }
    if (underWine()) {
        char previousIni[kNameSize];
        if (!readText(views[0], kInstallKey, kReplacedSystemIni, previousIni))
            snprintf(previousIni, sizeof previousIni, "%s", kSystemDriver);
        WritePrivateProfileStringA("mci", "cdaudio", previousIni, "system.ini");
        writeText(views[0], kInstallKey, kReplacedSystemIni, 0);
    }
    forgetInstall(views, count);
    return 0;
}
