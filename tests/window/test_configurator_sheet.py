"""The configurator as a user meets it, under a private Xvfb display: Kestrune32.exe
started on tasks stored in the Wine registry (a scratch key standing in for the
product's machine key), its sheet, buttons, keys and scan-locations page driven by
SheetDriver.exe, and what it leaves behind: the stored options, the command lines of
our scanner stand-in, the notices of the recording notification box and the alerts
recorded by our qmiann.dll."""

import os
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
import qirharness as h  # noqa: E402

display = h.Display()
prefix = None

SHEET, ITEM_DIALOG, NAME_DIALOG, MESSAGE_BOX = 1001, 1602, 1702, 65535
OK, CANCEL, APPLY, START, STOP, SCHEDULE, RESET, SAVE_DEFAULT = 1, 2, 1002, 1003, 1004, 1005, 1006, 1007
ADD, EDIT, REMOVE, WHERE1 = 1103, 1104, 1105, 1106
KIND, PATH, DESCRIPTION = 1602, 1604, 1606
PRODUCT = r"SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion"
# Image list positions of the page's icons: file, folder, drive, removable, network, computer.
FILE_ICON, FOLDER_ICON, DRIVE_ICON, NETWORK_ICON, COMPUTER_ICON = 0, 1, 2, 4, 5


def setUpModule():
    global prefix
    os.environ["LC_ALL"] = "C.UTF-8"
    display.start()
    prefix = h.private_prefix("sheet")
    h.serve_prefix(prefix)


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


class SheetTest(unittest.TestCase):
    """One scratch machine key, one scratch folder and one driver per test; every
    notice is answered yes unless the test says otherwise."""

    def setUp(self):
        self.folder = h.scratch("sheet-" + self._testMethodName)
        self.root = "Software\\QirexSheet\\" + self._testMethodName
        self.driver = h.Driver(h.SHEET_DRIVER)
        self.addCleanup(self.driver.close)
        self.driver("regdel\t" + self.root)
        self.addCleanup(lambda: self.driver.raw("regdel\t" + self.root))
        for name, value in [("KORBEL_MACHINE_ROOT", self.root), ("QMI_DEBUGCORE", h.winpath(h.BIN)),
                            ("QM_NOTIFY_LOG", h.winpath(self.folder / "notices.log")), ("QM_NOTIFY_ANSWER", "6"),
                            ("QM_SCANNER_LOG", h.winpath(self.folder / "scanner.log")),
                            ("QM_SCANNER_RUN_MS", "4000"), ("QM_ALERT_LOG", h.winpath(self.folder / "alerts.log")),
                            ("KORBEL_HELP_LOG", h.winpath(self.folder / "help.log"))]:
            self.driver("setenv %s %s" % (name, value))

    # ---- the product's registry, below the scratch machine key

    def key(self, sub):
        return "%s\\%s\\%s" % (self.root, PRODUCT, sub)

    def task(self, name, display, items=None):
        key = self.key("Tasks\\" + name)
        self.driver("regsz\t%s\tOption21\t%s" % (key, display))
        self.driver("regdword\t%s\tOption19\t0" % key)
        if items is not None:
            self.driver("regmulti\t%s\tOption104\t%s" % (key, "|".join(items)))

    def stored(self, sub, option):
        answer = self.driver("regget\t%s\tOption%d" % (self.key(sub), option))
        return answer.get("value")

    # ---- the program and its windows

    def start(self, *args):
        return self.driver('start "%s" %s' % (h.winpath(h.KESTRUNE), " ".join(args)))

    def sheet(self, timeout=120000):
        return self.driver("dlg %d %d" % (SHEET, timeout))

    def control(self, number, holder=SHEET):
        return self.driver("get %d %d" % (holder, number))

    def enabled(self, *numbers):
        return [self.control(n)["enabled"] == "1" for n in numbers]

    def rows(self):
        answer = self.driver("rows %d" % SHEET)
        return [tuple(answer["row%d" % i].split("|")) for i in range(int(answer["count"]))]

    def until(self, what, check, timeout=120):
        end = time.time() + timeout
        while True:
            value = what()
            if check(value):
                return value
            if time.time() > end:
                self.fail("still %r" % (value,))
            time.sleep(0.2)

    def exit_code(self, timeout=120000):
        return int(self.driver("wait %d" % timeout)["exit"])

    def notices(self):
        path = self.folder / "notices.log"
        if not path.exists():
            return []
        return [line.split("\t") for line in path.read_bytes().decode("utf-8").split("\r\n") if line]

    def notice_numbers(self):
        return [int(n[0]) for n in self.notices()]

    def help_lines(self):
        path = self.folder / "help.log"
        return path.read_bytes().decode("utf-8").split("\r\n")[:-1] if path.exists() else []

    def scanner_lines(self):
        path = self.folder / "scanner.log"
        return path.read_bytes().decode("utf-8").split("\r\n")[:-1] if path.exists() else []


