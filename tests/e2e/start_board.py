#!/usr/bin/env python3
"""Starts the built board as scripts/run.sh ends, through scripts/start-board.sh on a machine without a display,
stops it the way its user would, and checks that the board, its virtual display (Xvfb) and the script are all
gone and the display is free for the next one.

Usage: start_board.py KESOLA KESOLA_ADMIN CASE

The cases: the printed stop command run by the user who started it; the same under sudo, where the board runs as
the user who called sudo ("nobody" here) and that user runs the command; Ctrl+C in the script's terminal; a board
that dies by itself, whose display must end with it.
"""
import ctypes
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile

from e2e import Failure, wait_for

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "start-board.sh")
STOP_COMMAND = re.compile(r"Stop it: .*or: (kill (\d+))")

# case: (runs as the user who called sudo, how it is stopped, the script's exit status)
CASES = {
    "stop_command": (False, "command", 0),
    "stop_command_under_sudo": (True, "command", 0),
    "ctrl_c": (False, "interrupt", 130),
    "board_dies": (False, "kill board", 137),
}


def _stop_with_parent():
    # Whatever ends the harness, CTest's timeout included, stops the script as its user would, so that it takes
    # its board and display with it.
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def alive(pid):
    """Running, not merely a zombie left for its parent to collect."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def owner(pid):
    return os.stat(f"/proc/{pid}").st_uid


def parent(pid):
    with open(f"/proc/{pid}/stat") as f:
        return int(f.read().rsplit(")", 1)[1].split()[1])


def sibling_xvfb(board):
    """The X server that the board's script started beside it."""
    script = parent(board)
    for entry in os.listdir("/proc"):
        try:
            if entry.isdigit() and parent(int(entry)) == script:
                with open(f"/proc/{entry}/comm") as f:
                    if f.read().strip() == "Xvfb":
                        return int(entry)
        except FileNotFoundError:
            pass
    raise Failure("no Xvfb started beside the board")


def display_socket(number):
    """The display's socket file, as an identity that outlives the server only when the server was killed rather
    than ended (an ended one removes it); None when there is none. Another server given the same number later
    makes a file of its own."""
    try:
        return os.stat(f"/tmp/.X11-unix/X{number}").st_ino
    except FileNotFoundError:
        return None


class Run:
    """A build folder of its own (copies of the programs, so that the demo database and settings file the script
    makes stay out of the real build) and the script started on it with no display."""

    def __init__(self, kesola, admin, under_sudo):
        self.folder = tempfile.mkdtemp(prefix="kesola-start-board-")
        for program, sub in [(kesola, "app"), (admin, "admin")]:
            os.mkdir(os.path.join(self.folder, sub))
            shutil.copy2(program, os.path.join(self.folder, sub))
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["XDG_RUNTIME_DIR"] = os.path.join(self.folder, "runtime")
        os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
        self.user = None
        if under_sudo:
            # What sudo leaves for the command it runs as root: who called it.
            self.user = pwd.getpwnam("nobody")
            env.update(SUDO_USER=self.user.pw_name, SUDO_UID=str(self.user.pw_uid), SUDO_GID=str(self.user.pw_gid))
            for top, dirs, files in os.walk(self.folder):
                for name in [top, *(os.path.join(top, f) for f in dirs + files)]:
                    os.chown(name, self.user.pw_uid, self.user.pw_gid)
        self.log_path = os.path.join(self.folder, "start-board.log")
        with open(self.log_path, "wb") as log:
            # A session of its own: its process group is what Ctrl+C in its terminal would reach.
            self.script = subprocess.Popen([SCRIPT, self.folder], env=env, stdin=subprocess.DEVNULL, stdout=log,
                                           stderr=subprocess.STDOUT, start_new_session=True,
                                           preexec_fn=_stop_with_parent)

    def output(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def stop_command(self):
        def printed():
            if self.script.poll() is not None:
                raise Failure(f"start-board.sh ended with {self.script.returncode} before printing its stop command")
            return STOP_COMMAND.search(self.output())
        match = wait_for("the stop command", printed, 60)
        return match.group(1), int(match.group(2))

    def display(self):
        return re.search(r"virtual display :(\d+)", self.output()).group(1)

    def board_window_shown(self, number):
        env = dict(os.environ, DISPLAY=":" + number)
        return subprocess.run(["xdotool", "search", "--name", "ＭＲＩ予約システム"], env=env,
                              capture_output=True, timeout=10).returncode == 0

    def close(self, passed):
        if self.script.poll() is None:
            os.killpg(self.script.pid, signal.SIGTERM)
            try:
                self.script.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.script.pid, signal.SIGKILL)
                self.script.wait()
        if passed:
            shutil.rmtree(self.folder)
        else:
            print(self.output())
            print(f"folder kept: {self.folder}")


def check(run, how, expected_status):
    command, board = run.stop_command()
    number = run.display()
    if os.path.basename(os.readlink(f"/proc/{board}/exe")) != "kesola":
        raise Failure(f"the stop command names process {board}, not the board")
    wanted = run.user.pw_uid if run.user else os.geteuid()
    if owner(board) != wanted:
        raise Failure(f"the board runs as uid {owner(board)}, not {wanted}")
    xvfb = sibling_xvfb(board)
    socket = display_socket(number)
    if socket is None:
        raise Failure(f"display :{number} has no socket file")
    wait_for("the board's window", lambda: run.board_window_shown(number), 60)

    if how == "command":
        as_caller = ["runuser", "-u", run.user.pw_name, "--"] if run.user else []
        result = subprocess.run([*as_caller, "sh", "-c", command], capture_output=True, text=True, timeout=10)
        if result.returncode != 0:
            raise Failure(f"'{command}' failed: {result.stderr.strip()}")
    elif how == "interrupt":
        os.killpg(run.script.pid, signal.SIGINT)
    else:
        os.kill(board, signal.SIGKILL)

    wait_for("start-board.sh to end", lambda: run.script.poll() is not None, 30)
    if run.script.returncode != expected_status:
        raise Failure(f"start-board.sh ended with {run.script.returncode}, not {expected_status}")
    for what, pid in [("the board", board), ("Xvfb", xvfb)]:
        if alive(pid):
            raise Failure(f"{what} (process {pid}) still runs after start-board.sh ended")
    if display_socket(number) == socket:
        raise Failure(f"display :{number} is left taken: its socket file is still there")


def main():
    kesola, admin, name = sys.argv[1:4]
    if os.environ.get("KESOLA_TEST_PG_URI"):
        print("uses no database server")
        return 77
    under_sudo, how, expected_status = CASES[name]
    if under_sudo and os.geteuid() != 0:
        print("needs root, as sudo gives it")
        return 77
    missing = [tool for tool in ["Xvfb", "xdotool", "runuser"] if not shutil.which(tool)]
    if missing:
        print(f"FAILED {name}: not installed: {' '.join(missing)} (scripts/install-deps.sh test installs them)")
        return 1

    run = Run(kesola, admin, under_sudo)
    failure = None
    try:
        check(run, how, expected_status)
    except Failure as e:
        failure = str(e)
    finally:
        run.close(passed=failure is None)
    if failure:
        print(f"FAILED {name}: {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
