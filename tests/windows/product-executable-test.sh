#!/usr/bin/env bash
# A product's own executable: builds the launcher branded (name, icon made
# here with icotool, version strings with quotes, backslashes and non-ASCII)
# and as the console variant, reads both back from their PE files, launches
# them under Wine beside the default build, signs one with a certificate made
# here, and checks that bad options stop the configure step by name. The
# packager brands the default build with the same values, in Java: the same
# icon and version resource, launching alike, signable; bad input refused.
# Usage: product-executable-test.sh SOURCE_DIR WORK_DIR WINE-RUNNER PREFIX DEFAULT.EXE
#          STANDIN_JVM.DLL STANDIN_RUNTIME.DLL READ_VERSION_INFO.EXE PACKAGER.JAR JDK_HOME
set -u
source_dir=$1 work=$2 runner=$3 prefix=$4 default_exe=$5 standin=$6 standin_dependency=$7 version_reader=$8
packager_jar=$9 jdk=${10}
check_properties=$source_dir/tests/windows/check-executable-properties.sh
. "$source_dir/tests/windows/test-lib.sh"

rm -rf "$work"
mkdir -p "$work/icon"

# The icon: four sizes of a square in PNG, put together by icotool.
python3 - "$work/icon" << 'PYTHON'
import struct, sys, zlib
def png(size, path):
    row = b"\0" + bytes((40 + size % 200, 90, 200, 255)) * size
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(row * size)) + chunk(b"IEND", b""))
for size in (16, 32, 48, 256):
    png(size, f"{sys.argv[1]}/{size}.png")
PYTHON
icotool -c -o "$work/icon/product.ico" "$work/icon"/{16,32,48,256}.png || { echo "FAILED: icotool"; exit 1; }

configure() {  # configure BUILD_DIR OPTION...
  local dir=$1
  shift
  cmake -S "$source_dir" -B "$dir" -G Ninja --toolchain "$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_BUILD_TESTS=OFF "$@"
}

product_name='Café "Grand" \ 世界 😀'
description='Plans, "quoted" and back\slashed'
company='Jörg & Søn Ltd.'
copyright='© 2026 Jörg & Søn Ltd.'
if ! { configure "$work/branded" -DLAUNCHER_OUTPUT_NAME=MyProduct -DLAUNCHER_ICON="$work/icon/product.ico" \
         -DLAUNCHER_VERSION=2.5.7 -DLAUNCHER_PRODUCT_NAME="$product_name" -DLAUNCHER_FILE_DESCRIPTION="$description" \
         -DLAUNCHER_COMPANY_NAME="$company" -DLAUNCHER_COPYRIGHT="$copyright" &&
       cmake --build "$work/branded" --target launcher; } > "$work/branded.log" 2>&1; then
  cat "$work/branded.log"
  echo "FAILED: the branded build"
  exit 1
fi
branded=$work/branded/MyProduct.exe
[ -f "$branded" ] && ok "the output name gives MyProduct.exe" || { failed "no $branded"; exit 1; }
"$check_properties" "$branded" gui dpi-aware > "$work/branded-properties.txt" || failed "$(cat "$work/branded-properties.txt")"

# wrestool reassembles the group and its images as an .ico file, padded at the end with zero bytes.
wrestool -x --type=14 "$branded" > "$work/extracted.ico" 2> /dev/null
icon_size=$(stat -c %s "$work/icon/product.ico")
if cmp -s "$work/icon/product.ico" <(head -c "$icon_size" "$work/extracted.ico") &&
  [ -z "$(tail -c +$((icon_size + 1)) "$work/extracted.ico" | tr -d '\0')" ] &&
  [ "$(wrestool -l --type=14 "$branded" | head -n 1 | grep -c -- '--name=1 ')" -eq 1 ]; then
  ok "the first icon group (id 1) and its four images equal the .ico byte for byte"
else
  failed "the icon in the executable differs from the .ico: $(wrestool -l "$branded")"
fi

expect "every version string exactly as given, and the numeric versions" \
"FileVersion numbers=2.5.7.0
ProductVersion numbers=2.5.7.0
CompanyName=$company
FileDescription=$description
FileVersion=2.5.7
InternalName=MyProduct
LegalCopyright=$copyright
OriginalFilename=MyProduct.exe
ProductName=$product_name
ProductVersion=2.5.7" "$("$runner" "$prefix" "$version_reader" "$branded" | tr -d '\r')"

