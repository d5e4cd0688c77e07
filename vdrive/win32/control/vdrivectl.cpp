// vdrivectl: puts a disc in the virtual drive or takes it out, sets its time
// speed and its log, registers the drive as Windows' "cdaudio" driver, and
// writes a sheet's names into the player's title index. It says what it did,
// and refuses what it cannot do with the reason and a non-zero exit.
// Commands are read in any case; words a command does not take are refused.
//   vdrivectl insert [sheet.cue]   the CUE sheet (or a FLAC file with its
//                                  own), or the demo disc; --if-installed
//                                  first: only into an installed drive
//   vdrivectl remove               an empty drive
//   vdrivectl eject                open the door (insert closes it)
//   vdrivectl speed N              time runs N times faster (1 to 1000)
//   vdrivectl log [file]           log every command to file; none: stop
//   vdrivectl show                 what the drive holds
//   vdrivectl install | uninstall  make the drive "cdaudio" (a copy of
//                                  drovixcd.dll in the system folder), or
//                                  put back the driver it replaced
//   vdrivectl titles [--replace] [sheet.cue] [index]
//                                  the sheet's names (or those of the disc
//                                  in the drive)
//                                  into the player's title index, for a disc
//                                  it does not name yet; --replace: also
//                                  over names it has
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../../../common/IndexWords.h"
#include "../../../common/ShiftJis.h"
#include "../../../common/Text.h"
#include "../link/Control.h"
#include "../link/HostTrust.h"
#include "HostCommands.h"
#include "../host/ImageFiles.h"
#include "Install.h"
#include "../driver/RealDrive.h"
#include "SheetTitles.h"

namespace {

int refuse(const char* verb, const char* reason, const char* detail) {
    printText(stderr, "vdrivectl %s: %s%s\n", verb, reason, detail);
    return 1;
}

int registryRefused(const char* verb) { return refuse(verb, "レジストリに書き込めません: ", kControlKey); }

// The arguments, as Windows gives them (any character: the image's path is
// kept so), and in Shift-JIS, the form of every other name here. One too
// long for its buffer, or (where Shift-JIS is needed) with a character
// Shift-JIS lacks, is refused as such, never cut or given "?". On a system
// of another code page the arguments arrive in that code page, which holds
// no Japanese name.
const int kMostArguments = 8;
wchar_t wideArguments[kMostArguments][MAX_PATH];
char argumentText[kMostArguments][MAX_PATH * 2];
char* shiftJisArguments[kMostArguments];
int argumentTooLong[kMostArguments];
int argumentUnfit[kMostArguments];

char** takeArguments(int* argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide || count != *argc || count > kMostArguments) {
        if (wide)
            LocalFree(wide);
        for (int i = 0; i < *argc && i < kMostArguments; i++)
            toWide(argv[i], wideArguments[i], MAX_PATH);
        return argv;
    }
    for (int i = 0; i < count; i++) {
        argumentTooLong[i] = lstrlenW(wide[i]) >= MAX_PATH;
        lstrcpynW(wideArguments[i], wide[i], MAX_PATH);
        // Shown with "?" where it does not fit; used only where it does.
        argumentUnfit[i] = !toShiftJis(wideArguments[i], argumentText[i], sizeof argumentText[i]);
        if (argumentUnfit[i] &&
            !WideCharToMultiByte(932, 0, wideArguments[i], -1, argumentText[i], sizeof argumentText[i], "?", 0))
            argumentText[i][0] = 0;
        shiftJisArguments[i] = argumentText[i];
    }
    LocalFree(wide);
    return shiftJisArguments;
}

// An argument that looks like an option where none is taken.
// (A negative number is a number.)
int isOption(const char* argument) {
    return (argument[0] == '-' || argument[0] == '/') && !(argument[1] >= '0' && argument[1] <= '9');
}

int unknownOption(const char* verb, const char* option) { return refuse(verb, "知らないオプションです: ", option); }

// A command given more words than it takes.
int extraWords(const char* verb, const char* word) { return refuse(verb, "余分な語があります: ", word); }

