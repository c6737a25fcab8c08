# The registry of a Wine prefix in the installer tests: loading fixture
# registries and taking snapshots of the keys Skerrow works on. Sourced by the
# scripts beside it and by scripts/demo.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-prefixes.sh"

MSI_FIXTURES=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/fixtures/main

# The keys a snapshot holds, as "KEY|VIEW": VIEW is 32 or 64 for
# HKEY_LOCAL_MACHINE\SOFTWARE (the two views differ only on a 64-bit prefix)
# and empty for HKEY_CURRENT_USER and HKEY_USERS, which both views share.
# MSI_SNAPSHOT_USERS adds the whole hive HKEY_USERS\SID of each SID it lists
# (other accounts' hives that a scenario loaded).
msi_snapshot_keys() {
  local arch=$1 sid
  echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk|32'
  [ "$arch" = win64 ] && echo 'HKEY_LOCAL_MACHINE\SOFTWARE\Autodesk|64'
  echo 'HKEY_CURRENT_USER\Software\Autodesk|'
  echo 'HKEY_CURRENT_USER\Software\CadManagerControl|'
  for sid in ${MSI_SNAPSHOT_USERS:-}; do
    echo "HKEY_USERS\\$sid|"
  done
}

# Runs a Wine program in a prefix; its output goes where the caller's goes.
msi_wine() {
  local prefix=$1
  shift
  WINEPREFIX=$prefix wine "$@"
}

# Loads a fixture registry from DIR (fixtures/main by default):
# machine-32.reg into the 32-bit view, machine-64.reg into the 64-bit view
# (64-bit prefixes only), then user.reg.
msi_import_fixtures() {
  local prefix=$1 dir=${2:-$MSI_FIXTURES} arch
  arch=$(wine_prefix_arch "$prefix")
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
  arch=$(wine_prefix_arch "$prefix")
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
