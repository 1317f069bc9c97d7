#!/usr/bin/env bash
# File benchmark, in one run under Wine: FILES /s with the collector's file collection
# (FileBench.exe) over a tree of 10,000 small files and three large ones beside Wine's
# `xcopy /s /i` of the same tree, FILE_VERSIONS over the prefix's system folder beside
# `dir /s /a` of it, and the file list's ListExternalFiles (LineBench.exe) over results
# roots of 1,000, 10,000 and 50,000 files beside `dir /s /b` of each. Prints wall time,
# CPU and peak memory of each and the ratios of ours to the peer's. Figures only, no
# verdict.
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
list_counts="1000 10000 50000"

python3 "$here/make-bench-data.py" "$tree" files
for count in $list_counts; do python3 "$here/make-bench-data.py" "$build/bench-data/list-$count" "list$count"; done
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

echo
printf '%-40s %8s %8s %9s\n' "" "wall s" "cpu s" "peak MB"
inside_row "FILES /s: collector (in process)" "$work/copy.out"
time_row "FILES /s: collector (Wine process)" "$work/copy.time"
time_row "xcopy /s /i (Wine process)" "$work/xcopy.time"
ratio_row "ratio collector / xcopy" "$work/copy.time" "$work/xcopy.time"
echo
inside_row "FILE_VERSIONS /s: collector (in process)" "$work/list.out"
time_row "FILE_VERSIONS /s: collector (Wine process)" "$work/list.time"
time_row "dir /s /a (Wine process)" "$work/dir.time"
ratio_row "ratio collector / dir" "$work/list.time" "$work/dir.time"

# The list to start from is put in place anew for each run: listing appends to it.
for count in $list_counts; do
  list="$build/bench-data/list-$count"
  cp "$list/FileList.base" "$list/root/FileList.csv"
  timed "$work/list$count.time" "$build/wine-run.sh" "$build/tests/LineBench.exe" list "$(windows "$list/root")" \
    >"$work/list$count.out" || true
  timed "$work/dirb$count.time" "$build/wine-run.sh" "$cmd" /c dir /s /b "$(windows "$list/root")" \
    >"$work/dirb$count.txt" || true
  externals[$count]=$(tr -d '\r' <"$list/root/FileList.csv" | sed -n '/^<EXTERNAL_FILES>$/,$p' | grep -c ',' || true)
done
echo
printf '%-28s %8s %10s %10s %8s %10s %9s\n' "ListExternalFiles" "files" "ours s" "dir /b s" "ratio" "us/file" "peak MB"
for count in $list_counts; do
  ours=$(figure "$work/list$count.out" list_seconds)
  read -r peer rest <"$work/dirb$count.time"
  printf '%-28s %8d %10.3f %10.2f %8s %10.1f %9s\n' "" "$count" "$ours" "$peer" "$(ratio "$ours" "$peer")" \
    "$(awk -v s="$ours" -v n="$count" 'BEGIN {print 1e6 * s / n}')" \
    "$(bytes_mb "$(figure "$work/list$count.out" peak_working_set_bytes)")"
done

copied=$(find "$work/results/Bench/Tree" -type f 2>/dev/null | wc -l)
xcopied=$(find "$work/xcopy" -type f 2>/dev/null | wc -l)
listed=$(($(tr -d '\r' <"$work/listing/Bench/Tree.csv" 2>/dev/null | wc -l) - 1))
echo
echo "check: collector exit $rc_copy, $copied of $files files copied ($(figure "$work/copy.out" files) counted);" \
  "xcopy exit $rc_xcopy, $xcopied copied; FILE_VERSIONS exit $rc_list, $listed rows; dir exit $rc_dir," \
  "$(grep -c . "$work/dir.txt") lines"
for count in $list_counts; do
  echo "check: ListExternalFiles of $count files: ${externals[$count]} of $((count / 1000)) unregistered files" \
    "listed as external, write_failed=$(figure "$work/list$count.out" write_failed);" \
    "dir /s /b $(grep -c . "$work/dirb$count.txt") lines"
done
rm -rf "$work"
cat <<'NOTE'
notes:
- The collector copies each file, logs one activity-log line and registers it with its
  CRC in the file list (reading the copy once more), all through line-at-a-time writes;
  xcopy only copies. FILE_VERSIONS opens every file and reads its version resource;
  dir lists names, sizes and times.
- ListExternalFiles reads the registered names back from the file list (all files
  but one per folder of 1,000), walks the results root without following links and
  registers the rest with their CRC; "ours" is timed inside the program around that
  call alone, dir /s /b as the whole Wine process. us/file must stay flat as the
  count grows: the work is linear.
- "Wine process": the whole program under /usr/bin/time, Wine's loader included; its
  peak is the resident set of that process. "in process": timed inside the program
  around the collector alone, peak working set as Wine reports it.
- The machine is shared: repeat a run before reading much into a difference.
NOTE