# The version the README tells a user to unzip, not read the way the build reads CMakeLists.txt.
readme_version=$(sed -n 's/^unzip launcher-\([0-9.]*\)\.zip .*/\1/p' "$source_dir/README.md")
[ -n "$readme_version" ] || failed "README.md names no launcher-VERSION.zip to unzip"
expect "the default build carries the launcher's own name and version" \
"FileVersion numbers=$readme_version.0
OriginalFilename=launcher.exe" \
  "$("$runner" "$prefix" "$version_reader" "$default_exe" | tr -d '\r' | grep -E '^(FileVersion numbers|OriginalFilename)=')"

# The packager brands the default build with the same values.
mkdir -p "$work/pk/classes/com/example" "$work/pk/input"
lay_out_standin_runtime "$work/pk/runtime" "$standin" "$standin_dependency"
echo 'JAVA_VERSION="17.0.9"' > "$work/pk/runtime/release"
printf '\xca\xfe\xba\xbe' > "$work/pk/classes/com/example/Main.class"  # the stand-in loads no class
"$jdk/bin/jar" --create --file "$work/pk/input/app.jar" --main-class com.example.Main -C "$work/pk/classes" .
package_branded() {  # package_branded DEST LAUNCHER OPTION...: the status, and the packager's words in DEST.log
  local dest=$1 launcher=$2
  shift 2
  "$jdk/bin/java" -jar "$packager_jar" --target windows --launcher "$launcher" --runtime-image "$work/pk/runtime" \
    --input "$work/pk/input" --main-jar app.jar --dest "$dest" --name MyProduct "$@" > "$dest.log" 2>&1
}
package_branded "$work/pk/out" "$default_exe" --icon "$work/icon/product.ico" --app-version 2.5.7 --vendor "$company" \
  --description "$description" --copyright "$copyright"
expect "the packager brands the launcher" "0" "$?$(grep -v '^made ' "$work/pk/out.log")"
expect "the .ico brands the executable only: no Linux icon or menu entry beside it" "" \
  "$(ls "$work/pk/out/MyProduct" | grep -E '\.(png|desktop)$')"
packaged=$work/pk/out/MyProduct/MyProduct.exe
wrestool -x --type=14 "$packaged" > "$work/pk/extracted.ico" 2> /dev/null
expect "the packager's icon group and images are the CMake build's" "" \
  "$(cmp "$work/extracted.ico" "$work/pk/extracted.ico" 2>&1)"
expect "the packager's version resource reads as the CMake build's (ProductName is --name)" \
  "$("$runner" "$prefix" "$version_reader" "$branded" | tr -d '\r' | sed 's/^ProductName=.*/ProductName=MyProduct/')" \
  "$("$runner" "$prefix" "$version_reader" "$packaged" | tr -d '\r')"
"$check_properties" "$packaged" gui dpi-aware > "$work/pk/properties.txt" || failed "$(cat "$work/pk/properties.txt")"
# osslsigncode names a checksum that differs from the one it calculates "Current PE checksum".
expect "the packager's executable has the right PE checksum" "1" \
  "$(osslsigncode verify -in "$packaged" 2>&1 | grep -c '^PE checksum')"

# Console variant, also without DPI awareness.
if ! { configure "$work/console" -DLAUNCHER_CONSOLE=ON -DLAUNCHER_DPI_AWARE=OFF -DLAUNCHER_OUTPUT_NAME=tool &&
       cmake --build "$work/console" --target launcher; } > "$work/console.log" 2>&1; then
  cat "$work/console.log"
  echo "FAILED: the console build"
  exit 1
fi
console=$work/console/tool.exe
"$check_properties" "$console" console dpi-unaware > "$work/console-properties.txt" || failed "$(cat "$work/console-properties.txt")"
mkdir -p "$work/console-app"
cp "$console" "$work/console-app/tool.exe"
"$runner" "$prefix" "$work/console-app/tool.exe" > "$work/console.out" 2> "$work/console.err"
status=$?
expect "the console variant reports a failure on standard error with its status" \
  "2 error: cannot open the configuration file" "$status $(tr -d '\r' < "$work/console.err" | grep -o '^error: cannot open the configuration file')"

