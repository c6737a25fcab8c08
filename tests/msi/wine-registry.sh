# Wine prefixes for installer tests: making them, putting their registry back
# to the state right after creation, loading fixture registries and taking
# snapshots of the keys Skerrow works on. Sourced by the scripts beside it
# and by scripts/demo.

export WINEDEBUG=-all
# No Mono or Gecko installer prompts while a prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

MSI_FIXTURES=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/fixtures/main

# The keys a snapshot holds, as "KEY|VIEW": VIEW is 32 or 64 for
# HKEY_LOCAL_MACHINE\SOFTWARE (the two views differ only on a 64-bit prefix)
# and empty for HKEY_CURRENT_USER, which both views share.
msi_snapshot_keys() {
  local arch=$1
  echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk|32'
  [ "$arch" = win64 ] && echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk|64'
  echo 'HKEY_CURRENT_USER\Software\Autodesk|'
  echo 'HKEY_CURRENT_USER\Software\CadManagerControl|'
}

# Prefixes are named by absolute paths throughout: Wine refuses others.

# Runs a Wine program in a prefix; its output goes where the caller's goes.
msi_wine() {
  local prefix=$1
  shift
  WINEPREFIX=$prefix wine "$@"
}

# Stops every Wine process of the prefix and waits until its registry is saved.
msi_prefix_stop() {
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
  WINEPREFIX=$1 wineserver -w 2>/dev/null || true
}

# Makes a new prefix (ARCH win32 or win64) at DIR and keeps a copy of its
# registry files in DIR.pristine. Slow: half a minute or so.
msi_prefix_create() {
  local prefix arch=$2
  prefix=$(realpath -m "$1")
  msi_prefix_stop "$prefix"
  rm -rf "$prefix" "$prefix.pristine"
  mkdir -p "$(dirname "$prefix")"
  if ! WINEPREFIX=$prefix WINEARCH=$arch wineboot -i >"$prefix.log" 2>&1; then
    echo "wineboot failed for $prefix; see $prefix.log" >&2
    return 1
  fi
  msi_prefix_stop "$prefix"
  mkdir "$prefix.pristine"
  cp "$prefix"/system.reg "$prefix"/user.reg "$prefix"/userdef.reg "$prefix.pristine/"
  echo "$arch" >"$prefix.pristine/arch"
}

msi_prefix_arch() {
  cat "$1.pristine/arch"
}

# Puts the prefix's registry back as it was after creation: no fixture, no
# installed product.
msi_prefix_reset() {
  local prefix=$1
  [ -f "$prefix.pristine/arch" ] || { echo "no prefix at $prefix" >&2; return 1; }
  msi_prefix_stop "$prefix"
  cp "$prefix.pristine"/*.reg "$prefix/"
}

# Loads a fixture registry from DIR (fixtures/main by default):
# machine-32.reg into the 32-bit view, machine-64.reg into the 64-bit view
# (64-bit prefixes only), then user.reg.
msi_import_fixtures() {
  local prefix=$1 dir=${2:-$MSI_FIXTURES} arch
  arch=$(msi_prefix_arch "$prefix")
  msi_wine "$prefix" reg import "$(winepath_of "$dir/machine-32.reg")" /reg:32 >/dev/null || return 1
  if [ "$arch" = win64 ]; then
    msi_wine "$prefix" reg import "$(winepath_of "$dir/machine-64.reg")" /reg:64 >/dev/null || return 1
  fi
  msi_wine "$prefix" reg import "$(winepath_of "$dir/user.reg")" >/dev/null
}

# Wine maps / to Z:, so a Unix path works once its slashes are turned.
winepath_of() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

# Writes a text snapshot of every snapshot key: reg export's own format, in
# UTF-8 without the file header, each key preceded by a line naming it and
# its view ("; absent" when it does not exist).
msi_snapshot() {
  local prefix=$1 out=$2 arch tmp key view flag
  arch=$(msi_prefix_arch "$prefix")
  tmp=$(mktemp "${out}.XXXXXX")
  : >"$out"
  while IFS='|' read -r key view; do
    flag=()
    [ -n "$view" ] && flag=("/reg:$view")
    if [ -n "$view" ]; then
      echo ";; $key ($view-bit view)" >>"$out"
    else
      echo ";; $key" >>"$out"
    fi
    rm -f "$tmp"
    if msi_wine "$prefix" reg export "$key" "$(winepath_of "$tmp")" "${flag[@]}" /y >/dev/null 2>&1; then
      iconv -f UTF-16 -t UTF-8 "$tmp" | tr -d '\r' | sed -e '1{/^Windows Registry Editor/d}' | sed -e '/./,$!d' >>"$out"
    else
      printf '; absent\n\n' >>"$out"
    fi
  done < <(msi_snapshot_keys "$arch")
  rm -f "$tmp"
}