// The drive is given only an image it can play: read here as the drive
// will read it, and refused with the reason, the drive keeping its disc.
// A name with blanks typed without quotes arrives in pieces: refused, never
// cut at its first blank.
int insert(int argc, char** argv) {
    if (argc > 3)
        return refuse("insert", "名前に空白のあるファイルは \"\" で囲んでください: ", argv[2]);
    const char* sheet = argc > 2 ? argv[2] : 0;
    if (sheet && isOption(sheet))
        return unknownOption("insert", sheet);
    wchar_t full[MAX_PATH] = L"";
    char shown[MAX_PATH * 2] = "";
    if (sheet) {
        DWORD length = GetFullPathNameW(wideArguments[2], MAX_PATH, full, 0);
        if (!length || length >= MAX_PATH)
            return refuse("insert", "パスが長すぎます: ", sheet);
        shownPath(full, shown, sizeof shown);
        DWORD attributes = GetFileAttributesW(full);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return refuse("insert", "ファイルがありません: ", shown);
        static VirtualDisc disc;
        static ImageRefusal refusal;
        if (!loadImage(full, &disc, &refusal)) {
            char reason[600];
            refusalTextJapanese(refusal, reason, sizeof reason);
            return refuse("insert", "このイメージは再生できません。ドライブのディスクはそのままです: ", reason);
        }
    }
    // What the drive read of the disc before is no longer what it holds. A
    // disc put in closes the tray, as a user who puts one in expects.
    if (!setControlImage(full) || !setControlNumber(kControlMedia, 1) || !setControlText(kControlState, "") ||
        !setControlNumber(kControlDoor, 0))
        return registryRefused("insert");
    printText(stdout, "vdrivectl: ドライブに %s を入れました\n", sheet ? shown : "デモディスク");
    return 0;
}

// A program that puts a disc in for its user (the player's drop, Explorer's
// command) asks first that the drive be the one its programs hear: an image
// put in a drive that is not installed would change nothing the user sees.
int insertIfInstalled(int argc, char** argv) {
    if (!driveInstalled())
        return refuse("insert", "仮想ＣＤドライブが入っていません。管理者として vdrivectl install を実行してください",
                      "");
    for (int i = 2; i + 1 < argc && i + 1 < kMostArguments; i++) {
        argv[i] = argv[i + 1];
        memcpy(wideArguments[i], wideArguments[i + 1], sizeof wideArguments[i]);
    }
    return insert(argc - 1, argv);
}

int removeDisc() {
    if (!setControlNumber(kControlMedia, 0))
        return registryRefused("remove");
    printText(stdout, "vdrivectl: ドライブからディスクを取り出しました\n");
    return 0;
}

// The door opens as at a player's Eject: the play stops, the disc stays in
// the tray until the door closes again (a program's Eject, or an insert).
int eject() {
    if (!setControlNumber(kControlDoor, 1))
        return registryRefused("eject");
    printText(stdout, "vdrivectl: ドライブのドアを開けました\n");
    return 0;
}

// The whole word is the number: "5x" or "1e3" is none.
int speed(const char* argument) {
    char* end = 0;
    long times = argument ? strtol(argument, &end, 10) : 0;
    if (!argument || end == argument || *end || times < 1 || times > 1000)
        return refuse("speed", "1 から 1000 までの数を指定してください: ", argument ? argument : "");
    if (!setControlNumber(kControlSpeed, (DWORD)times))
        return registryRefused("speed");
    printText(stdout, "vdrivectl: 時間が %d 倍の速さで進みます\n", (int)times);
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
    if (!setControlText(kControlLog, file))
        return registryRefused("log");
    if (name)
        printText(stdout, "vdrivectl: ドライブのログ: %s\n", file);
    else
        printText(stdout, "vdrivectl: ドライブのログを止めました\n");
    return 0;
}