class InstanceTest(SheetTest):
    def test_second_start_for_the_same_task_brings_the_first_forward(self):
        self.task("Weekly", "Weekly scan")
        self.task("Daily", "Daily scan")
        self.start("/TASK Weekly")
        self.assertEqual(self.sheet()["title"], "Scan Task Properties - Weekly scan")
        self.assertEqual(self.driver("query 0")["name"], "Weekly")
        self.assertEqual(self.driver("query 2")["name"], "#1", "the mode as an integer atom")
        self.assertEqual(self.driver("query 7")["atom"], "0")

        # Another task: a second sheet, in front.
        self.start("/TASK Daily")
        self.until(lambda: self.sheet()["foreground"], lambda f: f == "1")
        # The same task and this computer as server (in another letter case): the new
        # start ends at once and the first sheet comes forward.
        server = self.driver("query 1")["name"]
        self.start("/TASK Weekly /SERVER " + server.lower())
        self.assertEqual(self.exit_code(), 0)
        # Wine moves the focus a little after the start has ended.
        self.until(lambda: self.driver("foreground")["id"], lambda f: f == "0")
        # A MID start never joins a standalone instance.
        self.start("/MIDW /TASK Weekly")
        self.assertTrue(self.sheet()["title"].endswith(" (MID)"))

    def test_a_task_that_cannot_be_opened_ends_the_start_with_its_message(self):
        self.start("/TASK Missing")
        box = self.driver("dlg %d 60000" % MESSAGE_BOX)
        text = self.control(MESSAGE_BOX, MESSAGE_BOX)["text"]
        self.assertIn("could not be opened", text)
        self.assertIn("/TASK Missing", text, "the command line is the message's inserted text")
        self.assertEqual(box["title"], "Error")
        self.driver("press %d %d" % (MESSAGE_BOX, OK))
        self.assertEqual(self.exit_code(), 0)


