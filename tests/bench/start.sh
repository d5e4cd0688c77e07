#!/usr/bin/env bash
# Figures only: how soon the player's window shows, how soon its caption
# names the disc, and how soon /play shows the playing caption, against how
# soon a minimal dialog shows; medians of runs taken in turn. The first
# player start of the set starts the drive's host (the one running leaves
# first); it stays for the session after.
# Needs tools/wine-env sourced, a display, and the Windows build as $1.
set -uo pipefail
build=$1
runs=${DROVIX_START_RUNS:-15}
wine "$build/vdrivectl.exe" install >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Image /t REG_SZ /d "" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Media /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /v Log /f >/dev/null 2>&1
wine "$build/vdrivectl.exe" leave >/dev/null 2>&1
# The player's default settings, with a title index of its own that names no
# disc: the captions are the untitled ones, whatever titles the build's own
# index holds. Whatever ends the figures, the settings go.
wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Pelmark\Drovix' /v IndexFile /t REG_SZ /d start-figures.idx /f >/dev/null 2>&1
trap "wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1" EXIT

# The pointer rests away from the windows measured (see cpu.sh).
read -r screenWidth screenHeight < <(xdotool getdisplaygeometry 2>/dev/null || echo "1024 768")
xdotool mousemove $((screenWidth - 1)) $((screenHeight - 1)) 2>/dev/null

# The stopwatch: the X server's own events, not polling, which would load the
# machine while it starts the programs measured.
top=$(cd "$(dirname "$0")/../.." && pwd)
stopwatch="$top/build/native/window_shown"
if [ ! -x "$stopwatch" ]; then
  cmake --preset native >/dev/null && cmake --build --preset native --target window_shown >/dev/null ||
    { echo "start: the stopwatch (build/native/window_shown) cannot be built: it needs libx11-dev" >&2; exit 1; }
fi
# shown PROGRAM CAPTION [ARGUMENTS]: ms from the start to a visible window of
# the program, then to its caption matching CAPTION (a regular expression);
# 99999 for what did not come in 20 s (counted as the slowest in a median,
# and told at the end: the step then fails).
shown() {
  local program=$1 caption=$2; shift 2
  local figures running
  figures=$("$stopwatch" "$(echo "$program" | tr 'A-Z' 'a-z')" "$caption" wine "$build/$program" "$@")
  for _ in $(seq 1 50); do
    running=$(wine_process_of "$program" 2>/dev/null) || break
    kill "$running" 2>/dev/null
    sleep 0.1
  done
  [ -n "$running" ] && echo "start: $program $* outlived 5 s of being ended; the next start may find it" >&2
  sleep 1
  # Said last: the next start waits for this one to have ended.
  echo "${figures:-99999 99999}"
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
# lost RUNS: how many of the runs given never came.
lost() { tr ' ' '\n' | grep -c '^99999$'; }

dialog="" window="" titled="" playing="" first=""
for _ in $(seq 1 "$runs"); do
  read -r took _ < <(shown minimal_dialog.exe '^Minimal$')
  dialog="$dialog $took"
  read -r took named < <(shown Drovix.exe '^(Title|Track)')
  [ -z "$first" ] && first="$took ms, the disc in its caption after $named ms"
  window="$window $took"
  titled="$titled $named"
  read -r _ named < <(shown Drovix.exe '^Track' /play)
  playing="$playing $named"
done
d=$(echo "$dialog" | median); w=$(echo "$window" | median); t=$(echo "$titled" | median); p=$(echo "$playing" | median)
echo "start: the minimal dialog visible after $d ms (runs:$dialog)"
echo "start: the player's window visible after $w ms (runs:$window; the first, which started the drive's host: $first)"
echo "start: the disc in the player's caption after $t ms (runs:$titled)"
echo "start: /play to the playing caption after $p ms (runs:$playing)"
awk "BEGIN {printf \"start: the player's window %.2f times the dialog's, the disc in its caption %.2f times, /play to playing %.2f times\\n\", $w / $d, $t / $d, $p / $d}"
unmeasured=""
for figure in "the dialog's window:$dialog" "the player's window:$window" "the disc in its caption:$titled" \
  "/play's playing caption:$playing"; do
  n=$(echo "${figure#*:}" | lost)
  [ "$n" -gt 0 ] && unmeasured="$unmeasured $n of $runs runs of ${figure%%:*};"
done
[ -z "$unmeasured" ] && exit 0
echo "start: not measured, nothing came in 20 s:${unmeasured%;}"
exit 1
