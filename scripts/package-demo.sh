#!/usr/bin/env bash
# Builds the launcher and packages the demo application the way a user ships
# one, in build/demo/app: the launcher (renamed demo), config.json, demo.jar
# and a private runtime made with jlink, with a class-data-sharing archive.
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

# A jlink image has no class-data-sharing archive of its own and starts
# markedly slower without one: the runtime's own jlink plugin makes it.
if [ ! -f "$app/jre/lib/server/classes.jsa" ]; then
  echo "== Making the private runtime with jlink, with its class-data-sharing archive"
  rm -rf "$app/jre"
  # The archive step warns about JDK classes outside java.base; they are not needed.
  "$jdk/bin/jlink" --add-modules java.base --strip-debug --no-header-files --no-man-pages \
    --generate-cds-archive --output "$app/jre" > "$work/jlink.log" 2>&1 || { cat "$work/jlink.log"; exit 1; }
fi
cp build/linux/launcher "$app/demo"
cp demo/config.json "$app/config.json"
