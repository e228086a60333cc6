#!/usr/bin/env python3
"""System calls and CPU a status-screen pass of the POSIX build, side by side with a baseline
build, in one run. Not a test: nothing passes or fails. Writes the section "System calls a
pass" of bench/RESULTS.md.

Usage: python3 bench/syscalls.py [--baseline PATH [--baseline-label TEXT]] [path/to/vorbelin]

System calls: each program runs `true /TIME=20 /TICK=1` (a pass a second) under strace -f in
an 80 by 25 pseudo-terminal of its own; the calls of the program's own process are counted from
the end of its fourth sleep to the end of its fourth sleep before the launch, and divided by the
passes between (steady state: no start-up, no launch, no key). CPU: three copies of each run
`true /TIME=40 /TICK=1` without strace, all at once, each in a pseudo-terminal of its own; the
on-CPU time the scheduler counts for the process (/proc/PID/schedstat) is read at the 5th and
the 35th second and divided by the 30 passes between; the median of the copies."""
import argparse
import collections
import fcntl
import os
import pty
import re
import select
import signal
import statistics
import struct
import subprocess
import tempfile
import termios
import time

from results import write_section

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SECTION = '## System calls a pass'
SLEEPS = re.compile(r'^(poll\(.*\], 1, \d{3,}\)|clock_nanosleep\()')
CALL = re.compile(r'^(\d+) +([a-z_0-9]+)\((.*)')


def in_terminal(argv):
    """Starts argv in a pseudo-terminal of 80 by 25; gives its pid and the terminal's fd."""
    pid, fd = pty.fork()
    if pid == 0:
        os.environ['TERM'] = 'xterm-256color'
        os.environ['LANG'] = 'C.UTF-8'
        os.execvp(argv[0], argv)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
    return pid, fd


def drain(fds, seconds):
    """Reads what the terminals get for some seconds, so that no program blocks on them."""
    end = time.monotonic() + seconds
    while fds and time.monotonic() < end:
        ready, _, _ = select.select(fds, [], [], max(0.0, end - time.monotonic()))
        for fd in ready:
            try:
                os.read(fd, 65536)
            except OSError:
                fds = [f for f in fds if f != fd]


def calls_per_pass(binary):
    log = tempfile.mktemp(prefix='vorbelin-strace.')
    pid, fd = in_terminal(['strace', '-f', '-qq', '-o', log, binary, 'true', '/TIME=20',
                           '/TICK=1'])
    drain([fd], 20)
    os.waitpid(pid, 0)
    os.close(fd)
    lines = open(log).read().splitlines()
    os.unlink(log)
    main_pid = CALL.match(lines[0]).group(1)
    calls = []
    for line in lines:
        match = CALL.match(line)
        if match and match.group(1) == main_pid and 'resumed>' not in line:
            calls.append(match.group(2) + '(' + match.group(3))
    sleeps = [i for i, call in enumerate(calls) if SLEEPS.match(call)]
    first, last = sleeps[3], sleeps[-4]
    passes = len([i for i in sleeps if first < i <= last])
    counted = collections.Counter(call.split('(')[0] for call in calls[first + 1:last + 1])
    return sum(counted.values()) / passes, passes, counted


def on_cpu_ns(pid):
    with open('/proc/%d/schedstat' % pid) as f:
        return int(f.read().split()[0])


def cpu_per_pass(binaries, copies=3):
    runs = []
    for binary in binaries:
        for _ in range(copies):
            runs.append((binary,) + in_terminal([binary, 'true', '/TIME=40', '/TICK=1']))
            time.sleep(0.1)
    fds = [fd for _, _, fd in runs]
    drain(fds, 5)
    start = {pid: on_cpu_ns(pid) for _, pid, _ in runs}
    drain(fds, 30)
    used = collections.defaultdict(list)
    for binary, pid, _ in runs:
        used[binary].append((on_cpu_ns(pid) - start[pid]) / 30 / 1000)
    for _, pid, fd in runs:
        os.kill(pid, signal.SIGTERM)
        os.waitpid(pid, 0)
        os.close(fd)
    return {binary: statistics.median(values) for binary, values in used.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('binary', nargs='?', default=os.path.join(ROOT, 'build', 'vorbelin'))
    parser.add_argument('--baseline')
    parser.add_argument('--baseline-label', default='baseline')
    args = parser.parse_args()
    programs = [('vorbelin', os.path.abspath(args.binary))]
    if args.baseline:
        programs.append((args.baseline_label, os.path.abspath(args.baseline)))
    commit = subprocess.run(['git', '-C', ROOT, 'rev-parse', '--short', 'HEAD'],
                            capture_output=True, text=True).stdout.strip()
    cpu = cpu_per_pass([binary for _, binary in programs])
    lines = [SECTION, '',
             'Commit %s, %s. Command: `python3 bench/syscalls.py%s`. %s' % (
                 commit, time.strftime('%Y-%m-%d'),
                 ' --baseline PATH --baseline-label "%s"' % args.baseline_label
                 if args.baseline else '',
                 ' '.join(__doc__.split('\n\n')[2].split('\n'))), '',
             '| program | system calls a pass (passes) | which | CPU a pass |',
             '|---|---|---|---|']
    for label, binary in programs:
        per_pass, passes, counted = calls_per_pass(binary)
        which = ', '.join('%s %.1f' % (name, n / passes) for name, n in counted.most_common())
        lines.append('| %s | %.1f (%d) | %s | %.0f us |' % (label, per_pass, passes, which,
                                                             cpu[binary]))
    write_section(SECTION, lines)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
