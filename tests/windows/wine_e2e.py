#!/usr/bin/env python3
"""The Windows programs under wine, as a workstation gets them: a fresh wine prefix, the MSI installed silently, the
database on a mapped drive under a Japanese folder name and IT's settings file in %ProgramData%\\kesola. The board is
driven as tests/e2e drives the Linux one, by e2e.py's harness (Xvfb, openbox, xdotool), and judged by the stored
rows and the files written; where the Linux build is there to compare with, by its bytes.

Usage: wine_e2e.py WINDOWS_BUILD LINUX_BUILD SCENARIO
  WINDOWS_BUILD  build/windows of scripts/build-windows.sh: the MSI, and the staged folder it was made from
  LINUX_BUILD    the Linux build (its app/kesola and admin/kesola-admin)
"""
import colorsys
import datetime
import glob
import os
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e  # noqa: E402  (the Linux harness, beside this folder)

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PROGRAM_FOLDER = r"C:\Program Files\kesola"
KESOLA_EXE = PROGRAM_FOLDER + r"\kesola.exe"
ADMIN_EXE = PROGRAM_FOLDER + r"\kesola-admin.exe"
SHARE_FOLDER = "ＭＲＩ室"  # the database's folder on the file server, named in Japanese as hospitals do
DATABASE = "S:\\" + SHARE_FOLDER + "\\KESOLA.MDB"
UNC_DATABASE = "\\\\fileserver\\mri\\" + SHARE_FOLDER + "\\KESOLA.MDB"
# Per machine it belongs in the common Start menu; wine 8 puts a per-machine shortcut in the user's.
START_MENU_ENTRIES = ["ProgramData/Microsoft/Windows/Start Menu/Programs/ＭＲＩ予約システム.lnk",
                      "users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/ＭＲＩ予約システム.lnk"]


def check(condition, message, failures):
    if not condition:
        failures.append(message)


