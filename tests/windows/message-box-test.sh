#!/bin/sh
# A double-clicked launcher has no console: its failure message must appear
# in a message box titled with the executable's file name, and the launcher
# must wait there until the user closes it. With standard error redirected,
# no box may appear, and the console variant never shows one. Runs the
# Windows launchers under Wine on a virtual X display.
# Usage: message-box-test.sh WINE-RUNNER PREFIX LAUNCHER.EXE RUN_WITHOUT_STANDARD_ERROR.EXE CONSOLE-LAUNCHER.EXE
set -u
. "$(dirname "$0")/test-lib.sh"
runner=$1 prefix=$2 launcher=$3 helper=$4 console_launcher=$5

scratch=$(mktemp -d)
display=":$((100 + $$ % 800))"
Xvfb "$display" -screen 0 1024x600x24 > /dev/null 2>&1 &
xvfb=$!
started=""
cleanup() {
  # The Windows processes live in this test's own Wine prefix: ending its
  # server ends them all, and nothing of any other test.
  WINEPREFIX=$prefix wineserver -k 2> /dev/null
  kill $started "$xvfb" 2> /dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
export DISPLAY="$display" WINE_TEST_DISPLAY="$display"
# The display and the prefix are made ready first, so that the timed runs
# below measure the launcher, not the start of Xvfb or of a new Wine prefix.
for _ in $(seq 1 300); do
  xdotool getdisplaygeometry > /dev/null 2>&1 && break
  sleep 0.1
done
timeout 600 "$runner" "$prefix" cmd /c exit > /dev/null 2>&1

# An application folder without config.json: the launcher fails with status 2.
mkdir -p "$scratch/app"
cp "$launcher" "$scratch/app/Product.exe"

# With standard error redirected: the message goes there, and no box appears.
timeout 30 "$runner" "$prefix" "$scratch/app/Product.exe" > "$scratch/out" 2> "$scratch/err"
status=$?
if [ "$status" -eq 2 ] && grep -q "^error: cannot open the configuration file" "$scratch/err" &&
  [ -z "$(xdotool search --name 'Product.exe' 2> /dev/null)" ]; then
  ok "redirected standard error gets the message, no box"
else
  failed "redirected run: status $status, stderr: $(cat "$scratch/err")"
fi

# Without a standard error handle: the box appears and the launcher waits for it.
"$runner" "$prefix" "$helper" "$(windows_path "$scratch/app/Product.exe")" > "$scratch/box-out" 2>&1 &
started="$started $!"
window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^Product\.exe$' 2> /dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "FAILED: no message box titled Product.exe appeared"
  exit 1
fi
ok "a message box titled Product.exe appeared"
sleep 1
if grep -q "exit status" "$scratch/box-out"; then
  failed "the launcher did not wait for the box to be closed"
fi

# Press its OK button: centred, near the bottom edge of the box.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH / 2)) $((HEIGHT - 21)) click 1
for _ in $(seq 1 50); do
  grep -q "exit status" "$scratch/box-out" && break
  sleep 0.2
done
if grep -q "^exit status 2" "$scratch/box-out"; then
  ok "closing the box ends the launcher with status 2"
else
  failed "after closing the box: $(cat "$scratch/box-out")"
fi

# The console variant, started the same way: the message has nowhere to go
# but it never opens a window, so it ends at once.
cp "$console_launcher" "$scratch/app/Tool.exe"
"$runner" "$prefix" "$helper" "$(windows_path "$scratch/app/Tool.exe")" > "$scratch/console-out" 2>&1 &
started="$started $!"
for _ in $(seq 1 100); do
  grep -q "exit status" "$scratch/console-out" && break
  sleep 0.2
done
if grep -q "^exit status 2" "$scratch/console-out" && [ -z "$(xdotool search --name 'Tool.exe' 2> /dev/null)" ]; then
  ok "the console variant shows no box and ends with status 2"
else
  failed "console variant: $(cat "$scratch/console-out"), windows: $(xdotool search --name 'Tool.exe' 2> /dev/null)"
fi

finish
