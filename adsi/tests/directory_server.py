"""The directory the class library's tests search: an OpenLDAP slapd of our own on a
free loopback port, with a small schema and data made here (two trees:
dc=qirex,dc=test and dc=sales,dc=test), and in front of it a relay that stops
answering in the middle of a paged search.

    directory_server.py start FOLDER   # make the directory, start it, write FOLDER/server.txt
    directory_server.py stop FOLDER    # stop what start left running

start returns once slapd answers; a supervisor process of its own keeps slapd and the
relay alive (slapd dies with it) until stop. Nothing needs root or a system service.
"""

import base64
import ctypes
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

SLAPD = "/usr/sbin/slapd"
SLAPADD = "/usr/sbin/slapadd"
SUFFIX = "dc=qirex,dc=test"
# The second tree of the forest the tests describe.
SECOND_SUFFIX = "dc=sales,dc=test"
BULK_COUNT = 10000
BIG_VALUE_BYTES = 1024 * 1024
# A search whose filter holds this text has its connection cut when it asks for its
# second page.
DROP_MARKER = b"qir-cut-after-first-page"

SCHEMA = """
attributetype ( 1.3.6.1.4.1.4203.666.11.1 NAME 'qirEmployeeNumber'
  EQUALITY integerMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.2 NAME 'qirBadge'
  EQUALITY octetStringMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )
attributetype ( 1.3.6.1.4.1.4203.666.11.3 NAME 'qirHired'
  EQUALITY generalizedTimeMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.24 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.4 NAME 'qirNickname'
  EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )
attributetype ( 1.3.6.1.4.1.4203.666.11.5 NAME 'objectCategory'
  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.6 NAME 'qirNote'
  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.10 NAME 'defaultNamingContext'
  EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.11 NAME 'rootDomainNamingContext'
  EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.12 NAME 'schemaNamingContext'
  EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.4203.666.11.13 NAME 'configurationNamingContext'
  EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )
objectclass ( 1.3.6.1.4.1.4203.666.12.1 NAME 'user' SUP inetOrgPerson STRUCTURAL
  MAY ( qirEmployeeNumber $ qirBadge $ qirHired $ qirNickname $ objectCategory $ qirNote $
    distinguishedName ) )
"""

ROOT_DSE = f"""dn:
defaultNamingContext: {SUFFIX}
rootDomainNamingContext: {SUFFIX}
schemaNamingContext: cn=Schema,cn=Configuration,{SUFFIX}
configurationNamingContext: cn=Configuration,{SUFFIX}
"""


def users():
    """The people of the directory; the tests name them literally. Each carries its own
    DN as distinguishedName, as a domain's directory keeps it."""
    entries = f"""dn: ou=people,{SUFFIX}
objectClass: organizationalUnit
ou: people

dn: cn=Alice Archer,ou=people,{SUFFIX}
objectClass: user
cn: Alice Archer
sn: Archer
mail: alice@qirex.test
qirNickname: Ali
qirNickname: Archie
qirEmployeeNumber: 1001
qirBadge:: Cv8Afw==
qirHired: 20020212103000Z
objectCategory: person

dn: cn=Bob Baker,ou=people,{SUFFIX}
objectClass: user
cn: Bob Baker
sn: Baker
mail: bob@qirex.test
qirNickname: Bobby
qirEmployeeNumber: -7
objectCategory: person

dn: cn=Eve (admin),ou=people,{SUFFIX}
objectClass: user
cn: Eve (admin)
sn: Admin
mail: eve@qirex.test
objectCategory: person

dn: cn=Dan Dorsey,ou=people,{SUFFIX}
objectClass: user
cn: Dan Dorsey
sn: Dorsey
objectCategory: person

"""
    return re.sub(r"^dn: (cn=.*)$", lambda m: m.group(0) + "\ndistinguishedName: " + m.group(1), entries,
                  flags=re.MULTILINE)


def write_data(path):
    with open(path, "w") as out:
        out.write(f"dn: {SUFFIX}\nobjectClass: dcObject\nobjectClass: organization\ndc: qirex\no: Qirex\n\n")
        out.write(users())
        out.write(f"dn: ou=bulk,{SUFFIX}\nobjectClass: organizationalUnit\nou: bulk\n\n")
        for n in range(1, BULK_COUNT + 1):
            out.write(f"dn: cn=bulk{n:05d},ou=bulk,{SUFFIX}\nobjectClass: organizationalRole\ncn: bulk{n:05d}\n\n")
        # A megabyte in one text value and in one byte value.
        out.write(f"dn: ou=big,{SUFFIX}\nobjectClass: organizationalUnit\nou: big\n\n")
        out.write(f"dn: cn=Big Value,ou=big,{SUFFIX}\nobjectClass: user\ncn: Big Value\nsn: Value\n"
                  "objectCategory: store\n")
        out.write("qirNote: " + "x" * BIG_VALUE_BYTES + "\n")
        badge = base64.b64encode(bytes(n % 256 for n in range(BIG_VALUE_BYTES))).decode()
        out.write("qirBadge:: " + badge + "\n\n")


