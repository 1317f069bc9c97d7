"""The directory dump end to end: the real QIRTool.exe under Wine runs signed scripts
whose ACTIVE_DIRECTORY elements search the test run's slapd (adsi/tests), and the
archived CSV, the activity log and the file list are checked from Linux.

Wine has no forest and no global catalog. This suite's own Wine prefix registers the
directory stand-in (adsi/tests/DirectoryStandIn.cpp) for the platform's system
information and name translation classes and as the directory client's "GC:"
provider, which binds a tree's global-catalog path on slapd (or on its relay that
stops answering mid-search). The collector runs unchanged."""

import csv
import datetime
import io
import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

STAND_IN = h.BUILD / "tests" / "DirectoryStandIn.dll"
SERVER_FILE = h.BUILD / "tests" / "directory" / "server.txt"
STAND_IN_CLSID = "{6F1A2B3C-4D5E-4F60-8A71-92B3C4D5E6F7}"
SYSTEM_INFO_CLSID = "{50B6327F-AFD1-11D2-9CB9-0000F87A369E}"
NAME_TRANSLATE_CLSID = "{274FAE1F-3626-11D1-A3A4-00C04FB950DC}"
TREES = "qirex.test;sales.test"
MEGABYTE = 1024 * 1024

display = h.Display()
prefix = None
server = {}


def setUpModule():
    global prefix
    server.update(line.split("=", 1) for line in SERVER_FILE.read_text().splitlines())
    display.start()
    prefix = h.private_prefix("directory")
    # The prefix's services start now, on /dev/null, not inside a run whose output is read.
    h.serve_prefix(prefix)
    dll = h.winpath(STAND_IN).replace("\\", "\\\\")
    entries = ["REGEDIT4", ""]
    for clsid in (SYSTEM_INFO_CLSID, NAME_TRANSLATE_CLSID, STAND_IN_CLSID):
        entries += [r"[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\%s\InprocServer32]" % clsid,
                    '@="%s"' % dll, '"ThreadingModel"="Both"', ""]
    entries += [r"[HKEY_LOCAL_MACHINE\Software\Classes\QirexStandIn.GC\CLSID]", '@="%s"' % STAND_IN_CLSID, "",
                r"[HKEY_LOCAL_MACHINE\Software\Microsoft\ADs\Providers\GC]", '@="QirexStandIn.GC"', ""]
    reg_file = h.scratch("e2e-directory-registry") / "stand-in.reg"
    reg_file.write_bytes("\r\n".join(entries).encode("ascii"))
    result = h.wine(["reg", "import", h.winpath(reg_file)])
    if result.returncode != 0:
        raise RuntimeError("the directory stand-in could not be registered: %r" % result.stdout)


def tearDownModule():
    h.stop_prefix(prefix)
    display.stop()


class DirectoryDumpTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch("e2e-directory-" + self._testMethodName.lower())
        self.scripts = self.folder / "scripts"
        self.scripts.mkdir()
        self.out = self.folder / "out"
        self.out.mkdir()
        # Where the collector puts the script's outputs, as it names that folder.
        self.data_dir = h.winpath(self.out).lower() + "\\~QX_TEMP\\Dir"

    def collect(self, body, port, **env):
        """Runs the signed script Dir.qir silently against the directory on port; returns
        the archive's members and the activity log's events after the script was found."""
        script = h.write_script(self.scripts / "Dir.qir", "<QIRSCRIPT>\n%s\n</QIRSCRIPT>\n" % body)
        result = self.out / "results.tgz"
        environment = dict(os.environ, QIR_STANDIN_TREES=TREES, QIR_STANDIN_SERVER="127.0.0.1:%s" % port, **env)
        began = datetime.datetime.now().replace(microsecond=0)
        code = h.run_collector(["/xmlfile=" + h.winpath(script), "/outfile=" + h.winpath(result), "/silent"],
                               env=environment, timeout=600)
        ended = datetime.datetime.now()
        self.assertEqual(code, 0)
        members = h.read_archive(self, result, began, ended)
        h.check_with_standard_tools(self, result, members, self.out / "extracted")
        h.check_with_verifier(self, result, members)
        lines = h.log_lines(members["Activity Log.csv"])
        events = [h.check_log_line(self, line, began, ended) for line in lines[1:]]
        self.assertEqual(events[0], ("INFORMATION", "XML file found: Dir.qir"))
        return members, events[1:]

    def registered(self, members):
        registered, found = h.file_list_entries(self, members)
        self.assertEqual(found, [])
        return registered

    def test_forest_of_two_trees_with_megabyte_values_and_ten_thousand_objects(self):
        members, events = self.collect("""<ACTIVE_DIRECTORY>
  <SEARCH Value="(objectClass=user)"><Attrib Value="cn"/><Attrib Value="mail"/><Attrib Value="qirNickname"/>
    <Attrib Value="qirBadge"/><Attrib Value="qirNote"/><Scope Value="all"/></SEARCH>
  <SEARCH Value="(objectClass=organizationalRole)"><Attrib/><Scope/></SEARCH>
  <DUMP Name="Directory.csv"/>
</ACTIVE_DIRECTORY>
<ACTIVE_DIRECTORY/>""", server["port"])
        lines = members["Dir/Directory.csv"].split(b"\r\n")
        self.assertEqual(lines[-1], b"", "the last line is complete")
        big = lines[5].split(b",")
        # Every object's line under the header's columns: empty fields under the scope
        # and the filter, and where the object lacks an attribute.
        self.assertEqual(lines[:5] + lines[6:9], [
            b"all,(objectClass=user),cn,mail,qirNickname,qirBadge,qirNote",
            b",,Alice Archer,alice@qirex.test,Ali;Archie, a ff  0 7f,",
            b",,Bob Baker,bob@qirex.test,Bobby,,",
            b",,Eve (admin),eve@qirex.test,,,",
            b",,Dan Dorsey,,,,",
            b",,Sam Seller,sam@sales.test,,,",
            b",,Sue Seller,sue@sales.test,,,",
            b"all,(objectClass=organizationalRole),cn"])
        # A megabyte of bytes as hex and a megabyte of text, whole on their line.
        self.assertEqual(big[:5], [b"", b"", b"Big Value", b"", b""])
        self.assertEqual(big[5], " ".join("%2x" % (n % 256) for n in range(MEGABYTE)).encode())
        self.assertEqual(big[6], b"x" * MEGABYTE)
        self.assertEqual(len(big), 7)
        self.assertEqual(sorted(lines[9:-1]), [b",,bulk%05d" % n for n in range(1, 10001)])
        csv.field_size_limit(4 * MEGABYTE)
        rows = list(csv.reader(io.StringIO(members["Dir/Directory.csv"].decode("latin-1"), newline="")))
        self.assertEqual([len(row) for row in rows], [7] * 8 + [3] * 10001)

        # The empty element searches nothing and writes nothing.
        self.assertEqual(events, [
            ("INFORMATION", "Active directory dumped to %s\\Directory.csv: 10007 objects" % self.data_dir)])
        self.assertEqual(self.registered(members), ["Dir.qir", "Dir\\Directory.csv", "Activity Log.csv"])

    def test_server_that_stops_answering_ends_its_search_and_the_run_goes_on(self):
        members, events = self.collect("""<ACTIVE_DIRECTORY>
  <SEARCH Value="(|(objectClass=organizationalRole)(mail=s*))(!(cn=qir-cut-after-first-page))">
    <Attrib Value="cn"/><Scope Value="all"/></SEARCH>
</ACTIVE_DIRECTORY>
<MISCELLANEOUS PROCESS_LIST=""/>""", server["cutting_port"])
        lines = h.log_lines(members["Dir/ADS_Info.csv"])
        header = "all,(|(objectClass=organizationalRole)(mail=s*))(!(cn=qir-cut-after-first-page)),cn"
        self.assertEqual(lines[0], header)
        self.assertEqual(len(lines), 1 + 1000 + 2)
        self.assertTrue(all(line.startswith(",,bulk") for line in lines[1:1001]), lines[1:3])
        self.assertEqual(lines[1001:], [",,Sam Seller", ",,Sue Seller"])

        warning = "Active directory search %s in GC://DC=qirex,DC=test: reading stopped after 1000 objects with 0x8" % header
        self.assertEqual(events[0][0], "WARNING")
        self.assertTrue(events[0][1].startswith(warning), events[0])
        self.assertEqual(events[1], ("INFORMATION", "Active directory dumped to %s\\ADS_Info.csv: 1002 objects" % self.data_dir))
        self.assertEqual(events[-1], ("INFORMATION", "Process list dumped to %s\\PROCESS_LIST.txt" % self.data_dir))
        self.assertIn("Dir/PROCESS_LIST.txt", members)

    def test_machine_without_the_directory_client_runs_every_other_action(self):
        members, events = self.collect("""<ACTIVE_DIRECTORY>
  <SEARCH Value="(objectClass=user)"><Attrib Value="cn"/><Scope Value="all"/></SEARCH>
</ACTIVE_DIRECTORY>
<MISCELLANEOUS PROCESS_LIST=""/>""", server["port"], WINEDLLOVERRIDES="activeds,mscoree,mshtml=")
        self.assertNotIn("Dir/ADS_Info.csv", members)
        self.assertEqual([level for level, _ in events if level in ("WARNING", "ERROR")], [])
        self.assertEqual(self.registered(members), ["Dir.qir", "Dir\\PROCESS_LIST.txt", "Activity Log.csv"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
