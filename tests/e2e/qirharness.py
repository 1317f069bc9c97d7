"""Shared helpers of the collector's end-to-end and window suites: the build tree's
programs under Wine, a private Xvfb display, scratch folders, signing, and a strict
reader of the result archive's tar headers."""

import datetime
import gzip
import os
import re
import shutil
import subprocess
import tarfile
import zlib
from pathlib import Path

BUILD = Path(os.environ.get("QIR_BUILD", Path(__file__).resolve().parents[2] / "build" / "win64"))
WINE_RUN = BUILD / "wine-run.sh"
BIN = BUILD / "bin"
QIRTOOL = BIN / "QIRTool.exe"
QIRSIGN = BIN / "QIRSign.exe"
QIRVERIFY = BIN / "QIRVerify.exe"
DRIVER = BUILD / "tests" / "WindowDriver.exe"
SHEET_DRIVER = BUILD / "tests" / "SheetDriver.exe"
KESTRUNE = BIN / "Kestrune32.exe"
PREFIX = BUILD / "wineprefix"

LOG_LINE = re.compile(
    r"^(\d\d)/(\d\d)/(\d{4}) (\d\d):(\d\d):(\d\d),(DEBUG|INFORMATION|WARNING|ERROR|CRITICAL ERROR|\?\?\?),(.*)$")


