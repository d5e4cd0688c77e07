#!/usr/bin/env bash
# Figures only, with a sound server of its own so that the virtual drive
# streams: the player's CPU while it plays, against the dialog with the same
# timer; a status's round-trip while the drive reads and streams, against an
# idle drive; and a soak of the real player pressed Stop,
# Play, Next and Eject for two minutes (every stop reopens the MCI device,
# which loads the driver again), with its threads, its descriptors (Wine
# holds one behind most handles) and the sound server's clients at the
# start and at the end. A figure that misses its goal passes; one that
# cannot be taken fails the step. Needs tools/wine-env sourced, a display,
# and the Windows build as $1.
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
soak_seconds=${DROVIX_SOAK_SECONDS:-120}
folder="$build/figures"
sound_server_start "$folder/pulse"
player=""
# What could not be measured fails the step, once every other figure is
# printed.
unmeasured=""
# Says what was not measured, and fails where something was not.
toldUnmeasured() {
  [ -z "$unmeasured" ] && return 0
  echo "figures: not measured:${unmeasured%;}"
  return 1
}
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null
  sound_server_stop
}
trap cleanup EXIT
wine "$build/vdrivectl.exe" install >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Speed /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /v Log /f >/dev/null 2>&1
wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1

# ---- The player's CPU while the drive streams --------------------------------
[ -n "${DROVIX_SKIP_CPU:-}" ] || "$here/cpu.sh" "$build" sound || unmeasured="$unmeasured the CPU while streaming;"

# ---- A status while the drive reads -------------------------------------------
# A disc of one minute read from its file as it plays. (A file that is slow
# to read cannot be made here: Wine opens a FIFO without waiting, and cannot
# seek in one.)
image="$folder/image"
rm -rf "$image"
mkdir -p "$image"
head -c $((4500 * 2352)) /dev/urandom >"$image/minute.bin"
printf 'FILE minute.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' >"$image/minute.cue"
wine "$build/vdrivectl.exe" insert "$(winepath -w "$image/minute.cue" | tr -d '\r')" >/dev/null 2>&1
# The first open starts the drive's host: the one it finds leaves first.
wine "$build/vdrivectl.exe" leave >/dev/null 2>&1
timeout 60 wine "$build/status_round_trip.exe" 2>/dev/null | tr -d '\r' || unmeasured="$unmeasured a status from BIN;"
# The same minute as FLAC: the drive decodes it on its own thread, ahead of
# the sound, and a status should not notice.
flac --silent --force --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 \
  --sample-rate=44100 -o "$image/minute.flac" "$image/minute.bin"
printf 'FILE minute.flac WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' >"$image/minute-flac.cue"
wine "$build/vdrivectl.exe" insert "$(winepath -w "$image/minute-flac.cue" | tr -d '\r')" >/dev/null 2>&1
wine "$build/vdrivectl.exe" leave >/dev/null 2>&1
echo "status: the same minute from a FLAC image:"
timeout 60 wine "$build/status_round_trip.exe" 2>/dev/null | tr -d '\r' || unmeasured="$unmeasured a status from FLAC;"
rm -rf "$image"
wine "$build/vdrivectl.exe" insert >/dev/null 2>&1

# ---- Stop, Play, Next and Eject for two minutes -----------------------------------
wine "$build/Drovix.exe" /play >/dev/null 2>&1 &
started=$!
sleep 5
player=$(wine_process_of Drovix.exe)
window=$(xdotool search --name "^Track" 2>/dev/null | head -1)
if [ -z "$player" ] || [ -z "$window" ]; then
  echo "soak: the player did not start playing"
  toldUnmeasured
  exit 1
fi
# A window gone (the player ended) is not clicked; the soak's end tells it.
click() {
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || return 0
  eval "$geometry"
  xdotool mousemove $((X + $1)) $((Y + $2)) click 1
}
# Threads, descriptors, and the sound server's clients.
census() {
  echo "$(ls /proc/"$player"/task | wc -l) threads, $(ls /proc/"$player"/fd | wc -l) descriptors," \
    "$(pactl list clients short 2>/dev/null | wc -l) sound clients"
}
echo "soak: at the start, playing: $(census)"
cycles=0
end=$((SECONDS + soak_seconds))
while [ "$SECONDS" -lt "$end" ] && kill -0 "$player" 2>/dev/null; do
  click 52 80; sleep 0.5   # stop
  click 111 80; sleep 1   # play
  click 145 80; sleep 1   # next
  click 20 80; sleep 2    # eject: the door opens
  click 20 80; sleep 3    # and closes on the disc
  click 111 80; sleep 1   # play
  cycles=$((cycles + 1))
done
sleep 3
if kill -0 "$player" 2>/dev/null; then
  echo "soak: after $cycles rounds in $soak_seconds s, playing: $(census)"
else
  unmeasured="$unmeasured the soak (the player ended after $cycles rounds);"
fi
kill "$player" 2>/dev/null
wait "$started" 2>/dev/null
player=""
toldUnmeasured
