#!/usr/bin/env python3
"""Single-point mutants of C++ sources, each built and tested on its own.

    tools/mutate.py [--build build] [--target T]... [--test CMD] [--sample N --seed S] FILE|DIR...

Each mutant changes one place of one file: an operator flipped (== and !=, < and <=, > and >=,
+ and -, && and ||), an integer moved by one, an expression statement deleted, or the condition
of an if or while negated. The file is rewritten, the build folder rebuilt, and the test command
run; the file is put back before the next mutant, and on any way out of the script (Ctrl-C
included). A mutant is killed when the tests fail (or outrun --timeout), survives when they
pass, and did not build when the build failed. Prints the figures by file and every survivor.

A tool, not a test: nothing runs it but a maintainer who wants to know what the tests catch.
The same files, seed and sample give the same mutants, so two runs can be compared."""
import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time

TOKEN = re.compile(r'''
    (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>(?:u8|[uUL])?R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)"
             |(?:u8|[uUL])?"(?:\\.|[^"\\\n])*"|(?:u8|[uUL])?'(?:\\.|[^'\\\n])*')
  | (?P<number>0[xX][0-9a-fA-F']+[uUlL]*|\d[\d']*(?:\.\d*)?(?:[eE][+-]?\d+)?[uUlLfF]*)
  | (?P<name>[A-Za-z_]\w*)
  | (?P<punct>::|->\*?|\+\+|--|<<=|>>=|<=>|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^!=<>]=|\.\.\.|[^\s\w])
  | (?P<space>\s+)
''', re.S | re.X)

FLIPS = {'==': '!=', '!=': '==', '<': '<=', '<=': '<', '>': '>=', '>=': '>', '+': '-', '-': '+',
         '&&': '||', '||': '&&'}
# Where a + or - follows one of these it is binary.
OPERAND_END = {')', ']'}
TEMPLATE_INSIDE = {'::', ',', '*', '&', 'const', 'unsigned', 'signed', 'long', 'short', 'int',
                   'char', 'bool', 'float', 'double', 'void', 'struct', 'typename'}
STATEMENT_STARTS = {'(', '=', '+=', '-=', '*=', '/=', '%=', '|=', '&=', '^=', '<<=', '>>=', '++',
                    '--', '.', '->', '['}
KEYWORDS = {'if', 'while', 'for', 'switch', 'return', 'case', 'default', 'do', 'else', 'sizeof',
            'static_assert', 'goto', 'throw', 'delete', 'new', 'static_cast', 'reinterpret_cast',
            'const_cast', 'decltype', 'alignof', 'noexcept', 'typeid'}
CODE_BLOCK_AFTER = {')', 'else', 'do', 'try', 'const', 'noexcept', 'override', 'mutable'}


class Token:
    __slots__ = ('kind', 'text', 'start', 'end', 'line')

    def __init__(self, kind, text, start, end, line):
        self.kind, self.text, self.start, self.end, self.line = kind, text, start, end, line


def tokens(source):
    """The tokens of a source, preprocessor lines and comments left out."""
    found, line, at = [], 1, 0
    line_start = True
    while at < len(source):
        if line_start and re.match(r'[ \t]*#', source[at:at + 200]):
            # A directive, with its continued lines.
            end = at
            while True:
                end = source.find('\n', end)
                if end < 0:
                    end = len(source)
                    break
                if source[end - 1] != '\\':
                    break
                end += 1
            line += source.count('\n', at, end)
            at = end
            continue
        match = TOKEN.match(source, at)
        if not match:
            raise ValueError('cannot read the source at line %d' % line)
        kind = match.lastgroup if match.lastgroup != 'delim' else 'string'
        if match.group('string') is not None:
            kind = 'string'
        text = match.group(0)
        if kind not in ('comment', 'space'):
            found.append(Token(kind, text, at, match.end(), line))
        newlines = text.count('\n')
        line += newlines
        if newlines:
            line_start = True
        elif kind != 'space' and kind != 'comment':
            line_start = False
        at = match.end()
    return found


