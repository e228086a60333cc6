#!/usr/bin/env bash
# A wine prefix for the end-to-end cases under wine, made once and shared by them:
#
#   bash tests/e2e/wine_prefix.sh make DIR    a fresh prefix in DIR (its first start is slow)
#   bash tests/e2e/wine_prefix.sh end DIR     ends that prefix's wine server and removes DIR
#
# Only the server of this prefix is ended: wineserver -k reaches the server of $WINEPREFIX alone.
set -u
action=$1 dir=$2
export WINEPREFIX=$dir WINEDEBUG=-all
case $action in
  make)
    if ! command -v wine >/dev/null; then
      [ "${CI:-}" = "true" ] && { echo "FAIL: wine is not installed (required under CI)"; exit 1; }
      echo "SKIP: wine is not installed"
      exit 77
    fi
    rm -rf "$dir"
    wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot"; exit 1; }
    echo "wine prefix in $dir"
    ;;
  end)
    [ -d "$dir" ] || exit 0
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$dir"
    ;;
  *)
    echo "usage: wine_prefix.sh make|end DIR" >&2
    exit 2
    ;;
esac
