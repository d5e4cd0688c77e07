#!/usr/bin/env bash
# The real player on the virtual drive, driven by real mouse clicks on its
# skin through the X server, as a user drives it: play, pause, next, stop,
# a right-click menu, close. What the user would see (the caption) and what
# the drive received (its log) are checked. Needs tools/wine-env sourced, a
# display, and the Windows build given as $1.
set -uo pipefail
build=$1
log="$build/skin-clicks.log"
failed=0 total=0

check() {
  local what=$1; shift
  total=$((total + 1))
  if "$@"; then echo "ok      $what"; else echo "FAILED  $what"; failed=$((failed + 1)); fi
}

waitFor() {  # waitFor SECONDS COMMAND...
  local tries=$(( $1 * 10 )); shift
  while [ "$tries" -gt 0 ]; do "$@" && return 0; sleep 0.1; tries=$((tries - 1)); done
  return 1
}

caption() { xdotool getwindowname "$window" 2>/dev/null; }
captionIs() { [ "$(caption)" = "$1" ]; }
captionStarts() { case "$(caption)" in "$1"*) return 0;; esac; return 1; }
logHas() { grep -a -q "$1" "$log" 2>/dev/null; }
logCount() { grep -a -c "$1" "$log" 2>/dev/null || true; }

# A click at a point of the window's client area (the window has no frame).
click() {
  local x=$1 y=$2 button=${3:-1}
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + x)) $((Y + y)) click "$button"
  sleep 0.3
}

wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\AppDefaults\Drovix.exe\DllOverrides' /v mcicda /t REG_SZ /d native /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Image /t REG_SZ /d "" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Media /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Speed /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Log /t REG_SZ /d "$(winepath -w "$log" | tr -d '\r')" /f >/dev/null 2>&1
: >"$log"
rm -f "$build/drovix.idx"

WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};mcicda=n" wine "$build/Drovix.exe" >/dev/null 2>&1 &
player=$!
window=""
waitFor 20 eval 'window=$(xdotool search --name "^Title / Artist$" 2>/dev/null | head -1); [ -n "$window" ]'
check "the player shows the demo disc" [ -n "$window" ]
if [ -n "$window" ]; then
  click 111 80                       # play/pause
  check "play starts track 1" waitFor 5 logHas "^MCI_PLAY"
  check "the caption shows track 1 and its time" waitFor 5 captionStarts "Track  1 ("
  plays=$(logCount "^MCI_PLAY")
  click 111 80                       # pause
  check "a second press pauses" waitFor 5 logHas "^MCI_PAUSE"
  click 145 80                       # next, while paused: cue track 2
  check "next moves to track 2" waitFor 5 captionStarts "Track  2 ("
  click 52 80                        # stop
  check "stop shows the title again" waitFor 5 captionIs "Title / Artist"
  shown=$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)
  click 150 40 3                     # right-click on the display: the track list
  check "a right-click opens the track list" \
    waitFor 5 eval '[ "$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)" -gt "$shown" ]'
  xdotool key Escape
  check "Escape closes it" \
    waitFor 5 eval '[ "$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)" -eq "$shown" ]'

  click 282 13                       # close
  check "the close button ends the player" waitFor 10 eval '! kill -0 '"$player"' 2>/dev/null'
fi
kill "$player" 2>/dev/null
wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /f >/dev/null 2>&1
echo "$failed tests failed out of $total"
[ "$failed" = 0 ]
