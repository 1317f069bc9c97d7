"""A results disk that runs full: a 2 MB tmpfs linked as drive Q: of the Wine prefix,
filled until only a few pages remain, or filled by another process while the collector
writes. The run must end on the write-error path (exit code 1, no archive) with an
activity log and outputs that are intact up to their last line."""

import datetime
import os
import re
import shutil
import subprocess
import sys
import time
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
        # A file that says it is empty and reads megabytes: it fits when the copy starts
        # and fills the disk part-way, which stops the run.
        big = Path("/proc/kallsyms")
        if not os.access(big, os.R_OK) or big.stat().st_size != 0 or len(big.read_bytes()) < 1024 * 1024:
            self.skipTest("no /proc/kallsyms of a megabyte here")
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

    def test_a_file_larger_than_the_free_space_is_an_error_and_the_run_goes_on(self):
        source = self.folder / "source"
        source.mkdir()
        small = {"a.bin": b"a" * 100, "z.bin": b"z" * 100}
        for name, data in small.items():
            (source / name).write_bytes(data)
        big = source / "big.bin"
        big.write_bytes(bytes(range(256)) * 4096)
        (self.folder / "later.txt").write_bytes(b"later")
        h.write_script(self.app / "Sample.qir", "<QIRSCRIPT>\n<FILES Files=\"%s\\*.bin\" Later=\"%s\"/>\n</QIRSCRIPT>\n"
                       % (h.winpath(source), h.winpath(self.folder / "later.txt")))
        code, began, ended = self.run_on_full_disk(64)
        self.assertEqual(code, 0)
        members = h.read_archive(self, self.disk / "results.tgz")
        events = [h.check_log_line(self, line, began, ended)
                  for line in h.log_lines(members["Activity Log.csv"])[1:]]
        self.assertIn(("ERROR", "Unable to copy file %s (error 112)" % h.winpath(big)), events)
        copied = {name.rsplit("/", 1)[1]: data for name, data in members.items() if name.startswith("Sample/Files/")}
        self.assertEqual(copied, small)
        self.assertEqual([data for name, data in members.items() if name.startswith("Sample/Later/")], [b"later"])
        registered, _ = h.file_list_entries(self, members, {})
        self.assertFalse(any(name.endswith("big.bin") for name in registered))
        h.check_with_verifier(self, self.disk / "results.tgz", members)

    def test_disk_filled_by_another_process_during_a_long_dump(self):
        # Room enough at first that the writers count the space down without asking;
        # then another process takes all of it while the dump is being written.
        subprocess.run(["mount", "-o", "remount,size=16m", str(self.disk)], check=True)
        h.write_script(self.app / "Sample.qir",
                       "<QIRSCRIPT>\n<REGISTRY Software=\"HKEY_LOCAL_MACHINE\\Software\"/>\n</QIRSCRIPT>\n")
        dump = self.disk / "~QX_TEMP" / "Sample" / "Software.txt"
        run = subprocess.Popen([str(h.WINE_RUN), str(self.app / "QIRTool.exe"), "/outfile=q:\\results.tgz", "/silent"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            while run.poll() is None and (not dump.exists() or dump.stat().st_size < 256 * 1024):
                time.sleep(0.005)
            self.assertIsNone(run.poll(), "the dump ended before the disk could be filled")
            taken = os.open(self.disk / "taken.bin", os.O_WRONLY | os.O_CREAT)
            try:
                while os.write(taken, b"\xaa" * 65536):
                    pass
            except OSError:
                pass
            finally:
                os.close(taken)
            code = run.wait(timeout=180)
        finally:
            if run.poll() is None:
                run.kill()
        self.assertEqual(code, 1)
        self.assertFalse((self.disk / "results.tgz").exists())
        # Cut back to its last whole line: every line a key, a value or the empty line.
        lines = h.log_lines(dump.read_bytes())
        self.assertEqual(lines[0], "[HKEY_LOCAL_MACHINE\\Software]")
        for line in lines:
            self.assertRegex(line, r'^(\[HKEY_LOCAL_MACHINE\\Software.*\]|".*"=.*)?$')
        h.log_lines((self.disk / "~QX_TEMP" / "Activity Log.csv").read_bytes())
        h.log_lines((self.disk / "~QX_TEMP" / "FileList.csv").read_bytes())

    def test_an_archive_that_does_not_fit_leaves_nothing_behind(self):
        # The copy fits, the archive of it (bytes that do not compress, more than the
        # archive holds in memory before it writes) does not.
        subprocess.run(["mount", "-o", "remount,size=8m", str(self.disk)], check=True)
        big = self.folder / "big.bin"
        big.write_bytes(os.urandom(3 * 1024 * 1024))
        h.write_script(self.app / "Sample.qir", "<QIRSCRIPT>\n<FILES Big=\"%s\"/>\n</QIRSCRIPT>\n" % h.winpath(big))
        code, _, _ = self.run_on_full_disk(1152)
        self.assertEqual(code, 1)
        self.assertEqual(sorted(p.name for p in self.disk.iterdir() if p.is_file()), ["filler.bin"],
                         "neither the result file nor the archive in the making")

    def test_a_rerun_that_fails_keeps_the_earlier_archive(self):
        self.assertEqual(h.run_collector(["/outfile=q:\\results.tgz", "/silent"], exe=self.app / "QIRTool.exe"), 0)
        earlier = (self.disk / "results.tgz").read_bytes()
        code, _, _ = self.run_on_full_disk(0)
        self.assertEqual(code, 1)
        self.assertEqual((self.disk / "results.tgz").read_bytes(), earlier, "the earlier archive, byte for byte")

    def test_disk_full_from_the_start(self):
        code, _, _ = self.run_on_full_disk(0)
        self.assertEqual(code, 1)
        self.assertFalse((self.disk / "results.tgz").exists())
        self.assertFalse((self.disk / "~QX_TEMP" / "Activity Log.csv").exists())


if __name__ == "__main__":
    unittest.main(verbosity=2)
