#!/usr/bin/env python3
"""Benchmarks of keeping the schedule: how late a countdown launches on the POSIX build and on
vorbelin.exe under wine, how long a pass of the status screen takes to draw, and how many console
calls vorbelin.exe makes in one pass; how much each cycle of a repeat drifts and how late a
launch at hh:mm comes after hh:mm:00. Not a test: nothing passes or fails. Writes the section
"Schedule" of bench/RESULTS.md (bench/run.py keeps it when it rewrites the rest).

Usage: python3 bench/schedule.py [--posix PATH] [--exe PATH] [--baseline-posix PATH]
                                 [--baseline-exe PATH] [--baseline-label TEXT]

Each program runs alone in a pseudo-terminal of 80 by 25. Lateness is the time from the first title
bar on the terminal to the "Launching" line, less the delay: the countdown's first pass starts
right before it draws that bar, so the start-up is left out. /TICK=1 makes every pass a
one-second pass. Time per pass is the time from a redraw's first byte on the terminal to its last
(wine's console host renders the console to the terminal as it changes). Console calls are the
Win32 calls the program's own code makes between two sleeps, counted in wine's relay trace
(WINEDEBUG=+relay), which slows every call but not their number. Drift is the slope of the
"Launching" lines' arrival over 20 cycles of /TIME=2 /R, less 2 s: what each cycle adds. Lateness
after the minute is the wall-clock time of the "Launching" line's arrival less hh:mm:00, for a
/TIME=hh:mm at least 10 s ahead; the repeats and the minutes of all programs run at once."""
import argparse
import collections
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from results import write_section  # noqa: E402
from run import ROOT, Run, run_all  # noqa: E402

SECTION = '## Schedule'
# The version in the title bar, from the line of CMakeLists.txt that sets it.
VERSION = re.search(r'^project\(vorbelin VERSION ([0-9.]+)',
                    open(os.path.join(ROOT, 'CMakeLists.txt')).read(), re.M).group(1)
DELAYS = (5, 45)
# The Win32 calls that go to the console or ask after it.
CONSOLE_CALL = re.compile(r'Console|GetStdHandle|WaitForSingleObject')


ESCAPE = re.compile(rb'\x1b\[[0-9;?]*[ -/]*[@-~]|\x1b[@-_]')


def chunk_time_of(run, needle, start=0):
    """The time of the chunk in which needle's first byte arrived, at or after byte start of the
    text with the escape sequences and blanks taken out (wine's console host, written a byte at
    a time, puts a sequence between every two characters and moves over blanks)."""
    text, chunk_of = bytearray(), []
    for index, (_, data) in enumerate(run.chunks):
        plain = ESCAPE.sub(b'', data).replace(b' ', b'')
        text += plain
        chunk_of += [index] * len(plain)
    found = bytes(text).find(needle, start)
    if found < 0:
        return None, -1
    return run.chunks[chunk_of[found]][0], found


def countdown(argv, delay, env=None):
    """Lateness in seconds and the median drawing time of a pass."""
    run = Run(argv + ['/TIME=%d' % delay, '/TICK=1'], env=env)
    run_all([run])
    # A pass draws its title bar first: the first one's text arrives as the counting begins.
    first, offset = chunk_time_of(run, b'Vorbelin' + VERSION.encode())
    launch, _ = chunk_time_of(run, b'Launching"', max(offset, 0))
    if first is None or launch is None:
        return None, None
    draws = [end - begin for begin, _, end in run.bursts(gap=0.3) if begin < launch]
    return launch - first - delay, statistics.median(draws[1:] or draws)


def arrivals(run, needle):
    """The times of every arrival of needle on the terminal."""
    times, offset = [], 0
    while True:
        at, found = chunk_time_of(run, needle, offset)
        if at is None:
            return times
        times.append(at)
        offset = found + 1


CYCLES = 20


def repeat_run(argv, env):
    return Run(argv + ['/TIME=2', '/R'], stop_after=2 * CYCLES + 1.5, env=env)


def drift_per_cycle(run, command):
    """Seconds each cycle adds to the 2 s: the least-squares slope of the launches, less 2."""
    times = arrivals(run, b'Launching"' + command)
    if len(times) < 3:
        return None
    n = len(times)
    mean_k, mean_t = (n - 1) / 2, statistics.mean(times)
    slope = sum((k - mean_k) * (t - mean_t) for k, t in enumerate(times)) / sum(
        (k - mean_k) ** 2 for k in range(n))
    return slope - 2.0


