#!/usr/bin/env bash
# Builds everything and runs every test: the unit and scenario tests (plain and with the
# address and undefined-behaviour sanitizers), the end-to-end tests of the POSIX build and of
# vorbelin.exe under wine, the package checks, and a short fuzz run under CI. Each phase says
# how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
phase_start=$SECONDS
phase() {
  echo "== $1 ($((SECONDS - phase_start)) s since the start)"
}

phase "vorbelin.exe with mingw-w64"
windows_exe=""
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVORBELIN_WERROR=ON >/dev/null
  cmake --build build-win -j "$jobs"
  windows_exe=$PWD/build-win/vorbelin.exe
elif [ "${CI:-}" = "true" ]; then
  echo "mingw-w64 is required under CI" >&2
  exit 1
else
  echo "SKIP: no mingw-w64, vorbelin.exe is not built (its tests will be skipped)"
fi

phase "the POSIX program and its tests"
cmake -S . -B build -DVORBELIN_REQUIRE_TESTS=ON -DVORBELIN_WERROR=ON -DVORBELIN_WINDOWS_EXE="$windows_exe" >/dev/null
cmake --build build -j "$jobs"

# Unoptimised: the sanitizers find the same faults, and the build takes half the time. Built
# with clang, so that the program and its tests stay free of both compilers' warnings.
phase "the program with clang, unit and scenario tests with the sanitizers"
sanitize=(build-sanitize-clang -DCMAKE_CXX_COMPILER=clang++)
if ! command -v clang++ >/dev/null; then
  [ "${CI:-}" = "true" ] && { echo "clang is required under CI" >&2; exit 1; }
  echo "SKIP: no clang, the sanitizer build uses the default compiler"
  sanitize=(build-sanitize)
fi
cmake -S . -B "${sanitize[@]}" -DCMAKE_BUILD_TYPE=Debug -DVORBELIN_SANITIZE=ON -DVORBELIN_REQUIRE_TESTS=ON \
  -DVORBELIN_WERROR=ON >/dev/null
cmake --build "${sanitize[0]}" -j "$jobs" --target vorbelin vorbelin_unit_tests vorbelin_scenario_tests
for kind in unit scenario; do
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "${sanitize[0]}/tests/vorbelin_${kind}_tests" --gtest_brief=1
done
cmake --build "${sanitize[0]}" -j "$jobs" --target vorbelin_win32_tests; UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "${sanitize[0]}/tests/vorbelin_win32_tests" --gtest_brief=1

if [ "${CI:-}" = "true" ] || [ "${VORBELIN_FUZZ_SECONDS:-0}" -gt 0 ]; then
  phase "fuzzers"
  bash tests/fuzz/run_fuzzers.sh "${VORBELIN_FUZZ_SECONDS:-30}"
fi

# The end-to-end cases spend most of their time waiting on the programs they run: twice as many
# side by side as there are cores.
phase "all tests"
ctest --test-dir build --output-on-failure -j "$((jobs * 2))"
phase "done"
