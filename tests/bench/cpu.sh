#!/usr/bin/env bash
# Figures only: the CPU the player takes while it plays the demo disc on the
# virtual drive, against a dialog that only runs the same 333 ms timer, in
# rounds of 15 s each in the same run: the program's own time and the Wine
# server's. Without sound, or with the drive streaming when $2 is "sound"
# (a sound server running, as tests/bench/drive-figures.sh has it); then
# also against a plain waveOut client playing the same kind of samples,
# which is what the drive's streaming should cost (goal: the drive's host
# at most 1.05 times the own time of a plain client in a Unix session of its
# own, as the host is, measured over the same window; from FLAC, the player
# with its host at most 1.3 times the client taken in turn in this script's
# session). Needs
# tools/wine-env sourced and the Windows build as $1.
set -uo pipefail
build=$1
streaming=${2:-}
playing="the player playing the demo disc${streaming:+ with the drive streaming}"
note="(goal: at most 1.5)"
[ -n "$streaming" ] && note="(no goal: the drive's host streams the sound meanwhile)"
seconds=${DROVIX_CPU_SECONDS:-15}
rounds=${DROVIX_CPU_ROUNDS:-3}
# Windows of the host beside the clients per round, the player and the
# clients started anew for each: two sound streams of the same work,
# measured over the same window, differ by up to a fifth from one start to
# the next (see README).
together=${DROVIX_CPU_TOGETHER:-3}
if ! [[ $seconds =~ ^[1-9][0-9]*$ && $rounds =~ ^[1-9][0-9]*$ && $together =~ ^[1-9][0-9]*$ ]]; then
  echo "cpu: DROVIX_CPU_SECONDS, DROVIX_CPU_ROUNDS and DROVIX_CPU_TOGETHER must be whole numbers from 1" >&2
  exit 1
fi

# The time a process's threads have run, in milliseconds: the scheduler's
# count in nanoseconds, where the user and system times count whole ticks
# of 10 ms, too coarse for a program that idles.
cpuMs() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {printf "%d\n", ns / 1000000}'
}

# Its threads' waits (voluntary context switches) and the read and write
# calls of the process: most are Wine server requests and pipe exchanges,
# which tell where a program's time goes when the figure is high.
waitsOf() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {n += $2} END {printf "%d\n", n}'
}
callsOf() {
  awk '/^sysc[rw]:/ {n += $2} END {printf "%d\n", n}' /proc/"$1"/io 2>/dev/null
}

# The Unix session of a process (the fields after the name in parentheses).
sessionOf() { sed 's/.*) //' /proc/"$1"/stat 2>/dev/null | awk '{print $4}'; }

# endProcesses STARTED PROCESS...: ends the processes measured and waits for
# the jobs that started them, ten seconds at most before it kills them.
endProcesses() {
  local jobs
  read -ra jobs <<<"$1"
  shift
  kill "$@" 2>/dev/null
  local pid alive
  for _ in $(seq 1 50); do
    alive=""
    for pid in "$@" "${jobs[@]}"; do kill -0 "$pid" 2>/dev/null && alive=yes; done
    [ -z "$alive" ] && break
    sleep 0.2
  done
  [ -n "$alive" ] && kill -KILL "$@" "${jobs[@]}" 2>/dev/null
  wait "${jobs[@]}" 2>/dev/null
}

# This script's CPU control group: the cpu controller's under cgroup v1,
# the unified hierarchy's under v2.
cpuGroup() {
  awk -F: '$2 ~ /(^|,)cpu(,|$)/ {v1 = $3} $1 == "0" && $2 == "" {v2 = $3} END {print (v1 != "" ? v1 : v2)}' \
    /proc/self/cgroup 2>/dev/null
}

# Whether all the processes given still run: a figure taken over a process
# that ended meanwhile counts its time as 0 at the end, and comes out
# negative.
stillRunning() {
  local pid
  for pid in "$@"; do [ -d /proc/"$pid" ] || return 1; done
}

# The time of the processes given, together.
cpuOf() {
  local pid total=0
  for pid in "$@"; do total=$((total + $(cpuMs "$pid"))); done
  echo "$total"
}

