#!/usr/bin/env bash
# The virtual drive's sound, heard: a sound server of its own with a null
# sink (tools/wine-env), Wine's pulse driver, the sink's monitor recorded while
# sound_script.exe plays, pauses, resumes, seeks and plays to a point on an
# image whose samples count up; tests/sound/heard.py then checks every
# sample heard. Needs tools/wine-env sourced and the Windows build as $1.
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
pulse="$build/pulse"
sound_server_start "$pulse"
cleanup() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null
  wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /v Log /f >/dev/null 2>&1
  sound_server_stop
}
recorder=""
trap cleanup EXIT

wine "$build/vdrivectl.exe" install >/dev/null 2>&1
# The drive logs only into the user's temporary folder.
drive_log="$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)/sound-drive.log"
rm -f "$drive_log"
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Log /t REG_SZ /d "$(winepath -w "$drive_log" | tr -d '\r')" /f >/dev/null 2>&1

# record FILE COMMAND...: the sink's monitor while the command runs.
record() {
  local file=$1; shift
  parec -d vd.monitor --format=s16le --rate=44100 --channels=2 --raw >"$file" &
  recorder=$!
  sleep 0.5
  # A client that hangs is ended, and says so, rather than holding the run.
  timeout 120 "$@"
  local result=$?
  [ "$result" = 124 ] && echo "sound: $(basename "$2") did not end within 120 s and was ended"
  sleep 0.5
  kill "$recorder"
  wait "$recorder" 2>/dev/null
  recorder=""
  return $result
}

# The reference: six seconds of the same samples from a plain client, which
# shows what the chain itself does (it closes as soon as its last buffer is
# done, and so loses what the server still held).
record "$pulse/plain.raw" wine "$build/sound_plain.exe"
python3 "$here/heard.py" --plain "$pulse/plain.raw"
record "$pulse/heard.raw" wine "$build/sound_script.exe" "$(winepath -w "$pulse" | tr -d '\r')\\" >"$pulse/script.txt" 2>/dev/null
script=$?
tr -d '\r' <"$pulse/script.txt" >"$pulse/script.log"
cat "$pulse/script.log"
grep -a "sound:" "$drive_log"
[ "$script" = 0 ] || echo "sound: the script ended with $script"
python3 "$here/heard.py" "$pulse/heard.raw" "$pulse/script.log"
heard=$?

# The same script on a FLAC image of the same samples, which Debian's flac
# encodes from the BIN the first run wrote: decoded by the drive as it
# plays, every sample must be heard once and in order again.
flac --silent --force --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 \
  --sample-rate=44100 -o "$pulse/counter.flac" "$pulse/counter.bin"
printf 'FILE "counter.flac" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:06:00\n' \
  >"$pulse/counter-flac.cue"
echo "sound: the same on a FLAC image"
record "$pulse/heard-flac.raw" wine "$build/sound_script.exe" "$(winepath -w "$pulse" | tr -d '\r')\\" \
  counter-flac.cue >"$pulse/script-flac.txt" 2>/dev/null
script_flac=$?
tr -d '\r' <"$pulse/script-flac.txt" >"$pulse/script-flac.log"
[ "$script_flac" = 0 ] || echo "sound: the script on the FLAC image ended with $script_flac"
python3 "$here/heard.py" "$pulse/heard-flac.raw" "$pulse/script-flac.log" || heard=1

# The drive's test build with a device to stream to: statuses while a
# buffer of sound takes 500 ms to read, and a thread left reading by a
# freed drive. Every row must have run here.
seams=$(cd "$here/../.." && ctest --preset "$windows_preset" -R '^DriveSeams\.' -V 2>&1)
seams_result=$?
printf '%s\n' "$seams" | grep -a -E "slow read|Skipped|Passed|Failed|tests failed"
if printf '%s\n' "$seams" | grep -q "(Skipped)"; then
  echo "sound: the drive's seam tests skipped rows that need a sound device: the step fails"
  seams_result=1
fi
[ "$heard" = 0 ] && [ "$seams_result" = 0 ]
