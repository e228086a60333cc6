#!/usr/bin/env bash
# Runs one end-to-end case of the sanitizer build with the sanitizers' reports written to a folder
# of the case's own: any report fails the case, even one the case's own checks could not see (a
# leak found as the program ends, an error in a pane nobody reads).
#   sanitized_case.sh COMMAND...
set -u
reports=$(mktemp -d /tmp/vorbelin-sanitized.XXXXXX)
trap 'rm -rf "$reports"' EXIT
# Stop at the first report (the build makes every check fatal too), written to report.PID (the
# two runtimes share the setting). Leaks are looked for: the program allocates nothing of its
# own, and the children of its launches end with _exit or exec, so only the program itself is
# checked, once, as it exits.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$reports/report"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/report"
"$@"
status=$?
for report in "$reports"/*; do
  [ -e "$report" ] || continue
  echo "FAILED: a sanitizer's report, ${report##*/}:"
  cat "$report"
  status=1
done
exit $status
