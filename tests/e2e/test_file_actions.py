"""Evidence from files and event logs: the real QIRTool.exe under Wine runs a signed script
whose FILES, FILE_VERSIONS and EVENT_LOGS actions act on drives of a prefix of the test's
own (C: the build's, D: and E: scratch folders, no Z:), so that the all-drives search
sees only what the test made. The archive is then opened from Linux and every copy,
row and line checked against the sources."""

import datetime
import re
import shutil
import socket
import sys
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

VERSIONED_TOOL = h.BUILD / "tests" / "VersionedTool.exe"
LONG = "L" * 120
# A file name that the flat layout keeps but no archive entry can carry.
LONG_NAME = "N" * 150 + ".log"
# A request name whose listing's name no archive entry can carry.
LONG_REQUEST = "V" * 100
# Folders below D:\deep reaching past the classic path limit of 260 characters.
DEEP = "/".join(["F%d" % i + "f" * 50 for i in range(6)])
# The copy's read buffer: sizes at its edges.
CHUNK = 256 * 1024

SCRIPT = r"""<QIRSCRIPT>
<FILES Pattern="D:\logs\*.log" Tree="D:\logs\*.log /s" Long="D:\long\*.* /s"
       AllDrives="*.qxt /x:CE" AllLower="/x:ce *.qxt" AllFolder="all\*.qxt /x:CE" LongName="D:\longname\*.log"
       Sizes="D:\sizes\*.bin" Grow="D:\grow\*.log" Deep="D:\deep\*.log /s" Wide="D:\wide\*.* /s"
       Links="D:\links\*.log /s" Inside="D:\out\~QX_TEMP\*.* /s"/>
<FILE_VERSIONS Versions="D:\ver\*.*" %s="D:\ver\*.*" WideVersions="D:\wide\*.log"/>
<MISCELLANEOUS EVENT_LOGS=""/>
</QIRSCRIPT>
""" % LONG_REQUEST

