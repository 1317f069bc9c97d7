"""German beside English, as users meet it under Wine: the collector's window speaks
the system locale's language through QIRTool.LOC (its activity log stays English), and
the configurator's sheet speaks the language of the folder beside the program: English
from the build tree's Res09 whatever the locale or PreferredLanguage, German once Res07
is copied beside it, English again when PreferredLanguage asks for 09."""

import os
import shutil
import sys
import tarfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import qirharness as h  # noqa: E402

display = h.Display()
prefix = None

GERMAN, ENGLISH = "de_DE.UTF-8", "C.UTF-8"
TOOL_STUB = h.BUILD / "tests" / "ToolStub.exe"
GERMAN_MODULES = h.BUILD / "languages" / "Res07"
SHEET, START, CANCEL = 1001, 1003, 2
SHARED = r"HKLM\Software\Quillmont\Orlan\Shared Components"


def setUpModule():
    global prefix
    display.start()
    prefix = h.private_prefix("german")


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


def driver_in(locale, exe=None):
    """A driver whose programs start with the given Unix locale, which Wine takes for the
    system, user and thread locale (LC_ALL: this machine has no de_DE locale installed,
    and Wine then ignores LANG)."""
    saved = os.environ.get("LC_ALL")
    os.environ["LC_ALL"] = locale
    try:
        return h.Driver(exe)
    finally:
        if saved is None:
            del os.environ["LC_ALL"]
        else:
            os.environ["LC_ALL"] = saved


class CollectorLanguageTest(unittest.TestCase):
    def run_held_tool(self, locale):
        """Runs a script whose external tool waits for the test; returns the progress
        window as it shows while the tool runs, and the run's activity log."""
        folder = h.scratch("german-" + self._testMethodName)
        app = folder / "app"
        app.mkdir()
        for item in (h.QIRTOOL, h.BIN / "QIRTool.LOC", TOOL_STUB):
            shutil.copy(item, app / item.name)
        release = folder / "release"
        script = app / "held.qir"
        script.write_bytes(b'<QIRSCRIPT>\r\n<EXECUTE Hold="~2 ToolStub.exe wait %s"/>\r\n</QIRSCRIPT>\r\n'
                           % h.winpath(release).encode())
        h.sign(script)
        driver = driver_in(locale)
        self.addCleanup(driver.close)
        # The collector's texts are ANSI: Windows-1252 under both locales.
        driver.proc.stdout.reconfigure(encoding="cp1252")
        out = folder / "results.tgz"
        driver('start "%s" /outfile=%s' % (h.winpath(app / "QIRTool.exe"), h.winpath(out)))
        deadline = time.monotonic() + 60
        while True:
            window = driver("progress 20000")
            # The work line changes before the tool starts, the detail line once it runs.
            if (window["work"].endswith("[Hold]") and window["detail"] != "...") or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        release.write_bytes(b"")
        self.assertEqual(int(driver("wait 60000")["exit"]), 0)
        with tarfile.open(out) as archive:
            log = next(m for m in archive.getmembers() if m.name.endswith("Activity Log.csv"))
            return window, archive.extractfile(log).read().decode("cp1252")

    def test_a_german_locale_shows_the_german_texts(self):
        window, log = self.run_held_tool(GERMAN)
        self.assertEqual(window["title"], "Qirex Tool \u2013 Diagnosedaten")
        self.assertEqual(window["work"], "Externes Programm wird ausgef\u00fchrt [Hold]")
        self.assertEqual(window["detail"], "Warten auf das Programm... (h\u00f6chstens 2 Min.)")
        self.assertIn(",INFORMATION,Command executed successfully", log)

    def test_an_english_locale_keeps_the_built_in_texts(self):
        window, log = self.run_held_tool(ENGLISH)
        self.assertEqual(window["title"], "Qirex Tool")
        self.assertEqual(window["work"], "Executing external tool [Hold]")
        self.assertEqual(window["detail"], "Waiting for tool... (2 minutes max)")
        self.assertIn(",INFORMATION,Command executed successfully", log)


class ConfiguratorLanguageTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch("german-" + self._testMethodName)
        self.root = "Software\\QirexGerman\\" + self._testMethodName
        self.addCleanup(self.prefer, None)

    def prefer(self, code):
        """Sets PreferredLanguage of the shared components, or removes it (None)."""
        if code is None:
            h.wine(["reg", "delete", SHARED, "/v", "PreferredLanguage", "/f"])
        else:
            self.assertEqual(h.wine(["reg", "add", SHARED, "/v", "PreferredLanguage", "/d", code, "/f"]).returncode, 0)

    def sheet_language(self, program, locale):
        """Opens the sheet of a small task with the given locale; returns its title and
        the text of its Start button, and closes it."""
        driver = driver_in(locale, h.SHEET_DRIVER)
        try:
            for name, value in [("KORBEL_MACHINE_ROOT", self.root), ("QMI_DEBUGCORE", h.winpath(h.BIN)),
                                ("QM_NOTIFY_LOG", h.winpath(self.folder / "notices.log"))]:
                driver("setenv %s %s" % (name, value))
            key = self.root + r"\SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion\Tasks\Lang"
            driver("regsz\t%s\tOption21\tLanguage task" % key)
            driver("regdword\t%s\tOption19\t0" % key)
            driver('start "%s" /TASK Lang' % h.winpath(program))
            title = driver("dlg %d 30000" % SHEET)["title"]
            start = driver("get %d %d" % (SHEET, START))["text"]
            driver("press %d %d" % (SHEET, CANCEL))
            self.assertEqual(int(driver("wait 20000")["exit"]), 0)
            driver.raw("regdel\t" + self.root)
            return title, start
        finally:
            driver.close()

    def test_the_build_tree_stays_english_for_a_german_user(self):
        # Only Res09 lies beside the program: neither the locale nor the preferred
        # language can choose German there.
        self.prefer("07")
        title, start = self.sheet_language(h.KESTRUNE, GERMAN)
        self.assertIn("Scan Task Properties", title)
        self.assertEqual(start, "&Start")

    def test_res07_copied_beside_the_program_shows_german_unless_09_is_preferred(self):
        app = self.folder / "app"
        shutil.copytree(h.BIN, app)
        shutil.copytree(GERMAN_MODULES, app / "Res07")
        program = app / "Kestrune32.exe"
        # Two language folders, one of them Res09: the other one first, whatever the locale.
        title, start = self.sheet_language(program, ENGLISH)
        self.assertIn("Eigenschaften der Scanaufgabe", title)
        self.assertEqual(start, "&Starten")
        self.prefer("09")
        self.assertEqual(self.sheet_language(program, GERMAN), (title.replace(
            "Eigenschaften der Scanaufgabe", "Scan Task Properties"), "&Start"))
        self.prefer("07")
        self.assertEqual(self.sheet_language(program, ENGLISH)[1], "&Starten")


if __name__ == "__main__":
    unittest.main(verbosity=2)
