#!/usr/bin/env python3
"""Benchmarks of the POSIX build over one minute of waiting, side by side with sleep and watch
in the same minute on the same machine. Not a test: nothing passes or fails. Writes
bench/RESULTS.md. Usage: python3 bench/run.py [path/to/vorbelin]

Each program runs directly in a pseudo-terminal of 80 by 25 of its own (its controlling
terminal); its CPU time (user plus system) and peak resident memory come from wait4 on that one
process, and every byte it writes to the terminal is counted."""
import datetime
import fcntl
import os
import platform
import pty
import select
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build', 'vorbelin'))
SECONDS = 60


def run_in_pty(argv, seconds=None, marker=None):
    """Runs argv in a new pseudo-terminal; gives CPU seconds, peak KiB, bytes written, the time
    from the start until marker first appeared (or None) and the wall time."""
    start = time.monotonic()
    pid, fd = pty.fork()
    if pid == 0:
        os.environ['TERM'] = 'xterm-256color'
        os.execvp(argv[0], argv)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
    total, seen, marker_at, peak = 0, b'', None, 0
    next_sample = start
    deadline = start + seconds if seconds else None
    while True:
        if time.monotonic() >= next_sample:
            peak = high_water_kib(pid) or peak  # monotonic after the exec: the last reading
            next_sample = time.monotonic() + 0.5
        timeout = 0.5 if deadline is None else max(0.0, min(0.5, deadline - time.monotonic()))
        ready, _, _ = select.select([fd], [], [], timeout)
        if not ready:
            if deadline is not None and time.monotonic() >= deadline:
                os.kill(pid, 15)
                deadline = None
            continue
        try:
            data = os.read(fd, 65536)
        except OSError:
            break
        if not data:
            break
        total += len(data)
        if marker and marker_at is None:
            seen = (seen + data)[-4096:]
            if marker in seen:
                marker_at = time.monotonic() - start
    _, _, usage = os.wait4(pid, 0)
    os.close(fd)
    return {'cpu': usage.ru_utime + usage.ru_stime, 'rss': peak, 'bytes': total,
            'marker': marker_at, 'wall': time.monotonic() - start}


def high_water_kib(pid):
    """The peak resident set of the program since its exec (wait4's figure would count the
    forked Python before the exec)."""
    try:
        for line in open('/proc/%d/status' % pid):
            if line.startswith('VmHWM:'):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def main():
    work = tempfile.mkdtemp()
    launched = os.path.join(work, 'launched')
    target = (datetime.datetime.now() + datetime.timedelta(hours=2)).strftime('%H:%M')
    jobs = {
        'screen': ([BIN, 'date +%s.%N > ' + launched, '/TIME=60', '/TICK=5'], None, None),
        'quiet': ([BIN, 'true', '/TIME=60', '/TICK=5', '/Q'], None, None),
        'tod': ([BIN, 'true', '/TIME=' + target], SECONDS, None),
        'sleep': (['sleep', str(SECONDS)], None, None),
        'watch': (['watch', '-n', '5', 'date'], SECONDS, None),
        'first': ([BIN, 'true', '/TIME=30'], 2, b'remaing'),
    }
    results, threads = {}, []
    start_wall = time.time()
    for name, (argv, seconds, marker) in jobs.items():
        thread = threading.Thread(target=lambda n=name, a=argv, s=seconds, m=marker:
                                  results.__setitem__(n, run_in_pty(a, s, m)))
        thread.start()
        threads.append(thread)
    for thread in threads:
        thread.join()
    # /TIME=60 /TICK=5: passes at 60, 55, ... 25 left, then every second from 20 to 1.
    redraws = 8 + 20
    drift = float(open(launched).read()) - start_wall - 60
    watch_redraws = SECONDS // 5

    def row(label, name):
        r = results[name]
        above = max(0.0, r['cpu'] - results['sleep']['cpu']) * 3600 / r['wall']
        return '| %s | %.4f s | %.3f s | %.3f s | %d KiB |' % (
            label, r['cpu'], r['cpu'] * 3600 / r['wall'], above, r['rss'])

    s = results['screen']
    lines = [
        '# Benchmark results', '',
        'Machine: %d cores, %s %s, %s.' % (os.cpu_count(), platform.system(), platform.release(),
                                           cpu_model()),
        'Date: %s. Command: `python3 bench/run.py` after `cmake --build build` (a RelWithDebInfo build).' %
        datetime.date.today().isoformat(), '',
        'Method: every program runs at once, each directly in a pseudo-terminal of 80 by 25 of its',
        'own, for one minute; CPU is user plus system time and peak memory the maximum resident set,',
        'CPU from `wait4` on that process alone, memory the last `VmHWM` read while it ran; bytes are all it wrote to its terminal. The machine',
        'is shared and noisy: compare the figures as ratios within this one run.', '',
        '| program | CPU in its run | per hour | per hour above `sleep` (start-up taken out) | peak memory |',
        '|---|---|---|---|---|',
        row('vorbelin, countdown with the status screen (`/TIME=60 /TICK=5`)', 'screen'),
        row('vorbelin, countdown, quiet (`/Q`)', 'quiet'),
        row('vorbelin, time-of-day mode (refresh 5 s)', 'tod'),
        row('`sleep 60`', 'sleep'),
        row('`watch -n 5 date`', 'watch'), '',
        '| figure | value |', '|---|---|',
        '| vorbelin: bytes to the terminal, %d redraws | %d, of which the first full screen ~2,000 |' % (redraws, s['bytes']),
        '| vorbelin: bytes per redraw after the first | %d |' % ((s['bytes'] - 2000) // (redraws - 1)),
        '| `watch -n 5 date`: bytes per redraw (%d redraws) | %d |' % (watch_redraws, results['watch']['bytes'] // watch_redraws),
        '| drift of `/TIME=60` (start to launch, minus 60 s, start-up and launch included) | %.1f ms, %.2f ms per pass |' % (drift * 1000, drift * 1000 / redraws),
        '| start-up to the first complete status screen | %.1f ms |' % (results['first']['marker'] * 1000),
        '', 'CPU per redraw of the status screen, above `sleep`: %.0f microseconds.' %
        ((results['screen']['cpu'] - results['sleep']['cpu']) / redraws * 1e6),
        '', 'What the redraw bytes are: the title bar changes its colour every second, so its 80',
        'cells go out again (about 90 bytes); then the changed digits of the current time and the',
        'time left, the spinner, and the cursor hidden and shown again. `watch` has no colour bar.',
    ]
    with open(os.path.join(ROOT, 'bench', 'RESULTS.md'), 'w') as f:
        f.write('\n'.join(lines) + '\n')
    print('\n'.join(lines))


def cpu_model():
    try:
        for line in open('/proc/cpuinfo'):
            if line.startswith('model name'):
                return line.split(':', 1)[1].strip()
    except OSError:
        pass
    return platform.machine()


if __name__ == '__main__':
    main()
