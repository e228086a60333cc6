#!/usr/bin/env bash
# Builds everything and runs every test: the lint of the scripts, the unit and scenario tests
# (plain and with the address and undefined-behaviour sanitizers), the end-to-end tests of the
# POSIX build (plain, and once more against the sanitizer build's program) and of vorbelin.exe
# under wine, the package checks, and a short fuzz run under CI. The builds are
# CMakePresets.json's; each phase says how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
phase_start=$SECONDS
phase() {
  echo "== $1 ($((SECONDS - phase_start)) s since the start)"
}

phase "shellcheck and pyflakes"
bash tools/lint.sh

phase "vorbelin.exe with mingw-w64"
windows_exe=""
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs"
  windows_exe=$PWD/build-win/vorbelin.exe
elif [ "${CI:-}" = "true" ]; then
  echo "mingw-w64 is required under CI" >&2
  exit 1
else
  echo "SKIP: no mingw-w64, vorbelin.exe is not built (its tests will be skipped)"
fi

phase "the POSIX program and its tests"
cmake --preset posix -DVORBELIN_WINDOWS_EXE="$windows_exe" >/dev/null
cmake --build --preset posix -j "$jobs"

# Unoptimised: the sanitizers find the same faults, and the build takes half the time. Built
# with clang, so that the program and its tests stay free of both compilers' warnings.
phase "the program with clang and the sanitizers: unit, scenario and POSIX end-to-end tests"
sanitize=sanitize
if ! command -v clang++ >/dev/null; then
  [ "${CI:-}" = "true" ] && { echo "clang is required under CI" >&2; exit 1; }
  echo "SKIP: no clang, the sanitizer build uses the default compiler"
  sanitize="sanitize-gcc"
fi
cmake --preset "$sanitize" >/dev/null
cmake --build --preset "$sanitize" -j "$jobs"
ctest --preset "$sanitize" -j "$((jobs * 2))"

if [ "${CI:-}" = "true" ] || [ "${VORBELIN_FUZZ_SECONDS:-0}" -gt 0 ]; then
  phase "fuzzers"
  bash tests/fuzz/run_fuzzers.sh "${VORBELIN_FUZZ_SECONDS:-30}"
fi

# The end-to-end cases spend most of their time waiting on the programs they run: twice as many
# side by side as there are cores.
phase "all tests"
ctest --preset posix -j "$((jobs * 2))"
phase "done"
