#!/usr/bin/env python3
"""Start-up time of the configurator: from launching Kestrune32.exe on a stored task
to its sheet shown, next to the time Wine's own Notepad takes to show its window, run
side by side in the same warm prefix on a private Xvfb display. Prints each figure and
their ratio; asserts nothing. Usage: tests/bench/startup-bench.py BUILD_TREE [RUNS]"""

import os
import statistics
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tools"))
sys.path.insert(0, str(HERE.parents[1] / "tests" / "e2e"))
os.environ.setdefault("QIR_BUILD", str(Path(sys.argv[1] if len(sys.argv) > 1 else "build/win64").resolve()))
import qirharness as h  # noqa: E402
import sample_task  # noqa: E402

SHEET, CANCEL = 1001, 2


def main():
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    display = h.Display().start()
    prefix = h.private_prefix("bench-startup")
    env = dict(os.environ, KORBEL_MACHINE_ROOT=sample_task.MACHINE_ROOT, QMI_DEBUGCORE=h.winpath(h.BIN))
    sample_task.store(h.WINE_RUN, env)
    driver = h.Driver(h.SHEET_DRIVER)
    sheet, notepad = [], []
    try:
        for name in ("KORBEL_MACHINE_ROOT", "QMI_DEBUGCORE"):
            driver("setenv %s %s" % (name, env[name]))
        # The first run of each warms the prefix and is not counted.
        for run in range(runs + 1):
            driver('start "%s" /TASK %s' % (h.winpath(h.KESTRUNE), sample_task.TASK))
            elapsed = int(driver("dlg %d 60000" % SHEET)["elapsed"])
            driver("press %d %d" % (SHEET, CANCEL))
            driver("wait 30000")
            driver("start notepad.exe")
            peer = int(driver("top Notepad 60000")["elapsed"])
            driver("kill")
            driver("wait 30000")
            if run:
                sheet.append(elapsed)
                notepad.append(peer)
    finally:
        driver.close()
        h.stop_prefix(prefix)
        display.stop()
    ours, theirs = statistics.median(sheet), statistics.median(notepad)
    print("startup: Kestrune32.exe launch to sheet shown, median of %d: %d ms (runs %s)" % (runs, ours, sheet))
    print("startup: notepad.exe launch to window shown, median of %d: %d ms (runs %s)" % (runs, theirs, notepad))
    print("startup: ratio Kestrune32 / notepad: %.2f" % (ours / theirs if theirs else float("nan")))


if __name__ == "__main__":
    main()
