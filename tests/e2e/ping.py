#!/usr/bin/env python3
"""Whether the board keeps answering while its store is busy, slow or gone, measured from outside as a window
manager measures it: a _NET_WM_PING to the board every 50 ms, and the longest time one waited for its answer.

Usage: ping.py KESOLA KESOLA_ADMIN CASE

    sqlite-lock         another program holds the database file's lock for 8 s
    server-vanishes     the PostgreSQL server's host drops every packet for 30 s, then comes back; the board paints
                        the day again without a restart; closed while the host is gone again, it ends at once
    registration-waits  a registration waits on a busy database file and is stored once it is free

The server case makes a network namespace of its own holding a throwaway server (on TCP 127.0.0.1 there) and the
program, and drops the namespace's packets with a blackhole queue on its loopback; it needs root, and fails when
no namespace can be made. The namespace, the server and its folder are removed at the end whatever happens.
"""
import glob
import os
import select
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

import e2e
from e2e import Failure, Session, cell_centre, reservation_title, wait_for

from Xlib import X, display as xdisplay
from Xlib.protocol import event as xevent

PING_EVERY = 0.05
LONGEST_GAP_ALLOWED = 0.5
EXIT_SECONDS = 6
CASE_SECONDS = 110
# Today's first booking in the first room of the demo data covers cells 8 to 12; cell 9 carries its colour only.
BOOKED_CELL = 9
WAITING_NOTE = "データベースの応答を待っています…"


class PingProbe(threading.Thread):
    """Pings a window through the X server every 50 ms and keeps the longest wait for an answer. Qt answers from
    its user-interface thread by sending the ping back to the root window with StructureNotify."""

    def __init__(self, display_name, window):
        super().__init__(daemon=True)
        self.display = xdisplay.Display(display_name)
        self.window = self.display.create_resource_object("window", int(window))
        self.root = self.display.screen().root
        self.root.change_attributes(event_mask=X.StructureNotifyMask)
        self.protocols = self.display.intern_atom("WM_PROTOCOLS")
        self.ping = self.display.intern_atom("_NET_WM_PING")
        self.sent = {}
        self.longest = 0.0
        self.answered = 0
        self.running = True

    def run(self):
        serial, next_ping = 1, time.monotonic()
        while self.running:
            now = time.monotonic()
            if now >= next_ping:
                self.sent[serial] = now
                self.window.send_event(xevent.ClientMessage(
                    window=self.window, client_type=self.protocols,
                    data=(32, [self.ping, serial, int(self.window.id), 0, 0])), event_mask=0)
                self.display.flush()
                serial, next_ping = serial + 1, next_ping + PING_EVERY
            select.select([self.display.fileno()], [], [], max(0.0, next_ping - time.monotonic()))
            while self.display.pending_events():
                self.answer(self.display.next_event(), time.monotonic())

    def answer(self, ev, at):
        if ev.type != X.ClientMessage or ev.client_type != self.protocols:
            return
        kind, serial = ev.data[1][0], ev.data[1][1]
        if kind != self.ping or serial not in self.sent:
            return
        # Answers come in order; every ping sent before this one is answered with it.
        for s in [s for s in self.sent if s <= serial]:
            self.longest = max(self.longest, at - self.sent.pop(s))
        self.answered += 1

    def stop(self):
        self.running = False
        self.join(2)
        now = time.monotonic()
        for sent in self.sent.values():
            self.longest = max(self.longest, now - sent)
        return self.longest


def pixel(session, window, point):
    """The colour of one pixel of a window's client area, as (red, green, blue)."""
    d = xdisplay.Display(session.env["DISPLAY"])
    try:
        image = d.create_resource_object("window", int(window)).get_image(point[0], point[1], 1, 1, X.ZPixmap,
                                                                         0xFFFFFFFF)
        blue, green, red = image.data[0], image.data[1], image.data[2]
        return red, green, blue
    finally:
        d.close()


def booked_cell_painted(session):
    return pixel(session, session.board, cell_centre(BOOKED_CELL)) != (255, 255, 255)


def show_first_room(s):
    s.keys("Down")  # the room selector has the focus on a fresh board: its first room
    s.wait("today's bookings on the board", lambda: booked_cell_painted(s), 10)


