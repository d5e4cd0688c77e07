// vdrivectl: puts a disc in the virtual drive or takes it out, sets its time
// speed and its log, and registers the drive as Windows' "cdaudio" driver.
//   vdrivectl insert [sheet.cue]   the CUE sheet, or the demo disc
//   vdrivectl remove               an empty drive
//   vdrivectl speed N              time runs N times faster (1 to 1000)
//   vdrivectl log [file]           log every command to file; none: stop
//   vdrivectl show                 what the drive holds
//   vdrivectl install | uninstall  (Windows) make the drive "cdaudio" (a
//                                  copy in the system folder), or put back
//                                  the driver it replaced
//   vdrivectl titles [--new] [sheet.cue] [index]
//                                  the sheet's names (or the demo disc's)
//                                  into the player's title index; --new:
//                                  only when it has no record of the disc
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Control.h"
#include "SheetTitles.h"

namespace {

const char kMci32Key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32";

int setText(HKEY root, const char* keyName, const char* name, const char* text) {
    HKEY key;
    if (RegCreateKeyExA(root, keyName, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int setNumber(const char* name, DWORD value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kControlKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int readText(HKEY root, const char* keyName, const char* name, char* text, DWORD size) {
    HKEY key;
    memset(text, 0, size);
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD length = size - 1;
    LONG result = RegQueryValueExA(key, name, 0, 0, (BYTE*)text, &length);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int insert(const char* sheet) {
    char full[MAX_PATH] = "";
    if (sheet && !GetFullPathNameA(sheet, MAX_PATH, full, 0))
        return 0;
    return setText(HKEY_CURRENT_USER, kControlKey, "Image", full) && setNumber("Media", 1);
}

int show() {
    DriveControl control;
    readControl(&control);
    printf("disc:  %s\nspeed: %u\nlog:   %s\nread:  %s\n",
           !control.media ? "(none)" : control.image[0] ? control.image : "demo", control.speed,
           control.logPath[0] ? control.logPath : "(none)", control.state[0] ? control.state : "(nothing yet)");
    return 1;
}

// The platform reads the "cdaudio" value as a driver's name, cut at the
// first blank, and loads it from the system folder. So the drive's DLL, which
// stands beside this program, goes there under a short name of its own, and
// the value names it; the value it replaced is kept for uninstall.
const char kInstalledName[] = "drovixcd.dll";

// The copy's path in the system folder; 0 when it would not fit.
int systemCopy(char path[MAX_PATH]) {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (!length || length >= MAX_PATH)
        return 0;
    int written = snprintf(path, MAX_PATH, "%s\\%s", folder, kInstalledName);
    return written > 0 && written < MAX_PATH;
}

// The system folder and the machine's driver list take changes only from
// an administrator: said first, plainly, rather than half an install.
int isAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = 0;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators))
        return 0;
    BOOL member = FALSE;
    if (!CheckTokenMembership(0, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

int refuseWithoutAdministrator(const char* verb) {
    if (isAdministrator())
        return 0;
    fprintf(stderr,
            "vdrivectl %s: administrator rights are needed; run it from a command prompt opened as administrator\n",
            verb);
    return 1;
}

int install() {
    char source[MAX_PATH], target[MAX_PATH], previous[MAX_PATH];
    GetModuleFileNameA(0, source, MAX_PATH);
    strcpy(strrchr(source, '\\') + 1, "mcicda.dll");
    if (!systemCopy(target) || !CopyFileA(source, target, FALSE)) {
        fprintf(stderr, "vdrivectl: cannot copy %s into the system folder (run it as administrator)\n", source);
        return 0;
    }
    if (readText(HKEY_LOCAL_MACHINE, kMci32Key, "cdaudio", previous, sizeof previous) &&
        _stricmp(previous, kInstalledName) != 0)
        setText(HKEY_CURRENT_USER, kControlKey, "ReplacedDriver", previous);
    return setText(HKEY_LOCAL_MACHINE, kMci32Key, "cdaudio", kInstalledName);
}

int uninstall() {
    char previous[MAX_PATH], copy[MAX_PATH];
    if (!readText(HKEY_CURRENT_USER, kControlKey, "ReplacedDriver", previous, sizeof previous) || !previous[0])
        strcpy(previous, "mcicda.dll");
    if (!setText(HKEY_LOCAL_MACHINE, kMci32Key, "cdaudio", previous))
        return 0;
    // A program that still has the drive open keeps the copy until it ends.
    if (systemCopy(copy) && !DeleteFileA(copy))
        MoveFileExA(copy, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 1;
}

int usage() {
    fputs("usage: vdrivectl insert [sheet.cue] | remove | speed N | log [file] | show | install | uninstall |\n"
          "       titles [--new] [sheet.cue] [index]\n",
          stderr);
    return 2;
}

int titles(int argc, char** argv) {
    int onlyNew = argc > 2 && strcmp(argv[2], "--new") == 0;
    int first = onlyNew ? 3 : 2;
    const char* sheet = argc > first && argv[first][0] ? argv[first] : 0;
    const char* index = argc > first + 1 ? argv[first + 1] : 0;
    char message[600];
    int failed = writeSheetTitles(sheet, index, onlyNew, message, sizeof message);
    fprintf(failed ? stderr : stdout, "vdrivectl titles: %s\n", message);
    return failed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const char* verb = argv[1];
    const char* argument = argc > 2 ? argv[2] : 0;
    if (strcmp(verb, "titles") == 0)
        return titles(argc, argv);
    int done;
    if (strcmp(verb, "insert") == 0)
        done = insert(argument);
    else if (strcmp(verb, "remove") == 0)
        done = setNumber("Media", 0);
    else if (strcmp(verb, "speed") == 0 && argument && atoi(argument) >= 1 && atoi(argument) <= 1000)
        done = setNumber("Speed", (DWORD)atoi(argument));
    else if (strcmp(verb, "log") == 0)
        done = setText(HKEY_CURRENT_USER, kControlKey, "Log", argument ? argument : "");
    else if (strcmp(verb, "show") == 0)
        done = show();
    else if (strcmp(verb, "install") == 0 || strcmp(verb, "uninstall") == 0) {
        if (refuseWithoutAdministrator(verb))
            return 1;
        done = strcmp(verb, "install") == 0 ? install() : uninstall();
    }
    else
        return usage();
    if (!done) {
        fprintf(stderr, "vdrivectl %s: the registry refused the change\n", verb);
        return 1;
    }
    return 0;
}
