#!/usr/bin/env python3
"""Checks the includes of src/ against the layer tables of docs/ARCHITECTURE.md.

The table headed | row | modules | sits on | puts every module (a header with its source file)
in a row and says which rows each row may include; a table headed | layer | `folder/` | ...
orders the files of one folder, each of which may include only files of its own layer or below.
An include that goes up, a module that no table places, and any include circle fail, with the
files named.

    include_layers.py docs/ARCHITECTURE.md src
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)\.h"', re.M)
TICKED = re.compile(r'`([^`]+)`')


def markdown_tables(text):
    """Each table of the text as a list of rows, each a list of its cells."""
    tables, current = [], []
    for line in text.splitlines() + ['']:
        if line.startswith('|'):
            cells = [cell.strip() for cell in line.strip().strip('|').split('|')]
            if not all(re.fullmatch(r':?-+:?', cell) for cell in cells):
                current.append(cells)
        elif current:
            tables.append(current)
            current = []
    return tables


def read_layers(doc):
    """The rows (name, module patterns, rows it sits on) and each folder's file layers."""
    rows, folders = [], {}
    for table in markdown_tables(open(doc, encoding='utf-8').read()):
        header = [cell.lower() for cell in table[0]]
        if header[:3] == ['row', 'modules', 'sits on']:
            for name, modules, sits_on in (cells[:3] for cells in table[1:]):
                below = re.split(r'[:;]', sits_on, maxsplit=1)[0]
                rows.append((name, [m.rsplit('.', 1)[0] if not m.endswith('/') else m
                                    for m in TICKED.findall(modules)],
                             {word.strip() for word in below.split(',')} - {'nothing'}))
        elif header[0] == 'layer' and TICKED.fullmatch(table[0][1]):
            folder = TICKED.fullmatch(table[0][1]).group(1)
            for cells in table[1:]:
                for name in TICKED.findall(cells[1]):
                    folders.setdefault(folder, {})[folder + name.rsplit('.', 1)[0]] = int(cells[0])
    if not rows:
        sys.exit('no table headed | row | modules | sits on | in ' + doc)
    return rows, folders


def includes_of(src):
    """Each module of src/ with the modules whose headers it includes, and a file of it."""
    graph, files = {}, {}
    for directory, _, names in os.walk(src):
        for name in sorted(names):
            stem, extension = os.path.splitext(name)
            if extension not in ('.h', '.cpp'):
                continue
            path = os.path.join(directory, name)
            module = os.path.relpath(os.path.join(directory, stem), src)
            with open(path, encoding='utf-8') as source:
                for included in INCLUDE.findall(source.read()):
                    if included != module:
                        graph.setdefault(module, {}).setdefault(included, path)
            graph.setdefault(module, {})
            files.setdefault(module, path)
    return graph, files


def row_of(module, rows):
    for name, patterns, _ in rows:
        if any(module == p or (p.endswith('/') and module.startswith(p)) for p in patterns):
            return name
    return None


def layer_faults(graph, files, rows, folders):
    faults = []
    sits_on = {name: below for name, _, below in rows}
    for module in sorted(graph):
        row = row_of(module, rows)
        if row is None:
            faults.append('%s: in no row of the layer table' % files[module])
            continue
        folder = next((f for f in folders if module.startswith(f)), None)
        if folder and module not in folders[folder]:
            faults.append('%s: in no layer of the table of %s' % (files[module], folder))
            continue
        for included, path in sorted(graph[module].items()):
            other = row_of(included, rows)
            if other != row and other not in sits_on[row]:
                faults.append('%s includes %s.h: %s does not sit on %s' %
                              (path, included, row, other))
            elif folder and included in folders[folder] and \
                    folders[folder][included] > folders[folder][module]:
                faults.append('%s (layer %d) includes %s.h (layer %d): up a layer' %
                              (path, folders[folder][module], included, folders[folder][included]))
    return faults


def find_circle(graph):
    state, trail = {}, []

    def visit(module):
        state[module] = 'open'
        trail.append(module)
        for other in sorted(graph.get(module, ())):
            if state.get(other) == 'open':
                return trail[trail.index(other):] + [other]
            if other not in state:
                circle = visit(other)
                if circle:
                    return circle
        trail.pop()
        state[module] = 'done'
        return None

    for module in sorted(graph):
        if module not in state:
            circle = visit(module)
            if circle:
                return circle
    return None


def main():
    rows, folders = read_layers(sys.argv[1])
    graph, files = includes_of(sys.argv[2])
    faults = layer_faults(graph, files, rows, folders)
    circle = find_circle(graph)
    if circle:
        faults.append('include circle: ' + ' -> '.join(circle))
    if not graph:
        faults.append('no module in ' + sys.argv[2])
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print('%d modules in %d rows and %d layered folders: every include goes down' %
          (len(graph), len(rows), len(folders)))


main()