def probed(s, what, seconds):
    """Pings the board while `what` runs, then for the rest of `seconds`; returns the longest wait for an answer."""
    probe = PingProbe(s.env["DISPLAY"], s.board)
    probe.start()
    started = time.monotonic()
    try:
        what()
        time.sleep(max(0.0, seconds - (time.monotonic() - started)))
    finally:
        longest = probe.stop()
    if probe.answered == 0:
        raise Failure("the board answered no ping at all")
    print(f"longest unanswered ping: {longest * 1000:.0f} ms ({probe.answered} answers)")
    if longest > LONGEST_GAP_ALLOWED:
        s.failures.append(f"the board left a ping unanswered for {longest * 1000:.0f} ms")
    return longest


class FileHolder:
    """Another program holding the database file's exclusive lock, which keeps readers and writers out."""

    def __init__(self, path):
        self.db = sqlite3.connect(path, timeout=10, isolation_level=None)

    def hold(self):
        self.db.execute("BEGIN EXCLUSIVE")

    def free(self):
        self.db.execute("COMMIT")
        self.db.close()


def case_sqlite_lock(s):
    show_first_room(s)
    holder = FileHolder(s.db)

    def hold_for_eight_seconds():
        time.sleep(1)
        holder.hold()
        time.sleep(8)
        holder.free()

    probed(s, hold_for_eight_seconds, 11)
    s.wait("the day on the board after the lock", lambda: booked_cell_painted(s), 5)


def case_registration_waits(s):
    show_first_room(s)
    s.click(s.board, cell_centre(0), repeat=2)
    window = s.opened(reservation_title(e2e.ROOMS[0]))
    for keys in (["Down"] * 3, ["Down"] * 3):  # a duration, a department
        s.keys(*keys, "Tab")
    s.type("Waiting Hanako")
    # Body part, sex, age, status; then past the remarks, "戻る" and "削除" to "登録".
    s.keys("Tab", "alt+Down", "Down", "Return", "Tab", "Down", "Tab", "4", "2", "Tab", "Down", "Tab", "Tab", "Tab", "Tab")
    holder = FileHolder(s.db)
    note_seen = []

    def register_while_held():
        holder.hold()
        s.keys("space")
        pressed = time.monotonic()
        note_seen.append(bool(wait_for_note(s, 3.5)))
        time.sleep(max(0.0, pressed + 4 - time.monotonic()))
        holder.free()

    probed(s, register_while_held, 8)
    if not note_seen[0]:
        s.failures.append(f'no note "{WAITING_NOTE}" while the registration waited')
    s.closed(window, "the reservation window once the registration was stored")
    stored = s.rows("SELECT YNAME, AGE FROM KESOLA WHERE CODE = ?", f"1{e2e.TODAY:%Y%m%d}0700")
    if stored != [("Waiting Hanako", "42")]:
        s.failures.append(f"stored {stored}")


def wait_for_note(s, seconds):
    try:
        return wait_for("the waiting note", lambda: s.run("xdotool", "search", "--onlyvisible", "--name",
                                                          WAITING_NOTE), seconds)
    except Failure:
        return None


class Namespace:
    """A network namespace of the test's own: `ip netns add`, or, where /run/netns cannot be made, one held by an
    `unshare --net` process and entered with nsenter."""

    def __init__(self):
        self.name = f"kesola-ping-{os.getpid()}"
        self.holder = None
        added = subprocess.run(["ip", "netns", "add", self.name], capture_output=True, text=True)
        if added.returncode == 0:
            self.enter = ["ip", "netns", "exec", self.name]
        else:
            self.holder = subprocess.Popen(["unshare", "--net", "sleep", "infinity"],
                                           preexec_fn=e2e._die_with_parent)
            time.sleep(0.2)
            if self.holder.poll() is not None:
                raise Failure(f"no network namespace: ip netns add said {added.stderr.strip()!r}, "
                              "and unshare --net failed too")
            self.enter = ["nsenter", f"--net=/proc/{self.holder.pid}/ns/net"]
        self.run("ip", "link", "set", "lo", "up")

    def run(self, *argv):
        subprocess.run([*self.enter, *argv], check=True, capture_output=True, timeout=10)

    def drop_everything(self, dropping):
        self.run("tc", "qdisc", "add" if dropping else "del", "dev", "lo", "root", *(["blackhole"] if dropping else []))

    def remove(self):
        if self.holder:
            self.holder.kill()
            self.holder.wait()
        else:
            subprocess.run(["ip", "netns", "del", self.name], capture_output=True)


