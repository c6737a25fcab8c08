#!/usr/bin/env bash
# Install and Uninstall of a built Skerrow.dll, called through skerrow-run in
# a real installer session under Wine, judged by the registry they leave.
# (Wine reports a custom action that crashed or failed to load as success,
# so an exit status alone proves nothing.)
#
# usage: end-to-end.sh --arch win32|win64 --prefix DIR --runner EXE --dll DLL
#                      [--only NAME]
#
# The prefix must exist (64-bit for win64, 32-bit for win32). Every scenario
# starts from a freshly loaded fixture from data/ARCH/.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/runner-arguments.sh"

export WINEPREFIX=$prefix SNAPSHOT_ARCH=$arch
source "$here/registry-snapshot.sh"
data=$here/data/$arch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
current=""

fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

# Runs skerrow-run with the given arguments; the exit status is kept in
# $status, the output shown indented.
status=0
run() {
  wine "$runner" "$@" --dll "$dll" >"$work/out" 2>&1
  status=$?
  sed 's/^/    | /' "$work/out"
}

# Runs and requires the given exit status (the result code's low 8 bits).
run_expecting() {
  local expected=$1
  shift
  run "$@"
  [ "$status" -eq "$expected" ] || fail "skerrow-run $* exited with $status, expected $expected"
}

# Compares the registry with a canonical text (file) and shows the difference.
expect_registry() {
  local what=$1 expected=$2
  snapshot >"$work/actual"
  if ! diff -u --label "expected ($what)" --label actual "$expected" "$work/actual" \
      >"$work/diff"; then
    fail "registry differs from $what"
    sed 's/^/    /' "$work/diff"
  fi
}

expect_file() {
  canonical_reg "$data/$1" >"$work/expected-$1"
  expect_registry "$1" "$work/expected-$1"
}

expect_original() {
  expect_registry "the state before" "$work/original"
}

# Loads a fixture and records the state as the original.
start() {
  load_fixture "$data/$1" || { fail "cannot load $1"; return 1; }
  snapshot >"$work/original"
  # The fixture must come back exactly, or the comparisons mean nothing.
  canonical_reg "$data/$1" >"$work/fixture"
  if ! diff -q "$work/fixture" "$work/original" >/dev/null; then
    fail "the registry does not hold $1 after loading it"
    return 1
  fi
}

scenario() {
  current=$1
  if [ -n "$only" ] && [ "$only" != "$current" ]; then return 1; fi
  echo "== $current"
}

# --- Scenarios ---

machine=(--data 'x>1')
per_user=(--data 'x>0')

# Each mode: the data that asks for it and the registry it installs.
for mode in machine-wide per-user; do
  if [ "$mode" = machine-wide ]; then
    args=("${machine[@]}"); installed=products-installed-machine.reg
  else
    args=("${per_user[@]}"); installed=products-installed-user.reg
  fi

  if scenario "$mode"; then
    start products.reg &&
      { run_expecting 0 install "${args[@]}"
        expect_file "$installed"
        run_expecting 0 uninstall "${args[@]}"
        expect_original; }
  fi

  # A second installation must not save the 0 the first one wrote.
  if scenario "$mode-installed-twice"; then
    start products.reg &&
      { run_expecting 0 install "${args[@]}"
        run_expecting 0 install "${args[@]}"
        expect_file "$installed"
        run_expecting 0 uninstall "${args[@]}"
        expect_original; }
  fi

  # Installation and removal in one process: the library stays loaded
  # between the two calls.
  if scenario "$mode-one-process"; then
    start products.reg &&
      { run_expecting 0 install uninstall "${args[@]}"
        expect_original; }
  fi
done

# Empty or missing CustomActionData: result 13 and nothing touched.
if scenario empty-data; then
  start products.reg &&
    { run_expecting 13 install --data ''
      expect_original
      run_expecting 13 uninstall
      expect_original
      # Removal after a per-user installation, without data: nothing restored.
      run_expecting 0 install "${per_user[@]}"
      run_expecting 13 uninstall --data ''
      expect_file products-installed-user.reg; }
fi

# The Communication Center switches below SOFTWARE: Install leaves them
# alone, Uninstall restores them.
if scenario communication-center-machine-wide; then
  start comm-center.reg &&
    { run_expecting 0 install "${machine[@]}"
      expect_original
      run_expecting 0 uninstall "${machine[@]}"
      expect_file comm-center-uninstalled-machine.reg; }
fi

if scenario communication-center-per-user; then
  start comm-center.reg &&
    { run_expecting 0 uninstall "${per_user[@]}"
      expect_file comm-center-uninstalled-user.reg; }
fi

# Leave the prefix without test keys.
clear_trees

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s) in $arch"
  exit 1
fi
echo "all scenarios passed in $arch"
