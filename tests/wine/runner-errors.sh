#!/usr/bin/env bash
# skerrow-run must never report success when it could not run the action:
# bad arguments, a missing DLL and a DLL without the exports each give their
# own non-zero exit status and a message.
#
# usage: runner-errors.sh --prefix DIR --runner EXE --dll DLL
set -uo pipefail

prefix="" runner="" dll=""
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2 ;;
    --runner) runner=$2 ;;
    --dll) dll=$2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift 2 || { echo "missing value for $1" >&2; exit 2; }
done
export WINEPREFIX=$(cd "$prefix" && pwd) WINEDEBUG=-all
dll=$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")
out=$(mktemp)
trap 'rm -f "$out"' EXIT
failures=0

# expect STATUS PATTERN ARGS...: exit status STATUS and output matching PATTERN.
expect() {
  local status=$1 pattern=$2
  shift 2
  wine "$runner" "$@" >"$out" 2>&1
  local actual=$?
  if [ "$actual" -ne "$status" ] || ! grep -Eq "$pattern" "$out"; then
    echo "FAIL: skerrow-run $* exited with $actual (expected $status), output:"
    sed 's/^/  | /' "$out"
    failures=$((failures + 1))
  else
    echo "ok: skerrow-run $* -> $actual"
  fi
}

expect 2 '^usage:'
expect 2 '^usage:' --data 'x>1'
expect 2 '^usage:' remove --dll "$dll"
expect 2 '^usage:' install --dll
expect 2 '^usage:' install --data a --data b --dll "$dll"
expect 3 'cannot load' install --data 'x>1' --dll "$dll.missing"
# A DLL of Windows' own, without the custom actions.
expect 3 'has no export _Install@4' install --data 'x>1' --dll 'C:\windows\system32\version.dll'
expect 3 'has no export _Uninstall@4' uninstall --data 'x>1' --dll 'C:\windows\system32\version.dll'
# The real DLL with the property left unset: result 13, nothing swept.
expect 13 '^install: 13 ' install --dll "$dll"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
