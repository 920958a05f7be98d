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
  if [ ! -f "$WINEPREFIX/.tqn-ready-2" ]; then
    # A new prefix is made to the end before anything runs in it: wineboot
    # under a server of its own, then wait until that server has gone, which
    # is after every service the set-up started has finished. (A persistent
    # server cannot be started before the prefix folder exists, and a
    # short-lived one going away under the first tests broke them.) The null
    # graphics driver lets message boxes wait headless for an answer; it is
    # read when the server starts.
    "$server" -k </dev/null >/dev/null 2>&1 9>&-
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" \
      "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
    "$server" -w </dev/null >/dev/null 2>&1 9>&-
    touch "$WINEPREFIX/.tqn-ready-2"
  fi
  "$server" -p </dev/null >/dev/null 2>&1 9>&-
  started=$?
  if [ "$started" -eq 0 ]; then
    "$loader" wineboot -u </dev/null >/dev/null 2>&1 9>&-
  elif [ "$started" -ne 2 ]; then
    echo "wine-run: wineserver -p failed ($started)" >&2
  fi
} 9>"$lock"
# Not exec'd: a program that ends badly before printing anything is named
# with its status, which tells a start-up failure (for instance a Windows
# status such as 0xC0000135 shows as its low byte, 53) from a test's failure.
start=$(date +%s%N)
"$loader" "$@"
status=$?
if [ "$status" -ne 0 ] && [ -z "${TQN_WINE_RUN_QUIET:-}" ]; then
  echo "wine-run: $(basename "${1:-?}") ended with status $status after $(( ($(date +%s%N) - start) / 1000000 )) ms" >&2
fi
exit "$status"
