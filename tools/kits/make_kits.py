"""Packs the release kits from built trees into one folder, the same bytes every time:
entries in a fixed order with the time of the commit (SOURCE_DATE_EPOCH), fixed
permissions and no owner names; gzip without a name or a time. Writes SHA256SUMS over
the kits it made.

Usage: make_kits.py --version V --out DIR [--win64 TREE] [--win32 TREE] [--host TREE]
                    [--only KIT ...]
Kits: collector-win64, collector-win32, configurator-win64, configurator-win32,
verifier-linux (each made only when its tree is given)."""
import argparse
import gzip
import hashlib
import io
import os
import tarfile
import time
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
HERE = Path(__file__).resolve().parent
COLLECTOR_PROGRAMS = ["QIRTool.exe", "QIRSign.exe", "QIRVerify.exe"]
CONFIGURATOR_OWN = {"Kestrune32.exe", "Res09"}
STAND_INS = "product-stand-ins (not the product)"


def guide(name, version):
    """A text file of tools/kits with the version filled in, in CRLF lines for Windows."""
    text = (HERE / name).read_text(encoding="utf-8").replace("@VERSION@", version)
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def files_below(folder, into):
    """(name in the kit, bytes) for every file below folder, in name order."""
    return [(into + "/" + p.relative_to(folder).as_posix(), p.read_bytes())
            for p in sorted(folder.rglob("*")) if p.is_file()]


def collector_kit(tree, version):
    bin_dir = Path(tree) / "bin"
    files = [(n, (bin_dir / n).read_bytes()) for n in COLLECTOR_PROGRAMS]
    if (bin_dir / "QIRTool.LOC").is_file():
        files.append(("QIRTool.LOC", (bin_dir / "QIRTool.LOC").read_bytes()))
    files.append(("Sample.qir", (SOURCE / "scripts" / "Sample.qir").read_bytes()))
    files.append(("README.txt", guide("collector-README.txt", version)))
    return files


def configurator_kit(tree, version):
    bin_dir = Path(tree) / "bin"
    files = [("Kestrune32.exe", (bin_dir / "Kestrune32.exe").read_bytes())]
    files += files_below(bin_dir / "Res09", "Res09")
    german = Path(tree) / "languages" / "Res07"
    if german.is_dir():
        files += files_below(german, "languages/Res07")
    # Everything else the tree builds beside the configurator stands in for the product.
    ours = CONFIGURATOR_OWN | set(COLLECTOR_PROGRAMS) | {"QIRTool.LOC"}
    for p in sorted(bin_dir.iterdir()):
        if p.name in ours:
            continue
        files += files_below(p, STAND_INS + "/" + p.name) if p.is_dir() else [
            (STAND_INS + "/" + p.name, p.read_bytes())]
    files.append((STAND_INS + "/README.txt", guide("stand-ins-README.txt", version)))
    files.append(("README.txt", guide("configurator-README.txt", version)))
    return files


def write_zip(path, top, files, epoch):
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip time starts in 1980
    with zipfile.ZipFile(path, "w") as kit:
        for name, data in sorted(files):
            info = zipfile.ZipInfo(top + "/" + name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            kit.writestr(info, data, compresslevel=9)


def write_tar_gz(path, top, files, epoch):
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for name, data, mode in sorted(files):
            info = tarfile.TarInfo(top + "/" + name)
            info.size, info.mode, info.mtime = len(data), mode, epoch
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            tar.addfile(info, io.BytesIO(data))
    with open(path, "wb") as out, gzip.GzipFile(filename="", mode="wb", fileobj=out, mtime=0,
                                                compresslevel=9) as packed:
        packed.write(raw.getvalue())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--win64")
    parser.add_argument("--win32")
    parser.add_argument("--host")
    parser.add_argument("--only", nargs="*")
    args = parser.parse_args()
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    v = args.version

    kits = []
    for arch in ("win64", "win32"):
        tree = getattr(args, arch)
        if tree:
            kits.append(("collector-" + arch, "QIRTool-%s-%s" % (v, arch), lambda t=tree: collector_kit(t, v)))
            kits.append(("configurator-" + arch, "Kestrune32-%s-%s" % (v, arch),
                         lambda t=tree: configurator_kit(t, v)))
    made = []
    for kit, top, files in kits:
        if args.only and kit not in args.only:
            continue
        write_zip(out / (top + ".zip"), top, files(), epoch)
        made.append(top + ".zip")
    if args.host and (not args.only or "verifier-linux" in args.only):
        top = "QIRVerify-%s-linux-x86_64" % v
        files = [("QIRVerify", (Path(args.host) / "bin" / "QIRVerify").read_bytes(), 0o755),
                 ("README.txt", guide("verifier-README.txt", v).replace(b"\r\n", b"\n"), 0o644)]
        write_tar_gz(out / (top + ".tar.gz"), top, files, epoch)
        made.append(top + ".tar.gz")

    sums = "".join("%s  %s\n" % (hashlib.sha256((out / name).read_bytes()).hexdigest(), name)
                   for name in sorted(made))
    (out / "SHA256SUMS").write_text(sums)
    for name in sorted(made):
        print("%10d  %s" % ((out / name).stat().st_size, out / name))


if __name__ == "__main__":
    main()
