#!/usr/bin/env python3
"""Fails when two modules of src/ include each other's headers, directly or round a longer
circle. A module is a header with its source file; each edge is an #include "..." of another
module's header."""
import os
import re
import sys

SRC = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'src')
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)\.h"', re.M)


def module_graph():
    graph = {}
    for directory, _, files in os.walk(SRC):
        for name in files:
            stem, extension = os.path.splitext(name)
            if extension not in ('.h', '.cpp'):
                continue
            path = os.path.join(directory, name)
            module = os.path.relpath(os.path.join(directory, stem), SRC)
            with open(path, encoding='utf-8') as source:
                included = INCLUDE.findall(source.read())
            graph.setdefault(module, set()).update(m for m in included if m != module)
    return graph


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


circle = find_circle(module_graph())
if circle:
    print('include circle: ' + ' -> '.join(circle))
    sys.exit(1)
print('no include circle in %d modules' % len(module_graph()))
