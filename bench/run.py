#!/usr/bin/env python3
"""Benchmarks of the POSIX build: CPU while waiting, bytes per redraw, drift, peak memory and
start-up, side by side with sleep, watch and a bare sleep loop in the same minute on the same
machine. Not a test: nothing passes or fails. Writes bench/RESULTS.md.

Usage: python3 bench/run.py [--baseline PATH [--baseline-label TEXT]] [path/to/vorbelin]

Every program runs at once, each directly in a pseudo-terminal of 80 by 25 of its own, for one
minute, started a tenth of a second apart. CPU in the minute is user plus system time from wait4
on that process (with its waited-for children); CPU while waiting is the on-CPU time the
scheduler counts for the process (/proc/PID/schedstat, in nanoseconds), read at every half
second and taken over each pass from half a second before it to half a second after, so start-up
and launch are left out; peak memory is the last VmHWM read while it ran; bytes are all it wrote
to its terminal, grouped into redraws by the pauses between them. Instructions per pass come
from callgrind, which counts the same on a busy machine as on an idle one."""
import argparse
import datetime
import fcntl
import os
import platform
import pty
import select
import shutil
import signal
import statistics
import struct
import subprocess
import tempfile
import termios
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MINUTE = 60
# /TIME=60 /TICK=5, the refresh of every countdown longer than a minute: passes at 0, 5, ... 35 s
# (60 to 25 seconds left), then every second from 40 s (20 left) to 59 s, and the launch at 60 s.
COUNTDOWN_FIVE_SECOND_PASSES = range(5, 40, 5)
# Every 5 seconds for the minute: the time-of-day mode, watch and the sleep loop.
MINUTE_OF_PASSES = range(5, 60, 5)
PASSES_PER_HOUR = 3600 // 5
TIME_LEFT_LINE = b'remaing)... '
SPINNER_FIRST_GLYPH = '\u2502'.encode()


