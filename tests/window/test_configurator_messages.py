"""The configurator's refusals and questions as a user meets them, under a private Xvfb
display: options files (an export over an existing file, an import that fails), the
item dialog and renaming in place, the log path, View log, the exclusions' own policy
lock, and Polvane's dialogs closed on an unchanged list. Kestrune32.exe is driven by
SheetDriver.exe; the notices are read from the recording notification box."""

import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from test_configurator_pages import (ADD, ALL, APPLY, EXCLUDED, EXCLUDED_ADD, EXCLUDED_PATH,  # noqa: E402
                                     EXCLUSIONS, EXCLUSIONS_LABEL, FILE_TYPES, ITEM_DIALOG, KIND,
                                     LOG_PATH, MENU_LOAD, MENU_SAVE, MENU_VIEW_LOG, OK, PATH, REPORTS, SHEET,
                                     ADDITIONAL, TYPES, TYPE_REMOVE, YES, NO, PagesTest, h)
from test_configurator_sheet import CANCEL, EDIT  # noqa: E402

display = h.Display()
prefix = None

FOLDER_KIND, FILE_KIND = 9, 8
EXCLUDED_REMOVE, EXCLUSIONS_GROUP = 5106, 1208


def setUpModule():
    global prefix
    display.start()
    prefix = h.private_prefix("messages")


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


class MessagesTest(PagesTest):
    def refused(self, expected):
        """Waits for the notices so far to be `expected`; the sheet stays open."""
        self.until(self.notice_numbers, lambda n: n == expected)
        self.sheet()


class FilesTest(MessagesTest):
    def test_an_export_over_a_file_asks_first_and_a_failed_import_says_so(self):
        self.driver("setenv QM_NOTIFY_ANSWER")  # answered in the boxes
        existing = self.folder / "kept.kst"
        existing.write_bytes(b"kept")
        self.open("Files")
        self.file_dialog(MENU_SAVE, existing)
        self.answer(NO)
        self.assertEqual(self.notices()[0][:5], ["2186", h.winpath(existing), "2185", "2188", "2187"])
        self.assertEqual(existing.read_bytes(), b"kept")
        self.file_dialog(MENU_SAVE, existing)
        self.answer(YES)
        self.until(existing.read_bytes, lambda data: data != b"kept")

        broken = self.folder / "broken.kst"
        broken.write_bytes(b"\xff\xfe not options")
        self.file_dialog(MENU_LOAD, broken)
        self.answer(OK)
        self.refused([2186, 2186, 2183])
        self.assertEqual(self.enabled(APPLY), [False], "nothing was loaded")


class ItemsTest(MessagesTest):
    def test_the_item_dialog_refuses_what_is_no_item_and_edits_with_its_kind(self):
        self.driver("setenv QM_NOTIFY_ANSWER 7")
        self.open("Items", items=["C:\\WINDOWS", "C:\\WINDOWS\\WIN.INI"])
        self.driver("press %d %d" % (SHEET, ADD))
        self.driver("dlg %d 10000" % ITEM_DIALOG)
        self.driver("choose %d %d %d" % (ITEM_DIALOG, KIND, FOLDER_KIND))
        self.until(lambda: self.value(PATH, "visible", ITEM_DIALOG), lambda v: v == "1")
        for text, expected in (("not a path?", [2099]), ("", [2099, 2102]),
                               ("%NO_SUCH_VARIABLE%\\data", [2099, 2102, 2203])):
            self.driver("settext %d %d %s" % (ITEM_DIALOG, PATH, text))
            self.driver("press %d %d" % (ITEM_DIALOG, OK))
            self.until(self.notice_numbers, lambda n, e=expected: n == e)
        self.assertEqual(self.notices()[0][1], "not a path?")
        self.driver("press %d %d" % (ITEM_DIALOG, CANCEL))
        self.driver("gone %d 10000" % ITEM_DIALOG)

        # Edit opens on the row's text with its kind chosen.
        for row, kind in ((0, FOLDER_KIND), (1, FILE_KIND)):
            self.driver("select %d %d" % (SHEET, row))
            self.driver("press %d %d" % (SHEET, EDIT))
            dialog = self.driver("dlg %d 10000" % ITEM_DIALOG)
            self.assertEqual((dialog["title"], self.value(KIND, "sel", ITEM_DIALOG)), ("Edit Scan Item", str(kind)))
            self.assertEqual(self.value(PATH, "text", ITEM_DIALOG), self.rows()[row][0])
            if row == 1:  # made into the other row's text
                self.driver("settext %d %d c:\\windows" % (ITEM_DIALOG, PATH))
                self.driver("press %d %d" % (ITEM_DIALOG, OK))
            else:
                self.driver("press %d %d" % (ITEM_DIALOG, CANCEL))
            self.driver("gone %d 10000" % ITEM_DIALOG)
        self.refused([2099, 2102, 2203, 2039])
        self.assertEqual(self.enabled(APPLY), [False])

        # A row renamed in place follows the dialog's rules.
        self.driver("rename %d 1 not a path?" % SHEET)
        self.refused([2099, 2102, 2203, 2039, 2099])
        self.assertEqual([row[0] for row in self.rows()], ["C:\\WINDOWS", "C:\\WINDOWS\\WIN.INI"])
        self.assertEqual(self.enabled(APPLY), [False])
        self.driver("rename %d 1 d:\\data" % SHEET)
        self.until(lambda: self.rows()[1][0], lambda text: text == "D:\\DATA")
        self.save_and_close()
        self.assertEqual(self.stored("Tasks\\Items", 104), "C:\\WINDOWS|D:\\DATA|")


