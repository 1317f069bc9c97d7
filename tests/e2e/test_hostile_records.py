"""Hostile files through the real QIRTool.exe under Wine: executables whose resource
entries are damaged (a wrong size or offset, flipped bits) and version strings and file
names made to forge CSV rows or formulas. The run must go on to its later action, end
with exit code 0 and an archive QIRVerify accepts, and every row of the file versions
read back with Python's csv module must be one row per file with the header's fields.
The collector runs in a time zone other than UTC, so its local times are checked too."""

import csv
import datetime
import io
import os
import shutil
import struct
import sys
import unittest
from pathlib import Path
from zoneinfo import ZoneInfo

sys.path.insert(0, str(Path(__file__).resolve().parent))
import qirharness as h  # noqa: E402

VERSIONED_TOOL = h.BUILD / "tests" / "VersionedTool.exe"
# No daylight saving time, half an hour off any whole-hour zone.
ZONE = "Asia/Kolkata"
HEADER = ["File", "Size", "Created", "Modified", "Accessed", "Attributes", "File Version", "Product Version",
          "File Description", "Product Name", "Comments", "Private Build", "Special Build"]

SCRIPT = r"""<QIRSCRIPT>
<FILE_VERSIONS Versions="D:\ver\*.*"/>
<FILES After="D:\after\*.txt"/>
</QIRSCRIPT>
"""

display = h.Display()


def setUpModule():
    display.start()


def tearDownModule():
    display.stop()


