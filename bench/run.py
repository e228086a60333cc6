#!/usr/bin/env python3
"""Benchmarks of the POSIX build: CPU while waiting, bytes per redraw, drift, peak memory and
start-up, side by side with sleep, watch and a bare sleep loop in the same minute on the same
machine. Not a test: nothing passes or fails. Writes bench/RESULTS.md.

Usage: python3 bench/run.py [--baseline PATH [--baseline-label TEXT]] [path/to/vorbelin]

Every program runs at once, each directly in a pseudo-terminal of 80 by 25 of its own, for one
minute. CPU in the minute is user plus system time from wait4 on that process (with its waited-for
children); CPU while waiting is the on-CPU time the scheduler counts for the process
(/proc/PID/schedstat, in nanoseconds) between two readings taken between passes, so start-up and
launch are left out; peak memory is the last VmHWM read while it ran; bytes are all it wrote to
its terminal, grouped into redraws by the pauses between them. Instructions per pass come from
callgrind, which counts the same on a busy machine as on an idle one."""
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
# /TIME=60 at the default refresh: passes at 60, 55, ... 25 seconds left (every 5 s), then every
# second from 20 to 1, and the launch at 60 s. Readings between passes: after the first (1 s),
# before the switch to one second (39.5 s) and before the launch (59.5 s).
COUNTDOWN_READINGS = (1.0, 39.5, 59.5)
FIVE_SECOND_PASSES = 7  # at 5, 10, ... 35 s: between the first two readings
ONE_SECOND_PASSES = 20  # at 40, 41, ... 59 s: between the last two readings
PASSES_PER_HOUR = 3600 // 5
SPINNER_FIRST_GLYPH = 'remaing)... \u2502'.encode()


class Run:
    """One program in a pseudo-terminal of its own."""

    def __init__(self, argv, stop_after=None, readings=(1.0, 59.5), env=None):
        self.argv, self.stop_after, self.readings = argv, stop_after, list(readings)
        self.chunks, self.on_cpu, self.peak_kib, self.done = [], {}, 0, False
        self.wall_start = time.time()
        self.start = time.monotonic()
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.environ['TERM'] = 'xterm-256color'
            os.environ.update(env or {})
            os.execvp(argv[0], argv)
        fcntl.ioctl(self.fd, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
        self.next_sample = self.start

    def elapsed(self):
        return time.monotonic() - self.start

    def tick(self):
        """Readings due now: memory every half second, on-CPU time at the reading times."""
        now = self.elapsed()
        if self.readings and now >= self.readings[0]:
            self.on_cpu[self.readings.pop(0)] = on_cpu_ns(self.pid)
        if time.monotonic() >= self.next_sample:
            self.peak_kib = high_water_kib(self.pid) or self.peak_kib
            self.next_sample = time.monotonic() + 0.5
        if self.stop_after is not None and now >= self.stop_after:
            os.kill(self.pid, signal.SIGTERM)
            self.stop_after = None

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
        self.wall = self.elapsed()
        self.done = True

    def bursts(self, gap=0.2):
        """The output grouped into redraws: (time, bytes) of chunks less than gap apart."""
        grouped = []
        for at, data in self.chunks:
            if grouped and at - grouped[-1][2] < gap:
                grouped[-1][1] += len(data)
                grouped[-1][2] = at
            else:
                grouped.append([at, len(data), at])
        return [(at, size) for at, size, _ in grouped]

    def cpu_between(self, first, last):
        return (self.on_cpu[last] - self.on_cpu[first]) / 1e9


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


def run_all(runs):
    while not all(r.done for r in runs):
        live = [r for r in runs if not r.done]
        for r in live:
            r.tick()
        ready, _, _ = select.select([r.fd for r in live], [], [], 0.05)
        for r in live:
            if r.fd in ready:
                r.read()


def time_to_first_screen(binary, times=20):
    """Median seconds from the start to the first complete status screen, and its on-CPU time."""
    seconds, cpu = [], []
    for _ in range(times):
        run = Run([binary, 'true', '/TIME=30'], readings=())
        seen = b''
        while True:
            ready, _, _ = select.select([run.fd], [], [], 2.0)
            if not ready:
                break
            data = os.read(run.fd, 65536)
            seen += data
            if SPINNER_FIRST_GLYPH in seen:
                seconds.append(run.elapsed())
                cpu.append(on_cpu_ns(run.pid) / 1e9)
                break
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
                                   binary, 'true', '/TIME=%d' % seconds, '/TICK=5'], readings=()))
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