# measure NAME COMMAND...: starts the program, lets it settle, and prints its
# CPU per minute: its own (with the drive's host), the Wine server's, the
# host's, then the program's waits and read and write calls a minute. What
# the program showed and whether it loaded the PC's own CD driver go to
# $shown.
measure() {
  local name=$1; shift
  "$@" >/dev/null 2>&1 &
  local started=$!
  sleep 4
  local program server host
  program=$(wine_process_of "$name") || {
    echo "cpu: $name did not start" >&2
    endProcesses "$started"
    return 1
  }
  server=$(wine_process_of wineserver)
  # The drive's host (rundll32) streams the sound: its time is the player's,
  # and only the player's (it stays for the session, idle, meanwhile).
  host=""
  [ "$name" = Drovix.exe ] && host=$(wine_process_of rundll32.exe 2>/dev/null)
  local p0 s0 p1 s1 h0 h1 w0 w1 c0 c1
  p0=$(cpuOf "$program" "$host"); s0=$(cpuMs "$server"); h0=$(cpuOf "$host")
  w0=$(waitsOf "$program"); c0=$(callsOf "$program")
  sleep "$seconds"
  p1=$(cpuOf "$program" "$host"); s1=$(cpuMs "$server"); h1=$(cpuOf "$host")
  w1=$(waitsOf "$program"); c1=$(callsOf "$program")
  local ended=""
  stillRunning "$program" || ended=$name
  [ -n "$host" ] && ! stillRunning "$host" && ended="the drive's host of $name"
  if [ -n "$ended" ]; then
    echo "cpu: $ended ended while it was measured" >&2
    endProcesses "$started" "$program"
    return 1
  fi
  local caption="" cdDriver=no
  local window
  for window in $(xdotool search --onlyvisible --pid "$program" 2>/dev/null); do
    caption=$(xdotool getwindowname "$window" 2>/dev/null)
    [ -n "$caption" ] && break
  done
  grep -qi 'mcicda' /proc/"$program"/maps 2>/dev/null && cdDriver=yes
  # Where Linux schedules each Unix session as a group of its own, a host in
  # a session of its own costs more than one in the player's.
  local hostSession=""
  [ -n "$host" ] && hostSession=", in the player's Unix session: $([ "$(sessionOf "$host")" = "$(sessionOf "$program")" ] && echo yes || echo no)"
  echo "caption \"$caption\", the PC's own CD driver loaded: $cdDriver, the drive's host: ${host:-none}$hostSession" >"$shown"
  endProcesses "$started" "$program"
  echo "$(( (p1 - p0) * 60 / seconds )) $(( (s1 - s0) * 60 / seconds )) $(( (h1 - h0) * 60 / seconds ))" \
    "$(( (w1 - w0) * 60 / seconds )) $(( (c1 - c0) * 60 / seconds ))"
}

# measureTogether: the player streaming and two plain clients started at
# the same time and measured over the same window, so that whatever else
# the machine does meanwhile weighs on all alike (taken in turn, rounds of
# the same programs differ by a third). The drive's host runs in a Unix
# session of its own: Wine gives one to every process started with
# DETACHED_PROCESS, as the host is, or by a GUI program. Where Linux
# schedules each session as a group of its own (autogroup), that costs the
# sound threads more (a plain client so started took 20 to 35% more here);
# so one client runs in a session of its own, as the host does, and one in
# this script's, with the sound server. Only the programs' own times: the
# Wine server's cannot be told apart between programs measured together.
# Prints the player's own time with its host's, the host's alone, the first
# client's and the second's, per minute.
measureTogether() {
  # The clients are told apart by the seconds they play (a word each, so
  # that one never matches the other's command line).
  local apart=$((seconds + 12)) beside=$((seconds + 13))
  setsid wine "$build/sound_plain.exe" "$apart" >/dev/null 2>&1 &
  local apartStarted=$!
  wine "$build/sound_plain.exe" "$beside" >/dev/null 2>&1 &
  local besideStarted=$!
  wine "$build/Drovix.exe" /play >/dev/null 2>&1 &
  local playerStarted=$!
  sleep 4
  local player apartClient besideClient host
  if ! player=$(wine_process_of Drovix.exe) || ! apartClient=$(wine_process_of "sound_plain.exe $apart\b") ||
    ! besideClient=$(wine_process_of "sound_plain.exe $beside\b"); then
    echo "cpu: the player or a plain client did not start" >&2
    endProcesses "$playerStarted $apartStarted $besideStarted"
    return 1
  fi
  if ! host=$(wine_process_of rundll32.exe); then
    echo "cpu: the drive's host did not start" >&2
    endProcesses "$playerStarted $apartStarted $besideStarted" "$player" "$apartClient" "$besideClient"
    return 1
  fi
  local p0 h0 a0 b0 p1 h1 a1 b1
  p0=$(cpuOf "$player" "$host"); h0=$(cpuOf "$host"); a0=$(cpuMs "$apartClient"); b0=$(cpuMs "$besideClient")
  sleep "$seconds"
  p1=$(cpuOf "$player" "$host"); h1=$(cpuOf "$host"); a1=$(cpuMs "$apartClient"); b1=$(cpuMs "$besideClient")
  if ! stillRunning "$player" "$host" "$apartClient" "$besideClient"; then
    echo "cpu: the player, its host or a plain client ended while they were measured" >&2
    endProcesses "$playerStarted $apartStarted $besideStarted" "$player" "$apartClient" "$besideClient"
    return 1
  fi
  endProcesses "$playerStarted $apartStarted $besideStarted" "$player" "$apartClient" "$besideClient"
  echo "$(( (p1 - p0) * 60 / seconds )) $(( (h1 - h0) * 60 / seconds ))" \
    "$(( (a1 - a0) * 60 / seconds )) $(( (b1 - b0) * 60 / seconds ))"
}

