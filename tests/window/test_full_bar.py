"""The progress bar of a windowed run, read through the window driver: its range is the
counted units, it stands at the units done while an external tool runs, and it is full
when the final message shows, also when the last action was a tool that took seconds."""

import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import qirharness as h  # noqa: E402

TOOL_STUB = h.BUILD / "tests" / "ToolStub.exe"

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


class FullBarTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch("window-full-bar")
        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        shutil.copy(TOOL_STUB, self.app / "ToolStub.exe")
        self.driver = h.Driver()
        self.addCleanup(self.driver.close)

    def test_bar_is_full_when_the_last_action_was_a_slow_tool(self):
        # 2 units of DEBUG and 5 of EXECUTE; the tool is the last thing the run does, and
        # it runs until the test has seen the window while it waits.
        flag = self.folder / "go"
        script = h.write_script(self.folder / "Last.qir", """<QIRSCRIPT>
<DEBUG First="x"/>
<EXECUTE Last="ToolStub.exe wait %s"/>
</QIRSCRIPT>
""" % h.winpath(flag))
        self.driver('start "%s" /xmlfile=%s' % (h.winpath(self.app / "QIRTool.exe"), h.winpath(script)))
        window = self.driver("progress 60000")
        self.assertEqual((window["range_low"], window["range_high"], window["pos"]), ("0", "7", "0"))

        result = self.folder / "Result.tgz"
        self.driver("savedialog 60000")
        self.driver("save 5000 " + h.winpath(result))

        for _ in range(2400):
            window = self.driver("progress 0")
            # The detail line names the wait once the tool has started.
            if window["detail"] == "Waiting for tool... (5 minutes max)":
                break
            time.sleep(0.05)
        else:
            self.fail("the tool's wait never showed: %r" % window)
        self.assertEqual(window["work"], "Executing external tool [Last]")
        self.assertEqual(window["pos"], "2", window)
        flag.write_bytes(b"")

        self.driver("msgbox 60000")
        window = self.driver("progress 0")
        self.assertEqual((window["range_high"], window["pos"]), ("7", "7"), window)
        self.assertTrue(result.exists())
        self.driver("msgbox-ok 1000")
        self.assertEqual(int(self.driver("wait 60000")["exit"]), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
