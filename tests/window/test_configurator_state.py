"""What the configurator keeps while its sheet is open, under a private Xvfb display:
the task's status word as the poll reads it (missing, of another type, the task
removed), start and stop requests written by other consoles or by the sheet itself
that a save must keep, what a cancel leaves behind, and the actions page's unsaved
choices laid out again. Kestrune32.exe is driven by SheetDriver.exe on tasks stored
in the Wine registry."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from test_configurator_pages import (ACTIONS, CANCEL, OK, APPLY, PRIMARY, PRIMARY_FOLDER, SECONDARY,  # noqa: E402
                                     SECONDARY_BOXES, SHEET, PagesTest, h)
from test_configurator_sheet import START, STOP, WHERE1  # noqa: E402

display = h.Display()
prefix = None

RUNNING, STOP_REQUESTED, START_REQUESTED = 0x1000, 0x2000, 0x4000


def setUpModule():
    global prefix
    display.start()
    prefix = h.private_prefix("state")


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


class StateTest(PagesTest):
    def status(self, task):
        return int(self.stored("Tasks\\" + task, 19))

    def set_status(self, task, value, kind="regdword"):
        self.driver("%s\t%s\tOption19\t%d" % (kind, self.key("Tasks\\" + task), value))

    def run_buttons(self):
        return self.enabled(START, STOP)

    def dirty(self):
        self.click(WHERE1)
        self.until(lambda: self.enabled(APPLY), lambda s: s == [True])


class StatusPollTest(StateTest):
    def test_a_task_without_a_status_value_stays_open_until_it_is_removed(self):
        # Written by another version or by hand: no option 19 at all.
        self.driver("regsz\t%s\tOption21\tBare task" % self.key("Tasks\\Bare"))
        self.start("/TASK Bare")
        self.sheet()
        self.set_status("Bare", RUNNING)
        self.until(self.run_buttons, lambda s: s == [False, True])
        self.driver("regdelvalue\t%s\tOption19" % self.key("Tasks\\Bare"))
        self.until(self.run_buttons, lambda s: s == [True, False])
        self.assertEqual(self.notice_numbers(), [])
        # The task itself removed: the sheet says so and closes.
        self.driver("regdel\t" + self.key("Tasks\\Bare"))
        self.until(self.notice_numbers, lambda n: n == [2105])
        self.assertEqual(self.exit_code(), 0)

    def test_a_status_value_of_another_type_reads_as_no_scan(self):
        self.task("Odd", "Odd task")
        self.set_status("Odd", RUNNING, "regqword")
        self.start("/TASK Odd")
        self.sheet()
        self.set_status("Odd", RUNNING)
        self.until(self.run_buttons, lambda s: s == [False, True])
        self.set_status("Odd", RUNNING, "regqword")
        self.until(self.run_buttons, lambda s: s == [True, False])
        self.assertEqual(self.notice_numbers(), [])

    def test_requests_of_another_console_survive_apply_and_ok(self):
        self.task("Weekly", "Weekly scan", ["C:\\"])
        self.start("/TASK Weekly")
        self.sheet()
        self.set_status("Weekly", START_REQUESTED)
        self.dirty()
        self.driver("press %d %d" % (SHEET, APPLY))
        self.until(lambda: self.enabled(APPLY), lambda s: s == [False])
        self.assertEqual(self.status("Weekly"), START_REQUESTED)
        self.assertEqual(self.stored("Tasks\\Weekly", 108), "0", "the edit was stored")
        # A request taken back by the other side is not written again either.
        self.set_status("Weekly", STOP_REQUESTED)
        self.dirty()
        self.save_and_close()
        self.assertEqual(self.status("Weekly"), STOP_REQUESTED)

    def test_a_cancelled_save_keeps_the_poll_and_a_named_task_is_never_dropped_unasked(self):
        # Only these types, none named: the page refuses the save a cancel asks for.
        self.open("Types", {105: 0, 106: 0, 110: ""})
        self.dirty()
        self.driver("cancel-sheet")
        self.until(self.notice_numbers, lambda n: n == [2195, 2208])
        self.set_status("Types", RUNNING)
        self.until(self.run_buttons, lambda s: s == [False, True])
        self.driver("kill")

        # The default task cannot be written here; the edits of a named task are still
        # asked about (answered no: nothing stored).
        default = self.key("DefaultTask")
        self.driver("regsz\t%s\tOption21\tDefault task" % default)
        self.driver("regsddl\t%s\t\tD:(A;;KR;;;WD)" % default)
        self.addCleanup(lambda: self.driver.raw("regsddl\t%s\t\tD:(A;;KA;;;WD)" % default))
        self.driver("setenv QM_NOTIFY_ANSWER 7")
        self.task("Weekly", "Weekly scan", ["C:\\"])
        self.start("/TASK Weekly")
        self.sheet()
        self.dirty()
        self.driver("press %d %d" % (SHEET, CANCEL))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.notice_numbers(), [2195, 2208, 2195])
        self.assertEqual(self.stored("Tasks\\Weekly", 108), None)

    def test_a_new_mid_task_comes_into_being_with_its_first_save_only(self):
        self.start("/MIDW /TASK Fresh")
        self.sheet()
        self.driver("press %d %d" % (SHEET, CANCEL))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.driver("regkey\t" + self.key("Tasks\\Fresh"))["exists"], "0")
        self.start("/MIDW /TASK Fresh")
        self.sheet()
        self.dirty()
        self.save_and_close()
        self.assertEqual(self.stored("Tasks\\Fresh", 108), "0")


class RemoteRequestTest(StateTest):
    def test_a_stop_replaces_an_earlier_start_request_and_a_remote_start_survives_apply(self):
        # The "server" is the scratch machine key itself; its launcher cannot start.
        self.driver("setenv KORBEL_REMOTE_ROOT " + self.root)
        self.driver("regsz\t%s\tRemoteScanLauncher\tC:\\nowhere\\launcher.exe" % self.key("Components"))
        self.task("Remote", "Remote scan", ["C:\\"])
        self.set_status("Remote", RUNNING)
        self.start("/TASK Remote /SERVER OTHERPC")
        self.assertTrue(self.sheet()["title"].endswith(" (OTHERPC)"))
        self.until(self.run_buttons, lambda s: s == [False, True])

        # Another console asked for a start meanwhile; Stop replaces that request.
        self.set_status("Remote", RUNNING | START_REQUESTED)
        self.driver("press %d %d" % (SHEET, STOP))
        self.until(lambda: self.status("Remote"), lambda s: s != RUNNING | START_REQUESTED)
        self.assertEqual(self.status("Remote"), RUNNING | STOP_REQUESTED)
        self.assertEqual([self.stored("Tasks\\Remote", n) for n in (43, 16)], ["1", "1"])

        # The scan ended; the sheet's own start request outlives the next Apply.
        self.set_status("Remote", 0)
        self.until(self.run_buttons, lambda s: s == [True, False])
        self.driver("press %d %d" % (SHEET, START))
        self.until(lambda: self.status("Remote"), lambda s: s == START_REQUESTED)
        self.assertIn(2052, self.notice_numbers())
        self.dirty()
        self.driver("press %d %d" % (SHEET, APPLY))
        self.until(lambda: self.enabled(APPLY), lambda s: s == [False])
        self.assertEqual(self.status("Remote"), START_REQUESTED)


class ActionsStateTest(StateTest):
    def test_an_unsaved_secondary_choice_outlives_a_policy_lock_and_a_declined_delete(self):
        self.driver("setenv QM_NOTIFY_ANSWER 7")
        self.open("Acts", {121: 5, 123: 1, 125: 0x18})
        self.tab(ACTIONS)
        self.assertEqual((self.value(PRIMARY, "sel"), self.codes(SECONDARY)), ("3", [2, 1, 3, 4]))
        self.driver("choose %d %d 0" % (SHEET, SECONDARY))
        self.until(lambda: self.value(SECONDARY_BOXES[0], "visible"), lambda v: v == "1")
        self.click(SECONDARY_BOXES[1])
        ticks = lambda: [self.value(n) for n in SECONDARY_BOXES]  # noqa: E731
        self.until(ticks, lambda t: t == ["0", "1", "0"])

        # The administrator locks the page and lifts the lock again.
        policy = self.key("Policy\\4")
        self.driver("regdword\t%s\t13\t1" % policy)
        self.driver("policy-changed")
        self.until(lambda: self.value(SECONDARY, "enabled"), lambda v: v == "0")
        self.driver("regdelvalue\t%s\t13" % policy)
        self.driver("policy-changed")
        self.until(lambda: self.value(SECONDARY, "enabled"), lambda v: v == "1")
        self.assertEqual((self.value(SECONDARY, "sel"), ticks()), ("0", ["0", "1", "0"]))

        # Delete chosen and declined.
        self.driver("choose %d %d 4" % (SHEET, PRIMARY))
        self.until(self.notice_numbers, lambda n: n == [40014])
        self.until(lambda: self.value(PRIMARY, "sel"), lambda s: s == "3")
        self.assertEqual((self.value(SECONDARY, "sel"), ticks()), ("0", ["0", "1", "0"]))
        self.save_and_close()
        self.assertEqual([self.stored("Tasks\\Acts", n) for n in (121, 123, 125)], ["5", "2", str(0x18 | 0x04)])

    def test_a_move_folder_the_library_refuses_keeps_the_page(self):
        self.open("Move", {121: 3, 122: "C:\\Quarantine"})
        self.tab(ACTIONS)
        self.driver("settext %d %d C:\\Quar*ntine" % (SHEET, PRIMARY_FOLDER))
        self.driver("press %d %d" % (SHEET, OK))
        self.until(self.notice_numbers, lambda n: n == [2098])
        self.assertEqual(self.sheet()["tab"], str(ACTIONS))
        self.assertEqual(self.stored("Tasks\\Move", 122), "C:\\Quarantine")


if __name__ == "__main__":
    unittest.main()