# The pointer rests away from the windows measured, as while a user works
# elsewhere: over a skin button, the tooltip's check that it has left,
# every 100 ms, costs the player more under Wine than all its ticks (an
# earlier test that hovered a button left it there once).
read -r screenWidth screenHeight < <(xdotool getdisplaygeometry 2>/dev/null || echo "1024 768")
xdotool mousemove $((screenWidth - 1)) $((screenHeight - 1)) 2>/dev/null

wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Image /t REG_SZ /d "" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Speed /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Media /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Drovix\VirtualDrive' /v Door /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg delete 'HKCU\Software\Drovix\VirtualDrive' /v Log /f >/dev/null 2>&1
wine "$build/vdrivectl.exe" install >/dev/null 2>&1
wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1

shown=$(mktemp)
image="$build/cpu-image"
# Whatever ends the figures, the player's settings and the image go.
cleanUp() {
  rm -f "$shown"
  wine reg delete 'HKCU\Software\Pelmark\Drovix' /f >/dev/null 2>&1
  [ -n "$streaming" ] || return 0
  wine "$build/vdrivectl.exe" insert >/dev/null 2>&1
  rm -rf "$image"
}
trap cleanUp EXIT

# Streaming, the player plays a minute of counting samples from an image,
# as the plain client writes them: the same work for the sound.
if [ -n "$streaming" ]; then
  playing="the player streaming a minute of counting samples from an image"
  rm -rf "$image"
  mkdir -p "$image"
  python3 -c "
import struct, sys
out = sys.stdout.buffer
for second in range(60):
    out.write(b''.join(struct.pack('<hh', (v + 1) & 0x7FFF, 1) for v in range(second * 44100, (second + 1) * 44100)))
" >"$image/minute.bin"
  printf 'FILE minute.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' >"$image/minute.cue"
  # The same minute as FLAC, which the drive decodes as it streams.
  flac --silent --force --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 \
    --sample-rate=44100 -o "$image/minute.flac" "$image/minute.bin"
  printf 'FILE minute.flac WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' >"$image/minute-flac.cue"
  wine "$build/vdrivectl.exe" insert "$(winepath -w "$image/minute.cue" | tr -d '\r')" >/dev/null 2>&1
fi

