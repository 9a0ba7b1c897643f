"""Runs the applet with its event log on a pipe and presses a button each time
a line matching the next step's pattern appears ("pattern=>right"). A step may
press several times with pauses between ("pattern=>right,wait 1,right"); those
presses go from a thread of their own, so the log is read on meanwhile; "sh
CMD" runs a command in between (a disc put in, say). Writes
the log to a file, line by line as it comes, and prints the exit code (124
when the run did not end in time).

Usage: drive_event_log.py LOG TIMEOUT_SECONDS PROGRAM [STEP...]
"""
import re
import subprocess
import sys
import threading
import time

log_path, timeout, program, *steps = sys.argv[1:]
steps = [step.split("=>", 1) for step in steps]
process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                           cwd=program.rsplit("/", 1)[0])
timer = threading.Timer(float(timeout), process.kill)
timer.start()


def press(actions):
    for action in actions:
        if action.startswith("wait "):
            time.sleep(float(action[5:]))
            continue
        if action.startswith("sh "):
            subprocess.run(action[3:], shell=True, check=False)
            continue
        try:
            process.stdin.write(action + "\n")
            process.stdin.flush()
        except (BrokenPipeError, ValueError):
            return  # the run has ended


with open(log_path, "w") as log:
    for line in process.stdout:
        log.write(line)
        log.flush()  # a reader may follow the log as it grows
        if steps and re.fullmatch(steps[0][0], line.rstrip("\n")):
            actions = steps.pop(0)[1].split(",")
            if len(actions) == 1:
                press(actions)
            else:
                threading.Thread(target=press, args=(actions,), daemon=True).start()
code = process.wait()
timed_out = not timer.is_alive()
timer.cancel()
print(124 if timed_out else code)
