#!/usr/bin/env bash
# Line-writer benchmark, in one run under Wine: the registry dump of
# HKEY_LOCAL_MACHINE\Software with the collector's dump (RegistryBench.exe) beside
# Wine's `reg export` of the same key in the same prefix, three rounds of the pair, the
# quietest round (least time for both) counting; and activity-log lines per second
# through the collector's writer beside bare writes of the same lines (LineBench.exe).
# Prints wall time, CPU and peak memory and the ratios of ours to the peer's. Figures
# only, no verdict.
set -euo pipefail
build=$(cd "${1:?build tree}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/bench-common.sh"
work="$build/bench-data/line-run"
lines=200000
for program in RegistryBench LineBench; do
  [ -x "$build/tests/$program.exe" ] || { echo "bench: $program.exe is missing (build the win64 tree with tests)" >&2; exit 1; }
done

bench_wine "$build"
rm -rf "$work"
mkdir -p "$work/log"

rc_dump=0 rc_reg=0 rc_log=0 best=
for round in 1 2 3; do
  rm -rf "$work/results"
  timed "$work/dump$round.time" "$build/wine-run.sh" "$build/tests/RegistryBench.exe" 'HKEY_LOCAL_MACHINE\Software' \
    "$(windows "$work/results")" >"$work/dump$round.out" || rc_dump=$?
  timed "$work/reg$round.time" "$build/wine-run.sh" 'C:\windows\system32\reg.exe' export 'HKLM\Software' \
    "$(windows "$work/export.reg")" /y >/dev/null || rc_reg=$?
  sum=$(awk '{s += $1} END {print s}' "$work/dump$round.time" "$work/reg$round.time")
  echo "round $round: dump $(cut -d' ' -f1 "$work/dump$round.time") s, reg export $(cut -d' ' -f1 "$work/reg$round.time") s"
  if [ -z "$best" ] || awk -v a="$sum" -v b="$best_sum" 'BEGIN {exit !(a < b)}'; then best=$round best_sum=$sum; fi
done
"$build/wine-run.sh" "$build/tests/LineBench.exe" log "$(windows "$work/log")" "$lines" >"$work/log.out" || rc_log=$?

echo "bench: HKEY_LOCAL_MACHINE\\Software of $WINEPREFIX (round $best); $lines activity-log lines"
echo
printf '%-40s %8s %8s %9s\n' "" "wall s" "cpu s" "peak MB"
inside_row "REGISTRY dump (in process)" "$work/dump$best.out"
time_row "REGISTRY dump (Wine process)" "$work/dump$best.time"
time_row "reg export (Wine process)" "$work/reg$best.time"
ratio_row "ratio dump / reg export" "$work/dump$best.time" "$work/reg$best.time"

echo
log_s=$(figure "$work/log.out" log_seconds) bare_s=$(figure "$work/log.out" bare_seconds)
printf '%-40s %12s %9s\n' "" "lines/s" "peak MB"
printf '%-40s %12.0f %9s\n' "activity log (LogEvent, in process)" "$(awk -v n="$lines" -v s="$log_s" 'BEGIN {print n / s}')" \
  "$(bytes_mb "$(figure "$work/log.out" peak_working_set_bytes)")"
printf '%-40s %12.0f\n' "one bare WriteFile per line" "$(awk -v n="$lines" -v s="$bare_s" 'BEGIN {print n / s}')"
printf '%-40s %12s\n' "ratio of times, log / bare" "$(ratio "$log_s" "$bare_s")"

dumped=$(tr -d '\r' <"$work/results/Bench/Dump.txt" 2>/dev/null | wc -l)
echo
echo "check: dump exit $rc_dump, $(figure "$work/dump$best.out" keys) keys, $dumped lines," \
  "$(bytes_mb "$(stat -c %s "$work/results/Bench/Dump.txt" 2>/dev/null || echo 0)") MB;" \
  "reg export exit $rc_reg, $(bytes_mb "$(stat -c %s "$work/export.reg" 2>/dev/null || echo 0)") MB (UTF-16);" \
  "log exit $rc_log, $(tr -d '\r' <"$work/log/Activity Log.csv" | wc -l) lines"
rm -rf "$work"
cat <<'NOTE'
notes:
- Both walk the same key through the registry API, every call a round trip to Wine's
  server; the dump also asks for every key's name, to tell a link back to a key above
  it. The dump writes single-byte text, one write per line; reg export writes UTF-16
  with its values sorted by name.
- The log lines carry a time stamp each, in both rows; the bare row is one WriteFile
  per line on a handle kept open, without the writer's free-space bookkeeping.
- "Wine process": the whole program under /usr/bin/time, Wine's loader included; its
  peak is the resident set of that process.
- The machine is shared: repeat a run before reading much into a difference.
NOTE
