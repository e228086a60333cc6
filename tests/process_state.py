#!/usr/bin/env python3
"""Checks that every module keeps its state in one object that a new run can put back.

A module's state (what it keeps from one call to the next) lives in one object named `state`,
in the anonymous namespace of its source file; a buffer that is used within one call and kept
static only to stay off the stack is named ...scratch. Any other writable object with static
storage in the program's object files fails, named with its file. So does a module the
simulated backend runs (the core and the shared terminal parts) whose `state` has no
..._reset_state function, or one that the simulated backend does not call: its runs share a
process, and each must start as a new process would.

    process_state.py BUILD_DIR [WINDOWS_BUILD_DIR]
"""
import glob
import os
import re
import subprocess
import sys

LIBRARIES = ('vorbelin_core', 'vorbelin_terminal', 'vorbelin_platform', 'vorbelin_sim')
RESET_BY_SIM = ('vorbelin_core', 'vorbelin_terminal')
STATE = '(anonymous namespace)::state'


def source_root(build):
    with open(os.path.join(build, 'CMakeCache.txt'), encoding='utf-8') as cache:
        for line in cache:
            if line.startswith('CMAKE_HOME_DIRECTORY:'):
                return line.split('=', 1)[1].strip()
    sys.exit(f'{build}: no CMAKE_HOME_DIRECTORY in CMakeCache.txt')


def objects(build, library):
    """The library's object files whose source is still in the tree (a moved file leaves its
    old object behind in a build folder)."""
    folder = os.path.join(build, 'CMakeFiles', library + '.dir')
    found = glob.glob(os.path.join(folder, '**', '*.o'), recursive=True) + \
        glob.glob(os.path.join(folder, '**', '*.obj'), recursive=True)
    root = source_root(build)
    return sorted(path for path in found
                  if os.path.exists(os.path.join(root, os.path.relpath(path, folder)
                                                 .rsplit('.', 1)[0])))


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def writable_elf(path):
    """The objects of an ELF file in a writable section (not one read-only after relocation)."""
    names = []
    for line in run('objdump', '-t', '-C', path).splitlines():
        match = re.match(r'^[0-9a-f]+ [ lgu!]+\s*O (\S+)\s+[0-9a-f]+ (.*)$', line)
        if match and re.match(r'\.(bss|data)(?!\.rel\.ro)', match.group(1)):
            names.append(match.group(2).strip())
    return names


def writable_coff(path):
    names = []
    for line in run('x86_64-w64-mingw32-nm', '-C', path).splitlines():
        match = re.match(r'^[0-9a-f]+ [bBdD] (.*)$', line)
        if match and not match.group(1).startswith('.'):
            names.append(match.group(1))
    return names


def is_state(name):
    """The one state object, whole or in the parts clang may split it into (name.0, mangled)."""
    return re.sub(r'\.\d+$', '', name) in (STATE, '_ZN12_GLOBAL__N_15stateE')


def allowed(name):
    """The state, a scratch buffer, or ASan's markers of them (__odr_asan...)."""
    last = re.sub(r'\(.*?\)', '', name).rsplit('::', 1)[-1]
    return is_state(name) or last.endswith('scratch') or name.startswith('__odr_asan')


def functions(path, undefined=False):
    flags = ['-u'] if undefined else ['--defined-only']
    return {line.split(maxsplit=2 if not undefined else 1)[-1]
            for line in run('nm', '-C', *flags, path).splitlines() if line.strip()}


def check(build, windows):
    faults, with_state = [], []
    for library in LIBRARIES:
        for path in objects(build, library):
            names = writable_coff(path) if windows else writable_elf(path)
            faults += [f'{path}: {name}: static state outside the module\'s `state`'
                       for name in names if not allowed(name)]
            if any(map(is_state, names)) and library in RESET_BY_SIM:
                with_state.append(path)
    if windows:
        return faults
    sim = objects(build, 'vorbelin_sim')
    called = set().union(*(functions(path, undefined=True) for path in sim)) if sim else set()
    for path in with_state:
        resets = [name for name in functions(path) if re.match(r'\w+_reset_state\(\)$', name)]
        if not resets:
            faults.append(f'{path}: a `state` with no ..._reset_state function')
        faults += [f'{path}: {name} is not called by the simulated backend'
                   for name in resets if name not in called]
    return faults


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    if not objects(build, 'vorbelin_core'):
        sys.exit(f'no object files of vorbelin_core under {build}')
    faults = check(build, False)
    if len(sys.argv) > 2:
        if not objects(sys.argv[2], 'vorbelin_platform'):
            sys.exit(f'no object files of vorbelin_platform under {sys.argv[2]}')
        faults += check(sys.argv[2], True)
    print('\n'.join(faults) or 'every module keeps its state in `state`')
    sys.exit(1 if faults else 0)


if __name__ == '__main__':
    main()
