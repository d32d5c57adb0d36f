# Shared by the Windows shell tests (sourced, POSIX sh): counting what fails,
# comparing texts, paths as Wine's Windows programs see them, and the
# stand-in JVM library laid out as a Windows runtime.
failures=0
ok() { echo "ok: $1"; }
failed() { echo "FAILED: $1"; failures=$((failures + 1)); }
expect() {  # expect DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then ok "$1"; else failed "$(printf '%s\n--- expected:\n%s\n--- got:\n%s' "$1" "$2" "$3")"; fi
}
# A path of this machine as a Windows program under Wine names it: on drive Z:, with backslashes.
windows_path() { printf 'Z:%s\n' "$(printf '%s' "$1" | tr / '\\')"; }
# The options the stand-in JVM was created with, as its RECORD lists them, without the launcher's hooks: the
# options the user gave and the launcher's own properties, wherever the hooks lie.
standin_user_options() {
  grep -a '^option ' "$1" | tr -d '\r' | sed 's/^option [0-9]* //' | grep -avE '^(vfprintf|exit|abort) with extraInfo$'
}
# lay_out_standin_runtime JRE STANDIN_JVM.DLL STANDIN_RUNTIME.DLL
lay_out_standin_runtime() {
  mkdir -p "$1/bin/server" && cp "$2" "$1/bin/server/jvm.dll" && cp "$3" "$1/bin/"
}
# The last line of every test: the count, and the status that goes with it.
finish() {
  echo "$failures failed"
  [ "$failures" -eq 0 ]
}
