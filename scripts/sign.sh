#!/usr/bin/env bash
# Signs a Windows executable in place with Authenticode (SHA-256), so that
# Windows names its publisher instead of warning about an unknown one.
#   scripts/sign.sh EXECUTABLE PKCS12_FILE [TIMESTAMP_URL]
# The certificate's password comes from the environment variable
# LAUNCHER_SIGN_PASSWORD, or from the file named by LAUNCHER_SIGN_PASSWORD_FILE,
# never from the command line (where other users of the machine could read it).
# With TIMESTAMP_URL (an RFC 3161 time-stamping server) the signature stays
# valid after the certificate expires. Sign after the last change to the file.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 EXECUTABLE PKCS12_FILE [TIMESTAMP_URL]" >&2
  exit 2
fi
executable=$1 pkcs12=$2 timestamp=${3:-}
for file in "$executable" "$pkcs12"; do
  if [ ! -f "$file" ]; then
    echo "error: $file does not exist or is not a file" >&2
    exit 2
  fi
done
if ! command -v osslsigncode > /dev/null; then
  echo "error: osslsigncode is not installed (Debian: apt-get install osslsigncode)" >&2
  exit 2
fi
if [ -n "${LAUNCHER_SIGN_PASSWORD_FILE:-}" ]; then
  if [ ! -r "$LAUNCHER_SIGN_PASSWORD_FILE" ]; then
    echo "error: LAUNCHER_SIGN_PASSWORD_FILE names $LAUNCHER_SIGN_PASSWORD_FILE, which cannot be read" >&2
    exit 2
  fi
  password_source=$LAUNCHER_SIGN_PASSWORD_FILE
elif [ -n "${LAUNCHER_SIGN_PASSWORD+set}" ]; then
  password_source=-  # read from standard input, below
else
  echo "error: set LAUNCHER_SIGN_PASSWORD, or LAUNCHER_SIGN_PASSWORD_FILE to a file holding the password" >&2
  exit 2
fi

signed=$(mktemp "${executable}.signing.XXXXXX")
trap 'rm -f "$signed"' EXIT
options=(-pkcs12 "$pkcs12" -readpass "$password_source" -h sha256 -in "$executable" -out "$signed")
[ -z "$timestamp" ] || options+=(-ts "$timestamp")
rm -f "$signed"  # osslsigncode will not write over a file
if ! printf '%s' "${LAUNCHER_SIGN_PASSWORD:-}" | osslsigncode sign "${options[@]}" > "$signed.log" 2>&1; then
  cat "$signed.log" >&2
  rm -f "$signed.log"
  echo "error: signing $executable failed; the file is unchanged" >&2
  exit 1
fi
rm -f "$signed.log"
# Written over in place, so the file keeps its name, owner and permissions.
cat "$signed" > "$executable"
echo "signed $executable"
