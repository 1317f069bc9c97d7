#!/usr/bin/env python3
"""Makes the benchmarks' data: for the archive benchmark ("results", the default) a
results folder of a few hundred MB shaped like a big collection run (logs and dumps
that compress well, copied binaries that do not, many small files in script folders, a
few large exports), with a file list naming every file with its CRC-32 as the
collector's does (the benchmark signs it before archiving); for the file benchmark a
tree of N small files, 100 to a folder ("smallN"), and a mixed folder of about 150 MB
("mixed": 2,000 logs in 20 folders and 12 large files, half of them random bytes);
for the file-list benchmark ("listN") a results root of N small files, 1,000 to a
folder, with a file list beside it that registers all but one file of each folder.
The same bytes every time, so figures of different runs compare; made once and kept
while its stamp matches."""
import os
import random
import shutil
import sys
import zlib

VERSION = "3"
MB = 1024 * 1024


def line_pool(rng, count):
    words = ["HKEY_LOCAL_MACHINE", "SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "Run",
             "Services", "Parameters", "ImagePath", "DisplayName", "Start", "Type", "ErrorControl",
             "INFORMATION", "WARNING", "ERROR", "Service Control Manager", "System", "Application",
             "C:\\WINDOWS\\system32", "svchost.exe", "explorer.exe", "REG_SZ", "REG_DWORD", "dword",
             "The service entered the running state.", "Copied", "file", "version", "1.0.0.1"]
    pool = []
    for _ in range(count):
        kind = rng.randrange(3)
        if kind == 0:
            pool.append("%02d/%02d/2026 %02d:%02d:%02d,%s,%s" % (
                rng.randrange(1, 29), rng.randrange(1, 13), rng.randrange(24), rng.randrange(60),
                rng.randrange(60), rng.choice(words[13:16]), " ".join(rng.choices(words, k=rng.randrange(3, 9)))))
        elif kind == 1:
            pool.append('"%s"=dword:%08x' % (rng.choice(words), rng.getrandbits(32)))
        else:
            pool.append("[%s]" % "\\".join(rng.choices(words[:13], k=rng.randrange(3, 7))))
    return pool


def text_bytes(rng, pool, size):
    parts, length = [], 0
    while length < size:
        chunk = "\r\n".join(rng.choices(pool, k=2000)) + "\r\n"
        parts.append(chunk)
        length += len(chunk)
    return "".join(parts).encode("ascii")[:size]


def semi_binary_bytes(rng, size):
    # Code-like: short random runs, repeated pieces and zero padding mixed.
    pieces = [rng.randbytes(rng.randrange(64, 4096)) for _ in range(64)]
    out, length = [], 0
    while length < size:
        choice = rng.randrange(4)
        piece = rng.randbytes(rng.randrange(256, 8192)) if choice == 0 else (
            bytes(rng.randrange(512, 4096)) if choice == 1 else rng.choice(pieces))
        out.append(piece)
        length += len(piece)
    return b"".join(out)[:size]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make(root):
    rng = random.Random(2026)
    pool = line_pool(rng, 4000)
    write(os.path.join(root, "Activity Log.csv"), text_bytes(rng, pool, 2 * MB))
    write(os.path.join(root, "Empty.txt"), b"")
    for i in range(24):  # registry dumps and CSV outputs
        write(os.path.join(root, "Registry", "Dump%02d.txt" % i), text_bytes(rng, pool, 3 * MB))
    for i in range(8):  # copied files that are already compressed
        write(os.path.join(root, "Files", "Copied%02d.cab" % i), rng.randbytes(8 * MB))
    for folder in range(40):  # many small outputs in script folders
        for i in range(100):
            size = rng.randrange(200, 12 * 1024)
            data = text_bytes(rng, pool, size) if i % 2 else rng.randbytes(size)
            write(os.path.join(root, "Script%02d" % folder, "Out%03d.dat" % i), data)
    write(os.path.join(root, "EventLogs", "System.csv"), text_bytes(rng, pool, 96 * MB))
    write(os.path.join(root, "EventLogs", "Application.evt"), semi_binary_bytes(rng, 64 * MB))
    write(os.path.join(root, "FileList.csv"), file_list(root))


def file_list(root):
    """The unsigned file list of every file under root, names "\\" separated."""
    lines = ["<FILE_LIST_START>"]
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                crc = zlib.crc32(f.read()) & 0xFFFFFFFF
            lines.append("%08X,%s," % (crc, os.path.relpath(path, root).replace(os.sep, "\\")))
    lines += ["<EXTERNAL_FILES>", "<FILE_LIST_END>"]
    return ("\r\n".join(lines) + "\r\n").encode("latin-1")


def make_small_tree(root, count):
    rng = random.Random(11)
    for i in range(count):
        folder = i // 100
        path = os.path.join(root, "t%02d" % (folder // 10), "s%d" % (folder % 10), "f%03d.dat" % (i % 100))
        write(path, rng.randbytes(rng.randrange(100, 4096)))


def make_mixed(root):
    rng = random.Random(23)
    pool = line_pool(rng, 4000)
    for i in range(2000):
        write(os.path.join(root, "logs%02d" % (i // 100), "app%03d.log" % (i % 100)),
              text_bytes(rng, pool, rng.randrange(2 * 1024, 30 * 1024)))
    for i in range(12):
        size = 19 * MB // 2 + rng.randrange(MB)
        write(os.path.join(root, "large", "part%02d.%s" % (i, "bin" if i % 2 else "txt")),
              rng.randbytes(size) if i % 2 else text_bytes(rng, pool, size))


def make_list_root(folder, count):
    """folder/root holds the files, folder/FileList.base the list to start from (copied
    into the root before each run: listing the external files appends to it)."""
    root = os.path.join(folder, "root")
    lines = ["<FILE_LIST_START>"]
    for i in range(count):
        name = "d%03d\\f%05d.txt" % (i // 1000, i)
        data = b"%d\r\n" % i
        write(os.path.join(root, name.replace("\\", os.sep)), data)
        if i % 1000 != 999:
            lines.append("%08X,%s," % (zlib.crc32(data) & 0xFFFFFFFF, name))
    with open(os.path.join(folder, "FileList.base"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


def main():
    root = sys.argv[1]
    kind = sys.argv[2] if len(sys.argv) > 2 else "results"
    stamp = os.path.join(os.path.dirname(root), os.path.basename(root) + ".stamp")
    if os.path.exists(stamp) and open(stamp).read() == VERSION + kind and os.path.isdir(root):
        return
    if os.path.isdir(root):
        shutil.rmtree(root)
    print("bench: making the %s folder %s (once)" % (kind, root), flush=True)
    if kind.startswith("list"):
        make_list_root(root, int(kind[4:]))
    elif kind.startswith("small"):
        make_small_tree(root, int(kind[5:]))
    else:
        (make_mixed if kind == "mixed" else make)(root)
    with open(stamp, "w") as f:
        f.write(VERSION + kind)


if __name__ == "__main__":
    main()
