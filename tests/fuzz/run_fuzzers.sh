#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a number of seconds from the committed
# seed corpus (copied, so the repository stays as it is). Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORBELIN_FUZZ=ON -DVORBELIN_TESTS=OFF -DVORBELIN_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_command_line fuzz_text
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in command_line text; do
  mkdir -p "$work/$target"
  cp tests/fuzz/corpus/$target/* "$work/$target/"
  echo "== fuzz_$target for $seconds s"
  build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -max_len=20000 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/$target" 2>&1 | grep -E '^(Done|stat::number_of_executed_units)|ERROR|SUMMARY' || true
  if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* >/dev/null 2>&1; then
    echo "fuzz_$target found a failing input:"; ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null
    exit 1
  fi
done
