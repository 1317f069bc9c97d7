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
# Wine's service processes start with the first program and inherit its error output;
# started here, they hold /dev/null and not the pipe on which CTest waits for the end.
/usr/lib/wine/wine64 cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
cd "$build"
ctest --output-on-failure -j 2 --timeout 600
