# Shared by the benchmark scripts (sourced): the build tree's Wine prefix with its
# server and services started before any clock runs, a timer, and path and number
# helpers. Nothing here asserts; the scripts print figures.

# bench_wine BUILD: the prefix of the build tree, its wineserver kept alive until exit.
bench_wine() {
  export WINEPREFIX="$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  fi
  # Wine's server and services are started before the clock runs, as in a real run
  # where the measured step is part of a long-lived process.
  wineserver -p 120 >/dev/null 2>&1 || true
  /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}

# timed OUT COMMAND...: runs COMMAND and writes "wall-s peak-KB user-s system-s" to
# OUT (peak and CPU are 0 without /usr/bin/time); returns the command's exit code.
timed() {
  local out=$1
  shift
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%e %M %U %S' -o "$out" "$@"
    return
  fi
  local start rc=0
  start=$(date +%s.%N)
  "$@" || rc=$?
  echo "$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {printf "%.2f", e - s}') 0 0 0" >"$out"
  return $rc
}

# The Wine (drive Z:) form of a Linux path.
windows() { printf 'Z:%s' "${1//\//\\}"; }

# KB to MB, one decimal.
mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }

# figure FILE NAME: the value of "NAME=value" in a benchmark program's output.
figure() { tr -d '\r' <"$1" | sed -n "s/^$2=\([^ ]*\).*/\1/p"; }

# Bytes to MB, one decimal.
bytes_mb() { awk -v b="$1" 'BEGIN {printf "%.1f", b / 1048576}'; }
