#!/usr/bin/env bash
# The packager making a Windows application folder on this Linux machine: the
# launcher.exe, a runtime folder (the stand-in JVM library laid out as a
# Windows runtime), config.json in UTF-8; the .exe then launches under Wine,
# and the .zip holds exactly the folder.
# Usage: packager-windows-test.sh PACKAGER.JAR WORK_DIR WINE-RUNNER PREFIX LAUNCHER.EXE
#          STANDIN_JVM.DLL STANDIN_RUNTIME.DLL JDK_HOME
set -u
packager_jar=$1 work=$2 runner=$3 prefix=$4 launcher=$5 standin=$6 standin_dependency=$7 jdk=$8
. "$(dirname "$0")/test-lib.sh"

rm -rf "$work"
mkdir -p "$work/classes/com/example" "$work/input/lib"
lay_out_standin_runtime "$work/runtime" "$standin" "$standin_dependency"
echo 'JAVA_VERSION="17.0.9"' > "$work/runtime/release"
ln -s runtime "$work/runtime-link"  # given through a link, as /usr/lib/jvm/default-java is
printf '\xca\xfe\xba\xbe' > "$work/classes/com/example/Main.class"  # the stand-in loads no class
cp "$work/classes/com/example/Main.class" "$work/classes/com/example/Tool.class"
"$jdk/bin/jar" --create --file "$work/input/app.jar" --main-class com.example.Main -C "$work/classes" .
cp "$work/input/app.jar" "$work/input/lib/helper.jar"

"$jdk/bin/java" -jar "$packager_jar" --target windows --launcher "$launcher" \
  --runtime-image "$work/runtime-link" --input "$work/input" --main-jar app.jar --name "My App" --dest "$work/out" \
  --java-options "-Dgreeting=héllo" --archive > "$work/packager.log" 2>&1
expect "the packager makes the folder and the archive" "0" "$?$(grep -v '^made ' "$work/packager.log")"

app="$work/out/My App"
STANDIN_RECORD="$(windows_path "$work/record.txt")" "$runner" "$prefix" "$app/My App.exe" > "$work/out.txt" 2> "$work/err.txt"
expect "My App.exe launches under Wine" "0" "$?$(cat "$work/err.txt")"
expect "with the class path, the launcher's properties, the main class and the option in code page 1252" \
  "-Djava.class.path=$(windows_path "$app")/app.jar;$(windows_path "$app")/lib/helper.jar
-Djpackage.app-path=$(windows_path "$app")\\My App.exe
-Dsun.java.command=com.example.Main
-Dgreeting=h$(printf '\xe9')llo
FindClass com/example/Main" \
  "$(standin_user_options "$work/record.txt"; grep -a '^FindClass com' "$work/record.txt" | tr -d '\r')"

# What the folder must hold, written out here rather than read from the folder this run made.
listing='My App/
My App/.made-by-packager
My App/My App.exe
My App/app.jar
My App/config.json
My App/jre/
My App/jre/bin/
My App/jre/bin/server/
My App/jre/bin/server/jvm.dll
My App/jre/bin/standin_runtime.dll
My App/jre/release
My App/lib/
My App/lib/helper.jar'
expect "the folder holds the program, its launcher, its configuration and the runtime" "$listing" \
  "$(cd "$work/out" && find "My App" -type d -printf '%p/\n' -o -type f -printf '%p\n' | LC_ALL=C sort)"
expect "the archive holds exactly that" "$listing" "$("$jdk/bin/jar" --list --file "$work/out/My App.zip" | LC_ALL=C sort)"

# A second launcher beside the main one: a branded copy that shares the runtime and finds its own settings in
# config.json by its name, whatever letter case it is started by.
printf 'main-class=com.example.Tool\njava-options=-Dmode=tool\ndescription=The tool\napp-version=2.3\n' \
  > "$work/tool.properties"
"$jdk/bin/java" -jar "$packager_jar" --target windows --launcher "$launcher" --runtime-image "$work/runtime" \
  --input "$work/input" --main-jar app.jar --name "My App" --dest "$work/launchers" \
  --java-options "-Dmode=main" --add-launcher "Tool=$work/tool.properties" > "$work/launchers.log" 2>&1
expect "the packager makes the folder with two launchers" "0" "$?$(grep -v '^made ' "$work/launchers.log")"
app="$work/launchers/My App"
expect "one runtime, two launchers" "My App.exe
Tool.exe
jre" "$(cd "$app" && ls -d *.exe jre | LC_ALL=C sort)"
for started in "Tool.exe" "TOOL.EXE"; do
  rm -f "$work/record.txt"
  STANDIN_RECORD="$(windows_path "$work/record.txt")" "$runner" "$prefix" "$app/$started" > "$work/out.txt" 2> "$work/err.txt"
  expect "$started launches under Wine" "0" "$?$(cat "$work/err.txt")"
  expect "$started runs its own class with its own options, on the main launcher's class path" \
    "-Djava.class.path=$(windows_path "$app")/app.jar;$(windows_path "$app")/lib/helper.jar
-Dmode=tool
FindClass com/example/Tool" \
    "$(standin_user_options "$work/record.txt" | grep -v '^-Djpackage.app-path=\|^-Dsun.java.command='; grep -a '^FindClass com' "$work/record.txt" | tr -d '\r')"
done
rm -f "$work/record.txt"
STANDIN_RECORD="$(windows_path "$work/record.txt")" "$runner" "$prefix" "$app/My App.exe" > "$work/out.txt" 2> "$work/err.txt"
expect "the main launcher keeps its own settings" "-Dmode=main
FindClass com/example/Main" \
  "$(standin_user_options "$work/record.txt" | grep '^-Dmode='; grep -a '^FindClass com' "$work/record.txt" | tr -d '\r')"
# Its description, in UTF-16 as the version resource holds it, is in its copy alone.
utf16_description='T\x00h\x00e\x00 \x00t\x00o\x00o\x00l\x00'
expect "the copy carries its own version resource" "1 0" \
  "$(LC_ALL=C grep -a -c -P "$utf16_description" "$app/Tool.exe") $(LC_ALL=C grep -a -c -P "$utf16_description" "$app/My App.exe")"

finish
