#!/usr/bin/env bash
# Runs the collector on the bundled sample script under Wine, silently into a scratch
# folder, then shows what the archive holds, the run's activity log and the support
# desk's check of the archive.
# Usage: tools/run-sample.sh <build tree> <scratch folder>
set -euo pipefail

build=$(cd "${1:?usage: run-sample.sh <build tree> <scratch folder>}" && pwd)
mkdir -p "${2:?usage: run-sample.sh <build tree> <scratch folder>}"
out=$(cd "$2" && pwd)
source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sample="$source_root/scripts/Sample.qir"

winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The collector lower-cases its command line, so the archive is named in lower case.
rm -rf "$out/results.tgz" "$out/~QX_TEMP" "$out/Activity Log.csv"

# Wine draws the (hidden) window on a display: lend it a private one when there is none.
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  exec {fd}< <(Xvfb -displayfd 1 -ac -nolisten tcp -screen 0 1024x768x24 2>/dev/null & echo "pid $!")
  read -r -u "$fd" _ xvfb_pid
  read -r -u "$fd" number
  export DISPLAY=":$number"
fi

# Wine's own messages (and those of its desktop process when the display goes) go to
# a log beside the results.
status=0
"$build/wine-run.sh" "$build/bin/QIRTool.exe" "/xmlfile=$(winpath "$sample")" \
  "/outfile=$(winpath "$out/Results.tgz")" /silent 2>"$out/wine.log" || status=$?

case $status in
  0) echo "QIRTool: archive written (exit code 0)" ;;
  1) echo "QIRTool: the results could not be written (exit code 1)" >&2; exit 1 ;;
  *) echo "QIRTool: no archive made (exit code $status)" >&2; exit "$status" ;;
esac

archive="$out/results.tgz"
echo
echo "== tar tzvf $archive"
tar tzvf "$archive"
echo
echo "== Activity Log.csv"
tar xzf "$archive" -C "$out" "Activity Log.csv"
tr -d '\r' < "$out/Activity Log.csv"
echo
echo "== QIRVerify $archive"
"$build/wine-run.sh" "$build/bin/QIRVerify.exe" "$(winpath "$archive")" 2>>"$out/wine.log" | tr -d '\r'
