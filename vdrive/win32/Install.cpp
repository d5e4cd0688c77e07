#include "Install.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "../../common/ProgramDirectory.h"
#include "Control.h"
#include "RealDrive.h"

namespace {

const char kMci32Key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32";
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

int readText(const char* keyName, const char* name, char text[kNameSize]) {
    HKEY key;
    memset(text, 0, kNameSize);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int read = readTextValue(key, name, text, kNameSize);
    RegCloseKey(key);
    return read && text[0];
}

int writeText(const char* keyName, const char* name, const char* text) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    LONG result = text ? RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1)
                       : RegDeleteValueA(key, name);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (!text && result == ERROR_FILE_NOT_FOUND);
}

// The platform reads the "cdaudio" value as a driver's name, cut at the first
// blank, and loads it from the system folder: the drive goes there under its
// own short name. The copy's path; 0 when it would not fit.
int systemCopy(char path[kNameSize]) {
    char folder[kNameSize];
    UINT length = GetSystemDirectoryA(folder, kNameSize);
    if (!length || length >= (UINT)kNameSize)
        return 0;
    int written = snprintf(path, kNameSize, "%s\\%s", folder, kDriverFile);
    return written > 0 && written < kNameSize;
}

// The driver in force is remembered unless it is the drive itself (a second
// install), so that uninstall puts back what was there before the first.
void remember(const char* name, const char* inForce) {
    if (inForce[0] && _stricmp(inForce, kDriverFile) != 0)
        writeText(kInstallKey, name, inForce);
}

} // namespace

int installDrive() {
    if (!isAdministrator())
        return refuse("install: 管理者の権限が必要です。管理者として開いたコマンド プロンプトで実行してください%s", "");
    char source[kNameSize], target[kNameSize], inForce[kNameSize];
    programDirectory(0, source);
    strncat(source, kDriverFile, sizeof source - strlen(source) - 1);
    if (fileAttributes(source) == INVALID_FILE_ATTRIBUTES)
        return refuse("install: %s がありません (vdrivectl.exe と同じフォルダに置いてください)", source);
    if (!systemCopy(target) || !copyFile(source, target))
        return refuse("install: %s をシステム フォルダにコピーできません", source);
    readText(kMci32Key, "cdaudio", inForce);
    remember(kReplacedMci32, inForce);
    if (!writeText(kMci32Key, "cdaudio", kDriverFile))
        return refuse("install: \"cdaudio\" ドライバを登録できません (%s)", kMci32Key);
    if (underWine()) {
        GetPrivateProfileStringA("mci", "cdaudio", "", inForce, kNameSize, "system.ini");
        remember(kReplacedSystemIni, inForce);
        if (!WritePrivateProfileStringA("mci", "cdaudio", kDriverFile, "system.ini"))
            return refuse("install: %s の [mci] に書き込めません", "system.ini");
    }
    printText(stdout, "vdrivectl: 仮想ＣＤドライブ (%s) を \"cdaudio\" ドライバにしました\n", target);
    return 0;
}

int driveInstalled() {
    char inForce[kNameSize];
    return readText(kMci32Key, "cdaudio", inForce) && _stricmp(inForce, kDriverFile) == 0;
}

int uninstallDrive() {
    if (!isAdministrator())
        return refuse("uninstall: 管理者の権限が必要です。管理者として開いたコマンド プロンプトで実行してください%s",
                      "");
    if (!driveInstalled()) {
        printText(stdout, "vdrivectl: 仮想ＣＤドライブは \"cdaudio\" ドライバではありません。戻すものはありません\n");
        return 0;
    }
    char previous[kNameSize], copy[kNameSize];
    if (!readText(kInstallKey, kReplacedMci32, previous))
        snprintf(previous, sizeof previous, "%s", kSystemDriver);
    if (!writeText(kMci32Key, "cdaudio", previous))
        return refuse("uninstall: \"cdaudio\" ドライバを戻せません (%s)", kMci32Key);
    writeText(kInstallKey, kReplacedMci32, 0);
    if (underWine()) {
        char previousIni[kNameSize];
        if (!readText(kInstallKey, kReplacedSystemIni, previousIni))
            snprintf(previousIni, sizeof previousIni, "%s", kSystemDriver);
        WritePrivateProfileStringA("mci", "cdaudio", previousIni, "system.ini");
        writeText(kInstallKey, kReplacedSystemIni, 0);
    }
    // A program that still has the drive open keeps the copy until it ends.
    if (systemCopy(copy) && !DeleteFileA(copy))
        MoveFileExA(copy, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
    printText(stdout, "vdrivectl: \"cdaudio\" ドライバを %s に戻しました\n", previous);
    return 0;
}
