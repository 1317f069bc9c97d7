"""Which configurator a start reaches, and what reaches the scanner: Kestrune32.exe
started beside running instances of every mode, one on this computer and one on a
"remote-named" server (\\\\<this computer>, which KORBEL reaches through a registry
connection: the prefix's own machine key, while the local tasks lie in the scratch key
standing in for it); task names that must reach the scanner and the remote-scan
launcher as one argument each; Stop and the scan it follows; start and stop failures
shown over the sheet; and a faulting alert library."""

import shutil
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import qirharness as h  # noqa: E402
import test_configurator_sheet as sheet_suite  # noqa: E402
from test_configurator_sheet import (APPLY, CANCEL, MESSAGE_BOX, OK, PRODUCT, SHEET, START,  # noqa: E402
                                     STOP, WHERE1, SheetTest)

COMPONENTS = "Components"


def setUpModule():
    sheet_suite.display.start()
    sheet_suite.prefix = h.private_prefix("instances")


def tearDownModule():
    h.stop_prefix(sheet_suite.prefix)
    sheet_suite.display.stop()


def qm_quoted(text):
    """A value as the configurator's command line writes it: in double quotes, a double
    quote inside doubled."""
    return '"%s"' % text.replace('"', '""')


class StartTest(SheetTest):
    def setUp(self):
        super().setUp()
        self.driver("setenv QM_SCANNER_ARGS_LOG %s" % h.winpath(self.folder / "args.log"))
        self.started = []

    def arguments(self):
        path = self.folder / "args.log"
        lines = path.read_bytes().decode("utf-8").split("\r\n")[:-1] if path.exists() else []
        return [line.split("\t") for line in lines]

    def remote_task(self, name, display):
        """A task of the remote-named server, beside its default task."""
        self.addCleanup(lambda: self.driver.raw("regdel\tHKLM\\SOFTWARE\\Quillmont"))
        self.driver("regsz\tHKLM\\%s\\DefaultTask\tOption21\tDefault task" % PRODUCT)
        key = "HKLM\\%s\\Tasks\\%s" % (PRODUCT, name)
        self.driver("regsz\t%s\tOption21\t%s" % (key, display))
        self.driver("regdword\t%s\tOption19\t0" % key)

    def start(self, *args):
        answer = super().start(*args)
        self.started.append(answer["id"])
        return answer

    def end_all(self):
        """Ends every program the test started, and waits until each has gone."""
        self.driver("kill")
        for child in self.started:
            self.driver("use %s" % child)
            self.driver("wait 20000")
        self.started = []

    def open_sheet(self, *args):
        child = self.start(*args)["id"]
        self.sheet()
        return child

    def computer(self):
        """This computer's name, as a running local instance answers it."""
        return self.driver("query 1")["name"]

    def running(self):
        return self.enabled(START, STOP) == [False, True]

    def stays(self, check, seconds=3):
        """The check holds all along while the sheet's status poll runs a few times."""
        end = time.time() + seconds
        while time.time() < end:
            self.assertTrue(check())
            time.sleep(0.2)

    def box_over_the_sheet(self, sheet_id, number):
        """A notice box is up, the sheet it belongs to is disabled under it; OK closes it."""
        self.driver("dlg %d 20000" % MESSAGE_BOX)
        self.assertEqual(self.notice_numbers()[-1], number)
        self.driver("use %s" % sheet_id)
        self.assertEqual(self.sheet()["enabled"], "0", "the sheet cannot be used under its notice")
        self.driver("press %d %d" % (MESSAGE_BOX, OK))
        self.driver("gone %d 10000" % MESSAGE_BOX)
        self.until(lambda: self.sheet()["enabled"], lambda e: e == "1")


