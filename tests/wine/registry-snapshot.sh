# Registry fixtures and snapshots in a Wine prefix, for the end-to-end tests.
# Sourced; expects WINEPREFIX to name the prefix and SNAPSHOT_ARCH to be
# win32 or win64.
#
# Every reg command in a 64-bit prefix runs with /reg:64, so that the paths
# in fixtures and snapshots are physical: the 32-bit view of
# HKEY_LOCAL_MACHINE\SOFTWARE is written out as SOFTWARE\Wow6432Node.

export WINEDEBUG=-all

# The trees a snapshot holds, physical paths.
snapshot_keys() {
  echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk'
  echo 'HKEY_LOCAL_MACHINE\SOFTWARE\CadManagerControl'
  if [ "$SNAPSHOT_ARCH" = win64 ]; then
    echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Autodesk'
    echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\CadManagerControl'
  fi
  echo 'HKEY_CURRENT_USER\Software\Autodesk'
  echo 'HKEY_CURRENT_USER\Software\CadManagerControl'
}

reg_in_prefix() {
  if [ "$SNAPSHOT_ARCH" = win64 ]; then
    wine reg "$@" /reg:64
  else
    wine reg "$@"
  fi
}

# A .reg file (UTF-16 from reg export, or ASCII/UTF-8 as written by hand) in a
# canonical form that compares by content: one line per key and one per value
# ("KEY<TAB>value"), every ancestor of a key listed too, key paths upper-cased
# (the registry ignores their case, and export prints the stored case of keys
# the fixture did not create), sorted. Continued lines (hex data) are joined.
canonical_reg() {
  local file=$1
  if [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16 -t UTF-8 "$file"
  else
    cat "$file"
  fi | tr -d '\r' | awk '
    function emit_key(path,   parts, n, i, prefix) {
      n = split(path, parts, "\\")
      prefix = ""
      for (i = 1; i <= n; ++i) {
        prefix = (i == 1) ? parts[1] : prefix "\\" parts[i]
        print prefix
      }
    }
    pending != "" {
      line = $0
      sub(/^[ \t]+/, "", line)
      pending = pending line
      if (pending ~ /\\$/) { sub(/\\$/, "", pending); next }
      print key "\t" pending
      pending = ""
      next
    }
    /^(REGEDIT4|Windows Registry Editor Version)/ || /^;/ || /^[ \t]*$/ { next }
    /^\[.*\]$/ {
      key = toupper(substr($0, 2, length($0) - 2))
      emit_key(key)
      next
    }
    {
      if ($0 ~ /\\$/) { pending = substr($0, 1, length($0) - 1); next }
      print key "\t" $0
    }
  ' | LC_ALL=C sort -u
}

# Canonical snapshot of every tree of snapshot_keys, on stdout. A tree that
# does not exist adds nothing.
snapshot() {
  local dir key file i=0
  dir=$(mktemp -d)
  while read -r key; do
    i=$((i + 1))
    reg_in_prefix export "$key" "$dir/$i.reg" /y >/dev/null 2>&1 || rm -f "$dir/$i.reg"
  done < <(snapshot_keys)
  for file in "$dir"/*.reg; do
    if [ -f "$file" ]; then canonical_reg "$file"; fi
  done | LC_ALL=C sort -u
  rm -rf "$dir"
}

# Removes every snapshot tree.
clear_trees() {
  local key
  while read -r key; do
    reg_in_prefix delete "$key" /f >/dev/null 2>&1 || true
  done < <(snapshot_keys)
}

# Removes every snapshot tree and loads FILE (physical paths).
load_fixture() {
  clear_trees
  reg_in_prefix import "$1" >/dev/null 2>&1 || {
    echo "cannot import $1" >&2
    return 1
  }
}