class NamespacedServer:
    """A throwaway PostgreSQL server in the namespace, listening on TCP 127.0.0.1 there (and on a Unix socket in its
    folder, through which the test fills it from outside)."""

    PORT = 5432

    def __init__(self, namespace):
        bins = sorted(glob.glob("/usr/lib/postgresql/*/bin"))
        if not bins:
            raise Failure("no PostgreSQL server installed (scripts/install-deps.sh test installs it)")
        self.bin = bins[-1]
        self.folder = tempfile.mkdtemp(prefix="kesola-ping-pg-")
        shutil.chown(self.folder, "postgres", "postgres")
        os.chmod(self.folder, 0o755)
        as_owner = ["runuser", "-u", "postgres", "--"]
        subprocess.run([*as_owner, f"{self.bin}/initdb", "-D", f"{self.folder}/data", "-U", "postgres",
                        "--auth=trust", "--encoding=UTF8", "--locale=C.UTF-8", "--no-sync"], check=True,
                       capture_output=True)
        log = open(os.path.join(self.folder, "server.log"), "wb")
        self.server = subprocess.Popen(
            [*namespace.enter, *as_owner, f"{self.bin}/postgres", "-D", f"{self.folder}/data", "-k", self.folder,
             "-p", str(self.PORT), "-c", "listen_addresses=127.0.0.1", "-c", "fsync=off"],
            stdout=log, stderr=log, preexec_fn=e2e._die_with_parent)
        wait_for("the server to accept connections", lambda: subprocess.run(
            [f"{self.bin}/pg_isready", "-q", "-h", self.folder, "-p", str(self.PORT)]).returncode == 0, 30)
        self.local_uri = f"postgresql:///postgres?host={self.folder}&user=postgres"
        self.tcp_uri = f"postgresql://postgres@127.0.0.1:{self.PORT}/postgres"

    def remove(self):
        self.server.terminate()
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def case_server_vanishes(s, namespace, server):
    show_first_room(s)

    def vanish_for_thirty_seconds():
        time.sleep(1)
        namespace.drop_everything(True)
        time.sleep(30)
        namespace.drop_everything(False)

    probed(s, vanish_for_thirty_seconds, 32)
    s.wait("the day on the board again after the server came back", lambda: booked_cell_painted(s), 30)

    # Closed while its read is stuck on a vanished host, the board ends within a few seconds.
    namespace.drop_everything(True)
    time.sleep(2)
    s.keys("alt+F4")
    closed = time.monotonic()
    try:
        wait_for("the program to end", lambda: s.program.poll() is not None, EXIT_SECONDS)
        print(f"closed while stuck: ended after {time.monotonic() - closed:.1f} s")
    except Failure:
        s.failures.append(f"closed while its server's host was gone, the program still ran after {EXIT_SECONDS} s")


CASES = {
    "sqlite-lock": case_sqlite_lock,
    "server-vanishes": case_server_vanishes,
    "registration-waits": case_registration_waits,
}


def main():
    kesola, admin, name = sys.argv[1:4]
    on_server = name == "server-vanishes"
    if os.environ.get("KESOLA_TEST_PG_URI") and not on_server:
        print("runs on database files only")
        return 77
    if on_server and not os.environ.get("KESOLA_TEST_PG_URI"):
        print("runs in the PostgreSQL pass")
        return 77
    if on_server and os.geteuid() != 0:
        print("FAILED: a network namespace needs root")
        return 1

    def overtime(*_):
        raise Failure(f"the case took longer than {CASE_SECONDS} s")

    signal.signal(signal.SIGALRM, overtime)
    signal.alarm(CASE_SECONDS)
    s = Session(kesola, admin, [])
    namespace = server = None
    try:
        if on_server:
            namespace = Namespace()
            server = NamespacedServer(namespace)
            made = subprocess.run([admin, "init", server.local_uri, "--demo"], capture_output=True, text=True)
            if made.returncode != 0:
                raise Failure(f"kesola-admin init: {made.stdout}{made.stderr}")
            with open(os.path.join(s.folder, "KESOLA.INI"), "wb") as ini:
                ini.write(server.tcp_uri.encode() + b"\r\n")
            s.launcher = namespace.enter
        s.start()
        CASES[name](s, namespace, server) if on_server else CASES[name](s)
    except (Failure, subprocess.SubprocessError, OSError) as e:
        s.failures.append(str(e))
    finally:
        signal.alarm(0)
        s.close()
        if server:
            server.remove()
        if namespace:
            namespace.remove()
    return s.outcome(name)


if __name__ == "__main__":
    sys.exit(main())
