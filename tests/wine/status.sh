#!/usr/bin/env bash
# `skerrow-run status` under Wine, against the real registry: on a machine
# without any of the products, after installation in each mode and after
# removal. Each report (text, --json and --check --json) is compared with
# what reg export shows (tests/wine/check-status.py), and reg export before
# and after the report must be the same.
#
# usage: status.sh --arch win32|win64 --prefix DIR --runner EXE --dll DLL
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/runner-arguments.sh"

export WINEPREFIX=$prefix SNAPSHOT_ARCH=$arch
source "$here/registry-snapshot.sh"
data=$here/data/$arch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

# HKLM\SOFTWARE (with the 32-bit view inside it) and HKCU\Software, as reg
# export writes them. Slow: done once.
export_software() {
  reg_in_prefix export 'HKEY_LOCAL_MACHINE\SOFTWARE' "$1.machine" /y >/dev/null 2>&1 &&
    reg_in_prefix export 'HKEY_CURRENT_USER\Software' "$1.user" /y >/dev/null 2>&1 ||
    fail "cannot export the registry"
}

# report NAME ROWS SUMMARY [--whole]: runs status and status --json, each of
# which must exit 0, and status --check --json, whose exit status
# check-status.py judges; none may change anything (the Skerrow trees of reg
# export compared before and after, with --whole all of both Software keys).
# Compares the reports with reg export.
report() {
  local name=$1 rows=$2 summary=$3 whole=${4:-} option status part check_status
  echo "== $name"
  snapshot >"$work/snapshot"
  [ -z "$whole" ] || export_software "$work/before"
  for option in "" --json; do
    wine "$runner" status $option >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq 0 ] || fail "status $option exited with $status: $(cat "$work/err")"
    tr -d '\r' <"$work/out" >"$work/report${option:+.json}"
  done
  wine "$runner" status --check --json >"$work/out" 2>"$work/err"
  check_status=$?
  tr -d '\r' <"$work/out" >"$work/check.json"
  sed 's/^/    | /' "$work/report"
  snapshot >"$work/snapshot-after"
  diff -u "$work/snapshot" "$work/snapshot-after" || fail "the report changed the registry"
  if [ -n "$whole" ]; then
    export_software "$work/after"
    for part in machine user; do
      cmp -s "$work/before.$part" "$work/after.$part" ||
        fail "the report changed the registry ($part Software key)"
    done
  fi
  python3 -m json.tool "$work/report.json" >/dev/null || fail "--json is not JSON"
  python3 "$here/check-status.py" --arch "$arch" --rows "$rows" --summary "$summary" \
    --check-json "$work/check.json" --check-exit "$check_status" \
    "$work/snapshot" "$work/report.json" "$work/report" || failures=$((failures + 1))
}

# run ARGS...: skerrow-run with the DLL under test; its result must be 0.
run() {
  wine "$runner" "$@" --dll "$dll" >"$work/run" 2>&1 || fail "skerrow-run $* failed: $(cat "$work/run")"
}

start() {
  load_fixture "$data/$1" || fail "cannot load $1"
}

# Bad arguments: exit status 2 and the usage, nothing else.
for args in "status --xml" "status --json --json" "status install" "status --json x" \
  "status --check --check" "status --all-users --all-users" "status --check x"; do
  wine "$runner" $args >"$work/out" 2>&1
  status=$?
  if [ "$status" -ne 2 ] || ! grep -q '^usage:' "$work/out"; then
    fail "skerrow-run $args exited with $status: $(cat "$work/out")"
  fi
done

if [ "$arch" = win64 ]; then
  before=(10 "1 setting switched off, 0 will be restored, 0 per-user copies")
  installed_machine=(10 "10 settings switched off, 10 will be restored, 0 per-user copies")
  installed_user=(17 "8 settings switched off, 8 will be restored, 7 per-user copies")
  comm=(3 "2 settings switched off, 3 will be restored, 0 per-user copies")
else
  before=(8 "1 setting switched off, 0 will be restored, 0 per-user copies")
  installed_machine=(8 "8 settings switched off, 8 will be restored, 0 per-user copies")
  installed_user=(14 "7 settings switched off, 7 will be restored, 6 per-user copies")
  comm=(2 "2 settings switched off, 2 will be restored, 0 per-user copies")
fi

clear_trees
report "no products" 0 "0 settings switched off, 0 will be restored, 0 per-user copies"

start products.reg
report "products, before installation" "${before[@]}"
run install --data 'x>1'
report "installed machine-wide" "${installed_machine[@]}"
run uninstall --data 'x>1'
report "removed machine-wide" "${before[@]}"

start products.reg
run install --data 'x>0'
report "installed per user" "${installed_user[@]}" --whole
run uninstall --data 'x>0'
report "removed per user" "${before[@]}"

# The Communication Center switched off by a CAD manager: removal switches
# it back on although nothing was recorded.
start comm-center.reg
report "Communication Center switched off" "${comm[@]}"

clear_trees

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s) in $arch"
  exit 1
fi
echo "all status reports match the registry in $arch"