def template_close(toks, i):
    """The index of the > that closes a template argument list opened at toks[i], or None."""
    depth = 0
    for j in range(i, min(len(toks), i + 24)):
        t = toks[j]
        if t.text == '<':
            depth += 1
        elif t.text == '>':
            depth -= 1
            if depth == 0:
                return j
        elif t.text == '>>' and depth <= 2:
            return j
        elif not (t.kind in ('name', 'number') or t.text in TEMPLATE_INSIDE):
            return None
    return None


def matching(toks, i, open_text, close_text):
    depth = 0
    for j in range(i, len(toks)):
        if toks[j].text == open_text:
            depth += 1
        elif toks[j].text == close_text:
            depth -= 1
            if depth == 0:
                return j
    return None


def mutants(path, source):
    """Every mutant of a source: (path, line, start, end, replacement, what)."""
    toks = tokens(source)
    found = []
    template_brackets = set()
    for i, t in enumerate(toks):
        if t.text == '<' and i > 0 and toks[i - 1].kind == 'name':
            close = template_close(toks, i)
            if close is not None:
                template_brackets.update((i, close))
        if t.text == 'operator' and i + 1 < len(toks):
            template_brackets.add(i + 1)

    def add(t, start, end, replacement, what):
        found.append((path, t.line, start, end, replacement, what))

    # Braces: which blocks hold statements.
    blocks = []
    paren = 0
    for i, t in enumerate(toks):
        prev = toks[i - 1] if i else None
        if t.text == '(':
            paren += 1
        elif t.text == ')':
            paren -= 1
        elif t.text == '{':
            code = prev is not None and (prev.text in CODE_BLOCK_AFTER or prev.text == ']' or
                                         (bool(blocks) and blocks[-1] and
                                          prev.text in ('{', '}', ';', ':')))
            blocks.append(code)
        elif t.text == '}':
            if blocks:
                blocks.pop()

        if t.kind == 'punct' and t.text in FLIPS and i not in template_brackets:
            binary = prev is not None and (prev.kind in ('name', 'number', 'string') or
                                           prev.text in OPERAND_END)
            if t.text in ('+', '-') and not binary:
                pass
            elif prev is not None and prev.text == 'operator':
                pass
            else:
                add(t, t.start, t.end, FLIPS[t.text], '%s -> %s' % (t.text, FLIPS[t.text]))
        elif t.kind == 'number' and re.fullmatch(r'\d+[uUlL]*', t.text.replace("'", '')):
            digits = re.match(r'\d+', t.text.replace("'", '')).group(0)
            suffix = t.text.replace("'", '')[len(digits):]
            moved = str(int(digits) + 1) + suffix
            add(t, t.start, t.end, moved, '%s -> %s' % (t.text, moved))
        elif t.text in ('if', 'while') and i + 1 < len(toks) and toks[i + 1].text == '(':
            close = matching(toks, i + 1, '(', ')')
            if close is not None and close > i + 2:
                inner = source[toks[i + 2].start:toks[close - 1].end]
                add(t, toks[i + 2].start, toks[close - 1].end, '!(%s)' % inner,
                    '%s negated' % t.text)

        # An expression statement, or break/continue, at the start of a statement of a code block.
        starts_statement = (prev is None or prev.text in (';', '{', '}')) and paren == 0
        if (starts_statement and blocks and blocks[-1] and t.kind == 'name' and
                t.text not in KEYWORDS and i + 1 < len(toks) and
                (toks[i + 1].text in STATEMENT_STARTS or t.text in ('break', 'continue') or
                 (toks[i + 1].text == '::' and i + 3 < len(toks) and toks[i + 3].text == '('))):
            depth = 0
            for j in range(i, len(toks)):
                if toks[j].text in ('(', '[', '{'):
                    depth += 1
                elif toks[j].text in (')', ']', '}'):
                    depth -= 1
                    if depth < 0:
                        break
                elif toks[j].text == ';' and depth == 0:
                    add(t, t.start, toks[j].end, '', 'statement deleted')
                    break
    return found


def source_files(paths):
    files = []
    for path in paths:
        if os.path.isdir(path):
            for folder, _, names in sorted(os.walk(path)):
                files += [os.path.join(folder, n) for n in sorted(names)
                          if n.endswith(('.cpp', '.cc', '.c', '.h'))]
        else:
            files.append(path)
    return files


