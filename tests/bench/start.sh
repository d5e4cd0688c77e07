#!/usr/bin/env bash
# Figures only: how soon the player's window shows, and how soon /play shows
# the playing caption, against how soon a minimal dialog shows; medians of
# runs taken in turn. The first player start of the set starts the drive's
# host (the one running leaves first); it stays for the session after.
# Needs tools/wine-env sourced, a display, and the Windows build as $1.
set -uo pipefail
build=$1
runs=${DROVIX_START_RUNS:-9}
wine "$build/vdrivectl.exe" install >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Image /t REG_SZ /d "" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Media /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /v Log /f >/dev/null 2>&1
wine "$build/vdrivectl.exe" leave >/dev/null 2>&1

# The pointer rests away from the windows measured (see cpu.sh).
read -r screenWidth screenHeight < <(xdotool getdisplaygeometry 2>/dev/null || echo "1024 768")
xdotool mousemove $((screenWidth - 1)) $((screenHeight - 1)) 2>/dev/null

now() { date +%s%N; }
# shown PROGRAM CAPTION [ARGUMENTS]: ms from the start to a visible window
# of that caption (a regular expression), or 99999 after 20 s.
shown() {
  local program=$1 caption=$2; shift 2
  local began ended=""
  began=$(now)
  wine "$build/$program" "$@" >/dev/null 2>&1 &
  local started=$!
  for _ in $(seq 1 2000); do
    if xdotool search --onlyvisible --name "$caption" >/dev/null 2>&1; then ended=$(now); break; fi
    sleep 0.005
  done
  [ -n "$ended" ] && echo $(( (ended - began) / 1000000 )) || echo 99999
  wine_process_of "$program" >/dev/null 2>&1 && kill "$(wine_process_of "$program")" 2>/dev/null
  wait "$started" 2>/dev/null
  sleep 1
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

dialog="" window="" playing="" first=""
for run in $(seq 1 "$runs"); do
  dialog="$dialog $(shown minimal_dialog.exe '^Minimal$')"
  took=$(shown Drovix.exe '^(Title|Track)')
  [ -z "$first" ] && first=$took
  window="$window $took"
  playing="$playing $(shown Drovix.exe '^Track' /play)"
done
d=$(echo "$dialog" | median); w=$(echo "$window" | median); p=$(echo "$playing" | median)
echo "start: the minimal dialog visible after $d ms (runs:$dialog)"
echo "start: the player's window visible after $w ms (runs:$window; the first, which started the drive's host: $first ms)"
echo "start: /play to the playing caption after $p ms (runs:$playing)"
awk "BEGIN {printf \"start: the player's window %.2f times the dialog's, /play to playing %.2f times\n\", $w / $d, $p / $d}"
