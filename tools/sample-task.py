#!/usr/bin/env python3
"""Opens the configurator's sheet on a sample scan task under Wine, so that a newcomer
can see it: stores the task "Sample" (a few scan items, a display name) in a registry
key of the build's Wine prefix that stands in for the product's machine key, then
starts Kestrune32.exe on it. Needs an X display (DISPLAY). Usage:
    tools/sample-task.py BUILD_TREE [extra Kestrune32 arguments]"""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

MACHINE_ROOT = r"Software\Qirex\SampleMachine"
PRODUCT = r"SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion"


def reg_text(task, display, items):
    """A .reg file with the task's display name (option 21) and scan items (option 104)."""
    multi = "".join(item + "\0" for item in items) + "\0"
    data = ",".join("%02x" % b for b in multi.encode("utf-16-le"))
    key = "HKEY_CURRENT_USER\\%s\\%s\\Tasks\\%s" % (MACHINE_ROOT, PRODUCT, task)
    return ('Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"Option19"=dword:00000000\r\n"Option21"="%s"\r\n'
            '"Option104"=hex(7):%s\r\n' % (key, display, data))


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else "build/win64").resolve()
    if not os.environ.get("DISPLAY"):
        sys.exit("sample-task: no X display; set DISPLAY (for example to an Xvfb display)")
    run = build / "wine-run.sh"
    env = dict(os.environ, KORBEL_MACHINE_ROOT=MACHINE_ROOT, QMI_DEBUGCORE="Z:" + str(build / "bin").replace("/", "\\"))
    with tempfile.TemporaryDirectory() as folder:
        reg = Path(folder) / "sample.reg"
        reg.write_text(reg_text("Sample", "Weekly scan of the data drives",
                                ["C:\\", "C:\\users\\Public\\Documents\\", "SpecialMemory", "HomeDir"]),
                       encoding="utf-16")
        subprocess.run([str(run), "reg", "import", "Z:" + str(reg).replace("/", "\\")], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return subprocess.call([str(run), str(build / "bin" / "Kestrune32.exe"), "/TASK", "Sample"] + sys.argv[2:],
                           env=env)


if __name__ == "__main__":
    sys.exit(main())
