#!/usr/bin/env bash
# The project's own checks of its scripts and history: shellcheck over every shell script
# (errors and warnings fail; notes are shown), pyflakes over every Python file, and a warning for
# each commit subject over 72 characters since the rule was made. A tool that is not installed
# is skipped with the reason, except under CI=true (Debian: shellcheck, python3-pyflakes).
#   bash tools/lint.sh
set -u
cd "$(dirname "$0")/.." || exit 1
failed=0
missing() {
  if [ "${CI:-}" = "true" ]; then
    echo "lint: $1 is not installed (required under CI)" >&2
    failed=1
  else
    echo "SKIP: $1 is not installed"
  fi
}

# The shell scripts: by name, by their first line, or by a shellcheck directive.
shell_scripts() {
  find . -path ./.git -prune -o -path './build*' -prune -o -type f -print | sort |
    while IFS= read -r file; do
      case $file in
        *.sh) echo "$file" ;;
        *.py | *.cpp | *.h | *.c | *.md | *.txt | *.json | *.in) ;;
        *) head -n 1 "$file" 2>/dev/null | grep -Eq '^#!.*\b(ba)?sh\b|^# shellcheck shell=' && echo "$file" ;;
      esac
    done
}
python_files() { find . -path ./.git -prune -o -path './build*' -prune -o -type f -name '*.py' -print | sort; }

if command -v shellcheck >/dev/null; then
  mapfile -t scripts < <(shell_scripts)
  shellcheck -x -S warning "${scripts[@]}" || failed=1
  echo "shellcheck: ${#scripts[@]} scripts, $(shellcheck -x -f gcc "${scripts[@]}" | grep -c ': note:') notes"
else
  missing shellcheck
fi

if command -v pyflakes3 >/dev/null || command -v pyflakes >/dev/null; then
  mapfile -t sources < <(python_files)
  "$(command -v pyflakes3 || command -v pyflakes)" "${sources[@]}" || failed=1
  echo "pyflakes: ${#sources[@]} files"
else
  missing pyflakes
fi

# Subjects of at most 72 characters, from the commit after the one that made the rule; longer
# ones are a warning, not a failure: history is not rewritten.
rule_made=a6b106d
if git rev-parse -q --verify "$rule_made^{commit}" >/dev/null 2>&1; then
  git log --format='%h %s' "$rule_made..HEAD" | while IFS= read -r line; do
    subject=${line#* }
    [ ${#subject} -le 72 ] || echo "warning: commit ${line%% *}'s subject is ${#subject} characters, over 72: $subject"
  done
fi
exit $failed
