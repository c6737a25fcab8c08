#!/usr/bin/env bash
# Checks the PE headers of a built Skerrow.dll against what installer
# packages and target machines rely on:
#   - a 32-bit x86 DLL;
#   - exactly the exports "_Install@4" (ordinal 1) and "_Uninstall@4"
#     (ordinal 2), nothing else, nothing forwarded;
#   - msi.dll imported by ordinal only, with no names: 8 MsiCloseHandle,
#     17 MsiCreateRecord, 74 MsiGetPropertyW, 103 MsiProcessMessage and
#     125 MsiRecordSetStringW, nothing else;
#   - imports from KERNEL32, ADVAPI32, msi.dll and msvcrt.dll only (no
#     compiler runtime DLL), no delay-loaded or bound imports;
#   - IsWow64Process not imported (it is looked up at run time, since 32-bit
#     Windows XP before SP2 lacks it), nor RegLoadAppKeyW (Windows XP lacks
#     it, and nothing uses it), nor any function newer than Windows XP that
#     the compiler's runtime libraries are known to bring in.
#
# usage: check-dll-headers.sh DLL [OBJDUMP]
set -euo pipefail

dll=${1:?usage: check-dll-headers.sh DLL [OBJDUMP]}
objdump=${2:-i686-w64-mingw32-objdump}
[ -f "$dll" ] || { echo "FAIL: $dll does not exist"; exit 1; }

headers=$("$objdump" -p "$dll")
file_header=$("$objdump" -f "$dll")
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Machine and kind of image.
grep -q 'file format pei-i386$' <<<"$headers" || fail "not a PE image for i386"
grep -q '^architecture: i386,' <<<"$file_header" || fail "architecture is not i386"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "not PE32"
awk '/^Characteristics/ {c = 1; next} c && /^$/ {exit} c && $1 == "DLL" {found = 1}
     END {exit !found}' <<<"$headers" || fail "the DLL characteristic is not set"

# Data directories that must stay empty.
for entry in "Delay Import Directory" "Bound Import Directory"; do
  grep -Eq "^Entry [0-9a-f] 00000000 00000000 $entry" <<<"$headers" || fail "$entry is not empty"
done

# Exports: "ordinal name" lines, ordinals made absolute with the base.
exports=$(awk '
  /^Ordinal Base/ { base = $3 }
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && /^[[:space:]]*\[/ {
    line = $0; sub(/^[[:space:]]*\[[[:space:]]*/, "", line)
    index_ = line; sub(/\].*/, "", index_)
    name = line; sub(/^[^]]*\][[:space:]]*/, "", name)
    print base + index_, name
    next
  }
  names && /^[[:space:]]*$/ { names = 0 }
' <<<"$headers")
expected_exports=$'1 _Install@4\n2 _Uninstall@4'
if [ "$(sort <<<"$exports")" != "$expected_exports" ]; then
  fail "exports differ; expected:"$'\n'"$expected_exports"$'\n'"found:"$'\n'"$exports"
fi
address_entries=$(awk '/^Number in:/ {counts = 1; next}
                         counts && /Export Address Table/ {print $4; exit}' <<<"$headers")
[ "$address_entries" = "00000002" ] ||
  fail "export address table holds $address_entries entries, expected 2 (no unnamed exports)"
if grep -q 'Forwarder RVA' <<<"$headers"; then fail "an export is forwarded"; fi

# Imports: "DLL<TAB>hint-or-ordinal<TAB>name" lines, name "<none>" for an
# import by ordinal.
imports=$(awk '
  /^The Import Tables/ { tables = 1; next }
  /^There is an export table/ || /^The Export Tables/ || /^PE File Base/ { tables = 0 }
  !tables { next }
  /^[[:space:]]*DLL Name:/ { dll = $3; next }
  NF == 6 { dll = ""; next }  # the next directory entry
  dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {
    printf "%s\t%s\t%s\n", dll, $2, $3
  }
' <<<"$headers")
[ -n "$imports" ] || fail "no imports found (objdump output not understood?)"

dlls=$(awk '/^[[:space:]]*DLL Name:/ {print $3}' <<<"$headers")
while read -r name; do
  case "${name,,}" in
    kernel32.dll | advapi32.dll | msi.dll | msvcrt.dll) ;;
    *) fail "imports from $name" ;;
  esac
done <<<"$dlls"
for needed in kernel32.dll advapi32.dll msi.dll; do
  grep -qix "$needed" <<<"$dlls" || fail "does not import from $needed"
done

msi_imports=$(awk -F '\t' 'tolower($1) == "msi.dll" {print $2 "\t" $3}' <<<"$imports" | sort -n)
msi_expected=$'8\t<none>\n17\t<none>\n74\t<none>\n103\t<none>\n125\t<none>'
[ "$msi_imports" = "$msi_expected" ] ||
  fail "msi.dll imports differ; expected ordinals 8, 17, 74, 103 and 125 without names, found:"$'\n'"$msi_imports"

for looked_up in IsWow64Process RegLoadAppKeyW; do
  if awk -F '\t' -v n="$looked_up" '$3 == n {found = 1} END {exit !found}' <<<"$imports"; then
    fail "$looked_up is imported"
  fi
done

# Functions newer than Windows XP that MinGW's runtime libraries can bring in
# (winpthread, the posix-thread-model libstdc++); one of them in the import
# table keeps the DLL from loading there at all.
newer_than_xp='GetTickCount64 GetSystemTimePreciseAsFileTime InitializeConditionVariable
  SleepConditionVariableCS SleepConditionVariableSRW WakeConditionVariable WakeAllConditionVariable
  InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
  ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared InitOnceExecuteOnce
  InitOnceBeginInitialize InitOnceComplete CreateEventExW CreateSemaphoreExW CreateMutexExW
  FlsAlloc FlsFree FlsGetValue FlsSetValue GetCurrentProcessorNumber SetThreadDescription'
for name in $newer_than_xp; do
  if awk -F '\t' -v n="$name" '$3 == n {found = 1} END {exit !found}' <<<"$imports"; then
    fail "imports $name, which Windows XP lacks"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $dll"
  exit 1
fi
echo "ok: $dll"
echo "exports:"
sed 's/^/  /' <<<"$exports"
echo "imports:"
awk -F '\t' '{print "  " $1 ": " ($3 == "<none>" ? "ordinal " $2 : $3)}' <<<"$imports"
