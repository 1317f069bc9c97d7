"""The configurator's About box names the build: the program's version resource (the
product's version, and ours with the build mark in its Comments), under a private Xvfb
display with Kestrune32.exe driven by SheetDriver.exe."""

import os
import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import qirharness as h  # noqa: E402

display = h.Display()
prefix = None
SHEET, ABOUT, ABOUT_VERSION, OK, HELP_ABOUT = 1001, 3101, 3103, 1, 3012
PRODUCT = r"SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion"


def setUpModule():
    global prefix
    os.environ["LC_ALL"] = "C.UTF-8"
    display.start()
    prefix = h.private_prefix("about")


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


class AboutTest(unittest.TestCase):
    def test_about_box_shows_the_version_and_build_mark(self):
        folder = h.scratch("about")
        root = "Software\\QirexSheet\\about"
        driver = h.Driver(h.SHEET_DRIVER)
        self.addCleanup(driver.close)
        self.addCleanup(lambda: driver.raw("regdel\t" + root))
        for name, value in [("KORBEL_MACHINE_ROOT", root), ("QMI_DEBUGCORE", h.winpath(h.BIN)),
                            ("QM_NOTIFY_LOG", h.winpath(folder / "notices.log")), ("QM_NOTIFY_ANSWER", "6")]:
            driver("setenv %s %s" % (name, value))
        driver("regsz\t%s\\%s\\Tasks\\Weekly\tOption21\tWeekly scan" % (root, PRODUCT))
        driver('start "%s" /TASK Weekly' % h.winpath(h.KESTRUNE))
        driver("dlg %d 20000" % SHEET)
        driver("press %d %d" % (SHEET, HELP_ABOUT))
        driver("dlg %d 10000" % ABOUT)
        text = driver("get %d %d" % (ABOUT, ABOUT_VERSION))["text"]
        self.assertRegex(text, r"^Kestrune32 7\.0\.0\.1, Qirex \d+\.\d+\.\d+\.\d+ \((git [0-9a-f]{12}"
                               r"(, with changes)?|no git)\)$")
        driver("press %d %d" % (ABOUT, OK))
        driver("press %d 2" % SHEET)


if __name__ == "__main__":
    unittest.main()
