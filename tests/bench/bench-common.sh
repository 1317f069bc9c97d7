# Shared by the benchmark scripts (sourced): the build tree's Wine prefix with its
# server and services started before any clock runs, a timer, and path and number
# helpers. Nothing here asserts; the scripts print figures.

# bench_wine BUILD: the prefix of the build tree, its wineserver kept alive until exit.
# It takes the tree's test-run lock first, as tests/run-tests.sh does: the server it
# ends at exit is the one a test run of the same tree would be using.
bench_wine() {
  exec 9>"$1/.test-run.lock"
  if ! flock -n 9; then
    echo "bench: waiting for a test run of $1 to end"
    flock 9
  fi
  export WINEPREFIX="$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 9>&- || true
  fi
  # Wine's server and services are started before the clock runs, as in a real run
  # where the measured step is part of a long-lived process.
  wineserver -p 120 >/dev/null 2>&1 9>&- || true
  /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 9>&- || true
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

# cpu TIME-FILE: user + system seconds of a `timed` record.
cpu() { awk '{print $3 + $4}' "$1"; }

# ratio A B: A / B with two decimals, "-" when B is 0.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {print (b > 0 ? sprintf("%.2f", a / b) : "-")}'; }

# time_row NAME TIME-FILE: wall and CPU seconds and peak MB of a `timed` record.
time_row() {
  local wall rss user sys
  read -r wall rss user sys <"$2"
  printf '%-40s %8.2f %8.2f %9s\n' "$1" "$wall" "$(cpu "$2")" "$(mb "$rss")"
}

# ratio_row NAME OURS-TIME-FILE PEER-TIME-FILE: ours / peer of wall, CPU and peak.
ratio_row() {
  local ours_wall ours_rss peer_wall peer_rss rest
  read -r ours_wall ours_rss rest <"$2"
  read -r peer_wall peer_rss rest <"$3"
  printf '%-40s %8s %8s %9s\n' "$1" "$(ratio "$ours_wall" "$peer_wall")" "$(ratio "$(cpu "$2")" "$(cpu "$3")")" \
    "$(ratio "$ours_rss" "$peer_rss")"
}

# inside_row NAME OUTPUT PREFIX: wall and CPU seconds and peak MB that a benchmark
# program measured from inside its process (PREFIX_seconds or wall_seconds, ...).
inside_row() {
  printf '%-40s %8.2f %8.2f %9s\n' "$1" "$(figure "$2" wall_seconds)" "$(figure "$2" cpu_seconds)" \
    "$(bytes_mb "$(figure "$2" peak_working_set_bytes)")"
}
