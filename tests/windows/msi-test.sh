#!/usr/bin/env bash
# The Windows Installer package the packager makes on this Linux machine with
# wixl, installed under Wine (stand-in runtime) as an end user installs it:
# with no user interface, per user; the program runs from the install folder,
# its Start-menu and desktop shortcuts and its licence file exist, the package
# holds its links, its document type opens a document with the registered
# command; a second version replaces the first;
# uninstalling leaves nothing of the installer's. Then the two refusals that
# need the tool's absence or failure.
# Usage: msi-test.sh PACKAGER.JAR WORK_DIR WINE-RUNNER PREFIX LAUNCHER.EXE
#          STANDIN_JVM.DLL STANDIN_RUNTIME.DLL JDK_HOME
set -u
packager_jar=$1 work=$2 runner=$3 prefix=$4 launcher=$5 standin=$6 standin_dependency=$7 jdk=$8
. "$(dirname "$0")/test-lib.sh"

if ! command -v wixl > /dev/null || ! command -v msiinfo > /dev/null; then
  echo "SKIPPED: wixl and msiinfo are not installed (scripts/install-deps.sh installs them)"
  exit 77
fi

rm -rf "$work" "$prefix" "$prefix-drive-x"
mkdir -p "$work/classes/com/example" "$work/input/lib" "$work/home"
# Wine links the profile's Desktop and Documents to $HOME when it makes the prefix: a home of the test's own.
export HOME=$work/home
lay_out_standin_runtime "$work/runtime" "$standin" "$standin_dependency"
printf '\xca\xfe\xba\xbe' > "$work/classes/com/example/Main.class"  # the stand-in loads no class
"$jdk/bin/jar" --create --file "$work/input/app.jar" --main-class com.example.Main -C "$work/classes" .
cp "$work/input/app.jar" "$work/input/lib/helper.jar"
icotool -c -o "$work/plan.ico" "$(dirname "$0")/../fixtures/document-48.png"
printf 'extension=plan\nmime-type=application/x-plan\ndescription=Plan [draft] of 100 $\nicon=%s\n' "$work/plan.ico" \
  > "$work/plan.properties"
printf 'My App licence\r\nUse it well.\r\n' > "$work/LICENSE.txt"

package() {  # package VERSION OPTION...: the status, and the packager's words in $work/packager.log
  local version=$1
  shift
  "$jdk/bin/java" -jar "$packager_jar" --type msi --target windows --launcher "$launcher" \
    --runtime-image "$work/runtime" --input "$work/input" --main-jar app.jar --name "My App" --dest "$work/out" \
    --app-version "$version" --vendor "Example Co" --description "Plans & more" --win-menu --win-menu-group Example \
    --win-shortcut --file-associations "$work/plan.properties" "$@" > "$work/packager.log" 2>&1
}
wine() { "$runner" "$prefix" "$@"; }
# The versions of My App that Add/Remove Programs lists, each followed by a space.
installed_versions() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' |
    grep -A1 'DisplayName    REG_SZ    My App$' | sed -n 's/^ *DisplayVersion *REG_SZ *\(.*\)/\1 /p' | tr -d '\n'
}

msi="$work/out/My App-1.0.msi"
# The upgrade code, derived as the README says: the name-based (MD5) UUID of "VENDOR/NAME".
upgrade_code=$(python3 -c 'import hashlib, uuid; print("{%s}" % str(uuid.UUID(bytes=hashlib.md5(b"Example Co/My App").digest(), version=3)).upper())')
package 1.0 --java-options -Dversion=1.0 --license-file "$work/LICENSE.txt" --about-url https://example.com/my-app \
  --win-help-url 'https://example.com/my-app/help?from=msi&v=1.0' --win-update-url ftp://example.com/my-app/
expect "the packager makes My App-1.0.msi and names the upgrade code it derived" \
  "0 made $msi (upgrade code $upgrade_code)" "$? $(cat "$work/packager.log")"
