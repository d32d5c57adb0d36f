#!/usr/bin/env bash
# Installs the Debian packages the builds, the tests and the demo need, if any
# is missing. Safe to run again: with everything present it does nothing.
#   install-deps.sh          everything: the Linux, Windows and sanitizer builds and tests
#   install-deps.sh linux    the Linux build only (enough for the demo)
set -euo pipefail

# For the Linux tests: openssl, a TLS server; ant, a real program; xvfb and openjdk-17-jre (the JDK's splash
# and X11 libraries), a display and a splash on it; lintian and desktop-file-utils, to check a Debian package;
# junit5, the packager's unit tests.
packages=(cmake ninja-build g++ libgtest-dev googletest picojson-dev openjdk-17-jdk-headless openssl ant xvfb
          openjdk-17-jre lintian desktop-file-utils junit5)
if [ "${1:-all}" != linux ]; then
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
  if [ "${1:-all}" != linux ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
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
make_locales "${1:-all}"
