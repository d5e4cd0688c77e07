#!/usr/bin/env bash
# Checks that a program is what we ship: a PE32 executable for i386 with the
# GUI subsystem that imports nothing but system DLLs, and from them nothing
# that Windows 95 lacks (the list beside this script).
set -eu
program=$1
headers=$(LC_ALL=C i686-w64-mingw32-objdump -p "$program")
fail=0
echo "$headers" | grep -q 'file format pei-i386' || { echo "$program: not PE32 i386"; fail=1; }
echo "$headers" | grep -Eq '^Magic[[:space:]]+010b' || { echo "$program: not a PE32 optional header"; fail=1; }
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002' || { echo "$program: not a GUI program"; fail=1; }
system='^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|winmm|version|shell32|ole32|msvcrt)\.dll$'
for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  lower=$(echo "$dll" | tr 'A-Z' 'a-z')
  echo "$lower" | grep -Eq "$system" || { echo "$program: imports $dll"; fail=1; }
done
"$(dirname "$0")/check_imports.sh" "$program" "$(dirname "$0")/windows95-imports.txt" || fail=1
[ "$fail" = 0 ] && echo "$program: PE32 i386 GUI, system DLLs only, nothing Windows 95 lacks"
exit $fail