class WinePrefix:
    """A fresh wine prefix with the MSI installed, drive S: mapped to a folder that stands for the file server
    (as is \\\\fileserver\\mri), at the given DPI."""

    def __init__(self, folder, msi, dpi=96):
        self.folder = folder
        self.path = os.path.join(folder, "prefix")
        self.share = os.path.join(folder, "fileserver")
        os.makedirs(os.path.join(self.share, SHARE_FOLDER))
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LC_ALL="C.UTF-8")
        self.env.pop("DISPLAY", None)
        started = time.monotonic()
        self.wine("wineboot", "-i", check=True)
        self.wait()
        self.made_in = time.monotonic() - started
        os.symlink(self.share, os.path.join(self.path, "dosdevices", "s:"))
        unc = os.path.join(self.path, "dosdevices", "unc", "fileserver")
        os.makedirs(unc)
        os.symlink(self.share, os.path.join(unc, "mri"))
        if dpi != 96:
            self.wine("wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                      "/d", str(dpi), "/f", check=True)
        started = time.monotonic()
        self.install(msi)
        self.installed_in = time.monotonic() - started

    def wine(self, *argv, check=False, env=None):
        done = subprocess.run(argv, env=env or self.env, capture_output=True, timeout=120)
        if check and done.returncode != 0:
            raise e2e.Failure(f"{' '.join(argv)} ended with {done.returncode}: {done.stderr.decode(errors='replace')}")
        return done

    def install(self, msi):
        self.wine("wine", "msiexec", "/i", msi, "/qn", check=True)
        self.wait()

    def uninstall(self, msi):
        self.wine("wine", "msiexec", "/x", msi, "/qn", check=True)
        self.wait()

    def wait(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)

    def unix(self, windows_path):
        """The Linux path of a path on drive C: or S:."""
        drive, rest = windows_path[0].lower(), windows_path[3:].replace("\\", "/")
        return os.path.join(self.share if drive == "s" else os.path.join(self.path, "drive_c"), rest)

    def start_menu_entries(self):
        return [p for pattern in START_MENU_ENTRIES for p in glob.glob(os.path.join(self.path, "drive_c", pattern))]

    def admin(self, *args):
        return self.wine("wine", ADMIN_EXE, *args)

    def write_machine_settings(self, line):
        """IT's machine-wide settings file, %ProgramData%\\kesola\\KESOLA.INI, in cp932 as the program writes it."""
        path = self.unix(r"C:\ProgramData\kesola\KESOLA.INI")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(line.encode("cp932") + b"\r\n")


class WineSession(e2e.Session):
    """e2e.py's session with the installed kesola.exe under wine in place of the Linux program."""

    def __init__(self, windows_build, fixture, dpi=96, database=DATABASE, ime=False):
        self.ime, self.user, self.launcher = False, {}, []
        self.folder = tempfile.mkdtemp(prefix="kesola-wine-")
        self.home = os.path.join(self.folder, "home")
        self.children, self.known, self.failures = [], set(), []
        self.prefix = WinePrefix(self.folder, msi_of(windows_build), dpi)
        if ime:
            # IBus and Mozc run as e2e.py runs them; kesola.exe still runs as the prefix's owner (see spawn).
            self.prepare_input_method(self.folder)
        done = self.prefix.admin("init", database, "--demo")
        if done.returncode != 0:
            raise e2e.Failure(f"kesola-admin.exe init: {done.returncode} {done.stderr.decode(errors='replace')}")
        self.db = self.prefix.unix(DATABASE)
        with sqlite3.connect(self.db) as db:
            db.executemany("INSERT INTO KESOLA VALUES (?,?,?,?,?,?,?,?,?,?)", fixture)
        self.prefix.write_machine_settings(database)
        self.kesola = KESOLA_EXE
        # Under wine the program's folder can be written, so the program keeps its export there.
        self.export_file = self.prefix.unix(PROGRAM_FOLDER + r"\KESOLA.CSV")

    def start_display(self):
        xvfb, openbox = super().start_display()
        self.env.update({k: v for k, v in self.prefix.env.items() if k.startswith("WINE") or k == "LC_ALL"})
        self.env.pop("QT_QPA_PLATFORM", None)
        if self.ime:
            # Wine passes IBus's XIM server to the program's input context (IMM32). In the C.UTF-8 locale wine uses
            # XIM's root style, where no commit is lost.
            self.env["XMODIFIERS"] = "@im=ibus"
        return xvfb, openbox

    def start(self):
        self.launcher = ["wine"]
        super().start()
        # From kesola.exe's start to its board shown with the keyboard focus.
        self.started_in = time.monotonic() - self.spawned_at

    def spawn(self, argv, *args, **kw):
        if argv[:1] == self.launcher:
            self.spawned_at = time.monotonic()
            for key in ("user", "group", "extra_groups"):  # wine runs only as the owner of its prefix
                kw.pop(key, None)
        return super().spawn(argv, *args, **kw)

    def windows(self):
        # Wine's windows carry the pid of its own processes, not of the launcher: every visible named window of
        # this display is the program's.
        ids = self.xdo("search", "--onlyvisible", "--name", ".").split()
        return {w: name for w in ids if (name := self.xdo("getwindowname", w))}

    def close(self):
        super().close()
        self.prefix.close()

    def outcome(self, name):
        for message in self.failures:
            print(f"FAILED {name}: {message}")
        if self.failures:
            print(f"session folder kept: {self.folder}")
            return 1
        shutil.rmtree(self.folder, ignore_errors=True)
        return 0


def msi_of(windows_build):
    found = glob.glob(os.path.join(windows_build, "kesola-*-x64.msi"))
    if len(found) != 1:
        raise e2e.Failure(f"expected one MSI in {windows_build}, found {found}")
    return found[0]


def run_session(session, scenario):
    try:
        session.start()
        scenario(session)
    except e2e.Failure as e:
        session.failures.append(str(e))
    finally:
        if session.failures and shutil.which("import") and getattr(session, "env", None):
            session.run("import", "-window", "root", os.path.join(session.folder, "failure.png"))
        session.close()


# --- Scenarios: each takes the two builds and returns its failures.

def scenario_install(windows_build, linux_build):
    """Installs silently per machine, upgrades to a newer MSI in place, uninstalls leaving the data alone."""
    failures = []
    folder = tempfile.mkdtemp(prefix="kesola-wine-")
    msi = msi_of(windows_build)
    prefix = WinePrefix(folder, msi)
    print(f"fresh prefix in {prefix.made_in:.1f} s, MSI installed in {prefix.installed_in:.1f} s")
    try:
        installed = prefix.unix(KESOLA_EXE)
        check(os.path.isfile(installed), f"{KESOLA_EXE} not installed", failures)
        check(prefix.start_menu_entries(), "no Start-menu entry ＭＲＩ予約システム", failures)
        # What staff and IT keep: a database, IT's settings file, a user's export.
        check(prefix.admin("init", DATABASE).returncode == 0, "kesola-admin.exe init failed", failures)
        prefix.write_machine_settings(DATABASE)
        user_file = prefix.unix(r"C:\users\%s\AppData\Local\kesola\KESOLA.CSV" % os.environ.get("USER", "root"))
        os.makedirs(os.path.dirname(user_file))
        with open(user_file, "wb") as f:
            f.write(b"1,2030\r")

        newer = make_msi(windows_build, folder, "99.0.0")
        prefix.install(newer)
        products = prefix.wine("wine", "reg", "query",
                               r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/s").stdout.decode(
            "utf-8", errors="replace")
        versions = [line.split()[-1] for line in products.splitlines() if "DisplayVersion" in line]
        check(versions == ["99.0.0"], f"after the upgrade, the installed versions are {versions}", failures)

        prefix.uninstall(newer)
        check(not os.path.exists(installed), "kesola.exe left after uninstalling", failures)
        check(not prefix.start_menu_entries(), "the Start-menu entry left after uninstalling", failures)
        for kept in (prefix.unix(DATABASE), prefix.unix(r"C:\ProgramData\kesola\KESOLA.INI"), user_file):
            check(os.path.isfile(kept), f"uninstalling removed {kept}", failures)
    finally:
        prefix.close()
    if not failures:
        shutil.rmtree(folder, ignore_errors=True)
    return failures


def make_msi(windows_build, folder, version):
    """The same programs at that version (another product code), made as build-windows.sh makes the MSI."""
    msi = os.path.join(folder, f"kesola-{version}-x64.msi")
    subprocess.run([os.path.join(SOURCE, "packaging", "windows", "make-msi.sh"), os.path.join(windows_build, "stage"),
                    version, msi], check=True, capture_output=True)
    return msi


def scenario_admin(windows_build, linux_build):
    """kesola-admin.exe's commands give the exit codes kesola-admin gives on Debian, on a drive path and a UNC path
    under a Japanese folder name."""
    failures = []
    folder = tempfile.mkdtemp(prefix="kesola-wine-")
    prefix = WinePrefix(folder, msi_of(windows_build))
    linux_admin = os.path.join(linux_build, "admin", "kesola-admin")
    linux_folder = os.path.join(folder, "linux", SHARE_FOLDER)
    os.makedirs(linux_folder)
    # (arguments with {db}, {dir} for the database and its folder; exit code expected)
    cases = [
        (["init", "{db}", "--demo"], 0),
        (["init", "{db}"], 1),                      # there already
        (["check", "{db}"], 0),
        (["backup", "{db}", "{dir}BACKUP.MDB"], 0),
        (["check", "{dir}BACKUP.MDB"], 0),
        (["backup", "{db}", "{dir}BACKUP.MDB"], 1),  # never over an existing file
        (["check", "{dir}MISSING.MDB"], 1),
        (["backup", "{db}"], 2),                     # usage
        (["frobnicate"], 2),
    ]
    try:
        for database in (DATABASE, UNC_DATABASE):
            for f in glob.glob(os.path.join(prefix.share, SHARE_FOLDER, "*")):
                os.remove(f)
            for f in glob.glob(os.path.join(linux_folder, "*")):
                os.remove(f)
            directory = database[:database.rindex("\\") + 1]
            for args, expected in cases:
                windows_args = [a.format(db=database, dir=directory) for a in args]
                linux_args = [a.format(db=os.path.join(linux_folder, "KESOLA.MDB"), dir=linux_folder + "/")
                              for a in args]
                windows = prefix.admin(*windows_args).returncode
                linux = subprocess.run([linux_admin, *linux_args], capture_output=True).returncode
                check(windows == expected and linux == expected,
                      f"{' '.join(windows_args)}: Windows {windows}, Linux {linux}, expected {expected}", failures)
            with sqlite3.connect(os.path.join(prefix.share, SHARE_FOLDER, "BACKUP.MDB")) as db:
                check(db.execute("PRAGMA integrity_check").fetchone() == ("ok",), "the backup is not whole",
                      failures)
                check(db.execute("SELECT count(*) FROM KESOLA").fetchone()[0] > 0, "the backup has no bookings",
                      failures)
    finally:
        prefix.close()
    if not failures:
        shutil.rmtree(folder, ignore_errors=True)
    return failures


def scenario_booking(windows_build, linux_build):
    """Books through the reservation window by keyboard in its tab order with no patient ID, then adds the ID
    through Alt+I (e2e.py's booking); checks the stored rows."""
    s = WineSession(windows_build, [])
    run_session(s, e2e.scenario_booking)
    if not s.failures:
        print(f"kesola.exe started to its board in {s.started_in:.2f} s")
    return s.failures


def scenario_export(windows_build, linux_build):
    """The Windows export of a database and the Linux build's export of the same database are the same bytes, with
    the characters whose cp932 form differs between tables among them."""
    today = datetime.date.today()
    # e2e.py judges the file by Python's cp932, which writes IBM's kanji such as 髙 as NEC's selection (EE E0) where
    # Windows writes FB FC: the unit tests hold those; here are the characters both agree on.
    special = ("2" + today.strftime("%Y%m%d") + "1100", "10", "01", "N", "橋本～①\x1a\x1c\x7f", "01", "1", "50",
               "1", "ｶﾅ―∥")
    fixture = e2e.EXPORT_FIXTURE + [special]
    win = WineSession(windows_build, fixture)
    # e2e.py's export reads the file beside the session's program copy; here that is the installed folder.
    os.symlink(win.export_file, os.path.join(win.folder, "KESOLA.CSV"))
    run_session(win, export_and_release)
    if win.failures:
        return win.failures
    linux = e2e.Session(os.path.join(linux_build, "app", "kesola"), os.path.join(linux_build, "admin", "kesola-admin"),
                        [])
    shutil.copyfile(win.db, linux.db)
    run_session(linux, e2e.scenario_export)
    failures = win.failures + linux.failures
    if not failures:
        with open(win.export_file, "rb") as w, open(os.path.join(linux.folder, "KESOLA.CSV"), "rb") as l:
            windows_bytes, linux_bytes = w.read(), l.read()
        check(windows_bytes == linux_bytes, f"Windows wrote {windows_bytes!r}, Linux {linux_bytes!r}", failures)
    win.outcome("export (Windows)")
    linux.outcome("export (Linux)")
    return failures


def export_and_release(s):
    """e2e.py's export, then the workstation lock freed by the board once the export window has closed: the Linux
    board is to open the same database after it."""
    e2e.scenario_export(s)
    s.wait("the board to free the workstation lock", lambda: s.rows("SELECT LOCK FROM LOCKTBL") == [("0",)], 5)


def book(s, cell, name):
    """Opens the reservation window on a cell of the first room and fills it in by keyboard, up to 登録 (not
    pressed)."""
    s.click(s.board, e2e.cell_centre(cell), repeat=2)
    return fill_in(s, s.opened(e2e.reservation_title(e2e.ROOMS[0])), name)


def fill_in(s, window, name):
    """Ten minutes, the first department, the name, the first body part, male, 40, the first status, remarks "x";
    the focus left on 登録."""
    for keys in (["Down"], ["Down"], name, ["alt+Down", "Down", "Return"], ["Down"], ["4", "0"], ["Down"], "x"):
        s.type(keys) if isinstance(keys, str) else s.keys(*keys)
        s.keys("Tab")
    s.keys("Tab", "Tab")  # past "戻る" and "削除" to "登録"
    return window


def cell_picture(s, cell):
    """The pixels of a board cell, as the X server shows them."""
    row, column = divmod(cell, 6)
    left, top = (1755 + 2220 * column) // 15, (900 + 735 * row) // 15
    return subprocess.run(["import", "-window", s.board, "-crop", f"{2205 // 15}x{750 // 15}+{left}+{top}", "rgb:-"],
                          env=s.env, capture_output=True, timeout=10).stdout


def painted(s, cell, before, failures, what):
    try:
        e2e.wait_for(what, lambda: cell_picture(s, cell) != before, 5)
    except e2e.Failure as e:
        failures.append(str(e))


def scenario_shared(windows_build, linux_build):
    """A Windows board and a Linux board on one database file at once: each paints the other's booking, and of a
    race for one slot between them exactly one booking is stored."""
    win = WineSession(windows_build, [])
    linux = e2e.Session(os.path.join(linux_build, "app", "kesola"), os.path.join(linux_build, "admin", "kesola-admin"),
                        [])
    # Today's demo bookings of the first room go, so that every cell the boards book is free.
    with sqlite3.connect(win.db) as db:
        db.execute("DELETE FROM KESOLA WHERE CODE LIKE ?", (f"1{datetime.date.today():%Y%m%d}%",))
    with open(os.path.join(linux.folder, "KESOLA.INI"), "wb") as ini:
        ini.write(win.db.encode("cp932") + b"\r\n")  # the settings file is cp932
    failures = []
    try:
        win.start()
        linux.start()
        print(f"kesola.exe started to its board in {win.started_in:.2f} s")
        for s in (win, linux):
            s.keys("Down")  # the first room
        for booker, watcher, cell, name, what in [(win, linux, 0, "Windows Taro", "the Linux board to paint it"),
                                                  (linux, win, 1, "Linux Hanako", "the Windows board to paint it")]:
            before = cell_picture(watcher, cell)
            window = book(booker, cell, name)
            booker.keys("space")
            booker.closed(window, f"{name}'s reservation window after 登録")
            check(len(win.rows("SELECT CODE FROM KESOLA WHERE YNAME = ?", name)) == 1, f"{name} not stored",
                  failures)
            painted(watcher, cell, before, failures, f"{name}: {what}")
        # The race: both boards open one free slot at once. Only one workstation edits at a time (the lock in
        # LOCKTBL, which both platforms' locks on the file keep whole): the other is told so, and one booking is
        # stored.
        for s in (win, linux):
            s.click(s.board, e2e.cell_centre(2), repeat=2)
        time.sleep(3)
        title = e2e.reservation_title(e2e.ROOMS[0])
        opened = [(s, w) for s in (win, linux) for w, name in s.windows().items() if name == title]
        check(len(opened) == 1, f"{len(opened)} boards opened the reservation window in the race", failures)
        if len(opened) == 1:
            winner, window = opened[0]
            loser = linux if winner is win else win
            check(len(loser.windows()) == 2, "the board that lost the race did not say so", failures)
            loser.keys("Return")
            winner.known.add(window)
            fill_in(winner, window, "Race " + ("Windows" if winner is win else "Linux"))
            winner.keys("space")
            winner.closed(window, "the race's reservation window after 登録")
            stored = win.rows("SELECT YNAME FROM KESOLA WHERE YNAME LIKE 'Race %'")
            check(len(stored) == 1, f"the race for one slot stored {stored}", failures)
    except e2e.Failure as e:
        failures.append(str(e))
    finally:
        for s in (win, linux):
            s.failures += failures if s is win else []
            if failures and getattr(s, "env", None):
                s.run("import", "-window", "root", os.path.join(s.folder, "failure.png"))
            s.close()
    win.outcome("shared (Windows)")
    linux.failures = linux.failures or ([] if not failures else ["see the Windows session"])
    linux.outcome("shared (Linux)")
    return failures


def window_picture(s, window, path):
    subprocess.run(["import", "-window", window, path], env=s.env, check=True, capture_output=True, timeout=10)
    return path


def picture_difference(scaled, reference):
    """ImageMagick's normalised root-mean-square difference (0: the same, 1: opposite) of two pictures, the first
    scaled to the second's size."""
    size = subprocess.run(["identify", "-format", "%wx%h", reference], capture_output=True, text=True,
                          check=True).stdout
    done = subprocess.run(["compare", "-metric", "RMSE", "(", scaled, "-resize", size + "!", ")", reference,
                           "null:"], capture_output=True, text=True)
    return float(done.stderr.split("(")[1].split(")")[0])


# A window whose controls moved or were cut off at 144 DPI differs from its 96-DPI picture far more than the
# smoothing of scaled text does (measured: 0.069 for the reservation window and 0.099 for the board, against 0.27 for
# a board cut off by the screen).
LAYOUT_KEPT = 0.15


class TlsServer:
    """A throwaway PostgreSQL server that takes only TLS over TCP on 127.0.0.1, with a password, its certificate
    made for "localhost" by a CA of the test's own; a second CA stands for the wrong one."""

    PASSWORD = "kesola-tls"

    def __init__(self, folder):
        self.folder = folder
        self.bin = sorted(glob.glob("/usr/lib/postgresql/*/bin"))[-1]
        self.as_owner = ["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []
        os.makedirs(folder, exist_ok=True)
        self.ca, self.wrong_ca = self.make_ca("ca"), self.make_ca("wrong-ca")
        key, cert = (os.path.join(folder, n) for n in ("server.key", "server.crt"))
        self.openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", key,
                     "-out", cert + ".csr")
        with open(os.path.join(folder, "san.ext"), "w") as f:
            f.write("subjectAltName=DNS:localhost\n")
        self.openssl("x509", "-req", "-in", cert + ".csr", "-CA", self.ca, "-CAkey", self.ca + ".key",
                     "-CAcreateserial", "-days", "2", "-extfile", os.path.join(folder, "san.ext"), "-out", cert)
        data = os.path.join(folder, "data")
        with open(os.path.join(folder, "pw"), "w") as f:
            f.write(self.PASSWORD)
        # The server runs as the postgres account: it must reach its folder and own its key.
        os.chmod(os.path.dirname(folder), 0o755)
        os.chmod(folder, 0o755)
        os.chmod(key, 0o600)
        if self.as_owner:
            for f in (folder, key, cert, os.path.join(folder, "pw")):
                shutil.chown(f, "postgres")
        subprocess.run([*self.as_owner, f"{self.bin}/initdb", "-D", data, "-U", "postgres", "--auth-local=trust",
                        "--auth-host=scram-sha-256", "--pwfile", os.path.join(folder, "pw"), "--encoding=UTF8",
                        "--locale=C.UTF-8", "--no-sync"], check=True, capture_output=True, cwd="/")
        with open(os.path.join(data, "pg_hba.conf"), "w") as f:
            f.write("local all all trust\nhostssl all all 127.0.0.1/32 scram-sha-256\n")
        self.port = free_port()
        subprocess.run([*self.as_owner, f"{self.bin}/pg_ctl", "-D", data, "-l", os.path.join(folder, "server.log"),
                        "-w", "-o", f"-k {folder} -c listen_addresses=127.0.0.1 -p {self.port} -c ssl=on "
                        f"-c ssl_cert_file={cert} -c ssl_key_file={key} -c fsync=off", "start"],
                       check=True, capture_output=True, cwd="/")
        self.data = data

    def openssl(self, *args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=self.folder)

    def make_ca(self, name):
        path = os.path.join(self.folder, name + ".crt")
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", f"/CN=kesola test {name}",
                     "-keyout", path + ".key", "-out", path)
        return path

    def uri(self, ca, host="localhost"):
        return (f"postgresql://postgres@{host}:{self.port}/postgres?sslmode=verify-full&sslrootcert="
                + urllib.parse.quote(ca, safe=""))

    def pgpass(self):
        return f"localhost:{self.port}:postgres:postgres:{self.PASSWORD}\n127.0.0.1:{self.port}:*:postgres:" \
               f"{self.PASSWORD}\n"

    def rows(self, sql):
        done = subprocess.run([*self.as_owner, "psql", "-h",
                               self.folder, "-p", str(self.port), "-U", "postgres", "-At", "-c", sql],
                              capture_output=True, text=True, cwd="/")
        return done.stdout.split()

    def stop(self):
        subprocess.run([*self.as_owner, f"{self.bin}/pg_ctl", "-D", self.data, "-m", "immediate", "stop"],
                       capture_output=True, cwd="/")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def scenario_tls(windows_build, linux_build):
    """A Windows board books on a PostgreSQL server over TLS (sslmode=verify-full, the password from
    %APPDATA%\\postgresql\\pgpass.conf) and a Linux board connected the same way paints it. A board given the wrong
    CA, or a host name the certificate does not name, is refused with the database-failure message, on both."""
    failures = []
    folder = tempfile.mkdtemp(prefix="kesola-tls-")
    server = TlsServer(os.path.join(folder, "server"))
    linux_kesola = os.path.join(linux_build, "app", "kesola")
    linux_admin = os.path.join(linux_build, "admin", "kesola-admin")
    try:
        done = subprocess.run([linux_admin, "init", server.uri(server.ca), "--demo"], capture_output=True, text=True,
                              env=dict(os.environ, PGPASSWORD=server.PASSWORD))
        if done.returncode != 0:
            raise e2e.Failure(f"kesola-admin init on the server: {done.stderr}")

        def windows_board(ca, host="localhost"):
            s = WineSession(windows_build, [])
            windows_ca = r"C:\kesola-ca.crt"
            shutil.copy(ca, s.prefix.unix(windows_ca))
            s.prefix.write_machine_settings(server.uri(windows_ca.replace("\\", "/"), host))
            user = os.environ.get("USER", "root")
            pgpass = s.prefix.unix(rf"C:\users\{user}\AppData\Roaming\postgresql\pgpass.conf")
            os.makedirs(os.path.dirname(pgpass), exist_ok=True)
            with open(pgpass, "w") as f:
                f.write(server.pgpass())
            return s

        def linux_board(ca, host="localhost"):
            s = e2e.Session(linux_kesola, linux_admin, [])
            with open(os.path.join(s.folder, "KESOLA.INI"), "wb") as ini:
                ini.write(server.uri(ca, host).encode() + b"\r\n")
            pgpass = os.path.join(s.folder, ".pgpass")
            with open(pgpass, "w") as f:
                f.write(server.pgpass())
            os.chmod(pgpass, 0o600)
            start_display = s.start_display

            def with_password_file():
                started = start_display()
                s.env["PGPASSFILE"] = pgpass
                return started

            s.start_display = with_password_file
            return s

        win, linux = windows_board(server.ca), linux_board(server.ca)
        sessions = [win, linux]
        try:
            win.start()
            linux.start()
            for s in (win, linux):
                s.keys("Down")
            before = cell_picture(linux, 0)
            window = book(win, 0, "TLS Windows")
            win.keys("space")
            win.closed(window, "the reservation window after 登録")
            stored = server.rows("SELECT YNAME FROM KESOLA WHERE YNAME = 'TLS Windows'")
            check(stored == ["TLS", "Windows"], f"stored on the server: {stored}", failures)
            painted(linux, 0, before, failures, "the Linux board to paint the Windows booking")
        except e2e.Failure as e:
            failures.append(str(e))
        finally:
            for s in sessions:
                s.close()

        # Refused: the board opens without the system's title from the database, then says that the database could
        # not be opened, in a box titled as the board.
        board = e2e.BOARD
        e2e.BOARD = "- [ ＭＲＩ室 予約一覧 ]"  # as xdotool reads it, without the leading space
        try:
            for platform, make in (("Windows", windows_board), ("Linux", linux_board)):
                for what, ca, host in (("the wrong CA", server.wrong_ca, "localhost"),
                                       ("a host name the certificate does not name", server.ca, "127.0.0.1")):
                    s = make(ca, host)
                    sessions.append(s)
                    # The board is shown, but the modal box holds the focus: start waits for the window only.
                    s.opened = lambda title, seconds=10, s=s: s.wait(
                        f'window "{title}"', lambda: next((w for w, n in s.windows().items() if n == title), None),
                        seconds)
                    try:
                        s.start()
                        # The box is modal: it keeps the focus, beside the board of the same title.
                        s.wait("the database-failure message", lambda: list(s.windows().values()).count(e2e.BOARD) == 2,
                               20)
                        check(s.program.poll() is None and "Program Error" not in s.windows().values(),
                              f"the {platform} board ended after refusing {what}", failures)
                    except e2e.Failure as e:
                        failures.append(f"{platform} board with {what}: no database-failure message ({e})")
                    finally:
                        s.close()
        finally:
            e2e.BOARD = board
        for s in sessions:
            s.failures = failures[:1]
            s.outcome("tls")
    finally:
        server.stop()
    if not failures:
        shutil.rmtree(folder, ignore_errors=True)
    return failures


