#!/bin/sh
# Runs a Windows program of the test build under Wine: headless, quiet, in a
# Wine prefix of the build tree's own (made on first use), with drive X:
# mapped to a scratch folder for the test of a launcher in a drive root.
# Windows only get an X display to draw on when WINE_TEST_DISPLAY names one.
# Usage: run-under-wine.sh PREFIX PROGRAM [ARGUMENT...]
set -eu
prefix=$1
shift
# No Mono, no Gecko, and no menu entries or desktop files in the user's home for what a test installs.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -n "${WINE_TEST_DISPLAY:-}" ]; then
  export DISPLAY="$WINE_TEST_DISPLAY"
else
  unset DISPLAY
fi
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

if [ ! -f "$prefix/.ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
      "$wine" wineboot --init 9>&- > /dev/null 2>&1 || true
      "$(dirname "$wine")/wineserver" -w 2> /dev/null || wineserver -w || true
      touch "$prefix/.ready"
    fi
  ) 9> "$prefix.lock"
fi
# A server that stays 30 s after its last program: one that ends as the next test's program connects to it
# fails that program with "wine client error: recvmsg: Connection reset by peer". The first program of a
# server starts Wine's services, which keep that program's stderr open as long as the server lives; so a
# server this script starts is booted by a program of its own, quiet, and never by a test's program, whose
# output the test runner reads to its end (it would wait for the last test, and time the first one out).
# Neither gets the lock's descriptor, which the server would hold for as long as it lives, so that every
# later test would wait for this server to end.
(
  flock 9
  if "$(dirname "$wine")/wineserver" -p30 9>&- < /dev/null > /dev/null 2>&1; then
    "$wine" wineboot 9>&- < /dev/null > /dev/null 2>&1 || true
  fi
) 9> "$prefix.server-lock"
mkdir -p "$prefix-drive-x"
ln -sfn "$prefix-drive-x" "$prefix/dosdevices/x:"

exec "$wine" "$@"
