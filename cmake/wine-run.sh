#!/usr/bin/env bash
# Usage: wine-run.sh LOADER PROGRAM [ARGS...], LOADER being `wine` for the
# 32-bit product or /usr/lib/wine/wine64 (Debian puts no wine64 on PATH) for
# the 64-bit test build.
#
# Runs a Windows program under Wine the way the tests need it: no debug
# chatter, UTF-8 names passed through unchanged, and a Wine prefix of the
# project's own, created once before the first program runs (creating it
# prints messages that would otherwise mix with the program's output).
#
# The Wine server and Wine's own background programs are started here,
# detached from our output: started by the program's wine they would inherit
# the output pipe of whoever runs the test, who then waits for it to close
# long after the program has ended.
set -euo pipefail
loader=$1
shift
# Wine starts its helper programs with the loader that started it.
[ "$loader" = wine ] || export WINELOADER="$loader"

export WINEDEBUG=-all
export LANG=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/kartconv-wine-$(id -u)}"

mkdir -p "$WINEPREFIX"
(
  flock 9
  # The server stays 30 seconds after its last program; when one is already
  # running this fails and changes nothing.
  if wineserver -p30 </dev/null >/dev/null 2>&1 9>&- || [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"

exec "$loader" "$@"
