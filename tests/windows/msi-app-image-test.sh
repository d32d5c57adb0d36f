#!/usr/bin/env bash
# The signing workflow: the packager makes the folder, its executable is
# signed with osslsigncode, and the Windows Installer package made of the
# folder with --app-image holds the signed executable byte for byte, its
# signature still valid; the folder is left as it was.
# Usage: msi-app-image-test.sh PACKAGER.JAR WORK_DIR LAUNCHER.EXE STANDIN_JVM.DLL
#          STANDIN_RUNTIME.DLL JDK_HOME SOURCE_DIR
set -u
packager_jar=$1 work=$2 launcher=$3 standin=$4 standin_dependency=$5 jdk=$6 source_dir=$7
. "$(dirname "$0")/test-lib.sh"

for tool in wixl msiextract osslsigncode openssl; do
  if ! command -v "$tool" > /dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work/classes/com/example" "$work/input" "$work/out" "$work/dist" "$work/extracted"
lay_out_standin_runtime "$work/runtime" "$standin" "$standin_dependency"
printf '\xca\xfe\xba\xbe' > "$work/classes/com/example/Main.class"  # the stand-in loads no class
"$jdk/bin/jar" --create --file "$work/input/app.jar" --main-class com.example.Main -C "$work/classes" .

"$jdk/bin/java" -jar "$packager_jar" --target windows --launcher "$launcher" --runtime-image "$work/runtime" \
  --input "$work/input" --main-jar app.jar --name "My App" --vendor "Example Co" --dest "$work/out" \
  > "$work/packager.log" 2>&1
expect "the packager makes the folder" "0" "$?"
folder="$work/out/My App"

# A self-signed code-signing certificate made here, and the folder's executable signed with it in place.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Launcher Test Signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" > /dev/null 2>&1 &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:secret \
    -out "$work/signer.p12" > /dev/null 2>&1 || { echo "FAILED: openssl"; exit 1; }
LAUNCHER_SIGN_PASSWORD=secret "$source_dir/scripts/sign.sh" "$folder/My App.exe" "$work/signer.p12" > "$work/sign.log" 2>&1
expect "scripts/sign.sh signs the folder's executable" "0" "$?"
cp "$folder/My App.exe" "$work/signed.exe"
before=$(cd "$folder" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)

"$jdk/bin/java" -jar "$packager_jar" --type msi --app-image "$folder" --app-version 1.2 --vendor "Example Co" \
  --win-menu --dest "$work/dist" > "$work/packager.log" 2>&1
expect "the packager makes the package of the folder, taking its name and platform from it" \
  "0 made $work/dist/My App-1.2.msi" "$? $(sed 's/ (upgrade code .*//' "$work/packager.log")"
expect "the folder is left as it was" "$before" \
  "$(cd "$folder" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)"

(cd "$work/extracted" && msiextract "$work/dist/My App-1.2.msi" > "$work/extract.log" 2>&1)
packaged=$(find "$work/extracted" -name 'My App.exe' -type f)
expect "the package holds one My App.exe, the signed bytes" "1 same" \
  "$(printf '%s\n' "$packaged" | grep -c .) $(cmp -s "$packaged" "$work/signed.exe" && echo same)"
osslsigncode verify -CAfile "$work/cert.pem" -in "$packaged" > "$work/verify.log" 2>&1
expect "osslsigncode verifies the packaged executable's signature" "0" "$?"
expect "the package holds config.json and the runtime, and not the packager's marker" "yes yes no" \
  "$([ -n "$(find "$work/extracted" -name config.json)" ] && echo yes) $(
     [ -n "$(find "$work/extracted" -name jvm.dll)" ] && echo yes) $(
     [ -n "$(find "$work/extracted" -name .made-by-packager)" ] && echo yes || echo no)"

# Files added to the folder after it was made are held to Windows' names too: letter case aside, one file.
cp -a "$folder" "$work/clash" && : > "$work/clash/notes.txt" && : > "$work/clash/NOTES.txt"
"$jdk/bin/java" -jar "$packager_jar" --type msi --app-image "$work/clash" --dest "$work/dist-clash" \
  > "$work/clash.log" 2>&1
status=$?
expect "two names Windows takes for one are refused, naming both" "2 yes" \
  "$status $(grep -qi 'holds "notes.txt" and "notes.txt", which Windows, ignoring letter case, takes for one file' \
     "$work/clash.log" && echo yes)"

finish
