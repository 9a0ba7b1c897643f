"""Runs the applet on a pseudo-terminal (of ROWSxCOLUMNS when given), presses
the right button ("r") once the CD is made, and exits 0 when the run ended
with exit code 0 and the terminal has canonical input and echo back; on a
given size the last screen must also fit it and show the right button's
"OK" and the console's newest line. Exits 1 when not.

Usage: pty_run.py PROGRAM [ROWSxCOLUMNS]
"""
import fcntl
import os
import pty
import struct
import sys
import termios
import time

program = sys.argv[1]
size = [int(n) for n in sys.argv[2].split("x")] if len(sys.argv) > 2 else None
pid, fd = pty.fork()
if pid == 0:
    if size:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", size[0], size[1], 0, 0))
    os.chdir(os.path.dirname(program))
    os.execv(program, [program])


def read_some():
    try:
        return os.read(fd, 65536)
    except OSError:
        return b""  # the program has ended and the terminal is gone


def last_screen():
    return seen.split(b"\x1b[H\x1b[2J")[-1]


def fits(screen, rows, columns):
    lines = screen.split(b"\r\n")[:-1]
    used = sum(max(1, -(-len(line) // columns)) for line in lines)
    return used <= rows - 1 and b"OK" in screen and b"Recorded by" in screen


seen, deadline = b"", time.time() + 60
# The right button reads "&OK" ("[Enter/r] OK", or "[r] OK" when narrow).
while b"r] OK\r\n" not in last_screen() and time.time() < deadline:
    chunk = read_some()
    if not chunk:
        break
    seen += chunk
screen_fits = size is None or fits(last_screen(), *size)
os.write(fd, b"r")
while read_some():
    pass
_, status = os.waitpid(pid, 0)
flags = termios.tcgetattr(fd)[3]
restored = flags & termios.ICANON and flags & termios.ECHO
sys.exit(0 if restored and screen_fits and os.waitstatus_to_exitcode(status) == 0 else 1)