class ReportsTest(MessagesTest):
    def test_log_paths_the_page_refuses(self):
        self.driver("setenv QM_NOTIFY_ANSWER 7")
        read_only = self.folder / "read-only.log"
        read_only.write_bytes(b"")
        os.chmod(read_only, 0o444)
        self.open("Logs", {127: 1, 128: "C:\\logs\\scan.log"})
        self.tab(REPORTS)
        expected = []
        for path, message in (("", 2220), ("scan.log", 2083), ("C:\\windows", 2219),
                              (h.winpath(read_only), 2221), ("%NO_SUCH_VARIABLE%\\scan.log", 2203)):
            self.driver("settext %d %d %s" % (SHEET, LOG_PATH, path))
            self.driver("press %d %d" % (SHEET, OK))
            expected.append(message)
            self.refused(expected)
        self.assertEqual(self.stored("Tasks\\Logs", 128), "C:\\logs\\scan.log")

    def test_view_log_shows_the_log_as_text_whatever_its_name(self):
        marker = self.folder / "ran.txt"
        script = self.folder / "scan.bat"
        script.write_bytes(b"echo ran > " + h.winpath(marker).encode() + b"\r\n")
        self.open("Logs", {127: 1, 128: h.winpath(script)})
        self.driver("press %d %d" % (SHEET, MENU_VIEW_LOG))
        viewer = self.driver("titled 20000 scan.bat - Notepad")
        self.assertEqual(viewer["class"], "Notepad")
        self.assertFalse(marker.exists())
        self.assertEqual(self.notice_numbers(), [])


class FileTypesLockTest(MessagesTest):
    def exclusions_enabled(self):
        return [self.value(n, "enabled") for n in (EXCLUSIONS_GROUP, EXCLUSIONS_LABEL, EXCLUSIONS, ALL)]

    def test_the_exclusions_lock_greys_only_the_exclusions(self):
        policy = self.key("Policy\\4")
        self.driver("regdword\t%s\t11\t1" % policy)
        self.open("Locked")
        self.tab(FILE_TYPES)
        self.assertEqual(self.exclusions_enabled(), ["0", "0", "0", "1"])
        self.driver("press %d %d" % (SHEET, CANCEL))
        self.assertEqual(self.exit_code(), 0)
        # A temporary task has item 18 for it; 11 means nothing there.
        self.start()
        self.sheet()
        self.tab(FILE_TYPES)
        self.assertEqual(self.exclusions_enabled(), ["1", "1", "1", "1"])
        self.driver("regdword\t%s\t18\t1" % policy)
        self.driver("policy-changed")
        self.until(self.exclusions_enabled, lambda e: e == ["0", "0", "0", "1"])


class UnchangedListsTest(MessagesTest):
    def test_a_list_edited_back_to_what_it_was_is_no_change(self):
        self.open("Types", {111: "JS VBS", 140: ["C:\\TEMP\\"]})
        self.tab(FILE_TYPES)
        self.dialog(ADDITIONAL, TYPES)
        self.add_type("hta")
        self.driver("choose %d %d 2" % (TYPES, TYPES))
        self.driver("press %d %d" % (TYPES, TYPE_REMOVE))
        self.until(lambda: self.texts(TYPES, TYPES), lambda t: t == ["JS", "VBS"])
        self.close_dialog(TYPES)
        self.dialog(EXCLUSIONS, EXCLUDED)
        self.driver("settext %d %d D:\\Cache" % (EXCLUDED, EXCLUDED_PATH))
        self.driver("press %d %d" % (EXCLUDED, EXCLUDED_ADD))
        self.until(lambda: len(self.texts(EXCLUDED, EXCLUDED)), lambda n: n == 2)
        self.driver("choose %d %d 1" % (EXCLUDED, EXCLUDED))
        self.driver("press %d %d" % (EXCLUDED, EXCLUDED_REMOVE))
        self.until(lambda: len(self.texts(EXCLUDED, EXCLUDED)), lambda n: n == 1)
        self.close_dialog(EXCLUDED)
        # The page has heard the dialog's answer once the next dialog is up.
        self.dialog(ADDITIONAL, TYPES)
        self.close_dialog(TYPES, CANCEL)
        self.assertEqual(self.enabled(APPLY), [False])
        self.assertEqual(self.value(EXCLUSIONS_LABEL, "text"), "Files and folders not scanned (1)")


if __name__ == "__main__":
    unittest.main()
