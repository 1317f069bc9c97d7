#!/usr/bin/env bash
# Verification benchmark: QIRVerify on the archive benchmark's result file (natively from
# the host build, and the win64 build under Wine) next to `gzip -t` of the same file, in
# the same run. Each runs three times and its fastest run counts; prints wall and CPU
# time, peak memory and the ratio to `gzip -t`. Figures only, no verdict.
# Usage: verify-bench.sh <win64 build tree> <host build tree>
set -euo pipefail
win64=$(cd "${1:?win64 build tree}" && pwd)
host=$(cd "${2:?host build tree}" && pwd)
archive="$win64/bench-data/Results.tgz"
[ -f "$archive" ] || { echo "verify bench: $archive is missing (tests/bench/archive-bench.sh makes it)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "verify bench: /usr/bin/time is missing (tools/setup.sh installs it)" >&2; exit 1; }
work=$(mktemp -d)

export WINEPREFIX="$win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p 120 >/dev/null 2>&1 || true
/usr/lib/wine/wine64 wineboot >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

# best NAME COMMAND...: runs the command three times; NAME.time gets the fastest run's
# "wall peak-KB user sys", NAME.out its output, NAME.rc its exit code.
best() {
  local name=$1 i
  shift
  for i in 1 2 3; do
    local rc=0
    /usr/bin/time -f '%e %M %U %S' -o "$work/run.time" "$@" >"$work/run.out" 2>/dev/null || rc=$?
    if [ ! -f "$work/$name.time" ] || awk -v a="$(cut -d' ' -f1 "$work/run.time")" \
        -v b="$(cut -d' ' -f1 "$work/$name.time")" 'BEGIN {exit !(a < b)}'; then
      cp "$work/run.time" "$work/$name.time"
      tr -d '\r' <"$work/run.out" >"$work/$name.out"
      echo "$rc" >"$work/$name.rc"
    fi
  done
}

best gzip gzip -t "$archive"
best native "$host/bin/QIRVerify" /quiet "$archive"
best wine "$win64/wine-run.sh" "$win64/bin/QIRVerify.exe" /quiet "Z:${archive//\//\\}"

read -r gzip_wall gzip_rss gzip_user gzip_sys <"$work/gzip.time"
gzip_cpu=$(awk -v u="$gzip_user" -v s="$gzip_sys" 'BEGIN {print u + s}')
echo "verify bench: $(awk -v b="$(stat -c %s "$archive")" 'BEGIN {printf "%.1f", b / 1048576}') MB archive $archive"
echo
printf '%-28s %8s %8s %8s %10s %10s\n' "" "wall s" "cpu s" "peak MB" "wall/gzip" "cpu/gzip"
row() {  # name time-file
  local wall rss user sys
  read -r wall rss user sys <"$2"
  awk -v n="$1" -v w="$wall" -v c="$(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}')" -v p="$rss" \
    -v gw="$gzip_wall" -v gc="$gzip_cpu" 'BEGIN {
      printf "%-28s %8.2f %8.2f %8.1f %10s %10s\n", n, w, c, p / 1024,
        (gw > 0 ? sprintf("%.2f", w / gw) : "-"), (gc > 0 ? sprintf("%.2f", c / gc) : "-")}'
}
row "gzip -t (host)" "$work/gzip.time"
row "QIRVerify (host build)" "$work/native.time"
row "QIRVerify.exe (Wine)" "$work/wine.time"
echo
echo "check: gzip -t exit $(cat "$work/gzip.rc"); QIRVerify exit $(cat "$work/native.rc"): $(cat "$work/native.out");" \
  "under Wine exit $(cat "$work/wine.rc")"
cat <<'NOTE'
notes:
- QIRVerify unpacks the whole stream as gzip -t does, and besides reads every tar
  header, computes the CRC-32 of every file, checks the signed file list and reads the
  activity log. Exit 0 means the archive is intact and complete.
- The Wine row includes Wine's start of the program; its peak is that of the Wine
  process (loader and DLLs included).
- The machine is shared: repeat a run before reading much into a difference.
NOTE