expect "msiinfo: the manufacturer, version, upgrade code and the Add/Remove Programs icon, comment and links" \
  "ARPCOMMENTS	Plans & more
ARPHELPLINK	https://example.com/my-app/help?from=msi&v=1.0
ARPPRODUCTICON	ProductIcon.exe
ARPURLINFOABOUT	https://example.com/my-app
ARPURLUPDATEINFO	ftp://example.com/my-app/
Manufacturer	Example Co
ProductName	My App
ProductVersion	1.0
UpgradeCode	$upgrade_code" \
  "$(msiinfo export "$msi" Property | grep -E '^(ARP(COMMENTS|HELPLINK|PRODUCTICON|URLINFOABOUT|URLUPDATEINFO)|Manufacturer|ProductName|ProductVersion|UpgradeCode)	' | tr -d '\r' | LC_ALL=C sort)"
expect "msiinfo: the licence is a file of the package, under its own name and size, in the component of its own" \
  "LicenseFile	LicenseFile	LICENSE.txt	$(wc -c < "$work/LICENSE.txt")" \
  "$(msiinfo export "$msi" File | tr -d '\r' | grep '^LicenseFile	' | cut -f1-4)"
expect "the shortcuts, in the menu group and on the desktop, start the executable and carry its icon" \
  "DesktopShortcut	DesktopFolder	My App	[INSTALLDIR]My App.exe	ProductIcon.exe
MenuShortcut	MenuGroupFolder	My App	[INSTALLDIR]My App.exe	ProductIcon.exe" \
  "$(msiinfo export "$msi" Shortcut | tail -n +4 | cut -f1,2,3,5,9 | tr -d '\r' | sort)"
expect "the package asks for no administrator rights (word count 10: compressed, no elevation)" \
  "Source: 10 (a)" "$(msiinfo suminfo "$msi" | grep '^Source:')"

wine msiexec /i "$(windows_path "$msi")" /qn
expect "msiexec installs it with no user interface" "0" "$?"
user=$(ls "$prefix/drive_c/users" | grep -vx Public)
profile="$prefix/drive_c/users/$user"
installed_windows="C:\\users\\$user\\AppData\\Local\\Programs\\My App"
installed="$profile/AppData/Local/Programs/My App"
expect "the folder is installed in %LOCALAPPDATA%\\Programs\\My App with the licence, without the packager's marker" \
  "LICENSE.txt My App.exe My App.plan.ico app.jar config.json jre jre/bin jre/bin/server jre/bin/server/jvm.dll jre/bin/standin_runtime.dll lib lib/helper.jar" \
  "$(cd "$installed" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
expect "the licence is installed byte for byte" "same" "$(cmp -s "$work/LICENSE.txt" "$installed/LICENSE.txt" && echo same)"
expect "a Start-menu shortcut in its group, and a desktop shortcut" "yes yes" \
  "$([ -f "$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Example/My App.lnk" ] && echo yes) $(
     [ -f "$profile/Desktop/My App.lnk" ] && echo yes)"

STANDIN_RECORD="$(windows_path "$work/record.txt")" wine "$installed_windows\\My App.exe" > "$work/err.txt" 2>&1
expect "the installed executable launches from the install folder" \
  "0
-Djpackage.app-path=$installed_windows\\My App.exe
FindClass com/example/Main" \
  "$?$(printf '\n'; standin_user_options "$work/record.txt" | grep -a '^-Djpackage.app-path='
     grep -a '^FindClass com' "$work/record.txt" | tr -d '\r')"

