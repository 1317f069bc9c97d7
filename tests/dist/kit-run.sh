#!/usr/bin/env bash
# The collector kit as a customer gets it: the win64 collector kit and the Linux
# verifier kit packed from the built trees, checked against their SHA256SUMS and
# unpacked; QIRTool run from the kit's folder in a fresh Wine prefix (no build tree on
# its search path) on the kit's sample script; the Linux QIRVerify says INTACT.
# Usage: kit-run.sh <win64 tree> <host tree>   (exit 77: no host tree to take the verifier from)
set -euo pipefail
tree=$(cd "${1:?win64 tree}" && pwd)
host_tree=${2:?host tree}
source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ ! -x "$host_tree/bin/QIRVerify" ]; then
  echo "kit-run: no $host_tree/bin/QIRVerify (make buildhost); skipped"
  exit 77
fi
work="$tree/kit-run"
rm -rf "$work"
mkdir -p "$work/dist" "$work/unpacked"

python3 "$source_root/tools/kits/make_kits.py" --version test --out "$work/dist" --win64 "$tree" \
  --host "$host_tree" --only collector-win64 verifier-linux >/dev/null
(cd "$work/dist" && sha256sum --quiet -c SHA256SUMS)
python3 -m zipfile -e "$work/dist/QIRTool-test-win64.zip" "$work/unpacked"
tar xzf "$work/dist/QIRVerify-test-linux-x86_64.tar.gz" -C "$work/unpacked"
kit="$work/unpacked/QIRTool-test-win64"

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
result="$work/Results.tgz"
status=0
(cd "$kit" && /usr/lib/wine/wine64 QIRTool.exe "/outfile=Z:${result//\//\\}" /silent) >"$work/wine.log" 2>&1 || status=$?
# The collector takes its command line in lower case.
result="$work/results.tgz"
[ "$status" -eq 0 ] || { echo "kit-run: QIRTool.exe exit code $status"; cat "$work/wine.log"; exit 1; }
verdict=$("$work/unpacked/QIRVerify-test-linux-x86_64/QIRVerify" /quiet "$result") || {
  echo "kit-run: $verdict"; exit 1; }
echo "$verdict"
case "$verdict" in
  *": INTACT (undamaged: file list valid; "*) ;;
  *) echo "kit-run: not INTACT"; exit 1 ;;
esac
# The sample script ran: its folder is in the archive.
# (Listed first: grep -q ending early would fail tar with SIGPIPE under pipefail.)
listing=$(tar tzf "$result")
grep -q '^Sample/' <<<"$listing" || { echo "kit-run: the sample script left nothing"; exit 1; }
echo "kit-run: the kit's QIRTool ran Sample.qir in a fresh prefix; the Linux kit's QIRVerify: INTACT"
