#!/usr/bin/env bash
# Runs every test of a build tree under Wine: keeps one wineserver alive for the
# suite (each cold start costs most of a second) and hands over to CTest.
set -euo pipefail
build=$(cd "${1:?build tree}" && pwd)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "tests: creating the Wine prefix $WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
fi
wineserver -p 120 >/dev/null 2>&1 || true
# Bring up the prefix's background services now, with output to /dev/null: started
# by the first test instead, they would inherit its output pipe and CTest would
# wait for them until its timeout.
/usr/lib/wine/wine64 wineboot >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
cd "$build"
ctest --output-on-failure -j 2 --timeout 600
