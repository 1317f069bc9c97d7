#!/usr/bin/env python3
"""Takes the README's pictures under a private Xvfb display. The configurator on the
sample task: the sheet with each of its five pages (docs/images/sheet.png for the scan
locations, page-<name>.png for the others), the item dialog adding a folder
(item-dialog.png) and Polvane's exclusions dialog (exclusions-dialog.png); the same in
German from a copy of the program with the German modules beside it (sheet-de.png,
page-<name>-de.png, item-dialog-de.png). The collector's progress window while a script's
external tool runs (progress-window.png).
Usage: tools/screenshots.py BUILD_TREE [OUTPUT_FOLDER]"""

import os
import shutil
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

SHEET, ITEM_DIALOG, ADD, KIND, PATH, FOLDER_KIND, CANCEL = 1001, 1602, 1103, 1602, 1604, 9, 2
EXCLUSIONS, EXCLUSIONS_DIALOG = 1210, 5102
SAMPLE_PATH = "C:\\users\\Public\\Pictures"
TOOL_STUB = h.BUILD / "tests" / "ToolStub.exe"
PAGES = [(1, "page-filetypes.png"), (2, "page-advanced.png"), (3, "page-actions.png"), (4, "page-reports.png")]


def shot(display, window, path, trim=False):
    """The client area of a window, as the driver reported it: without a window manager
    Wine draws no title bar to show. With trim, the black of an undrawn frame around it
    goes."""
    subprocess.run(["import", "-display", display.name, "-window", "root", "-crop", window["client"], "+repage"]
                   + (["-trim", "+repage"] if trim else []) + [str(path)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def configurator_shots(display, driver, program, output, suffix=""):
    """The sheet, its pages and the item dialog of the configurator at `program`; with
    no suffix also Polvane's exclusions dialog (the product library's, English only).
    Returns the names of the pictures."""
    names = []

    def take(window, name):
        name = name.replace(".png", suffix + ".png")
        shot(display, window, output / name)
        names.append(name)

    driver('start "%s" /TASK %s' % (h.winpath(program), sample_task.TASK))
    sheet = driver("dlg %d 30000" % SHEET)
    time.sleep(1)
    take(sheet, "sheet.png")
    driver("press %d %d" % (SHEET, ADD))
    driver("dlg %d 10000" % ITEM_DIALOG)
    driver("choose %d %d %d" % (ITEM_DIALOG, KIND, FOLDER_KIND))
    # The dialog may still clear the path after its kind changed: type it until it stays.
    for _ in range(20):
        driver("settext %d %d %s" % (ITEM_DIALOG, PATH, SAMPLE_PATH))
        time.sleep(0.5)
        if driver("get %d %d" % (ITEM_DIALOG, PATH))["text"] == SAMPLE_PATH:
            break
    time.sleep(0.5)
    take(driver("dlg %d 10000" % ITEM_DIALOG), "item-dialog.png")
    driver("press %d %d" % (ITEM_DIALOG, CANCEL))
    driver("gone %d 10000" % ITEM_DIALOG)
    for tab, name in PAGES:
        driver("tab %d %d" % (SHEET, tab))
        time.sleep(1)
        take(driver("dlg %d 10000" % SHEET), name)
    driver("tab %d 1" % SHEET)
    time.sleep(0.5)
    if not suffix:
        driver("press %d %d" % (SHEET, EXCLUSIONS))
        driver("dlg %d 10000" % EXCLUSIONS_DIALOG)
        time.sleep(1)
        take(driver("dlg %d 10000" % EXCLUSIONS_DIALOG), "exclusions-dialog.png")
    # Nothing was changed: the sheet goes without a question.
    driver("kill")
    driver("wait 20000")
    return names


def progress_shot(display, output):
    """The collector's window while the external tool of a small script waits for us:
    the registry dump and the process list done, the bar half full."""
    folder = h.scratch("screenshots-progress")
    app = folder / "app"
    app.mkdir()
    for item in (h.QIRTOOL, h.BIN / "QIRTool.LOC", TOOL_STUB):
        shutil.copy(item, app / item.name)
    release = folder / "release"
    script = app / "Diagnostics.qir"
    script.write_bytes(
        b'<QIRSCRIPT>\r\n<REGISTRY Run="HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"/>\r\n'
        b'<MISCELLANEOUS PROCESS_LIST="Processes"/>\r\n'
        b'<EXECUTE SystemInfo="~2 ToolStub.exe wait %s"/>\r\n</QIRSCRIPT>\r\n' % h.winpath(release).encode())
    h.sign(script)
    driver = h.Driver()
    # The collector's texts are ANSI (Windows-1252 here), whatever the catalogue gives.
    driver.proc.stdout.reconfigure(encoding="cp1252")
    try:
        driver('start "%s" /outfile=%s' % (h.winpath(app / "QIRTool.exe"), h.winpath(folder / "Results.tgz")))
        deadline = time.monotonic() + 60
        window = driver("progress 20000")
        # The detail line tells that the tool runs (English: LC_ALL is C here).
        while not window["detail"].startswith("Waiting for tool") and time.monotonic() < deadline:
            time.sleep(0.1)
            window = driver("progress 20000")
        time.sleep(1)
        window = driver("progress 0")
        # The collector's driver tells the window's outer rectangle only.
        window["client"] = "%sx%s+%s+%s" % (window["w"], window["h"], window["x"], window["y"])
        shot(display, window, output / "progress-window.png", trim=True)
        release.write_bytes(b"")
        driver("wait 60000")
    finally:
        release.write_bytes(b"")
        driver.close()
    return ["progress-window.png"]


def main():
    output = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else HERE.parent / "docs" / "images"
    output.mkdir(parents=True, exist_ok=True)
    # The collector's texts follow the system locale: the pictures show the English ones.
    os.environ["LC_ALL"] = "C.UTF-8"
    display = h.Display().start()
    prefix = h.private_prefix("screenshots")
    env = dict(os.environ, KORBEL_MACHINE_ROOT=sample_task.MACHINE_ROOT, QMI_DEBUGCORE=h.winpath(h.BIN))
    sample_task.store(h.WINE_RUN, env)
    # A German installation: the program's folder with the German modules beside Res09.
    german = h.scratch("screenshots-german") / "app"
    shutil.copytree(h.BIN, german)
    shutil.copytree(h.BUILD / "languages" / "Res07", german / "Res07")
    names = []
    try:
        # The German pictures as a German user sees them: the platform's own texts (the
        # shell's type names in the list) in German too.
        for locale, program, suffix in (("C.UTF-8", h.KESTRUNE, ""),
                                        ("de_DE.UTF-8", german / "Kestrune32.exe", "-de")):
            os.environ["LC_ALL"] = locale
            driver = h.Driver(h.SHEET_DRIVER)
            try:
                for name in ("KORBEL_MACHINE_ROOT", "QMI_DEBUGCORE"):
                    driver("setenv %s %s" % (name, env[name]))
                names += configurator_shots(display, driver, program, output, suffix)
            finally:
                driver.close()
        os.environ["LC_ALL"] = "C.UTF-8"
        names += progress_shot(display, output)
    finally:
        h.stop_prefix(prefix)
        display.stop()
    print("screenshots: " + ", ".join(str(output / name) for name in names))


if __name__ == "__main__":
    main()
