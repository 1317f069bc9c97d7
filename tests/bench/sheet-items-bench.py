#!/usr/bin/env python3
"""The configurator's start on a task with a long scan-item list: from launching
Kestrune32.exe to its sheet shown, for 100,000 items next to 10 items, in the same
warm prefix on a private Xvfb display (the median of 3 runs each; a start that shows
no sheet within the limit counts as the limit). Prints each figure and their ratio;
asserts nothing. Usage: tests/bench/sheet-items-bench.py BUILD_TREE [ITEMS...]"""

import os
import statistics
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tests" / "e2e"))
os.environ.setdefault("QIR_BUILD", str(Path(sys.argv[1] if len(sys.argv) > 1 else "build/win64").resolve()))
import qirharness as h  # noqa: E402

SHEET, CANCEL = 1001, 2
ROOT = r"Software\Qirex\ItemsBench"
TASKS = ROOT + r"\SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion\Tasks"
LIMIT_MS = 120000
RUNS = 3


def start_to_sheet(driver, task):
    driver('start "%s" /TASK %s' % (h.winpath(h.KESTRUNE), task))
    answer = driver.raw("dlg %d %d" % (SHEET, LIMIT_MS))
    if not answer.startswith("ok"):
        driver("kill")
        driver("wait 30000")
        return LIMIT_MS
    elapsed = int(dict(part.split("=", 1) for part in answer[3:].split("\t") if "=" in part)["elapsed"])
    driver("press %d %d" % (SHEET, CANCEL))
    driver("wait 60000")
    return elapsed


def ensure_prefix():
    """The build tree's prefix, which the suite's own prefix copies, made once."""
    if (h.PREFIX / "system.reg").exists():
        return
    env = dict(os.environ, WINEPREFIX=str(h.PREFIX), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run(["/usr/lib/wine/wine64", "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    subprocess.run(["wineserver", "-w"], env=env, check=False)


def main():
    counts = [int(n) for n in sys.argv[2:]] or [10, 100000]
    display = h.Display().start()
    ensure_prefix()
    prefix = h.private_prefix("bench-items")
    driver = h.Driver(h.SHEET_DRIVER)
    figures = {}
    try:
        driver("regdel\t" + ROOT)
        for name, value in (("KORBEL_MACHINE_ROOT", ROOT), ("QMI_DEBUGCORE", h.winpath(h.BIN)),
                            ("QM_NOTIFY_ANSWER", "7")):
            driver("setenv %s %s" % (name, value))
        for count in counts:
            key = "%s\\Items%d" % (TASKS, count)
            driver("regsz\t%s\tOption21\t%d items" % (key, count))
            driver("regdword\t%s\tOption19\t0" % key)
            items = "|".join("C:\\DATA\\FOLDER%03d\\FILE%06d.DAT" % (i % 997, i) for i in range(count))
            driver("regmulti\t%s\tOption104\t%s" % (key, items))
        start_to_sheet(driver, "Items%d" % counts[0])  # warms the prefix; not counted
        for count in counts:
            runs = [start_to_sheet(driver, "Items%d" % count) for _ in range(RUNS)]
            figures[count] = statistics.median(runs)
            print("sheet-items: %d items, launch to sheet shown, median of %d: %d ms (runs %s)"
                  % (count, RUNS, figures[count], runs), flush=True)
        driver("regdel\t" + ROOT)
    finally:
        driver.close()
        h.stop_prefix(prefix)
        display.stop()
    if len(counts) > 1 and figures.get(counts[0]):
        print("sheet-items: ratio %d items / %d items: %.2f"
              % (counts[-1], counts[0], figures[counts[-1]] / figures[counts[0]]))


if __name__ == "__main__":
    main()