printf 'not an icon\n' > "$work/not-an-icon.ico"
head -c 200 "$work/icon/product.ico" > "$work/cut-off.ico"
head -c 40 "$work/icon/product.ico" > "$work/cut-off-directory.ico"

# Signing, with a self-signed code-signing certificate made here.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Launcher Test Signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" > /dev/null 2>&1 &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:'s3cret pass' \
    -out "$work/signer.p12" > /dev/null 2>&1 || { echo "FAILED: openssl"; exit 1; }
cp "$branded" "$work/Signed.exe"
cp "$packaged" "$work/PackagedSigned.exe"
cp "$default_exe" "$work/SignedWithFile.exe"
printf 's3cret pass' > "$work/password.txt"
if LAUNCHER_SIGN_PASSWORD='s3cret pass' "$source_dir/scripts/sign.sh" "$work/Signed.exe" "$work/signer.p12" > /dev/null &&
  LAUNCHER_SIGN_PASSWORD_FILE="$work/password.txt" "$source_dir/scripts/sign.sh" "$work/SignedWithFile.exe" "$work/signer.p12" > /dev/null &&
  LAUNCHER_SIGN_PASSWORD='s3cret pass' "$source_dir/scripts/sign.sh" "$work/PackagedSigned.exe" "$work/signer.p12" > /dev/null &&
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/PackagedSigned.exe" >> "$work/verify.txt" 2>&1 &&
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/Signed.exe" > "$work/verify.txt" 2>&1 &&
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/SignedWithFile.exe" >> "$work/verify.txt" 2>&1 &&
  grep -q "Message digest algorithm: SHA256" "$work/verify.txt"; then
  ok "signed (password from the environment, and from a file); osslsigncode verifies each, the packager's too"
else
  failed "signing or verifying: $(cat "$work/verify.txt" 2> /dev/null)"
fi
cp "$default_exe" "$work/Unsigned.exe"
if LAUNCHER_SIGN_PASSWORD='wrong' "$source_dir/scripts/sign.sh" "$work/Unsigned.exe" "$work/signer.p12" > /dev/null 2>&1 ||
  ! cmp -s "$default_exe" "$work/Unsigned.exe"; then
  failed "a wrong password must fail and leave the file unchanged"
else
  ok "a wrong password fails and leaves the file unchanged"
fi

# The branded and the signed executables launch exactly like the default one.
app=$work/app
lay_out_standin_runtime "$app/jre" "$standin" "$standin_dependency"
echo '{"jar": "app.jar", "mainClass": "com/example/Main", "vmArgs": ["-Xmx64m"]}' > "$app/config.json"
launch() {  # launch EXE: the trace, the stand-in's record and the status
  cp "$1" "$app/$(basename "$1")"
  STANDIN_RECORD="$(windows_path "$app/record.txt")" "$runner" "$prefix" "$app/$(basename "$1")" > "$app/out" 2> "$app/err"
  echo "status $? $(tr -d '\r' < "$app/out") $(cat "$app/record.txt") $(cat "$app/err")"
  rm -f "$app/record.txt"
}
reference=$(launch "$default_exe")
case $reference in
  "status 0 config file: "*"CallStaticVoidMethodV"*) ;;
  *) failed "the default launcher did not launch the stand-in: $reference" ;;
esac
expect "the branded executable launches exactly like the default one" "$reference" "$(launch "$branded")"
expect "the signed executable launches exactly like the default one" "$reference" "$(launch "$work/Signed.exe")"
expect "the packager's branded executable launches exactly like the default one" "$reference" "$(launch "$packaged")"

