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
    """The command line of a script that measures this build beside baseline builds (each
    --baseline with its --baseline-label, in turn): its arguments, and the programs as (label,
    absolute path), this build first."""
    parser = argparse.ArgumentParser(description=doc.split('\n')[0])
    parser.add_argument('binary', nargs='?', default=default_binary)
    parser.add_argument('--baseline', action='append', default=[])
    parser.add_argument('--baseline-label', action='append', default=[])
    args = parser.parse_args()
    labels = args.baseline_label + ['baseline %d' % (i + 1) for i in range(len(args.baseline))]
    programs = [('vorbelin', os.path.abspath(args.binary))]
    programs += [(label, os.path.abspath(path)) for label, path in zip(labels, args.baseline)]
    args.baseline_label = labels[:len(args.baseline)]
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
                ''.join(' --baseline PATH --baseline-label "%s"' % label
                        for label in args.baseline_label),
                ' '.join(doc.split('\n\n')[2].split('\n'))), '']
