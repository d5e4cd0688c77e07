// vdrivectl: puts a disc in the virtual drive or takes it out, sets its time
// speed and its log, registers the drive as Windows' "cdaudio" driver, and
// writes a sheet's names into the player's title index. It says what it did,
// and refuses what it cannot do with the reason and a non-zero exit.
//   vdrivectl insert [sheet.cue]   the CUE sheet, or the demo disc
//   vdrivectl remove               an empty drive
//   vdrivectl speed N              time runs N times faster (1 to 1000)
//   vdrivectl log [file]           log every command to file; none: stop
//   vdrivectl show                 what the drive holds
//   vdrivectl install | uninstall  make the drive "cdaudio" (a copy of
//                                  drovixcd.dll in the system folder), or
//                                  put back the driver it replaced
//   vdrivectl titles [--replace] [sheet.cue] [index]
//                                  the sheet's names (or the demo disc's)
//                                  into the player's title index, for a disc
//                                  it does not name yet; --replace: also
//                                  over names it has
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../../common/ShiftJis.h"
#include "../../common/Text.h"
#include "Control.h"
#include "Install.h"
#include "SheetTitles.h"

namespace {

int setControl(const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kControlKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, name, 0, type, (const BYTE*)bytes, size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int setText(const char* name, const char* text) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kControlKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    LONG result = setTextValue(key, name, text);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

int setNumber(const char* name, DWORD value) { return setControl(name, REG_DWORD, &value, sizeof value); }

int refuse(const char* verb, const char* reason, const char* detail) {
    printText(stderr, "vdrivectl %s: %s%s\n", verb, reason, detail);
    return 1;
}

int registryRefused(const char* verb) { return refuse(verb, "レジストリに書き込めません: ", kControlKey); }

// A name with blanks typed without quotes arrives in pieces: refused, never
// cut at its first blank.
int insert(int argc, char** argv) {
    if (argc > 3)
        return refuse("insert", "名前に空白のあるファイルは \"\" で囲んでください: ", argv[2]);
    const char* sheet = argc > 2 ? argv[2] : 0;
    char full[MAX_PATH] = "";
    if (sheet) {
        DWORD length = fullPathName(sheet, full, MAX_PATH);
        if (!length || length >= MAX_PATH)
            return refuse("insert", "パスが長すぎます: ", sheet);
        DWORD attributes = fileAttributes(full);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return refuse("insert", "ファイルがありません: ", full);
    }
    // What the drive read of the disc before is no longer what it holds.
    if (!setText("Image", full) || !setNumber("Media", 1) || !setText("State", ""))
        return registryRefused("insert");
    printText(stdout, "vdrivectl: ドライブに %s を入れました\n", sheet ? full : "デモディスク");
    return 0;
}

int removeDisc() {
    if (!setNumber("Media", 0))
        return registryRefused("remove");
    printText(stdout, "vdrivectl: ドライブからディスクを取り出しました\n");
    return 0;
}

int speed(const char* argument) {
    int times = argument ? atoi(argument) : 0;
    if (times < 1 || times > 1000)
        return refuse("speed", "1 から 1000 までの数を指定してください: ", argument ? argument : "");
    if (!setNumber("Speed", (DWORD)times))
        return registryRefused("speed");
    printText(stdout, "vdrivectl: 時間が %d 倍の速さで進みます\n", times);
    return 0;
}

// A bare name is a file of the user's temporary folder, the only place the
// drive logs to.
int setLog(const char* name) {
    char file[MAX_PATH] = "";
    if (name) {
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        int bare = !lastSeparator(name) && !strchr(name, ':') && !strchr(name, '/');
        int written = snprintf(file, sizeof file, "%s%s", bare ? temp : "", name);
        if (written <= 0 || written >= (int)sizeof file || !isLogPlace(file))
            return refuse("log", "ログはユーザーの一時フォルダの中のファイルにしてください: ", temp);
    }
    if (!setText("Log", file))
        return registryRefused("log");
    if (name)
        printText(stdout, "vdrivectl: ドライブのログ: %s\n", file);
    else
        printText(stdout, "vdrivectl: ドライブのログを止めました\n");
    return 0;
}

int show() {
    DriveControl control;
    readControl(&control);
    printText(stdout, "ディスク:   %s\n速さ:       %u 倍\nログ:       %s\n読んだ結果: %s\n",
              !control.media     ? "(なし)"
              : control.image[0] ? control.image
                                 : "デモディスク",
              control.speed, control.logPath[0] ? control.logPath : "(なし)",
              control.state[0] ? control.state : "(まだ読んでいません)");
    return 0;
}

int usage() {
    fputs("usage: vdrivectl insert [sheet.cue] | remove | speed N | log [file] | show | install | uninstall |\n"
          "       titles [--replace] [sheet.cue] [index]\n",
          stderr);
    return 2;
}

// Names the user typed in the player are kept unless --replace asks; --new,
// once the way to ask for that, is taken as before.
int titles(int argc, char** argv) {
    int first = 2, replace = 0;
    for (; first < argc && (strcmp(argv[first], "--replace") == 0 || strcmp(argv[first], "--new") == 0); first++)
        replace = replace || strcmp(argv[first], "--replace") == 0;
    const char* sheet = argc > first && argv[first][0] ? argv[first] : 0;
    const char* index = argc > first + 1 ? argv[first + 1] : 0;
    char message[600];
    int failed = writeSheetTitles(sheet, index, !replace, message, sizeof message);
    printText(failed ? stderr : stdout, "vdrivectl titles: %s\n", message);
    return failed;
}

// On a system of another code page the arguments arrive in that code page,
// which holds no Japanese name: there they are taken again from the wide
// command line, as Shift-JIS, the paths' form everywhere else.
const int kMostArguments = 8;
char argumentText[kMostArguments][MAX_PATH * 2];
char* shiftJisArguments[kMostArguments];

char** argumentsAsShiftJis(int* argc, char** argv) {
    if (!wideCallsInUse())
        return argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return argv;
    int converted = count == *argc && count <= kMostArguments;
    for (int i = 0; converted && i < count; i++) {
        converted = toShiftJis(wide[i], argumentText[i], sizeof argumentText[i]);
        shiftJisArguments[i] = argumentText[i];
    }
    LocalFree(wide);
    return converted ? shiftJisArguments : argv;
}

} // namespace

int main(int argc, char** argv) {
    argv = argumentsAsShiftJis(&argc, argv);
    if (argc < 2)
        return usage();
    const char* verb = argv[1];
    const char* argument = argc > 2 ? argv[2] : 0;
    if (strcmp(verb, "insert") == 0)
        return insert(argc, argv);
    if (strcmp(verb, "remove") == 0)
        return removeDisc();
    if (strcmp(verb, "speed") == 0)
        return speed(argument);
    if (strcmp(verb, "log") == 0)
        return setLog(argument);
    if (strcmp(verb, "show") == 0)
        return show();
    if (strcmp(verb, "install") == 0)
        return installDrive();
    if (strcmp(verb, "uninstall") == 0)
        return uninstallDrive();
    if (strcmp(verb, "titles") == 0)
        return titles(argc, argv);
    return usage();
}
