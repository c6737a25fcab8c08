# The Wine prefixes that every test under Wine and `make demo` share: making
# one, taking it for one user at a time, stopping its Wine processes, and
# saving and putting back its registry. Sourced by scripts/make-wine-prefixes,
# scripts/in-wine-prefix, scripts/demo and tests/msi.
#
# Beside each prefix DIR lie DIR.pristine (its registry files as made, its
# architecture and the Wine that made it) and DIR.lock.
# Prefixes are named by absolute paths throughout: Wine refuses others.

export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and asking for them stalls.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The files that hold a prefix's whole registry.
WINE_PREFIX_REGISTRY="system.reg user.reg userdef.reg"

# Stops every Wine process of the prefix and waits until its registry is saved.
wine_prefix_stop() {
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
  WINEPREFIX=$1 wineserver -w 2>/dev/null || true
}

# Whether the prefix was made completely, by the Wine installed now. Another
# Wine would update the prefix on first use, behind the pristine copy's back.
wine_prefix_current() {
  local prefix=$1
  [ -f "$prefix/system.reg" ] && [ -f "$prefix.pristine/arch" ] &&
    [ "$(cat "$prefix.pristine/wine-version" 2>/dev/null)" = "$(wine --version)" ]
}

# Makes a new prefix (ARCH win32 or win64) at DIR and keeps a copy of its
# registry files in DIR.pristine. Slow: half a minute or so.
wine_prefix_create() {
  local prefix=$1 arch=$2
  wine_prefix_stop "$prefix"
  rm -rf "$prefix" "$prefix.pristine" "$prefix.pristine.new"
  mkdir -p "$(dirname "$prefix")"
  if ! WINEPREFIX=$prefix WINEARCH=$arch wineboot -i >"$prefix.log" 2>&1; then
    echo "wineboot failed for $prefix; see $prefix.log" >&2
    return 1
  fi
  wine_prefix_stop "$prefix"
  mkdir "$prefix.pristine.new"
  wine_prefix_save "$prefix" "$prefix.pristine.new"
  echo "$arch" >"$prefix.pristine.new/arch"
  wine --version >"$prefix.pristine.new/wine-version"
  # Last, so that an interrupted creation leaves no prefix that looks made.
  mv "$prefix.pristine.new" "$prefix.pristine"
}

wine_prefix_arch() {
  cat "$1.pristine/arch"
}

# Copies the prefix's registry files into DIR. The prefix must be stopped.
wine_prefix_save() {
  local prefix=$1 dir=$2 file
  for file in $WINE_PREFIX_REGISTRY; do
    cp "$prefix/$file" "$dir/" || return 1
  done
}

# Stops the prefix and puts back the registry files saved in DIR.
wine_prefix_restore() {
  local prefix=$1 dir=$2 file
  wine_prefix_stop "$prefix"
  for file in $WINE_PREFIX_REGISTRY; do
    cp "$dir/$file" "$prefix/" || return 1
  done
}

# Puts the prefix's registry back as it was after creation: no fixture, no
# installed product.
wine_prefix_reset() {
  local prefix=$1
  [ -f "$prefix.pristine/arch" ] || { echo "no prefix at $prefix" >&2; return 1; }
  wine_prefix_restore "$prefix" "$prefix.pristine"
}

# Waits until no other run (another test, `make demo`, another ctest) uses the
# prefix, and keeps it until the calling shell and every Wine process it
# started have ended: they all hold the lock file open. Programs started
# meanwhile already have the prefix.
wine_prefix_lock() {
  local prefix=$1 fd
  [ "${WINE_PREFIX_TAKEN:-}" = "$prefix" ] && return 0
  exec {fd}>>"$prefix.lock"
  if ! flock -n "$fd"; then
    echo "Waiting for $prefix, which another run is using..." >&2
    flock "$fd"
  fi
  export WINE_PREFIX_TAKEN=$prefix
}
