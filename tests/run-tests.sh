#!/usr/bin/env bash
# Runs every test of a build tree under Wine: keeps one wineserver alive for the
# suite (each cold start costs most of a second) and hands over to CTest, with any
# further arguments (-R e2e_file_actions runs one suite).
set -euo pipefail
build=$(cd "${1:?build tree}" && pwd)
# One run per build tree at a time: a second one would share the prefix, its scratch
# folders and its wineserver, which the first one's end kills. It waits its turn.
exec 9>"$build/.test-run.lock"
if ! flock -n 9; then
  echo "tests: waiting for another test run of $build to end"
  flock 9
fi
# (What it starts below, which may outlive it, is started without the lock's handle.)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64
# The prefix's desktop process, started with the services below, keeps the display it
# found: started without one, no program of the run could open a window. A display of
# the run's own gives it one; the window suites still show their programs on their own.
display_number=$(mktemp)
Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1024x768x24 3>"$display_number" >/dev/null 2>&1 9>&- &
xvfb_pid=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb_pid" 2>/dev/null || true' EXIT
# However long a busy machine takes to start it: until it names its display, or ends.
until [ -n "$(head -n 1 "$display_number")" ]; do
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "tests: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=":$(head -n 1 "$display_number")"
rm -f "$display_number"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "tests: creating the Wine prefix $WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 9>&- || true
  # The new prefix's registry files appear only when its server ends: wait for that,
  # so suites that copy the registry into a prefix of their own find it.
  wineserver -w >/dev/null 2>&1 9>&- || true
fi
# Persistent for the whole run (the trap above ends it): its services then never end
# and start again in the middle of a suite, however long the prefix stays idle.
wineserver -p >/dev/null 2>&1 9>&- || true
# Bring up the prefix's background services now, with output to /dev/null: started
# by the first test instead, they would inherit its output pipe and CTest would
# wait for them until its timeout.
/usr/lib/wine/wine64 wineboot >/dev/null 2>&1 9>&- || true
cd "$build"
ctest --output-on-failure -j 2 --timeout 600 "${@:2}" 9>&-