def minute_run(argv, env):
    now = time.time()
    target = (int(now) // 60 + 1) * 60
    if target - now < 10:
        target += 60
    hhmm = time.strftime('%H:%M', time.localtime(target))
    return Run(argv + ['/TIME=' + hhmm], stop_after=target - now + 10, env=env), target


def minute_lateness(run, target, command):
    times = arrivals(run, b'Launching' + command)
    return times[0] + run.wall_start - target if times else None


def relay_calls(exe, env):
    """Console calls and all Win32 calls of one pass (the median over a /TIME=6 run's passes)."""
    trace = tempfile.NamedTemporaryFile(suffix='.relay', delete=False).name
    relay_env = dict(env, WINEDEBUG='+relay')
    wrapper = ['sh', '-c', 'exec "$@" 2>"%s"' % trace, 'sh', 'wine', exe, 'x']
    run = Run(wrapper + ['/TIME=6'], env=relay_env)
    run_all([run])
    with open(trace, errors='replace') as f:
        lines = f.read().splitlines()
    os.unlink(trace)
    # The program's thread is the one that makes the start-up's 10 ms sleep (a Sleep, or a wait
    # on the wake timer); its own calls return into the executable's image (0x140000000 up).
    startup = re.compile(r'^(\w+):Call KERNEL32\.(Sleep\(|WaitForMultipleObjects\(00000001,\w+,'
                         r'00000000,)0000000a\) ret=14[0-9a-f]{7}$')
    thread = next(match.group(1) for match in map(startup.match, lines) if match)
    call = re.compile(r'^%s:Call ([\w.]+)\(.*\) ret=14[0-9a-f]{7}$' % thread)
    passes, current = [], collections.Counter()
    for line in lines:
        match = call.match(line)
        if not match:
            continue
        name = match.group(1)
        # A pass ends in its sleep: Sleep, or the wait on the wake timer.
        if name in ('KERNEL32.Sleep', 'KERNEL32.WaitForMultipleObjects'):
            passes.append(current)
            current = collections.Counter()
        else:
            current[name] += 1
    counted = passes[2:] or passes  # the start-up's sleep and the first screen left out
    console = statistics.median(sum(n for name, n in p.items() if CONSOLE_CALL.search(name))
                                for p in counted)
    every = statistics.median(sum(p.values()) for p in counted)
    return console, every, counted[len(counted) // 2]


BANNER = ' Vorbelin ' + VERSION + ' - waits, then launches a program or internal command'
TIME_LEFT = re.compile(r'^\u25a0 Time left: +00:00:\d\d \(\d+ seconds remaing\)\.\.\. [\u2502/\\-]$', re.M)


def partial_captures(exe, env, seconds=15):
    """Captures of a tmux pane every 50 ms while vorbelin.exe redraws every second: how many show
    a blank or half-drawn screen (no banner on the first line, or no whole time-left line)."""
    socket = 'vorbelin-bench-%d' % os.getpid()
    tmux = ['tmux', '-L', socket, '-f', '/dev/null']
    command = 'env %s LANG=C.UTF-8 wine %s "cmd /c rem" /TIME=%d' % (
        ' '.join('%s=%s' % item for item in env.items()), exe, seconds)
    subprocess.run(tmux + ['new-session', '-d', '-x', '80', '-y', '25', command], check=True)
    taken = partial = 0
    try:
        end = time.monotonic() + seconds + 20
        while time.monotonic() < end:
            screen = subprocess.run(tmux + ['capture-pane', '-p'], capture_output=True,
                                    text=True).stdout
            if 'Launching "' in screen or (taken == 0 and 'Time left' not in screen):
                if taken:
                    break
                time.sleep(0.05)
                continue
            taken += 1
            if not (screen.startswith(BANNER) and TIME_LEFT.search(screen)):
                partial += 1
            time.sleep(0.05)
    finally:
        subprocess.run(tmux + ['kill-server'], capture_output=True)
    return partial, taken


def wine_env(work):
    env = {'WINEPREFIX': os.environ.get('WINEPREFIX', os.path.join(work, 'prefix')),
           'WINEDEBUG': '-all'}
    subprocess.run(['wineboot', '-i'], env=dict(os.environ, **env), capture_output=True)
    return env


def measure(programs, wine):
    rows = []
    for label, kind, path in programs:
        env = wine if kind == 'wine' else None
        argv = ['wine', path, 'cmd /c rem'] if kind == 'wine' else [path, 'true']
        row = {'label': label, 'kind': kind}
        for delay in DELAYS:
            row[delay] = countdown(argv, delay, env)
        if kind == 'wine':
            row['calls'] = relay_calls(path, wine)
            row['captures'] = partial_captures(path, wine)
        rows.append(row)
        print(label, row, flush=True)
    # Drift and the minute's start: every program at once, a minute or so for all of them.
    runs = []
    for row, (label, kind, path) in zip(rows, programs):
        env = wine if kind == 'wine' else None
        argv = ['wine', path, 'cmd /c rem'] if kind == 'wine' else [path, 'true']
        row['repeat'] = repeat_run(argv, env)
        row['minute'] = minute_run(argv, env)
        runs += [row['repeat'], row['minute'][0]]
    # A wine helper started by a run (its desktop process) can keep a terminal open after the
    # program has ended: the readings stop at a bound.
    run_all(runs, until=time.monotonic() + 2 * CYCLES + 100)
    for row, (label, kind, path) in zip(rows, programs):
        command = b'cmd/crem' if kind == 'wine' else b'true'
        row['drift'] = drift_per_cycle(row['repeat'], command)
        row['late'] = minute_lateness(row['minute'][0], row['minute'][1], command)
        print(label, 'drift', row['drift'], 'late after the minute', row['late'], flush=True)
    return rows


def milliseconds(value):
    return '-' if value is None else '%.1f ms' % (value * 1000)


def report(rows):
    lines = [SECTION, '',
             'Command: `python3 bench/schedule.py` (method in its first lines). Lateness is counted',
             'from the first title bar to the launch, less the delay; a pass\'s drawing time',
             'is from its first byte on the terminal to its last (the POSIX build writes a',
             'frame in one write, so there it is the time of one write). A lateness just below',
             'zero is the moment the first title bar takes to reach the terminal: the method\'s',
             'error.', '',
             '| program | late after 5 one-second passes | late after 45 | drawing a pass |',
             '|---|---|---|---|']
    for row in rows:
        lines.append('| %s | %s | %s | %s |' % (row['label'], milliseconds(row[5][0]),
                                               milliseconds(row[45][0]), milliseconds(row[45][1])))
    lines += ['', 'Drift is the slope of %d launches of `/TIME=2 /R`, less 2 s; lateness after the' % CYCLES,
              'minute is the wall-clock arrival of the launch line of a `/TIME=hh:mm` less hh:mm:00',
              '(the terminal\'s share included). All ran at once.', '',
              '| program | drift per cycle of `/TIME=2 /R` | late after hh:mm:00 |', '|---|---|---|']
    for row in rows:
        lines.append('| %s | %s | %s |' % (row['label'], milliseconds(row['drift']),
                                          milliseconds(row['late'])))
    wine_rows = [row for row in rows if 'calls' in row]
    if wine_rows:
        lines += ['', 'Captures: the tmux pane captured every 50 ms while a `/TIME=15` countdown',
                  'redraws every second; partial is a capture without the banner on its first line',
                  'or without a whole time-left line.', '',
                  '| vorbelin.exe under wine | console calls per pass | all Win32 calls per pass '
                  '| blank or partial captures |', '|---|---|---|---|']
        for row in wine_rows:
            partial, taken = row['captures']
            lines.append('| %s | %d | %d | %d of %d |' % (row['label'], row['calls'][0],
                                                       row['calls'][1], partial, taken))
        lines += ['', 'The calls of one pass of the first build above, by name: ' + ', '.join(
            '%s %d' % (name.split('.')[-1], n)
            for name, n in wine_rows[0]['calls'][2].most_common()) + '.']
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--posix', default=os.path.join(ROOT, 'build', 'vorbelin'))
    parser.add_argument('--exe', default=os.path.join(ROOT, 'build-win', 'vorbelin.exe'))
    parser.add_argument('--baseline-posix')
    parser.add_argument('--baseline-exe')
    parser.add_argument('--baseline-label', default='baseline')
    args = parser.parse_args()
    programs = [('vorbelin', 'posix', os.path.abspath(args.posix))]
    if args.baseline_posix:
        programs.append(('vorbelin, %s' % args.baseline_label, 'posix',
                         os.path.abspath(args.baseline_posix)))
    has_wine = shutil.which('wine') is not None and os.path.exists(args.exe)
    if has_wine:
        programs.append(('vorbelin.exe under wine', 'wine', os.path.abspath(args.exe)))
        if args.baseline_exe:
            programs.append(('vorbelin.exe under wine, %s' % args.baseline_label, 'wine',
                             os.path.abspath(args.baseline_exe)))
    work = tempfile.mkdtemp()
    lines = report(measure(programs, wine_env(work) if has_wine else None))
    write_section(SECTION, lines)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
