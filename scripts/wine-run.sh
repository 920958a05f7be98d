#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix.
# Used as CMAKE_CROSSCOMPILING_EMULATOR. A persistent wineserver is started
# once (under a lock), with its stdio detached so that Wine's background
# services never hold the caller's pipes open.
set -u
: "${WINEPREFIX:?set WINEPREFIX}"
export WINEPREFIX
export WINEDEBUG=${TQN_WINEDEBUG:--all}
export WINEDLLOVERRIDES="winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
loader=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
mkdir -p "$(dirname "$WINEPREFIX")"
lock="$WINEPREFIX.lock"
{
  flock 9
  "$server" -p </dev/null >/dev/null 2>&1 9>&-
  started=$?
  if [ "$started" -eq 0 ]; then
    "$loader" wineboot -u </dev/null >/dev/null 2>&1 9>&-
  fi
} 9>"$lock"
exec "$loader" "$@"
