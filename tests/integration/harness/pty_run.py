"""Runs the applet on a pseudo-terminal, presses the right button ("r") once
the CD is made, and exits 0 when the run ended with exit code 0 and the
terminal has canonical input and echo back, 1 when not.

Usage: pty_run.py PROGRAM
"""
import os
import pty
import sys
import termios
import time

program = sys.argv[1]
pid, fd = pty.fork()
if pid == 0:
    os.chdir(os.path.dirname(program))
    os.execv(program, [program])


def read_some():
    try:
        return os.read(fd, 65536)
    except OSError:
        return b""  # the program has ended and the terminal is gone


seen, deadline = b"", time.time() + 60
# The button line once the right button reads "&OK" (the layout's "&Ok" differs).
while b"[Enter/r] OK" not in seen and time.time() < deadline:
    chunk = read_some()
    if not chunk:
        break
    seen += chunk
os.write(fd, b"r")
while read_some():
    pass
_, status = os.waitpid(pid, 0)
flags = termios.tcgetattr(fd)[3]
restored = flags & termios.ICANON and flags & termios.ECHO
sys.exit(0 if restored and os.waitstatus_to_exitcode(status) == 0 else 1)