def vorbelin_jobs(binary, launched):
    target = (datetime.datetime.now() + datetime.timedelta(hours=2)).strftime('%H:%M')
    return {
        'screen': Run([binary, 'date +%s.%N > ' + launched, '/TIME=60'],
                      readings=COUNTDOWN_READINGS),
        'quiet': Run([binary, 'true', '/TIME=60', '/Q'], readings=COUNTDOWN_READINGS),
        'tod': Run([binary, 'true', '/TIME=' + target], stop_after=MINUTE),
    }


def measure(binary, baseline):
    work = tempfile.mkdtemp()
    wake_loop = build_wake_loop(work)
    launched = os.path.join(work, 'launched')
    now = int(time.time())
    runs = {
        'sleep': Run(['sleep', str(MINUTE)]),
        'wake': Run([wake_loop, '5', '12']),
        'watch': Run(['watch', '-n', '5', 'date'], stop_after=MINUTE),
        'peer': Run(['watch', '-t', '-c', '-n', '5', '-x', 'sh',
                     os.path.join(ROOT, 'bench', 'peer_screen.sh'), str(now), str(now + MINUTE),
                     'date +%s.%N > ' + launched], stop_after=MINUTE, env={'LC_ALL': 'C.UTF-8'}),
    }
    runs.update(vorbelin_jobs(binary, launched))
    if baseline:
        runs.update({'base ' + k: v for k, v in
                     vorbelin_jobs(baseline, os.path.join(work, 'launched.base')).items()})
    run_all(list(runs.values()))
    with open(launched) as f:
        drift = float(f.read()) - runs['screen'].wall_start - MINUTE
    results = {'runs': runs, 'drift': drift, 'startup': time_to_first_screen(binary),
               'instructions': instructions_per_pass(binary)}
    if baseline:
        results['base startup'] = time_to_first_screen(baseline)
        results['base instructions'] = instructions_per_pass(baseline)
    return results


# --- The report.

def per_pass_rows(runs, label, key):
    """CPU while waiting, per 5-second pass, for a countdown or the time-of-day mode."""
    r = runs[key]
    if key.endswith('tod'):
        per_pass = r.cpu_between(1.0, 59.5) / 11
    else:
        per_pass = r.cpu_between(1.0, 39.5) / FIVE_SECOND_PASSES
    return label, r, per_pass, per_pass * PASSES_PER_HOUR


def cpu_table(results, label_base):
    runs = results['runs']
    rows = [per_pass_rows(runs, 'vorbelin, countdown with the status screen (`/TIME=60`)', 'screen'),
            per_pass_rows(runs, 'vorbelin, countdown, quiet (`/TIME=60 /Q`)', 'quiet'),
            per_pass_rows(runs, 'vorbelin, time-of-day mode (refresh 5 s)', 'tod')]
    if 'base screen' in runs:
        rows += [per_pass_rows(runs, '%s, countdown with the status screen' % label_base,
                               'base screen'),
                 per_pass_rows(runs, '%s, countdown, quiet' % label_base, 'base quiet'),
                 per_pass_rows(runs, '%s, time-of-day mode' % label_base, 'base tod')]
    wake, watch, sleep = runs['wake'], runs['watch'], runs['sleep']
    wake_each = wake.cpu_between(1.0, 59.5) / 11
    watch_each = watch.cpu_between(1.0, 59.5) / 11
    rows += [('a bare loop of 5-second sleeps (`bench/wake_loop.c`)', wake, wake_each,
              wake_each * PASSES_PER_HOUR),
             ('`watch -n 5 date` (its own process; its children are in the minute\'s figure)',
              watch, watch_each, watch_each * PASSES_PER_HOUR),
             ('`sleep 60`', sleep, None, sleep.cpu_between(1.0, 59.5) / 58.5 * 3600)]
    lines = ['| program | CPU in its minute | CPU per wake-up while waiting | per hour of waiting '
             '(720 wake-ups) | peak memory |', '|---|---|---|---|---|']
    for label, r, each, hour in rows:
        lines.append('| %s | %.4f s | %s | %.4f s | %d KiB |' % (
            label, r.cpu, '-' if each is None else '%.0f us' % (each * 1e6), hour, r.peak_kib))
    return lines, rows


def redraw_sizes(run, first_skipped=True, before=None):
    sizes = [size for at, size in run.bursts()[1 if first_skipped else 0:]
             if before is None or at < before]
    return sizes


