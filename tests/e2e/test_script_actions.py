"""Collection scripts come alive: the real QIRTool.exe under Wine runs signed scripts made
here whose registry, condition, debug, external-tool and process-list actions act on a
registry and processes the test set up; the archived outputs, the activity log and the
file list are then checked from Linux."""

import datetime
import re
import shutil
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

TOOL_STUB = h.BUILD / "tests" / "ToolStub.exe"
SCRATCH_KEY = r"HKEY_CURRENT_USER\Software\Qirex\E2E"

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


def reg(*args):
    """reg.exe of the collector's Wine prefix; returns its exit code."""
    return h.wine(["reg"] + list(args)).returncode


# Values and subkeys are written in name order, so the registry's index order is the
# order written here whatever order the registry keeps them in.
REGISTRY_FILE = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Qirex\E2E\Dump]
@="top"
"Binary"=hex:01,ab
"Dword"=dword:000000ff
"EmptyBinary"=hex:
"EmptyString"=""
"Expand"=hex(2):25,54,45,4d,50,25,5c,78,00
"Large"=hex:{large}
"Multi"=hex(7):6f,6e,65,00,74,77,6f,00,00
"Quote"="say \"hi\" now"

[HKEY_CURRENT_USER\Software\Qirex\E2E\Dump\Alpha]
"Path"="C:\\Program Files\\x"

[HKEY_CURRENT_USER\Software\Qirex\E2E\Dump\Alpha\Deep]

[HKEY_CURRENT_USER\Software\Qirex\E2E\Dump\Beta]
"n"=dword:00000001

[HKEY_CURRENT_USER\Software\Qirex\E2E\Find\One\QirexMarker]
"where"="one"

[HKEY_CURRENT_USER\Software\Qirex\E2E\Find\One\QirexMarker\Inner]
"depth"=dword:00000002

[HKEY_CURRENT_USER\Software\Qirex\E2E\Find\One\QirexMarker\Inner\QirexMarker]

[HKEY_CURRENT_USER\Software\Qirex\E2E\Find\QirexMarker]
"where"="top"

[HKEY_CURRENT_USER\Software\Qirex\E2E\Find\Three\QIREXMARKER]
"where"="other case"

[HKEY_CURRENT_USER\Software\Qirex\E2E\Find\Two\Deeper\QirexMarker]
"where"="two"
"""

# The direct dump, its key path in the letter case the script wrote it.
DUMP_TEXT = r"""[HKEY_CURRENT_USER\software\qirex\E2E\Dump]
""="top"
"Binary"=hex:01,AB
"Dword"=dword:000000FF
"EmptyBinary"=hex:
"EmptyString"=""
"Expand"=hex(2):25,54,45,4D,50,25,5C,78,00
"Large"=hex:{large}
"Multi"=hex(7):6F,6E,65,00,74,77,6F,00,00
"Quote"="say "hi" now"

[HKEY_CURRENT_USER\software\qirex\E2E\Dump\Alpha]
"Path"="C:\Program Files\x"

[HKEY_CURRENT_USER\software\qirex\E2E\Dump\Alpha\Deep]

[HKEY_CURRENT_USER\software\qirex\E2E\Dump\Beta]
"n"=dword:00000001

"""

# One root's share of the search for QirexMarker: three keys of that exact name, each
# dumped with its subkeys (the nested one only inside its parent's block); the key
# spelled QIREXMARKER is not one of them.
FOUND_TEXT = r"""[{root}\Software\Qirex\E2E\Find\One\QirexMarker]
"where"="one"

[{root}\Software\Qirex\E2E\Find\One\QirexMarker\Inner]
"depth"=dword:00000002

[{root}\Software\Qirex\E2E\Find\One\QirexMarker\Inner\QirexMarker]

[{root}\Software\Qirex\E2E\Find\QirexMarker]
"where"="top"

[{root}\Software\Qirex\E2E\Find\Two\Deeper\QirexMarker]
"where"="two"

