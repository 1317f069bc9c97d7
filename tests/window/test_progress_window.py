"""The collector's windows as a user meets them, under a private Xvfb display: the
progress window before the run, the save dialog, the final message, the write-error
message, cancels, Enter, and the silent window that never shows."""

import os
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


prefix = None


def setUpModule():
    global prefix
    os.environ["LC_ALL"] = "C.UTF-8"
    display.start()
    prefix = h.private_prefix("window")
    h.serve_prefix(prefix)


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


class CollectorWindowTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch("window-" + self._testMethodName)
        # The collector runs from its own folder, so its results root and scripts are
        # the test's alone.
        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        self.driver = h.Driver()
        self.addCleanup(self.driver.close)

    def start(self, *args):
        line = '"%s"' % h.winpath(self.app / "QIRTool.exe")
        if args:
            line += " " + " ".join(args)
        self.driver("start " + line)

    def wait_for_work(self, work):
        """Waits (two minutes at most) until the work-message line shows work."""
        for _ in range(2400):
            if self.driver("progress 0")["work"] == work:
                return
            time.sleep(0.05)
        self.fail("the work line never showed %r" % work)

    def wait_exit(self, timeout_ms=60000):
        return int(self.driver("wait %d" % timeout_ms)["exit"])

    def test_progress_window_save_dialog_and_final_message(self):
        self.start()
        window = self.driver("progress 60000")
        self.assertEqual(window["title"], "Qirex Tool")
        self.assertEqual(window["visible"], "1")
        self.assertEqual(window["work"], "Waiting for user input...")
        self.assertEqual(window["detail"], "...")
        # No script beside the program: nothing to count, the bar's range is 0..1.
        self.assertEqual((window["range_low"], window["range_high"], window["pos"]), ("0", "1", "0"))

        dialog = self.driver("savedialog 60000")
        self.assertEqual(dialog["name"], "Results.tgz")
        self.assertEqual(dialog["owner_is_progress"], "1")

        self.driver("save-move 1000 40 160")
        time.sleep(0.5)
        shot = self.folder / "progress-and-save-dialog.png"
        subprocess.run(["import", "-display", display.name, "-window", "root", str(shot)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

        # Enter, the dialog's default command, must not end the window under the worker.
        self.driver("enter")
        time.sleep(0.5)
        self.assertEqual(self.driver("progress 0")["work"], "Waiting for user input...")
        self.driver("savedialog 0")

        out = self.folder / "Chosen.tgz"
        self.driver("save 5000 " + h.winpath(out))
        message = self.driver("msgbox 60000")
        result = self.folder / "Chosen.tgz"
        self.assertTrue(result.exists())
        size = result.stat().st_size
        self.assertLess(size, 1024)
        self.assertEqual(message["title"], "Qirex Tool")
        lines = message["text"].split("\n")
        self.assertEqual(lines[0].lower(), ("QIR Tool result file name:  " + h.winpath(out)).lower())
        self.assertEqual(lines[1], "QIR Tool result file size:  1 KB")
        self.assertEqual(lines[2], "")
        self.assertTrue(lines[3].startswith("IMPORTANT: The information in the file is stored"), lines[3])
        self.assertEqual(len(lines), 4, "no size warning for a small file")
        # The window waits for the user before the program ends.
        self.assertEqual(self.driver.raw("wait 300"), "error timeout")
        self.driver("msgbox-ok 1000")
        self.assertEqual(self.wait_exit(), 0)
        self.assertFalse((self.folder / "~QX_TEMP").exists())

    def test_cancelling_the_save_dialog_ends_without_results(self):
        self.start()
        self.driver("savedialog 60000")
        self.driver("save-cancel 1000")
        # A message box would hold the program open: ending on its own proves there is none.
        self.assertEqual(self.wait_exit(), 2)
        self.assertFalse((self.app / "~QX_TEMP").exists())
        self.assertEqual(list(self.app.iterdir()), [self.app / "QIRTool.exe"])

    def test_cancel_of_the_window_closes_the_save_dialog(self):
        self.start()
        self.driver("savedialog 60000")
        self.driver("cancel")
        # Without the cancel's wait of five minutes for a worker at work.
        self.assertEqual(self.wait_exit(150000), 2)
        self.assertFalse((self.app / "~QX_TEMP").exists())

    def test_cancel_during_the_run(self):
        # The run holds at a tool until the close has come; a long dump and one more
        # action follow it, which the cancel must cut short.
        flag = self.folder / "go"
        shutil.copy(TOOL_STUB, self.app / "ToolStub.exe")
        h.write_script(self.app / "busy.qir", """<QIRSCRIPT>
<EXECUTE Hold="ToolStub.exe wait %s"/>
<REGISTRY Machine="HKEY_LOCAL_MACHINE\\Software"/>
<MISCELLANEOUS PROCESS_LIST="PROCESS_LIST"/>
</QIRSCRIPT>
""" % h.winpath(flag))
        self.start("/outfile=" + h.winpath(self.folder / "results.tgz"))
        self.assertEqual(self.driver("progress 60000")["visible"], "1")
        self.wait_for_work("Executing external tool [Hold]")
        # The close box, as the user would: the same cancel as Esc.
        self.driver("close")
        flag.write_bytes(b"")
        self.assertEqual(self.wait_exit(120000), 2)
        self.assertFalse((self.folder / "results.tgz").exists())
        # The partial results stay for the next run to clear; the log says why.
        log = h.log_lines((self.folder / "~QX_TEMP" / "Activity Log.csv").read_bytes())
        self.assertTrue(log[-1].endswith(",INFORMATION,User requested termination"), log[-3:])
        self.assertFalse((self.folder / "~QX_TEMP" / "busy" / "PROCESS_LIST.txt").exists(),
                         "the run stopped before its last action")

    def test_cancel_while_the_archive_is_written(self):
        # A large file that does not compress keeps the archive step busy for a while.
        big = self.folder / "big.bin"
        with open(big, "wb") as f:
            for _ in range(256):
                f.write(os.urandom(1 << 20))
        script = self.app / "big.qir"
        script.write_bytes(b'<QIRSCRIPT>\r\n<FILES Big="%s"/>\r\n</QIRSCRIPT>\r\n' % h.winpath(big).encode())
        h.sign(script)
        self.start()
        self.driver("save 60000 " + h.winpath(self.folder / "Chosen.tgz"))
        self.driver("cancel-when 120000 Compressing results")
        # No result message holds the program open, and no archive is claimed: neither the
        # result file nor its temporary; the results root stays, as after every cancel.
        self.assertEqual(self.wait_exit(120000), 2)
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), ["app", "big.bin", "~QX_TEMP"])

    def test_write_error_message(self):
        # A file where the results root should go: nothing of the run can be written.
        (self.folder / "~QX_TEMP").write_bytes(b"in the way")
        out = h.winpath(self.folder / "results.tgz")
        self.start("/outfile=" + out)
        message = self.driver("msgbox 60000")
        self.assertEqual(message["title"], "Qirex Tool Write Error")
        self.assertEqual(message["text"], "Check that destination directory\nis not read-only or full.")
        self.driver("msgbox-ok 1000")
        self.assertEqual(self.wait_exit(), 1)
        self.assertFalse((self.folder / "results.tgz").exists())

    def test_texts_from_the_catalogue_beside_the_program(self):
        # Section 0009 serves every English locale, which is what Wine makes of LANG=C.
        (self.app / "QIRTool.LOC").write_bytes(
            b"[0009]\r\nTool_Title=Sammler\r\nTool_WaitMsg=Bitte warten\r\n"
            b"WriteError_Title=Schreibfehler\r\nWriteError_Message=Zeile 1\\nZeile 2\r\n")
        (self.folder / "~QX_TEMP").write_bytes(b"in the way")
        self.start("/outfile=" + h.winpath(self.folder / "results.tgz"))
        message = self.driver("msgbox 60000")
        self.assertEqual((message["title"], message["text"]), ("Schreibfehler", "Zeile 1\nZeile 2"))
        window = self.driver("progress 0")
        self.assertEqual((window["title"], window["work"]), ("Sammler", "Bitte warten"))
        self.driver("msgbox-ok 1000")
        self.assertEqual(self.wait_exit(), 1)

    def test_silent_window_never_shows(self):
        for script in range(30):
            (self.app / ("s%02d.qir" % script)).write_bytes(b"<QIRSCRIPT><SUMMARY/></QIRSCRIPT>\r\n")
        # The run holds until the watch has found the window, however busy the machine.
        seen = self.folder / "seen"
        shutil.copy(TOOL_STUB, self.app / "ToolStub.exe")
        h.write_script(self.app / "hold.qir", "<QIRSCRIPT>\n<EXECUTE Hold=\"ToolStub.exe wait %s\"/>\n</QIRSCRIPT>\n"
                       % h.winpath(seen))
        out = h.winpath(self.folder / "results.tgz")
        self.start("/outfile=" + out, "/silent")
        watched = self.driver("watch 180000 " + h.winpath(seen))
        self.assertEqual(watched["exit"], "0")
        self.assertEqual(watched["seen"], "1", "the window exists during the run")
        self.assertEqual(watched["ever_visible"], "0")
        self.assertEqual((watched["x"], watched["y"], watched["w"], watched["h"]), ("0", "0", "1", "1"))
        self.assertTrue((self.folder / "results.tgz").exists())

    def test_out_file_without_silent_shows_no_final_message(self):
        out = self.folder / "given.tgz"
        self.start("/outfile=" + h.winpath(out))
        # A message box would hold the program open: ending on its own proves there is none.
        self.assertEqual(self.wait_exit(), 0)
        self.assertTrue(out.exists())

    def test_out_file_into_a_missing_folder_asks_for_the_result_file(self):
        self.start("/outfile=nowhere\\results.tgz", "/silent")
        self.assertEqual(self.driver("progress 60000")["visible"], "1", "/silent without an out file")
        self.assertEqual(self.driver("savedialog 60000")["name"], "Results.tgz")
        self.driver("save-cancel 1000")
        self.assertEqual(self.wait_exit(), 2)

    def test_silent_needs_an_out_file(self):
        # "/silent" alone: the window shows and the save dialog is asked as usual.
        self.start("/silent")
        self.assertEqual(self.driver("progress 60000")["visible"], "1")
        self.driver("savedialog 60000")
        self.driver("save-cancel 1000")
        self.assertEqual(self.wait_exit(), 2)


if __name__ == "__main__":
    unittest.main(verbosity=2)
