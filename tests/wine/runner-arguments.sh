# The arguments of the scripts that drive skerrow-run in a Wine prefix,
# checked: --arch win32|win64 --prefix DIR --runner EXE --dll DLL [--only NAME].
# Sourced; sets arch, prefix (absolute), runner, dll (absolute) and only, or
# exits with 2.
arch="" prefix="" runner="" dll="" only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2 ;;
    --prefix) prefix=$2 ;;
    --runner) runner=$2 ;;
    --dll) dll=$2 ;;
    --only) only=$2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift 2 || { echo "missing value for $1" >&2; exit 2; }
done
case "$arch" in win32 | win64) ;; *) echo "--arch must be win32 or win64" >&2; exit 2 ;; esac
for file in "$runner" "$dll"; do
  [ -f "$file" ] || { echo "missing: $file" >&2; exit 2; }
done
[ -f "$prefix/system.reg" ] || { echo "no Wine prefix at $prefix" >&2; exit 2; }
# Wine wants an absolute prefix; the runner resolves a relative DLL path
# against its own working directory.
prefix=$(cd "$prefix" && pwd)
dll=$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")
