#!/usr/bin/env bash
# The real player on the virtual drive, driven by real mouse clicks and keys
# through the X server, as a user drives it: play, pause (the clock blinks),
# next, previous within and after the first 3 seconds, a track chosen from
# the right-click track list, stop, eject and close the door, close. What the
# user would see (the caption, the clock's pixels) and what the drive
# received (its log) are checked; screenshots of the player playing and
# paused go to $ARTIFACTS. Needs tools/wine-env sourced, a display, and the
# folder of the programs given as $1.
set -uo pipefail
build=$1
artifacts=${ARTIFACTS:-$build}
# The drive logs only into the user's temporary folder.
log="$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)/skin-clicks.log"
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
# The clock of a caption "Track  N ( M：SS)" in seconds; -1 without one. No
# check asks for an exact second: a loaded machine may skip one between looks.
captionSeconds() {
  local clock
  clock=$(caption | sed -n 's/^.*( *\([0-9]*\)：\([0-9][0-9]\))$/\1 \2/p')
  [ -n "$clock" ] && echo "$clock" | awk '{ print $1 * 60 + $2 }' || echo -1
}
logHas() { grep -a -q "$1" "$log" 2>/dev/null; }
logCount() { grep -a -c "$1" "$log" 2>/dev/null || true; }

# The clock's pixels, as a digest.
clockPixels() {
  xwd -silent -id "$window" 2>/dev/null | convert xwd:- -crop 66x18+221+68 rgb:- 2>/dev/null | md5sum
}
# Paused, the clock goes dark and comes back: two different pictures of it
# within two seconds.
clockBlinks() {
  local seen
  seen=$(for _ in $(seq 1 10); do clockPixels; sleep 0.2; done | sort -u | wc -l)
  [ "$seen" -ge 2 ]
}
shoot() {
  mkdir -p "$artifacts"
  xwd -silent -id "$window" | convert xwd:- "$artifacts/$1.png" && echo "screenshot: $artifacts/$1.png"
}

# A click at a point of the window's client area (the window has no frame).
click() {
  local x=$1 y=$2 button=${3:-1}
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + x)) $((Y + y)) click "$button"
  sleep 0.3
}

wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1
# The virtual drive, installed as a user installs it.
wine "$build/vdrivectl.exe" install >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Image /t REG_SZ /d "" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Media /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Speed /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Log /t REG_SZ /d "$(winepath -w "$log" | tr -d '\r')" /f >/dev/null 2>&1
: >"$log"
rm -f "$build/drovix.idx"

wine "$build/Drovix.exe" >/dev/null 2>&1 &
player=$!
window=""
waitFor 20 eval 'window=$(xdotool search --name "^Title / Artist$" 2>/dev/null | head -1); [ -n "$window" ]'
check "the player shows the demo disc" [ -n "$window" ]
if [ -n "$window" ]; then
  click 111 80                       # play/pause
  check "play starts track 1" waitFor 5 logHas "^MCI_PLAY"
  check "the caption shows track 1 and its time" waitFor 5 captionStarts "Track  1 ("
  # The picture with the clock past its first second.
  waitFor 5 eval '[ "$(captionSeconds)" -ge 1 ]'
  shoot player-playing
  click 111 80                       # pause
  check "a second press pauses" waitFor 5 logHas "^MCI_PAUSE"
  check "the clock blinks while paused" clockBlinks
  shoot player-paused-real
  click 145 80                       # next, while paused: cue track 2
  check "next moves to track 2" waitFor 5 captionStarts "Track  2 ("
  click 111 80                       # play on from track 2
  check "play goes on from track 2" waitFor 5 captionStarts "Track  2 ( 0："
  click 76 80                        # previous within 3 seconds: track 1
  check "previous early in a track goes back a track" waitFor 5 captionStarts "Track  1 ("
  check "track 1 plays past 3 seconds" \
    waitFor 10 eval 'captionStarts "Track  1 (" && [ "$(captionSeconds)" -ge 4 ]'
  plays=$(logCount "^MCI_PLAY")
  click 76 80                        # previous after 3 seconds: track 1 again
  check "previous later in a track starts it again" waitFor 5 eval '[ "$(logCount "^MCI_PLAY")" -gt "$plays" ]'
  check "the clock is back at the start of track 1" \
    waitFor 5 eval 'captionStarts "Track  1 (" && [ "$(captionSeconds)" -ge 0 ] && [ "$(captionSeconds)" -lt 3 ]'
  shown=$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)
  click 150 40 3                     # right-click on the display: the track list
  check "a right-click opens the track list" \
    waitFor 5 eval '[ "$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)" -gt "$shown" ]'
  xdotool key Down Down Down Return  # the third track
  check "the track chosen in the list plays" waitFor 5 captionStarts "Track  3 ("
  check "the menu closed" \
    waitFor 5 eval '[ "$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)" -eq "$shown" ]'
  click 52 80                        # stop
  check "stop shows the title again" waitFor 5 captionIs "Title / Artist"
  click 20 80                        # eject: the door opens, no disc
  check "eject opens the door" waitFor 5 logHas "^MCI_SET flags=0x00000100"
  check "with the door open the player asks for a disc" waitFor 5 captionIs "ＣＤプレイヤー"
  click 20 80                        # eject again: the door closes
  check "a second eject closes the door" waitFor 5 logHas "^MCI_SET flags=0x00000200"
  check "the disc is back" waitFor 5 captionIs "Title / Artist"

  click 282 13                       # close
  check "the close button ends the player" waitFor 10 eval '! kill -0 '"$player"' 2>/dev/null'
fi
kill "$player" 2>/dev/null
wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /f >/dev/null 2>&1
echo "$failed tests failed out of $total"
[ "$failed" = 0 ]
