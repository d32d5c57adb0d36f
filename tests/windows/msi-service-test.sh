#!/usr/bin/env bash
# --launcher-as-service in a Windows Installer package, under Wine: the
# service variant is built here, as a release lays it out beside
# packager.jar (without it the packager refuses, naming the file); the
# package installs the service, which runs the program (the stand-in JVM's
# main runs until System.exit); net stop ends the program as System.exit(0)
# does; a program that ends by itself stops the service with its status as
# the service's own exit code; removing the package removes the service.
# Usage: msi-service-test.sh SOURCE_DIR PACKAGER.JAR WORK_DIR WINE-RUNNER PREFIX
#          LAUNCHER.EXE STANDIN_JVM.DLL STANDIN_RUNTIME.DLL JDK_HOME
set -u
source_dir=$1 packager_jar=$2 work=$3 runner=$4 prefix=$5 launcher=$6 standin=$7 standin_dependency=$8 jdk=$9
. "$(dirname "$0")/test-lib.sh"

if ! command -v wixl > /dev/null || ! command -v msiinfo > /dev/null; then
  echo "SKIPPED: wixl and msiinfo are not installed (scripts/install-deps.sh installs them)"
  exit 77
fi

rm -rf "$work" "$prefix" "$prefix-drive-x"
mkdir -p "$work/classes/com/example" "$work/input" "$work/home" "$work/release/launchers/windows-x64"
export HOME=$work/home
if ! { cmake -S "$source_dir" -B "$work/build" -G Ninja --toolchain "$source_dir/cmake/mingw-w64-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_BUILD_TESTS=OFF -DLAUNCHER_SERVICE=ON \
         -DLAUNCHER_OUTPUT_NAME=launcher-service && cmake --build "$work/build" --target launcher; } \
     > "$work/build.log" 2>&1; then
  cat "$work/build.log"
  echo "FAILED: the service variant's build"
  exit 1
fi
# The packager as a release lays it out, the service variant not yet beside it.
cp "$packager_jar" "$work/release/packager.jar"
cp "$launcher" "$work/release/launchers/windows-x64/launcher.exe"
lay_out_standin_runtime "$work/runtime" "$standin" "$standin_dependency"
printf '\xca\xfe\xba\xbe' > "$work/classes/com/example/Main.class"  # the stand-in loads no class
"$jdk/bin/jar" --create --file "$work/input/app.jar" --main-class com.example.Main -C "$work/classes" .

record=$work/record.txt
package() {  # package OPTION...: the status, and the packager's words in $work/packager.log
  "$jdk/bin/java" -jar "$work/release/packager.jar" --type msi --target windows --runtime-image "$work/runtime" \
    --input "$work/input" --main-jar app.jar --name "${name:-My Service}" --vendor "Example Co" --dest "$work/out" \
    --description "Keeps plans in step" --launcher-as-service --win-per-machine-install \
    --java-options "\"-DSTANDIN_RECORD=$(windows_path "$record")\"" "$@" > "$work/packager.log" 2>&1
}
wine() { "$runner" "$prefix" "$@"; }
# query NAME: the state and the exit codes sc query gives, on one line.
query() {
  wine sc query "$1" 2>&1 | tr -d '\r' |
    sed -n 's/^ *\(STATE\|WIN32_EXIT_CODE\|SERVICE_EXIT_CODE\) *: *\([0-9]*\).*/\1 \2/p' | tr '\n' ' ' | sed 's/ $//'
}
# wait_for TEXT FILE: until FILE holds a line TEXT begins, for at most a minute.
wait_for() {
  local tries=0
  until grep -aq "^$1" "$2" 2> /dev/null || [ $tries -ge 300 ]; do sleep 0.2; tries=$((tries + 1)); done
}
# wait_until_stopped NAME: until sc query says STOPPED (1), for at most a minute.
wait_until_stopped() {
  local tries=0
  until [ "$(query "$1" | cut -d' ' -f2)" = 1 ] || [ $tries -ge 60 ]; do sleep 1; tries=$((tries + 1)); done
}

package --java-options -DSTANDIN_RUN_UNTIL_EXIT=1
expect "without launcher-service.exe beside it the packager refuses, naming the file" "2 1" \
  "$? $(grep -c "^error: there is no windows launcher at \"$work/release/launchers/windows-x64/launcher-service.exe\"" \
        "$work/packager.log")"