def scenario_dpi(windows_build, linux_build):
    """At 144 DPI (a laptop at 150 %), the board and the reservation window keep their layout: each is 1.5 times
    the size it is at 96 DPI, and its picture scaled back matches the one at 96 DPI."""
    failures, pictures, sizes, sessions = [], {}, {}, []
    # At 144 DPI the board is 1.5 times 1019x716 pixels: a screen of 1920x1200 holds it (1920x1080 does not).
    e2e.SCREEN = (1920, 1200)
    for dpi in (96, 144):
        s = WineSession(windows_build, [], dpi=dpi)
        sessions.append(s)

        def take(session, dpi=dpi):
            session.keys("Down")  # the first room
            day_painted(session, dpi)
            sizes[dpi, "board"] = session.geometry(session.board)[2:]
            pictures[dpi, "board"] = window_picture(session, session.board, os.path.join(session.folder, "b.png"))
            session.click(session.board, scaled_point(e2e.cell_centre(0), dpi), repeat=2)
            window = session.opened(e2e.reservation_title(e2e.ROOMS[0]))
            sizes[dpi, "reservation"] = session.geometry(window)[2:]
            pictures[dpi, "reservation"] = window_picture(session, window, os.path.join(session.folder, "r.png"))

        run_session(s, take)
        failures += s.failures
    if not failures:
        failures += compare_with_linux(linux_build, sessions[0].db, pictures[96, "board"])
        for dpi in (96, 144):
            face = button_face(pictures[dpi, "board"], dpi)
            print(f"the board's button at {dpi} DPI is drawn in {face}")
            check(close_to(face, FUSION_FACE), f"the board's button at {dpi} DPI is drawn in {face}, not in "
                  f"{BOARD_BUTTON_FACE} as Fusion shades it, {FUSION_FACE}", failures)
        for window in ("board", "reservation"):
            small, large = sizes[96, window], sizes[144, window]
            check(all(abs(l - 1.5 * w) <= 3 for w, l in zip(small, large)),
                  f"the {window} is {large[0]}x{large[1]} at 144 DPI, {small[0]}x{small[1]} at 96 DPI", failures)
            difference = picture_difference(pictures[144, window], pictures[96, window])
            print(f"{window}: {small[0]}x{small[1]} at 96 DPI, {large[0]}x{large[1]} at 144 DPI, "
                  f"pictures differ by {difference:.3f}")
            check(difference < LAYOUT_KEPT, f"the {window} at 144 DPI differs from 96 DPI by {difference:.3f}",
                  failures)
    for s in sessions:
        s.failures = failures
        s.outcome("dpi")
    return failures


