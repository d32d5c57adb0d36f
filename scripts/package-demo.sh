#!/usr/bin/env bash
# Builds the launcher and packages the demo application with the packager,
# the way a user ships one, in build/demo/demo: the launcher (renamed demo),
# config.json, demo.jar and a private runtime made with jlink, with its
# class-data-sharing archive.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh linux
cmake --preset linux > /dev/null
cmake --build --preset linux --target launcher packager

jdk=$(sed -n 's/^LAUNCHER_JDK_HOME:PATH=//p' build/linux/CMakeCache.txt)
work=$root/build/demo
mkdir -p "$work"

echo "== Compiling the demo program with $jdk"
rm -rf "$work/classes" "$work/input"
"$jdk/bin/javac" -d "$work/classes" $(find demo/src -name '*.java')
mkdir -p "$work/input"
"$jdk/bin/jar" --create --file "$work/input/demo.jar" --main-class com.example.demo.Main -C "$work/classes" .

echo "== Packaging it"
"$jdk/bin/java" -jar build/linux/packager.jar --input "$work/input" --main-jar demo.jar --name demo --dest "$work" \
  --java-options '"-Ddemo.greeting=Hello from config.json" -Xmx64m' --replace
