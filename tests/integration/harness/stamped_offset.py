"""Prints the payload offset stamped into an applet's slot, read independently
of the program (-1 when the slot is missing or not the only one).

Usage: stamped_offset.py APPLET
"""
import struct
import sys

data = open(sys.argv[1], "rb").read()
marker = b"QV-PAYLOAD" + b"-SLOT\x1a"
at = data.find(marker)
print(struct.unpack("<Q", data[at + 16:at + 24])[0] if at >= 0 and data.count(marker) == 1 else -1)
