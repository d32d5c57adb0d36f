#!/usr/bin/env bash
# Builds both launchers and runs every test: on Linux the unit tests and the
# end-to-end tests against the installed JDK's real JVM and the stand-in JVM
# library; for Windows the same unit and stand-in tests, the Windows-only
# ones and the executable's properties, under Wine; and the Linux launcher,
# its unit and stand-in tests under AddressSanitizer and UBSan, with a minute
# of fuzzing the configuration stage.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in linux windows sanitize; do
  echo "== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
