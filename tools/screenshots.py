#!/usr/bin/env python3
"""Takes the README's pictures of the configurator under a private Xvfb display: the
sheet on the sample task (docs/images/sheet.png) and the item dialog adding a folder
(docs/images/item-dialog.png). Usage: tools/screenshots.py BUILD_TREE [OUTPUT_FOLDER]"""

import os
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))
os.environ.setdefault("QIR_BUILD", str(Path(sys.argv[1] if len(sys.argv) > 1 else "build/win64").resolve()))
import qirharness as h  # noqa: E402
import sample_task  # noqa: E402

SHEET, ITEM_DIALOG, ADD, KIND, PATH, FOLDER_KIND = 1001, 1602, 1103, 1602, 1604, 9


def shot(display, window, path):
    """The client area of a window, as the driver reported it: without a window manager
    Wine draws no title bar to show."""
    subprocess.run(["import", "-display", display.name, "-window", "root", "-crop", window["client"], "+repage",
                    str(path)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    output = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else HERE.parent / "docs" / "images"
    output.mkdir(parents=True, exist_ok=True)
    display = h.Display().start()
    prefix = h.private_prefix("screenshots")
    env = dict(os.environ, KORBEL_MACHINE_ROOT=sample_task.MACHINE_ROOT, QMI_DEBUGCORE=h.winpath(h.BIN))
    sample_task.store(h.WINE_RUN, env)
    driver = h.Driver(h.SHEET_DRIVER)
    try:
        for name in ("KORBEL_MACHINE_ROOT", "QMI_DEBUGCORE"):
            driver("setenv %s %s" % (name, env[name]))
        driver('start "%s" /TASK %s' % (h.winpath(h.KESTRUNE), sample_task.TASK))
        sheet = driver("dlg %d 30000" % SHEET)
        time.sleep(1)
        shot(display, sheet, output / "sheet.png")
        driver("press %d %d" % (SHEET, ADD))
        driver("dlg %d 10000" % ITEM_DIALOG)
        driver("choose %d %d %d" % (ITEM_DIALOG, KIND, FOLDER_KIND))
        driver("settext %d %d C:\\users\\Public\\Pictures" % (ITEM_DIALOG, PATH))
        time.sleep(1)
        shot(display, driver("dlg %d 10000" % ITEM_DIALOG), output / "item-dialog.png")
    finally:
        driver.close()
        h.stop_prefix(prefix)
        display.stop()
    print("screenshots: %s, %s" % (output / "sheet.png", output / "item-dialog.png"))


if __name__ == "__main__":
    main()
