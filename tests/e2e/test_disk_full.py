"""A results disk that runs full: a 2 MB tmpfs linked as drive Q: of the Wine prefix,
filled until only a few pages remain. The run must end on the write-error path (exit
code 1, no archive) with an activity log that is intact up to its last line."""

import datetime
import os
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

display = h.Display()
PAGE = 4096


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


def unmount(folder):
    if os.path.ismount(folder):
        subprocess.run(["umount", str(folder)], check=False)


class DiskFullTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch("e2e-full-" + self._testMethodName)
        self.disk = self.folder / "disk"
        self.disk.mkdir()
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", str(self.disk)],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a small tmpfs here (needs root): %s" % mounted.stdout.decode().strip())
        self.addCleanup(unmount, self.disk)

        if not (h.PREFIX / "dosdevices").is_dir():
            h.wine(["cmd.exe", "/c", "rem"])
        self.drive = h.PREFIX / "dosdevices" / "q:"
        if self.drive.is_symlink() or self.drive.exists():
            self.drive.unlink()
        self.drive.symlink_to(self.disk)
        self.addCleanup(self.drive.unlink)

        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        h.write_script(self.app / "Sample.qir", "<QIRSCRIPT>\n<SUMMARY Purpose=\"full disk\"/>\n</QIRSCRIPT>\n")

    def fill(self, pages_left):
        """Leaves exactly pages_left free pages on the disk."""
        stat = os.statvfs(self.disk)
        free = stat.f_bavail * stat.f_frsize
        (self.disk / "filler.bin").write_bytes(b"\xaa" * (free - pages_left * PAGE))
        stat = os.statvfs(self.disk)
        self.assertEqual(stat.f_bavail * stat.f_frsize, pages_left * PAGE)

    def run_on_full_disk(self, pages_left):
        self.fill(pages_left)
        began = datetime.datetime.now().replace(microsecond=0)
        code = h.run_collector(["/outfile=q:\\results.tgz", "/silent"], exe=self.app / "QIRTool.exe")
        return code, began, datetime.datetime.now()

    def test_log_stops_at_its_last_complete_line(self):
        # Log and file list take a page each, the copied script the last one: the
        # script's file-list line is the first write that cannot be made.
        code, began, ended = self.run_on_full_disk(3)
        self.assertEqual(code, 1)
        self.assertFalse((self.disk / "results.tgz").exists(), "no archive is claimed")
        log = self.disk / "~QX_TEMP" / "Activity Log.csv"
        lines = h.log_lines(log.read_bytes())
        self.assertEqual(lines[0], "Time,Type,Description")
        events = [h.check_log_line(self, line, began, ended) for line in lines[1:]]
        self.assertEqual(events, [("INFORMATION", "XML file found: Sample.qir")][:len(events)])
        listed = h.log_lines((self.disk / "~QX_TEMP" / "FileList.csv").read_bytes())
        self.assertEqual(listed, ["<FILE_LIST_START>"], "the list was never completed")

    def test_a_copy_that_fills_the_disk_leaves_no_part_of_it(self):
        big = self.folder / "big.bin"
        big.write_bytes(bytes(range(256)) * 4096)
        h.write_script(self.app / "Sample.qir", "<QIRSCRIPT>\n<FILES Big=\"%s\"/>\n</QIRSCRIPT>\n" % h.winpath(big))
        code, began, ended = self.run_on_full_disk(64)
        self.assertEqual(code, 1)
        self.assertFalse((self.disk / "results.tgz").exists())
        root = self.disk / "~QX_TEMP"
        left = sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file())
        self.assertEqual(left, ["Activity Log.csv", "FileList.csv", "Sample.qir"])
        events = [h.check_log_line(self, line, began, ended)
                  for line in h.log_lines((root / "Activity Log.csv").read_bytes())[1:]]
        self.assertEqual(events[-1], ("ERROR", "Unable to copy file %s (error 112)" % h.winpath(big)))
        self.assertNotIn("Collected File", "".join(text for _, text in events))

    def test_disk_full_from_the_start(self):
        code, _, _ = self.run_on_full_disk(0)
        self.assertEqual(code, 1)
        self.assertFalse((self.disk / "results.tgz").exists())
        self.assertFalse((self.disk / "~QX_TEMP" / "Activity Log.csv").exists())


if __name__ == "__main__":
    unittest.main(verbosity=2)
