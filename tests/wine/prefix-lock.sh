#!/usr/bin/env bash
# The shared prefix's lock and its clean-up (scripts/in-wine-prefix):
# - no program run in the prefix, Wine's own included, holds the lock's
#   descriptor;
# - a process of the prefix that outlives the run is ended and named;
# - a run that finds the prefix held by a Wine program says which process
#   holds it and gives up instead of waiting for ever.
#
# Wine's own server is the only Wine program it starts, in a scratch prefix
# with an empty registry, so it needs no Windows program and no shared prefix.
#
#   tests/wine/prefix-lock.sh DIR     (emptied first)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../../scripts/in-wine-prefix
source "$here/../../scripts/wine-prefixes.sh"
dir=$(realpath -m "${1:?usage: $0 DIR}")
prefix=$dir/prefix
lock=$prefix.lock
work=$dir/work
rm -rf "$dir"
mkdir -p "$prefix" "$prefix.pristine" "$work"
for file in $WINE_PREFIX_REGISTRY; do
  echo "WINE REGISTRY Version 2" >"$prefix.pristine/$file"
done
echo win64 >"$prefix.pristine/arch"
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
straggler=""
cleanup() {
  [ -n "$straggler" ] && kill -KILL "$straggler" 2>/dev/null
  WINE_PREFIX_TAKEN=$prefix wine_prefix_stop "$prefix" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# 1. Inside a run: neither the command nor the Wine server it starts has the
# lock file open.
"$run" "$prefix" bash -c '
  wineserver -p
  find /proc/[0-9]*/fd -maxdepth 1 -lname "$1" 2>/dev/null | while read -r fd; do
    pid=${fd#/proc/}; pid=${pid%%/*}; echo "$pid $(cat /proc/$pid/comm)"
  done >"$2"
  ' _ "$lock" "$work/holders" || fail "the run in the prefix failed"
# Only the flock process that takes the lock for the run may hold it.
if grep -v '^[0-9]* flock$' "$work/holders" | grep -q .; then
  fail "programs of the run hold the lock's descriptor:"
  cat "$work/holders"
else
  echo "ok: no program of the run holds the lock"
fi

# 2. A process of the prefix that is still there after the run is ended.
"$run" "$prefix" bash -c 'setsid sleep 300 </dev/null >/dev/null 2>&1 & echo $! >"$1"' _ "$work/stray" \
  2>"$work/stray.err" || fail "the run that leaves a process failed"
stray=$(cat "$work/stray")
if [ -e "/proc/$stray" ] && [ "$(awk '/^State:/ {print $2}' "/proc/$stray/status")" != Z ]; then
  fail "process $stray of the prefix outlived the run"
  kill -KILL "$stray"
elif ! grep -q "Ended process $stray of $prefix.*sleep 300" "$work/stray.err"; then
  fail "the run did not name the process it ended:"
  cat "$work/stray.err"
else
  echo "ok: the left process was ended and named"
fi

# 3. A Wine program that keeps the lock (as one that inherited the lock's
# descriptor under an earlier design would) holds up the next run only for
# WINE_PREFIX_WAIT seconds, and the run names it.
(
  exec 9>>"$lock"
  flock 9
  exec env WINEPREFIX="$prefix" wineserver -f -p
) &
straggler=$!
for _ in $(seq 100); do
  flock -n "$lock" true || break
  sleep 0.1
done
started=$SECONDS
if WINE_PREFIX_WAIT=3 "$run" "$prefix" true 2>"$work/wait.err"; then
  fail "a run went ahead while another process held the prefix"
else
  took=$((SECONDS - started))
  if [ $took -gt 20 ]; then
    fail "the run gave up only after $took s"
  elif ! grep -q "Gave up after 3 s waiting for $prefix" "$work/wait.err" ||
    ! grep -q "^  $straggler: .*wineserver.* -f -p" "$work/wait.err"; then
    fail "the run did not say who held the prefix:"
    cat "$work/wait.err"
  else
    echo "ok: the run gave up after $took s and named the holder:"
    sed 's/^/    /' "$work/wait.err"
  fi
fi
{
  kill -KILL "$straggler"
  wait "$straggler"
} 2>/dev/null || true
straggler=""

[ $failed -eq 0 ] && echo "PASS: prefix lock" || echo "FAIL: prefix lock"
exit $failed
