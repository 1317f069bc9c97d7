#!/usr/bin/env python3
"""Opens the configurator's sheet on a sample scan task under Wine, so that a newcomer
can see it: stores the task "Sample" (a few scan items, a display name) in a registry
key of the build's Wine prefix that stands in for the product's machine key, then
starts Kestrune32.exe on it. Needs an X display (DISPLAY). Usage:
    tools/sample_task.py BUILD_TREE [extra Kestrune32 arguments]"""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

MACHINE_ROOT = r"Software\Qirex\SampleMachine"
PRODUCT = r"SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion"
TASK = "Sample"
TASK_KEY = MACHINE_ROOT + "\\" + PRODUCT + "\\Tasks\\" + TASK
DISPLAY_NAME = "Weekly scan of the data drives"
ITEMS = ["C:\\", "C:\\users\\Public\\Documents\\", "SpecialMemory", "HomeDir"]


def reg_text():
    """A .reg file with the sample task: its status word (option 19), display name
    (option 21) and scan items (option 104)."""
    multi = "".join(item + "\0" for item in ITEMS) + "\0"
    data = ",".join("%02x" % b for b in multi.encode("utf-16-le"))
    return ('Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\%s]\r\n"Option19"=dword:00000000\r\n'
            '"Option21"="%s"\r\n"Option104"=hex(7):%s\r\n' % (TASK_KEY, DISPLAY_NAME, data))


def store(run, env):
    """Stores the sample task in the prefix of the runner `run`."""
    with tempfile.TemporaryDirectory() as folder:
        reg = Path(folder) / "sample.reg"
        reg.write_text(reg_text(), encoding="utf-16")
        subprocess.run([str(run), "reg", "import", "Z:" + str(reg).replace("/", "\\")], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else "build/win64").resolve()
    if not os.environ.get("DISPLAY"):
        sys.exit("sample-task: no X display; set DISPLAY (for example to an Xvfb display)")
    run = build / "wine-run.sh"
    env = dict(os.environ, KORBEL_MACHINE_ROOT=MACHINE_ROOT, QMI_DEBUGCORE="Z:" + str(build / "bin").replace("/", "\\"))
    store(run, env)
    return subprocess.call([str(run), str(build / "bin" / "Kestrune32.exe"), "/TASK", TASK] + sys.argv[2:], env=env)


if __name__ == "__main__":
    sys.exit(main())
