#!/usr/bin/env python3
"""The program in a pseudo-terminal whose every byte goes through a VT100 emulator (pyte).

    pty_emulated.py path/to/vorbelin stalled_reader|stalled_end|split_keys|scripts|command_modes

stalled_reader: another writer fills the terminal's buffer while nothing reads, the program is
ended with SIGTERM, and the reader goes on: the sequence that resets the colours and shows the
cursor still arrives, after all.

stalled_end: the reader stops while the window is resized again and again, then the run is
ended (SIGTERM, or ESC) and the reader goes on 2 s later. What the terminal
got must end with no sequence cut short (text written after it shows as text) and the cursor
shown; after ESC the stop message is on the screen.

split_keys: keys whose bytes arrive apart within the pause (ESC, then [A 5 or 20 ms later: the
pause is 50 ms, so a busy machine has 30 ms to spare, and a reader that does not wait reads the
split ESC alone), Alt
with [ and O, a sequence longer than any key and an overlong ESC: /DEBUG writes each code read,
none of them stops the run, and nothing of them is left for the shell.

scripts: a command of wide (CJK, emoji), combining and, in an ISO-8859-1 locale, Latin-1
characters: the status line shows it whole, each character in the columns the terminal gives it,
and the line after it where it belongs.

command_modes: a command switches to the line-drawing set, turns autowrap off, sets a scroll
region and origin mode, and runs stty raw; the next screen is drawn in ASCII over the whole
window with output processing on, and the end leaves the terminal with all of it put back.

Prints what it saw; exits 1 when a check failed."""
import fcntl
import os
import select
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unicodedata

import pyte

FAILED = []


class Screen(pyte.Screen):
    """pyte reads CSI r without parameters as a top margin of 0 that keeps the bottom one; a VT100
    takes both as their defaults, the whole screen."""

    def set_margins(self, top=None, bottom=None, *args, **kwargs):
        if not top and bottom is None:
            top = None
        super().set_margins(top, bottom, *args, **kwargs)


def check(name, ok, detail=''):
    print('%s: %s%s' % ('ok' if ok else 'FAILED', name, ' (%s)' % detail if detail and not ok else ''))
    if not ok:
        FAILED.append(name)