def day_painted(s, dpi):
    """Waits until the board has painted today's first booking in the first room (7:00 the first row, ten minutes a
    column)."""
    code = min(c for (c,) in s.rows("SELECT CODE FROM KESOLA WHERE CODE LIKE ?", f"1{e2e.TODAY:%Y%m%d}%"))
    x, y = e2e.cell_centre((int(code[9:11]) - 7) * 6 + int(code[11:13]) // 10)
    point = scaled_point((x - 60, y), dpi)
    s.wait("today's bookings painted", lambda: pixel(window_picture(s, s.board, os.path.join(s.folder, "day.png")),
                                                     point) != (255, 255, 255))


def fusion_shaded(colour):
    """The colour Fusion ends a button's face with, at its bottom, for a button of that colour (QFusionStyle): a
    little lighter and a quarter less saturated, darkened by 4 % and lightened by 2 %. The face runs from near white
    at its top to that colour."""
    def lighter(hsv, factor):
        h, s, v = hsv[0], hsv[1], hsv[2] * factor / 100
        return (h, max(0.0, s - (v - 1)), 1.0) if v > 1 else (h, s, v)

    r, g, b = colour
    grey = (r * 11 + g * 16 + b * 5) // 32
    hsv = lighter(colorsys.rgb_to_hsv(r / 255, g / 255, b / 255), 100 + max(1, (180 - grey) // 6))
    hsv = lighter((hsv[0], hsv[1] * 0.75, hsv[2] * 100 / 104), 102)
    return tuple(round(255 * c) for c in colorsys.hsv_to_rgb(*hsv))


BOARD_BUTTON_FACE = (192, 255, 192)
FUSION_FACE = fusion_shaded(BOARD_BUTTON_FACE)


def pixel(picture, point):
    x, y = point
    channels = ",".join(f"%[fx:int(255*p{{{x},{y}}}.{c})]" for c in "rgb")
    return tuple(map(int, subprocess.run(["convert", picture, "-format", channels, "info:"], capture_output=True,
                                         text=True, check=True).stdout.split(",")))


def close_to(colour, wanted):
    """Within a few steps of Fusion's gradient near the bottom of a button's face."""
    return all(abs(c - w) <= 16 for c, w in zip(colour, wanted))


def button_face(picture, dpi):
    """The colour inside the board's "CSV変換" button, left of its caption, three pixels above its bottom edge
    (where Fusion's gradient is nearly at its end)."""
    return pixel(picture, scaled_point(((8385 + 150) // 15, (210 + 360) // 15 - 3), dpi))


def compare_with_linux(linux_build, database, windows_picture):
    """The Linux board on the same database, pictured as the Windows one was: the same look, the buttons' colour
    among it."""
    failures = []
    linux = e2e.Session(os.path.join(linux_build, "app", "kesola"), os.path.join(linux_build, "admin", "kesola-admin"),
                        [])
    shutil.copyfile(database, linux.db)

    def take(session):
        session.keys("Down")  # the first room
        day_painted(session, 96)
        picture = window_picture(session, session.board, os.path.join(session.folder, "linux.png"))
        face = button_face(picture, 96)
        difference = picture_difference(picture, windows_picture)
        print(f"the Linux board's button is drawn in {face}; the boards' pictures differ by {difference:.3f}")
        check(close_to(face, FUSION_FACE), f"the Linux board's button is drawn in {face}, not in {FUSION_FACE}",
              failures)
        check(difference < LAYOUT_KEPT, f"the Windows and Linux boards differ by {difference:.3f}", failures)

    run_session(linux, take)
    failures += linux.failures
    linux.failures = failures
    linux.outcome("dpi (Linux)")
    return failures


def scaled_point(point, dpi):
    return tuple(round(v * dpi / 96) for v in point)


# --- IT's settings file as Windows' tools write it, the location window's path, the share away, a second start.

SETTINGS_ENCODINGS = [("cp932 (cmd)", lambda text: text.encode("cp932")),
                      ("UTF-8 (Notepad)", lambda text: text.encode("utf-8")),
                      ("UTF-16LE (PowerShell 5.1)", lambda text: text.encode("utf-16")),
                      ("UTF-8 with its mark", lambda text: text.encode("utf-8-sig"))]
USER_SETTINGS = PROGRAM_FOLDER + r"\KESOLA.INI"  # under wine the program's folder can be written: the user's file


def restart(s, cwd=None):
    """Ends the running board and starts kesola.exe again, forgetting the windows seen so far."""
    s.stop(s.program)
    s.known.clear()
    s.program = s.spawn([*s.launcher, s.kesola], cwd=cwd or s.folder)


def board_titled(s, title, seconds=30):
    return s.wait(f'a board titled "{title}"', lambda: next(
        (w for w, name in s.windows().items() if name == title), None), seconds)


def scenario_settings(windows_build, linux_build):
    """IT's settings file in each encoding Windows' tools write opens the database on S:\\ＭＲＩ室; a user's own file
    naming another place wins over it, until IT's file binds with "enforce"."""
    s = WineSession(windows_build, [])
    machine = s.prefix.unix(r"C:\ProgramData\kesola\KESOLA.INI")

    def check_all(session):
        for what, encode in SETTINGS_ENCODINGS:
            with open(machine, "wb") as f:
                f.write(encode(DATABASE + "\r\n"))
            restart(session)
            board_titled(session, e2e.BOARD)
            print(f"IT's file in {what}: the board opened the database")
        with open(s.prefix.unix(USER_SETTINGS), "wb") as f:
            f.write(b"S:\\NOWHERE\\KESOLA.MDB\r\n")
        restart(session)
        board_titled(session, e2e.NO_TITLE_BOARD)  # the user's own file wins, and names no database
        with open(machine, "wb") as f:
            f.write((DATABASE + "\r\nenforce\r\n").encode("utf-16"))
        restart(session)
        board_titled(session, e2e.BOARD)

    run_session(s, check_all)
    s.outcome("settings")
    return s.failures


LOCATION_CAPTION = "データベース格納位置設定"


class LocationSession(WineSession):
    """A Windows session without any settings file, kesola.exe started in S:\\ＭＲＩ室 (wine gives a process the drive
    whose folder holds its Linux working folder most closely): its first window is the location window, whose lists
    start at the current folder."""

    def __init__(self, windows_build):
        super().__init__(windows_build, [])
        os.remove(self.prefix.unix(r"C:\ProgramData\kesola\KESOLA.INI"))

    def start(self):
        board, e2e.BOARD = e2e.BOARD, LOCATION_CAPTION
        try:
            super().start()
        finally:
            e2e.BOARD = board

    def spawn(self, argv, *args, **kw):
        if argv[-1:] == [KESOLA_EXE]:
            kw["cwd"] = os.path.join(self.prefix.share, SHARE_FOLDER)
        return super().spawn(argv, *args, **kw)


def scenario_location(windows_build, linux_build):
    """With no settings file the location window asks; a press on KESOLA.MDB in S:\\ＭＲＩ室 and "変更" write the path
    with backslashes, in cp932, and the board opens it."""
    s = LocationSession(windows_build)

    def choose(session):
        window = session.board  # the location window
        session.click(window, (210 // 15 + 30, 3315 // 15 + 8))  # the first file of File1
        session.click(window, e2e.centre(225, 4665, 1020, 360))  # 変更
        board_titled(session, e2e.BOARD)
        with open(s.prefix.unix(USER_SETTINGS), "rb") as f:
            written = f.read()
        check(written == DATABASE.encode("cp932") + b"\r\n", f"the location window wrote {written!r}",
              session.failures)

    run_session(s, choose)
    s.outcome("location")
    return s.failures


class ShareSession(WineSession):
    """A Windows session whose share goes as a mapped drive does: S: unmapped, then mapped again."""

    def drive(self):
        return os.path.join(self.prefix.path, "dosdevices", "s:")

    def take_database_away(self):
        os.remove(self.drive())

    def bring_database_back(self):
        os.symlink(self.prefix.share, self.drive())


def scenario_share(windows_build, linux_build):
    """e2e.py's share scenario under wine: S: unmapped while the board runs, and when it starts."""
    s = ShareSession(windows_build, e2e.WORKLIST_FIXTURE)
    run_session(s, e2e.scenario_share)
    s.outcome("share")
    return s.failures


def scenario_second_start(windows_build, linux_build):
    """e2e.py's second start under wine: the running kesola.exe comes back to the front, the second one ends."""
    s = WineSession(windows_build, [])
    run_session(s, e2e.scenario_second_start)
    s.outcome("second_start")
    return s.failures


# --- One entry per version, signing on a token, Japanese typed through an input method.

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
PUBLISHER = "MRI room reservation book maintainers"


def uninstall_entries(prefix):
    """The prefix's Programs and Features entries of this program: one {value name: data} each."""
    entries, entry = [], None
    for line in prefix.wine("wine", "reg", "query", UNINSTALL, "/s").stdout.decode(errors="replace").splitlines():
        if line.startswith("HKEY_"):
            entry = {}
            entries.append(entry)
        elif line.startswith("    ") and entry is not None:
            name, _, data = (line.strip().split(None, 2) + [""])[:3]
            entry[name] = data
    return [e for e in entries if e.get("Publisher") == PUBLISHER]


def msi_table(msi, table):
    """The rows of one of the MSI's tables, as {column: value}."""
    lines = subprocess.run(["msiinfo", "export", msi, table], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def scenario_versions(windows_build, linux_build):
    """The MSI carries the build's version in its programs and its file table, and Japanese as its language. Another
    build of the same version installed over it leaves one entry, with the install folder and size; a newer version
    replaces it; the older one is then refused with 1603."""
    failures = []
    msi = msi_of(windows_build)
    version = next(r["Value"] for r in msi_table(msi, "Property") if r["Property"] == "ProductVersion")
    files = {r["FileName"].split("|")[-1]: r["Version"] for r in msi_table(msi, "File")}
    for program in ("kesola.exe", "kesola-admin.exe"):
        check(files.get(program) == version + ".0", f"{program} has the version {files.get(program)!r} in the "
              f"MSI of {version}", failures)
    check(files.get("sqlite3.dll", "").startswith("3."), f"sqlite3.dll's version: {files.get('sqlite3.dll')!r}",
          failures)
    summary = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True, text=True).stdout
    check("Template: x64;1041" in summary, f"the package's platform and language: {summary}", failures)

    folder = tempfile.mkdtemp(prefix="kesola-wine-")
    prefix = WinePrefix(folder, msi)
    staged_kb = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(os.path.join(windows_build, "stage"))
                    for f in fs) // 1024
    try:
        prefix.install(make_msi(windows_build, folder, version))
        entries = uninstall_entries(prefix)
        versions = [e.get("DisplayVersion") for e in entries]
        check(versions == [version], f"after reinstalling {version}: the entries' versions {versions}", failures)
        for entry in entries:
            check(entry.get("InstallLocation") == PROGRAM_FOLDER + "\\", f"install location {entry}", failures)
            check(abs(int(entry.get("Size") or 0) - staged_kb) <= staged_kb // 100,
                  f"size {entry.get('Size')} KB, staged {staged_kb} KB", failures)
        prefix.install(make_msi(windows_build, folder, "99.0.0"))
        versions = [e.get("DisplayVersion") for e in uninstall_entries(prefix)]
        check(versions == ["99.0.0"], f"after the upgrade to 99.0.0: {versions}", failures)
        older = prefix.wine("wine", "msiexec", "/i", msi, "/qn").returncode
        prefix.wait()
        # Wine's exit status reaches Linux as its low byte.
        check(older in (1603, 1603 % 256), f"installing {version} over 99.0.0 ended with {older}", failures)
        versions = [e.get("DisplayVersion") for e in uninstall_entries(prefix)]
        check(versions == ["99.0.0"], f"after the refused downgrade: {versions}", failures)
    finally:
        prefix.close()
    if not failures:
        shutil.rmtree(folder, ignore_errors=True)
    return failures


class SoftToken:
    """A fresh SoftHSM token with an RSA key generated in it, and a code-signing certificate for that key issued by
    a CA of the test's own: IT's token, as far as osslsigncode can tell."""

    MODULE = "/usr/lib/softhsm/libsofthsm2.so"
    PIN = "1234"
    KEY = "pkcs11:token=kesola-test;object=codesign;type=private"

    def __init__(self, folder):
        os.makedirs(os.path.join(folder, "tokens"))
        self.env = dict(os.environ, SOFTHSM2_CONF=os.path.join(folder, "softhsm2.conf"))
        with open(self.env["SOFTHSM2_CONF"], "w") as f:
            f.write(f"directories.tokendir = {folder}/tokens\nobjectstore.backend = file\n")
        self.run("softhsm2-util", "--init-token", "--free", "--label", "kesola-test", "--so-pin", "5678", "--pin",
                 self.PIN)
        tool = ["pkcs11-tool", "--module", self.MODULE, "--token-label", "kesola-test"]
        self.run(*tool, "--login", "--pin", self.PIN, "--keypairgen", "--key-type", "rsa:2048", "--label",
                 "codesign", "--id", "01")
        self.run(*tool, "--read-object", "--type", "pubkey", "--id", "01", "-o", f"{folder}/public.der")
        self.ca, self.cert = f"{folder}/ca.crt", f"{folder}/cert.pem"
        self.run("openssl", "pkey", "-pubin", "-inform", "DER", "-in", f"{folder}/public.der", "-out",
                 f"{folder}/public.pem")
        self.run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                 "/CN=kesola test CA", "-keyout", f"{folder}/ca.key", "-out", self.ca)
        # openssl 3.0 issues a certificate only on a request: one made with a throwaway key, the token's public key
        # put in its place.
        self.run("openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=kesola test signing",
                 "-keyout", f"{folder}/throwaway.key", "-out", f"{folder}/request.csr")
        with open(f"{folder}/extensions", "w") as f:
            f.write("extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n")
        self.run("openssl", "x509", "-req", "-in", f"{folder}/request.csr", "-force_pubkey", f"{folder}/public.pem",
                 "-CA", self.ca, "-CAkey", f"{folder}/ca.key", "-CAcreateserial", "-days", "2", "-extfile",
                 f"{folder}/extensions", "-out", self.cert)

    def run(self, *argv, env=None):
        done = subprocess.run(argv, env=env or self.env, capture_output=True, text=True)
        if done.returncode != 0:
            raise e2e.Failure(f"{' '.join(argv)}: {done.stdout}{done.stderr}")
        return done.stdout

    def signing_env(self):
        return dict(self.env, KESOLA_SIGN_CERT=self.cert, KESOLA_SIGN_KEY=self.KEY,
                    KESOLA_SIGN_PKCS11_MODULE=self.MODULE, KESOLA_SIGN_KEY_PASSWORD=self.PIN)


def signed_by(path, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path], capture_output=True).returncode == 0


def scenario_token_signing(windows_build, linux_build):
    """scripts/sign-windows.sh signs the built MSI and every program file in it with a key that stays on a PKCS#11
    token (SoftHSM); each signature verifies against the token's CA, and the re-packed MSI installs programs that
    run and carry their signatures."""
    failures = []
    folder = tempfile.mkdtemp(prefix="kesola-token-")
    token = SoftToken(os.path.join(folder, "token"))
    msi = shutil.copy(msi_of(windows_build), folder)
    token.run(os.path.join(SOURCE, "scripts", "sign-windows.sh"), msi, env=token.signing_env())
    check(signed_by(msi, token.ca), "the MSI's signature does not verify", failures)
    os.mkdir(os.path.join(folder, "files"))
    token.run("msiextract", "-C", os.path.join(folder, "files"), msi)
    programs = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(folder, "files")) for f in fs
                if f.endswith((".exe", ".dll"))]
    check(len(programs) > 10, f"only {len(programs)} program files in the MSI", failures)
    for program in programs:
        check(signed_by(program, token.ca), f"{program}'s signature does not verify", failures)
    prefix = WinePrefix(os.path.join(folder, "wine"), msi)
    try:
        check(signed_by(prefix.unix(KESOLA_EXE), token.ca), "the installed kesola.exe is not signed", failures)
        check(prefix.admin("init", DATABASE).returncode == 0, "the installed kesola-admin.exe init failed", failures)
    finally:
        prefix.close()
    if not failures:
        shutil.rmtree(folder, ignore_errors=True)
    return failures


def type_japanese(s):
    """Books 7:00 in the first room: 山田 and 造影 typed in romaji and converted by Mozc, Mozc off in between."""
    s.keys("Down")
    s.click(s.board, e2e.cell_centre(0), repeat=2)
    window = s.opened(e2e.reservation_title(e2e.ROOMS[0]))
    s.keys("Down", "Tab", "Down", "Tab")  # 10 minutes, the first department, on to the name
    e2e.switch_on_hiragana(s)
    e2e.convert(s, "yamada")
    # Under XIM the age box hands its keys to Mozc as well (on Windows Qt detaches the IME from it): Mozc off.
    # The patient ID box comes last in the Tab order: the name is followed by the body part and the sex.
    s.keys("Zenkaku_Hankaku", "Tab", "Down", "Tab", "Down", "Tab")
    s.type("45")
    s.keys("Tab", "Down", "Tab", "Zenkaku_Hankaku")  # the first status; on to the remarks, Mozc on
    time.sleep(0.5)
    e2e.convert(s, "zouei")
    # Mozc off again: under XIM a button hands its keys to Mozc too, which would take the space as a full-width one.
    s.keys("Zenkaku_Hankaku", "Tab", "Tab", "Tab", "space")  # past "戻る" and "削除" to "登録"
    s.closed(window, "the reservation window after 登録")
    stored = s.rows("SELECT CAST(YNAME AS BLOB), CAST(ETC AS BLOB), AGE FROM KESOLA WHERE CODE = ?",
                    f"1{e2e.TODAY:%Y%m%d}0700")
    expected = [(b"\xe5\xb1\xb1\xe7\x94\xb0", b"\xe9\x80\xa0\xe5\xbd\xb1", "45")]  # 山田, 造影 in UTF-8
    check(stored == expected, f"stored {stored}, expected {expected}", s.failures)


def scenario_ime(windows_build, linux_build):
    """Japanese typed into kesola.exe through IBus with Mozc over XIM, which wine hands to the program's input
    context (IMM32), and stored as typed."""
    s = WineSession(windows_build, [], ime=True)
    run_session(s, type_japanese)
    s.outcome("ime")
    return s.failures


SCENARIOS = {
    "settings": scenario_settings,
    "location": scenario_location,
    "share": scenario_share,
    "second_start": scenario_second_start,
    "install": scenario_install,
    "admin": scenario_admin,
    "booking": scenario_booking,
    "export": scenario_export,
    "shared": scenario_shared,
    "dpi": scenario_dpi,
    "tls": scenario_tls,
    "versions": scenario_versions,
    "token_signing": scenario_token_signing,
    "ime": scenario_ime,
}


def main():
    windows_build, linux_build, name = sys.argv[1:4]
    if os.environ.get("KESOLA_TEST_PG_URI"):
        print("runs on database files only")
        return 77
    missing = [tool for tool in ["wine", "wineserver", "wixl", "Xvfb", "openbox", "xdotool"] if not shutil.which(tool)]
    if missing:
        print(f"FAILED {name}: not installed: {' '.join(missing)} (scripts/install-deps.sh installs them)")
        return 1
    try:
        failures = SCENARIOS[name](os.path.abspath(windows_build), os.path.abspath(linux_build))
    except e2e.Failure as e:
        failures = [str(e)]
    for message in failures:
        print(f"FAILED {name}: {message}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