class InstanceMatrixTest(StartTest):
    def test_a_start_joins_only_the_instance_of_its_mode_server_and_task(self):
        for task in (self.task, self.remote_task):
            task("Weekly", "Weekly scan")
            task("Daily", "Daily scan")
        # The WIZARD row runs in standalone mode; no running instance is named WIZARD,
        # so it joins as a plain start does.
        for mode, running_mode in (("", ""), ("/MIDW", "/MIDW"), ("/WIZARD", ""), ("/MIDRW", "/MIDRW")):
            with self.subTest(mode=mode or "standalone"):
                try:
                    local = self.open_sheet(running_mode, "/TASK Weekly")
                    computer = self.computer()
                    remote = self.open_sheet(running_mode, "/TASK Weekly /SERVER \\\\" + computer)
                    # server, task, and what the start reaches: a running instance, a sheet
                    # of its own, or the message that the task cannot be opened there.
                    cases = [
                        ("", "Weekly", local),
                        ("\\\\" + computer.lower(), "weekly", remote),  # names compare as the registry does
                        (computer.lower(), "WEEKLY", local),
                        ("", "Daily", "own"),
                        (computer, "Daily", "own"),
                        ("\\\\" + computer, "Daily", "own"),
                        ("OTHERPC", "Weekly", 2171),
                    ]
                    for server, task, reaches in cases:
                        args = [mode, "/TASK", task] + (["/SERVER", server] if server else [])
                        self.start(*args)
                        if reaches == "own":
                            # Found as soon as it exists; Wine brings it to the front a little later.
                            self.until(lambda: self.sheet()["foreground"], lambda f: f == "1")
                            self.driver("press %d %d" % (SHEET, CANCEL))
                        elif reaches == 2171:
                            self.driver("dlg %d 20000" % MESSAGE_BOX)
                            self.assertIn("could not be opened", self.control(MESSAGE_BOX, MESSAGE_BOX)["text"], args)
                            self.driver("press %d %d" % (MESSAGE_BOX, OK))
                        self.assertEqual(self.exit_code(), 0, args)
                        if reaches not in ("own", 2171):
                            # Wine moves the focus a little later.
                            self.until(lambda: self.driver("foreground")["id"], lambda f: f == reaches)
                finally:
                    self.end_all()

    def test_a_task_name_no_atom_can_hold_matches_no_later_start(self):
        self.start("/MIDW /TASK " + "x" * 300)
        self.sheet()
        self.assertEqual(self.driver("query 0")["atom"], "0")
        self.start("/MIDW")
        self.assertTrue(self.sheet()["title"].startswith("Scan Task Properties - Temporary task"))


class ArgumentsTest(StartTest):
    NAMES = ['Nightly " /CANCEL "x', '"quoted"', "/TEMP", 'a  "b c" d']

    def test_task_and_server_names_reach_the_scanner_and_launcher_as_one_argument(self):
        expected, server = [], None
        for name in self.NAMES:
            self.task(name, "Odd names")
            self.remote_task(name, "Odd names")
            self.open_sheet("/TASK " + qm_quoted(name))
            self.driver("press %d %d" % (SHEET, START))
            expected.append(["/NOSPLASH", "/TASK", name])
            self.until(self.arguments, lambda args: len(args) == len(expected))
            self.assertEqual(self.arguments(), expected)
            self.until(lambda: self.running(), lambda r: r)
            self.driver("press %d %d" % (SHEET, STOP))
            expected.append(["/NOSPLASH", "/TASK", name, "/CANCEL"])
            self.until(self.arguments, lambda args: len(args) == len(expected))
            self.assertEqual(self.arguments(), expected)
            self.until(lambda: self.enabled(START), lambda s: s == [True])
            server = server or "\\\\" + self.computer()
            self.driver("press %d %d" % (SHEET, CANCEL))
            self.assertEqual(self.exit_code(), 0)

        # A task on a server goes through the launcher, with the server's name.
        self.open_sheet("/TASK %s /SERVER %s" % (qm_quoted(self.NAMES[0]), server))
        self.driver("press %d %d" % (SHEET, START))
        expected.append(["/NOSPLASH", "/TASK", self.NAMES[0], "/SERVER", server, "/REFRESH", "3"])
        self.until(self.arguments, lambda args: len(args) == len(expected))
        self.assertEqual(self.arguments()[-1], expected[-1])