class Pane:
    """The program on the slave side of a pty of its own, the emulator on the master side."""

    def __init__(self, argv, columns=80, rows=25, stdout=None, env_extra=None):
        self.master, self.slave = os.openpty()
        self.resize(columns, rows)
        env = dict(os.environ, TERM='xterm-256color', LANG='C.UTF-8')
        env.pop('NO_COLOR', None)
        env.update(env_extra or {})
        self.program = subprocess.Popen(
            argv, stdin=self.slave, stdout=stdout if stdout is not None else self.slave,
            stderr=self.slave, env=env, start_new_session=True,
            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.got = b''

    def resize(self, columns, rows):
        fcntl.ioctl(self.master, termios.TIOCSWINSZ, struct.pack('HHHH', rows, columns, 0, 0))
        self.columns, self.rows = columns, rows

    def read_for(self, seconds, until=None):
        end = time.monotonic() + seconds
        while time.monotonic() < end and not (until and until()):
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if ready:
                try:
                    self.got += os.read(self.master, 65536)
                except OSError:  # the last process on the terminal has gone
                    break

    def shows(self, text, seconds=30):
        """Reads until the screen shows text (a busy machine's first pass may take seconds)."""
        self.read_for(seconds, until=lambda: text in self.got)
        return text in self.got

    def finish(self, timeout=10):
        """Reads until the program ends and what it wrote last; gives its status."""
        self.read_for(timeout, until=lambda: self.program.poll() is not None)
        self.read_for(0.3)
        return self.program.wait(timeout=5)

    def left_for_the_shell(self):
        """What the program's terminal still holds unread."""
        flags = fcntl.fcntl(self.slave, fcntl.F_GETFL)
        fcntl.fcntl(self.slave, fcntl.F_SETFL, flags | os.O_NONBLOCK)
        try:
            return os.read(self.slave, 4096)
        except BlockingIOError:
            return b''

    def screen(self, probe=b'', utf8=True):
        """The emulator's screen after all the bytes, and after probe written by the next program.
        pyte applies character sets to bytes read as Latin-1 only."""
        screen = Screen(self.columns, self.rows)
        stream = pyte.ByteStream(screen)
        stream.use_utf8 = utf8
        stream.feed(self.got + probe)
        return screen

    def close(self):
        if self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        os.close(self.master)
        os.close(self.slave)


def probe_shows(pane, probe=b'PROBE', utf8=True):
    """Text written after the program ends shows as text where the cursor was left."""
    before = pane.screen(utf8=utf8)
    x, y = before.cursor.x, before.cursor.y
    after = pane.screen(probe, utf8=utf8)
    return after.display[y][x:x + len(probe)] == probe.decode()


def stalled_end():
    for how in ('SIGTERM', 'ESC'):
        pane = Pane([BIN, 'true', '/TIME=60'])
        try:
            pane.shows(b'Time left')
            # The reader stops; each resize repaints more than the terminal's buffer holds.
            for i in range(60):
                pane.resize(100 if i % 2 == 0 else 80, 30 if i % 2 == 0 else 25)
                time.sleep(0.05)
            if how == 'SIGTERM':
                pane.program.send_signal(signal.SIGTERM)
            else:
                os.write(pane.master, b'\x1b')
            time.sleep(2.0)
            check('%s with a stalled reader: the program still waits for it' % how,
                  pane.program.poll() is None)
            status = pane.finish()
            expected = -signal.SIGTERM if how == 'SIGTERM' else 0
            check('%s with a stalled reader: status %d' % (how, expected), status == expected,
                  'status %d' % status)
            check('%s with a stalled reader: no sequence cut short' % how, probe_shows(pane),
                  'the last bytes %r' % pane.got[-40:])
            check('%s with a stalled reader: the cursor shown' % how,
                  not pane.screen().cursor.hidden)
            if how == 'ESC':
                shown = '\n'.join(pane.screen().display)
                check('ESC with a stalled reader: the stop message shown',
                      'Vorbelin Was Terminated' in shown)
        finally:
            pane.close()


def split_keys():
    with tempfile.NamedTemporaryFile(prefix='vorbelin-keys') as out:
        out_file = open(out.name, 'wb')
        pane = Pane([BIN, 'x', '/TIME=300', '/TICK=1', '/DEBUG'], stdout=out_file)
        out_file.close()
        try:
            pane.shows(b'Press a key')
            os.write(pane.master, b'a')  # the debug pause
            pane.shows(b'Time left')

            def codes():
                with open(out.name, 'rb') as f:
                    return [int(line.split()[0]) for line in f.read().splitlines()
                            if line[:1].isdigit()]

            def send(expected, *parts, gap=0.0):
                seen = len(codes())
                for i, part in enumerate(parts):
                    if i:
                        time.sleep(gap)
                    os.write(pane.master, part)
                # One code a pass, a pass a second; then a pass more, to see none comes after.
                pane.read_for(3 + 1.5 * len(expected), until=lambda: len(codes()) >= seen + len(expected)
                              or pane.program.poll() is not None)
                pane.read_for(1.5)
                got = codes()[seen:]
                return got == expected, 'codes %r' % got

            for gap in (0.0, 0.005, 0.02):
                check('Up split %d ms after its ESC reads as 224 72' % (gap * 1000),
                      *send([224, 72], b'\x1b', b'[A', gap=gap))
            check('Alt+[ reads as 0 26, not ESC', *send([0, 26], b'\x1b['))
            check('Alt+O reads as 0 24, not ESC', *send([0, 24], b'\x1bO'))
            check('a sequence longer than any key is dropped whole',
                  *send([113], b'\x1b[1;2;3;4;5;6;7;8;9;10;11;12;13;14~', b'q', gap=0.2))
            check('an overlong ESC is no key', *send([113], b'\xc0\x9b', b'q', gap=0.2))
            check('none of them stopped the run', pane.program.poll() is None)
            os.write(pane.master, b'\x1b')
            status = pane.finish()
            check('a lone ESC then stops it with status 0', status == 0, 'status %r' % status)
            check('nothing left for the shell', pane.left_for_the_shell() == b'')
        finally:
            pane.close()


def command_modes():
    # The command writes to the terminal as a launched command does; the program repaints the
    # next screen over it and gives the terminal back at its end.
    command = "printf '\\033(0\\033)0\\016\\033[?7l\\033[4h\\033[5;10r\\033[?6h'; stty raw <&1"
    # In the C locale every glyph is ASCII, which pyte reads with character sets applied.
    pane = Pane([BIN, command, '/TIME=2', '/REPEAT'], env_extra={'LANG': 'C', 'LC_ALL': 'C'})
    try:
        # The screen after the command's launch.
        pane.shows(b'Launched 1 times')
        pane.read_for(2.5)  # two passes more (one a second)
        screen = pane.screen(utf8=False)
        shown = '\n'.join(screen.display)
        check('after the command the screen is drawn in ASCII',
              'Waiting to launch' in shown and all(ord(c) < 128 for c in shown), shown)
        check('... over the whole window', screen.margins is None or
              (screen.margins.top, screen.margins.bottom) == (0, pane.rows - 1), repr(screen.margins))
        check('... with output processing on again after its stty raw',
              termios.tcgetattr(pane.slave)[1] & termios.OPOST != 0)
        os.write(pane.master, b'\x1b')
        status = pane.finish()
        check('ESC after the command: status 0', status == 0, 'status %r' % status)
        end = pane.screen()
        check('the end leaves autowrap on', pyte.modes.DECAWM in end.mode)
        check('... insert mode off', pyte.modes.IRM not in end.mode)
        check('... origin mode off or moot', end.margins is None or
              (end.margins.top, end.margins.bottom) == (0, pane.rows - 1), repr(end.margins))
        check('... the ASCII set', probe_shows(pane, b'qqqq', utf8=False))
    finally:
        pane.close()


def shown_command(argv, env_extra=None, utf8=True):
    """The status screen's rows 2 to 4 after the first pass, trailing blanks removed."""
    pane = Pane([BIN] + argv + ['/TIME=60'], env_extra=env_extra)
    try:
        pane.shows(b'Time left')
        screen = pane.screen(utf8=utf8)
        try:
            return [screen.display[y].rstrip() for y in range(2, 5)]
        except IndexError:  # pyte 0.8 fails on a wide character cut by the edge
            return ['a wide character cut in two']
    finally:
        pane.close()


def scripts():
    head = '\u25a0 Waiting to launch: "'
    # 27 columns, then 26 wide characters: the 27th would straddle the last column.
    cjk = 'true #' + '\u4e2d' * 40 + 'ABCDEFGHIJ' * 3
    rows = shown_command([cjk])
    check('a wide character that would straddle the edge starts the next row',
          rows[0] == head + 'true #' + '\u4e2d' * 26 and
          rows[1] == '\u4e2d' * 14 + 'ABCDEFGHIJ' * 3 + '"' and rows[2] == '', rows)
    # (pyte 0.8 drops the rest of a line after a zero-width format character: none here.)
    emoji = 'true \U0001f600\u00e9\u2764 x' + 'e\u0301' * 40
    rows = shown_command([emoji])
    check('emoji and combining marks take the columns the terminal gives them',
          rows[0] == unicodedata.normalize('NFC', head + emoji + '"') and rows[1] == '', rows)
    folder = tempfile.mkdtemp()
    try:
        made = subprocess.run(['localedef', '-i', 'fr_FR', '-f', 'ISO-8859-1',
                               os.path.join(folder, 'fr_FR.ISO-8859-1')],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.isdir(os.path.join(folder, 'fr_FR.ISO-8859-1')):
            check('an ISO-8859-1 locale made with localedef', False, 'status %d' % made.returncode)
            return
        rows = shown_command([b'true caf\xe9 \x1b[31m'], utf8=False,
                             env_extra={'LOCPATH': folder, 'LANG': 'fr_FR.ISO-8859-1'})
        check('a Latin-1 letter in an ISO-8859-1 locale shows as itself, ESC as a glyph',
              rows[0] == '# Waiting to launch: "true caf\u00e9 ?[31m"', rows)
    finally:
        subprocess.run(['rm', '-rf', folder])


def stalled_reader():
    pane = Pane([BIN, 'true', '/TIME=60'])
    try:
        pane.shows(b'Time left')
        flood = subprocess.Popen(['yes', 'flood'], stdin=subprocess.DEVNULL, stdout=pane.slave,
                                 stderr=subprocess.DEVNULL)
        try:
            time.sleep(1.0)  # nothing reads: the terminal's buffer is full
            pane.program.send_signal(signal.SIGTERM)
            time.sleep(0.3)
        finally:
            flood.kill()
            flood.wait()
        pane.got = b''
        status = pane.finish()
        check('SIGTERM beside a stalled terminal: status %d' % -signal.SIGTERM,
              status == -signal.SIGTERM, 'status %d' % status)
        check('the restore arrives after the stall', b'\x1b[0m\x1b[?25h' in pane.got,
              'the last bytes %r' % pane.got[-24:])
    finally:
        pane.close()


BIN = sys.argv[1]
{'stalled_reader': stalled_reader, 'stalled_end': stalled_end, 'split_keys': split_keys,
 'command_modes': command_modes,
 'scripts': scripts}[sys.argv[2]]()
print('%d failed' % len(FAILED))
sys.exit(1 if FAILED else 0)