class CommandsTest(SheetTest):
    def test_start_and_stop_launch_the_scanner_and_the_poll_follows_it(self):
        # The scan runs until Stop cancels it, however slowly the test gets there.
        self.driver("setenv QM_SCANNER_RUN_MS 600000")
        self.task("Weekly", "Weekly scan")
        self.start("/TASK Weekly")
        self.sheet()
        self.assertEqual(self.enabled(START, STOP), [True, False])
        self.driver("press %d %d" % (SHEET, START))
        self.until(lambda: self.enabled(START, STOP), lambda s: s == [False, True])
        scanner = h.winpath(h.BIN / "OnDemandScanner.exe")
        # The scanner sets the status before it writes its line: wait for the line.
        self.until(self.scanner_lines, lambda lines: len(lines) == 1)
        self.assertEqual(self.scanner_lines(), ['"%s" /NOSPLASH /TASK Weekly' % scanner])
        self.assertEqual(self.stored("Tasks\\Weekly", 15), "1")
        self.assertEqual(self.stored("Tasks\\Weekly", 39), "0")
        self.assertEqual(int(self.stored("Tasks\\Weekly", 19)) & 0x1000, 0x1000, "the scanner runs")

        self.driver("press %d %d" % (SHEET, STOP))
        self.until(self.scanner_lines, lambda lines: len(lines) == 2)
        self.assertEqual(self.scanner_lines()[1], '"%s" /NOSPLASH /TASK Weekly /CANCEL' % scanner)
        # The cancelled scan ends; the poll sees it and Start comes back.
        self.until(lambda: self.enabled(START, STOP), lambda s: s == [True, False])
        self.assertEqual(int(self.stored("Tasks\\Weekly", 19)) & 0x1000, 0)

    def test_a_temporary_task_starts_with_temp_and_the_poll_sees_the_scan_end(self):
        self.driver("setenv QM_SCANNER_RUN_MS 500")
        self.start()
        window = self.sheet()
        self.assertEqual(window["title"], "Scan Task Properties - Temporary task")
        self.assertEqual(window["default"], str(START))
        self.assertEqual(self.control(OK)["text"], "&Save As...")
        self.assertEqual(self.enabled(APPLY, SCHEDULE), [False, False])
        self.driver("press %d %d" % (SHEET, START))
        self.until(self.scanner_lines, lambda lines: len(lines) == 1)
        self.assertRegex(self.scanner_lines()[0], r'^".*OnDemandScanner\.exe" /NOSPLASH /TASK \d+ /TEMP$')
        self.until(lambda: self.enabled(START, STOP), lambda s: s == [True, False])

    def test_ok_apply_and_cancel_with_and_without_changes(self):
        self.driver("regdword\t%s\tOption260\t1" % self.key("Alerts\\CurrentVersion"))
        self.driver("regdword\t%s\tOption222\t3" % self.key("Alerts\\CurrentVersion"))
        self.driver("regsz\t%s\tOption223\tScan task changed" % self.key("Alerts\\CurrentVersion"))
        self.task("Weekly", "Weekly scan", ["C:\\"])
        self.start("/TASK Weekly")
        self.sheet()
        self.assertEqual(self.enabled(OK, APPLY), [True, False])

        self.driver("click %d %d" % (SHEET, WHERE1))
        self.until(lambda: self.enabled(APPLY), lambda s: s == [True])
        self.driver("press %d %d" % (SHEET, APPLY))
        self.until(lambda: self.enabled(APPLY), lambda s: s == [False])
        self.assertEqual(self.stored("Tasks\\Weekly", 108), "0", "where flag 1 unticked and stored")
        # The alert follows the save; the sheet answers the driver while it waits for it.
        path = self.folder / "alerts.log"
        alerts = self.until(lambda: path.read_bytes().decode("utf-8").split("\r\n") if path.exists() else [],
                            lambda lines: len(lines) >= 2)
        fields = alerts[0].split("\t")
        self.assertEqual(fields[:6], ["3", "Scan task changed", "4702", "Vardex AutoUpdate", "0", "0"])
        self.assertEqual(fields[7], "QvUpdate.exe")
        self.assertEqual(fields[10:], ["0", "0"])
        self.assertEqual(len(alerts), 2, "one alert, one line")

        # Cancel on a clean task asks nothing.
        self.driver("press %d %d" % (SHEET, CANCEL))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.notices(), [])

        # A change, then Cancel answered no: the question, and nothing stored.
        self.driver("setenv QM_NOTIFY_ANSWER 7")
        self.start("/TASK Weekly")
        self.sheet()
        self.driver("click %d %d" % (SHEET, WHERE1))
        self.until(lambda: self.enabled(APPLY), lambda s: s == [True])
        self.driver("press %d %d" % (SHEET, CANCEL))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.notice_numbers(), [2195])
        self.assertEqual(self.notices()[0][4], "2107", "asked with the question caption")
        self.assertEqual(self.stored("Tasks\\Weekly", 108), "0")

        # OK saves and closes.
        self.start("/TASK Weekly")
        self.sheet()
        self.driver("click %d %d" % (SHEET, WHERE1))
        self.until(lambda: self.enabled(APPLY), lambda s: s == [True])
        self.driver("press %d %d" % (SHEET, OK))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.stored("Tasks\\Weekly", 108), "1")

    def test_menu_help_schedule_and_default_task_commands(self):
        self.task("Weekly", "Weekly scan", ["C:\\"])
        self.start("/TASK Weekly")
        self.sheet()
        for number in (3009, 3010, 3011, 1008, 3004):  # web help 2, 3, 1; Help; View log
            self.driver("press %d %d" % (SHEET, number))
        self.until(lambda: len(self.help_lines()), lambda n: n == 4)
        self.assertEqual(self.help_lines(), ["web https://www.quillmont.example/vardex",
                                             "web https://www.quillmont.example/vardex/support",
                                             "web https://www.quillmont.example/vardex/virus-information",
                                             "page 1 7001"])
        self.until(self.notice_numbers, lambda n: n == [2197])  # no scan log yet

        # KORBEL's schedule dialog changes the task: Apply becomes possible.
        self.driver("press %d %d" % (SHEET, SCHEDULE))
        self.driver("dlg 3001 60000")
        self.driver("click 3001 3001")
        self.driver("press 3001 %d" % OK)
        self.until(lambda: self.enabled(APPLY), lambda s: s == [True])

        # Save as default asks, then stores the sheet's values under the default
        # task's own name; Reset brings the default task's values back.
        self.driver("click %d %d" % (SHEET, WHERE1))
        self.driver("press %d %d" % (SHEET, SAVE_DEFAULT))
        self.until(self.notice_numbers, lambda n: n == [2197, 2181])
        self.until(lambda: self.stored("DefaultTask", 108), lambda v: v == "0")
        self.assertEqual(self.stored("DefaultTask", 21), "Default task")
        self.driver("click %d %d" % (SHEET, WHERE1))
        self.until(lambda: self.control(WHERE1)["checked"], lambda v: v == "1")
        self.driver("press %d %d" % (SHEET, RESET))
        self.until(lambda: self.control(WHERE1)["checked"], lambda v: v == "0")
        self.assertEqual(self.sheet()["title"], "Scan Task Properties - Weekly scan")

    def test_ok_on_a_temporary_task_names_and_stores_it(self):
        self.start()
        self.sheet()
        self.driver("press %d %d" % (SHEET, OK))
        self.driver("dlg %d 60000" % NAME_DIALOG)
        self.driver("settext %d %d Nightly scan" % (NAME_DIALOG, NAME_DIALOG))
        self.driver("press %d %d" % (NAME_DIALOG, OK))
        self.until(lambda: self.sheet()["title"], lambda t: t == "Scan Task Properties - Nightly scan")
        window = self.sheet()
        self.assertEqual((window["default"], self.control(OK)["text"]), (str(OK), "OK"))
        task = self.driver("query 0")["name"]
        self.assertRegex(task, r"^\{[0-9A-F-]{36}\}$")
        self.assertEqual(self.stored("Tasks\\" + task, 21), "Nightly scan")

    def test_ctrl_tab_wraps_and_a_page_that_refuses_keeps_its_tab(self):
        self.task("Weekly", "Weekly scan", ["C:\\"])
        self.start("/TASK Weekly")
        self.sheet()
        self.driver("keys %d ctrl+shift+tab" % SHEET)
        self.until(lambda: self.sheet()["tab"], lambda t: t == "4")
        self.driver("keys %d ctrl+tab" % SHEET)
        self.until(lambda: self.sheet()["tab"], lambda t: t == "0")
        self.driver("keys %d ctrl+tab" % SHEET)
        self.until(lambda: self.sheet()["tab"], lambda t: t == "1")
        self.driver("tab %d 0" % SHEET)
        self.until(lambda: self.sheet()["tab"], lambda t: t == "0")

        # Removing the last row leaves nothing to scan: Edit and Remove go grey, and
        # the page refuses to be left, by key or by click.
        self.driver("select %d 0" % SHEET)
        self.driver("press %d %d" % (SHEET, REMOVE))
        self.until(lambda: len(self.rows()), lambda n: n == 0)
        self.assertEqual(self.enabled(EDIT, REMOVE), [False, False])
        self.driver("keys %d ctrl+tab" % SHEET)
        self.until(self.notice_numbers, lambda n: n == [2109, 2103])
        self.driver("tab %d 3" % SHEET)
        self.until(self.notice_numbers, lambda n: n == [2109, 2103, 2103])
        self.assertEqual(self.sheet()["tab"], "0")