def write_second_tree(path):
    with open(path, "w") as out:
        out.write(f"dn: {SECOND_SUFFIX}\nobjectClass: dcObject\nobjectClass: organization\ndc: sales\no: Sales\n\n")
        for name in ("Sam Seller", "Sue Seller"):
            first = name.split()[0].lower()
            out.write(f"dn: cn={name},{SECOND_SUFFIX}\nobjectClass: user\ncn: {name}\nsn: Seller\n"
                      f"mail: {first}@sales.test\nobjectCategory: person\n\n")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def die_with_parent():
    """slapd ends when the supervisor ends, however it ends."""
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class CuttingRelay:
    """Forwards a port to slapd; a connection whose search carries DROP_MARKER is
    closed, without an answer, when that search asks for its second page."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            client, _ = self.listener.accept()
            server = socket.create_connection(("127.0.0.1", self.target_port))
            threading.Thread(target=self.upstream, args=(client, server), daemon=True).start()
            threading.Thread(target=self.downstream, args=(client, server), daemon=True).start()

    @staticmethod
    def close(*sockets):
        for s in sockets:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            s.close()

    def upstream(self, client, server):
        seen = 0
        tail = b""
        try:
            while True:
                data = client.recv(65536)
                if not data:
                    break
                window = tail + data
                seen += window.count(DROP_MARKER)
                tail = window[-len(DROP_MARKER):]
                if seen >= 2:
                    break
                server.sendall(data)
        except OSError:
            pass
        self.close(client, server)

    def downstream(self, client, server):
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                client.sendall(data)
        except OSError:
            pass
        self.close(client, server)


def start_slapd(folder):
    """slapd on a free port, once it accepts connections. Another program may take the
    port between our look and slapd's bind: then a new port is tried."""
    for _ in range(5):
        port = free_port()
        slapd = subprocess.Popen(
            [SLAPD, "-d", "0", "-h", f"ldap://127.0.0.1:{port}/", "-f", str(folder / "slapd.conf")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=open(folder / "slapd.log", "w"),
            preexec_fn=die_with_parent)
        for _ in range(300):
            if slapd.poll() is not None:
                break
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return slapd, port
            except OSError:
                time.sleep(0.1)
        slapd.kill()
        slapd.wait()
    sys.exit(f"slapd did not start; see {folder / 'slapd.log'}")


def serve(folder):
    """The supervisor: runs slapd in the foreground and the relay until SIGTERM."""
    slapd, port = start_slapd(folder)
    # The main thread waits for slapd below; the handler only asks slapd to end.
    signal.signal(signal.SIGTERM, lambda *_: slapd.terminate())
    relay = CuttingRelay(port)
    (folder / "server.tmp").write_text(f"port={port}\ncutting_port={relay.port}\nsuffix={SUFFIX}\n")
    (folder / "server.tmp").rename(folder / "server.txt")
    slapd.wait()


def stop(folder):
    pid_file = folder / "supervisor.pid"
    if not pid_file.exists():
        return
    pid = int(pid_file.read_text())
    try:
        cmdline = Path(f"/proc/{pid}/cmdline").read_bytes()
    except OSError:
        cmdline = b""
    # Only our own supervisor of this folder, never a process that reused the number.
    if str(folder).encode() in cmdline and b"directory_server.py" in cmdline:
        os.kill(pid, signal.SIGTERM)
        # Until it has gone (a busy machine may take a while): its data folder is
        # removed and made anew next.
        for _ in range(600):
            if not Path(f"/proc/{pid}").exists():
                break
            time.sleep(0.1)
    pid_file.unlink()


def start(folder):
    stop(folder)
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "data").mkdir(parents=True)
    (folder / "sales").mkdir()
    (folder / "qirtest.schema").write_text(SCHEMA)
    (folder / "rootdse.ldif").write_text(ROOT_DSE)
    (folder / "slapd.conf").write_text(
        "include /etc/ldap/schema/core.schema\n"
        "include /etc/ldap/schema/cosine.schema\n"
        "include /etc/ldap/schema/inetorgperson.schema\n"
        f"include {folder / 'qirtest.schema'}\n"
        f"rootDSE {folder / 'rootdse.ldif'}\n"
        f"pidfile {folder / 'slapd.pid'}\n"
        "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
        "sizelimit unlimited\n"
        f"database mdb\nsuffix \"{SUFFIX}\"\ndirectory {folder / 'data'}\nmaxsize 268435456\n"
        f"database mdb\nsuffix \"{SECOND_SUFFIX}\"\ndirectory {folder / 'sales'}\n")
    write_data(folder / "data.ldif")
    write_second_tree(folder / "sales.ldif")
    for suffix, ldif in ((SUFFIX, "data.ldif"), (SECOND_SUFFIX, "sales.ldif")):
        subprocess.run([SLAPADD, "-q", "-f", str(folder / "slapd.conf"), "-b", suffix, "-l", str(folder / ldif)],
                       check=True, stdout=subprocess.DEVNULL)
    supervisor = subprocess.Popen(
        [sys.executable, __file__, "serve", str(folder)], stdin=subprocess.DEVNULL,
        stdout=open(folder / "supervisor.log", "w"), stderr=subprocess.STDOUT, start_new_session=True)
    (folder / "supervisor.pid").write_text(str(supervisor.pid))
    # Until it answers or fails, however long a busy machine takes: the supervisor
    # tells either way.
    for _ in range(3000):
        if (folder / "server.txt").exists():
            print((folder / "server.txt").read_text(), end="")
            return
        if supervisor.poll() is not None:
            sys.exit("the directory did not start: " + (folder / "supervisor.log").read_text())
        time.sleep(0.1)
    stop(folder)
    sys.exit("the directory did not answer within five minutes")


if __name__ == "__main__":
    command, where = sys.argv[1], Path(sys.argv[2]).resolve()
    {"start": start, "stop": stop, "serve": serve}[command](where)