def run(command, timeout, shell=False):
    """True when the command succeeds; None when it outran its time (its group is ended)."""
    process = subprocess.Popen(command, shell=shell, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return process.wait(timeout=timeout) == 0
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('paths', nargs='+', help='source files, or folders of them')
    parser.add_argument('--build', default='build', help='the build folder (default: build)')
    parser.add_argument('--target', action='append', default=[],
                        help='a target to build (default: all of the folder)')
    parser.add_argument('--test', help="the test command (default: ctest --test-dir BUILD -L "
                        "'unit|scenario')")
    parser.add_argument('--sample', type=int, help='test this many mutants, drawn by --seed')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--keep', help='of the sample, test only the mutants of files whose path '
                        'this regular expression finds (another run of the same sample, in part)')
    parser.add_argument('--timeout', type=float, default=120,
                        help='seconds a test run may take before the mutant counts as killed')
    parser.add_argument('--list', action='store_true', help='list the mutants and stop')
    args = parser.parse_args()

    every = []
    for path in source_files(args.paths):
        with open(path, encoding='utf-8') as f:
            every += mutants(path, f.read())
    chosen = list(every)
    if args.sample is not None and args.sample < len(chosen):
        chosen = sorted(random.Random(args.seed).sample(range(len(every)), args.sample))
        chosen = [every[i] for i in chosen]
    if args.keep:
        chosen = [m for m in chosen if re.search(args.keep, m[0])]
    if args.list:
        for path, line, _, _, _, what in chosen:
            print('%s:%d: %s' % (path, line, what))
        print('%d of %d mutants' % (len(chosen), len(every)))
        return 0

    build = ['cmake', '--build', args.build, '-j2'] + sum((['--target', t] for t in args.target), [])
    test = args.test or "ctest --test-dir '%s' -L 'unit|scenario' -j2" % args.build
    if not run(build, None):
        print('the unmutated build fails: nothing to measure')
        return 2
    if not run(test, args.timeout, shell=True):
        print('the tests fail without a mutant: nothing to measure')
        return 2

    # SIGTERM and SIGHUP end the run the way Ctrl-C does: through the restore.
    def interrupted(number, _):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)

    figures, survivors = {}, []
    started = time.monotonic()
    try:
        for n, (path, line, start, end, replacement, what) in enumerate(chosen, 1):
            with open(path, encoding='utf-8') as f:
                original = f.read()
            try:
                with open(path, 'w', encoding='utf-8') as f:
                    f.write(original[:start] + replacement + original[end:])
                built = run(build, args.timeout * 5)
                if not built:
                    outcome = 'did not build'
                else:
                    outcome = 'survived' if run(test, args.timeout, shell=True) else 'killed'
            finally:
                with open(path, 'w', encoding='utf-8') as f:
                    f.write(original)
            figures.setdefault(path, {'killed': 0, 'survived': 0, 'did not build': 0})[outcome] += 1
            text = original[original.rfind('\n', 0, start) + 1:original.find('\n', start)].strip()
            if outcome == 'survived':
                survivors.append('%s:%d: %s   | %s' % (path, line, what, text))
            print('[%d/%d %ds] %s:%d: %s: %s' % (n, len(chosen), time.monotonic() - started, path,
                                                  line, what, outcome), flush=True)
    except KeyboardInterrupt:
        print('interrupted: every file is as it was; the figures so far follow')
    finally:
        run(build, None)

    print('\n%-48s %7s %8s %9s %7s' % ('file', 'killed', 'survived', 'not built', 'killed%'))
    totals = {'killed': 0, 'survived': 0, 'did not build': 0}
    for path in sorted(figures):
        f = figures[path]
        for key in totals:
            totals[key] += f[key]
        built = f['killed'] + f['survived']
        print('%-48s %7d %8d %9d %6s' % (path, f['killed'], f['survived'], f['did not build'],
                                         '%d%%' % (100 * f['killed'] // built) if built else '-'))
    built = totals['killed'] + totals['survived']
    print('%-48s %7d %8d %9d %6s' % ('all', totals['killed'], totals['survived'],
                                     totals['did not build'],
                                     '%d%%' % (100 * totals['killed'] // built) if built else '-'))
    if survivors:
        print('\nsurvivors:')
        print('\n'.join(survivors))
    return 0


if __name__ == '__main__':
    sys.exit(main())
