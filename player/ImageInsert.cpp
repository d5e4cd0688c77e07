// A CD image put in the virtual drive for the player's user, dropped on the
// window or named by Explorer's command, and played as a disc put in with
// "/play" is. vdrivectl beside the player puts it in: it reads the image as
// the drive will (the player carries no decoder) and refuses what the drive
// cannot play, or a drive that is not installed, with the reason, which the
// player shows; the drive then keeps its disc.
#include "PlayerWindow.h"

#include <string.h>

#include "../common/Text.h"
#include "../engine/DiscEngine.h"
#include "Texts.h"

namespace {

// vdrivectl reads an image within a second; one that takes far longer is
// hung, and ended.
const DWORD kInsertWaitMs = 15000;
const int kSaidSize = 1024;

typedef BOOL(WINAPI* CreateProcessWideCall)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                            DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
typedef void(WINAPI* DragAcceptCall)(HWND, BOOL);
typedef UINT(WINAPI* DragQueryWideCall)(HANDLE, UINT, LPWSTR, UINT);
typedef void(WINAPI* DragFinishCall)(HANDLE);

// The shell's drag and drop, looked up: the player imports nothing of
// shell32, which Windows 95 loads only on demand.
FARPROC shellCall(const char* name) {
    HMODULE shell = LoadLibraryA("shell32.dll");
    return shell ? GetProcAddress(shell, name) : 0;
}

// vdrivectl's words without its own name before them.
const char* reasonIn(const char* said) {
    const char* colon = strstr(said, "insert: ");
    return colon ? colon + 8 : said;
}

// Appends a wide text within `size` characters; 0 when it does not fit.
int32_t append(wchar_t* line, int size, int* length, const wchar_t* text) {
    for (; *text; text++) {
        if (*length >= size - 1)
            return 0;
        line[(*length)++] = *text;
    }
    line[*length] = 0;
    return 1;
}

// Runs vdrivectl insert on the image, its output in `said`; its exit code,
// or -1 when it could not run or did not end in time.
int32_t runInsert(const char* programDir, const wchar_t* image, char* said, int size, int32_t* hung) {
    CreateProcessWideCall createProcess =
        (CreateProcessWideCall)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateProcessW");
    wchar_t folder[kPathSize], line[3 * kPathSize];
    int length = 0, room = sizeof line / sizeof *line;
    if (!createProcess || !toWide(programDir, folder, kPathSize) || !append(line, room, &length, L"\"") ||
        !append(line, room, &length, folder) ||
        !append(line, room, &length, L"vdrivectl.exe\" insert --if-installed \"") ||
        !append(line, room, &length, image) || !append(line, room, &length, L"\""))
        return -1;
    // Its output fits the pipe: it is read once vdrivectl has ended.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE reading = 0, writing = 0;
    if (!CreatePipe(&reading, &writing, &inherit, kSaidSize * 4))
        return -1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writing;
    PROCESS_INFORMATION tool = {};
    BOOL started = createProcess(0, line, 0, 0, TRUE, CREATE_NO_WINDOW, 0, 0, &startup, &tool);
    CloseHandle(writing);
    DWORD code = (DWORD)-1;
    if (started) {
        *hung = WaitForSingleObject(tool.hProcess, kInsertWaitMs) != WAIT_OBJECT_0;
        if (*hung)
            TerminateProcess(tool.hProcess, 1);
        else
            GetExitCodeProcess(tool.hProcess, &code);
        CloseHandle(tool.hThread);
        CloseHandle(tool.hProcess);
    }
    DWORD got = 0, total = 0;
    while (started && total < (DWORD)size - 1 && ReadFile(reading, said + total, size - 1 - total, &got, 0) && got)
        total += got;
    said[total] = 0;
    CloseHandle(reading);
    return started && !*hung ? (int32_t)code : -1;
}

} // namespace

int32_t insertImage(HWND owner, const char* programDir, const wchar_t* image) {
    char said[kSaidSize] = "";
    int32_t hung = 0;
    int32_t code = runInsert(programDir, image, said, sizeof said, &hung);
    if (code == 0)
        return 1;
    const char* message = hung ? kTextControlToolHung : code < 0 ? kTextNoControlTool : reasonIn(said);
    showMessage(owner, message, kTextPlayerCaption, MB_ICONEXCLAMATION);
    return 0;
}

void PlayerWindow::listenToDrops() {
    DragAcceptCall dragAccept = (DragAcceptCall)(void*)shellCall("DragAcceptFiles");
    if (dragAccept)
        dragAccept(window, TRUE);
}

// The first file dropped goes in; the shell's handle is let go at once.
void PlayerWindow::dropImage(HANDLE drop) {
    DragQueryWideCall dragQuery = (DragQueryWideCall)(void*)shellCall("DragQueryFileW");
    DragFinishCall dragFinish = (DragFinishCall)(void*)shellCall("DragFinish");
    wchar_t image[kPathSize] = L"";
    UINT length = dragQuery && wideCallsInUse() ? dragQuery(drop, 0, image, kPathSize) : 0;
    if (dragFinish)
        dragFinish(drop);
    if (!length || length >= (UINT)kPathSize) {
        showMessage(window, wideCallsInUse() ? kTextDropOneImage : kTextNoVirtualDrive, kTextPlayerCaption,
                    MB_ICONEXCLAMATION);
        return;
    }
    SetForegroundWindow(window);
    if (insertImage(window, programDir, image))
        playInsertedDisc();
}

// The disc put in plays once the drive has read it, as after AutoPlay's
// "/play"; what played before stops, as its disc goes out.
void PlayerWindow::playInsertedDisc() {
    if (discEngine.playState() != kStopped)
        discEngine.stop();
    discLoaded = 0;
    autoplayStart = 1;
}

namespace {

const wchar_t* skipBlanks(const wchar_t* at) {
    while (*at == L' ' || *at == L'\t')
        at++;
    return at;
}

// The word at `at` is `word` (ASCII, lower case), in any case, ending there.
int32_t startsWithWord(const wchar_t* at, const char* word) {
    for (; *word; word++, at++)
        if ((*at | 0x20) != *word)
            return 0;
    return *at == L' ' || *at == L'\t';
}

} // namespace

// Explorer's command, as Windows runs it: "...\Drovix.exe" /image "%1". The
// wide command line keeps a name of any characters.
int32_t imageCommand(wchar_t image[kPathSize]) {
    typedef LPWSTR(WINAPI * CommandLineCall)();
    CommandLineCall commandLine =
        (CommandLineCall)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetCommandLineW");
    const wchar_t* at = commandLine && wideCallsInUse() ? commandLine() : 0;
    if (!at)
        return 0;
    if (*at == L'"') {
        for (at++; *at && *at != L'"'; at++)
            ;
        at += *at == L'"';
    } else {
        while (*at && *at != L' ' && *at != L'\t')
            at++;
    }
    at = skipBlanks(at);
    if (!startsWithWord(at, "/image"))
        return 0;
    at = skipBlanks(at + 6);
    int quoted = *at == L'"';
    at += quoted;
    int length = 0;
    while (length < kPathSize - 1 && at[length] && (quoted ? at[length] != L'"' : 1))
        length++;
    while (!quoted && length > 0 && (at[length - 1] == L' ' || at[length - 1] == L'\t'))
        length--;
    if (!length || length >= kPathSize - 1)
        return 0;
    memcpy(image, at, length * sizeof *image);
    image[length] = 0;
    return 1;
}
