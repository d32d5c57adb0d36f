#!/usr/bin/env bash
# Builds the launcher, packages the demo application in build/demo/demo (see
# package-demo.sh) and runs it from another current directory, showing its
# trace and output.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/package-demo.sh
app=$PWD/build/demo/demo
work=$PWD/build/demo

echo "== The application folder"
ls -l "$app"
echo
echo "== Running $app/demo from $work (LAUNCHER_TRACE=1 shows the launcher's trace, which the packager turns off)"
cd "$work"
set +e
LAUNCHER_TRACE=1 "$app/demo" > "$work/demo.log" 2>&1
status=$?
set -e
cat "$work/demo.log"
echo "== exit status $status"
exit $status
