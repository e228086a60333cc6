"""bench/RESULTS.md, whose sections each script writes in turn."""
import argparse
import os
import subprocess
import time

PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'RESULTS.md')


def write_section(header, lines):
    """Puts lines (the first of them header) in place of the section header, or at the end."""
    text = open(PATH).read() if os.path.exists(PATH) else '# Benchmark results\n'
    if header in text:
        start = text.index(header)
        end = text.find('\n## ', start + 1)
        text = text[:start] + (text[end + 1:] if end != -1 else '')
    with open(PATH, 'w') as f:
        f.write(text.rstrip('\n') + '\n\n' + '\n'.join(lines) + '\n')


def programs_to_measure(doc, default_binary):
    """The command line of a script that measures this build beside a baseline build: its
    arguments, and the programs as (label, absolute path), this build first."""
    parser = argparse.ArgumentParser(description=doc.split('\n')[0])
    parser.add_argument('binary', nargs='?', default=default_binary)
    parser.add_argument('--baseline')
    parser.add_argument('--baseline-label', default='baseline')
    args = parser.parse_args()
    programs = [('vorbelin', os.path.abspath(args.binary))]
    if args.baseline:
        programs.append((args.baseline_label, os.path.abspath(args.baseline)))
    return args, programs


def section_start(section, script, args, doc):
    """A section's first lines: the commit, the date, the command and the method (the third
    paragraph of the script's doc)."""
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    commit = subprocess.run(['git', '-C', root, 'rev-parse', '--short', 'HEAD'],
                            capture_output=True, text=True).stdout.strip()
    return [section, '',
            'Commit %s, %s. Command: `python3 bench/%s%s`. %s' % (
                commit, time.strftime('%Y-%m-%d'), script,
                ' --baseline PATH --baseline-label "%s"' % args.baseline_label
                if args.baseline else '',
                ' '.join(doc.split('\n\n')[2].split('\n'))), '']