"""
# A value larger than the dump's smallest data buffer, written on one line however long.
LARGE_VALUE = bytes(i % 251 for i in range(20000))

FOUND_KEYS = [r"Software\Qirex\E2E\Find\One\QirexMarker", r"Software\Qirex\E2E\Find\QirexMarker",
              r"Software\Qirex\E2E\Find\Two\Deeper\QirexMarker"]


def crlf(text):
    return text.replace("\n", "\r\n").encode("latin-1")


def xml_events(section, name, value):
    return [("DEBUG", "XML Section: " + section), ("DEBUG", "XML Name: " + name), ("DEBUG", "XML Value: " + value)]


class ScriptActionsTest(unittest.TestCase):
    def setUp(self):
        # Lower case throughout: the collector lower-cases its option values, and the
        # paths it then reports are compared with these.
        self.folder = h.scratch("e2e-actions-" + self._testMethodName.lower())
        self.app = self.folder / "app"
        self.app.mkdir()
        shutil.copy(h.QIRTOOL, self.app / "QIRTool.exe")
        shutil.copy(TOOL_STUB, self.app / "ToolStub.exe")
        self.scripts = self.folder / "scripts"
        self.scripts.mkdir()
        self.out = self.folder / "out"
        self.out.mkdir()
        # Where the collector puts the script's outputs, as it names that folder.
        self.data_dir = h.winpath(self.out).lower() + "\\~QX_TEMP\\Actions"

    def collect(self, script_text):
        """Runs the signed script Actions.qir silently; returns the archive's members."""
        script = h.write_script(self.scripts / "Actions.qir", script_text)
        result = self.out / "results.tgz"
        self.began = datetime.datetime.now().replace(microsecond=0)
        code = h.run_collector(["/xmlfile=" + h.winpath(script), "/outfile=" + h.winpath(result), "/silent"],
                               exe=self.app / "QIRTool.exe")
        self.ended = datetime.datetime.now()
        self.assertEqual(code, 0)
        self.assertEqual([p.name for p in self.out.iterdir()], ["results.tgz"], "~QX_TEMP is gone")
        members = h.read_archive(self, result, self.began, self.ended)
        h.check_with_standard_tools(self, result, members, self.folder / "extracted")
        h.check_with_verifier(self, result, members)
        self.assertEqual(members["Actions.qir"], script.read_bytes())
        return members

    def events(self, members):
        lines = h.log_lines(members["Activity Log.csv"])
        self.assertEqual(lines[0], "Time,Type,Description")
        events = [h.check_log_line(self, line, self.began, self.ended) for line in lines[1:]]
        self.assertEqual(events[0], ("INFORMATION", "XML file found: Actions.qir"))
        return events[1:]

    def file_list(self, members):
        """The names registered before "<EXTERNAL_FILES>" and those found after it; every
        entry's CRC matches the archived bytes, and every archived file is listed."""
        registered, found = h.file_list_entries(self, members)
        self.assertEqual(sorted(n.replace("\\", "/") for n in registered + found + ["FileList.csv"]),
                         sorted(members))
        return registered, found

    def test_registry_dump_search_and_lower_case_root(self):
        reg("delete", SCRATCH_KEY, "/f")
        self.addCleanup(reg, "delete", SCRATCH_KEY, "/f")
        reg_file = self.folder / "e2e.reg"
        reg_file.write_bytes(crlf(REGISTRY_FILE.replace("{large}", LARGE_VALUE.hex(","))))
        self.assertEqual(reg("import", h.winpath(reg_file)), 0)

        dump_path = r"HKEY_CURRENT_USER\software\qirex\E2E\Dump"
        lower_path = r"hkey_current_user\Software\Qirex\E2E\Dump"
        members = self.collect("""<QIRSCRIPT>
<REGISTRY Lower="%s" Find="QirexMarker" Dump="%s"/>
</QIRSCRIPT>
""" % (lower_path, dump_path))

        self.assertEqual(members["Actions/Dump.txt"], crlf(DUMP_TEXT.replace("{large}", LARGE_VALUE.hex(",").upper())))

        # The search walks the whole registry, which tests running beside this one change
        # meanwhile (a loop, a key deeper than the limit): what it says of those is theirs.
        events = [(level, text) for level, text in self.events(members)
                  if not (level == "ERROR" and text.startswith("Registry key ")
                          and "\\qirex\\e2e\\" not in text.lower())]
        found_at = [text[len("Found matching key at "):] for level, text in events
                    if text.startswith("Found matching key at ")]
        # Every root is searched: the current user's keys are met again under the
        # user's own key of HKEY_USERS.
        self.assertEqual(len(found_at), 6, events)
        self.assertEqual(found_at[:3], ["HKEY_CURRENT_USER\\" + key for key in FOUND_KEYS])
        user = re.match(r"^(HKEY_USERS\\[^\\]+)\\", found_at[3])
        self.assertIsNotNone(user, found_at[3])
        self.assertEqual(found_at[3:], [user.group(1) + "\\" + key for key in FOUND_KEYS])
        self.assertEqual(members["Actions/Find.txt"], crlf(FOUND_TEXT.format(root="HKEY_CURRENT_USER") +
                                                           FOUND_TEXT.format(root=user.group(1))))

        # Attributes run in name order: Dump, Find, Lower.
        self.assertEqual(events, (
            xml_events("REGISTRY", "Dump", dump_path) +
            [("INFORMATION", "Registry chunk dumped to %s\\Dump.txt" % self.data_dir)] +
            xml_events("REGISTRY", "Find", "QirexMarker") +
            [("DEBUG", "Found matching key at " + path) for path in found_at] +
            [("INFORMATION", "Registry chunk(s) dumped to %s\\Find.txt" % self.data_dir)] +
            xml_events("REGISTRY", "Lower", lower_path) +
            [("INFORMATION", "No matching keys found")]))

        # A lower-case root is a key name to search for; none has it, so no file.
        self.assertNotIn("Actions/Lower.txt", members)
        registered, found = self.file_list(members)
        self.assertEqual(registered, ["Actions.qir", "Actions\\Dump.txt", "Actions\\Find.txt", "Activity Log.csv"])
        self.assertEqual(found, [])

    def test_conditions_summaries_and_dispatch(self):
        members = self.collect("""<QIRSCRIPT>
<PROCESSIF_KERNEL_IS_WINNT>
  <DEBUG b="second" a="first"/>
  <PROCESSIF_KERNEL_IS_WIN9X>
    <DEBUG NineX="never"/>
  </PROCESSIF_KERNEL_IS_WIN9X>
  <processif_version_isHigherOrEqualTo_5.0>
    <Debug Mixed="case"/>
  </processif_version_isHigherOrEqualTo_5.0>
</PROCESSIF_KERNEL_IS_WINNT>
<SUMMARY Purpose="conditions"><DEBUG Summary="never"/><REGISTRY Summary="HKEY_CURRENT_USER\\Software"/></SUMMARY>
<PROCESSIF_OSNAME_ISHIGHERTHAN_WIN2K><DEBUG Text="never"/></PROCESSIF_OSNAME_ISHIGHERTHAN_WIN2K>
<PROCESSIF_KERNEL_IS><DEBUG Short="never"/></PROCESSIF_KERNEL_IS>
<MISCELLANEOUS OTHER="x"/>
<RUN Now="x"/>
</QIRSCRIPT>
""")
        debug = ("DEBUG", "Debug requested but not yet implemented")
        self.assertEqual(self.events(members), (
            [("INFORMATION", "Version logic PROCESSIF_KERNEL_IS_WINNT returned true.")] +
            xml_events("DEBUG", "a", "first") + [debug] +
            xml_events("DEBUG", "b", "second") + [debug] +
            [("INFORMATION", "Version logic PROCESSIF_KERNEL_IS_WIN9X returned false.")] +
            [("INFORMATION", "Version logic PROCESSIF_VERSION_ISHIGHEROREQUALTO_5.0 returned true.")] +
            xml_events("Debug", "Mixed", "case") + [debug] +
            # Text facts know only IS and ISNOT.
            [("INFORMATION", "Version logic PROCESSIF_OSNAME_ISHIGHERTHAN_WIN2K returned false.")] +
            [("ERROR", "Version logic PROCESSIF_KERNEL_IS failed - unable to parse expression.")] +
            xml_events("MISCELLANEOUS", "OTHER", "x") + [("ERROR", "Unrecognised Action: MISCELLANEOUS<OTHER>")] +
            xml_events("RUN", "Now", "x") + [("ERROR", "Unrecognised Action: RUN<Now>")]))
        self.assertEqual(set(members), {"Activity Log.csv", "FileList.csv", "Actions.qir"})
        self.assertEqual(self.file_list(members), (["Actions.qir", "Activity Log.csv"], []))

    def test_external_tool_and_process_list(self):
        tool_output = self.data_dir + "\\tool-output.txt"
        # The slow tool runs until the result file is there: through the whole run.
        slow = "~0 ToolStub.exe wait " + h.winpath(self.out / "results.tgz")
        members = self.collect("""<QIRSCRIPT>
<EXECUTE Write="ToolStub.exe write $DATADIR$\\tool-output.txt" Slow="%s"
         Missing="NoSuchTool.exe /x"/>
<MISCELLANEOUS Process_List="ignored"/>
</QIRSCRIPT>
""" % slow)
        events = self.events(members)
        processes = "%s\\Process_List.txt" % self.data_dir
        self.assertEqual(events, (
            xml_events("EXECUTE", "Missing", "NoSuchTool.exe /x") +
            [("INFORMATION", "Command must return within 5 minute(s)"),
             ("ERROR", "Unable to execute command (2)")] +
            xml_events("EXECUTE", "Slow", slow) +
            [("INFORMATION", "Command must return within 0 minute(s)"),
             ("ERROR", "Command has not returned after 0 minute(s)")] +
            xml_events("EXECUTE", "Write", "ToolStub.exe write $DATADIR$\\tool-output.txt") +
            [("INFORMATION", "Path resolved to ToolStub.exe write " + tool_output),
             ("INFORMATION", "Command must return within 5 minute(s)"),
             ("INFORMATION", "Command executed successfully")] +
            xml_events("MISCELLANEOUS", "Process_List", "ignored") +
            # Wine's performance data has no process object; the snapshot stands in.
            [("DEBUG", "Performance data lists no processes, taking the process snapshot instead"),
             ("INFORMATION", "Process list dumped to " + processes)]))

        # The tool wrote its arguments into the script's results folder.
        self.assertEqual(members["Actions/tool-output.txt"], ("write " + tool_output).encode("latin-1"))

        names = h.log_lines(members["Actions/Process_List.txt"])
        self.assertIn("QIRTool.exe", names)
        # The tool that outlived its limit still runs while the list is taken.
        self.assertIn("ToolStub.exe", names)
        # Names only, no folders. Wine lists a process that is just ending without a name,
        # and the list keeps what the snapshot gives.
        for name in names:
            self.assertRegex(name, r"^[^\\/]*$")

        registered, found = self.file_list(members)
        self.assertEqual(registered, ["Actions.qir", "Actions\\Process_List.txt", "Activity Log.csv"])
        self.assertEqual(found, ["Actions\\tool-output.txt"])

    def test_a_file_two_actions_write_is_listed_again_with_its_last_crc(self):
        # The second list is appended to the first, and the file registered after each.
        members = self.collect("""<QIRSCRIPT>
<MISCELLANEOUS Process_List="first"/>
<MISCELLANEOUS Process_List="second"/>
</QIRSCRIPT>
""")
        listed = [line.split(",")[0] for line in h.log_lines(members["FileList.csv"])
                  if ",Actions\\Process_List.txt," in line]
        self.assertEqual(len(listed), 2)
        self.assertNotEqual(listed[0], listed[1])
        self.assertEqual(listed[1], h.crc_text(members["Actions/Process_List.txt"]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
