#!/usr/bin/env python3
"""A terminal that stops reading while the program ends (a stalled link, a paused terminal).

Runs the program in a pseudo-terminal of 80 by 25, fills the terminal's buffer with a command
that floods it while nothing reads, ends the program with SIGTERM, and reads again 0.3 s later,
within the second the program waits for it. The sequence that resets the colours and shows the
cursor must arrive after all. Prints what it saw; exits 1 when it did not, 0 when it did.

    stalled_reader.py path/to/vorbelin"""
import fcntl
import os
import select
import signal
import struct
import subprocess
import sys
import termios
import time

RESTORE = b'\x1b[0m\x1b[?25h'


def read_for(master, seconds, until=None):
    got = b''
    end = time.monotonic() + seconds
    while time.monotonic() < end and not (until and until()):
        ready, _, _ = select.select([master], [], [], 0.05)
        if ready:
            try:
                got += os.read(master, 65536)
            except OSError:  # the last process on the terminal has gone
                break
    return got


def main():
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
    env = dict(os.environ, TERM='xterm-256color', LANG='C.UTF-8')
    program = subprocess.Popen(
        [sys.argv[1], 'true', '/TIME=60'], stdin=slave, stdout=slave, stderr=slave, env=env,
        start_new_session=True, preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    read_for(master, 1.5)
    flood = subprocess.Popen(['yes', 'flood'], stdin=subprocess.DEVNULL, stdout=slave,
                             stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.0)  # nothing reads: the terminal's buffer is full
        program.send_signal(signal.SIGTERM)
        time.sleep(0.3)
    finally:
        flood.kill()
        flood.wait()
    os.close(slave)
    tail = read_for(master, 5, until=lambda: program.poll() is not None)
    tail += read_for(master, 0.5)
    status = program.wait(timeout=5)
    restored = tail.rfind(RESTORE)
    print('status %d; the restore at %d of %d bytes read after the stall; the last bytes %r'
          % (status, restored, len(tail), tail[-24:]))
    return 0 if status == -signal.SIGTERM and restored >= 0 else 1


sys.exit(main())
