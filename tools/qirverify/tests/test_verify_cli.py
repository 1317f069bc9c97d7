"""The native QIRVerify as a support desk's script runs it: /json read with a JSON
parser, /version, and a run under a memory limit. Archives are made here: ustar
entries, a file list signed with the collector's integrity value, gzip.
Usage: test_verify_cli.py <QIRVerify>"""
import gzip
import json
import os
import resource
import subprocess
import sys
import tempfile
import unittest
import zlib

VERIFY = None
LETTERS = dict(zip("0123456789ABCDEF", "KBMQTRZLHVNDWPCJ"))


def header(name, size):
    block = bytearray(512)
    prefix, name = name.rsplit("/", 1) if len(name) > 100 else ("", name)
    block[0:len(name)] = name.encode("latin-1")
    block[345:345 + len(prefix)] = prefix.encode("latin-1")
    block[100:108] = b"0000644\0"
    block[108:124] = b"0000000\0" * 2
    block[124:136] = b"%011o\0" % size
    block[136:148] = b"%011o\0" % 0
    block[148:156] = b" " * 8
    block[156:157] = b"0"
    block[257:265] = b"ustar\x0000"
    block[148:156] = b"%06o\0 " % sum(block)
    return bytes(block)


def entry(name, data):
    return header(name, len(data)) + data + b"\0" * (-len(data) % 512)


def signed_list(members):
    lines = ["<FILE_LIST_START>"]
    lines += ["%08X,%s," % (zlib.crc32(data), name.replace("/", "\\")) for name, data in members]
    lines += ["<EXTERNAL_FILES>", "<FILE_LIST_END>", ""]
    text = "\r\n".join(lines)
    tag = "_" + "".join(LETTERS[d] for d in "%08X" % zlib.crc32(text.encode("latin-1")))
    first, last = text.index(">"), text.rindex(">")
    return (text[:first] + tag + text[first:last] + tag + text[last:]).encode("latin-1")


def archive(members):
    tar = b"".join(entry(n, d) for n, d in members)
    tar += entry("FileList.csv", signed_list(members)) + b"\0" * 1024
    return gzip.compress(tar, mtime=0)


def run(*args, limit_kb=None):
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (limit_kb * 1024, limit_kb * 1024))
    return subprocess.run([VERIFY, *args], capture_output=True, text=True, timeout=600,
                          preexec_fn=limit if limit_kb else None)


class VerifyCli(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def write(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_json_objects_for_intact_damaged_and_unreadable(self):
        members = [("Activity Log.csv", b"Time,Type,Description\r\n01/03/2026 10:00:01,WARNING,Key not found\r\n"),
                   ("Sample/Run.txt", b"r" * 1500)]
        intact = self.write("intact.tgz", archive(members))
        damaged = self.write("damaged.tgz", gzip.compress(gzip.decompress(archive(members)).replace(
            b"r" * 1500, b"r" * 1499 + b"X"), mtime=0))
        unreadable = self.write("unreadable.tgz", b"not gzip at all")
        result = run("/json", intact, damaged, unreadable)
        self.assertEqual(2, result.returncode, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(3, len(lines))
        first, second, third = (json.loads(line) for line in lines)

        self.assertEqual((intact, "INTACT", 0, []), (first["archive"], first["verdict"], first["exitCode"],
                                                      first["problems"]))
        self.assertEqual({"packedBytes": os.path.getsize(intact), "files": 3, "endBlocks": True,
                          "fileList": True, "integrityValid": True, "listed": 2, "listedPresent": 2},
                         {k: first["facts"][k] for k in ("packedBytes", "files", "endBlocks", "fileList",
                                                         "integrityValid", "listed", "listedPresent")})
        self.assertEqual(1, first["run"]["lines"]["WARNING"])

        self.assertEqual(("FAILED", 1, 1), (second["verdict"], second["exitCode"], second["problemCount"]))
        self.assertEqual([("crc", "Sample/Run.txt")], [(p["kind"], p["entry"]) for p in second["problems"]])
        self.assertIn("CRC", second["problems"][0]["text"])

        self.assertEqual(("UNREADABLE", 2, "not a gzip file"), (third["verdict"], third["exitCode"],
                                                                 third["reason"]))
        # The text output is unchanged by the option's existence.
        self.assertEqual(intact + ": INTACT", run(intact).stdout.split(" (")[0])

    def test_version_names_the_build(self):
        result = run("/version")
        self.assertEqual(0, result.returncode)
        self.assertRegex(result.stdout, r"^QIRVerify \d+\.\d+\.\d+\.\d+ \((git [0-9a-f]{12}(, with changes)?|no git)\)\n$")

    def test_memory_is_bounded_by_names_and_running_out_gives_a_verdict(self):
        # 200,000 entries of 39-character names: their compact form fits under 32 MB of
        # address space (a map of strings needed 40 MB); a limit that leaves too little
        # ends with a verdict, never an abort.
        tar = b"".join(entry("Folder/%032d" % i, b"") for i in range(200000)) + b"\0" * 1024
        path = self.write("many.tgz", gzip.compress(tar, compresslevel=1, mtime=0))
        roomy = run("/quiet", path, limit_kb=32 * 1024)
        self.assertEqual(1, roomy.returncode, roomy.stderr)
        self.assertIn(": FAILED (", roomy.stdout)
        tight = run("/quiet", path, limit_kb=16 * 1024)
        self.assertEqual((2, path + ": UNREADABLE (too large to check)\n"), (tight.returncode, tight.stdout),
                         tight.stderr)


if __name__ == "__main__":
    VERIFY = sys.argv.pop(1)
    unittest.main()
