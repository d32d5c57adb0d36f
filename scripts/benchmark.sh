#!/usr/bin/env bash
# Times launches end to end with hyperfine, on this machine in one run:
#   (a) the launcher, with jre pointing at the installed JDK
#   (b) the JDK's own java -cp app.jar <main class>, same JVM and options
#   (c) the launcher with the demo's private runtime (jlink, with its
#       class-data-sharing archive), and the same runtime without that archive
# for a small program (bench.Hello) and one that returns at once (bench.Empty);
# then a class-heavy program (bench.Heavy) packaged by the packager with a
# Java 25 runtime, with and without its ahead-of-time cache, against
# java -cp app.jar with the whole Java 25 JDK (skipped without a Java 25 JDK);
# then the time to first pixel of a Swing program, with and without a splash, against java -splash:;
# then a later start of a product with one running copy against its first start;
# then the launcher's own share of a launch: the launcher with a JVM library
# that does nothing, against a program that does nothing at all.
# Usage: scripts/benchmark.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-60}

scripts/install-deps.sh linux  # hyperfine among the rest
for tool in python3 valgrind Xvfb; do
  command -v "$tool" > /dev/null || missing="${missing:-} ${tool/Xvfb/xvfb}"
done
[ -f /usr/include/X11/Xlib.h ] || missing="${missing:-} libx11-dev"
if [ -n "${missing:-}" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

scripts/package-demo.sh > /dev/null
cmake --preset linux > /dev/null  # finds the X11 headers for first_pixel
cmake --build --preset linux --target launcher packager noop_jvm does_nothing first_pixel > /dev/null
jdk=$(sed -n 's/^LAUNCHER_JDK_HOME:PATH=//p' build/linux/CMakeCache.txt)
work=$root/build/benchmark
rm -rf "$work/apps"
mkdir -p "$work/apps"

"$jdk/bin/javac" -d "$work/classes" benchmark/src/bench/*.java
"$jdk/bin/jar" --create --file "$work/app.jar" -C "$work/classes" .
if [ ! -x "$work/runtime-without-cds/bin/java" ]; then
  "$jdk/bin/jlink" --add-modules java.base --strip-debug --no-header-files --no-man-pages \
    --output "$work/runtime-without-cds"
fi

options='"-Xmx64m", "-Dbench.name=benchmark"'
# app FOLDER RUNTIME MAINCLASS: an application folder for the launcher.
app() {
  mkdir -p "$1"
  cp "$root/build/linux/launcher" "$1/launcher"
  cp "$work/app.jar" "$1/app.jar"
  ln -s "$2" "$1/jre"
  echo "{\"jar\": \"app.jar\", \"mainClass\": \"$3\", \"vmArgs\": [$options]}" > "$1/config.json"
}

cd "$work/apps"
for program in Hello Empty; do
  app "jdk-$program" "$jdk" "bench/$program"
  app "private-$program" "$root/build/demo/demo/jre" "bench/$program"
  app "private-without-cds-$program" "$work/runtime-without-cds" "bench/$program"
  echo "== bench.$program, $runs runs each"
  hyperfine -N --warmup 10 --runs "$runs" --export-json "$work/$program.json" \
    -n "(a) launcher, jre = installed JDK" "jdk-$program/launcher" \
    -n "(b) java -cp app.jar bench.$program" "$jdk/bin/java -Xmx64m -Dbench.name=benchmark -cp $work/app.jar bench.$program" \
    -n "(c) launcher, private runtime" "private-$program/launcher" \
    -n "(c') launcher, private runtime without CDS" "private-without-cds-$program/launcher" > /dev/null
done

java25=${LAUNCHER_JAVA25_HOME:-/usr/lib/jvm/temurin-25-jdk-amd64}
heavy=$work/heavy
rm -rf "$heavy" "$work/Heavy.json"
if [ -x "$java25/bin/java" ]; then
  mkdir -p "$heavy/input"
  cp "$work/app.jar" "$heavy/input/app.jar"
  for variant in "heavy-aot --aot-cache" "heavy"; do
    # shellcheck disable=SC2086 # the variant is a name and an option
    "$java25/bin/java" -jar "$root/build/linux/packager.jar" --input "$heavy/input" --main-jar app.jar \
      --main-class bench.Heavy --dest "$heavy" --name $variant > "$heavy/packager.log" 2>&1 ||
      { cat "$heavy/packager.log"; exit 1; }
  done
  echo "== bench.Heavy, $runs runs each"
  hyperfine -N --warmup 10 --runs "$runs" --export-json "$work/Heavy.json" \
    -n "(d) packaged, Java 25 runtime with AOT cache" "$heavy/heavy-aot/heavy-aot" \
    -n "(d') packaged, Java 25 runtime without it" "$heavy/heavy/heavy" \
    -n "(e) java -cp app.jar bench.Heavy, whole JDK 25" "$java25/bin/java -cp $heavy/input/app.jar bench.Heavy" > /dev/null
else
  echo "== bench.Heavy skipped: no Java 25 JDK at $java25 (set LAUNCHER_JAVA25_HOME)"
fi
# Time to first pixel on a virtual display: (f) the launcher with a splash, (g) without (bench.Frame's own
# window), (h) java -splash: with the same JDK; side by side, each run of each in turn.
display=$((100 + $$ % 400))
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2> /dev/null || true' EXIT
while [ ! -e "/tmp/.X11-unix/X$display" ]; do sleep 0.1; done
app "splash-Frame" "$jdk" "bench/Frame"
cp "$root/tests/fixtures/splash.png" splash-Frame/splash.png
echo "{\"jar\": \"app.jar\", \"mainClass\": \"bench/Frame\", \"trace\": false,
  \"vmArgs\": [\"-splash:\$APPDIR/splash.png\", $options]}" > splash-Frame/config.json
app "plain-Frame" "$jdk" "bench/Frame"
firstPixel=$root/build/linux/benchmark/first_pixel
echo "== bench.Frame, time to first pixel, $runs runs each"
: > "$work/first-pixel.txt"
for run in $(seq 0 "$runs"); do
  for variant in f g h; do
    case $variant in
      f) command=(splash-Frame/launcher) ;;
      g) command=(plain-Frame/launcher) ;;
      h) command=("$jdk/bin/java" -splash:splash-Frame/splash.png -Xmx64m -Dbench.name=benchmark -cp "$work/app.jar" bench.Frame) ;;
    esac
    milliseconds=$(DISPLAY=":$display" "$firstPixel" "${command[@]}")
    [ "$run" -eq 0 ] || echo "$variant $milliseconds" >> "$work/first-pixel.txt"  # run 0 warms up
  done
done

# One running copy: (i) a first start of a product that keeps one, which runs its program (a JVM), against
# (j) a later start of it, which hands its command line to the running copy and ends.
app "resident" "$jdk" "bench/Resident"
echo "{\"jar\": \"app.jar\", \"mainClass\": \"bench/Resident\", \"trace\": false, \"passArguments\": true,
  \"singleInstance\": \"bench.Resident.open\", \"vmArgs\": [$options]}" > resident/config.json
echo "== One running copy, $runs runs each"
hyperfine -N --warmup 10 --runs "$runs" --export-json "$work/first-start.json" \
  -n "(i) first start, which runs the program" "resident/launcher" > /dev/null
resident/launcher --stay > /dev/null &
resident=$!
trap 'kill $xvfb $resident 2> /dev/null || true' EXIT
# Listening once its socket is bound, in $XDG_RUNTIME_DIR or the abstract namespace (any other product with one
# running copy aside).
until grep -Eq "(@launcher-running-copy-$(id -u)-|${XDG_RUNTIME_DIR:-@}/launcher-running-copy-)" /proc/net/unix; do
  sleep 0.1
done
sleep 1  # and its JVM up
hyperfine -N --warmup 10 --runs "$runs" --export-json "$work/later-start.json" \
  -n "(j) later start, handed to the running copy" "resident/launcher letter.txt" > /dev/null
kill $resident

runtimeMegabytes=$(du -sm "$root/build/demo/demo/jre" | cut -f1)

mkdir -p noop/jre/lib/server
cp "$root/build/linux/launcher" noop/launcher
cp "$root/build/linux/benchmark/noop-jvm/libjvm.so" noop/jre/lib/server/libjvm.so
echo "{\"jar\": \"app.jar\", \"mainClass\": \"bench/Hello\", \"vmArgs\": [$options]}" > noop/config.json
echo "== The launcher's own share, 1000 runs each"
hyperfine -N --warmup 50 --runs 1000 --export-json "$work/share.json" \
  -n "launcher with a JVM library that does nothing" "noop/launcher" \
  -n "a program that does nothing" "$root/build/linux/benchmark/does_nothing" > /dev/null
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null | sed -n 's/.*Collected : //p'
}
launcherInstructions=$(instructions noop/launcher)
floorInstructions=$(instructions "$root/build/linux/benchmark/does_nothing")
# Instruction counts do not vary with the machine's load: (a) against (b) once more.
echo "== Instructions of a whole launch of bench.Empty, all threads (callgrind)"
launchInstructions=$(instructions jdk-Empty/launcher)
javaInstructions=$(instructions "$jdk/bin/java" -Xmx64m -Dbench.name=benchmark -cp "$work/app.jar" bench.Empty)

python3 - "$work" "$launcherInstructions" "$floorInstructions" "$launchInstructions" "$javaInstructions" \
  "$runtimeMegabytes" << 'PYTHON'
import json, os, sys
work = sys.argv[1]
launcher_ir, floor_ir, launch_ir, java_ir, runtime_mb = (int(n) for n in sys.argv[2:7])
def medians(name):
    return {r["command"]: r["median"] * 1000 for r in json.load(open(f"{work}/{name}.json"))["results"]}
for program in ("Hello", "Empty"):
    m = medians(program)
    a, b, c, c0 = m.values()  # in the order hyperfine ran them: (a), (b), (c), (c')
    print(f"\nbench.{program}: medians")
    for k in m:
        print(f"  {k:45s} {m[k]:7.1f} ms")
    print(f"  ratio a/b = {a / b:.2f}   ratio c/b = {c / b:.2f}   the CDS archive saves {c0 - c:.1f} ms")
if os.path.exists(f"{work}/Heavy.json"):
    m = medians("Heavy")
    d, d0, e = m.values()
    print("\nbench.Heavy: medians")
    for k in m:
        print(f"  {k:50s} {m[k]:7.1f} ms")
    print(f"  ratio d/e = {d / e:.2f}   ratio d'/e = {d0 / e:.2f}")
import statistics
times = {}
for line in open(f"{work}/first-pixel.txt"):
    variant, ms = line.split()
    times.setdefault(variant, []).append(float(ms))
f, g, h = (statistics.median(times[v]) for v in "fgh")
print("\nbench.Frame, time to first pixel (medians):")
print(f"  (f) launcher with -splash:                     {f:7.1f} ms")
print(f"  (g) launcher without a splash (its window)     {g:7.1f} ms")
print(f"  (h) java -splash: -cp app.jar bench.Frame      {h:7.1f} ms")
print(f"  ratio f/g = {f / g:.2f}   ratio f/h = {f / h:.2f}")
first = medians("first-start")["(i) first start, which runs the program"]
later = medians("later-start")["(j) later start, handed to the running copy"]
print("\nOne running copy (medians):")
print(f"  (i) first start, which runs the program         {first:7.1f} ms")
print(f"  (j) later start, handed to the running copy     {later:7.1f} ms")
print(f"  ratio j/i = {later / first:.3f}")
print(f"\nThe demo's packaged runtime (java.base only, with its CDS archive): {runtime_mb} MB")
share = medians("share")
launcher, floor = share["launcher with a JVM library that does nothing"], share["a program that does nothing"]
print("\nThe launcher's own share (everything but creating, running and destroying the VM):")
print(f"  launcher with a JVM library that does nothing  {launcher:6.2f} ms  {launcher_ir:>9,} instructions")
print(f"  a program that does nothing                    {floor:6.2f} ms  {floor_ir:>9,} instructions")
print(f"  share                                          {launcher - floor:6.2f} ms  {launcher_ir - floor_ir:>9,} instructions")
print("\nInstructions of a whole launch of bench.Empty (callgrind, all threads):")
print(f"  (a) launcher, jre = installed JDK    {launch_ir:>12,}")
print(f"  (b) java -cp app.jar bench.Empty     {java_ir:>12,}")
print(f"  ratio a/b = {launch_ir / java_ir:.3f}")
PYTHON
