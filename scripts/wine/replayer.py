#!/usr/bin/env python3
"""A pump that always answers the same: scripts/test-windows.sh runs the Linux console against
it and gives the same replies to the Windows build's check, and compares what the two made of
them.

    replayer.py STATUS_FILE

Opens a pseudo-terminal, keeps its slave side open (so that the console's closing and reopening
never hangs the line up), writes "pty: DEVICE" to STATUS_FILE, logs every received frame there
as "RX FRAME", and on the first run frame (letter R) writes REPLIES, one every 150 ms, then
"done". Runs until SIGTERM.
"""
import os
import signal
import sys
import time

REPLIES = [
    b"Q01N00.0Y", b"Q01N00.4Y", b"Q01N01.3Y", b"Q01L02.5Y", b"Q01N02.7Y", b"Q01N04.1Y",
    b"Q01P12.0Y", b"Q01N05.9Y", b"Q01N07.2Y", b"Q01N08.0Y", b"Q01N10.6Y", b"Q01N11.5Y",
    b"Q01N09.8Y", b"Q01N07.7Y",
]


def main():
    status = open(sys.argv[1], "a", buffering=1)
    master, slave = os.openpty()
    status.write("pty: %s\n" % os.ttyname(slave))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    pending = b""
    answered = False
    while True:
        pending += os.read(master, 256)
        while b"Y" in pending:
            frame, pending = pending.split(b"Y", 1)
            frame = frame[frame.rfind(b"Q"):] + b"Y" if b"Q" in frame else b""
            if not frame:
                continue
            status.write("RX %s\n" % frame.decode("ascii", "replace"))
            if len(frame) == 9 and frame[3:4] == b"R" and not answered:
                answered = True
                for reply in REPLIES:
                    time.sleep(0.15)
                    os.write(master, reply)
                status.write("done\n")


if __name__ == "__main__":
    main()
