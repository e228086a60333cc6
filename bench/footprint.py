#!/usr/bin/env python3
"""The memory a status-screen pass of the POSIX build touches: cache lines and pages of code and
of data, side by side with baseline builds. Not a test: nothing passes or fails. Writes the
section "Memory a pass touches" of bench/RESULTS.md.

Usage: python3 bench/footprint.py [--baseline PATH [--baseline-label TEXT]]... [path/to/vorbelin]

Each program runs `true /TIME=8 /TICK=1` (a pass a second) in an 80 by 25 pseudo-terminal of its
own under valgrind's lackey, which lists every instruction fetched and every load and store.
A pass is counted from one entry into the sleep's watch of the terminal
(`watch_input_until`) to the next; the figures are those of the fifth pass (steady state: no
start-up, no launch, no key), and they repeat exactly from pass to pass and run to run. A pass
wakes after a second of other programs' work, so the lines and pages it touches are fetched
cold: the fewer, the cheaper, however noisy a timing of them is."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from results import programs_to_measure, section_start, write_section  # noqa: E402
from run import ROOT, Run, run_all  # noqa: E402

SECTION = '## Memory a pass touches'
PASS = 5


def pass_start(binary):
    """The address valgrind gives the first instruction of the watch (it loads a position-
    independent program at 0x108000)."""
    symbols = subprocess.run(['nm', binary], capture_output=True, text=True, check=True).stdout
    for line in symbols.splitlines():
        if 'watch_input_until' in line and ' T ' in line:
            return int(line.split()[0], 16) + 0x108000
    raise SystemExit('%s: no watch_input_until among its symbols' % binary)


def touched(binary):
    """(code lines, code pages, data lines, data pages) of the fifth pass."""
    log = tempfile.mktemp(prefix='vorbelin-lackey.')
    run_all([Run(['valgrind', '--tool=lackey', '--trace-mem=yes', '--log-file=' + log, binary,
                  'true', '/TIME=8', '/TICK=1'], env={'LANG': 'C.UTF-8'})])
    start = pass_start(binary)
    passes, lines = 0, {'I': set(), 'D': set()}
    with open(log) as f:
        for record in f:
            fields = record.split()
            if len(fields) != 2 or record.startswith('=='):
                continue
            address = int(fields[1].split(',')[0], 16)
            kind = 'I' if fields[0] == 'I' else 'D'
            if kind == 'I' and address == start:
                passes += 1
                if passes > PASS:
                    break
            if passes == PASS:
                lines[kind].add(address >> 6)
    os.unlink(log)
    return tuple(figure for kind in 'ID'
                 for figure in (len(lines[kind]), len({line >> 6 for line in lines[kind]})))


def main():
    args, programs = programs_to_measure(__doc__, os.path.join(ROOT, 'build', 'vorbelin'))
    lines = section_start(SECTION, 'footprint.py', args, __doc__) + [
        '| program | code: lines (pages) | data: lines (pages) | pages in all |', '|---|---|---|---|']
    for label, binary in programs:
        code_lines, code_pages, data_lines, data_pages = touched(binary)
        lines.append('| %s | %d (%d) | %d (%d) | %d |' % (
            label, code_lines, code_pages, data_lines, data_pages, code_pages + data_pages))
    write_section(SECTION, lines)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
