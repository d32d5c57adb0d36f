#!/usr/bin/env bash
# The release: scripts/release.sh run twice, on copies of the sources in two
# folders of different paths, one after the other, gives the same bytes; the
# unpacked zip, with no checkout beside it, packages the demo with the JDK's
# java alone, for Linux (the folder runs) and for Windows (the GUI and the
# console launcher, with the stand-in as the runtime, launch under Wine).
# Usage: release-test.sh SOURCE_DIR WORK_DIR WINE-RUNNER PREFIX STANDIN_JVM.DLL STANDIN_RUNTIME.DLL JDK_HOME
set -u
source_dir=$1 work=$2 runner=$3 prefix=$4 standin=$5 standin_dependency=$6 jdk=$7
. "$source_dir/tests/windows/test-lib.sh"

rm -rf "$work"
mkdir -p "$work"
SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2> /dev/null || date +%s)
export SOURCE_DATE_EPOCH
release() {  # release FOLDER: the sources as the checkout has them, and their release made there
  mkdir -p "$1"
  git -C "$source_dir" ls-files -z | tar -C "$source_dir" --null -T - -cf - | tar -C "$1" -xf -
  bash "$1/scripts/release.sh" > "$1.log" 2>&1 || { cat "$1.log"; failed "release.sh in $1"; finish; exit 1; }
}
release "$work/first"
release "$work/second/a longer path"
# The version the README tells a user to unzip, not read the way release.sh reads it.
version=$(sed -n 's/^unzip launcher-\([0-9.]*\)\.zip .*/\1/p' "$source_dir/README.md")
[ -n "$version" ] || { failed "README.md names no launcher-VERSION.zip to unzip"; finish; exit 1; }
first=$work/first/build/release second="$work/second/a longer path/build/release"
expect "the two zips are the same bytes" "" "$(cmp "$first/launcher-$version.zip" "$second/launcher-$version.zip" 2>&1)"
expect "every file is the same" "" "$(diff -r "$first/launcher-$version" "$second/launcher-$version" 2>&1)"
expect "the release holds what the README lists" "launcher-$version/
launcher-$version/README.md
launcher-$version/SHA256SUMS
launcher-$version/launchers/
launcher-$version/launchers/linux-x64/
launcher-$version/launchers/linux-x64/launcher
launcher-$version/launchers/windows-x64/
launcher-$version/launchers/windows-x64/launcher-console.exe
launcher-$version/launchers/windows-x64/launcher-service.exe
launcher-$version/launchers/windows-x64/launcher.exe
launcher-$version/legal/
launcher-$version/legal/xz-java.txt
launcher-$version/packager.jar" "$("$jdk/bin/jar" --list --file "$first/launcher-$version.zip" | LC_ALL=C sort)"
expect "packager.jar holds XZ for Java, and the release its terms" "org/tukaani/xz/XZOutputStream.class
 All the files in this package have been written by Lasse Collin" \
  "$("$jdk/bin/jar" --list --file "$first/launcher-$version/packager.jar" | grep '^org/tukaani/xz/XZOutputStream')
$(grep -m1 'All the files' "$first/launcher-$version/legal/xz-java.txt")"

# A Java developer's machine: the zip unpacked by unzip as the README says, nothing of the build beside it.
command -v unzip > /dev/null || { failed "unzip is missing (apt-get install unzip)"; finish; exit 1; }
mkdir -p "$work/user"
(cd "$work/user" && unzip -q "$first/launcher-$version.zip")
expect "the modes the zip gives: the Linux launcher runs, the rest is read" \
  "drwxr-xr-x launcher-$version/launchers/linux-x64
-rwxr-xr-x launcher-$version/launchers/linux-x64/launcher
-rw-r--r-- launcher-$version/packager.jar" \
  "$(cd "$work/user" && stat -c '%A %n' "launcher-$version/launchers/linux-x64" \
     "launcher-$version/launchers/linux-x64/launcher" "launcher-$version/packager.jar")"
rm -rf "$work/first" "$work/second"
release_dir=$work/user/launcher-$version
expect "SHA256SUMS checks" "" "$(cd "$release_dir" && sha256sum --quiet -c SHA256SUMS 2>&1)"
expect "the release's packager names the release's version" "$version" \
  "$("$jdk/bin/java" -jar "$release_dir/packager.jar" --version 2>&1)"
mkdir -p "$work/user/classes" "$work/user/input"
"$jdk/bin/javac" -d "$work/user/classes" "$source_dir/demo/src/com/example/demo/Main.java"
"$jdk/bin/jar" --create --file "$work/user/input/demo.jar" --main-class com.example.demo.Main -C "$work/user/classes" .
package() {  # package OPTION...: java -jar packager.jar with nothing on the path the project built
  env -i HOME="$work/user" PATH=/usr/bin:/bin "$jdk/bin/java" -jar "$release_dir/packager.jar" \
    --input "$work/user/input" --main-jar demo.jar --dest "$work/user/dist" "$@"
}
package --java-options '"-Ddemo.greeting=from the release"' > "$work/user/linux.log" 2>&1
expect "the release packages the demo for Linux" "0" "$?$(grep -v '^made ' "$work/user/linux.log")"
expect "and the folder runs" "demo.greeting = from the release" \
  "$("$work/user/dist/demo/demo" 2>&1 | grep '^demo.greeting')"

lay_out_standin_runtime "$work/user/windows-runtime" "$standin" "$standin_dependency"
echo 'JAVA_VERSION="17.0.9"' > "$work/user/windows-runtime/release"
for variant in gui console; do
  name=demo-$variant
  options=(--target windows --runtime-image "$work/user/windows-runtime" --name "$name")
  [ "$variant" = console ] && options+=(--win-console)
  package "${options[@]}" > "$work/user/$name.log" 2>&1
  expect "the release packages the demo for Windows ($variant)" "0" "$?$(grep -v '^made ' "$work/user/$name.log")"
  subsystem=$(x86_64-w64-mingw32-objdump -p "$work/user/dist/$name/$name.exe" | sed -n 's/^Subsystem.*(Windows \(.*\))/\1/p')
  expect "$name.exe is the $variant launcher" "$([ "$variant" = gui ] && echo GUI || echo CUI)" "$subsystem"
  STANDIN_RECORD="$(windows_path "$work/user/$name.txt")" "$runner" "$prefix" "$work/user/dist/$name/$name.exe" \
    > /dev/null 2>&1
  expect "$name.exe launches under Wine" "FindClass com/example/demo/Main" \
    "$(grep -a '^FindClass com' "$work/user/$name.txt" | tr -d '\r')"
done
finish
