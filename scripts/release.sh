#!/usr/bin/env bash
# Makes the release a Java developer downloads: build/release/launcher-VERSION/
# and build/release/launcher-VERSION.zip, holding packager.jar, the Linux
# launcher, the Windows launcher and its console and service variants, the
# user's part of the README, the licence of XZ for Java (inside packager.jar)
# and SHA256SUMS.
# It needs a Debian 12 machine (or a later one): it installs the compilers, a
# JDK and the build tools, if missing, and nothing the tests need.
#
# The same commit gives the same bytes, wherever and whenever it is built:
# every time comes from the commit (SOURCE_DATE_EPOCH, which may also be set
# by the caller, as it must be outside a git checkout), no build path reaches
# the binaries, the PE header carries no link time, and jar and zip entries
# are sorted with fixed times and modes. Check a download with
#   sha256sum -c SHA256SUMS
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh release
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) ||
    { echo "release.sh: not a git checkout; set SOURCE_DATE_EPOCH to the time of the sources" >&2; exit 2; }
fi
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project(launcher VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
out=$root/build/release
work=$out/work
tree=$out/launcher-$version
rm -rf "$work" "$tree" "$tree.zip"
mkdir -p "$work"

build() {  # build NAME CMAKE-OPTION...: a release build of the launcher (and packager.jar) in $work/NAME
  local name=$1
  shift
  echo "== Building $name"
  cmake -S "$root" -B "$work/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_BUILD_TESTS=OFF -DLAUNCHER_RELEASE=ON "$@" \
    > "$work/$name.log" 2>&1 && cmake --build "$work/$name" >> "$work/$name.log" 2>&1 ||
    { cat "$work/$name.log"; exit 1; }
}
build linux
build windows --toolchain "$root/cmake/mingw-w64-x86_64.cmake"
build windows-console --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DLAUNCHER_CONSOLE=ON \
  -DLAUNCHER_OUTPUT_NAME=launcher-console
build windows-service --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DLAUNCHER_SERVICE=ON \
  -DLAUNCHER_OUTPUT_NAME=launcher-service

mkdir -p "$tree/launchers/linux-x64" "$tree/launchers/windows-x64" "$tree/legal"
install -m 644 "$work/linux/packager.jar" "$tree/packager.jar"
install -m 755 "$work/linux/launcher" "$tree/launchers/linux-x64/launcher"
install -m 755 "$work/windows/launcher.exe" "$tree/launchers/windows-x64/launcher.exe"
install -m 755 "$work/windows-console/launcher-console.exe" "$tree/launchers/windows-x64/launcher-console.exe"
install -m 755 "$work/windows-service/launcher-service.exe" "$tree/launchers/windows-x64/launcher-service.exe"
# packager.jar holds the classes of XZ for Java: its terms, as Debian's libxz-java gives them.
install -m 644 /usr/share/doc/libxz-java/copyright "$tree/legal/xz-java.txt"
{
  echo "# launcher $version"
  echo
  # The README's introduction and the user's part, from the release to exit statuses.
  sed -n '3,/^## The release/p' README.md | sed '$d'
  sed -n '/^## The release/,/^## Building from source/p' README.md | sed '$d'
} > "$tree/README.md"
chmod 644 "$tree/README.md"
(cd "$tree" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
chmod 644 "$tree/SHA256SUMS"

# The zip: sorted entries under launcher-VERSION/, each with the commit's time
# and its Unix mode, compressed at a fixed level.
python3 - "$out" "launcher-$version" << 'PYTHON'
import os, sys, time, zipfile
out, top = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip times start in 1980
paths = []
for folder, dirs, files in os.walk(os.path.join(out, top)):
    rel = os.path.relpath(folder, out)
    paths.append(rel + "/")
    paths.extend(os.path.join(rel, name) for name in files)
with zipfile.ZipFile(os.path.join(out, top + ".zip"), "w") as archive:
    for path in sorted(paths):
        entry = zipfile.ZipInfo(path, stamp)
        entry.create_system = 3
        if path.endswith("/"):
            entry.external_attr = (0o40755 << 16) | 0x10
            archive.writestr(entry, b"")
        else:
            entry.external_attr = (os.stat(os.path.join(out, path)).st_mode & 0o777 | 0o100000) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(out, path), "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)
PYTHON
rm -rf "$work"
echo "made $tree and $tree.zip"
(cd "$tree" && cat SHA256SUMS)