def winpath(path):
    """The Wine (drive Z:) form of a Linux path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Display:
    """A private Xvfb display for the collector's window; Wine needs one even when the
    window never shows."""

    def __init__(self):
        self.proc = None
        self.name = None

    def start(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-ac", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not report a display")
                number += chunk
        self.name = ":" + number.decode().strip()
        os.environ["DISPLAY"] = self.name
        return self

    def stop(self):
        if self.proc:
            self.proc.terminate()
            # A busy machine may take a while to let it end; it goes either way.
            try:
                self.proc.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None


def private_prefix(name):
    """A Wine prefix of its own beside the build's, sharing its drive C: and a copy of
    its registry, so that a suite gets its own wineserver and with it a desktop bound to
    the suite's display (a persistent server of the shared prefix may have bound its
    desktop to no display at all). Points WINE_RUN at a runner for it; returns the
    prefix."""
    global WINE_RUN
    if not (PREFIX / "system.reg").exists():
        wine(["cmd.exe", "/c", "exit"], timeout=600)
    prefix = BUILD / ("wineprefix-" + name)
    stop_prefix(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    (prefix / "dosdevices").mkdir(parents=True)
    for item in ("system.reg", "user.reg", "userdef.reg", ".update-timestamp"):
        shutil.copy2(PREFIX / item, prefix / item)
    (prefix / "drive_c").symlink_to(PREFIX / "drive_c")
    (prefix / "dosdevices" / "c:").symlink_to(PREFIX / "drive_c")
    (prefix / "dosdevices" / "z:").symlink_to("/")
    runner = BUILD / "tests" / ("wine-run-" + name + ".sh")
    text = (BUILD / "wine-run.sh").read_text()
    text = re.sub(r'(?m)^export WINEPREFIX=.*$', 'export WINEPREFIX="%s"' % prefix, text)
    runner.write_text(text)
    runner.chmod(0o755)
    WINE_RUN = runner
    return prefix


def serve_prefix(prefix):
    """Keeps one server of the prefix (made by private_prefix and set up as the suite
    needs: the services read its drives when they start) for the whole suite, and starts
    the prefix's services now, on /dev/null. stop_prefix ends the server; left behind, it
    ends ten idle minutes later. A server left to itself ends a few idle seconds after a
    program (one slow step of a test on a busy machine is enough); the next program then
    starts it again cold, with the services inheriting that program's output pipe."""
    env = dict(os.environ, WINEPREFIX=str(prefix))
    subprocess.run(["wineserver", "-p600"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    subprocess.run([str(WINE_RUN), "wineboot"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600, check=False)


def stop_prefix(prefix):
    """Ends the wineserver of a prefix of ours, and every Wine process in it."""
    if (Path(prefix) / "system.reg").exists():
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=str(prefix)),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def scratch(name):
    """A fresh scratch folder under the build tree."""
    folder = BUILD / "tests" / "scratch" / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def wine(args, cwd=None, timeout=180, env=None):
    """Runs a Windows program of the build under Wine; returns the completed process.
    Its error output is not captured: Wine's service processes, started by the first
    program of a persistent wineserver, inherit it and keep it open."""
    return subprocess.run([str(WINE_RUN)] + [str(a) for a in args], cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout, env=env)


def run_collector(args, cwd=None, exe=QIRTOOL, timeout=180, env=None):
    """Runs the collector; returns its exit code."""
    return wine([exe] + list(args), cwd=cwd, timeout=timeout, env=env).returncode


def sign(*paths):
    # In batches: a Windows command line holds at most 32767 characters.
    for first in range(0, len(paths), 100):
        result = wine([QIRSIGN] + [winpath(p) for p in paths[first:first + 100]])
        if result.returncode != 0:
            raise RuntimeError("QIRSign failed (exit code %d): %r" % (result.returncode, result.stdout))


def verify(path):
    """QIRSign's verdict on a signed file: True when its integrity value is valid."""
    return wine([QIRSIGN, "/verify", winpath(path)]).returncode == 0


def write_script(path, text, signed=True):
    """A collection script with CR LF line ends, signed unless asked otherwise."""
    Path(path).write_bytes(text.replace("\n", "\r\n").encode("ascii"))
    if signed:
        sign(path)
    return Path(path)


def log_lines(data):
    """The lines of an activity log or file list; every line must end with CR LF."""
    text = data.decode("latin-1")
    if text and not text.endswith("\r\n"):
        raise AssertionError("last line not complete: %r" % text[-80:])
    return text.split("\r\n")[:-1]


def check_log_line(testcase, line, earliest, latest):
    """A log line's shape, and its time within the run (day first, local time)."""
    match = LOG_LINE.match(line)
    testcase.assertIsNotNone(match, "bad log line %r" % line)
    day, month, year, hour, minute, second = (int(g) for g in match.groups()[:6])
    when = datetime.datetime(year, month, day, hour, minute, second)
    testcase.assertTrue(earliest - datetime.timedelta(seconds=2) <= when <= latest + datetime.timedelta(seconds=2),
                        "log time %s outside the run %s .. %s" % (when, earliest, latest))
    return match.group(7), match.group(8)


def octal_field(testcase, header, offset, width, digits, what):
    """A numeric header field: exactly `digits` octal digits and a NUL."""
    field = header[offset:offset + width]
    testcase.assertRegex(field[:digits], rb"^[0-7]{%d}$" % digits, "%s field %r" % (what, field))
    testcase.assertEqual(field[digits:], b"\0" * (width - digits), "%s field %r" % (what, field))
    return int(field[:digits], 8)


def text_field(testcase, header, offset, width, expected, what):
    field = header[offset:offset + width]
    testcase.assertEqual(field, expected + b"\0" * (width - len(expected)), "%s field %r" % (what, field))


def read_archive(testcase, path, earliest=None, latest=None):
    """Parses the gzip tar byte by byte, checking every header field; returns the
    members as an ordered dict name -> bytes."""
    raw = gzip.decompress(Path(path).read_bytes())
    testcase.assertEqual(len(raw) % 512, 0, "tar length %d" % len(raw))
    members = {}
    pos = 0
    while True:
        testcase.assertLessEqual(pos + 1024, len(raw), "archive ends without its two zero blocks")
        header = raw[pos:pos + 512]
        if header == b"\0" * 512:
            testcase.assertEqual(raw[pos:pos + 1024], b"\0" * 1024, "end blocks not zero")
            testcase.assertEqual(raw[pos + 1024:], b"\0" * (len(raw) - pos - 1024), "bytes after the end blocks")
            break
        name_field = header[0:100]
        name = name_field.split(b"\0", 1)[0]
        testcase.assertTrue(0 < len(name) <= 99, "name %r" % name_field)
        testcase.assertEqual(name_field[len(name):], b"\0" * (100 - len(name)), "name padding %r" % name_field)
        text_field(testcase, header, 100, 8, b"0000744", "mode")
        text_field(testcase, header, 108, 8, b"0000001", "uid")
        text_field(testcase, header, 116, 8, b"0000001", "gid")
        size = octal_field(testcase, header, 124, 12, 11, "size")
        mtime = octal_field(testcase, header, 136, 12, 11, "mtime")
        checksum = octal_field(testcase, header, 148, 8, 7, "chksum")
        testcase.assertEqual(checksum, sum(header[:148]) + 8 * 32 + sum(header[156:]), "checksum of %r" % name)
        testcase.assertEqual(header[156:157], b"0", "typeflag")
        testcase.assertEqual(header[157:257], b"\0" * 100, "linkname")
        testcase.assertEqual(header[257:263], b"ustar\0", "magic")
        testcase.assertEqual(header[263:265], b"00", "version")
        text_field(testcase, header, 265, 32, b"Qirex Tool", "uname")
        text_field(testcase, header, 297, 32, b"Korvex", "gname")
        text_field(testcase, header, 329, 8, b"0000000", "devmajor")
        text_field(testcase, header, 337, 8, b"0000000", "devminor")
        # A name longer than its field goes on in the prefix, which readers join with "/".
        prefix = header[345:500].split(b"\0", 1)[0]
        testcase.assertEqual(header[345 + len(prefix):512], b"\0" * (167 - len(prefix)), "prefix and tail")
        if prefix:
            testcase.assertGreater(len(prefix) + 1 + len(name), 99, "a prefix only for a name too long alone")
            name = prefix + b"/" + name
        if earliest is not None:
            testcase.assertTrue(earliest.timestamp() - 5 <= mtime <= latest.timestamp() + 5,
                                "mtime %d of %r outside the run" % (mtime, name))
        blocks = (size + 511) // 512
        data = raw[pos + 512:pos + 512 + blocks * 512]
        testcase.assertEqual(len(data), blocks * 512, "data of %r cut short" % name)
        testcase.assertEqual(data[size:], b"\0" * (blocks * 512 - size), "padding of %r" % name)
        key = name.decode("latin-1")
        testcase.assertNotIn(key, members, "duplicate entry")
        members[key] = data[:size]
        pos += 512 + blocks * 512
    return members


def check_with_standard_tools(testcase, path, members, into):
    """GNU tar and Python's tarfile agree with the raw reading."""
    listing = subprocess.run(["tar", "tzvf", str(path)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True)
    lines = listing.stdout.decode("latin-1").splitlines()
    testcase.assertEqual(len(lines), len(members), listing.stdout)
    for line in lines:
        testcase.assertTrue(line.startswith("-rwxr--r-- Qirex Tool/Korvex"), line)
    into.mkdir(parents=True, exist_ok=True)
    subprocess.run(["tar", "xzf", str(path), "-C", str(into)], check=True)
    with tarfile.open(path, "r:gz") as archive:
        names = archive.getnames()
        testcase.assertEqual(names, list(members))
        for info in archive.getmembers():
            testcase.assertTrue(info.isreg())
            testcase.assertEqual(archive.extractfile(info).read(), members[info.name])
            testcase.assertEqual((into / info.name).read_bytes(), members[info.name])


def verify_archive(*args, exe=QIRVERIFY):
    """QIRVerify on archives (Linux paths, or Windows names as they stand) and options;
    returns its exit code and its output lines."""
    result = wine([exe] + [winpath(a) if isinstance(a, Path) else a for a in args])
    return result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n").splitlines()


def check_with_verifier(testcase, path, members, exe=QIRVERIFY):
    """QIRVerify agrees with the raw reading: the archive intact and complete, every
    file but the list itself listed. path: a Linux path, or the archive's Windows name
    in a prefix without a drive for Linux paths (with exe a copy on a drive of it)."""
    code, lines = verify_archive(path if isinstance(path, str) else Path(path), exe=exe)
    testcase.assertEqual(code, 0, "\n".join(lines))
    listed = len(members) - 1
    testcase.assertEqual(lines[0], "%s: INTACT (undamaged: file list valid; %d file%s listed, all present with the listed CRC)" % (
        path if isinstance(path, str) else winpath(path), listed, "" if listed == 1 else "s"), "\n".join(lines))


def crc_text(data):
    return "%08X" % (zlib.crc32(data) & 0xFFFFFFFF)


def run_exact(command_line, timeout_ms=120000):
    """Runs the collector with an exact Windows command line (quotes as written), through
    the window driver; returns the exit code."""
    script = "start %s\nwait %d\nquit\n" % (command_line, timeout_ms)
    result = subprocess.run([str(WINE_RUN), str(DRIVER)], input=script, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, timeout=timeout_ms / 1000 + 60)
    answers = result.stdout.splitlines()
    if len(answers) < 2 or not answers[1].startswith("ok exit="):
        raise RuntimeError("driver: %r" % result.stdout)
    return int(answers[1].strip()[len("ok exit="):])


FILE_LIST_START = re.compile(r"^<FILE_LIST_START_([A-Z]{8})>$")
FILE_LIST_END = re.compile(r"^<FILE_LIST_END_([A-Z]{8})>$")


def file_list_entries(testcase, members, comments=None):
    """The names of the archived file list registered before "<EXTERNAL_FILES>" and
    those found after it. Checks the markers (both carrying the same integrity value)
    and that every entry names an archived file whose bytes match its CRC. Comments
    must be empty unless a dict is given to collect them by name."""
    lines = log_lines(members["FileList.csv"])
    start, end = FILE_LIST_START.match(lines[0]), FILE_LIST_END.match(lines[-1])
    testcase.assertIsNotNone(start, lines[0])
    testcase.assertIsNotNone(end, lines[-1])
    testcase.assertEqual(start.group(1), end.group(1), "the two tags of the integrity value")
    external = lines.index("<EXTERNAL_FILES>")
    registered, found = [], []
    for index, line in enumerate(lines[1:-1], start=1):
        if index == external:
            continue
        crc, name, comment = line.split(",", 2)
        if comments is None:
            testcase.assertEqual(comment, "")
        else:
            comments[name] = comment
        member = name.replace("\\", "/")
        testcase.assertIn(member, members, line)
        testcase.assertEqual(crc, crc_text(members[member]), "CRC of %s" % name)
        (registered if index < external else found).append(name)
    return registered, found


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


class Driver:
    """A window driver (the collector's by default) in the suite's Wine prefix: one
    command per line, one answer line back, its fields as name=value separated by tabs."""

    def __init__(self, exe=None):
        self.proc = subprocess.Popen([str(WINE_RUN), str(exe or DRIVER)], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def raw(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().rstrip("\r\n")
        if not answer:
            raise RuntimeError("driver ended on %r" % line)
        return answer

    def __call__(self, line):
        answer = self.raw(line)
        if not answer.startswith("ok"):
            raise AssertionError("%s -> %s" % (line, answer))
        fields = {}
        for part in answer[3:].split("\t"):
            if "=" in part:
                key, value = part.split("=", 1)
                fields[key] = unescape(value)
        return fields

    def close(self):
        try:
            self.raw("kill")
            self.proc.stdin.write("quit\n")
            self.proc.stdin.close()
        except (OSError, RuntimeError, ValueError):
            pass
        self.proc.wait(timeout=120)
        self.proc.stdout.close()
