#!/usr/bin/env bash
# File benchmark, in one run under Wine: FILES /s with the collector's file collection
# (FileBench.exe) over a tree of 10,000 small files and three large ones beside Wine's
# `xcopy /s /i` of the same tree, and FILE_VERSIONS over the prefix's system folder
# beside `dir /s /a` of it. Prints wall time, CPU and peak memory of each and the ratios
# of ours to the peer's. Figures only, no verdict.
set -euo pipefail
build=$(cd "${1:?build tree}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/bench-common.sh"
bench="$build/tests/FileBench.exe"
tree="$build/bench-data/file-tree"
work="$build/bench-data/file-run"
system='C:\windows\system32'
# The peers by their full path: by bare name Wine starts them through start.exe in a
# process of their own, which the timer would not see.
xcopy="$system\\xcopy.exe" cmd="$system\\cmd.exe"
[ -x "$bench" ] || { echo "bench: $bench is missing (build the win64 tree with tests)" >&2; exit 1; }

python3 "$here/make-bench-data.py" "$tree" files
bench_wine "$build"
rm -rf "$work"
mkdir -p "$work"
# Read once before the clocks run, so that neither side pays for a cold cache.
find "$tree" -type f -exec cat {} + >/dev/null

files=$(find "$tree" -type f | wc -l)
bytes=$(find "$tree" -type f -printf '%s\n' | awk '{s += $1} END {printf "%.0f", s}')
echo "bench: $files files, $(bytes_mb "$bytes") MB in $tree"

rc_copy=0 rc_xcopy=0 rc_list=0 rc_dir=0
timed "$work/copy.time" "$build/wine-run.sh" "$bench" copy "$(windows "$tree")\\*.* /s" "$(windows "$work/results")" \
  >"$work/copy.out" || rc_copy=$?
timed "$work/xcopy.time" "$build/wine-run.sh" "$xcopy" /s /i /q "$(windows "$tree")" "$(windows "$work/xcopy")" \
  >/dev/null || rc_xcopy=$?
timed "$work/list.time" "$build/wine-run.sh" "$bench" list "$system\\*.* /s" "$(windows "$work/listing")" \
  >"$work/list.out" || rc_list=$?
timed "$work/dir.time" "$build/wine-run.sh" "$cmd" /c dir /s /a "$system" >"$work/dir.txt" || rc_dir=$?

row() {  # name time-file [in-process output]
  local wall rss user sys
  read -r wall rss user sys <"$1.time"
  awk -v n="$2" -v w="$wall" -v c="$(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}')" -v p="$(mb "$rss")" \
    'BEGIN {printf "%-40s %8.2f %8.2f %9s\n", n, w, c, p}'
}
inside() {  # name program output
  awk -v n="$1" -v w="$(figure "$2" wall_seconds)" -v c="$(figure "$2" cpu_seconds)" \
    -v p="$(bytes_mb "$(figure "$2" peak_working_set_bytes)")" 'BEGIN {printf "%-40s %8.2f %8.2f %9s\n", n, w, c, p}'
}
ratio() {  # name ours-time-file peer-time-file
  local ours_wall ours_rss ours_user ours_sys peer_wall peer_rss peer_user peer_sys
  read -r ours_wall ours_rss ours_user ours_sys <"$2.time"
  read -r peer_wall peer_rss peer_user peer_sys <"$3.time"
  awk -v n="$1" -v ow="$ours_wall" -v pw="$peer_wall" -v oc="$(awk -v u="$ours_user" -v s="$ours_sys" 'BEGIN {print u + s}')" \
    -v pc="$(awk -v u="$peer_user" -v s="$peer_sys" 'BEGIN {print u + s}')" -v om="$ours_rss" -v pm="$peer_rss" \
    'function r(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
     BEGIN {printf "%-40s %8s %8s %9s\n", n, r(ow, pw), r(oc, pc), r(om, pm)}'
}

echo
printf '%-40s %8s %8s %9s\n' "" "wall s" "cpu s" "peak MB"
inside "FILES /s: collector (in process)" "$work/copy.out"
row "$work/copy" "FILES /s: collector (Wine process)"
row "$work/xcopy" "xcopy /s /i (Wine process)"
ratio "ratio collector / xcopy" "$work/copy" "$work/xcopy"
echo
inside "FILE_VERSIONS /s: collector (in process)" "$work/list.out"
row "$work/list" "FILE_VERSIONS /s: collector (Wine process)"
row "$work/dir" "dir /s /a (Wine process)"
ratio "ratio collector / dir" "$work/list" "$work/dir"

copied=$(find "$work/results/Bench/Tree" -type f 2>/dev/null | wc -l)
xcopied=$(find "$work/xcopy" -type f 2>/dev/null | wc -l)
listed=$(($(tr -d '\r' <"$work/listing/Bench/Tree.csv" 2>/dev/null | wc -l) - 1))
echo
echo "check: collector exit $rc_copy, $copied of $files files copied ($(figure "$work/copy.out" files) counted);" \
  "xcopy exit $rc_xcopy, $xcopied copied; FILE_VERSIONS exit $rc_list, $listed rows; dir exit $rc_dir," \
  "$(grep -c . "$work/dir.txt") lines"
rm -rf "$work"
cat <<'NOTE'
notes:
- The collector copies each file, logs one activity-log line and registers it with its
  CRC in the file list (reading the copy once more), all through line-at-a-time writes;
  xcopy only copies. FILE_VERSIONS opens every file and reads its version resource;
  dir lists names, sizes and times.
- "Wine process": the whole program under /usr/bin/time, Wine's loader included; its
  peak is the resident set of that process. "in process": timed inside the program
  around the collector alone, peak working set as Wine reports it.
- The machine is shared: repeat a run before reading much into a difference.
NOTE