command=$(wine reg query 'HKCU\Software\Classes\MyApp.plan\shell\open\command' /ve | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')
expect "the document type's command is the executable with the document" "\"$installed_windows\\My App.exe\" \"%1\"" \
  "$command"
expect "the extension is the document type's, with its MIME type" "MyApp.plan application/x-plan" \
  "$(wine reg query 'HKCU\Software\Classes\.plan' | tr -d '\r' | sed -n 's/^ *\((Default)\|Content Type\) *REG_SZ *//p' | tr '\n' ' ' | sed 's/ $//')"
expect "the document type's description (brackets and dollar as written) and its icon" \
  "Plan [draft] of 100 \$|$installed_windows\\My App.plan.ico" \
  "$(wine reg query 'HKCU\Software\Classes\MyApp.plan' /ve | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')|$(
     wine reg query 'HKCU\Software\Classes\MyApp.plan\DefaultIcon' /ve | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')"
# The registered command, started as Explorer starts it: %1 replaced by the document's path.
document='C:\users\Public\a plan.plan'
executable=$(printf '%s' "$command" | sed 's/^"\([^"]*\)" "%1"$/\1/')
STANDIN_RECORD="$(windows_path "$work/document.txt")" wine "$executable" "$document" > /dev/null 2>&1
expect "the registered command passes the document's path to main" "NewStringUTF $document" \
  "$(grep -a "^NewStringUTF C:" "$work/document.txt" | tr -d '\r')"

# Version 1.1, without lib/helper.jar, replaces 1.0: one product, the new files only.
rm "$work/input/lib/helper.jar"
package 1.1 --java-options -Dversion=1.1
wine msiexec /i "$(windows_path "$work/out/My App-1.1.msi")" /qn
expect "installing 1.1 leaves one product, version 1.1, and its files only" "0 1.1 -Dversion=1.1 no helper.jar" \
  "$? $(installed_versions)$(
        grep -o -- '-Dversion=[0-9.]*' "$installed/config.json") $([ -e "$installed/lib/helper.jar" ] || echo no helper.jar)"
# 1.1 built again (a new product code) replaces the 1.1 installed: still one product.
package 1.1 --java-options -Dversion=1.1-again --replace
wine msiexec /i "$(windows_path "$work/out/My App-1.1.msi")" /qn
expect "1.1 built again replaces the 1.1 installed" "0 1.1 -Dversion=1.1-again" \
  "$? $(installed_versions)$(
        grep -o -- '-Dversion=[0-9.a-z-]*' "$installed/config.json")"
wine msiexec /i "$(windows_path "$msi")" /qn
# 1603, a fatal error, of which the process status keeps the low byte.
expect "1.0 is refused while 1.1 is installed" "67" "$?"

# Uninstalling: a log the program wrote stays, the user's; nothing of the installer's does.
echo "a line the program logged" > "$installed/program.log"
wine msiexec /x "$(windows_path "$work/out/My App-1.1.msi")" /qn
expect "msiexec /x uninstalls it" "0" "$?"
expect "only the program's own log is left in the install folder" "program.log" "$(ls -A "$installed")"
expect "no shortcut, menu group, document type, key path or product entry is left" "" \
  "$(find -L "$profile" \( -name 'My App.lnk' -o -name Example \) -print
     for key in 'HKCU\Software\Example Co' 'HKCU\Software\Classes\.plan' 'HKCU\Software\Classes\MyApp.plan'; do
       wine reg query "$key" > /dev/null 2>&1 && echo "left: $key"
     done
     wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep -a 'REG_SZ    My App')"

# For all users, in a folder of the vendor's under Program Files, the document type in HKEY_LOCAL_MACHINE;
# removed as completely, the vendor's folder too.
package 1.1 --win-per-machine-install --install-dir "Example Co/My App" --replace
wine msiexec /i "$(windows_path "$work/out/My App-1.1.msi")" /qn
expect "it installs into Program Files\\Example Co and registers the document type for every user" \
  "0 yes \"C:\\Program Files\\Example Co\\My App\\My App.exe\" \"%1\"" \
  "$? $([ -f "$prefix/drive_c/Program Files/Example Co/My App/My App.exe" ] && echo yes) $(
     wine reg query 'HKLM\Software\Classes\MyApp.plan\shell\open\command' /ve | tr -d '\r' |
     sed -n 's/^ *(Default) *REG_SZ *//p')"
