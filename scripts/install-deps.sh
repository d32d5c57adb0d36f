#!/usr/bin/env bash
# Installs the Debian packages the builds, the tests and the demo need, if any
# is missing. Safe to run again: with everything present it does nothing.
#   install-deps.sh          everything: the Linux, Windows and sanitizer builds and tests
#   install-deps.sh linux    the Linux build and its tests (enough for the demo)
#   install-deps.sh release  what scripts/release.sh needs, and none of the tests' tools
set -euo pipefail
mode=${1:-all}
case "$mode" in
  all | linux | release) ;;
  *) echo "install-deps.sh: no mode $mode; give linux, release or none (everything)" >&2; exit 2 ;;
esac

# Every build: the Linux compiler and its build tools, picojson, a JDK (jni.h, javac and jar), and XZ for Java,
# which packager.jar holds.
build=(cmake ninja-build g++ picojson-dev openjdk-17-jdk-headless libxz-java)
# For the Linux tests: openssl, a TLS server; ant, a real program; xvfb and openjdk-17-jre (the JDK's splash
# and X11 libraries), a display and a splash on it; lintian and desktop-file-utils, to check a Debian package;
# rpm (rpmbuild, rpmspec) and rpmlint, to make, read, check and install an RPM; junit5, the packager's unit tests;
# systemd, whose systemd-analyze reads a package's service unit; hyperfine, which times launches for
# scripts/benchmark.sh.
packages=("${build[@]}" libgtest-dev googletest openssl ant xvfb openjdk-17-jre lintian desktop-file-utils rpm rpmlint
          junit5 systemd hyperfine)
if [ "$mode" = release ]; then
  # The release: the builds, the Windows launcher's cross-compiler, python3, which writes the zip, and git, from
  # whose commit the release takes the time its files carry.
  packages=("${build[@]}" g++-mingw-w64-x86-64-posix python3 git)
elif [ "$mode" = all ]; then
  # Cross-building the Windows launcher, running it under Wine, and showing
  # its message box on a virtual display; reading and making icons, signing;
  # making and reading Windows Installer packages; the sanitizer build and the fuzzer; unzip, the release as a
  # user unpacks it.
  packages+=(g++-mingw-w64-x86-64-posix wine wine64 xdotool icoutils osslsigncode python3 wixl msitools
             clang-14 libclang-rt-14-dev locales unzip)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# A Japanese locale, from which Wine takes code page 932 for the tests of a
# double-byte code page.
make_locales() {
  if [ "$mode" = all ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  fi
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
make_locales