class Run:
    """One program in a pseudo-terminal of its own."""

    def __init__(self, argv, stop_after=None, env=None):
        self.stop_after = stop_after
        self.chunks, self.on_cpu, self.peak_kib, self.done = [], [], 0, False
        self.wall_start = time.time()
        self.start = time.monotonic()
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.environ['TERM'] = 'xterm-256color'
            os.environ.update(env or {})
            os.execvp(argv[0], argv)
        fcntl.ioctl(self.fd, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
        self.next_reading = 0.5

    def elapsed(self):
        return time.monotonic() - self.start

    def tick(self):
        """Readings at every half second between whole ones, where no pass falls; and the stop.
        Gives the seconds until the next thing due."""
        now = self.elapsed()
        if now >= self.next_reading:
            self.on_cpu.append((now, on_cpu_ns(self.pid)))
            self.peak_kib = high_water_kib(self.pid) or self.peak_kib
            self.next_reading += 1.0
        if self.stop_after is not None and now >= self.stop_after:
            os.kill(self.pid, signal.SIGTERM)
            self.stop_after = None
        return max(0.0, self.next_reading - self.elapsed())

    def read(self):
        try:
            data = os.read(self.fd, 65536)
        except OSError:
            data = b''
        if data:
            self.chunks.append((self.elapsed(), data))
        else:
            self.finish()

    def finish(self):
        _, _, usage = os.wait4(self.pid, 0)
        os.close(self.fd)
        self.cpu = usage.ru_utime + usage.ru_stime
        self.done = True

    def bursts(self, gap=0.2):
        """The output grouped into redraws: (first chunk's time, bytes, last chunk's time) of
        chunks less than gap apart."""
        grouped = []
        for at, data in self.chunks:
            if grouped and at - grouped[-1][2] < gap:
                grouped[-1][1] += len(data)
                grouped[-1][2] = at
            else:
                grouped.append([at, len(data), at])
        return [tuple(burst) for burst in grouped]

    def cpu_around(self, at, half=0.5):
        """On-CPU seconds from the last reading before at - half to the first after at + half."""
        before = [ns for t, ns in self.on_cpu if t <= at - half][-1]
        after = [ns for t, ns in self.on_cpu if t >= at + half][0]
        return (after - before) / 1e9


def on_cpu_ns(pid):
    try:
        with open('/proc/%d/schedstat' % pid) as f:
            return int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return 0


def high_water_kib(pid):
    """The peak resident set since the exec (wait4's figure would count the forked Python)."""
    try:
        with open('/proc/%d/status' % pid) as f:
            for line in f:
                if line.startswith('VmHWM:'):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def run_all(runs, until=None):
    """Reads and takes readings until every run has ended, or until the monotonic time until."""
    while not all(r.done for r in runs):
        if until is not None and time.monotonic() >= until:
            return
        live = [r for r in runs if not r.done]
        wait = min(r.tick() for r in live)
        if until is not None:
            wait = max(0.0, min(wait, until - time.monotonic()))
        ready, _, _ = select.select([r.fd for r in live], [], [], wait)
        for r in live:
            if r.fd in ready:
                r.read()


def time_to_first_screen(binary, times=20):
    """Median seconds from the start to the first complete status screen, and its on-CPU time."""
    seconds, cpu = [], []
    for _ in range(times):
        run = Run([binary, 'true', '/TIME=30'])
        # The screen is complete when the spinner stands behind the time left.
        while select.select([run.fd], [], [], 2.0)[0]:
            run.read()
            seen = b''.join(data for _, data in run.chunks)
            line = seen.find(TIME_LEFT_LINE)
            if run.done or (line >= 0 and seen.find(SPINNER_FIRST_GLYPH, line) >= 0):
                break
        if not run.done:
            seconds.append(run.chunks[-1][0])
            cpu.append(on_cpu_ns(run.pid) / 1e9)
            os.kill(run.pid, signal.SIGTERM)
        while not run.done:
            run.read()
    return statistics.median(seconds), statistics.median(cpu)


def instructions_per_pass(binary):
    """Instructions of ten 5-second passes (a /TIME=15 run less a /TIME=5 run), and of the start."""
    if shutil.which('valgrind') is None:
        return None
    work = tempfile.mkdtemp()
    runs = {}
    for seconds in (5, 15):
        out = os.path.join(work, 'callgrind.%d' % seconds)
        runs[seconds] = (out, Run(['valgrind', '--tool=callgrind', '--callgrind-out-file=' + out,
                                   binary, 'true', '/TIME=%d' % seconds, '/TICK=5']))
    run_all([run for _, run in runs.values()])
    totals = {}
    for seconds, (out, _) in runs.items():
        with open(out) as f:
            totals[seconds] = int([line for line in f if line.startswith('summary:')][0].split()[1])
    # /TIME=5 switches to one second at once: five passes; /TIME=15: fifteen.
    per_pass = (totals[15] - totals[5]) / 10
    return per_pass, totals[5] - 5 * per_pass


def build_wake_loop(work):
    binary = os.path.join(work, 'wake_loop')
    compiler = shutil.which('cc') or shutil.which('gcc') or shutil.which('clang')
    subprocess.run([compiler, '-O2', '-o', binary, os.path.join(ROOT, 'bench', 'wake_loop.c')],
                   check=True)
    return binary


COPIES = 3  # of each program whose passes are timed, for enough passes to take a median
REDRAW_BYTES = 135  # about what a redraw of the status screen writes


def vorbelin_jobs(binary, work, prefix):
    """The three ways of waiting, each COPIES times; the first countdown records its launch."""
    target = (datetime.datetime.now() + datetime.timedelta(hours=2)).strftime('%H:%M')
    jobs = []
    for copy in range(1, COPIES + 1):
        launched = os.path.join(work, '%slaunched%d' % (prefix, copy))
        jobs += [
            ('%sscreen%d' % (prefix, copy),
             dict(argv=[binary, 'date +%s.%N > ' + launched, '/TIME=60', '/TICK=5'])),
            ('%squiet%d' % (prefix, copy), dict(argv=[binary, 'true', '/TIME=60', '/TICK=5', '/Q'])),
            ('%stod%d' % (prefix, copy),
             dict(argv=[binary, 'true', '/TIME=' + target], stop_after=MINUTE)),
        ]
    return jobs


def peer_jobs(work):
    wake_loop = build_wake_loop(work)
    now = int(time.time())
    jobs = []
    for copy in range(1, COPIES + 1):
        jobs += [('wake%d' % copy, dict(argv=[wake_loop, '5', '12'])),
                 ('wakewrite%d' % copy, dict(argv=[wake_loop, '5', '12', str(REDRAW_BYTES)]))]
    return jobs + [
        ('sleep1', dict(argv=['sleep', str(MINUTE)])),
        ('watch1', dict(argv=['watch', '-n', '5', 'date'], stop_after=MINUTE)),
        ('peer1', dict(argv=['watch', '-t', '-c', '-n', '5', '-x', 'sh',
                             os.path.join(ROOT, 'bench', 'peer_screen.sh'), str(now),
                             str(now + MINUTE), 'true'],
                       stop_after=MINUTE, env={'LC_ALL': 'C.UTF-8'})),
    ]


def start_staggered(jobs):
    """Starts the jobs a tenth of a second apart, so that their passes never wake together."""
    runs = {}
    for name, job in jobs:
        runs[name] = Run(**job)
        run_all(list(runs.values()), until=time.monotonic() + 0.1)
    return runs


def measure(binary, baseline):
    work = tempfile.mkdtemp()
    jobs = vorbelin_jobs(binary, work, '')
    if baseline:
        jobs += vorbelin_jobs(baseline, work, 'base ')
    runs = start_staggered(jobs + peer_jobs(work))
    run_all(list(runs.values()))
    with open(os.path.join(work, 'launched1')) as f:
        drift = float(f.read()) - runs['screen1'].wall_start - MINUTE
    results = {'runs': runs, 'drift': drift, 'startup': time_to_first_screen(binary),
               'instructions': instructions_per_pass(binary)}
    if baseline:
        results['base startup'] = time_to_first_screen(baseline)
        results['base instructions'] = instructions_per_pass(baseline)
    return results


# --- The report.

class Kind:
    """All copies of one program: the minute's CPU (median), peak memory (highest), and the
    on-CPU time of a pass (median over every pass of every copy)."""

    def __init__(self, runs, name, passes=None, half=0.5):
        self.name = name
        copies = [run for key, run in runs.items() if key.rstrip('0123456789') == name]
        self.minute_cpu = statistics.median(run.cpu for run in copies)
        self.peak_kib = max(run.peak_kib for run in copies)
        self.each = None
        if passes is not None:
            times = [run.cpu_around(at, half) for run in copies for at in passes]
            self.each, self.count = statistics.median(times), len(times)

    def per_hour(self):
        return self.each * PASSES_PER_HOUR


def kind_named(rows, name):
    return [kind for _, kind in rows if kind.name == name][0]


def cpu_rows(runs, label_base):
    rows = []
    for prefix, label in [('', 'vorbelin'), ('base ', label_base)]:
        if prefix + 'screen1' not in runs:
            continue
        rows += [
            ('%s, countdown with the status screen (`/TIME=60 /TICK=5`)' % label,
             Kind(runs, prefix + 'screen', COUNTDOWN_FIVE_SECOND_PASSES)),
            # Quiet mode sleeps until the launch: it has no passes to take the CPU around.
            ('%s, countdown, quiet (`/TIME=60 /TICK=5 /Q`)' % label,
             Kind(runs, prefix + 'quiet')),
            ('%s, time-of-day mode (refresh 5 s)' % label,
             Kind(runs, prefix + 'tod', MINUTE_OF_PASSES)),
        ]
    return rows + [
        ('a bare loop of 5-second sleeps (`bench/wake_loop.c`)', Kind(runs, 'wake', MINUTE_OF_PASSES)),
        ('the same loop looking for a key and writing %d bytes to its terminal after each sleep'
         % REDRAW_BYTES, Kind(runs, 'wakewrite', MINUTE_OF_PASSES)),
        # watch counts its 5 seconds from the end of each command, so its redraws slip a little.
        ('`watch -n 5 date` (its children are in its minute, not in its wake-ups)',
         Kind(runs, 'watch', MINUTE_OF_PASSES, half=1.0)),
        ('`sleep 60`', Kind(runs, 'sleep')),
    ]


def cpu_lines(rows):
    lines = ['| program | CPU in its minute | CPU per wake-up while waiting (passes) | '
             'per hour of waiting (720 wake-ups) | peak memory |', '|---|---|---|---|---|']
    for label, kind in rows:
        each = '-' if kind.each is None else '%.0f us (%d)' % (kind.each * 1e6, kind.count)
        hour = '%.4f s' % kind.per_hour() if kind.each is not None else '-'
        lines.append('| %s | %.4f s | %s | %s | %d KiB |' % (label, kind.minute_cpu, each, hour,
                                                           kind.peak_kib))
    return lines


def bytes_table(runs):
    screen = runs['screen1'].bursts()
    # The title goes out before the start's 10 ms pause; the screen is complete at its end.
    _, first_size, first_at = screen[0]
    redraws = [(at, size) for at, size, _ in screen[1:] if at < MINUTE - 0.3]
    five = [size for at, size in redraws if at < 39.5]
    one = [size for at, size in redraws if at >= 39.5]
    peer = [size for _, size, _ in runs['peer1'].bursts()[1:]]
    watch = [size for _, size, _ in runs['watch1'].bursts()[1:]]
    lines = ['| output | redraws | bytes per redraw (mean) |', '|---|---|---|',
             '| vorbelin: the first full status screen | 1 | %d |' % first_size,
             '| vorbelin: redraws 5 seconds apart | %d | %.0f |' % (len(five), statistics.mean(five)),
             '| vorbelin: redraws 1 second apart | %d | %.0f |' % (len(one), statistics.mean(one))]
    if 'base screen1' in runs:
        base = [size for at, size, _ in runs['base screen1'].bursts()[1:] if at < 39.5]
        lines.append('| baseline: redraws 5 seconds apart | %d | %.0f |'
                     % (len(base), statistics.mean(base)))
    lines += ['| `watch -t -c -n 5` of the same status screen (`bench/peer_screen.sh`) | %d | %.0f |'
              % (len(peer), statistics.mean(peer)),
              '| `watch -n 5 date` (a two-line screen, for scale) | %d | %.0f |'
              % (len(watch), statistics.mean(watch))]
    return lines, redraws, first_at, statistics.mean(five + one), statistics.mean(peer)


def drift_per_pass(redraws, first_at):
    """From the first screen (60 left) to the last (1 left) the count adds 59 s in 27 passes."""
    return (redraws[-1][0] - first_at - 59) / 27


def target_lines(rows, results, redraws, first_at, bytes_ours, bytes_watch):
    screen, quiet, wake, write, sleep = [kind_named(rows, name) for name in
                                         ('screen', 'quiet', 'wake', 'wakewrite', 'sleep')]
    peak = max(kind.peak_kib for label, kind in rows if label.startswith('vorbelin,'))
    per_pass = drift_per_pass(redraws, first_at)
    return [
        '| target | measured | |', '|---|---|---|',
        '| CPU at most 0.05 s per hour of waiting with the status screen | %.4f s; the sleep loop'
        ' alone %.4f s, with a key check and a redraw\'s write %.4f s | %s |' % (
            screen.per_hour(), wake.per_hour(), write.per_hour(),
            'met' if screen.per_hour() <= 0.05 else 'missed'),
        '| quiet mode within twice `sleep`\'s cost | %.2f times, in the minute | %s |' % (
            quiet.minute_cpu / sleep.minute_cpu,
            'met' if quiet.minute_cpu <= 2 * sleep.minute_cpu else 'missed'),
        '| bytes per redraw no more than `watch` for the same change | %.0f against %.0f | %s |' % (
            bytes_ours, bytes_watch, 'met' if bytes_ours <= bytes_watch else 'missed'),
        '| drift under 1 ms per pass | %.2f ms (start to launch, per pass); %.3f ms (the passes'
        ' alone) | %s |' % (results['drift'] * 1000 / 28, per_pass * 1000,
                             'met' if results['drift'] / 28 < 0.001 else 'missed'),
        '| peak memory under 2 MiB | %d KiB | %s |' % (peak, 'met' if peak < 2048 else 'missed'),
    ]


def drift_lines(drift, redraws, first_at):
    per_pass = drift_per_pass(redraws, first_at)
    rest = drift - first_at - 27 * per_pass
    return [
        '| figure | value |', '|---|---|',
        '| drift of `/TIME=60`: start to launch, minus 60 s | %.1f ms |' % (drift * 1000),
        '| the same per pass (28 passes) | %.2f ms |' % (drift * 1000 / 28),
        '| of which the start to the first screen | %.1f ms |' % (first_at * 1000),
        '| of which the passes, from the redraws\' times | %.3f ms per pass, %.1f ms in all |'
        % (per_pass * 1000, per_pass * 27000),
        '| of which the last pass and the launch through `/bin/sh` | %.1f ms |' % (rest * 1000),
        '| at that rate, a day of 5-second passes (17,280) | %.1f s |' % (per_pass * 17280),
    ]


METHOD = """All programs below ran at once, each directly in an 80 by 25 pseudo-terminal of its own,
for one minute, started a tenth of a second apart so that no two wake together; vorbelin and
the sleep loop ran in %d copies each. "CPU in its minute" is user plus system time from `wait4`
(start-up and, for vorbelin's countdown, the launch included; the median of the copies).
"CPU per wake-up while waiting" is the on-CPU time the scheduler counted for the process
(`/proc/PID/schedstat`, read at every half second) from half a second before a pass to half a
second after it, the median over the passes of all copies: a countdown's 5-second passes at
5 s to 35 s, and the eleven at 5 s to 55 s of the others. "Per hour of waiting" is that times
720, the wake-ups of an hour at the 5-second refresh. Peak memory is the highest `VmHWM`. The
machine is shared and noisy: compare ratios within this one run.""" % COPIES


def report(results, label_base):
    runs = results['runs']
    rows = cpu_rows(runs, label_base)
    screen, quiet, wake, write, sleep = [kind_named(rows, name) for name in
                                         ('screen', 'quiet', 'wake', 'wakewrite', 'sleep')]
    byte_lines, redraws, first_at, bytes_ours, bytes_watch = bytes_table(runs)
    startup_s, startup_cpu = results['startup']
    lines = [
        '# Benchmark results', '',
        'Machine: %d cores, %s %s, %s. Date: %s. Commit: %s.' % (
            os.cpu_count(), platform.system(), platform.release(), cpu_model(),
            datetime.date.today().isoformat(), commit()),
        'Command: `python3 bench/run.py%s` after `cmake --build build` (RelWithDebInfo, -O2)%s.' % (
            (' --baseline PATH --baseline-label "%s"' % label_base, ', PATH a build of that version')
            if 'base screen1' in runs else ('', '')), '',
        '## Targets', '',
    ] + target_lines(rows, results, redraws, first_at, bytes_ours, bytes_watch) + [
        '', '## Method', '', METHOD, '',
        '## CPU while waiting and peak memory', '',
    ] + cpu_lines(rows) + [
        '',
        'The status screen costs %.4f s per hour of waiting. A process that does nothing but wake'
        % screen.per_hour(),
        'every 5 seconds costs this machine %.4f s per hour (the sleep loop), which leaves %.4f s'
        % (wake.per_hour(), screen.per_hour() - wake.per_hour()),
        'as the program\'s own share; one that only looks for a key and writes a redraw\'s bytes'
        ' costs',
        '%.4f s. Quiet mode in its minute: %.4f s, `sleep 60` %.4f s (%.2f times).'
        % (write.per_hour(), quiet.minute_cpu, sleep.minute_cpu,
           quiet.minute_cpu / sleep.minute_cpu), '',
    ]
    if results['instructions']:
        per_pass, start = results['instructions']
        lines += ['Instructions (callgrind, repeatable): %.0f per 5-second pass of the status screen'
                  % per_pass]
        if results.get('base instructions'):
            lines[-1] += ', against %.0f for the baseline' % results['base instructions'][0]
        lines += ['(%.0f for the start and the first screen).' % start, '']
    lines += ['## Bytes per redraw', ''] + byte_lines + [
        '',
        'A redraw sends the title bar again (its colour changes every second: 80 cells), the',
        'changed digits of the current time and the time left, and the spinner, each reached by',
        'the shortest cursor move; the cursor is hidden only for frames too large for one read.',
        'watch shows the bar\'s bright white as bold white, the nearest it has.', '',
        '## Drift', '',
    ] + drift_lines(results['drift'], redraws, first_at) + [
        '',
        'The count is a count of passes, but each pass\'s sleep ends at its planned time on the',
        'monotonic clock, so drawing and wake-up latency do not add up over the passes; what is',
        'left is the start-up and the launch (bench/schedule.py: lateness over 5 and 45 passes).', '',
        '## Start-up', '',
        '| figure | value |', '|---|---|',
        '| start to the first complete status screen (median of 20) | %.1f ms |' % (startup_s * 1000),
        '| on-CPU time to get there (median of 20) | %.2f ms |' % (startup_cpu * 1000),
    ]
    if results.get('base startup'):
        lines.append('| baseline: start to the first complete status screen | %.1f ms |'
                     % (results['base startup'][0] * 1000))
    lines += ['', 'The start includes the 10 ms pause that lets a console window take its new title',
              'before it is looked for by that title.']
    return lines


def cpu_model():
    try:
        with open('/proc/cpuinfo') as f:
            for line in f:
                if line.startswith('model name'):
                    return line.split(':', 1)[1].strip()
    except OSError:
        pass
    return platform.machine()


def commit():
    try:
        return subprocess.run(['git', '-C', ROOT, 'rev-parse', '--short', 'HEAD'],
                              capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return 'unknown'


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('binary', nargs='?', default=os.path.join(ROOT, 'build', 'vorbelin'))
    parser.add_argument('--baseline', help='another vorbelin to measure beside it')
    parser.add_argument('--baseline-label', default='baseline')
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    baseline = os.path.abspath(args.baseline) if args.baseline else None
    lines = report(measure(binary, baseline), args.baseline_label)
    path = os.path.join(ROOT, 'bench', 'RESULTS.md')
    # The sections the other scripts write stay as they last wrote them.
    own = {line for line in lines if line.startswith('## ')}
    kept = ''
    if os.path.exists(path):
        sections = open(path).read().split('\n## ')[1:]
        kept = ''.join('\n## ' + section for section in sections
                       if '## ' + section.split('\n')[0] not in own)
    with open(path, 'w') as f:
        f.write('\n'.join(lines) + '\n' + kept)
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
