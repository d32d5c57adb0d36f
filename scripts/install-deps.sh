#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if any
# is missing. Safe to run again: with everything present it does nothing.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev picojson-dev openjdk-17-jdk-headless)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
