// The programs' texts are Shift-JIS (code page 932) bytes throughout: their
// own literals, the title index, the settings. The ANSI calls would read them
// in the system's code page, which is 932 only on a Japanese Windows (not on
// an English one, nor on one set to UTF-8), and would turn what the user
// types into "?" where that code page lacks it. So on the NT family they are
// converted here, explicitly, and handed to the wide calls, and what the
// user types comes back the same way: the same texts and bytes on every
// system. The Windows 95 family, which has few wide calls, keeps the ANSI
// ones: its Japanese edition is always 932.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <stdio.h>

const UINT kShiftJis = 932;

// Anything the programs show or keep: names of 50 bytes, paths of 511,
// messages of a few hundred.
const int kWideTextSize = 1024;

// 1 where the texts go through the wide calls: on the NT family.
int32_t wideCallsInUse();

// Shift-JIS to UTF-16; 0 when it does not fit.
int32_t toWide(const char* text, wchar_t* wide, int size);
// UTF-16 to Shift-JIS; 0 when it does not fit or holds a character that
// Shift-JIS lacks: such a text is never stored with "?" in its place.
int32_t toShiftJis(const wchar_t* wide, char* text, int size);

// What the user typed or pasted, as Shift-JIS: the JIS forms other systems
// give become the characters a Japanese Windows shows for them; 0 when it
// holds a character that Shift-JIS lacks.
int32_t typedToShiftJis(wchar_t* wide, char* text, int size);
// UTF-8 (the CUE sheets' other encoding) and UTF-16; 0 when it does not fit
// or is no UTF-8.
int32_t utf8ToWide(const char* text, wchar_t* wide, int size);
int32_t wideToUtf8(const wchar_t* wide, char* text, int size);
// A list of NUL-ended Shift-JIS texts (a filter of the Open dialog) of the
// given bytes, to UTF-16.
int32_t toWideList(const char* list, int bytes, wchar_t* wide, int size);

// ---- What the user sees and types ----

// A modal dialog of the program's resources: on the wide path its controls
// are made from the template's own UTF-16 texts and hold UTF-16, so that
// neither what it shows nor what the user types goes through the system's
// code page.
INT_PTR dialogBox(HINSTANCE instance, int resource, HWND owner, DLGPROC procedure);
void setWindowText(HWND window, const char* text);
void setItemText(HWND dialog, int id, const char* text);
// The control's text; 0, with "" in text, when it does not fit.
int32_t itemText(HWND dialog, int id, char* text, int size);
int32_t windowText(HWND window, char* text, int size);
int showMessage(HWND owner, const char* text, const char* caption, UINT type);
void appendMenuText(HMENU menu, UINT flags, UINT_PTR id, const char* text);
void insertMenuText(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text);
void drawText(HDC context, const char* text, RECT* place, UINT format);
// A list box's item; LB_ERR when there is no such item or it does not fit.
LRESULT addListItem(HWND list, int32_t index, const char* text);
LRESULT listItem(HWND list, int32_t index, char* text, int size);
void addTab(HWND tabs, const char* text);
// A tooltip for a control of the owner's, shown while the pointer rests on it.
void addToolTip(HWND tips, HWND owner, HWND tool, const char* text);

// An edit whose text must fit in maxBytes of Shift-JIS, called on each
// EN_CHANGE: a change that would not fit, or that holds a character
// Shift-JIS lacks, is taken back with a beep. A longer text the program set
// stays, and may be shortened. On a Japanese Windows the edit's own byte
// limit does this.
void keepShiftJisFit(HWND edit, int maxBytes);

// ---- Files, the registry and the help, by Shift-JIS paths ----

DWORD fileAttributes(const char* path);
HANDLE openFile(const char* path, DWORD access, DWORD share, DWORD disposition);
FILE* openStream(const char* path, const char* mode);
BOOL moveFile(const char* from, const char* to, DWORD flags);
BOOL deleteFile(const char* path);
BOOL copyFile(const char* from, const char* to);
// A change notification on the folder itself (not its subfolders);
// INVALID_HANDLE_VALUE where it cannot be watched.
HANDLE watchFolder(const char* folder, DWORD changes);
DWORD fullPathName(const char* path, char* full, DWORD size);
// A path the system gave as Shift-JIS; where a folder on the way has a
// character that Shift-JIS lacks, its short name. 0 when neither fits.
int32_t shiftJisPath(const wchar_t* wide, char* path, int size);
// The program's own path, as shiftJisPath gives it.
DWORD moduleFileName(HMODULE module, char* path, DWORD size);
// A text value as Shift-JIS, other types byte for byte, as RegQueryValueExA
// on a Japanese Windows.
LONG queryValue(HKEY key, const char* name, DWORD* type, BYTE* bytes, DWORD* size);
LONG setTextValue(HKEY key, const char* name, const char* text);
BOOL showHelp(HWND owner, const char* path, UINT command);

// A console program's message, formed as printf forms it: on a console of
// the NT family written as the characters it holds, whatever the console's
// code page; into a pipe or a file, the Shift-JIS bytes.
void printText(FILE* stream, const char* format, ...);
