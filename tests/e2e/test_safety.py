"""Hostile input end to end: the real QIRTool.exe under Wine on scripts, results folders,
links, a registry loop and concurrent runs made to hurt it. Every case checks that the
run ends (no crash, no hang), touches nothing outside its results, says in the activity
log what it refused, ends with the truthful exit code, and keeps the rest of the run."""

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

TOOL_STUB = h.BUILD / "tests" / "ToolStub.exe"
REGISTRY_LOOP = h.BUILD / "tests" / "RegistryLoop.exe"
SCRATCH_KEY = r"Software\Qirex\E2ESafety"

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


# A script whose one action leaves an output of its own.
GOOD = """<QIRSCRIPT>
<MISCELLANEOUS PROCESS_LIST="PROCESS_LIST"/>
</QIRSCRIPT>
"""
REFUSED = "ERROR", "XML file %s does not have a valid signiture and will not be processed."


def reg(*args):
    return h.wine(["reg"] + list(args)).returncode


def wait_for(path, what):
    """Waits (two minutes at most) until path exists."""
    for _ in range(1200):
        if os.path.lexists(path):
            return
        time.sleep(0.1)
    raise AssertionError("%s never appeared: %s" % (what, path))


class SafetyTest(unittest.TestCase):
    def setUp(self):
        # Lower case throughout: the collector lower-cases its command line.
        self.folder = h.scratch("e2e-safety-" + self._testMethodName.lower())
        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        shutil.copy(TOOL_STUB, self.app / "ToolStub.exe")
        self.scripts = self.folder / "scripts"
        self.scripts.mkdir()
        self.out = self.folder / "out"
        self.out.mkdir()
        self.result = self.out / "r.tgz"
        # Files no run may touch, and what they hold.
        self.outside = self.folder / "outside"
        (self.outside / "sub").mkdir(parents=True)
        (self.outside / "secret.txt").write_bytes(b"secret")
        (self.outside / "sub" / "deep.txt").write_bytes(b"deep secret")
        self.outside_before = self.snapshot(self.outside)

    @staticmethod
    def snapshot(folder):
        return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*")) if p.is_file()}

    def assertOutsideUntouched(self):
        self.assertEqual(self.snapshot(self.outside), self.outside_before)

    def args(self, pattern=None, result=None):
        pattern = pattern or h.winpath(self.scripts) + "\\*.qir"
        return ["/xmlfile=" + pattern, "/outfile=" + h.winpath(result or self.result), "/silent"]

    def collect(self, pattern=None, result=None):
        self.began = datetime.datetime.now().replace(microsecond=0)
        code = h.run_collector(self.args(pattern, result), exe=self.app / "QIRTool.exe", timeout=300)
        self.ended = datetime.datetime.now()
        return code

    def start(self, pattern=None, result=None):
        """The collector in the background; the test finishes it with finish()."""
        self.began = datetime.datetime.now().replace(microsecond=0)
        return subprocess.Popen([str(h.WINE_RUN), str(self.app / "QIRTool.exe")] + self.args(pattern, result),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def finish(self, run):
        code = run.wait(timeout=300)
        self.ended = datetime.datetime.now()
        return code

    def archive(self):
        members = h.read_archive(self, self.result, self.began, self.ended)
        h.check_with_standard_tools(self, self.result, members, self.folder / "extracted")
        h.check_with_verifier(self, self.result, members)
        registered, found = h.file_list_entries(self, members)
        self.assertEqual(sorted(n.replace("\\", "/") for n in registered + found + ["FileList.csv"]),
                         sorted(members), "the file list names exactly what the archive holds")
        return members

    def events(self, members):
        lines = h.log_lines(members["Activity Log.csv"])
        self.assertEqual(lines[0], "Time,Type,Description")
        return [h.check_log_line(self, line, self.began, self.ended) for line in lines[1:]]

    def waiting_script(self, flag):
        """A script whose tool waits until flag exists, then lists the processes."""
        h.write_script(self.scripts / "Wait.qir", """<QIRSCRIPT>
<EXECUTE Hold="~2 ToolStub.exe wait %s"/>
<MISCELLANEOUS PROCESS_LIST="PROCESS_LIST"/>
</QIRSCRIPT>
""" % h.winpath(flag))

    def test_integrity_covers_every_byte_and_nothing_after_the_root_runs(self):
        ran = [self.folder / "ran-after-nul.txt", self.folder / "ran-after-root.txt"]
        # Signed while the root is still open; what follows a NUL byte was never covered.
        nul = h.write_script(self.scripts / "Cut.qir", "<QIRSCRIPT>\n<SUMMARY Purpose='signed part'/>\n")
        nul.write_bytes(nul.read_bytes() + b"\0\r\n<EXECUTE Run='ToolStub.exe write %s'/>\r\n</QIRSCRIPT>\r\n"
                        % h.winpath(ran[0]).encode())
        # Signed whole, an element after the root included: it is covered, but not read.
        after = h.write_script(self.scripts / "After.qir", """<QIRSCRIPT>
<SUMMARY Purpose="root"/>
</QIRSCRIPT>
<EXECUTE Run="ToolStub.exe write %s"></EXECUTE>
""" % h.winpath(ran[1]))
        h.write_script(self.scripts / "Good.qir", GOOD)
        self.assertFalse(h.verify(nul), "QIRSign accepts bytes its value does not cover")
        self.assertTrue(h.verify(after))

        self.assertEqual(self.collect(), 0)
        for path in ran:
            self.assertFalse(path.exists(), "%s ran" % path.name)
        members = self.archive()
        events = self.events(members)
        self.assertIn((REFUSED[0], REFUSED[1] % "Cut.qir"), events)
        self.assertNotIn((REFUSED[0], REFUSED[1] % "After.qir"), events)
        self.assertFalse([e for e in events if "EXECUTE" in e[1]], "an action after the root was walked")
        self.assertIn("Good/PROCESS_LIST.txt", members)
        self.assertEqual(members["Cut.qir"], nul.read_bytes())

    def test_links_are_never_followed_nor_archived(self):
        old = self.out / "~QX_TEMP"
        old.mkdir()
        (old / "LinkDir").symlink_to(self.outside, target_is_directory=True)
        (old / "linkfile.txt").symlink_to(self.outside / "secret.txt")
        # Remains deeper than the classic path limit are cleared as well.
        deep = old.joinpath(*["d" * 60] * 6)
        deep.mkdir(parents=True)
        (deep / "stale.txt").write_bytes(b"stale")
        flag = self.folder / "go"
        self.waiting_script(flag)

        run = self.start()
        # Links that appear while the run goes on, in the script's own folder.
        wait_for(old / "Wait", "the script folder")
        (old / "Wait" / "late-dir").symlink_to(self.outside / "sub", target_is_directory=True)
        (old / "Wait" / "late.txt").symlink_to(self.outside / "secret.txt")
        flag.write_bytes(b"")
        self.assertEqual(self.finish(run), 0)

        self.assertOutsideUntouched()
        self.assertFalse((old / ("d" * 60)).exists(), "the deep remains are gone")
        members = self.archive()
        self.assertEqual(sorted(members),
                         ["Activity Log.csv", "FileList.csv", "Wait.qir", "Wait/PROCESS_LIST.txt"])
        errors = sorted(text for level, text in self.events(members) if level == "ERROR")
        self.assertEqual(errors, ["Link or junction %s left out of the archive" % name
                                  for name in ("LinkDir", "Wait\\late-dir", "Wait\\late.txt", "linkfile.txt")])

        # A results root that is itself a link: the run cannot have its root there.
        shutil.rmtree(old)
        old.symlink_to(self.outside, target_is_directory=True)
        self.result.write_bytes(b"the earlier result")
        self.assertEqual(self.collect(), 1)
        self.assertOutsideUntouched()
        self.assertEqual(self.result.read_bytes(), b"the earlier result", "nothing is deleted before the refusal")

    def test_a_registry_key_linked_to_its_ancestor(self):
        reg("delete", "HKCU\\" + SCRATCH_KEY, "/f")
        self.addCleanup(reg, "delete", "HKCU\\" + SCRATCH_KEY, "/f")
        self.assertEqual(reg("add", "HKCU\\" + SCRATCH_KEY + "\\Loop", "/v", "Marker", "/d", "here", "/f"), 0)
        self.assertEqual(h.wine([REGISTRY_LOOP, "make", SCRATCH_KEY + "\\Loop", "Back"]).returncode, 0)
        self.addCleanup(h.wine, [REGISTRY_LOOP, "remove", SCRATCH_KEY + "\\Loop", "Back"])
        # reg add gives the key an empty default value.
        self.assertEqual(reg("add", "HKCU\\" + SCRATCH_KEY + "\\Loop\\QirexLoop", "/f"), 0)
        h.write_script(self.scripts / "Loop.qir", """<QIRSCRIPT>
<REGISTRY Dump="HKEY_CURRENT_USER\\%s\\Loop" Find="QirexLoop"/>
<MISCELLANEOUS PROCESS_LIST="PROCESS_LIST"/>
</QIRSCRIPT>
""" % SCRATCH_KEY)

        self.assertEqual(self.collect(), 0)
        members = self.archive()
        path = "HKEY_CURRENT_USER\\%s\\Loop" % SCRATCH_KEY
        self.assertEqual(members["Loop/Dump.txt"],
                         ('[%s]\r\n"Marker"="here"\r\n\r\n[%s\\QirexLoop]\r\n""=""\r\n\r\n' % (path, path)).encode())
        events = self.events(members)
        self.assertIn(("ERROR", "Registry key %s\\Back leads back to a key above it: skipped" % path), events)
        self.assertIn(("INFORMATION", "Registry chunk dumped to %s\\~QX_TEMP\\Loop\\Dump.txt"
                       % h.winpath(self.out).lower()), events)
        # A search by key name meets the loop as well, and goes on past it.
        self.assertGreaterEqual(events.count(("ERROR", "Registry key %s\\Back leads back to a key above it: skipped"
                                                       % path)), 2, events)
        self.assertIn(("DEBUG", "Found matching key at %s\\QirexLoop" % path), events)
        self.assertIn("Loop/PROCESS_LIST.txt", members)

    def test_names_from_scripts_and_from_the_disk(self):
        reg("add", "HKCU\\" + SCRATCH_KEY + "\\Names", "/v", "v", "/d", "1", "/f")
        self.addCleanup(reg, "delete", "HKCU\\" + SCRATCH_KEY, "/f")
        key = "HKEY_CURRENT_USER\\%s\\Names" % SCRATCH_KEY
        refused = {"CON": "a device name", "nul": "a device name", "Aux": "a device name", "COM1": "a device name",
                   "lpt9": "a device name", "NUL.log": "a device name", "a:b": "a separator or reserved character",
                   "x" * 96: "too long", "y" * 300: "too long"}
        h.write_script(self.scripts / "Names.qir", "<QIRSCRIPT>\n<REGISTRY %s/>\n</QIRSCRIPT>\n" % " ".join(
            '%s="%s"' % (name, key) for name in list(refused) + ["Good"]))
        # Script files named by the disk: a device, titles of dots, a title the platform
        # would cut, and a name too long for a path of the results.
        titles = {"con.qir": "a device name", "...qir": "a step out of its folder",
                  "a..qir": "ends with a dot or blank", "s" * 200 + ".qir": "too long"}
        for name in titles:
            signed = h.write_script(self.scripts / "signing.tmp", GOOD)
            signed.rename(self.scripts / name)

        self.assertEqual(self.collect(), 0)
        self.assertEqual(sorted(p.name for p in self.out.iterdir()), ["r.tgz"], "nothing beside the result file")
        members = self.archive()
        self.assertEqual(members["Names/Good.txt"], ('[%s]\r\n"v"="1"\r\n\r\n' % key).encode())
        self.assertEqual(sorted(members), ["Activity Log.csv", "FileList.csv", "Names.qir", "Names/Good.txt"])
        errors = sorted(text for level, text in self.events(members) if level == "ERROR")
        expected = ["Unusable name %s (%s): action skipped" % item for item in refused.items()]
        expected += ["Unusable name %s (%s): XML file skipped" % item for item in titles.items()]
        self.assertEqual(errors, sorted(expected))

        # The signer neither hangs on a device name nor takes it for a script.
        for args in (["/verify", h.winpath(self.scripts / "aux")], [h.winpath(self.scripts / "con.qir")]):
            result = h.wine([h.QIRSIGN] + args, timeout=60)
            self.assertEqual(result.returncode, 1, args)
        self.assertIn(b"a device name", h.wine([h.QIRSIGN, "/verify", "com1.qir"], timeout=60).stdout)

    def test_result_files_that_cannot_be_used_and_a_second_run(self):
        only = h.write_script(self.scripts / "Only.qir", GOOD)
        other = h.write_script(self.scripts / "Other.qir", GOOD)
        scripts_before = self.snapshot(self.scripts)
        # The script itself, another script of the run, and a device.
        for pattern, result in ((h.winpath(only), only), (None, other), (None, self.out / "nul.tgz")):
            self.assertEqual(self.collect(pattern, result), 1, result.name)
        self.assertEqual(self.snapshot(self.scripts), scripts_before)
        self.assertEqual(sorted(p.name for p in self.scripts.iterdir()), ["Only.qir", "Other.qir"])
        self.assertEqual(list(self.out.iterdir()), [])

        # A second collector for the same result file while the first one runs.
        only.unlink()
        other.unlink()
        flag = self.folder / "go"
        self.waiting_script(flag)
        first = self.start()
        wait_for(self.out / "~QX_TEMP" / "Wait", "the first run's script folder")
        self.assertEqual(self.collect(), 1)
        self.assertTrue((self.out / "~QX_TEMP" / "Activity Log.csv").exists(), "the first run's results stay")
        flag.write_bytes(b"")
        self.assertEqual(self.finish(first), 0)
        members = self.archive()
        self.assertIn("Wait/PROCESS_LIST.txt", members)
        self.assertEqual(sorted(p.name for p in self.out.iterdir()), ["r.tgz"])

    def test_long_names_whole_and_truthful_logs(self):
        reg("add", "HKCU\\" + SCRATCH_KEY + "\\Long", "/v", "v", "/d", "1", "/f")
        self.addCleanup(reg, "delete", "HKCU\\" + SCRATCH_KEY, "/f")
        # Two outputs whose entry names are alike in their first 96 characters: once cut,
        # they merged into one entry.
        title = "t" * 90
        names = ["d" * 20 + "1", "d" * 20 + "2"]
        h.write_script(self.scripts / (title + ".qir"), "<QIRSCRIPT>\n<REGISTRY %s/>\n</QIRSCRIPT>\n" % " ".join(
            '%s="HKEY_CURRENT_USER\\%s\\Long"' % (name, SCRATCH_KEY) for name in names))
        # A value that would forge a log line, and an element of 200,000 attributes.
        attributes = " ".join("a%d='%d'" % (i, i) for i in range(200000, 0, -1))
        h.write_script(self.scripts / "Odd.qir", """<QIRSCRIPT>
<DEBUG Forge="x&#13;&#10;01/01/2026 10:00:00,INFORMATION,forged"/>
<GROUP %s>
<MISCELLANEOUS PROCESS_LIST="PROCESS_LIST"/>
</GROUP>
</QIRSCRIPT>
""" % attributes)

        self.assertEqual(self.collect(), 0)
        members = self.archive()
        for name in names:
            self.assertIn("%s/%s.txt" % (title, name), members)
        self.assertIn("Odd/PROCESS_LIST.txt", members)
        events = self.events(members)
        self.assertIn(("DEBUG", "XML Value: x  01/01/2026 10:00:00,INFORMATION,forged"), events)

        # A script pattern that matches nothing says so.
        pattern = h.winpath(self.scripts) + "\\none*.qir"
        self.assertEqual(self.collect(pattern), 0)
        self.assertEqual(self.events(self.archive()), [("WARNING", "No XML file matches " + pattern.lower())])


if __name__ == "__main__":
    unittest.main(verbosity=2)
