#!/bin/sh
# Reads the Windows launcher's properties from its PE file: its subsystem,
# 1 MiB stack reserve, the embedded manifest asking for no elevation, declaring
# the Windows versions it was made for and (unless told otherwise) per-monitor
# DPI awareness, and imports from system DLLs only (no compiler runtime to
# install).
# Usage: check-executable-properties.sh EXE [gui|console] [dpi-aware|dpi-unaware]
set -u
exe=$1 subsystem=${2:-gui} dpi=${3:-dpi-aware}
headers=$(x86_64-w64-mingw32-objdump -p "$exe") || { echo "cannot read $exe"; exit 1; }
. "$(dirname "$0")/test-lib.sh"
check() {
  if eval "$2"; then ok "$1"; else failed "$1"; fi
}

if [ "$subsystem" = console ]; then
  check "console subsystem" 'echo "$headers" | grep -Eq "^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)"'
else
  check "GUI subsystem" 'echo "$headers" | grep -Eq "^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)"'
fi
check "stack reserve of 1 MiB" 'echo "$headers" | grep -Eq "^SizeOfStackReserve[[:space:]]+0*100000$"'
check "a manifest resource (type 24, id 1)" \
  'echo "$headers" | grep -A2 "Entry: ID: 0x000018," | grep -q "Entry: ID: 0x000001,"'
check "execution level asInvoker without uiAccess" \
  'grep -aq "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>" "$exe"'
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
  4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  check "supportedOS {$os}" 'grep -aq "<supportedOS Id=\"{$os}\"/>" "$exe"'
done
dpiElement='<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/PM</dpiAware>'
if [ "$dpi" = dpi-unaware ]; then
  check "no DPI awareness declared" '! grep -aq "dpiAware" "$exe"'
else
  check "per-monitor DPI awareness, as java.exe declares it" 'grep -aqF "$dpiElement" "$exe" &&
    [ "$(grep -ac "dpiAware\|dpiAwareness" "$exe")" -eq 1 ]'
fi

imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
echo "imported DLLs: $imports"
for dll in $imports; do
  case $dll in
    kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | api-ms-win-*) ;;
    *) failed "imports $dll, which is not a system DLL" ;;
  esac
done
check "imports kernel32.dll" 'echo " $imports" | grep -q " kernel32.dll "'

finish
