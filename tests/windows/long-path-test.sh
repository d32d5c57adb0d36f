#!/bin/sh
# A launcher whose own path is longer than Windows' classic 260-unit limit
# must fail clearly with status 2, not go on in a folder named by the cut-off
# path. Started by Wine from the Unix side, which accepts such a path.
# Usage: long-path-test.sh WINE-RUNNER PREFIX LAUNCHER.EXE
set -u
runner=$1 prefix=$2 launcher=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
folder="$scratch/$(printf 'd%.0s' $(seq 1 200))/$(printf 'e%.0s' $(seq 1 60))"
mkdir -p "$folder"
cp "$launcher" "$folder/launcher.exe"
# What the cut-off path would name, were the launcher to use it.
echo '{"jar": "app.jar", "mainClass": "Main"}' > "$folder/config.json"

"$runner" "$prefix" "$folder/launcher.exe" > "$scratch/out" 2> "$scratch/err"
status=$?
expected="error: the launcher's own path is longer than 259 characters; move the application to a shorter path"
if [ "$status" -eq 2 ] && [ "$(tr -d '\r' < "$scratch/err" | grep '^error: ')" = "$expected" ] && [ ! -s "$scratch/out" ]; then
  echo "ok: status 2 with: $expected"
  exit 0
fi
echo "FAILED: status $status, stdout: $(cat "$scratch/out"), stderr: $(cat "$scratch/err")"
exit 1
