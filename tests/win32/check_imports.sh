#!/usr/bin/env bash
# Lists every function a program or DLL imports and fails on one that is not
# in the list given: what the oldest Windows it is made for exports.
set -eu
program=$1 known=$2
# The 32-bit tools read 32-bit files; a 64-bit driver (x64\\) needs the others.
objdump=i686-w64-mingw32-objdump
$objdump -f "$program" >/dev/null 2>&1 || objdump=x86_64-w64-mingw32-objdump
imported=$(LC_ALL=C $objdump -p "$program" | awk '/DLL Name:/ { dll = tolower($3); next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll " " $3 }' | sort -u)
[ -n "$imported" ] || { echo "$program: no imported function found"; exit 1; }
late=$(echo "$imported" | grep -vxF -f <(grep -v '^#' "$known") || true)
if [ -n "$late" ]; then
  echo "$late" | sed "s|^\([^ ]*\) |$program: imports \1!|; s|\$|, which $(basename "$known" -imports.txt) lacks|"
  exit 1
fi
echo "$program: imports nothing that $(basename "$known" -imports.txt) lacks"
