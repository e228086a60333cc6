#!/usr/bin/env bash
# Builds everything and runs every test: the unit and scenario tests (plain and with the
# address and undefined-behaviour sanitizers), the end-to-end tests of the POSIX build and of
# vorbelin.exe under wine, the icon check, and a short fuzz run under CI.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

windows_exe=""
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-win -j "$jobs"
  windows_exe=$PWD/build-win/vorbelin.exe
elif [ "${CI:-}" = "true" ]; then
  echo "mingw-w64 is required under CI" >&2
  exit 1
else
  echo "SKIP: no mingw-w64, vorbelin.exe is not built (its tests will be skipped)"
fi

cmake -S . -B build -DVORBELIN_REQUIRE_TESTS=ON -DVORBELIN_WINDOWS_EXE="$windows_exe" >/dev/null
cmake --build build -j "$jobs"

cmake -S . -B build-sanitize -DVORBELIN_SANITIZE=ON -DVORBELIN_REQUIRE_TESTS=ON >/dev/null
cmake --build build-sanitize -j "$jobs" --target vorbelin_tests
echo "== unit and scenario tests with the sanitizers"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 build-sanitize/tests/vorbelin_tests --gtest_brief=1

if [ "${CI:-}" = "true" ] || [ "${VORBELIN_FUZZ_SECONDS:-0}" -gt 0 ]; then
  bash tests/fuzz/run_fuzzers.sh "${VORBELIN_FUZZ_SECONDS:-30}"
fi

echo "== all tests"
ctest --test-dir build --output-on-failure -j 1
