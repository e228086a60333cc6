#!/usr/bin/env python3
"""Wake-ups of the quiet modes beside `sleep`, in one run. Not a test: nothing passes or fails.
Writes the section "Wake-ups while quiet" of bench/RESULTS.md.

Usage: python3 bench/wakeups.py [--baseline PATH [--baseline-label TEXT]]... [path/to/vorbelin]

Each program runs in a pseudo-terminal of 80 by 25 of its own, all at once: a quiet countdown
(`true /TIME=60 /Q`), a quiet time-of-day wait (`true /TIME=hh:mm /Q`, two hours ahead) and
`sleep 60`. Wake-ups are the times the process was switched in after giving up the processor
(the voluntary context switches of /proc/PID/status, each a return from a sleep or a wait),
counted from 5 s to 35 s after the start: 30 s of steady waiting."""
import os
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from results import programs_to_measure, section_start, write_section  # noqa: E402
from run import ROOT, Run, run_all  # noqa: E402

SECTION = '## Wake-ups while quiet'


def voluntary_switches(pid):
    with open('/proc/%d/status' % pid) as f:
        for line in f:
            if line.startswith('voluntary_ctxt_switches:'):
                return int(line.split()[1])
    return 0


def wakeups(argvs):
    """The wake-ups in 30 s of each command line, all run side by side."""
    runs = [Run(argv) for argv in argvs]
    run_all(runs, until=time.monotonic() + 5)
    first = [voluntary_switches(run.pid) for run in runs]
    run_all(runs, until=time.monotonic() + 30)
    counts = [voluntary_switches(run.pid) - before for run, before in zip(runs, first)]
    for run in runs:
        os.kill(run.pid, signal.SIGTERM)
        run.finish()
    return counts


def main():
    args, programs = programs_to_measure(__doc__, os.path.join(ROOT, 'build', 'vorbelin'))
    target = time.strftime('%H:%M', time.localtime(time.time() + 7200))
    rows = []
    for label, binary in programs:
        rows.append(('%s, countdown (`true /TIME=60 /Q`)' % label, [binary, 'true', '/TIME=60', '/Q']))
        rows.append(('%s, time of day (`true /TIME=hh:mm /Q`)' % label,
                     [binary, 'true', '/TIME=' + target, '/Q']))
    rows.append(('`sleep 60`', ['sleep', '60']))
    counts = wakeups([argv for _, argv in rows])
    lines = section_start(SECTION, 'wakeups.py', args, __doc__) + [
        '| program | wake-ups in 30 s |', '|---|---|']
    lines += ['| %s | %d |' % (label, count) for (label, _), count in zip(rows, counts)]
    write_section(SECTION, lines)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