# Bad branding input: refused with status 2, naming the option, nothing made.
cp "$default_exe" "$work/pk/x86.exe"
python3 - "$work/pk/x86.exe" << 'PYTHON'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
struct.pack_into("<H", data, pe + 4, 0x14C)  # marked as built for 32-bit x86
open(sys.argv[1], "wb").write(data)
PYTHON
python3 - "$work/icon/product.ico" "$work/pk/outside.ico" << 'PYTHON'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<I", data, 6 + 16 + 12, len(data))  # the second image starts where the file ends
open(sys.argv[2], "wb").write(data)
PYTHON
refused_branding() {  # refused_branding DESCRIPTION EXPECTED-TEXT LAUNCHER OPTION...
  local description=$1 expected=$2 launcher=$3
  shift 3
  rm -rf "$work/pk/refused"
  package_branded "$work/pk/refused" "$launcher" "$@"
  local status=$?
  if [ "$status" -eq 2 ] && grep -qF -- "$expected" "$work/pk/refused.log" && [ ! -e "$work/pk/refused" ]; then
    ok "refused, nothing made: $description"
  else
    failed "$description: status $status, $(cat "$work/pk/refused.log")"
  fi
}
refused_branding "a missing .ico" "--icon \"$work/none.ico\" does not exist" "$default_exe" --icon "$work/none.ico"
refused_branding "a text file as .ico" "is not a Windows icon (.ico) file" "$default_exe" --icon "$work/not-an-icon.ico"
refused_branding "an .ico cut off in its directory" "is damaged: it lists 4 images" "$default_exe" \
  --icon "$work/cut-off-directory.ico"
refused_branding "an .ico cut off in its images" "is damaged: its image 1 lies outside the file" "$default_exe" \
  --icon "$work/cut-off.ico"
refused_branding "an image outside the .ico" "is damaged: its image 2 lies outside the file" "$default_exe" \
  --icon "$work/pk/outside.ico"
refused_branding "a version of five numbers" "--app-version 1.2.3.4.5 is not one to four numbers" "$default_exe" \
  --app-version 1.2.3.4.5
refused_branding "a version number past 16 bits" "has the number 70000" "$default_exe" --app-version 1.70000
refused_branding "a line break in a text" "--vendor holds a line break" "$default_exe" --vendor "$(printf 'two\nlines')"
refused_branding "a text past the version resource's 16-bit lengths" \
  "--description has 33000 characters, and the executable's version resource holds all its texts in 65535 bytes" \
  "$default_exe" --description "$(printf 'd%.0s' $(seq 33000))"
refused_branding "a launcher of another machine" "cannot be branded: it is built for machine type 0x14c, not x64" \
  "$work/pk/x86.exe" --vendor Example
refused_branding "a signed launcher" "is signed, and branding it would break the signature" "$work/Signed.exe" \
  --vendor Example

# Bad options stop the configure step and name the option.
bad_option() {  # bad_option DESCRIPTION EXPECTED-TEXT OPTION...
  local description=$1 expected=$2
  shift 2
  rm -rf "$work/bad"
  if configure "$work/bad" "$@" > "$work/bad.log" 2>&1; then
    failed "$description: the configure step succeeded"
  elif tr -s ' \n' ' ' < "$work/bad.log" | grep -qF -- "$expected"; then
    ok "$description: $expected"
  else
    failed "$description: no \"$expected\" in: $(grep -A3 'CMake Error' "$work/bad.log")"
  fi
}
bad_option "a version of five numbers" 'LAUNCHER_VERSION "1.2.3.4.5" is not one to four numbers' -DLAUNCHER_VERSION=1.2.3.4.5
bad_option "a version with letters" 'LAUNCHER_VERSION "1.2-beta" is not one to four numbers' -DLAUNCHER_VERSION=1.2-beta
bad_option "a version number past 16 bits" 'each number must be at most 65535' -DLAUNCHER_VERSION=1.70000
bad_option "a missing icon" "LAUNCHER_ICON: $work/none.ico does not exist" -DLAUNCHER_ICON="$work/none.ico"
bad_option "a text file as icon" "LAUNCHER_ICON: $work/not-an-icon.ico is not an .ico file" -DLAUNCHER_ICON="$work/not-an-icon.ico"
bad_option "a cut-off icon" "LAUNCHER_ICON: $work/cut-off.ico is damaged" -DLAUNCHER_ICON="$work/cut-off.ico"
bad_option "a line break in a version string" 'LAUNCHER_COMPANY_NAME holds a control character' \
  -DLAUNCHER_COMPANY_NAME=$'two\nlines'
bad_option "an output name with a slash" 'LAUNCHER_OUTPUT_NAME "my/product" is not a file name' -DLAUNCHER_OUTPUT_NAME=my/product

finish