# Source files on D: and E:, relative to the drive, with their bytes.
SOURCES = {
    "d/logs/a.log": b"alpha",
    "d/logs/b.log": b"bravo" * 1000,
    "d/logs/c.txt": b"not a log",
    "d/logs/sub/d.log": b"delta",
    "d/logs/sub/deep/a.log": b"deep alpha",
    "d/long/%s/x/a.log" % LONG: b"x alpha",
    "d/long/%s/x/README" % LONG: b"x readme",
    "d/long/%s/y/a.log" % LONG: b"y alpha",
    "d/long/%s/y/README" % LONG: b"y readme",
    "d/longname/" + LONG_NAME: b"long name",
    "d/all/one.qxt": b"one",
    "d/all/aux.qxt": b"a device name",
    "d/ver/plain.txt": b"plain",
    "e/two.qxt": b"two",
    "d/sizes/empty.bin": b"",
    "d/sizes/one.bin": b"\x01",
    "d/sizes/chunk.bin": bytes(range(256)) * (CHUNK // 256),
    "d/sizes/chunk1.bin": bytes(range(256)) * (CHUNK // 256) + b"\xff",
    "d/deep/%s/deep.log" % DEEP: b"deep down",
    "d/wide/\u03a9mega.log": b"omega",
    "d/wide/\u65e5\u672c.log": b"nihon",
    "d/wide/\u03a9dir/inner.log": b"inner",
    "d/links/real/r.log": b"real",
}

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


def windows_name(relative):
    """D:\\logs\\a.log for d/logs/a.log."""
    drive, rest = relative.split("/", 1)
    return drive.upper() + ":\\" + rest.replace("/", "\\")


def make_socket(path):
    """A Unix socket: listed by Wine as a file that cannot be opened or copied."""
    with socket.socket(socket.AF_UNIX) as server:
        server.bind(str(path))


class FileActionsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = h.scratch("e2e-files")
        for relative, data in SOURCES.items():
            path = cls.folder / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        make_socket(cls.folder / "d/logs/sock.log")
        make_socket(cls.folder / "d/ver/sock.bin")
        shutil.copy(VERSIONED_TOOL, cls.folder / "d/ver/VersionedTool.exe")
        # A link back to the drive's root: never followed.
        (cls.folder / "d/all/loop").symlink_to(cls.folder / "d")
        # Links inside the searched folder are collected (files) or left to their real
        # place (folders); links leading out of it are left out with a warning.
        links = cls.folder / "d/links"
        (links / "in.log").symlink_to(links / "real/r.log")
        (links / "indir").symlink_to(links / "real")
        (links / "out.log").symlink_to(cls.folder / "e/two.qxt")
        (links / "outdir").symlink_to(cls.folder / "e")
        app = cls.folder / "d/app"
        app.mkdir()
        shutil.copy(h.QIRTOOL, app / "QIRTool.exe")
        shutil.copy(h.QIRVERIFY, app / "QIRVerify.exe")
        script = h.write_script(app / "Files.qir", SCRIPT)
        (cls.folder / "d/out").mkdir()

        cls.prefix = h.private_prefix("files")
        devices = cls.prefix / "dosdevices"
        (devices / "z:").unlink()
        (devices / "d:").symlink_to(cls.folder / "d")
        (devices / "e:").symlink_to(cls.folder / "e")

        # Another process extends a file all through the run, so that it grows while
        # it is copied (paced and bounded, never faster than a disk).
        grow = cls.folder / "d/grow/g.log"
        grow.parent.mkdir()
        grow.write_bytes(b"start\n")
        running = threading.Event()
        running.set()

        def extend():
            with open(grow, "ab", buffering=0) as out:
                for n in range(20000):
                    if not running.is_set():
                        break
                    out.write(b"line %06d of a growing log\n" % n)
                    time.sleep(0.0005)

        appender = threading.Thread(target=extend)
        appender.start()
        cls.began = datetime.datetime.now().replace(microsecond=0)
        try:
            cls.code = h.run_collector(["/xmlfile=D:\\app\\Files.qir", "/outfile=D:\\out\\Results.tgz", "/silent"],
                                       exe="D:\\app\\QIRTool.exe", timeout=600)
        finally:
            running.clear()
            appender.join()
        cls.ended = datetime.datetime.now()
        cls.grown = grow.read_bytes()
        cls.result = cls.folder / "d/out/results.tgz"
        cls.script = script

    @classmethod
    def tearDownClass(cls):
        h.stop_prefix(cls.prefix)

    def setUp(self):
        self.assertEqual(self.code, 0)
        self.members = h.read_archive(self, self.result, self.began, self.ended)
        self.events = [h.check_log_line(self, line, self.began, self.ended)
                       for line in h.log_lines(self.members["Activity Log.csv"])[1:]]
        self.comments = {}
        registered, found = h.file_list_entries(self, self.members, self.comments)
        self.registered = registered
        self.assertEqual(found, [])

    def copies(self, action):
        """The registered copies of one action: name below the action folder -> source."""
        prefix = "Files\\%s\\" % action
        return {name[len(prefix):]: self.comments[name] for name in self.registered if name.startswith(prefix)}

    def assert_copied(self, action, expected):
        """expected: name below the action folder -> source relative to the scratch
        folder. Each copy holds its source's bytes; its comment names the source."""
        copies = self.copies(action)
        self.assertEqual(copies, {name: windows_name(source) for name, source in expected.items()})
        for name, source in expected.items():
            member = "Files/%s/%s" % (action, name.replace("\\", "/"))
            self.assertEqual(self.members[member], SOURCES[source], member)
            self.assertIn(("INFORMATION", "Collected File: %s as Files\\%s\\%s" % (windows_name(source), action, name)),
                          self.events)

    def test_pattern_and_subfolders_mirror_the_source_paths(self):
        self.assert_copied("Pattern", {"D\\logs\\a.log": "d/logs/a.log", "D\\logs\\b.log": "d/logs/b.log"})
        self.assert_copied("Tree", {"D\\logs\\a.log": "d/logs/a.log", "D\\logs\\b.log": "d/logs/b.log",
                                    "D\\logs\\sub\\d.log": "d/logs/sub/d.log",
                                    "D\\logs\\sub\\deep\\a.log": "d/logs/sub/deep/a.log"})
        self.assertIn(("DEBUG", "Scan Subdirectories"), self.events)
        self.assertIn(("INFORMATION", "Files to be copied to d:\\out\\~QX_TEMP\\Files\\Tree"), self.events)

    def test_a_failed_copy_or_a_name_no_entry_carries_is_an_error_without_an_entry(self):
        failed = [text for level, text in self.events if level == "ERROR"]
        refused = [text for text in failed if text.startswith("Unusable name")]
        self.assertEqual(refused, ["Unusable name D:\\longname\\%s (too long): file skipped" % LONG_NAME,
                                   "Unusable name %s (too long): action skipped" % LONG_REQUEST])
        unable = [text for text in failed if text.startswith("Unable to copy")]
        self.assertEqual(len(unable), 2, failed)
        for text in unable:
            self.assertRegex(text, r"^Unable to copy file D:\\logs\\sock\.log \(error \d+\)$")
        for name in ("sock.log", LONG_NAME, LONG_REQUEST + ".csv"):
            self.assertFalse(any(source.endswith(name) for source in self.comments.values()), name)
            self.assertFalse(any(member.endswith(name) for member in self.members), name)

    def test_long_paths_go_flat_and_clashes_are_numbered(self):
        copies = self.copies("Long")
        self.assertEqual(sorted(copies), ["README", "README(1)", "a(1).log", "a.log"])
        for name, source in copies.items():
            relative = "d/" + source[3:].replace("\\", "/")
            self.assertEqual(self.members["Files/Long/" + name], SOURCES[relative], name)

    def test_all_drives_search_with_exclusions_never_enters_the_results_root(self):
        self.assert_copied("AllDrives", {"D\\all\\one.qxt": "d/all/one.qxt"})
        self.assert_copied("AllLower", {"D\\all\\one.qxt": "d/all/one.qxt", "E\\two.qxt": "e/two.qxt"})
        # A folder before the pattern's last part is looked for in every folder.
        self.assert_copied("AllFolder", {"D\\all\\one.qxt": "d/all/one.qxt"})
        texts = [text for _, text in self.events]

        def searches(action):
            """The action's lines, and among them those of the drive loop."""
            start = texts.index("XML Name: " + action)
            end = next(i for i in range(start, len(texts) + 1) if i == len(texts) or texts[i].startswith("XML Section"))
            part = texts[start:end]
            return part, [t for t in part if t.startswith(("Scan All", "Searching", "Skipping"))]

        part, lines = searches("AllDrives")
        self.assertEqual(lines, ["Scan All Drives except CE", "Skipping C:", "Searching D:", "Skipping E:"])
        self.assertIn("File skipped, unsafe name: D:\\all\\aux.qxt", part)
        part, lines = searches("AllLower")
        self.assertEqual(lines, ["Scan All Drives except ce", "Searching C:", "Searching D:", "Searching E:"])
        self.assertIn("Drive letters that exclude nothing: ce (only upper-case letters leave drives out)", part)
        # The copies of AllDrives lie in the results root on D: when AllLower searches D:.
        self.assertFalse(any("~QX_TEMP" in source.upper() for source in self.comments.values()))

    def test_file_versions_rows(self):
        rows = h.log_lines(self.members["Files/Versions.csv"])
        self.assertEqual(rows[0], "File,Size,Created,Modified,Accessed,Attributes,File Version,Product Version,"
                                  "File Description,Product Name,Comments,Private Build,Special Build")
        by_file = {}
        for row in rows[1:]:
            fields = row.split(",")
            self.assertEqual(len(fields), 13, row)
            by_file[fields[0]] = fields[1:]
        self.assertEqual(sorted(by_file), ["D:\\ver\\VersionedTool.exe", "D:\\ver\\plain.txt", "D:\\ver\\sock.bin"])
        when = r"^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d$"
        tool = by_file["D:\\ver\\VersionedTool.exe"]
        self.assertEqual(int(tool[0]), VERSIONED_TOOL.stat().st_size)
        for field in tool[1:4]:
            self.assertRegex(field, when)
        modified = datetime.datetime.fromtimestamp((self.folder / "d/ver/VersionedTool.exe").stat().st_mtime)
        self.assertEqual(tool[2], modified.strftime("%d/%m/%Y %H:%M:%S"))
        self.assertEqual(tool[4:], ["A", "1.2.3.4", "5.6", "Test tool. with a comma", "Qirex Test",
                                    "Line one  line two", "private", "special"])
        self.assertEqual(by_file["D:\\ver\\plain.txt"][0], "5")
        self.assertEqual(by_file["D:\\ver\\plain.txt"][4:], ["A"] + [""] * 7)
        self.assertEqual(by_file["D:\\ver\\sock.bin"], ["N/A"] * 5 + [""] * 7)
        self.assertIn("Files\\Versions.csv", self.registered)

    def texts(self, level):
        return [text for lvl, text in self.events if lvl == level]

    def test_the_list_holds_the_crc_of_the_bytes_copied(self):
        # The harness compares every listed CRC with the archived bytes.
        self.assert_copied("Sizes", {"D\\sizes\\" + name: "d/sizes/" + name
                                     for name in ("empty.bin", "one.bin", "chunk.bin", "chunk1.bin")})
        copy = self.members["Files/Grow/D/grow/g.log"]
        self.assertTrue(copy.startswith(b"start\n"))
        self.assertEqual(copy, self.grown[:len(copy)], "a copy is what the file held, from its start")

    def test_deep_and_wide_names_are_collected_flat_with_their_source(self):
        self.assertEqual(self.copies("Deep"), {"deep.log": windows_name("d/deep/%s/deep.log" % DEEP)})
        self.assertEqual(self.members["Files/Deep/deep.log"], b"deep down")
        self.assertEqual(self.copies("Wide"), {"_mega.log": "D:\\wide\\<U+03A9>mega.log",
                                               "__.log": "D:\\wide\\<U+65E5><U+672C>.log",
                                               "inner.log": "D:\\wide\\<U+03A9>dir\\inner.log"})
        for name, data in (("_mega.log", b"omega"), ("__.log", b"nihon"), ("inner.log", b"inner")):
            self.assertEqual(self.members["Files/Wide/" + name], data)
        self.assertIn(("INFORMATION", "Collected File: D:\\wide\\<U+03A9>mega.log as Files\\Wide\\_mega.log"),
                      self.events)
        # A listing reaches files by their ANSI names only: the rest is named in an error.
        self.assertIn("Unable to list file D:\\wide\\<U+03A9>mega.log (error 123)", self.texts("ERROR"))
        self.assertIn("Unable to list file D:\\wide\\<U+65E5><U+672C>.log (error 123)", self.texts("ERROR"))
        self.assertEqual(h.log_lines(self.members["Files/WideVersions.csv"])[1:], [])
        self.assertFalse(any("unsafe name" in text for text in self.texts("WARNING") if "wide" in text))

    def test_links_inside_are_collected_and_links_leading_out_are_named(self):
        self.assertEqual(self.copies("Links"), {"D\\links\\real\\r.log": "D:\\links\\real\\r.log",
                                                "D\\links\\in.log": "D:\\links\\in.log"})
        self.assertEqual(self.members["Files/Links/D/links/in.log"], b"real")
        warnings = self.texts("WARNING")
        for link in ("out.log", "outdir"):
            self.assertIn("Link outside the searched folder skipped: D:\\links\\" + link, warnings)
        self.assertFalse(any(name.startswith("Files\\Links\\D\\links\\indir") for name in self.registered))

    def test_a_pattern_inside_the_results_folder_is_refused(self):
        self.assertIn("File operation skipped, the pattern lies in the results folder: D:\\out\\~QX_TEMP\\*.*",
                      self.texts("ERROR"))
        self.assertFalse(any(name.startswith("Files\\Inside") for name in self.registered))

    def test_event_logs_of_a_platform_without_records(self):
        for log in ("Application", "System", "Security"):
            csv = "Files/%s Log.csv" % log
            self.assertEqual(h.log_lines(self.members[csv]),
                             ["Type,Date,Time,Source,Category,Event,User,Computer,Description,Data"])
            self.assertIn("Files\\%s Log.csv" % log, self.registered)
            self.assertIn(("INFORMATION", "Event log dumped to d:\\out\\~QX_TEMP\\Files\\%s Log.csv" % log),
                          self.events)
            # Wine's backup writes nothing useful; whatever it leaves is registered.
            if "Files/%s Log.evt" % log in self.members:
                self.assertIn("Files\\%s Log.evt" % log, self.registered)

    def test_every_archived_file_is_listed_and_read_alike_by_every_reader(self):
        self.assertEqual(sorted(n.replace("\\", "/") for n in self.registered + ["FileList.csv"]),
                         sorted(self.members))
        self.assertEqual(self.members["Files.qir"], self.script.read_bytes())
        h.check_with_standard_tools(self, self.result, self.members, self.folder / "extracted")
        h.check_with_verifier(self, "D:\\out\\results.tgz", self.members, exe="D:\\app\\QIRVerify.exe")


if __name__ == "__main__":
    unittest.main(verbosity=2)
