#!/usr/bin/env bash
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

export WINEDEBUG=-all
export LANG=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/kartconv-wine-$(id -u)}"

mkdir -p "$WINEPREFIX"
(
  flock 9
  # The server stays 30 seconds after its last program; when one is already
  # running this fails and changes nothing.
  if wineserver -p30 </dev/null >/dev/null 2>&1 9>&- || [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"

exec wine "$@"
