#include "Help.h"

#include <stdio.h>

#include "Text.h"
#include "WindowsVersion.h"

namespace {

const int kHelpPathSize = 520;
const int kWidePathSize = 1024;
const char kHelpFile[] = "drovix.hlp";
const char kGuidePage[] = "guide.html";

typedef HINSTANCE(WINAPI* ShellExecuteCall)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

// Set once WinHelp was asked to show the help: only then is it asked to
// close it on Windows that have no viewer.
int32_t winHelpUsed;

int32_t hasNoWinHelp() { return ntVersion(windowsVersion()) >= 0x0600; }

// shell32 is loaded once and kept: a handler may go on with the request on
// the shell's own threads after ShellExecute returns. (Loaded here, not as a
// static of the function: that would bring the C++ library's thread-safe
// initialisation and its threads with it.)
HMODULE shell;

int32_t openInBrowser(HWND owner, const char* page) {
    if (!shell)
        shell = LoadLibraryA("shell32.dll");
    wchar_t wide[kWidePathSize];
    ShellExecuteCall shellExecute = shell ? (ShellExecuteCall)(void*)GetProcAddress(shell, "ShellExecuteW") : 0;
    if (!shellExecute || !toWide(page, wide, kWidePathSize))
        return 0;
    return (INT_PTR)shellExecute(owner, L"open", wide, 0, 0, SW_SHOWNORMAL) > 32;
}

} // namespace

int32_t openHelp(HWND owner, const char* programDir, UINT command, const char* notOpened, const char* caption) {
    char path[kHelpPathSize];
    if (hasNoWinHelp()) {
        if (command == HELP_QUIT && !winHelpUsed)
            return 1;
        snprintf(path, sizeof path, "%s%s", programDir, kGuidePage);
        if (command != HELP_QUIT && fileAttributes(path) != INVALID_FILE_ATTRIBUTES) {
            if (openInBrowser(owner, path))
                return 1;
            char text[kHelpPathSize + 128];
            snprintf(text, sizeof text, notOpened, path);
            showMessage(owner, text, caption, MB_ICONWARNING | MB_OK);
            return 0;
        }
    }
    snprintf(path, sizeof path, "%s%s", programDir, kHelpFile);
    if (command != HELP_QUIT)
        winHelpUsed = 1;
    return showHelp(owner, path, command);
}