# Rounds, each measuring every program in turn (and, streaming, the player
# beside the plain clients), so that a machine that slows down or speeds up
# meanwhile weighs on all of them alike; each figure printed is the median
# of its rounds, or of its windows beside the clients.
# Of an even count, the mean of the middle two: the lower one would flatter
# a goal. Of none, nothing.
median() {
  tr ' ' '\n' | grep . | sort -g |
    awk '{a[NR] = $1} END {m = int((NR + 1) / 2); if (NR) print (NR % 2 ? a[m] : (a[m] + a[m + 1]) / 2)}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }
# field N of every round's figures given: "1 2 3 ..."
fieldOfEach() { local round; for round in "${@:2}"; do echo "$round" | awk -v n="$1" '{printf "%s ", $n}'; done; }
dialogRuns=() playerRuns=() flacRuns=() plainRuns=() togetherRuns=()
own=() withServer=() streamOwn=() streamWith=() flacOwn=() flacWith=()
playerApartRatios=() hostApartRatios=() hostBesideRatios=()
for round in $(seq 1 "$rounds"); do
  dialogRuns+=("$(measure minimal_dialog.exe wine "$build/minimal_dialog.exe")") || exit 1
  playerRuns+=("$(measure Drovix.exe wine "$build/Drovix.exe" /play)") || exit 1
  [ "$round" = 1 ] && playerShown=$(cat "$shown")
  read -r dOwn dServer _ <<<"${dialogRuns[-1]}"
  read -r pOwn pServer _ <<<"${playerRuns[-1]}"
  own+=("$(ratio "$pOwn" "$dOwn")")
  withServer+=("$(ratio $((pOwn + pServer)) $((dOwn + dServer)))")
  [ -n "$streaming" ] || continue
  plainRuns+=("$(measure sound_plain.exe wine "$build/sound_plain.exe" $((seconds + 10)))") || exit 1
  wine "$build/vdrivectl.exe" insert "$(winepath -w "$image/minute-flac.cue" | tr -d '\r')" >/dev/null 2>&1
  flacRuns+=("$(measure Drovix.exe wine "$build/Drovix.exe" /play)") || exit 1
  wine "$build/vdrivectl.exe" insert "$(winepath -w "$image/minute.cue" | tr -d '\r')" >/dev/null 2>&1
  read -r cOwn cServer _ <<<"${plainRuns[-1]}"
  read -r fOwn fServer _ <<<"${flacRuns[-1]}"
  streamOwn+=("$(ratio "$pOwn" "$cOwn")")
  streamWith+=("$(ratio $((pOwn + pServer)) $((cOwn + cServer)))")
  flacOwn+=("$(ratio "$fOwn" "$cOwn")")
  flacWith+=("$(ratio $((fOwn + fServer)) $((cOwn + cServer)))")
  for _ in $(seq 1 "$together"); do
    togetherRuns+=("$(measureTogether)") || exit 1
    read -r tPlayer tHost tApart tBeside <<<"${togetherRuns[-1]}"
    playerApartRatios+=("$(ratio "$tPlayer" "$tApart")")
    hostApartRatios+=("$(ratio "$tHost" "$tApart")")
    hostBesideRatios+=("$(ratio "$tHost" "$tBeside")")
  done
done

# figures RUNS...: the medians of "own ms, server ms, host ms, waits, calls"
figures() {
  local n out=""
  for n in 1 2 3 4 5; do out="$out $(fieldOfEach "$n" "$@" | median)"; done
  echo "$out"
}
read -r dialogOwn dialogServer _ dialogWaits dialogCalls <<<"$(figures "${dialogRuns[@]}")"
read -r playerOwn playerServer playerHost playerWaits playerCalls <<<"$(figures "${playerRuns[@]}")"
echo "cpu: $rounds rounds of $seconds s, each program in turn${streaming:+, then $together windows a round of the player beside two plain clients}; medians of the rounds${streaming:+ (of the $((rounds * together)) windows beside)}"
echo "cpu: $playing, at the end: $playerShown"
echo "cpu: waits and read or write calls a minute: the dialog $dialogWaits and $dialogCalls," \
  "the player $playerWaits and $playerCalls"
echo "cpu: a dialog with the same timer: $dialogOwn ms a minute, and $dialogServer ms of the Wine server's"
echo "cpu: $playing: $playerOwn ms a minute (of which the drive's host $playerHost ms), and $playerServer ms of the Wine server's"
echo "cpu: $playing takes $(echo "${own[@]}" | median) times the dialog's own time," \
  "$(echo "${withServer[@]}" | median) times with the server's $note (rounds: ${withServer[*]})"
[ -n "$streaming" ] || exit 0
read -r plainOwn plainServer _ <<<"$(figures "${plainRuns[@]}")"
read -r flacOwnMs flacServer flacHost _ <<<"$(figures "${flacRuns[@]}")"
echo "cpu: a plain waveOut client playing the same samples: $plainOwn ms a minute, and $plainServer ms of the Wine server's"
echo "cpu: $playing (the player's own time with its host's) takes $(echo "${streamOwn[@]}" | median) times the plain client's own time," \
  "$(echo "${streamWith[@]}" | median) times with the server's, each in turn (rounds: ${streamWith[*]})"
read -r tPlayer tHost tApart tBeside <<<"$(figures "${togetherRuns[@]}")"
echo "cpu: Unix sessions scheduled as groups of their own (autogroup): $(cat /proc/sys/kernel/sched_autogroup_enabled 2>/dev/null || echo unknown)," \
  "this script's CPU group: $(cpuGroup)"
echo "cpu: the player streaming and two plain clients at the same time, each over the same window, own times only, medians: the player" \
  "$tPlayer ms a minute (of which the drive's host $tHost ms), the client in a Unix session of its own" \
  "(as the host) $tApart ms, the client in this script's session $tBeside ms"
# The drive's streaming against a plain client's: the host's own time (see
# README); the player's own time with it is printed after.
echo "cpu: the drive's host's own time, streaming, is $(echo "${hostApartRatios[@]}" | median) times the own time of the plain client" \
  "in a session of its own (goal: at most 1.05; windows: ${hostApartRatios[*]}), $(echo "${hostBesideRatios[@]}" | median) times" \
  "that of the one in this script's session (windows: ${hostBesideRatios[*]})"
echo "cpu: the player's own time with its host's takes $(echo "${playerApartRatios[@]}" | median) times the own time of the" \
  "plain client in a session of its own (windows: ${playerApartRatios[*]})"
echo "cpu: the player streaming the same minute from a FLAC image: $flacOwnMs ms a minute (of which the drive's host" \
  "$flacHost ms), and $flacServer ms of the Wine server's"
echo "cpu: the player's own time with its host's, streaming FLAC, against the plain client in turn, in this script's session, is $(echo "${flacOwn[@]}" | median) times the plain client's own time," \
  "$(echo "${flacWith[@]}" | median) times with the server's (goal: at most 1.3; rounds: ${flacWith[*]})"
