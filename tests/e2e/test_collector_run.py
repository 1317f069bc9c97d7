"""The collector run end to end: the real QIRTool.exe under Wine on scripts made and
signed here, its result archive checked from Linux byte by byte and with standard
tools, its activity log and signed file list, and its exit codes."""

import datetime
import gzip
import os
import random
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


# Nothing in it runs: the lines it causes stay the same whatever the actions do.
QUIET_SCRIPT = """<QIRSCRIPT>
<SUMMARY Purpose="end-to-end test"/>
</QIRSCRIPT>
"""
# An action that would leave its own output in the archive, were it ever run.
ACTIVE_SCRIPT = """<QIRSCRIPT>
<MISCELLANEOUS PROCESS_LIST="Procs"/>
</QIRSCRIPT>
"""


class CollectorRunTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch("e2e-" + self._testMethodName)
        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        self.exe = self.app / "QIRTool.exe"
        self.out = self.folder / "out"
        self.out.mkdir()
        # Scripts made by the test are archived with their own times: the run's window
        # of time opens before they are written.
        self.began = datetime.datetime.now().replace(microsecond=0)

    def collect(self, *args, cwd=None, env=None):
        code = h.run_collector(list(args), cwd=cwd, exe=self.exe, env=env)
        self.ended = datetime.datetime.now()
        return code

    def open_archive(self, path):
        members = h.read_archive(self, path, self.began, self.ended)
        h.check_with_standard_tools(self, path, members, self.folder / "extracted")
        h.check_with_verifier(self, path, members)
        return members

    def log_events(self, members):
        lines = h.log_lines(members["Activity Log.csv"])
        self.assertEqual(lines[0], "Time,Type,Description")
        return [h.check_log_line(self, line, self.began, self.ended) for line in lines[1:]]

    def file_list(self, members):
        """The file list's entries before and after "<EXTERNAL_FILES>", each checked
        against the archived bytes, and its integrity value checked by QIRSign."""
        registered, found = h.file_list_entries(self, members)
        extracted = self.folder / "extracted" / "FileList.csv"
        self.assertTrue(h.verify(extracted), "QIRSign rejects the archived file list")
        tampered = self.folder / "FileList-changed.csv"
        tampered.write_bytes(members["FileList.csv"].replace(b"<EXTERNAL_FILES>", b"<EXTERNAL_FILEZ>"))
        self.assertFalse(h.verify(tampered), "QIRSign accepts a changed file list")
        return registered, found

    def test_signed_script_in_a_folder_with_a_space(self):
        scripts = self.folder / "my scripts"
        scripts.mkdir()
        script = h.write_script(scripts / "Sample.qir", QUIET_SCRIPT)
        result = self.out / "Results.tgz"
        # Quoted exactly as a user types it, which a plain argument list cannot express.
        code = h.run_exact('"%s" /xmlfile="%s" /outfile=%s /silent' % (
            h.winpath(self.exe), h.winpath(script), h.winpath(result)))
        self.ended = datetime.datetime.now()
        self.assertEqual(code, 0)

        # Options and their values are lower-cased: so is the result file's name.
        archive = self.out / "results.tgz"
        self.assertEqual(sorted(p.name for p in self.out.iterdir()), ["results.tgz"], "~QX_TEMP is gone")
        members = self.open_archive(archive)
        self.assertEqual(set(members), {"Activity Log.csv", "FileList.csv", "Sample.qir"})
        self.assertEqual(members["Sample.qir"], script.read_bytes())
        self.assertEqual(self.log_events(members), [("INFORMATION", "XML file found: Sample.qir")])
        registered, found = self.file_list(members)
        self.assertEqual(registered, ["Sample.qir", "Activity Log.csv"])
        self.assertEqual(found, [])

    def test_script_with_a_wrong_integrity_value_is_archived_but_not_run(self):
        scripts = self.folder / "scripts"
        scripts.mkdir()
        h.write_script(scripts / "Good.qir", QUIET_SCRIPT)
        tampered = h.write_script(scripts / "Tampered.qir", ACTIVE_SCRIPT)
        tampered.write_bytes(tampered.read_bytes().replace(b"Procs", b"Props"))
        h.write_script(scripts / "Unsigned.qir", ACTIVE_SCRIPT, signed=False)

        code = self.collect("/xmlfile=" + h.winpath(scripts) + "\\*.qir",
                            "/outfile=" + h.winpath(self.out / "r.tgz"), "/silent")
        self.assertEqual(code, 0)
        members = self.open_archive(self.out / "r.tgz")
        self.assertEqual(set(members), {"Activity Log.csv", "FileList.csv", "Good.qir", "Tampered.qir", "Unsigned.qir"})
        self.assertEqual(members["Tampered.qir"], tampered.read_bytes())
        events = self.log_events(members)
        for name in ("Tampered.qir", "Unsigned.qir"):
            found = events.index(("INFORMATION", "XML file found: %s" % name))
            self.assertEqual(events[found + 1], (
                "ERROR", "XML file %s does not have a valid signiture and will not be processed." % name))
        self.assertIn(("INFORMATION", "XML file found: Good.qir"), events)
        self.assertEqual(len(events), 5, events)
        registered, _ = self.file_list(members)
        self.assertEqual(sorted(registered), ["Activity Log.csv", "Good.qir", "Tampered.qir", "Unsigned.qir"])

    def test_no_script_found_still_archives_log_and_list(self):
        code = self.collect("/outfile=" + h.winpath(self.out / "r.tgz"), "/silent")
        self.assertEqual(code, 0)
        members = self.open_archive(self.out / "r.tgz")
        self.assertEqual(list(members), ["Activity Log.csv", "FileList.csv"])
        self.assertEqual(self.log_events(members), [])
        self.assertEqual(self.file_list(members), (["Activity Log.csv"], []))

    def test_scripts_beside_the_program_and_a_relative_out_file(self):
        h.write_script(self.app / "Beside.qir", QUIET_SCRIPT)
        work = self.folder / "work"
        work.mkdir()
        code = self.collect("/OUTFILE=Mixed.TGZ", "/Silent", cwd=work)
        self.assertEqual(code, 0)
        self.assertEqual([p.name for p in work.iterdir()], ["mixed.tgz"])
        members = self.open_archive(work / "mixed.tgz")
        self.assertIn("Beside.qir", members)

    def test_remains_of_an_interrupted_run_are_cleared_first(self):
        remains = self.out / "~QX_TEMP"
        (remains / "Old" / "Deeper").mkdir(parents=True)
        (remains / "Activity Log.csv").write_bytes(b"Time,Type,Description\r\n"
                                                   b"01/01/2026 10:00:00,INFORMATION,User requested termination\r\n")
        (remains / "Old" / "Deeper" / "stale.txt").write_bytes(b"stale")
        (self.out / "r.tgz").write_bytes(b"an earlier result")
        code = self.collect("/outfile=" + h.winpath(self.out / "r.tgz"), "/silent")
        self.assertEqual(code, 0)
        self.assertFalse(remains.exists())
        members = self.open_archive(self.out / "r.tgz")
        self.assertEqual(list(members), ["Activity Log.csv", "FileList.csv"])
        self.assertEqual(self.log_events(members), [])

    def test_silent_run_without_a_display(self):
        h.write_script(self.app / "Sample.qir", QUIET_SCRIPT)
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        code = self.collect("/outfile=" + h.winpath(self.out / "r.tgz"), "/silent", env=env)
        self.assertEqual(code, 0)
        members = self.open_archive(self.out / "r.tgz")
        self.assertEqual(set(members), {"Activity Log.csv", "FileList.csv", "Sample.qir"})
        self.assertFalse((self.out / "~QX_TEMP").exists())

        # Without /silent there is no way to ask or tell the user: nothing is done.
        code = self.collect("/outfile=" + h.winpath(self.out / "loud.tgz"), env=env)
        self.assertEqual(code, 2)
        self.assertFalse((self.out / "loud.tgz").exists())

    def test_verifier_names_what_was_damaged_after_the_run(self):
        h.write_script(self.app / "Sample.qir", QUIET_SCRIPT)
        result = self.out / "r.tgz"
        self.assertEqual(self.collect("/outfile=" + h.winpath(result), "/silent"), 0)
        members = self.open_archive(result)
        # One byte of the archived script changed on the way, the archive packed anew.
        tar = bytearray(gzip.decompress(result.read_bytes()))
        tar[tar.index(members["Sample.qir"]) + 3] ^= 0x20
        damaged = self.out / "damaged.tgz"
        damaged.write_bytes(gzip.compress(bytes(tar)))
        garbage = self.out / "garbage.tgz"
        garbage.write_bytes(b"not an archive")

        code, lines = h.verify_archive(damaged)
        self.assertEqual(code, 1, lines)
        self.assertEqual(lines[0], h.winpath(damaged) + ": FAILED (1 problem)")
        self.assertRegex(lines[1], r"^  Sample\.qir: CRC [0-9A-F]{8} in the archive, %s in the file list$" %
                         h.crc_text(members["Sample.qir"]))
        code, lines = h.verify_archive("/quiet", result, damaged, garbage)
        self.assertEqual(code, 2, lines)
        self.assertEqual(lines, [h.winpath(result) + ": INTACT (undamaged: file list valid; 2 files listed, "
                                                     "all present with the listed CRC)",
                                 h.winpath(damaged) + ": FAILED (1 problem)",
                                 h.winpath(garbage) + ": UNREADABLE (not a gzip file)"])

    def test_archive_of_many_blocks_is_the_same_for_one_two_and_eight_threads(self):
        # The collector's archive code on a results folder of several deflate blocks
        # (text that compresses, bytes that do not and are stored), through the archive
        # benchmark program, which takes the number of deflating threads.
        rng = random.Random(10)
        files = {"Activity Log.csv": b"Time,Type,Description\r\n",
                 "Sample/Dump.txt": b"".join(b'"Value%d"=dword:%08X\r\n' % (i, i * 7919) for i in range(40000)),
                 "Sample/Copied.bin": rng.randbytes(600000), "Empty.txt": b""}
        listed = "".join("%s,%s,\r\n" % (h.crc_text(data), name.replace("/", "\\")) for name, data in files.items())
        files["FileList.csv"] = ("<FILE_LIST_START>\r\n%s<EXTERNAL_FILES>\r\n<FILE_LIST_END>\r\n" % listed).encode()
        archives = {}
        for threads in (1, 2, 8):
            root = self.folder / str(threads) / "~QX_TEMP"
            for name, data in files.items():
                (root / name).parent.mkdir(parents=True, exist_ok=True)
                (root / name).write_bytes(data)
            h.sign(root / "FileList.csv")
            for path in root.rglob("*"):
                os.utime(path, (1700000000, 1700000000))
            result = root.parent / "Results.tgz"
            run = h.wine([h.BUILD / "tests" / "ArchiveBench.exe", h.winpath(result), h.winpath(root), threads])
            self.assertEqual(run.returncode, 0, run.stdout)
            archives[threads] = result.read_bytes()
        self.assertEqual(archives[2], archives[1])
        self.assertEqual(archives[8], archives[1])
        members = h.read_archive(self, result)
        self.assertEqual(sorted(members), sorted(files))
        h.check_with_standard_tools(self, result, members, self.folder / "extracted")
        h.check_with_verifier(self, result, members)
        # The random bytes stand in the archive as they are (stored blocks), the text
        # does not (deflated).
        archive, copied = archives[1], files["Sample/Copied.bin"]
        stored = sum(copied[at:at + 1000] in archive for at in range(0, len(copied), 1000))
        self.assertGreater(stored, 450)
        self.assertNotIn(files["Sample/Dump.txt"][:1000], archive)
        # bsdtar and 7-Zip read the stored and deflated blocks alike.
        into = self.folder / "bsdtar"
        into.mkdir()
        subprocess.run(["bsdtar", "-xf", str(result), "-C", str(into)], check=True)
        for name, data in members.items():
            self.assertEqual((into / name).read_bytes(), data, name)
        unpacked = subprocess.run(["7z", "x", "-so", str(result)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  check=True)
        self.assertEqual(unpacked.stdout, gzip.decompress(archive))


if __name__ == "__main__":
    unittest.main(verbosity=2)