class LocationsTest(SheetTest):
    def test_a_task_without_items_shows_all_local_drives_and_stores_it(self):
        self.task("Empty", "Empty task", [])
        self.start("/TASK Empty")
        self.sheet()
        self.assertEqual(self.rows(), [("All local drives", "File", str(DRIVE_ICON), "1")])
        self.assertEqual(self.enabled(EDIT, REMOVE), [True, True])
        self.driver("press %d %d" % (SHEET, OK))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.stored("Tasks\\Empty", 104), "LocalDrives|")
        # The row counted as added: its resume point was reset before the save.
        answer = self.driver("regget\t%s\t0" % self.key("Tasks\\Empty\\ResumePoints"))
        self.assertEqual((answer["type"], answer.get("value")), ("1", ""))

    def test_items_added_in_the_dialog_and_renamed_in_place(self):
        self.task("Weekly", "Weekly scan", ["SpecialMemory"])
        self.start("/TASK Weekly")
        self.sheet()
        self.driver("press %d %d" % (SHEET, ADD))
        dialog = self.driver("dlg %d 60000" % ITEM_DIALOG)
        self.assertEqual(dialog["title"], "Add Scan Item")
        self.assertEqual(self.control(KIND, ITEM_DIALOG)["sel"], "0")
        self.assertEqual(self.control(PATH, ITEM_DIALOG)["visible"], "0", "a special kind shows its description")
        self.assertIn("whole computer", self.control(DESCRIPTION, ITEM_DIALOG)["text"])
        self.driver("choose %d %d 9" % (ITEM_DIALOG, KIND))
        self.until(lambda: self.control(PATH, ITEM_DIALOG)["visible"], lambda v: v == "1")
        self.assertEqual(self.control(OK, ITEM_DIALOG)["enabled"], "0", "no path yet")
        self.driver("settext %d %d c:" % (ITEM_DIALOG, PATH))
        self.driver("press %d %d" % (ITEM_DIALOG, OK))
        self.driver("gone %d 60000" % ITEM_DIALOG)
        self.until(self.rows, lambda rows: len(rows) == 2)
        self.assertEqual(self.rows()[1][0::2], ("C:\\", str(DRIVE_ICON)))

        # Renaming a row to its own text (as the row shows it, c: is C:\) is refused; to
        # a special item's display name makes it that special item.
        answer = self.driver("rename %d 1 c:" % SHEET)
        self.assertEqual(answer["limit"], "20")
        self.until(self.notice_numbers, lambda n: n == [2039])
        self.assertEqual(self.notices()[0][1], "c:")
        self.driver("rename %d 1 Home folder" % SHEET)
        self.until(lambda: self.rows()[1][0], lambda text: text == "Home folder")
        self.assertEqual(self.rows()[1][2], str(FOLDER_ICON))
        self.assertEqual(self.driver("rename %d 0 Memory" % SHEET)["editing"], "0", "special rows keep their names")
        self.driver("press %d %d" % (SHEET, OK))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.stored("Tasks\\Weekly", 104), "SpecialMemory|HomeDir|")

    def test_special_items_show_display_names_and_icons_and_keep_stored_names(self):
        stored = ["My Computer", "All local drives", "All Network drives", "ProfileDir", "\\\\SRV\\SHARE\\DATA"]
        self.task("Weekly", "Weekly scan", stored)
        self.start("/TASK Weekly")
        self.sheet()
        shown = [(text, icon) for text, _, icon, _ in self.rows()]
        self.assertEqual(shown, [("My Computer", str(COMPUTER_ICON)), ("All local drives", str(DRIVE_ICON)),
                                 ("All network drives", str(NETWORK_ICON)), ("Profile folder", str(FOLDER_ICON)),
                                 ("\\\\SRV\\SHARE\\DATA", str(FILE_ICON))])
        self.driver("click %d %d" % (SHEET, WHERE1))
        self.driver("press %d %d" % (SHEET, OK))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.stored("Tasks\\Weekly", 104),
                         "My Computer|LocalDrives|All Network drives|ProfileDir|\\\\SRV\\SHARE\\DATA|")


if __name__ == "__main__":
    unittest.main()
