"""bench/RESULTS.md, whose sections each script writes in turn."""
import os

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
