#!/usr/bin/env bash
# Builds the launcher, packages the demo application the way a user ships one
# (launcher, config.json, jar and a private runtime made with jlink) in
# build/demo/app, and runs it from another current directory.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh linux
cmake --preset linux
cmake --build --preset linux --target launcher

jdk=$(sed -n 's/^LAUNCHER_JDK_HOME:PATH=//p' build/linux/CMakeCache.txt)
work=$root/build/demo
app=$work/app
mkdir -p "$work"

echo "== Compiling the demo program with $jdk"
rm -rf "$work/classes"
"$jdk/bin/javac" -d "$work/classes" $(find demo/src -name '*.java')
mkdir -p "$app"
"$jdk/bin/jar" --create --file "$app/demo.jar" -C "$work/classes" .

if [ ! -x "$app/jre/bin/java" ]; then
  echo "== Making the private runtime with jlink"
  "$jdk/bin/jlink" --add-modules java.base --strip-debug --no-header-files --no-man-pages \
    --output "$app/jre"
fi
cp build/linux/launcher "$app/demo"
cp demo/config.json "$app/config.json"

echo "== The application folder"
ls -l "$app"
echo
echo "== Running $app/demo from $work (output redirected, so the trace is kept)"
cd "$work"
set +e
"$app/demo" > "$work/demo.log" 2>&1
status=$?
set -e
cat "$work/demo.log"
echo "== exit status $status"
exit $status
