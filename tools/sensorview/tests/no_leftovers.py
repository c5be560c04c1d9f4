#!/usr/bin/python3
"""Runs a test command so that nothing it starts outlives it.

    no_leftovers.py COMMAND [ARGUMENT...]

The browser tests start chromedriver, Chromium's many processes, sensorview and
phonesim; a test that fails half-way, or a process that double-forks, could leave
some of them running on a shared machine. This wrapper makes itself the "child
subreaper" (Linux), so that whatever the command leaves orphaned becomes its
child instead of init's. When the command ends it gives what is left a few
seconds to end by itself, then kills it and names it; a command that passed but
left processes behind fails. SIGTERM and SIGINT (ctest's timeout, Ctrl-C) are
passed to the command, and the cleaning runs all the same."""

import ctypes
import os
import signal
import subprocess
import sys
import time

PR_SET_CHILD_SUBREAPER = 36
GRACE_SECONDS = 5.0


def parent_of(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return int(stat.read().rsplit(")", 1)[1].split()[1])
    except (OSError, ValueError, IndexError):
        return None


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as cmdline:
            return cmdline.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except OSError:
        return "?"


def descendants(root):
    """Every living process below root (zombies excluded), from /proc."""
    children = {}
    for name in os.listdir("/proc"):
        if name.isdigit():
            parent = parent_of(int(name))
            if parent is not None:
                children.setdefault(parent, []).append(int(name))
    found = []
    waiting = [root]
    while waiting:
        for child in children.get(waiting.pop(), []):
            found.append(child)
            waiting.append(child)
    return [pid for pid in found if not is_zombie(pid)]


def is_zombie(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True  # gone


def reap():
    """Collects the exit status of every ended child, without waiting."""
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        print("no_leftovers: cannot become a subreaper: %s" % os.strerror(ctypes.get_errno()),
              file=sys.stderr)
        return 1

    command = subprocess.Popen(sys.argv[1:])
    for number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(number, lambda received, _: command.send_signal(received))
    status = command.wait()

    me = os.getpid()
    deadline = time.monotonic() + GRACE_SECONDS
    left = descendants(me)
    while left and time.monotonic() < deadline:
        time.sleep(0.1)
        reap()
        left = descendants(me)
    if not left:
        return status
    for pid in left:
        print("no_leftovers: killing %d, left running: %s" % (pid, command_line(pid)),
              file=sys.stderr)
    while left:
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.05)
        reap()
        left = descendants(me)
    return status if status != 0 else 1


if __name__ == "__main__":
    sys.exit(main())