class ScanFollowTest(StartTest):
    def test_stop_keeps_start_off_until_the_scan_itself_has_ended(self):
        hold = self.folder / "hold"
        hold.write_text("")
        self.driver("setenv QM_SCANNER_HOLD %s" % h.winpath(hold))
        self.task("Weekly", "Weekly scan")
        self.open_sheet("/TASK Weekly")
        self.driver("press %d %d" % (SHEET, START))
        self.until(lambda: self.running(), lambda r: r)
        self.driver("press %d %d" % (SHEET, STOP))
        self.until(self.arguments, lambda args: len(args) == 2)
        # The cancelling scanner has come and gone; the scan, held, still runs.
        self.stays(lambda: self.enabled(START, STOP) == [False, False] and
                   int(self.stored("Tasks\\Weekly", 19)) & 0x1000)
        hold.unlink()
        self.until(lambda: self.enabled(START, STOP), lambda s: s == [True, False])
        self.assertEqual(int(self.stored("Tasks\\Weekly", 19)) & 0x1000, 0)

    def test_start_and_stop_failures_show_over_the_sheet(self):
        self.driver("setenv QM_NOTIFY_ANSWER")
        missing = h.winpath(self.folder / "missing.exe")
        self.task("Weekly", "Weekly scan")
        self.remote_task("Weekly", "Weekly scan")
        sheet_id = self.open_sheet("/TASK Weekly")
        self.driver("regsz\t%s\tOnDemandScanner\t%s" % (self.key(COMPONENTS), missing))
        self.driver("press %d %d" % (SHEET, START))
        self.box_over_the_sheet(sheet_id, 2051)
        self.assertEqual(self.notices()[-1][1], "Weekly scan")
        self.assertEqual(self.enabled(START, STOP), [True, False])

        self.driver("regdel\t" + self.key(COMPONENTS))
        self.driver("press %d %d" % (SHEET, START))
        self.until(lambda: self.running(), lambda r: r)
        self.driver("regsz\t%s\tOnDemandScanner\t%s" % (self.key(COMPONENTS), missing))
        self.driver("press %d %d" % (SHEET, STOP))
        self.box_over_the_sheet(sheet_id, 2073)

        self.driver("regsz\t%s\tRemoteScanLauncher\t%s" % (self.key(COMPONENTS), missing))
        computer = self.computer()
        remote_id = self.open_sheet("/TASK Weekly /SERVER \\\\" + computer)
        self.driver("press %d %d" % (SHEET, START))
        self.box_over_the_sheet(remote_id, 2052)


class AlertTest(StartTest):
    def test_a_faulting_alert_library_leaves_the_sheet_working(self):
        # A crash ends the program at once instead of waiting under Wine's crash dialog.
        self.driver("regdword\tSoftware\\Wine\\WineDbg\tShowCrashDialog\t0")
        libraries = self.folder / "libraries"
        libraries.mkdir()
        for name in ("QMKRNLU.DLL", "QMUTILU.DLL"):
            shutil.copy2(h.BIN / name, libraries / name)
        shutil.copy2(h.BUILD / "tests" / "faulting-alert" / "qmiann.dll", libraries / "qmiann.dll")
        self.driver("setenv QMI_DEBUGCORE %s" % h.winpath(libraries))
        self.driver("regdword\t%s\tOption260\t1" % self.key("Alerts\\CurrentVersion"))
        self.task("Weekly", "Weekly scan", ["C:\\"])
        self.open_sheet("/TASK Weekly")
        alerts = self.folder / "alerts.log"
        for calls in (1, 2):
            self.driver("click %d %d" % (SHEET, WHERE1))
            self.until(lambda: self.enabled(APPLY), lambda s: s == [True])
            self.driver("press %d %d" % (SHEET, APPLY))
            self.until(lambda: alerts.exists() and alerts.read_text().count("called"), lambda n: n == calls)
            self.until(lambda: self.enabled(APPLY), lambda s: s == [False])
        self.assertEqual(self.stored("Tasks\\Weekly", 108), "1")
        self.driver("click %d %d" % (SHEET, WHERE1))
        self.driver("press %d %d" % (SHEET, OK))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.stored("Tasks\\Weekly", 108), "0")


if __name__ == "__main__":
    unittest.main()
