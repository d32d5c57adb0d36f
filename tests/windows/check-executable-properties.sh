#!/bin/sh
# Reads the Windows launcher's properties from its PE file: GUI subsystem,
# 1 MiB stack reserve, the embedded manifest asking for no elevation, and
# imports from system DLLs only (no compiler runtime to install).
set -u
exe=$1
headers=$(x86_64-w64-mingw32-objdump -p "$exe") || { echo "cannot read $exe"; exit 1; }
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

check "GUI subsystem" 'echo "$headers" | grep -Eq "^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)"'
check "stack reserve of 1 MiB" 'echo "$headers" | grep -Eq "^SizeOfStackReserve[[:space:]]+0*100000$"'
check "a manifest resource (type 24, id 1)" \
  'echo "$headers" | grep -A1 "Type Table:" | grep -q "Entry: ID: 0x000018," &&
   echo "$headers" | grep -A1 "Name Table:" | grep -q "Entry: ID: 0x000001,"'
check "execution level asInvoker without uiAccess" \
  'grep -aq "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>" "$exe"'

imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
echo "imported DLLs: $imports"
for dll in $imports; do
  case $dll in
    kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | api-ms-win-*) ;;
    *) echo "FAILED: imports $dll, which is not a system DLL"; failures=$((failures + 1)) ;;
  esac
done
check "imports kernel32.dll" 'echo " $imports" | grep -q " kernel32.dll "'

echo "$failures failed"
[ "$failures" -eq 0 ]