def version_data_entry(image):
    """The file offset of the RT_VERSION resource's data entry (its address, then its
    size), found by walking the image's resource directory."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    for i in range(sections):
        at = optional + optional_size + 40 * i
        address, raw_size, raw = struct.unpack_from("<III", image, at + 12)
        if address <= rsrc < address + raw_size:
            base = raw + rsrc - address
            break

    def entry(directory, wanted):
        named, ids = struct.unpack_from("<HH", image, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            if wanted is None or name == wanted:
                return target & 0x7FFFFFFF
        raise AssertionError("no resource entry %r" % wanted)

    return base + entry(entry(entry(0, 16), 1), None)


def damaged(image, at, value):
    data = bytearray(image)
    struct.pack_into("<I", data, at, value)
    return bytes(data)


def hostile_strings(image):
    """The tool with its version strings replaced, each by one of the same length."""
    for old, new in (("Qirex Test", '"Q",T\r\nX=1'),     # opens a quote, adds a row
                     ("private", "=SUM(1)"),              # a formula
                     ("special", "@SUM\x00xy"),           # a formula, then a NUL
                     ("5.6", "-1+"),                      # a formula that looks like a number
                     ("1.2.3.4", "-1234.5")):            # a plain negative number stays
        old_bytes, new_bytes = old.encode("utf-16-le"), new.encode("utf-16-le")
        assert image.count(old_bytes) == 1 and len(old) == len(new), old
        image = image.replace(old_bytes, new_bytes)
    return image


class HostileRecordsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = h.scratch("e2e-hostile")
        ver = cls.folder / "d/ver"
        ver.mkdir(parents=True)
        image = VERSIONED_TOOL.read_bytes()
        entry = version_data_entry(image)
        address, size = struct.unpack_from("<II", image, entry)
        cls.damaged = {
            "Size.exe": damaged(image, entry + 4, 0x7FFFFF00),
            "SizeFlip.exe": damaged(image, entry + 4, size ^ 0x00100000),
            "Offset.exe": damaged(image, entry, 0xFFFFF000),
            "OffsetFlip.exe": damaged(image, entry, address ^ 0x00400000),
            "Truncated.exe": image[:entry + 8],
        }
        for name, data in cls.damaged.items():
            (ver / name).write_bytes(data)
        (ver / "Good.exe").write_bytes(image)
        (ver / "Strings.exe").write_bytes(hostile_strings(image))
        # Names that would start a formula or split a row, were the path not first.
        for name in ("=1+2,x.txt", "@a,b.txt", "-3.txt", "q'.txt"):
            (ver / name).write_bytes(b"plain")
        # A named pipe without a writer: Wine lists it as a file that cannot be opened
        # (its row of "N/A"); opened to be read, it must not hold the run.
        os.mkfifo(ver / "pipe.exe")
        # Modified and accessed apart, each near a day's end in UTC. (Wine shows the
        # last-write time as the creation time: the unit tests keep those columns apart.)
        cls.modified = datetime.datetime(2001, 2, 3, 22, 45, 6, tzinfo=datetime.timezone.utc).timestamp()
        cls.accessed = datetime.datetime(2002, 3, 4, 5, 6, 7, tzinfo=datetime.timezone.utc).timestamp()
        os.utime(ver / "Good.exe", (cls.accessed, cls.modified))
        (cls.folder / "d/after").mkdir()
        (cls.folder / "d/after/later.txt").write_bytes(b"collected after the damaged files")
        app = cls.folder / "d/app"
        app.mkdir()
        shutil.copy(h.QIRTOOL, app / "QIRTool.exe")
        h.write_script(app / "Hostile.qir", SCRIPT)
        (cls.folder / "d/out").mkdir()

        cls.prefix = h.private_prefix("hostile")
        (cls.prefix / "dosdevices" / "d:").symlink_to(cls.folder / "d")
        cls.code = h.run_collector(["/xmlfile=D:\\app\\Hostile.qir", "/outfile=D:\\out\\Results.tgz", "/silent"],
                                   exe="D:\\app\\QIRTool.exe", timeout=300, env=dict(os.environ, TZ=ZONE))
        cls.result = cls.folder / "d/out/results.tgz"

    @classmethod
    def tearDownClass(cls):
        h.stop_prefix(cls.prefix)

    def members(self):
        self.assertEqual(self.code, 0)
        self.assertTrue(self.result.exists())
        return h.read_archive(self, self.result)

    def rows(self):
        data = self.members()["Hostile/Versions.csv"]
        self.assertTrue(data.endswith(b"\r\n"))
        rows = list(csv.reader(io.StringIO(data.decode("latin-1"), newline="")))
        self.assertEqual(rows[0], HEADER)
        for row in rows:
            self.assertEqual(len(row), len(HEADER), row)
        return {row[0]: row for row in rows[1:]}

    def test_damaged_executables_cost_only_their_version_strings(self):
        members = self.members()
        self.assertEqual(members["Hostile/After/D/after/later.txt"], b"collected after the damaged files")
        h.check_with_verifier(self, self.result, members)
        rows = self.rows()
        self.assertEqual(len(rows), 4 + len(self.damaged) + 3, sorted(rows))
        for name, data in self.damaged.items():
            row = rows["D:\\ver\\" + name]
            self.assertEqual(row[1], str(len(data)), row)
            self.assertIn(row[9], ("", "Qirex Test"), row)
        self.assertEqual(rows["D:\\ver\\pipe.exe"][1:], ["N/A"] * 5 + [""] * 7)
        self.assertEqual(rows["D:\\ver\\Good.exe"][6:], ["1.2.3.4", "5.6", "Test tool. with a comma", "Qirex Test",
                                                          "Line one  line two", "private", "special"])

    def test_hostile_strings_and_names_stay_inert_fields(self):
        rows = self.rows()
        self.assertEqual(rows["D:\\ver\\Strings.exe"][6:],
                         ["-1234.5", "'-1+", "Test tool. with a comma", "'\"Q\".T  X=1", "Line one  line two",
                          "'=SUM(1)", "'@SUM"])
        for name in ("=1+2.x.txt", "@a.b.txt", "-3.txt", "q'.txt"):
            self.assertEqual(rows["D:\\ver\\" + name][1], "5", name)

    def test_times_are_local_and_in_their_columns(self):
        good = self.rows()["D:\\ver\\Good.exe"]
        zone = ZoneInfo(ZONE)

        def local(stamp):
            return datetime.datetime.fromtimestamp(stamp, zone).strftime("%d/%m/%Y %H:%M:%S")

        self.assertEqual(good[3], local(self.modified))
        self.assertEqual(good[4], local(self.accessed))
        self.assertEqual(good[3], "04/02/2001 04:15:06")


if __name__ == "__main__":
    unittest.main()