// Each file of the disc with its kind, as the drive reads it.
void showFile(const VirtualDisc& disc, int32_t file) {
    static const char* const kinds[] = {"BIN ", "WAV ", "FLAC"};
    wchar_t wide[kFileNameSize];
    char shown[kFileNameSize * 2] = "?";
    if (utf8ToWide(disc.files[file], wide, kFileNameSize))
        shownPath(wide, shown, sizeof shown);
    printText(stdout, "ファイル:   %s %s\n", kinds[disc.fileKind[file] <= kKindFlac ? disc.fileKind[file] : 0], shown);
}

int show() {
    DriveControl control;
    readControl(&control);
    char reading[700], image[MAX_PATH * 2];
    shownPath(control.image, image, sizeof image);
    static VirtualDisc disc;
    static ImageRefusal refusal;
    int loaded = 0;
    if (!control.media)
        snprintf(reading, sizeof reading, "ディスクはありません");
    else if (control.imageUnreadable)
        snprintf(reading, sizeof reading, "Image の値がドライブの読めるパスではありません");
    else if ((loaded = loadImage(control.image, &disc, &refusal)))
        snprintf(reading, sizeof reading, "%d トラック、再生できます", (int)disc.trackCount);
    else
        refusalTextJapanese(refusal, reading, sizeof reading);
    printText(stdout, "ディスク:   %s\nドア:       %s\n速さ:       %u 倍\nログ:       %s\n読んだ結果: %s\n",
              !control.media     ? "(なし)"
              : control.image[0] ? image
                                 : "デモディスク",
              control.doorOpen ? "開いています" : "閉じています", control.speed,
              control.logPath[0] ? control.logPath : "(なし)", reading);
    for (int32_t i = 0; loaded && i < disc.fileCount; i++)
        showFile(disc, i);
    char own[MAX_PATH];
    replacedDriver(own);
    if (!driveInstalled())
        printText(stdout, "仮想ＣＤドライブは \"cdaudio\" ドライバではありません (vdrivectl install で入れます)\n");
    else if (control.media)
        printText(stdout, "応答:       仮想ＣＤドライブ (イメージを取り出すと PC のＣＤドライブ)\n");
    else
        printText(stdout, "応答:       PC のＣＤドライブ (%s)\n", own);
    showHost();
    return 0;
}

const char kUsage[] = "使い方: vdrivectl コマンド\n"
                      "  insert [シート.cue]   ディスクを入れる (シートがなければデモディスク)\n"
                      "  remove                ディスクを取り出す\n"
                      "  eject                 ドアを開ける (insert で閉じる)\n"
                      "  speed N               時間を N 倍 (1 から 1000) の速さで進める\n"
                      "  log [ファイル]        一時フォルダのファイルにログを取る (なし: 止める)\n"
                      "  show                  ドライブの状態を見る\n"
                      "  install | uninstall   仮想ドライブを \"cdaudio\" ドライバにする、元に戻す\n"
                      "  leave                 ドライブのホストを終える (開いているプログラムがなくなったら)\n"
                      "  titles [--replace] [シート.cue] [曲名ファイル]\n"
                      "                        シートの曲名を曲名ファイルに書く\n"
                      "  help, /?              この説明\n";

// Asked for: on the output, and a success. Otherwise: on the error stream.
int usage(int asked) {
    printText(asked ? stdout : stderr, "%s", kUsage);
    return asked ? 0 : 2;
}

// Names the user typed in the player are kept unless --replace asks; --new,
// once the way to ask for that, is taken as before.
int titles(int argc, char** argv) {
    int first = 2, replace = 0;
    for (; first < argc && isOption(argv[first]); first++) {
        if (_stricmp(argv[first], "--replace") != 0 && _stricmp(argv[first], "--new") != 0)
            return unknownOption("titles", argv[first]);
        replace = replace || _stricmp(argv[first], "--replace") == 0;
    }
    if (argc > first + 2)
        return extraWords("titles", argv[first + 2]);
    const wchar_t* sheet = argc > first && argv[first][0] ? wideArguments[first] : 0;
    const char* index = argc > first + 1 ? argv[first + 1] : 0;
    // Without a sheet: the disc in the drive.
    DriveControl control;
    if (!sheet) {
        readControl(&control);
        if (!control.media || control.imageUnreadable) {
            printText(stderr, "vdrivectl titles: ドライブにディスクがありません。シートを指定してください\n");
            return 1;
        }
        sheet = control.image[0] ? control.image : 0;
    }
    char message[2 * kIndexWordsSize];
    int failed = writeSheetTitles(sheet, index, !replace, message, sizeof message);
    printText(failed ? stderr : stdout, "vdrivectl titles: %s\n", message);
    return failed;
}

