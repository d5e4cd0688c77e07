// vdrivectl as a user without administrator rights meets it: every command
// refused with vdrivectl's own words for that. Each call adds a line to
// vdrivectl-calls.txt beside it: its command, and whether its words had a
// reader (a pipe) or went to a console of their own.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

int main(int argc, char** argv) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(0, path, MAX_PATH);
    wchar_t* name = wcsrchr(path, L'\\');
    if (!length || length >= MAX_PATH || !name || name - path + 21 >= MAX_PATH)
        return 3;
    wcscpy(name + 1, L"vdrivectl-calls.txt");
    FILE* calls = _wfopen(path, L"ab");
    if (!calls)
        return 3;
    DWORD reader = GetFileType(GetStdHandle(STD_ERROR_HANDLE));
    fprintf(calls, "%s %s\r\n", argc > 1 ? argv[1] : "", reader == FILE_TYPE_PIPE ? "pipe" : "console");
    fclose(calls);
    fprintf(stderr, "vdrivectl: %s: 管理者の権限が必要です。管理者として開いたコマンド プロンプトで実行してください\n",
            argc > 1 ? argv[1] : "");
    return 1;
}