wine msiexec /x "$(windows_path "$work/out/My App-1.1.msi")" /qn
expect "uninstalled, it leaves neither the folders nor the document type" "0 " \
  "$? $([ -e "$prefix/drive_c/Program Files/Example Co" ] && echo folder left)$(
     wine reg query 'HKLM\Software\Classes\.plan' > /dev/null 2>&1 && echo type left)"

# A name of 42 letters and two document types: two ProgIds of at most 39 characters, which wixl accepts.
long_name=ViewerOfPlansAndDraftsForTheExampleCompany
printf 'extension=draft\n' > "$work/draft.properties"
"$jdk/bin/java" -jar "$packager_jar" --type msi --target windows --launcher "$launcher" \
  --runtime-image "$work/runtime" --input "$work/input" --main-jar app.jar --name "$long_name" --dest "$work/out" \
  --file-associations "$work/plan.properties" --file-associations "$work/draft.properties" > "$work/packager.log" 2>&1
expect "a long name with two document types: wixl makes the package, each type with its own ProgId" \
  "0 ViewerOfPlansAndDraftsForTheExamp.draft ViewerOfPlansAndDraftsForTheExampl.plan" \
  "$? $(msiinfo export "$work/out/$long_name-1.0.msi" Registry | tr -d '\r' | cut -f3 |
        sed -n 's/^Software\\Classes\\\([^\\.][^\\]*\)\\shell\\open\\command$/\1/p' | sort | tr '\n' ' ' | sed 's/ $//')"

# The tool's absence and its failure: a clear message, and nothing made.
rm -rf "$work/out"
mkdir -p "$work/out" "$work/no-wixl" "$work/failing-wixl"
PATH=$work/no-wixl package 1.2
expect "without wixl on the path the packager refuses, naming the package to install" "2 1" \
  "$? $(grep -c '^error: --type msi needs wixl on the path (the Debian and Ubuntu package wixl,' "$work/packager.log")"
# A stand-in for a wixl that fails half-way: it leaves part of its output, and says why.
cat > "$work/failing-wixl/wixl" << 'SCRIPT'
#!/bin/sh
while [ "$1" != -o ]; do shift; done
echo "half a package" > "$2"
echo "Couldn't find file app/missing.dll" >&2
exit 1
SCRIPT
chmod +x "$work/failing-wixl/wixl"
PATH=$work/failing-wixl:$PATH package 1.2
expect "a failing wixl: status 1, its words quoted, nothing left behind" \
  "1 error: wixl failed (status 1): Couldn't find file app/missing.dll; nothing was left behind|" \
  "$? $(cat "$work/packager.log")|$(ls -A "$work/out")"
# A stand-in for a wixl interrupted half-way: the packager, stopped, removes its output and work folder.
mkdir -p "$work/slow-wixl"
sed 's/^exit 1$/exec sleep 60/' "$work/failing-wixl/wixl" > "$work/slow-wixl/wixl"
chmod +x "$work/slow-wixl/wixl"
(PATH=$work/slow-wixl:$PATH exec "$jdk/bin/java" -jar "$packager_jar" --type msi --target windows \
   --launcher "$launcher" --runtime-image "$work/runtime" --input "$work/input" --main-jar app.jar --dest "$work/out" \
   --name "My App" --app-version 1.2 > /dev/null 2>&1) &
packager=$!
while [ ! -e "$work/out/.My App-1.2.msi.part" ] && kill -0 "$packager" 2> /dev/null; do sleep 0.1; done
kill -TERM "$packager"
wait "$packager"
expect "interrupted while wixl writes, the packager leaves nothing behind" "143|" "$?|$(ls -A "$work/out")"

finish
