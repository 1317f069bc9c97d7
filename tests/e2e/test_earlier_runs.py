"""What one run leaves for the next, and two actions of one script that name the same
output, run through the real QIRTool.exe under Wine: a rerun that ends without an archive
keeps the earlier one byte for byte, the temporaries of a killed run go with the next
run (links named like them stay), and a name clash costs only the second action."""

import datetime
import os
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


class EarlierRunsTest(unittest.TestCase):
    def setUp(self):
        # Lower case throughout: the collector lower-cases its command line.
        self.folder = h.scratch("e2e-earlier-" + self._testMethodName.lower())
        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        self.scripts = self.folder / "scripts"
        self.scripts.mkdir()
        self.out = self.folder / "out"
        self.out.mkdir()
        self.result = self.out / "r.tgz"

    def args(self):
        return ["/xmlfile=" + h.winpath(self.scripts) + "\\*.qir", "/outfile=" + h.winpath(self.result), "/silent"]

    def collect(self):
        self.began = datetime.datetime.now().replace(microsecond=0)
        code = h.run_collector(self.args(), exe=self.app / "QIRTool.exe", timeout=300)
        self.ended = datetime.datetime.now()
        return code

    def archive(self):
        members = h.read_archive(self, self.result, self.began, self.ended)
        h.check_with_verifier(self, self.result, members)
        registered, found = h.file_list_entries(self, members, comments={})
        self.assertEqual(sorted(n.replace("\\", "/") for n in registered + found + ["FileList.csv"]),
                         sorted(members), "the file list names exactly what the archive holds")
        return members

    def errors(self, members):
        lines = h.log_lines(members["Activity Log.csv"])[1:]
        events = [h.check_log_line(self, line, self.began, self.ended) for line in lines]
        return [text for level, text in events if level == "ERROR"]

    def test_a_killed_rerun_keeps_the_archive_and_the_next_run_removes_its_temporary(self):
        h.write_script(self.scripts / "Small.qir", "<QIRSCRIPT>\n<SUMMARY Purpose=\"small\"/>\n</QIRSCRIPT>\n")
        self.assertEqual(self.collect(), 0)
        earlier = self.result.read_bytes()

        # A rerun whose archive takes a while (data that does not compress), killed as
        # soon as its archive's temporary is there.
        big = self.folder / "big.bin"
        big.write_bytes(os.urandom(64 * 1024 * 1024))
        h.write_script(self.scripts / "Big.qir", "<QIRSCRIPT>\n<FILES Big=\"%s\"/>\n</QIRSCRIPT>\n" % h.winpath(big))
        run = subprocess.Popen([str(h.WINE_RUN), str(self.app / "QIRTool.exe")] + self.args(),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            while run.poll() is None and not list(self.out.glob("~QX*.tmp")):
                time.sleep(0.002)
            self.assertIsNone(run.poll(), "the rerun ended before its archive could be caught in the making")
        finally:
            run.kill()
            run.wait(timeout=60)
        left = [p.name for p in self.out.glob("~QX*.tmp")]
        self.assertEqual(len(left), 1, left)
        self.assertEqual(self.result.read_bytes(), earlier, "the earlier archive, byte for byte")

        # Beside the killed run's temporary: a link named like one, and names of other kinds.
        outside = self.folder / "outside.txt"
        outside.write_bytes(b"not the run's")
        (self.out / "~QXbeef.tmp").symlink_to(outside)
        (self.out / "~QX1.tmp").mkdir()
        for name in ("~QXnote.tmp", "~QX12345.tmp", "QX1a.tmp", "~QX1a.txt"):
            (self.out / name).write_bytes(b"someone else's")
        big.unlink()
        (self.scripts / "Big.qir").unlink()
        self.assertEqual(self.collect(), 0)
        self.archive()
        self.assertEqual(sorted(p.name for p in self.out.iterdir()),
                         sorted(["r.tgz", "~QXbeef.tmp", "~QX1.tmp", "~QXnote.tmp", "~QX12345.tmp", "QX1a.tmp",
                                 "~QX1a.txt"]))
        self.assertTrue((self.out / "~QXbeef.tmp").is_symlink())
        self.assertEqual(outside.read_bytes(), b"not the run's")

    def test_a_name_clash_skips_the_second_action_and_the_run_goes_on(self):
        data = self.folder / "data"
        data.mkdir()
        (data / "a.txt").write_bytes(b"copied")
        # A dump named like a copy's folder, a copy's folder named like the process list's
        # file, and an action after them.
        h.write_script(self.scripts / "Clash.qir", """<QIRSCRIPT>
<FILES Same="%s\\*.txt"/>
<ACTIVE_DIRECTORY><DUMP Name="Same"/><SEARCH Value="(objectClass=user)"><Attrib Value="cn"/></SEARCH></ACTIVE_DIRECTORY>
<MISCELLANEOUS PROCESS_LIST="PROCESS_LIST"/>
<FILES PROCESS_LIST.txt="%s\\*.txt"/>
<FILE_VERSIONS Versions="%s\\*.txt"/>
</QIRSCRIPT>
""" % ((h.winpath(data),) * 3))
        self.assertEqual(self.collect(), 0)
        members = self.archive()
        self.assertEqual([e for e in self.errors(members) if "taken by" in e], [
            "Output name Same taken by a folder of another action: action skipped",
            "Output name PROCESS_LIST.txt taken by a file of another action: action skipped",
        ])
        self.assertEqual(members["Clash/Same/a.txt"], b"copied")
        self.assertIn("Clash/PROCESS_LIST.txt", members)
        self.assertIn("Clash/Versions.csv", members)
        self.assertFalse([name for name in members if name.startswith("Clash/PROCESS_LIST.txt/")])


if __name__ == "__main__":
    unittest.main(verbosity=2)