def bytes_table(results):
    runs = results['runs']
    screen = runs['screen'].bursts()
    first_at, first_size = screen[0]
    redraws = [(at, size) for at, size in screen[1:] if at < MINUTE - 0.3]
    five = [size for at, size in redraws if at < 39.5]
    one = [size for at, size in redraws if at >= 39.5]
    peer = redraw_sizes(runs['peer'])
    watch = redraw_sizes(runs['watch'])
    lines = ['| output | redraws | bytes per redraw (mean) |', '|---|---|---|',
             '| vorbelin: the first full status screen | 1 | %d |' % first_size,
             '| vorbelin: redraws 5 seconds apart | %d | %.0f |' % (len(five), statistics.mean(five)),
             '| vorbelin: redraws 1 second apart | %d | %.0f |' % (len(one), statistics.mean(one)),
             '| `watch -t -c -n 5` of the same status screen (`bench/peer_screen.sh`) | %d | %.0f |'
             % (len(peer), statistics.mean(peer)),
             '| `watch -n 5 date` (a two-line screen, for scale) | %d | %.0f |'
             % (len(watch), statistics.mean(watch))]
    if 'base screen' in runs:
        base = [size for at, size in runs['base screen'].bursts()[1:] if at < 39.5]
        lines.insert(5, '| baseline: redraws 5 seconds apart | %d | %.0f |'
                     % (len(base), statistics.mean(base)))
    return lines, redraws, first_at


def drift_lines(results, redraws, first_at):
    drift = results['drift']
    last_at = redraws[-1][0]
    # From the first screen (60 left) to the last (1 left) the count adds 59 seconds in 27 passes.
    per_pass = (last_at - first_at - 59) / 27
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


def report(results, binary, label_base):
    cpu_lines, rows = cpu_table(results, label_base)
    runs = results['runs']
    byte_lines, redraws, first_at = bytes_table(results)
    startup_s, startup_cpu = results['startup']
    quiet, sleep = runs['quiet'], runs['sleep']
    screen_hour = rows[0][3]
    wake_hour = [row for row in rows if row[1] is runs['wake']][0][3]
    lines = [
        '# Benchmark results', '',
        'Machine: %d cores, %s %s, %s. Date: %s. Commit: %s.' % (
            os.cpu_count(), platform.system(), platform.release(), cpu_model(),
            datetime.date.today().isoformat(), commit()),
        'Command: `python3 bench/run.py%s` after `cmake --build build` (RelWithDebInfo, -O2).' % (
            ' --baseline ...' if 'base screen' in runs else ''), '',
        '## Method', '',
        'All programs below ran at once, each directly in an 80 by 25 pseudo-terminal of its own,',
        'for one minute. "CPU in its minute" is user plus system time from `wait4` (start-up and,',
        'for vorbelin\'s countdown, the launch included). "CPU per wake-up while waiting" is the',
        'on-CPU time the scheduler counted for the process (`/proc/PID/schedstat`) between two',
        'readings taken between passes, divided by the passes between them: for a countdown the',
        'seven 5-second passes between 1 s and 39.5 s, for the time-of-day mode, watch and the',
        'sleep loop the eleven between 1 s and 59.5 s. "Per hour of waiting" is that times 720, the',
        'wake-ups of an hour at the default 5-second refresh (for `sleep`, its own reading over',
        'the minute, scaled). The machine is shared and noisy: compare ratios within this one run.',
        '',
        '## CPU while waiting and peak memory', '',
    ] + cpu_lines + [
        '',
        'The status screen costs %.4f s per hour of waiting; a process that only wakes every 5'
        % screen_hour,
        'seconds costs this machine %.4f s per hour (the bare loop above), so the program\'s own'
        % wake_hour,
        'share is %.4f s. Quiet mode in its minute: %.4f s against `sleep 60`\'s %.4f s (%.2f times).'
        % (screen_hour - wake_hour, quiet.cpu, sleep.cpu, quiet.cpu / sleep.cpu), '',
    ]
    if results['instructions']:
        per_pass, start = results['instructions']
        lines += ['Instructions (callgrind): %.0f per 5-second pass of the status screen, %.0f for'
                  % (per_pass, start), 'the start and the first five passes\' worth of set-up.']
        if results.get('base instructions'):
            lines[-1] += ' Baseline: %.0f per pass.' % results['base instructions'][0]
        lines.append('')
    lines += ['## Bytes per redraw', ''] + byte_lines + [
        '',
        'A redraw sends the title bar again (its colour changes every second: 80 cells), the',
        'changed digits of the current time and the time left, and the spinner, each reached by',
        'the shortest cursor move; the cursor is hidden only for frames too large for one read.', '',
        '## Drift', '',
    ] + drift_lines(results, redraws, first_at) + [
        '',
        'The count is a count of passes: each pass sleeps the refresh interval after drawing, so',
        'the drawing and the wake-up latency add to the wait.', '',
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
    lines = report(measure(binary, baseline), binary, args.baseline_label)
    with open(os.path.join(ROOT, 'bench', 'RESULTS.md'), 'w') as f:
        f.write('\n'.join(lines) + '\n')
    print('\n'.join(lines))


if __name__ == '__main__':
    main()
