"""Runs the applet with its event log on a pipe and presses a button each time
a line matching the next step's pattern appears ("pattern=>right"). Writes the
log to a file and prints the exit code (124 when the run did not end in time).

Usage: drive_event_log.py LOG TIMEOUT_SECONDS PROGRAM [STEP...]
"""
import re
import subprocess
import sys
import threading

log_path, timeout, program, *steps = sys.argv[1:]
steps = [step.split("=>", 1) for step in steps]
process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                           cwd=program.rsplit("/", 1)[0])
timer = threading.Timer(float(timeout), process.kill)
timer.start()
with open(log_path, "w") as log:
    for line in process.stdout:
        log.write(line)
        if steps and re.fullmatch(steps[0][0], line.rstrip("\n")):
            process.stdin.write(steps[0][1] + "\n")
            process.stdin.flush()
            steps.pop(0)
code = process.wait()
timed_out = not timer.is_alive()
timer.cancel()
print(124 if timed_out else code)
