#!/usr/bin/env bash
# The DLL and the runner of this tree built a second time, from a copy of the
# source in another, deeper folder, later, with its files' times changed and
# another time zone, locale, umask and SOURCE_DATE_EPOCH: both must come out
# as the same bytes. Their PE checksums must be right. Needs no Wine; the
# copy and its build are removed afterwards.
#
# The build takes one core: the tests beside it and the fuzz tests (make test)
# have the others.
#
#   tests/wine/reproducible-build.sh SOURCE_DIR DLL RUNNER [BUILD_TYPE]
set -uo pipefail
usage="usage: $0 SOURCE_DIR DLL RUNNER [BUILD_TYPE]"
source_dir=${1:?$usage} dll=${2:?$usage} runner=${3:?$usage} build_type=${4:-}
checksum=$source_dir/scripts/pe-checksum

work=$(mktemp -d "${TMPDIR:-/tmp}/skerrow-rebuild.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 143' TERM INT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The source as another clone would have it: no build trees, no dist/, no
# Git data; every file's time the time of copying (tar -m).
copy=$work/another/folder/skerrow
mkdir -p "$copy"
tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./.git -cf - . |
  tar -C "$copy" -xmf - || { echo "FAIL: cannot copy $source_dir"; exit 1; }

(
  umask 027
  export SOURCE_DATE_EPOCH=1000000000 TZ=Pacific/Chatham LC_ALL=C USER=another LOGNAME=another
  cmake -S "$copy" -B "$copy/build/win32" -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DSKERROW_WINE_DIR="$work/wine" &&
    cmake --build "$copy/build/win32" -j 1 --target skerrow_dll skerrow_run
) >"$work/build.log" 2>&1 || {
  cat "$work/build.log"
  echo "FAIL: the second build failed"
  exit 1
}

for pair in "$dll:$copy/dist/Skerrow.dll" "$runner:$copy/build/win32/skerrow-run.exe"; do
  first=${pair%%:*} second=${pair#*:}
  if ! cmp -s "$first" "$second"; then
    fail "$(basename "$first") differs between the two builds in $(cmp -l "$first" "$second" |
      wc -l) bytes, the first at these offsets:"
    cmp -l "$first" "$second" | head -5
  fi
  "$checksum" "$first" || fail "$first has a wrong PE checksum"
done

# The checksum check itself: a wrong field is found, and put right it is the
# value the build wrote.
cp "$dll" "$work/wrong-checksum.dll"
field=$(($(od -An -tu4 -j 60 -N4 "$dll") + 4 + 20 + 64))
printf '\125\125' | dd of="$work/wrong-checksum.dll" bs=1 seek="$field" conv=notrunc 2>/dev/null
cmp -s "$work/wrong-checksum.dll" "$dll" && fail "the checksum field did not change"
"$checksum" "$work/wrong-checksum.dll" 2>/dev/null && fail "a wrong checksum passes pe-checksum"
"$checksum" --write "$work/wrong-checksum.dll" && cmp -s "$work/wrong-checksum.dll" "$dll" ||
  fail "pe-checksum --write does not give the checksum of the build"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "reproducible: the second build gave the same DLL and runner"
