#!/usr/bin/env bash
# Builds the launcher and runs every test (unit and end-to-end against the
# installed JDK's real JVM).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
