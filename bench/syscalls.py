#!/usr/bin/env python3
"""System calls and CPU a status-screen pass of the POSIX build, side by side with a baseline
build and with the least a redrawing program must do, in one run. Not a test: nothing passes or
fails. Writes the section "System calls a pass" of bench/RESULTS.md.

Usage: python3 bench/syscalls.py [--baseline PATH [--baseline-label TEXT]]... [path/to/vorbelin]

System calls: each program runs `true /TIME=20 /TICK=1` (a pass a second) under strace -f in
an 80 by 25 pseudo-terminal of its own; the calls of the program's own process are counted from
the end of its fourth sleep to the end of its fourth sleep before the launch, and divided by the
passes between (steady state: no start-up, no launch, no key); the floor below, the same way
over 20 of its passes. CPU: six copies of each program
run `true /TIME=40 /TICK=1` without strace, all at once, each in a pseudo-terminal of its own,
beside six copies of the floor: `bench/wake_loop.c` sleeping a second, looking for a key on its
terminal and writing a redraw's 135 bytes to it, 40 times, and six more copies of the floor,
measured apart, whose ratio to the first six is the spread of the method in that run. Each copy of a program is a file of
its own (a pass wakes with cold caches, so where the system happened to place one file's code
in memory would otherwise weigh on every copy alike), and the copies start in turn, a tenth of
a second apart, each round in another order. The on-CPU time the scheduler counts for the
process (/proc/PID/schedstat) is read at every half second from 5.5 s to 35.5 s, between
passes, so that each two readings hold one pass; the median over the passes of all copies
(as bench/run.py does: a pass that something else on the machine held up weighs as one pass,
not as a thirtieth of its copy's mean), and its ratio to the floor's."""
import collections
import os
import re
import shutil
import signal
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from results import programs_to_measure, section_start, write_section  # noqa: E402
from run import REDRAW_BYTES, ROOT, Run, build_wake_loop, run_all  # noqa: E402

SECTION = '## System calls a pass'
SLEEPS = re.compile(r'^(poll\(.*\], [12], \d{3,}\)|clock_nanosleep\()')
CALL = re.compile(r'^(\d+) +([a-z_0-9]+)\((.*)')
UTF8 = {'LANG': 'C.UTF-8'}


def calls_per_pass(argv):
    log = tempfile.mktemp(prefix='vorbelin-strace.')
    run = Run(['strace', '-f', '-qq', '-o', log] + argv, env=UTF8)
    run_all([run])
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


def cpu_per_pass(programs, copies=6):
    """Microseconds on the CPU a pass of each (label, argv) program, the median over the passes
    of its copies, from the readings Run takes at every half second (between the passes, which
    fall on whole seconds) from 5.5 s to 35.5 s. A program's copies run from files of their
    own."""
    work = tempfile.mkdtemp(prefix='vorbelin-cpu.')
    runs = []
    for copy in range(copies):
        for turn in range(len(programs)):
            index = (copy + turn) % len(programs)
            label, argv = programs[index]
            own = os.path.join(work, '%d.%d' % (index, copy))
            shutil.copy(argv[0], own)
            runs.append((label, Run([own] + argv[1:], env=UTF8)))
            time.sleep(0.1)
    run_all([run for _, run in runs], until=time.monotonic() + 36)
    used = collections.defaultdict(list)
    for label, run in runs:
        readings = [ns for t, ns in run.on_cpu if 5 <= t <= 36]
        used[label] += [(after - before) / 1000 for before, after in zip(readings, readings[1:])]
        os.kill(run.pid, signal.SIGTERM)
        run.finish()
    shutil.rmtree(work)
    return {label: statistics.median(values) for label, values in used.items()}


def main():
    args, programs = programs_to_measure(__doc__, os.path.join(ROOT, 'build', 'vorbelin'))
    if not shutil.which('strace'):
        sys.exit('syscalls.py: strace is not installed (Debian: apt-get install strace)')
    floor_label = 'the floor: a second\'s sleep, a look for a key, %d bytes written' % REDRAW_BYTES
    floor = [build_wake_loop(tempfile.mkdtemp(prefix='vorbelin-floor.')), '1', '40',
             str(REDRAW_BYTES)]
    # The floor twice, in copies of its own: how far two runs of one program differ here.
    again_label = 'the floor again, in six more copies: the spread of this measurement'
    cpu = cpu_per_pass([(label, [binary, 'true', '/TIME=40', '/TICK=1'])
                        for label, binary in programs] + [(floor_label, floor), (again_label, floor)])
    measured = [(label, [binary, 'true', '/TIME=20', '/TICK=1']) for label, binary in programs]
    lines = section_start(SECTION, 'syscalls.py', args, __doc__) + [
        '| program | system calls a pass (passes) | which | CPU a pass | against the floor |',
        '|---|---|---|---|---|']
    for label, argv in measured + [(floor_label, floor[:1] + ['1', '20', str(REDRAW_BYTES)])]:
        per_pass, passes, counted = calls_per_pass(argv)
        which = ', '.join('%s %.1f' % (name, n / passes) for name, n in counted.most_common())
        lines.append('| %s | %.1f (%d) | %s | %.0f us | %.2f times |' % (
            label, per_pass, passes, which, cpu[label], cpu[label] / cpu[floor_label]))
    lines.append('| %s | - | - | %.0f us | %.2f times |' % (
        again_label, cpu[again_label], cpu[again_label] / cpu[floor_label]))
    shutil.rmtree(os.path.dirname(floor[0]))
    write_section(SECTION, lines)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
