#!/usr/bin/env bash
# Runs one Windows test program under Wine for ctest: one-test.sh LOADER
# PROGRAM ARGUMENTS. A program whose tests have all reported (GoogleTest's
# closing "[  PASSED  ]" or "[  FAILED  ]") but that is still running a
# while later is ended and reported on a line of its own that begins with
# "LINGERED:", and fails; the run's summary counts those lines. The output
# goes to a file, not to ctest's pipe: a process that Wine starts on the
# test's behalf (its desktop, its services) keeps its parent's output open
# for as long as it lives, and ctest would wait for it.
loader=$1
shift
# Wine's own errors reach the output, of the test program and of what it
# starts, so that a program Wine ends before it says a word says why.
# ALSA's are left out: its probe speaks at every sound device's open where
# there is no sound card.
export WINEDEBUG="${WINEDEBUG:--all},err+all,err-alsa"
# Without address randomization (see wine_unrandomized in tools/wine-env),
# where the system lets it be switched off; what the program starts inherits it.
unrandomized=()
setarch "$(uname -m)" -R true 2>/dev/null && unrandomized=(setarch "$(uname -m)" -R)
# GoogleTest's lines as this script reads them, without colours.
export GTEST_COLOR=no
grace=${DROVIX_TEST_GRACE:-10}
name=""
listing=""
for argument in "$@"; do
  [[ "$argument" == --gtest_filter=* ]] && name=${argument#--gtest_filter=}
  [[ "$argument" == --gtest_list_tests ]] && listing=1
done
out=$(mktemp)
"${unrandomized[@]}" "$loader" "$@" >"$out" 2>&1 </dev/null &
pid=$!
ended_at=""
while kill -0 "$pid" 2>/dev/null; do
  if [ -z "$ended_at" ] && grep -qE '^\[  (PASSED|FAILED)  \]' "$out"; then
    ended_at=$SECONDS
  fi
  if [ -n "$ended_at" ] && [ $((SECONDS - ended_at)) -ge "$grace" ]; then
    cat "$out"
    echo "LINGERED: ${name:-$1}: its tests had reported, but its process had not ended $grace s later"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rm -f "$out"
    exit 3
  fi
  sleep 0.2
done
wait "$pid"
status=$?
cat "$out"
# A program that ends before GoogleTest says a word (the loader refused it,
# or it died at its start) is named with its status, not left unexplained.
# A listing of the tests (ctest's discovery) has no banner, only names.
if [ -n "$listing" ]; then
  [ -s "$out" ] || echo "one-test.sh: $1 listed no tests and ended with status $status"
elif ! grep -q '^\[==========\]' "$out"; then
  echo "one-test.sh: ${name:-$1} ended with status $status before GoogleTest wrote a word"
fi
rm -f "$out"
exit $status