// The commands, and how many words each takes after its name (titles
// counts its own).
struct Command {
    const char* name;
    int mostWords;
};
const Command kCommands[] = {{"insert", 1},  {"remove", 0},    {"eject", 0},   {"speed", 1},
                             {"log", 1},     {"show", 0},      {"install", 0}, {"uninstall", 0},
                             {"leave", 0},   {"titles", -1}};

int run(const char* verb, int argc, char** argv) {
    const char* argument = argc > 2 ? argv[2] : 0;
    if (_stricmp(verb, "insert") == 0)
        return argc > 2 && strcmp(argv[2], "--if-installed") == 0 ? insertIfInstalled(argc, argv) : insert(argc, argv);
    if (_stricmp(verb, "remove") == 0)
        return removeDisc();
    if (_stricmp(verb, "eject") == 0)
        return eject();
    if (_stricmp(verb, "speed") == 0)
        return speed(argument);
    if (_stricmp(verb, "log") == 0)
        return setLog(argument);
    if (_stricmp(verb, "show") == 0)
        return show();
    if (_stricmp(verb, "leave") == 0)
        return hostLeaves();
    // The host lets go of the DLL before it is copied or removed.
    if (_stricmp(verb, "install") == 0)
        return askHostToLeave(kLeaveWaitMs), installDrive();
    if (_stricmp(verb, "uninstall") == 0)
        return askHostToLeave(kLeaveWaitMs), uninstallDrive();
    return titles(argc, argv);
}

// The names kept in Shift-JIS: a log file's, and the title index's (the
// player's paths are Shift-JIS). An image's path is kept as Windows names it.
int needsShiftJis(const char* verb, int argc, char** argv, int at) {
    if (_stricmp(verb, "log") == 0)
        return 1;
    if (_stricmp(verb, "titles") != 0)
        return 0;
    int first = 2;
    while (first < argc && isOption(argv[first]))
        first++;
    return at == first + 1;
}

int checkArguments(const char* verb, int argc, char** argv) {
    for (int at = 2; at < argc && at < kMostArguments; at++) {
        if (argumentTooLong[at])
            return refuse(verb, "長すぎる名前です (259 文字まで): ", argv[at]);
        if (argumentUnfit[at] && needsShiftJis(verb, argc, argv, at))
            return refuse(verb, "Shift-JIS で表せない文字がある名前は使えません: ", argv[at]);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    argv = takeArguments(&argc, argv);
    if (argc < 2)
        return usage(0);
    const char* verb = argv[1];
    if (_stricmp(verb, "help") == 0 || strcmp(verb, "/?") == 0 || strcmp(verb, "-?") == 0)
        return usage(1);
    for (const Command& command : kCommands) {
        if (_stricmp(verb, command.name) != 0)
            continue;
        int refused = checkArguments(command.name, argc, argv);
        if (refused)
            return refused;
        // insert explains a name in pieces and an option itself.
        int words = argc - 2;
        int own = _stricmp(verb, "insert") == 0;
        if (!own && command.mostWords >= 0 && words > command.mostWords)
            return extraWords(command.name, argv[2 + command.mostWords]);
        if (!own && command.mostWords == 1 && words == 1 && isOption(argv[2]))
            return unknownOption(command.name, argv[2]);
        return run(verb, argc, argv);
    }
    printText(stderr, "vdrivectl: 知らないコマンドです: %s\n", verb);
    return usage(0);
}
