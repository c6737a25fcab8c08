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

# The exit status that makes ctest count a test as skipped.
WINE_SKIPPED=77

# Exits with WINE_SKIPPED, saying why, where this machine's kernel refuses to
# run 32-bit x86 programs (a kernel booted without IA-32 emulation): Wine then
# runs no 32-bit Windows program, the DLL among them, and nothing that it
# would test can be judged. Any other trouble with Wine is left to fail.
wine_skip_without_32bit() {
  local loader=/usr/lib/wine/wine out
  [ -e "$loader" ] || return 0
  out=$("$loader" --version 2>&1) && return 0
  case $out in
  *"Exec format error"* | *"cannot execute binary file"*)
    echo "SKIPPED: this machine cannot run 32-bit x86 programs ($loader: Exec format error;" \
      "a kernel booted without IA-32 emulation, see dmesg), so Wine cannot run the 32-bit DLL" >&2
    exit $WINE_SKIPPED
    ;;
  esac
}

# Stops every Wine process of the prefix: its wineserver first, waiting until
# the registry is saved, then any process that outlived it (a Wine program
# whose server is gone can sit blocked for good). Each of those is ended by
# its process id and named on standard error.
wine_prefix_stop() {
  local prefix=$1 pid
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  for pid in $(wine_prefix_processes "$prefix"); do
    echo "Ended process $pid of $prefix, left after its wineserver: $(wine_process_command "$pid")" >&2
    kill -KILL "$pid" 2>/dev/null || true
  done
  for pid in $(wine_prefix_processes "$prefix"); do
    wine_process_wait_gone "$pid"
  done
}

# The processes that belong to the prefix: their environment names it as
# WINEPREFIX or their working directory lies in it. Not this shell, its
# ancestors and its descendants (the helpers of this very search), which may
# carry WINEPREFIX themselves.
wine_prefix_processes() {
  local prefix=$1 self=$BASHPID ours=" " pid file up found
  pid=$self
  while [ -n "$pid" ] && [ "$pid" -gt 1 ]; do
    ours+="$pid "
    pid=$(wine_process_parent "$pid")
  done
  found=$(
    grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null || true
    find /proc/[0-9]*/cwd -maxdepth 0 \( -lname "$prefix" -o -lname "$prefix/*" \) 2>/dev/null || true
  )
  for file in $found; do
    pid=${file#/proc/}
    pid=${pid%%/*}
    [[ $ours == *" $pid "* ]] && continue
    up=$pid
    while [ -n "$up" ] && [ "$up" -gt 1 ] && [ "$up" != "$self" ]; do
      up=$(wine_process_parent "$up")
    done
    # Gone meanwhile, or one of this search's own.
    [ -z "$up" ] || [ "$up" = "$self" ] && continue
    echo "$pid"
  done | sort -un
}

wine_process_parent() {
  local key value
  while read -r key value; do
    [ "$key" = PPid: ] && { echo "$value"; return; }
  done 2>/dev/null <"/proc/$1/status"
}

# A process's command line, for messages.
wine_process_command() {
  local text
  text=$(tr '\0\n' '  ' <"/proc/$1/cmdline" 2>/dev/null) || true
  echo "${text:-(gone)}"
}

# Waits up to 10 s until the process has gone.
wine_process_wait_gone() {
  local tries=100
  while [ -e "/proc/$1" ] && [ $tries -gt 0 ]; do
    # A zombie is gone for our purposes: it holds nothing any more.
    [ "$(awk '/^State:/ {print $2}' "/proc/$1/status" 2>/dev/null)" = Z ] && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
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

# How long a run waits for a prefix that another run holds, in seconds: well
# below the time that ctest gives any test that uses one.
WINE_PREFIX_WAIT=${WINE_PREFIX_WAIT:-60}

# Takes the prefix for the calling script, which passes itself and its
# arguments: wine_prefix_lock PREFIX "$0" "$@". Unless this run holds the
# prefix already, it runs the script again under the prefix's lock and exits
# with its status; in that second run it returns at once.
# The lock is held by a flock process that only waits for the script: no
# program that the script starts inherits its descriptor, so a Wine process
# that outlives the run cannot keep the next one out. A run that finds the
# prefix held says by whom, and gives up after WINE_PREFIX_WAIT seconds.
wine_prefix_lock() {
  local prefix=$1 lock=$1.lock status=0
  shift
  [ "${WINE_PREFIX_TAKEN:-}" = "$prefix" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  if ! flock -n "$lock" true; then
    echo "Waiting up to $WINE_PREFIX_WAIT s for $prefix, which another run holds:" >&2
    wine_prefix_lock_holders "$lock" >&2
  fi
  WINE_PREFIX_TAKEN=$prefix flock -o -w "$WINE_PREFIX_WAIT" -E 75 "$lock" "$@" || status=$?
  if [ $status -eq 75 ] && ! flock -n "$lock" true; then
    echo "Gave up after $WINE_PREFIX_WAIT s waiting for $prefix; it is still held by:" >&2
    wine_prefix_lock_holders "$lock" >&2
  fi
  exit $status
}

# Every process that has the lock file open, as "  PID: COMMAND LINE".
wine_prefix_lock_holders() {
  local file pid
  { find /proc/[0-9]*/fd -maxdepth 1 -lname "$(realpath -m "$1")" 2>/dev/null || true; } |
    while IFS= read -r file; do
      pid=${file#/proc/}
      pid=${pid%%/*}
      echo "  $pid: $(wine_process_command "$pid")"
    done | sort -u
}