cp "$work/build/launcher-service.exe" "$work/release/launchers/windows-x64/"
package --java-options -DSTANDIN_RUN_UNTIL_EXIT=1
msi="$work/out/My Service-1.0.msi"
expect "with it the packager makes the package" "0" "$?$(grep -v '^made ' "$work/packager.log")"
expect "the package installs the service: own process, automatic, its display name and description" \
  "My Service	My Service	16	2	1	Keeps plans in step" \
  "$(msiinfo export "$msi" ServiceInstall | tail -n +4 | tr -d '\r' | cut -f2-6,13)"
expect "and starts it on installation, not waiting, and stops it on upgrade and removal and removes it on removal, waiting" \
  "My Service	1	0
My Service	162	1" "$(msiinfo export "$msi" ServiceControl | tail -n +4 | tr -d '\r' | cut -f2,3,5 | sort)"

wine "$work/release/launchers/windows-x64/launcher-service.exe" > "$work/by-hand.out" 2> "$work/by-hand.err"
expect "started by hand, the service variant says so and ends with status 2" \
  "2 error: launcher-service runs the program as a Windows service, and it was not started by the service manager: start the service its installer registered for it (net start NAME, or sc start NAME), NAME being the product's name, or PRODUCT-launcher-service for a launcher other than the product's own" \
  "$? $(tr -d '\r' < "$work/by-hand.err")"

wine msiexec /i "$(windows_path "$msi")" /qn
expect "msiexec installs it, for the machine" "0 yes" \
  "$? $([ -f "$prefix/drive_c/Program Files/My Service/My Service.exe" ] && echo yes)"
wait_for "main runs until System.exit" "$record"
expect "installed, the service runs: the program's main runs, from the install folder" \
  "STATE 4 WIN32_EXIT_CODE 0 SERVICE_EXIT_CODE 0|CallStaticVoidMethodV class com/example/Main method main with array of length 0" \
  "$(query "My Service")|$(grep -a '^CallStaticVoidMethodV class com' "$record" | tr -d '\r')"

wine net stop "My Service" > "$work/net-stop.txt" 2>&1
expect "net stop stops it" "0" "$?"
wait_for "the exit hook returned" "$record"
expect "stopped, the program was ended as System.exit(0) ends it: on an attached thread, through the JVM's exit" \
  "AttachCurrentThread service stop
FindClass java/lang/System
GetStaticMethodID class java/lang/System exit (I)V
System.exit 0 on an attached thread
the exit hook returned" \
  "$(sed -n '/^AttachCurrentThread/,$p' "$record" | tr -d '\r')"
wait_until_stopped "My Service"
expect "sc query: stopped, with no error" "STATE 1 WIN32_EXIT_CODE 0 SERVICE_EXIT_CODE 0" "$(query "My Service")"

# A program that ends by itself (an exception escapes main: status 1), through the config.json beside the service's executable.
installed_config="$prefix/drive_c/Program Files/My Service/config.json"
sed -i 's/-DSTANDIN_RUN_UNTIL_EXIT=1/-DSTANDIN_THROW=1/' "$installed_config"
wine sc start "My Service" > "$work/sc-start.txt" 2>&1
wait_until_stopped "My Service"
expect "a program that ends by itself stops the service with its status as the service's own exit code (1066: ERROR_SERVICE_SPECIFIC_ERROR)" \
  "STATE 1 WIN32_EXIT_CODE 1066 SERVICE_EXIT_CODE 1" "$(query "My Service")"

wine msiexec /x "$(windows_path "$msi")" /qn
# Wine's sc query says nothing of a service that does not exist (Windows says 1060); its key in the registry tells.
expect "msiexec /x removes it, the service's key with it" "0 1 no folder" \
  "$? $(wine reg query 'HKLM\System\CurrentControlSet\Services\My Service' > /dev/null 2>&1; echo $?) $(
     [ -e "$prefix/drive_c/Program Files/My Service" ] && echo folder left || echo no folder)"

# A program that ends at once (it needs configuring first): the package installs all the same, its service stopped.
# A product of its own: Wine may still be deleting the service removed just before.
name="Quick Service" package --java-options -DSTANDIN_THROW=1
quick="$work/out/Quick Service-1.0.msi"
wine msiexec /i "$(windows_path "$quick")" /qn
status=$?
wait_until_stopped "Quick Service"
expect "a service whose program ends at once is installed, stopped with the program's status" \
  "0 STATE 1 WIN32_EXIT_CODE 1066 SERVICE_EXIT_CODE 1" "$status $(query "Quick Service")"
wine msiexec /x "$(windows_path "$quick")" /qn

finish
